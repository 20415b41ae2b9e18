// tick_bench.cpp — the game's play tick in the browser, timed.
//
// The same set-up as bench_game's BM_Tick/play (window, device, textures,
// keyboard, sound, a round), but on the browser host with the game's own
// link flags, so each tick also pays for presenting to the canvas and for
// the code the browser build instruments. Runs `?ticks=N` ticks (default
// 2000) after a warm-up, in batches, and leaves the median time per tick
// (and the part of it spent presenting), with the frames shown and the
// pixels the canvas took in that time, on Module.benchResult for
// tools/bench_web/bench_web.py.
// Depends on: the game's libraries, the browser host.
#include <emscripten.h>
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "app/window_proc.h"
#include "devices/graphics.h"
#include "devices/keyboard.h"
#include "devices/main_window.h"
#include "devices/sound.h"
#include "game/game_state.h"
#include "game/game_tick.h"
#include "host/web/web_host.h"

namespace {

constexpr int kBatch = 20;
constexpr int kWarmUpTicks = 100;

// Times what presenting costs inside a tick.
class TimedWebHost : public host::WebHost {
 public:
  void Present(const uint32_t* pixels, int width, int height, int pitchBytes) override {
    const double start = emscripten_get_now();
    WebHost::Present(pixels, width, height, pitchBytes);
    presentMs += emscripten_get_now() - start;
  }
  double presentMs = 0;
};

int TicksFromAddress() {
  const int ticks = EM_ASM_INT({
    var n = parseInt(new URLSearchParams(window.location.search).get('ticks'), 10);
    return n > 0 ? n : 0;
  });
  return ticks > 0 ? std::min(ticks, 1000000) : 2000;
}

// The page's counts (web_host.js) at the start of the timed ticks.
double PageCount(const char* name) {
  return EM_ASM_DOUBLE({ return (Module['velmora'] || {})[UTF8ToString($0)] || 0; }, name);
}

void Report(const char* error, int ticks, double medianUs, double presentUs, double minUs, double maxUs,
            double frames0 = 0, double uploads0 = 0, double pixels0 = 0) {
  // The object literal sits in parentheses: the macro would split it at its commas.
  EM_ASM({
    var st = Module['velmora'] || {};
    Module['benchResult'] = ($0 ? {error: UTF8ToString($0)}
                                : {ticks: $1, batch: $2, medianUs: $3, presentUs: $4, minUs: $5, maxUs: $6,
                                   frames: (st.frames || 0) - $7, uploads: (st.uploads || 0) - $8,
                                   uploadedPixels: (st.uploadedPixels || 0) - $9});
  }, error, ticks, kBatch, medianUs, presentUs, minUs, maxUs, frames0, uploads0, pixels0);
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

void PlayTick() {
  // Keep the rules out of the sequences' five-second pauses, as the native
  // benchmark does.
  missTicks = 0;
  clearTicks = 0;
  GameTick();
}

}  // namespace

int main() {
  TimedWebHost h;
  host::SetCurrent(&h);
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = WindowProc;
  wc.lpszClassName = "VELMORA";
  RegisterClassExA(&wc);
  mainWindow = CreateWindowExA(0, "VELMORA", "VELMORA", WS_OVERLAPPEDWINDOW, 0, 0, 800, 640, nullptr, nullptr,
                               nullptr, nullptr);
  ShowWindow(mainWindow, SW_SHOW);
  if (FAILED(InitGraphics(mainWindow)) || FAILED(InitKeyboard(mainWindow)) || !InitSound() ||
      !CreatePrimaryBuffer() || !LoadWave(&bgmBuffer, "bgm.wav") || !LoadWave(&getBuffer, "get.wav")) {
    Report("start-up failed", 0, 0, 0, 0, 0);
    return 1;
  }
  ResetRound();
  titleShown = 0;
  for (int i = 0; i < kWarmUpTicks; ++i) PlayTick();

  const int ticks = TicksFromAddress();
  const double frames0 = PageCount("frames"), uploads0 = PageCount("uploads"), pixels0 = PageCount("uploadedPixels");
  std::vector<double> perTick, presentPerTick;
  for (int done = 0; done < ticks; done += kBatch) {
    h.presentMs = 0;
    const double start = emscripten_get_now();
    for (int i = 0; i < kBatch; ++i) PlayTick();
    perTick.push_back((emscripten_get_now() - start) * 1000.0 / kBatch);
    presentPerTick.push_back(h.presentMs * 1000.0 / kBatch);
  }
  const auto [lo, hi] = std::minmax_element(perTick.begin(), perTick.end());
  Report(nullptr, static_cast<int>(perTick.size()) * kBatch, Median(perTick), Median(presentPerTick), *lo, *hi,
         frames0, uploads0, pixels0);
  ReleaseGraphicsAndInput();
  ReleaseSound();
  DestroyWindow(mainWindow);
  host::SetCurrent(nullptr);
  return 0;
}

// bench_game — the game's costs on the headless platform.
//
// BM_Startup: the whole of WinMain's start-up (window, device, the twelve
// textures and sprites, keyboard, sound and the five cues, the first round)
// up to the first presented frame, then Escape and shutdown.
// BM_Tick/play: one play tick (the full draw list and the rules) on a
// started program.
//
// Run start-up on its own (--benchmark_filter=Startup) for the figure a new
// process sees: after the tick benchmark has run, the heap already holds the
// memory start-up asks for, and it measures about half as much.
#include <benchmark/benchmark.h>
#include <windows.h>

#include <filesystem>

#include "app/window_proc.h"
#include "entry/run_program.h"
#include "devices/graphics.h"
#include "devices/keyboard.h"
#include "devices/main_window.h"
#include "devices/sound.h"
#include "game/game_state.h"
#include "game/game_tick.h"
#include "host/headless/headless_host.h"
#include "platform/win32/win32_state.h"

namespace {

// The WAV files live beside the executable.
void EnterProgramFolder() {
  std::error_code ec;
  std::filesystem::current_path(std::filesystem::read_symlink("/proc/self/exe", ec).parent_path(), ec);
}

// Leaves the process as a new one finds it, for whatever runs next: no
// window class, timer or quit message left, the game on its title card.
void ForgetTheRun() {
  platform::ResetWin32State();
  ResetGameStateForNewProcess();
}

void BM_Startup(benchmark::State& state) {
  EnterProgramFolder();
  for (auto _ : state) {
    host::HeadlessHost h;
    h.KeepFrames(false);
    h.KeepAudio(false);
    // The first tick presents at 500 ms; Escape right after ends the run.
    h.ScheduleKey(501, host::Key::Escape, true);
    const int code = entry::RunProgram(h, "");
    if (code != 0 || h.FrameCount() != 1) state.SkipWithError("start-up did not reach the first frame");
    state.PauseTiming();
    ForgetTheRun();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_Startup)->Unit(benchmark::kMillisecond);

void BM_Tick(benchmark::State& state) {
  EnterProgramFolder();
  host::HeadlessHost h;
  h.KeepFrames(false);
  h.KeepAudio(false);
  host::SetCurrent(&h);
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = WindowProc;
  wc.lpszClassName = "VELMORA";
  RegisterClassExA(&wc);
  mainWindow = CreateWindowExA(0, "VELMORA", "VELMORA", WS_OVERLAPPEDWINDOW, 0, 0, 800, 640, nullptr, nullptr,
                               nullptr, nullptr);
  if (FAILED(InitGraphics(mainWindow)) || FAILED(InitKeyboard(mainWindow)) || !InitSound() ||
      !CreatePrimaryBuffer() || !LoadWave(&bgmBuffer, "bgm.wav") || !LoadWave(&getBuffer, "get.wav")) {
    state.SkipWithError("start-up failed");
    return;
  }
  ResetRound();
  titleShown = 0;
  for (auto _ : state) {
    // Keep the rules out of the sequences' five-second pauses: the cost
    // measured is the frame and the rules of an ordinary play tick.
    missTicks = 0;
    clearTicks = 0;
    benchmark::DoNotOptimize(GameTick());
  }
  ReleaseGraphicsAndInput();
  ReleaseSound();
  DestroyWindow(mainWindow);
  ForgetTheRun();  // BM_Startup may run next in this process
  host::SetCurrent(nullptr);
}
BENCHMARK(BM_Tick)->Name("BM_Tick/play")->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();

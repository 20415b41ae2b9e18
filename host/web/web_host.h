// web_host.h — the host in a web browser, through emscripten.
//
// Provides: host::WebHost: the page's canvas is the 800 x 640 client, shown
// at a whole number of device pixels per client pixel (see page_layout.h);
// keyboard events of the focused page give the window messages and the
// keyboard state; left-button presses on the canvas give the mouse
// messages; Sleep and waiting for events hand the browser back its thread
// (ASYNCIFY), so the page never freezes and idles between ticks; of a
// frame only the rectangle around what differs from the shown one is
// converted and reaches the canvas; audio is
// pulled from the mixer into Web Audio (web_audio.js) once the first key or
// click allows sound and while the page is shown (otherwise it is pulled by
// the clock and dropped, so the cues keep time); message boxes are a dialog in the page; the calendar time can be
// fixed from the page address (`?time=SECONDS`).
// Depends on: emscripten's HTML5 API, web_host.js (the page glue), the page
// made from shell.html. Test support from the address as well: the
// Direct3D profile (`d3d-profile=NAME`) and failing platform calls
// (`fault=CALL[:N]`), as velmora-replay's options.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "host/fault_plan.h"
#include "host/host.h"
#include "host/web/canvas_frame.h"
#include "host/web/page_audio.h"

namespace host {

class WebHost : public Host {
 public:
  WebHost();
  ~WebHost() override;
  WebHost(const WebHost&) = delete;
  WebHost& operator=(const WebHost&) = delete;

  // Tells the page the program has ended, with its exit code and, when
  // there is one, why.
  void Ended(int exitCode, const std::string& reasonUtf8 = "");

  uint64_t NowMs() override;
  int64_t CalendarTime() override;
  void SleepMs(uint32_t ms) override;
  bool WaitEvent(uint64_t deadlineMs) override;
  bool PollEvent(Event* out) override;
  void DesktopSize(int* width, int* height) override;
  bool CreateWindow(const std::string& titleUtf8, int x, int y, int width, int height) override;
  void ShowWindow(bool visible) override;
  void MoveWindow(int x, int y, int width, int height) override;
  void DestroyWindow() override;
  void Present(const uint32_t* pixels, int width, int height, int pitchBytes) override;
  void SetCursor(const Image* cursor) override;
  void SetIcon(const Image* icon) override;
  void KeyboardState(uint8_t keys[kKeyCount]) override;
  bool OpenAudio(const AudioFormat& format, AudioSource* source) override;
  void CloseAudio() override;
  int AudioBufferFrames() override;
  int PreferredAudioRate() override;
  DialogAnswer MessageBox(const MessageBoxRequest& request) override;
  void DebugOutput(const char* text) override;
  std::optional<std::string> ProfileValue(const std::string& section, const std::string& key) override;
  std::string DeviceProfile() override;
  bool ShouldFail(const char* call) override;

  // Called when the page wants a block: `frames` mixed frames as two
  // planes of floats (left, then right), or null when nothing is open.
  const float* MixForPage(int frames);
  // The page plays nothing from now on (until it asks for a block again);
  // `aheadFrames` frames it had mixed are still due.
  void HoldAudio(uint64_t aheadFrames);
  // The largest sample magnitude of the last block MixForPage gave.
  int MixPeak() const { return mixPeak_; }
  // Input from the browser (the callbacks in web_host.cpp).
  void Queue(const Event& event);
  void SetKey(Key key, bool down);
  void ReleaseAllKeys();
  void Relayout();

 private:
  void DropAudioByClock();

  double startMs_ = 0;
  std::optional<int64_t> fixedCalendarBase_;
  std::string deviceProfile_ = "default";
  FaultPlan faults_;
  std::deque<Event> queue_;
  uint8_t keys_[kKeyCount] = {};
  bool windowExists_ = false;
  web::CanvasFrame frame_;  // the canvas' picture
  const Image* shownCursor_ = nullptr;
  uint64_t shownCursorPrint_ = 0;
  bool cursorShown_ = false;
  AudioSource* source_ = nullptr;
  AudioFormat audioFormat_;
  bool audioFlowing_ = false;  // the page pulls; no dropping by the clock
  web::ClockDebt clockDebt_;   // what the clock is owed while it does not
  int blockFrames_ = 0;  // frames the page mixes at a time
  std::vector<int16_t> mixBuffer_;
  std::vector<float> pageSamples_;
  int mixPeak_ = 0;
  bool debugToConsole_ = false;
};

}  // namespace host

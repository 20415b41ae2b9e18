// replaying_host.h — a host that answers the program from a recorded
// session, so the run takes the recorded path to the bit.
//
// Provides: host::record::ReplayingHost. Answers (clock, calendar, waits,
// events, keyboard, audio, window creation, desktop, profile, dialogs,
// faults) come from the session in order; what the program shows and plays
// (window, frames, cursor, audio pulled from its source, message boxes if
// wanted, debugger output) goes on to a wrapped host: the headless one for
// tools and tests, a real one to watch. Each clock value handed out is
// passed to a callback first, to move a virtual clock or keep a pace.
// When the program asks for something other than the next record, or past
// the last, or presents a frame unlike the recorded one, the stop callback
// is told why, naming the session's line.
// Depends on: host/host.h, host/record/session.h, host/record/frame_hashes.h.
#pragma once

#include <functional>
#include <map>
#include <string>

#include "host/host.h"
#include "host/record/frame_hashes.h"
#include "host/record/session.h"

namespace host::record {

class ReplayingHost : public Host {
 public:
  // `ranOut`: the recording simply ends there (a run that was killed or
  // crashed); otherwise the program left the recorded path.
  using StopHandler = std::function<void(const std::string& why, bool ranOut)>;

  // `session` must outlive this host.
  ReplayingHost(Host& inner, const Session& session);
  void OnClock(std::function<void(uint64_t)> f) { onClock_ = std::move(f); }
  // Must not return (it ends the process); the default prints the reason
  // and exits with 3.
  void OnStop(StopHandler f) { onStop_ = std::move(f); }
  // Message boxes go on to the wrapped host too (default: no, the recorded
  // answer is all that counts).
  void ForwardDialogs(bool on) { forwardDialogs_ = on; }
  void SetFrameLog(FrameHashLog* log) { frameLog_ = log; }
  // After the program returned: empty when it ended as recorded with
  // nothing left over, else what differs, naming the line.
  std::string Finish(int exitCode);
  uint64_t ClockMs() const { return cursor_.ClockMs(); }

  uint64_t NowMs() override;
  int64_t CalendarTime() override;
  void SleepMs(uint32_t) override {}  // the next clock read says how long it took
  bool WaitEvent(uint64_t deadlineMs) override;
  bool PollEvent(Event* out) override;
  void DesktopSize(int* width, int* height) override;
  bool CreateWindow(const std::string& titleUtf8, int x, int y, int width, int height) override;
  void ShowWindow(bool visible) override { inner_.ShowWindow(visible); }
  void MoveWindow(int x, int y, int width, int height) override { inner_.MoveWindow(x, y, width, height); }
  void DestroyWindow() override { inner_.DestroyWindow(); }
  void Present(const uint32_t* pixels, int width, int height, int pitchBytes) override;
  void SetCursor(const Image* cursor) override { inner_.SetCursor(cursor); }
  void SetIcon(const Image* icon) override { inner_.SetIcon(icon); }
  void KeyboardState(uint8_t keys[kKeyCount]) override;
  bool OpenAudio(const AudioFormat& format, AudioSource* source) override;
  void CloseAudio() override;
  bool SilentAudioOutput() override;
  int AudioBufferFrames() override;
  DialogAnswer MessageBox(const MessageBoxRequest& request) override;
  void DebugOutput(const char* text) override { inner_.DebugOutput(text); }
  std::optional<std::string> ProfileValue(const std::string& section, const std::string& key) override;
  std::string DeviceProfile() override;
  bool ShouldFail(const char* call) override;

 private:
  Record Take(Kind kind);
  [[noreturn]] void Stop(const std::string& why, bool ranOut);

  Host& inner_;
  const Session& session_;
  SessionCursor cursor_;
  std::function<void(uint64_t)> onClock_;
  StopHandler onStop_;
  bool forwardDialogs_ = false;
  bool audioOpen_ = false;
  FrameHashLog* frameLog_ = nullptr;
  FrameHasher hasher_;
  uint64_t clock_ = 0;
  uint64_t frames_ = 0;  // presented so far
  std::map<std::string, int> calls_;
};

}  // namespace host::record

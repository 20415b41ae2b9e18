// headless_host.h — a host with no window, no sound card and no real time.
//
// Provides: a virtual clock (sleeping and waiting advance it at once, so runs
// are fast and repeatable), scripted input at virtual times, captured output
// (presented frames, mixed audio, message boxes, debugger output), settable
// calendar time, desktop size, profile values and Direct3D device profile,
// and fault injection of named platform calls at their n-th call.
// Fault-injection names of its own: "host.CreateWindow", "host.OpenAudio".
// Depends on: host/host.h only. Used by every test and tool that runs the
// platform.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "host/fault_plan.h"
#include "host/host.h"

namespace host {

class HeadlessHost : public Host {
 public:
  struct Frame {
    uint64_t timeMs = 0;  // virtual time of the present
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;  // X8R8G8B8, top row first, tightly packed
  };

  HeadlessHost();
  ~HeadlessHost() override;

  // --- set-up --------------------------------------------------------------
  void SetCalendarTime(int64_t secondsSinceEpoch);  // at virtual time 0
  void SetDesktopSize(int width, int height);       // default 1024 x 768
  void SetDeviceProfile(const std::string& name);   // default "default"
  void SetProfileValue(const std::string& section, const std::string& key, const std::string& value);
  // Makes the n-th call (1-based) of the named operation fail.
  void FailAt(const std::string& call, int nth = 1);
  // How many times the named operation has asked ShouldFail so far.
  int CallCount(const std::string& call) const;

  // --- scripted input (delivered when the virtual clock reaches timeMs) ----
  // A key as a real one: the window message and the keyboard state.
  void ScheduleKey(uint64_t timeMs, Key key, bool down);
  void ScheduleClick(uint64_t timeMs, int x, int y);        // press and release
  void ScheduleDoubleClick(uint64_t timeMs, int x, int y);  // two quick clicks
  void ScheduleClose(uint64_t timeMs);                      // the close box
  // Keyboard state only, no window message (another window has the focus).
  void ScheduleKeyState(uint64_t timeMs, Key key, bool down);
  // Advances the virtual clock to `timeMs` (never backwards).
  void AdvanceTo(uint64_t timeMs);
  // Pointer motion to client coordinates (clicks move the pointer first).
  void ScheduleMouseMove(uint64_t timeMs, int x, int y);
  // The window system asks for the last frame to be shown again.
  void ScheduleExpose(uint64_t timeMs);
  // Auto-repeat of a key held by ScheduleKey: first repeat after `delayMs`,
  // then every `intervalMs` (default 500 and 33, as a desktop's defaults).
  // A delay of 0 turns auto-repeat off.
  void SetKeyRepeat(uint32_t delayMs, uint32_t intervalMs);
  // Without an audio device OpenAudio fails (default: a device exists).
  void SetAudioAvailable(bool available) { audioAvailable_ = available; }
  // An audio device that plays nothing: the sound device exists and keeps
  // time with the clock, and no samples are mixed or captured.
  void SetSilentAudio(bool silent) { silentAudio_ = silent; }
  bool SilentAudioOutput() override { return silentAudio_; }

  // --- captured output -----------------------------------------------------
  const std::vector<Frame>& Frames() const { return frames_; }
  void KeepFrames(bool keep) { keepFrames_ = keep; }  // off: count only
  uint64_t FrameCount() const { return frameCount_; }
  const std::vector<MessageBoxRequest>& MessageBoxes() const { return messageBoxes_; }
  const std::string& DebugText() const { return debugText_; }
  // Mixed audio, interleaved 16-bit, in the opened format (see AudioFormat).
  const std::vector<int16_t>& Audio() const { return audio_; }
  AudioFormat OpenedAudioFormat() const { return audioFormat_; }
  bool WriteAudioWav(const std::string& path) const;
  void KeepAudio(bool keep) { keepAudio_ = keep; }  // off: pull and discard
  bool WindowExists() const { return windowExists_; }
  bool WindowVisible() const { return windowVisible_; }
  const std::string& WindowTitle() const { return windowTitle_; }
  // How many times SetCursor reached the host.
  uint64_t CursorChanges() const { return cursorChanges_; }
  void WindowRect(int* x, int* y, int* width, int* height) const;
  const Image* CurrentCursor() const { return cursor_; }
  const Image* CurrentIcon() const { return icon_; }

  // --- Host ----------------------------------------------------------------
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
  DialogAnswer MessageBox(const MessageBoxRequest& request) override;
  void DebugOutput(const char* text) override;
  std::optional<std::string> ProfileValue(const std::string& section, const std::string& key) override;
  std::string DeviceProfile() override;
  bool ShouldFail(const char* call) override;

 private:
  struct Scheduled;
  struct Held {
    uint64_t nextRepeatMs = 0;
  };
  void Push(Scheduled item);
  void ScheduleMouse(uint64_t timeMs, EventType type, int x, int y);
  uint64_t NextRepeatTime() const;
  uint32_t Mods() const;  // modifier bits from the keyboard state
  void Deliver(uint64_t upToMs);
  void PullAudio(uint64_t upToMs);
  static std::string ProfileKey(const std::string& section, const std::string& key);

  uint64_t now_ = 0;
  int64_t calendarBase_ = 1700000000;
  int desktopW_ = 1024, desktopH_ = 768;
  std::string deviceProfile_ = "default";
  std::map<std::string, std::string> profile_;
  FaultPlan faults_{FaultPlan::Counting::Always};
  std::deque<Scheduled>* schedule_ = nullptr;  // owned; ordered by time; taken from the front
  uint64_t nextSeq_ = 0;
  std::map<Key, Held> held_;  // keys held down
  uint32_t repeatDelayMs_ = 500;
  uint32_t repeatIntervalMs_ = 33;
  std::deque<Event> queue_;
  uint8_t keys_[kKeyCount] = {};
  std::vector<Frame> frames_;
  bool keepFrames_ = true;
  uint64_t frameCount_ = 0;
  std::vector<MessageBoxRequest> messageBoxes_;
  std::string debugText_;
  AudioSource* audioSource_ = nullptr;
  AudioFormat audioFormat_;
  uint64_t audioFramesPulled_ = 0;
  uint64_t audioOpenedMs_ = 0;
  bool audioAvailable_ = true;
  bool silentAudio_ = false;
  bool keepAudio_ = true;
  std::vector<int16_t> audio_;
  std::vector<int16_t> scratch_;
  bool windowExists_ = false;
  bool windowVisible_ = false;
  std::string windowTitle_;
  uint64_t cursorChanges_ = 0;
  int winX_ = 0, winY_ = 0, winW_ = 0, winH_ = 0;
  const Image* cursor_ = nullptr;
  const Image* icon_ = nullptr;
};

}  // namespace host

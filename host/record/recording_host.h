// recording_host.h — a host that writes down everything the program takes
// from another host.
//
// Provides: host::record::RecordingHost, which wraps any Host: every call
// goes on to the wrapped host unchanged, and every answer that decides what
// the program does (clock and calendar reads, waits and polled events,
// keyboard states, the audio output's answers, window creation, desktop
// size, profile values, message-box answers, faults) is written to a
// session file as it comes back, with a hash of each presented frame. Optionally logs a hash of each presented
// frame (see frame_hashes.h).
// Depends on: host/host.h, host/record/session.h, host/record/frame_hashes.h.
#pragma once

#include <cstdio>
#include <string>
#include <unordered_map>
#include <vector>

#include "host/host.h"
#include "host/record/frame_hashes.h"
#include "host/record/session.h"

namespace host::record {

class RecordingHost : public Host {
 public:
  // `file` stays the caller's and must outlive this host; `comments` head
  // the session (program, version, date: whatever helps a reader).
  RecordingHost(Host& inner, std::FILE* file, const std::vector<std::string>& comments);
  // The program's exit code closes the session.
  void End(int exitCode) { writer_.End(exitCode); }
  bool WriteFailed() const { return writer_.Failed(); }
  uint64_t BytesWritten() const { return writer_.BytesWritten(); }
  // Logs a hash of every presented frame there (not owned; null: none).
  void SetFrameLog(FrameHashLog* log) { frameLog_ = log; }

  uint64_t NowMs() override;
  int64_t CalendarTime() override;
  void SleepMs(uint32_t ms) override { inner_.SleepMs(ms); }
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
  void CloseAudio() override { inner_.CloseAudio(); }
  bool SilentAudioOutput() override;
  int AudioBufferFrames() override;
  DialogAnswer MessageBox(const MessageBoxRequest& request) override;
  void DebugOutput(const char* text) override { inner_.DebugOutput(text); }
  std::optional<std::string> ProfileValue(const std::string& section, const std::string& key) override;
  std::string DeviceProfile() override;
  bool ShouldFail(const char* call) override;

 private:
  Host& inner_;
  SessionWriter writer_;
  FrameHashLog* frameLog_ = nullptr;
  FrameHasher hasher_;
  uint64_t clock_ = 0;  // the last clock value the program read
  std::unordered_map<std::string, int> calls_;  // fault questions asked, by name
};

}  // namespace host::record

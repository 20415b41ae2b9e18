// replaying_host.cpp — answering from the session, showing through the
// wrapped host.
#include "host/record/replaying_host.h"

#include <cstdio>
#include <cstdlib>

namespace host::record {

ReplayingHost::ReplayingHost(Host& inner, const Session& session)
    : inner_(inner), session_(session), cursor_(session) {}

void ReplayingHost::Stop(const std::string& why, bool ranOut) {
  if (onStop_) onStop_(why, ranOut);
  std::fprintf(stderr, "replay: %s\n", why.c_str());
  std::exit(3);
}

Record ReplayingHost::Take(Kind kind) {
  Record r;
  std::string error;
  if (!cursor_.Next(&r, &error)) {
    if (!error.empty()) Stop(error, false);
    if (session_.exitCode) {
      Stop("line " + std::to_string(cursor_.Line()) + ": the recording has ended, the program asks for " +
               KindName(kind), false);
    }
    Stop("line " + std::to_string(cursor_.Line()) + ": the recording stops here, before the program ended " +
             "(it was killed or crashed while recording)", true);
  }
  if (r.kind != kind) {
    Stop("line " + std::to_string(r.line) + ": the program asks for " + KindName(kind) + " where the recording has " +
             KindName(r.kind) + " (a different build, or a run that went another way)", false);
  }
  return r;
}

std::string ReplayingHost::Finish(int exitCode) {
  Record r;
  std::string error;
  if (!cursor_.Next(&r, &error)) {
    if (!error.empty()) return error;
    if (session_.exitCode) return "the recording holds no end";  // cannot be: End is a record
    return "";  // a recording without its end, which the run reached
  }
  const std::string at = "line " + std::to_string(r.line) + ": ";
  if (r.kind != Kind::End) return at + "the program ended (" + std::to_string(exitCode) + ") where the recording has " + KindName(r.kind);
  if (r.value != exitCode) {
    return at + "the program ended with " + std::to_string(exitCode) + ", the recording with " + std::to_string(r.value);
  }
  return "";
}

uint64_t ReplayingHost::NowMs() {
  clock_ = static_cast<uint64_t>(Take(Kind::Clock).value);
  if (onClock_) onClock_(clock_);
  return clock_;
}

int64_t ReplayingHost::CalendarTime() { return Take(Kind::Calendar).value; }
bool ReplayingHost::WaitEvent(uint64_t) { return Take(Kind::Wait).value != 0; }

bool ReplayingHost::PollEvent(Event* out) {
  Record r = Take(Kind::Poll);
  if (!r.event) return false;
  if (out) *out = *r.event;
  return true;
}

void ReplayingHost::DesktopSize(int* width, int* height) {
  const Record r = Take(Kind::Desktop);
  if (width) *width = static_cast<int>(r.value);
  if (height) *height = static_cast<int>(r.value2);
}

bool ReplayingHost::CreateWindow(const std::string& titleUtf8, int x, int y, int width, int height) {
  const bool made = Take(Kind::Window).value != 0;
  if (made) inner_.CreateWindow(titleUtf8, x, y, width, height);
  return made;
}

void ReplayingHost::Present(const uint32_t* pixels, int width, int height, int pitchBytes) {
  inner_.Present(pixels, width, height, pitchBytes);
  const uint64_t hash = hasher_(pixels, width, height, pitchBytes);
  if (frameLog_ != nullptr) frameLog_->AddHashed(clock_, width, height, hash);
  ++frames_;
  const Record r = Take(Kind::Frame);
  if (r.hash != hash) {
    Stop("line " + std::to_string(r.line) + ": frame " + std::to_string(frames_) +
             " differs from the recorded one (the run has left the recorded path)", false);
  }
}

void ReplayingHost::KeyboardState(uint8_t keys[kKeyCount]) {
  const Record r = Take(Kind::Keys);
  for (int i = 0; i < kKeyCount; ++i) keys[i] = 0;
  for (const auto& [key, value] : r.keys) keys[key] = value;
}

bool ReplayingHost::OpenAudio(const AudioFormat& format, AudioSource* source) {
  const bool opened = Take(Kind::Audio).value != 0;
  // The wrapped host plays (or captures) what the program mixes; whether it
  // can does not change the recorded answer.
  if (opened) audioOpen_ = inner_.OpenAudio(format, source);
  return opened;
}

void ReplayingHost::CloseAudio() {
  if (audioOpen_) inner_.CloseAudio();
  audioOpen_ = false;
}

bool ReplayingHost::SilentAudioOutput() { return Take(Kind::Silent).value != 0; }
int ReplayingHost::AudioBufferFrames() { return static_cast<int>(Take(Kind::BufferFrames).value); }

DialogAnswer ReplayingHost::MessageBox(const MessageBoxRequest& request) {
  const DialogAnswer answer = Take(Kind::Dialog).answer;
  if (forwardDialogs_) inner_.MessageBox(request);
  return answer;
}

std::optional<std::string> ReplayingHost::ProfileValue(const std::string& section, const std::string& key) {
  Record r = Take(Kind::Profile);
  if (r.name != section || r.key != key) {
    Stop("line " + std::to_string(r.line) + ": the program reads profile value [" + section + "] " + key +
             ", the recording has [" + r.name + "] " + r.key, false);
  }
  return r.text;
}

std::string ReplayingHost::DeviceProfile() { return Take(Kind::DeviceProfile).name; }

bool ReplayingHost::ShouldFail(const char* call) {
  if (call == nullptr) return false;
  const int nth = ++calls_[call];
  auto it = session_.faults.find(call);
  return it != session_.faults.end() && it->second.count(nth) != 0;
}

}  // namespace host::record

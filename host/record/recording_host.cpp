// recording_host.cpp — forwarding every call, writing down every answer.
#include "host/record/recording_host.h"

namespace host::record {

RecordingHost::RecordingHost(Host& inner, std::FILE* file, const std::vector<std::string>& comments)
    : inner_(inner), writer_(file) {
  writer_.Begin(comments);
}

uint64_t RecordingHost::NowMs() {
  clock_ = inner_.NowMs();
  writer_.Clock(clock_);
  return clock_;
}

int64_t RecordingHost::CalendarTime() {
  const int64_t t = inner_.CalendarTime();
  writer_.Calendar(t);
  return t;
}

bool RecordingHost::WaitEvent(uint64_t deadlineMs) {
  const bool ready = inner_.WaitEvent(deadlineMs);
  writer_.Wait(ready);
  return ready;
}

bool RecordingHost::PollEvent(Event* out) {
  Event e;
  const bool got = inner_.PollEvent(&e);
  writer_.Poll(got ? &e : nullptr);
  if (got) {
    // Input is what a bug report is about: it reaches the file at once.
    writer_.Flush();
    if (out) *out = e;
  }
  return got;
}

void RecordingHost::DesktopSize(int* width, int* height) {
  int w = 0, h = 0;
  inner_.DesktopSize(&w, &h);
  writer_.Desktop(w, h);
  if (width) *width = w;
  if (height) *height = h;
}

bool RecordingHost::CreateWindow(const std::string& titleUtf8, int x, int y, int width, int height) {
  const bool made = inner_.CreateWindow(titleUtf8, x, y, width, height);
  writer_.Window(made);
  return made;
}

void RecordingHost::Present(const uint32_t* pixels, int width, int height, int pitchBytes) {
  inner_.Present(pixels, width, height, pitchBytes);
  const uint64_t hash = hasher_(pixels, width, height, pitchBytes);
  if (frameLog_ != nullptr) frameLog_->AddHashed(clock_, width, height, hash);
  writer_.Frame(hash);
  writer_.Flush();
}

void RecordingHost::KeyboardState(uint8_t keys[kKeyCount]) {
  inner_.KeyboardState(keys);
  writer_.Keys(keys);
}

bool RecordingHost::OpenAudio(const AudioFormat& format, AudioSource* source) {
  const bool opened = inner_.OpenAudio(format, source);
  writer_.Audio(opened);
  return opened;
}

bool RecordingHost::SilentAudioOutput() {
  const bool silent = inner_.SilentAudioOutput();
  writer_.Silent(silent);
  return silent;
}

int RecordingHost::AudioBufferFrames() {
  const int frames = inner_.AudioBufferFrames();
  writer_.BufferFrames(frames);
  return frames;
}

DialogAnswer RecordingHost::MessageBox(const MessageBoxRequest& request) {
  writer_.Flush(true);  // a box may be the last thing a failing run shows
  const DialogAnswer answer = inner_.MessageBox(request);
  writer_.Dialog(answer);
  writer_.Flush(true);
  return answer;
}

std::optional<std::string> RecordingHost::ProfileValue(const std::string& section, const std::string& key) {
  std::optional<std::string> value = inner_.ProfileValue(section, key);
  writer_.Profile(section, key, value);
  return value;
}

std::string RecordingHost::DeviceProfile() {
  std::string name = inner_.DeviceProfile();
  writer_.DeviceProfile(name);
  return name;
}

// Asked on every allocation of the image library, and almost always no:
// only the yes answers are written, each with the question's number.
bool RecordingHost::ShouldFail(const char* call) {
  const bool fail = inner_.ShouldFail(call);
  if (call == nullptr) return fail;
  const int nth = ++calls_[call];
  if (fail) writer_.Fault(call, nth);
  return fail;
}

}  // namespace host::record

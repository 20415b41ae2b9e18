// headless_host.cpp — the host used by tests and tools: virtual time,
// scripted input, captured output.
//
// The clock moves only when the program sleeps or waits (SleepMs, WaitEvent)
// or when a test calls AdvanceTo. Whenever it moves, scripted input due by
// then is delivered in time order (key auto-repeat included), and audio is
// pulled from the open source for exactly the elapsed virtual time, so runs
// with the same script are identical and a long session costs nothing.
#include "host/headless/headless_host.h"

#include <algorithm>
#include <cstdio>
#include <limits>

#include "host/dialog_buttons.h"

namespace host {

namespace {
constexpr uint64_t kNever = std::numeric_limits<uint64_t>::max();
constexpr uint64_t kDoubleClickGapMs = 80;  // well inside the double-click time
constexpr uint64_t kClickHoldMs = 10;
constexpr int kMaxAudioChunkFrames = 4096;
}  // namespace

struct HeadlessHost::Scheduled {
  enum class Kind { Event, KeyState };
  uint64_t timeMs = 0;
  uint64_t seq = 0;  // keeps same-time items in the order they were scheduled
  Kind kind = Kind::Event;
  Event event;
  Key key = Key::None;
  bool down = false;
};

HeadlessHost::HeadlessHost() : schedule_(new std::deque<Scheduled>()) {}

HeadlessHost::~HeadlessHost() {
  delete schedule_;
  if (Current() == this) SetCurrent(nullptr);
}

// --- set-up ----------------------------------------------------------------

void HeadlessHost::SetCalendarTime(int64_t secondsSinceEpoch) { calendarBase_ = secondsSinceEpoch; }

void HeadlessHost::SetDesktopSize(int width, int height) {
  desktopW_ = std::max(1, width);
  desktopH_ = std::max(1, height);
}

void HeadlessHost::SetDeviceProfile(const std::string& name) { deviceProfile_ = name; }

void HeadlessHost::SetProfileValue(const std::string& section, const std::string& key, const std::string& value) {
  profile_[ProfileKey(section, key)] = value;
}

void HeadlessHost::FailAt(const std::string& call, int nth) { faults_.FailAt(call, nth); }

int HeadlessHost::CallCount(const std::string& call) const { return faults_.CallCount(call); }

void HeadlessHost::SetKeyRepeat(uint32_t delayMs, uint32_t intervalMs) {
  repeatDelayMs_ = delayMs;
  repeatIntervalMs_ = intervalMs;
}

// --- scripted input --------------------------------------------------------

void HeadlessHost::Push(Scheduled item) {
  item.seq = nextSeq_++;
  auto& s = *schedule_;
  // Ordered by (time, seq); inserting after every item of the same time keeps
  // the script's order.
  auto pos = std::upper_bound(s.begin(), s.end(), item, [](const Scheduled& a, const Scheduled& b) {
    return a.timeMs < b.timeMs || (a.timeMs == b.timeMs && a.seq < b.seq);
  });
  s.insert(pos, std::move(item));
}

void HeadlessHost::ScheduleKey(uint64_t timeMs, Key key, bool down) {
  Scheduled item;
  item.timeMs = timeMs;
  item.kind = Scheduled::Kind::Event;
  item.event.type = down ? EventType::KeyDown : EventType::KeyUp;
  item.event.timeMs = timeMs;
  item.event.key = key;
  item.key = key;
  item.down = down;
  Push(std::move(item));
}

void HeadlessHost::ScheduleMouse(uint64_t timeMs, EventType type, int x, int y) {
  Scheduled item;
  item.timeMs = timeMs;
  item.event.type = type;
  item.event.timeMs = timeMs;
  item.event.x = x;
  item.event.y = y;
  Push(std::move(item));
}

void HeadlessHost::ScheduleClick(uint64_t timeMs, int x, int y) {
  ScheduleMouse(timeMs, EventType::MouseMove, x, y);
  ScheduleMouse(timeMs, EventType::MouseDown, x, y);
  ScheduleMouse(timeMs + kClickHoldMs, EventType::MouseUp, x, y);
}

void HeadlessHost::ScheduleDoubleClick(uint64_t timeMs, int x, int y) {
  ScheduleClick(timeMs, x, y);
  ScheduleMouse(timeMs + kDoubleClickGapMs, EventType::MouseDown, x, y);
  ScheduleMouse(timeMs + kDoubleClickGapMs + kClickHoldMs, EventType::MouseUp, x, y);
}

void HeadlessHost::ScheduleMouseMove(uint64_t timeMs, int x, int y) { ScheduleMouse(timeMs, EventType::MouseMove, x, y); }

void HeadlessHost::ScheduleClose(uint64_t timeMs) {
  Scheduled item;
  item.timeMs = timeMs;
  item.event.type = EventType::Close;
  item.event.timeMs = timeMs;
  Push(std::move(item));
}

void HeadlessHost::ScheduleExpose(uint64_t timeMs) {
  Scheduled item;
  item.timeMs = timeMs;
  item.event.type = EventType::Expose;
  item.event.timeMs = timeMs;
  Push(std::move(item));
}

void HeadlessHost::ScheduleKeyState(uint64_t timeMs, Key key, bool down) {
  Scheduled item;
  item.timeMs = timeMs;
  item.kind = Scheduled::Kind::KeyState;
  item.key = key;
  item.down = down;
  Push(std::move(item));
}

void HeadlessHost::AdvanceTo(uint64_t timeMs) {
  if (timeMs <= now_) {
    Deliver(now_);
    return;
  }
  Deliver(timeMs);
  PullAudio(timeMs);
  now_ = timeMs;
}

uint64_t HeadlessHost::NextRepeatTime() const {
  uint64_t best = kNever;
  for (const auto& [key, held] : held_) best = std::min(best, held.nextRepeatMs);
  return best;
}

// Moves every scripted item due by `upToMs`, and every key repeat, into the
// event queue and the keyboard state, in time order.
void HeadlessHost::Deliver(uint64_t upToMs) {
  auto& s = *schedule_;
  size_t taken = 0;
  for (;;) {
    uint64_t nextItem = taken < s.size() ? s[taken].timeMs : kNever;
    uint64_t nextRepeat = NextRepeatTime();
    if (nextRepeat < nextItem && nextRepeat <= upToMs) {
      // A held key repeats before the next scripted item.
      for (auto& [key, held] : held_) {
        if (held.nextRepeatMs != nextRepeat) continue;
        Event e;
        e.type = EventType::KeyDown;
        e.timeMs = nextRepeat;
        e.key = key;
        e.mods = Mods();
        e.repeat = true;
        queue_.push_back(e);
        held.nextRepeatMs = nextRepeat + std::max<uint32_t>(1, repeatIntervalMs_);
        break;
      }
      continue;
    }
    if (nextItem > upToMs) break;
    const Scheduled& item = s[taken++];
    if (item.kind == Scheduled::Kind::KeyState) {
      keys_[static_cast<int>(item.key)] = item.down ? 0x80 : 0;
      continue;
    }
    Event e = item.event;
    if (e.type == EventType::KeyDown || e.type == EventType::KeyUp) {
      bool down = e.type == EventType::KeyDown;
      keys_[static_cast<int>(e.key)] = down ? 0x80 : 0;
      e.mods = Mods();
      auto it = held_.find(e.key);
      if (down) {
        if (it != held_.end()) {
          // Pressing a key that is already down is a repeat.
          Event r = e;
          r.repeat = true;
          queue_.push_back(r);
          continue;
        }
        if (repeatDelayMs_ > 0) held_[e.key] = Held{e.timeMs + repeatDelayMs_};
      } else if (it != held_.end()) {
        held_.erase(it);
      }
    }
    queue_.push_back(e);
  }
  s.erase(s.begin(), s.begin() + static_cast<std::ptrdiff_t>(taken));
}

void HeadlessHost::PullAudio(uint64_t upToMs) {
  if (audioSource_ == nullptr || upToMs <= audioOpenedMs_) return;
  // Frames due since the device opened, rounded down; pulling by total keeps
  // rounding from drifting over a long run.
  uint64_t due = (upToMs - audioOpenedMs_) * static_cast<uint64_t>(audioFormat_.rate) / 1000;
  int channels = std::max(1, audioFormat_.channels);
  while (audioFramesPulled_ < due) {
    int frames = static_cast<int>(std::min<uint64_t>(due - audioFramesPulled_, kMaxAudioChunkFrames));
    if (keepAudio_) {
      size_t at = audio_.size();
      audio_.resize(at + static_cast<size_t>(frames) * channels, 0);
      audioSource_->Mix(audio_.data() + at, frames);
    } else {
      scratch_.assign(static_cast<size_t>(frames) * channels, 0);
      audioSource_->Mix(scratch_.data(), frames);
    }
    audioFramesPulled_ += static_cast<uint64_t>(frames);
  }
}

bool HeadlessHost::WriteAudioWav(const std::string& path) const {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  int channels = std::max(1, audioFormat_.channels);
  uint64_t dataBytes64 = audio_.size() * 2;
  if (dataBytes64 > 0xFFFFFFFFull - 36) {
    std::fclose(f);
    return false;
  }
  uint32_t dataBytes = static_cast<uint32_t>(dataBytes64);
  uint32_t rate = static_cast<uint32_t>(audioFormat_.rate);
  uint32_t blockAlign = static_cast<uint32_t>(channels) * 2;
  std::vector<uint8_t> header;
  auto put32 = [&](uint32_t v) {
    for (int i = 0; i < 4; ++i) header.push_back(static_cast<uint8_t>(v >> (8 * i)));
  };
  auto put16 = [&](uint32_t v) {
    header.push_back(static_cast<uint8_t>(v));
    header.push_back(static_cast<uint8_t>(v >> 8));
  };
  auto tag = [&](const char* t) { header.insert(header.end(), t, t + 4); };
  tag("RIFF");
  put32(36 + dataBytes);
  tag("WAVE");
  tag("fmt ");
  put32(16);
  put16(1);  // PCM
  put16(static_cast<uint32_t>(channels));
  put32(rate);
  put32(rate * blockAlign);
  put16(blockAlign);
  put16(16);
  tag("data");
  put32(dataBytes);
  bool ok = std::fwrite(header.data(), 1, header.size(), f) == header.size();
  std::vector<uint8_t> bytes(audio_.size() * 2);
  for (size_t i = 0; i < audio_.size(); ++i) {
    uint16_t v = static_cast<uint16_t>(audio_[i]);
    bytes[2 * i] = static_cast<uint8_t>(v);
    bytes[2 * i + 1] = static_cast<uint8_t>(v >> 8);
  }
  if (ok && !bytes.empty()) ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

void HeadlessHost::WindowRect(int* x, int* y, int* width, int* height) const {
  if (x) *x = winX_;
  if (y) *y = winY_;
  if (width) *width = winW_;
  if (height) *height = winH_;
}

// --- Host ------------------------------------------------------------------

uint64_t HeadlessHost::NowMs() { return now_; }

int64_t HeadlessHost::CalendarTime() { return calendarBase_ + static_cast<int64_t>(now_ / 1000); }

void HeadlessHost::SleepMs(uint32_t ms) { AdvanceTo(now_ + ms); }

bool HeadlessHost::WaitEvent(uint64_t deadlineMs) {
  Deliver(now_);
  if (!queue_.empty()) return true;
  uint64_t next = std::min(schedule_->empty() ? kNever : schedule_->front().timeMs, NextRepeatTime());
  uint64_t until = std::min(next, deadlineMs);
  // Nothing scripted and no deadline: nothing can ever happen, so do not
  // pretend to wait forever.
  if (until == kNever) return false;
  AdvanceTo(std::max(until, now_));
  return !queue_.empty();
}

bool HeadlessHost::PollEvent(Event* out) {
  Deliver(now_);
  if (queue_.empty()) return false;
  if (out) *out = queue_.front();
  queue_.erase(queue_.begin());
  return true;
}

void HeadlessHost::DesktopSize(int* width, int* height) {
  if (width) *width = desktopW_;
  if (height) *height = desktopH_;
}

bool HeadlessHost::CreateWindow(const std::string& titleUtf8, int x, int y, int width, int height) {
  if (ShouldFail("host.CreateWindow")) return false;
  windowTitle_ = titleUtf8;
  windowExists_ = true;
  windowVisible_ = false;
  winX_ = x;
  winY_ = y;
  winW_ = width;
  winH_ = height;
  return true;
}

void HeadlessHost::ShowWindow(bool visible) { windowVisible_ = windowExists_ && visible; }

void HeadlessHost::MoveWindow(int x, int y, int width, int height) {
  winX_ = x;
  winY_ = y;
  winW_ = width;
  winH_ = height;
}

void HeadlessHost::DestroyWindow() {
  windowExists_ = false;
  windowVisible_ = false;
}

void HeadlessHost::Present(const uint32_t* pixels, int width, int height, int pitchBytes) {
  ++frameCount_;
  if (!keepFrames_ || pixels == nullptr || width <= 0 || height <= 0 || pitchBytes < width * 4) return;
  Frame frame;
  frame.timeMs = now_;
  frame.width = width;
  frame.height = height;
  frame.pixels.resize(static_cast<size_t>(width) * height);
  const auto* row = reinterpret_cast<const uint8_t*>(pixels);
  for (int y = 0; y < height; ++y) {
    std::copy_n(reinterpret_cast<const uint32_t*>(row + static_cast<size_t>(y) * pitchBytes), width,
                frame.pixels.data() + static_cast<size_t>(y) * width);
  }
  frames_.push_back(std::move(frame));
}

void HeadlessHost::SetCursor(const Image* cursor) {
  cursor_ = cursor;
  ++cursorChanges_;
}

void HeadlessHost::SetIcon(const Image* icon) { icon_ = icon; }

void HeadlessHost::KeyboardState(uint8_t keys[kKeyCount]) {
  Deliver(now_);
  std::copy_n(keys_, kKeyCount, keys);
}

uint32_t HeadlessHost::Mods() const {
  auto held = [&](Key k) { return (keys_[static_cast<int>(k)] & 0x80) != 0; };
  uint32_t mods = kModNumLock;  // as a desktop starts
  if (held(Key::LeftShift) || held(Key::RightShift)) mods |= kModShift;
  if (held(Key::LeftCtrl) || held(Key::RightCtrl)) mods |= kModCtrl;
  if (held(Key::LeftAlt) || held(Key::RightAlt)) mods |= kModAlt;
  return mods;
}

bool HeadlessHost::OpenAudio(const AudioFormat& format, AudioSource* source) {
  if (source == nullptr || format.rate <= 0 || format.channels <= 0) return false;
  if (!audioAvailable_ || ShouldFail("host.OpenAudio")) return false;
  audioSource_ = source;
  audioFormat_ = format;
  audioOpenedMs_ = now_;
  audioFramesPulled_ = 0;
  audio_.clear();
  return true;
}

void HeadlessHost::CloseAudio() { audioSource_ = nullptr; }

int HeadlessHost::AudioBufferFrames() { return 0; }

DialogAnswer HeadlessHost::MessageBox(const MessageBoxRequest& request) {
  messageBoxes_.push_back(request);
  // As a user who presses Enter would answer.
  return DefaultAnswer(request);
}

void HeadlessHost::DebugOutput(const char* text) {
  if (text) debugText_ += text;
}

std::string HeadlessHost::ProfileKey(const std::string& section, const std::string& key) {
  // Profile sections and keys are case-insensitive.
  std::string k = section + '\n' + key;
  for (char& c : k) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return k;
}

std::optional<std::string> HeadlessHost::ProfileValue(const std::string& section, const std::string& key) {
  auto it = profile_.find(ProfileKey(section, key));
  if (it == profile_.end()) return std::nullopt;
  return it->second;
}

std::string HeadlessHost::DeviceProfile() { return deviceProfile_; }

bool HeadlessHost::ShouldFail(const char* call) { return faults_.ShouldFail(call); }

}  // namespace host

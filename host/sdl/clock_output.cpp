// clock_output.cpp — pulling a sound source by the clock into nothing.
#include "host/sdl/clock_output.h"

#include <algorithm>
#include <chrono>
#include <vector>

namespace host::sdl {
namespace {

// As often as a sound card asks for a 1024-frame buffer at 44100 Hz.
constexpr auto kPeriod = std::chrono::milliseconds(23);
constexpr uint64_t kChunkFrames = 1024;

}  // namespace

void ClockOutput::Start(AudioSource* source, const AudioFormat& format) {
  Stop();
  if (source == nullptr || format.rate <= 0 || format.channels <= 0) return;
  stop_ = false;
  pulled_ = 0;
  thread_ = std::thread(&ClockOutput::Run, this, source, format);
}

void ClockOutput::Stop() {
  if (!thread_.joinable()) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

void ClockOutput::Run(AudioSource* source, AudioFormat format) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point start = Clock::now();
  std::vector<int16_t> scratch(kChunkFrames * static_cast<size_t>(format.channels));
  uint64_t pulled = 0;
  std::unique_lock<std::mutex> lock(mutex_);
  while (!stop_) {
    lock.unlock();
    // Frames due since the start, so rounding never drifts over a long run.
    const auto elapsed = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start).count();
    const uint64_t due = static_cast<uint64_t>(elapsed) * static_cast<uint64_t>(format.rate) / 1000000;
    while (pulled < due) {
      const uint64_t frames = std::min(due - pulled, kChunkFrames);
      source->Mix(scratch.data(), static_cast<int>(frames));
      pulled += frames;
      pulled_ = pulled;
    }
    lock.lock();
    wake_.wait_for(lock, kPeriod, [this] { return stop_; });
  }
}

}  // namespace host::sdl

// clock_output.h — a silent sound output that keeps time by the clock.
//
// Provides: host::sdl::ClockOutput, a thread that pulls a source's frames
// at its rate, as a sound card would, and throws them away. The SDL host
// plays into it when the sound device goes away and no other is left, so
// the program's cues move on as if heard.
// Depends on: host/host.h, the C++ standard library.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "host/host.h"

namespace host::sdl {

class ClockOutput {
 public:
  ClockOutput() = default;
  ~ClockOutput() { Stop(); }
  ClockOutput(const ClockOutput&) = delete;
  ClockOutput& operator=(const ClockOutput&) = delete;

  // Starts pulling `source` from now on (stopping any earlier run first).
  void Start(AudioSource* source, const AudioFormat& format);
  // Returns once no Mix runs any more.
  void Stop();
  bool Running() const { return thread_.joinable(); }
  // Frames pulled since the last Start.
  uint64_t FramesPulled() const { return pulled_; }

 private:
  void Run(AudioSource* source, AudioFormat format);

  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stop_ = false;
  std::atomic<uint64_t> pulled_{0};
};

}  // namespace host::sdl

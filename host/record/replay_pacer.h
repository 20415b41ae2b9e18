// replay_pacer.h — keeps a replay at the recorded pace on a real host.
//
// Provides: host::record::ReplayPacer. At(ms) blocks until the real host's
// clock has caught up with the recorded time `ms`, scaled by the speed,
// while reading the real window's own events: Tab or F makes it faster
// (1x, 2x, 4x, 8x, 16x, then 1x again), Escape or the close box ends the
// viewing. The recorded program never sees these events.
// Depends on: host/host.h.
#pragma once

#include <cstdint>
#include <functional>

#include "host/host.h"

namespace host::record {

class ReplayPacer {
 public:
  static constexpr int kMaxSpeed = 16;

  // `onQuit` runs when the viewer asks to stop; it should not return.
  ReplayPacer(Host& real, std::function<void()> onQuit) : real_(real), onQuit_(std::move(onQuit)) {}
  void At(uint64_t recordedMs);
  int Speed() const { return speed_; }
  // The real time (in the real host's milliseconds) that `recordedMs` is due.
  uint64_t DueAt(uint64_t recordedMs) const;

 private:
  void Handle(const Event& e, uint64_t recordedMs);

  Host& real_;
  std::function<void()> onQuit_;
  bool started_ = false;
  uint64_t anchorReal_ = 0;
  uint64_t anchorRecorded_ = 0;
  int speed_ = 1;
};

}  // namespace host::record

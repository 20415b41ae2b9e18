// replay_pacer.cpp — waiting on the real clock, watching the real window.
#include "host/record/replay_pacer.h"

namespace host::record {

uint64_t ReplayPacer::DueAt(uint64_t recordedMs) const {
  if (recordedMs <= anchorRecorded_) return anchorReal_;
  return anchorReal_ + (recordedMs - anchorRecorded_) / static_cast<uint64_t>(speed_);
}

void ReplayPacer::Handle(const Event& e, uint64_t recordedMs) {
  if (e.type == EventType::Close || (e.type == EventType::KeyDown && e.key == Key::Escape)) {
    if (onQuit_) onQuit_();
    return;
  }
  if (e.type == EventType::KeyDown && !e.repeat && (e.key == Key::Tab || e.key == Key::F)) {
    // A new anchor: the pace changes from here on, not retroactively.
    anchorReal_ = real_.NowMs();
    anchorRecorded_ = recordedMs;
    speed_ = speed_ >= kMaxSpeed ? 1 : speed_ * 2;
  }
}

void ReplayPacer::At(uint64_t recordedMs) {
  if (!started_) {
    started_ = true;
    anchorReal_ = real_.NowMs();
    anchorRecorded_ = recordedMs;
  }
  for (;;) {
    Event e;
    while (real_.PollEvent(&e)) Handle(e, recordedMs);
    const uint64_t due = DueAt(recordedMs);
    if (real_.NowMs() >= due) return;
    real_.WaitEvent(due);
  }
}

}  // namespace host::record

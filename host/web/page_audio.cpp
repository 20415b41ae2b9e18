// page_audio.cpp — block sizes, sample conversion and the clock's frames for
// the page's sound.
#include "host/web/page_audio.h"

#include <algorithm>
#include <cstdlib>

namespace host::web {
namespace {
constexpr int kQuantum = 128;
constexpr int kBlockFramesAtPageRate = 4096;
}  // namespace

int PageBlockFrames(int rate) {
  const int64_t wanted = int64_t{kBlockFramesAtPageRate} * std::max(rate, 0) / kPageAudioRate;
  const int64_t frames = (wanted + kQuantum - 1) / kQuantum * kQuantum;
  return static_cast<int>(std::clamp<int64_t>(frames, kQuantum, kMaxPageBlockFrames));
}

int ToPageSamples(const int16_t* mixed, int channels, int frames, float* out) {
  constexpr float kScale = 1.0f / 32768.0f;
  int peak = 0;
  const int step = channels > 1 ? 2 : 1;
  const int right = channels > 1 ? 1 : 0;
  float* left = out;
  float* rightPlane = out + std::max(frames, 0);
  for (int i = 0; i < frames; ++i) {
    const int l = mixed[i * step];
    const int r = mixed[i * step + right];
    left[i] = static_cast<float>(l) * kScale;
    rightPlane[i] = static_cast<float>(r) * kScale;
    peak = std::max({peak, std::abs(l), std::abs(r)});
  }
  return peak;
}

void ClockDebt::Hold(uint64_t nowMs, int rate, uint64_t aheadFrames) {
  holding_ = rate > 0;
  sinceMs_ = nowMs;
  rate_ = rate > 0 ? static_cast<uint64_t>(rate) : 0;
  taken_ = aheadFrames;
}

uint64_t ClockDebt::Take(uint64_t nowMs) {
  if (!holding_ || nowMs <= sinceMs_) return 0;
  // Counted from the start each time, so rounding never accumulates.
  const uint64_t due = (nowMs - sinceMs_) * rate_ / 1000;
  if (due <= taken_) return 0;
  const uint64_t owed = due - taken_;
  taken_ = due;
  return owed;
}

}  // namespace host::web

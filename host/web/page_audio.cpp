// page_audio.cpp — block sizes and sample conversion for the page's sound.
#include "host/web/page_audio.h"

#include <algorithm>
#include <cstdlib>

namespace host::web {
namespace {
constexpr int kQuantum = 128;
constexpr int kBlockFramesAtPageRate = 2048;
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
  for (int i = 0; i < frames; ++i) {
    const int l = mixed[i * step];
    const int r = mixed[i * step + right];
    out[2 * i] = static_cast<float>(l) * kScale;
    out[2 * i + 1] = static_cast<float>(r) * kScale;
    peak = std::max({peak, std::abs(l), std::abs(r)});
  }
  return peak;
}

}  // namespace host::web

// The mixer's output stage: the float sum of every voice becomes 16-bit
// samples, rounded half away from zero and saturated at both ends.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "platform/dsound/mixer.h"

namespace {

// Sixteen-bit value a sum should give: the nearest integer to 32768 * sum,
// halves away from zero, held inside the 16-bit range.
int16_t Expected(double sum) {
  const double x = std::clamp(sum * 32768.0, -32768.0, 32767.0);
  const double r = x < 0 ? -static_cast<double>(static_cast<int64_t>(-x + 0.5)) : static_cast<double>(static_cast<int64_t>(x + 0.5));
  return static_cast<int16_t>(r);
}

dsound::Voice StereoVoice(const std::vector<float>& left, const std::vector<float>& right) {
  dsound::Voice v;
  v.channels = 2;
  v.frames = static_cast<uint32_t>(left.size());
  v.samples.assign(left.begin(), left.end());
  v.samples.insert(v.samples.end(), right.begin(), right.end());
  v.playing = true;
  v.SetStep(dsound::kOutputRate, dsound::kOutputRate);
  return v;
}

TEST(MixerOutput, EverySumRoundsHalfAwayFromZeroAndSaturates) {
  // Odd frame counts leave a tail after the blocks; the values are exact in
  // float, so the sums are too: every half step from below -1 to above 1 on
  // the left, and sums of two voices well past both ends on the right.
  for (int frames : {1, 3, 4, 7, 4099}) {
    SCOPED_TRACE(frames);
    std::vector<float> aL(frames), aR(frames), bL(frames), bR(frames);
    for (int i = 0; i < frames; ++i) {
      const int k = (i * 37) % 4099 - 2049;  // -2049 .. 2049, halves included
      aL[i] = static_cast<float>(k * 32) / 65536.0f + (k % 2 ? 1.0f / 65536.0f : 0.0f);
      bL[i] = 0.0f;
      aR[i] = static_cast<float>((i * 13) % 257 - 128) / 128.0f;
      bR[i] = static_cast<float>((i * 7) % 257 - 128) / 128.0f + 1.0f / 65536.0f;
    }
    dsound::Voice a = StereoVoice(aL, aR), b = StereoVoice(bL, bR);
    dsound::Mixer mixer;
    {
      auto lock = mixer.Acquire();
      mixer.AddLocked(&a);
      mixer.AddLocked(&b);
    }
    std::vector<int16_t> out(static_cast<size_t>(frames) * 2);
    mixer.Mix(out.data(), frames);
    for (int i = 0; i < frames; ++i) {
      ASSERT_EQ(out[2 * i], Expected(static_cast<double>(aL[i]) + bL[i])) << "left of frame " << i;
      ASSERT_EQ(out[2 * i + 1], Expected(static_cast<double>(aR[i]) + bR[i])) << "right of frame " << i;
    }
    auto lock = mixer.Acquire();
    mixer.RemoveLocked(&a);
    mixer.RemoveLocked(&b);
  }
}

}  // namespace

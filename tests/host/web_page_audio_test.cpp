// The browser host's sound blocks: their size at each rate and the samples
// the page posts to Web Audio.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "host/web/page_audio.h"

namespace {

using host::web::PageBlockFrames;
using host::web::ToPageSamples;

TEST(PageAudio, BlocksLastAbout93MsInWholeRenderQuanta) {
  EXPECT_EQ(PageBlockFrames(host::web::kPageAudioRate), 2048);
  EXPECT_EQ(PageBlockFrames(44100), 4096);
  EXPECT_EQ(PageBlockFrames(48000), 4480);  // 4458 rounded up to 35 quanta
  EXPECT_EQ(PageBlockFrames(8000), 768);
  // Nothing sensible asked: still one quantum, never beyond the largest
  // block the host mixes.
  EXPECT_EQ(PageBlockFrames(0), 128);
  EXPECT_EQ(PageBlockFrames(-44100), 128);
  EXPECT_EQ(PageBlockFrames(192000), 16384);
  EXPECT_EQ(PageBlockFrames(2000000000), host::web::kMaxPageBlockFrames);
}

TEST(PageAudio, StereoFramesBecomeScaledFloatsWithTheirPeak) {
  const std::vector<int16_t> mixed = {0, 16384, -32768, 32767, -1, 1, 100, -20000};
  std::vector<float> out(mixed.size(), 9.0f);
  EXPECT_EQ(ToPageSamples(mixed.data(), 2, 4, out.data()), 32768);
  const std::vector<float> want = {0.0f, 0.5f, -1.0f, 32767.0f / 32768.0f, -1.0f / 32768.0f, 1.0f / 32768.0f,
                                   100.0f / 32768.0f, -20000.0f / 32768.0f};
  EXPECT_EQ(out, want);
  // The peak is the block's own, whichever channel holds it.
  EXPECT_EQ(ToPageSamples(mixed.data() + 6, 2, 1, out.data()), 20000);
  EXPECT_EQ(ToPageSamples(mixed.data() + 4, 2, 1, out.data()), 1);
}

TEST(PageAudio, MonoFramesPlayOnBothSides) {
  const std::vector<int16_t> mixed = {-300, 8192, 0};
  std::vector<float> out(6, 9.0f);
  EXPECT_EQ(ToPageSamples(mixed.data(), 1, 3, out.data()), 8192);
  EXPECT_EQ(out, (std::vector<float>{-300.0f / 32768.0f, -300.0f / 32768.0f, 0.25f, 0.25f, 0.0f, 0.0f}));
  // No frames: nothing written, no peak.
  std::vector<float> untouched(2, 9.0f);
  EXPECT_EQ(ToPageSamples(mixed.data(), 1, 0, untouched.data()), 0);
  EXPECT_EQ(untouched, (std::vector<float>{9.0f, 9.0f}));
}

}  // namespace

// The browser host's sound blocks: their size at each rate, the samples the
// page gives Web Audio, and the frames the clock is owed while the page
// plays nothing.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "host/web/page_audio.h"

namespace {

using host::web::ClockDebt;
using host::web::PageBlockFrames;
using host::web::ToPageSamples;

TEST(PageAudio, BlocksLastAbout186MsInWholeRenderQuanta) {
  EXPECT_EQ(PageBlockFrames(host::web::kPageAudioRate), 4096);
  EXPECT_EQ(PageBlockFrames(44100), 8192);
  EXPECT_EQ(PageBlockFrames(48000), 8960);  // 8916 rounded up to 70 quanta
  EXPECT_EQ(PageBlockFrames(8000), 1536);
  // Nothing sensible asked: still one quantum, never beyond the largest
  // block the host mixes.
  EXPECT_EQ(PageBlockFrames(0), 128);
  EXPECT_EQ(PageBlockFrames(-44100), 128);
  EXPECT_EQ(PageBlockFrames(96000), 16384);
  EXPECT_EQ(PageBlockFrames(2000000000), host::web::kMaxPageBlockFrames);
}

TEST(PageAudio, StereoFramesBecomeTwoPlanesOfScaledFloatsWithTheirPeak) {
  const std::vector<int16_t> mixed = {0, 16384, -32768, 32767, -1, 1, 100, -20000};
  std::vector<float> out(mixed.size(), 9.0f);
  EXPECT_EQ(ToPageSamples(mixed.data(), 2, 4, out.data()), 32768);
  const std::vector<float> want = {0.0f,          -1.0f, -1.0f / 32768.0f, 100.0f / 32768.0f,
                                   0.5f, 32767.0f / 32768.0f, 1.0f / 32768.0f, -20000.0f / 32768.0f};
  EXPECT_EQ(out, want);
  // The peak is the block's own, whichever channel holds it.
  EXPECT_EQ(ToPageSamples(mixed.data() + 6, 2, 1, out.data()), 20000);
  EXPECT_EQ(ToPageSamples(mixed.data() + 4, 2, 1, out.data()), 1);
}

TEST(PageAudio, MonoFramesPlayOnBothSides) {
  const std::vector<int16_t> mixed = {-300, 8192, 0};
  std::vector<float> out(6, 9.0f);
  EXPECT_EQ(ToPageSamples(mixed.data(), 1, 3, out.data()), 8192);
  EXPECT_EQ(out, (std::vector<float>{-300.0f / 32768.0f, 0.25f, 0.0f, -300.0f / 32768.0f, 0.25f, 0.0f}));
  // No frames: nothing written, no peak.
  std::vector<float> untouched(2, 9.0f);
  EXPECT_EQ(ToPageSamples(mixed.data(), 1, 0, untouched.data()), 0);
  EXPECT_EQ(untouched, (std::vector<float>{9.0f, 9.0f}));
}

TEST(PageAudio, TheClockIsOwedItsFramesFromTheHoldOnWithoutDrift) {
  ClockDebt debt;
  EXPECT_EQ(debt.Take(5000), 0u);  // nothing held yet: nothing owed
  debt.Hold(1000, 22050, 0);
  EXPECT_EQ(debt.Take(1000), 0u);
  EXPECT_EQ(debt.Take(999), 0u);  // a clock read before the hold owes nothing
  // Taken a millisecond at a time, the total is the clock's, not a sum of
  // rounded-down pieces (22.05 frames a millisecond).
  uint64_t total = 0;
  for (uint64_t ms = 1001; ms <= 3000; ++ms) total += debt.Take(ms);
  EXPECT_EQ(total, 44100u);
  EXPECT_EQ(debt.Take(3000), 0u);
  EXPECT_EQ(debt.Take(3100), 2205u);
}

TEST(PageAudio, FramesMixedAheadAreNotOwedAgain) {
  ClockDebt debt;
  // The page stopped with 4410 frames (200 ms) queued and not heard.
  debt.Hold(10000, 22050, 4410);
  EXPECT_EQ(debt.Take(10100), 0u);
  EXPECT_EQ(debt.Take(10200), 0u);
  EXPECT_EQ(debt.Take(10300), 2205u);
  // A new hold starts a new count: what was taken before is forgotten.
  debt.Hold(20000, 44100, 0);
  EXPECT_EQ(debt.Take(21000), 44100u);
  // A rate that means nothing owes nothing.
  debt.Hold(30000, 0, 0);
  EXPECT_EQ(debt.Take(40000), 0u);
  debt.Hold(30000, -22050, 0);
  EXPECT_EQ(debt.Take(40000), 0u);
}

}  // namespace

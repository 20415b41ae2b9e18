// The kept frame that lets a host skip showing a picture it already shows.
#include "host/shown_frame.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// A 3 x 2 frame in rows 5 pixels apart, the padding filled with junk that
// must never count.
std::vector<uint32_t> Padded(uint32_t junk) {
  std::vector<uint32_t> v(10, junk);
  const uint32_t picture[2][3] = {{1, 2, 3}, {4, 5, 6}};
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) v[static_cast<size_t>(y) * 5 + x] = picture[y][x];
  return v;
}

TEST(ShownFrame, KeepsATightCopyAndKnowsItAgainWhateverThePadding) {
  std::vector<uint32_t> shown;
  const auto a = Padded(0xAAAAAAAA);
  EXPECT_FALSE(host::SameFrame(shown, 3, a.data(), 3, 2, 20)) << "nothing shown yet";
  host::KeepFrame(&shown, a.data(), 3, 2, 20);
  EXPECT_EQ(shown, (std::vector<uint32_t>{1, 2, 3, 4, 5, 6}));
  const auto b = Padded(0x55555555);
  EXPECT_TRUE(host::SameFrame(shown, 3, b.data(), 3, 2, 20));
  // The same pixels tightly packed are the same picture too.
  EXPECT_TRUE(host::SameFrame(shown, 3, shown.data(), 3, 2, 12));
}

TEST(ShownFrame, AnyChangedPixelOrSizeIsANewFrame) {
  std::vector<uint32_t> shown;
  auto frame = Padded(0);
  host::KeepFrame(&shown, frame.data(), 3, 2, 20);
  for (size_t i : {size_t{0}, size_t{2}, size_t{5}, size_t{7}}) {
    auto changed = frame;
    changed[i] ^= 0x00010000;
    EXPECT_FALSE(host::SameFrame(shown, 3, changed.data(), 3, 2, 20)) << "pixel at " << i;
  }
  // The same six pixels in another shape.
  const std::vector<uint32_t> tall = {1, 2, 3, 4, 5, 6};
  EXPECT_FALSE(host::SameFrame(shown, 3, tall.data(), 2, 3, 8));
  EXPECT_FALSE(host::SameFrame(shown, 3, tall.data(), 6, 1, 24));
  EXPECT_FALSE(host::SameFrame(shown, 3, frame.data(), 3, 1, 20));
}

TEST(ShownFrame, NoPictureIsNeverTheSameAndForgetsTheKeptOne) {
  std::vector<uint32_t> shown;
  const auto frame = Padded(0);
  host::KeepFrame(&shown, frame.data(), 3, 2, 20);
  EXPECT_FALSE(host::SameFrame(shown, 3, nullptr, 3, 2, 20));
  EXPECT_FALSE(host::SameFrame(shown, 3, frame.data(), 3, 2, 8)) << "a pitch shorter than a row is no frame";
  EXPECT_FALSE(host::SameFrame(shown, 3, frame.data(), 0, 2, 20));
  host::KeepFrame(&shown, frame.data(), 3, 2, 4);
  EXPECT_TRUE(shown.empty());
  EXPECT_FALSE(host::SameFrame(shown, 3, frame.data(), 0, 0, 0));
}

}  // namespace

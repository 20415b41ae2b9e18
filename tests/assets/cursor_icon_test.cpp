// The cursor and icon resources: image layouts with their masks, and the
// group directories that name them.
#include <gtest/gtest.h>

#include "asset_files.h"

namespace assets_test {
namespace {

bool MaskBit(const Bytes& b, size_t maskOffset, int w, int h, int x, int y) {
  size_t stride = (size_t(w) + 31) / 32 * 4;
  size_t row = maskOffset + stride * size_t(h - 1 - y);  // bottom-up like the pixels
  return (b[row + size_t(x / 8)] >> (7 - x % 8)) & 1;
}

TEST(CursorResource, ImageIsThirtyTwoSquareFourBitWithHotspotAtTopLeft) {
  Bytes c = ReadAsset(FileFor(1, 1));
  ASSERT_EQ(c.size(), 748u);
  EXPECT_EQ(U16(c, 0), 0u) << "hotspot x";
  EXPECT_EQ(U16(c, 2), 0u) << "hotspot y";
  Dib d = ParseDib(c, 4, true);
  ASSERT_TRUE(d.ok);
  EXPECT_EQ(d.width, 32);
  EXPECT_EQ(S32(c, 4 + 8), 64) << "stored height counts the mask too";
  EXPECT_EQ(d.height, 32);
  EXPECT_EQ(d.planes, 1u);
  EXPECT_EQ(d.bits, 4u);
  EXPECT_EQ(d.compression, 0u);
  EXPECT_EQ(d.palette.size(), 16u);
  EXPECT_TRUE(d.reservedZero);
  EXPECT_EQ(4 + 40 + 64 + 16 * 32 + 4 * 32, 748);
}

TEST(CursorResource, MaskLeavesThreeHundredNinetySevenPixelsTransparent) {
  Bytes c = ReadAsset(FileFor(1, 1));
  Dib d = ParseDib(c, 4, true);
  ASSERT_TRUE(d.ok);
  const size_t mask = 4 + 40 + 64 + 16 * 32;
  int transparent = 0, navy = 0, silver = 0, grey = 0, blue = 0;
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) {
      Rgb col = d.colour(x, y);
      if (MaskBit(c, mask, 32, 32, x, y)) {
        ++transparent;
        // screen AND 1 XOR black leaves the screen as it is
        EXPECT_EQ(col, (Rgb{0, 0, 0})) << x << "," << y;
        continue;
      }
      navy += col == Rgb{0, 0, 0x80};
      silver += col == Rgb{0xC0, 0xC0, 0xC0};
      grey += col == Rgb{0x80, 0x80, 0x80};
      blue += col == Rgb{0, 0, 0xFF};
    }
  EXPECT_EQ(transparent, 397);
  EXPECT_GT(navy, 400);
  EXPECT_GT(silver, 5);
  EXPECT_GT(grey, 3);
  EXPECT_GT(blue, 0);
  EXPECT_LT(blue, 40) << "only a few edge pixels";
  EXPECT_FALSE(MaskBit(c, mask, 32, 32, 0, 0)) << "the hotspot is on the shape";
}

TEST(CursorResource, GroupHasOneEntryNamingImageOne) {
  Bytes g = ReadAsset(FileFor(12, 110));
  ASSERT_EQ(g.size(), 20u);
  EXPECT_EQ(U16(g, 0), 0u);
  EXPECT_EQ(U16(g, 2), 2u) << "cursor directory";
  EXPECT_EQ(U16(g, 4), 1u);
  EXPECT_EQ(U16(g, 6), 32u);
  EXPECT_EQ(U16(g, 8), 64u);
  EXPECT_EQ(U16(g, 10), 1u);
  EXPECT_EQ(U16(g, 12), 4u);
  EXPECT_EQ(U32(g, 14), 748u);
  EXPECT_EQ(U16(g, 18), 1u);
}

TEST(IconResource, ImageIs128SquareEightBitOnTheCommonPaletteWithoutTransparency) {
  Bytes c = ReadAsset(FileFor(3, 2));
  ASSERT_EQ(c.size(), 19496u);
  Dib d = ParseDib(c, 0, true);
  ASSERT_TRUE(d.ok);
  EXPECT_EQ(d.width, 128);
  EXPECT_EQ(S32(c, 8), 256);
  EXPECT_EQ(d.bits, 8u);
  EXPECT_EQ(d.palette.size(), 256u);
  EXPECT_EQ(d.palette[0], (Rgb{0, 0, 0}));
  EXPECT_EQ(d.palette[9], (Rgb{0xA6, 0xCA, 0xF0}));
  EXPECT_EQ(d.palette[246], (Rgb{0xFF, 0xFB, 0xF0}));
  EXPECT_EQ(d.palette[100], (Rgb{0x80, 0x80, 0x40}));
  const size_t mask = 40 + 1024 + 128 * 128;
  for (size_t i = mask; i < c.size(); ++i) ASSERT_EQ(c[i], 0) << "no transparent pixels";
  // black eyes, crimson-ish hair at the top, navy ground at the corners
  int black = 0;
  for (uint8_t v : d.idx) black += v == 0;
  EXPECT_GT(black, 30);
  EXPECT_EQ(d.colour(0, 127), (Rgb{0, 0, 0x80}));
  Rgb hair = d.colour(64, 8);
  EXPECT_GT(hair.r, 0x80);
  EXPECT_LT(hair.g, 0x40);
}

TEST(IconResource, GroupHasOneEntryNamingImageTwo) {
  Bytes g = ReadAsset(FileFor(14, 123));
  ASSERT_EQ(g.size(), 20u);
  EXPECT_EQ(U16(g, 0), 0u);
  EXPECT_EQ(U16(g, 2), 1u) << "icon directory";
  EXPECT_EQ(U16(g, 4), 1u);
  EXPECT_EQ(g[6], 128);
  EXPECT_EQ(g[7], 128);
  EXPECT_EQ(g[8], 0) << "256 colours are written as 0";
  EXPECT_EQ(g[9], 0);
  EXPECT_EQ(U16(g, 10), 1u);
  EXPECT_EQ(U16(g, 12), 8u);
  EXPECT_EQ(U32(g, 14), 19496u);
  EXPECT_EQ(U16(g, 18), 2u);
}

}  // namespace
}  // namespace assets_test

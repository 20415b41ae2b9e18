// Tests of the block-compressed and pixel-pair formats: decoding known
// blocks, round trips of pictures each block can hold exactly, partial
// rectangles inside blocks, and the colour key quantised through a block.
#include "gfx/pixels/block_codec.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "gfx/gfx.h"
#include "gfx/pixels/resample.h"

namespace {

using gfx::Pixel;

gfx::ImageView View(D3DFORMAT format, BYTE* pixels, UINT pitch, UINT width, UINT height) {
  gfx::ImageView v;
  v.format = format;
  v.pixels = pixels;
  v.rowPitch = pitch;
  v.width = width;
  v.height = height;
  v.depth = 1;
  return v;
}

uint32_t Argb(const std::vector<BYTE>& b, UINT pitch, UINT x, UINT y) {
  uint32_t v;
  std::memcpy(&v, b.data() + size_t(y) * pitch + x * 4, 4);
  return v;
}

TEST(Dxt, DecodesAFourColourBlock) {
  // Red and blue endpoints; pixel i uses index i % 4.
  const BYTE block[8] = {0x00, 0xF8, 0x1F, 0x00, 0xE4, 0xE4, 0xE4, 0xE4};
  Pixel px[16];
  gfx::DecodeBlocks(D3DFMT_DXT1, block, 8, 1, 1, px, 4);
  EXPECT_EQ(px[0].r, 1.0f);
  EXPECT_EQ(px[0].b, 0.0f);
  EXPECT_EQ(px[1].b, 1.0f);
  EXPECT_FLOAT_EQ(px[2].r, 2.0f / 3.0f);
  EXPECT_FLOAT_EQ(px[3].b, 2.0f / 3.0f);
  EXPECT_EQ(px[3].a, 1.0f);
}

TEST(Dxt, ThreeColourModeHasTransparentBlack) {
  // c0 <= c1: index 2 is the midpoint, index 3 transparent black.
  const BYTE block[8] = {0x1F, 0x00, 0x00, 0xF8, 0x0E, 0x00, 0x00, 0x00};  // pixel 0 -> 2, pixel 1 -> 3
  Pixel px[16];
  gfx::DecodeBlocks(D3DFMT_DXT1, block, 8, 1, 1, px, 4);
  EXPECT_FLOAT_EQ(px[0].r, 0.5f);
  EXPECT_FLOAT_EQ(px[0].b, 0.5f);
  EXPECT_EQ(px[1].a, 0.0f);
  EXPECT_EQ(px[1].r, 0.0f);
  EXPECT_EQ(px[2].a, 1.0f);
}

// An 8 x 8 picture whose every block holds at most two 5:6:5 colours and two
// alpha values, which each format stores exactly (DXT3 alpha in 4 bits).
std::vector<BYTE> TwoColourPicture(bool alpha) {
  std::vector<BYTE> out(8 * 8 * 4);
  for (UINT y = 0; y < 8; ++y) {
    for (UINT x = 0; x < 8; ++x) {
      const bool first = ((x + y) & 1) == 0;
      uint32_t colour = first ? 0xFF0000FFu : 0xFF00FF00u;  // blue / green (exact in 5:6:5)
      if (y >= 4) colour = first ? 0xFFFF0000u : 0xFFFFFFFFu;
      if (alpha && !first) colour = (colour & 0x00FFFFFF) | 0x44000000u;
      std::memcpy(&out[(y * 8 + x) * 4], &colour, 4);
    }
  }
  return out;
}

TEST(Dxt, RoundTripsOfExactPictures) {
  struct Case {
    D3DFORMAT format;
    bool alpha;
  };
  for (Case c : {Case{D3DFMT_DXT1, false}, Case{D3DFMT_DXT2, true}, Case{D3DFMT_DXT3, true}, Case{D3DFMT_DXT4, true},
                 Case{D3DFMT_DXT5, true}}) {
    const UINT blockBytes = c.format == D3DFMT_DXT1 ? 8 : 16;
    std::vector<BYTE> picture = TwoColourPicture(c.alpha), blocks(4 * blockBytes), back(8 * 8 * 4);
    gfx::ImageView src = View(D3DFMT_A8R8G8B8, picture.data(), 32, 8, 8);
    gfx::ImageView dxt = View(c.format, blocks.data(), 2 * blockBytes, 8, 8);
    ASSERT_EQ(gfx::DispatchConversion(&dxt, &src, D3DX_FILTER_NONE), S_OK);
    gfx::ImageView dxtIn = View(c.format, blocks.data(), 2 * blockBytes, 8, 8);
    gfx::ImageView out = View(D3DFMT_A8R8G8B8, back.data(), 32, 8, 8);
    ASSERT_EQ(gfx::DispatchConversion(&out, &dxtIn, D3DX_FILTER_NONE), S_OK);
    for (UINT y = 0; y < 8; ++y) {
      for (UINT x = 0; x < 8; ++x) {
        uint32_t want = Argb(picture, 32, x, y), got = Argb(back, 32, x, y);
        if (c.format == D3DFMT_DXT3) {  // 0x44 is 4 / 15 of the way: 0x44
          EXPECT_EQ(got, want) << c.format << " " << x << "," << y;
        } else if (c.format == D3DFMT_DXT2 || c.format == D3DFMT_DXT4) {
          // Premultiplied storage loses colour precision under low alpha.
          EXPECT_EQ(got >> 24, want >> 24);
        } else {
          EXPECT_EQ(got, want) << c.format << " " << x << "," << y;
        }
      }
    }
  }
}

TEST(Dxt, PartialRectangleKeepsTheRestOfTheBlock) {
  // A 4 x 4 blue DXT1 block; write one red pixel at (1, 2).
  std::vector<BYTE> blue(16 * 4), red(4), blocks(8), back(16 * 4);
  for (int i = 0; i < 16; ++i) std::memcpy(&blue[i * 4], "\xFF\x00\x00\xFF", 4);
  std::memcpy(red.data(), "\x00\x00\xFF\xFF", 4);
  gfx::ImageView src = View(D3DFMT_A8R8G8B8, blue.data(), 16, 4, 4);
  gfx::ImageView dxt = View(D3DFMT_DXT1, blocks.data(), 8, 4, 4);
  ASSERT_EQ(gfx::DispatchConversion(&dxt, &src, D3DX_FILTER_NONE), S_OK);
  gfx::ImageView one = View(D3DFMT_A8R8G8B8, red.data(), 4, 1, 1);
  gfx::ImageView part = View(D3DFMT_DXT1, blocks.data(), 8, 1, 1);
  part.columnOffset = 1;
  part.rowOffset = 2;
  ASSERT_EQ(gfx::DispatchConversion(&part, &one, D3DX_FILTER_NONE), S_OK);
  gfx::ImageView dxtIn = View(D3DFMT_DXT1, blocks.data(), 8, 4, 4);
  gfx::ImageView out = View(D3DFMT_A8R8G8B8, back.data(), 16, 4, 4);
  ASSERT_EQ(gfx::DispatchConversion(&out, &dxtIn, D3DX_FILTER_NONE), S_OK);
  for (UINT y = 0; y < 4; ++y)
    for (UINT x = 0; x < 4; ++x)
      EXPECT_EQ(Argb(back, 16, x, y), (x == 1 && y == 2) ? 0xFFFF0000u : 0xFF0000FFu) << x << "," << y;
}

TEST(Dxt, ColourKeyIsQuantisedThroughTheBlock) {
  // 0xFF010101 is stored as black in 5:6:5, so black pixels are keyed.
  std::vector<BYTE> picture(16 * 4, 0), blocks(8), back(16 * 4);
  for (int i = 0; i < 16; ++i) picture[i * 4 + 3] = 0xFF;
  picture[0] = 0xFF;  // pixel 0 blue
  gfx::ImageView src = View(D3DFMT_A8R8G8B8, picture.data(), 16, 4, 4);
  gfx::ImageView dxt = View(D3DFMT_DXT1, blocks.data(), 8, 4, 4);
  ASSERT_EQ(gfx::DispatchConversion(&dxt, &src, D3DX_FILTER_NONE), S_OK);
  gfx::ImageView keyed = View(D3DFMT_DXT1, blocks.data(), 8, 4, 4);
  keyed.keyOn = true;
  keyed.key = Pixel{1.0f / 255, 1.0f / 255, 1.0f / 255, 1.0f};
  gfx::ImageView out = View(D3DFMT_A8R8G8B8, back.data(), 16, 4, 4);
  ASSERT_EQ(gfx::DispatchConversion(&out, &keyed, D3DX_FILTER_NONE), S_OK);
  EXPECT_EQ(Argb(back, 16, 0, 0), 0xFF0000FFu);
  EXPECT_EQ(Argb(back, 16, 1, 0), 0u);
}

TEST(Pairs, YuvAndRgbgDecodeAndRoundTrip) {
  // UYVY white and black pixels: Y 235 / 16 with neutral U and V.
  const BYTE uyvy[4] = {128, 235, 128, 16};
  Pixel px[2];
  gfx::DecodeBlocks(D3DFMT_UYVY, uyvy, 4, 1, 1, px, 2);
  EXPECT_NEAR(px[0].r, 1.0f, 1e-4);
  EXPECT_NEAR(px[0].b, 1.0f, 1e-4);
  EXPECT_NEAR(px[1].g, 0.0f, 1e-4);
  // RGBG: red and blue shared, green per pixel.
  const BYTE rgbg[4] = {10, 20, 30, 40};
  gfx::DecodeBlocks(D3DFMT_R8G8_B8G8, rgbg, 4, 1, 1, px, 2);
  EXPECT_FLOAT_EQ(px[1].r, 10 / 255.0f);
  EXPECT_FLOAT_EQ(px[0].g, 20 / 255.0f);
  EXPECT_FLOAT_EQ(px[1].g, 40 / 255.0f);
  EXPECT_FLOAT_EQ(px[0].b, 30 / 255.0f);
  // What a pair can hold survives a round trip within one step: greys in
  // YUV, one red and blue per pair in GRGB.
  for (D3DFORMAT f : {D3DFMT_YUY2, D3DFMT_UYVY, D3DFMT_G8R8_G8B8}) {
    std::vector<BYTE> picture(6 * 4), packed(12), back(6 * 4);
    for (int i = 0; i < 6; ++i) {
      const BYTE g = BYTE(40 * i);
      const BYTE shared = f == D3DFMT_G8R8_G8B8 ? BYTE(90 * (i / 2)) : g;
      BYTE p[4] = {shared, g, shared, 255};
      std::memcpy(&picture[i * 4], p, 4);
    }
    gfx::ImageView src = View(D3DFMT_A8R8G8B8, picture.data(), 24, 6, 1);
    gfx::ImageView pairs = View(f, packed.data(), 12, 6, 1);
    ASSERT_EQ(gfx::DispatchConversion(&pairs, &src, D3DX_FILTER_NONE), S_OK);
    gfx::ImageView in = View(f, packed.data(), 12, 6, 1);
    gfx::ImageView out = View(D3DFMT_A8R8G8B8, back.data(), 24, 6, 1);
    ASSERT_EQ(gfx::DispatchConversion(&out, &in, D3DX_FILTER_NONE), S_OK);
    for (int i = 0; i < 24; ++i) EXPECT_NEAR(back[i], picture[i], 1) << f << " byte " << i;
  }
}

}  // namespace

// The committed bitmaps through the image library's own decoder: each one
// decodes to the palettised picture the tests read, and with the colour key
// opaque black exactly one pixel of the twelve becomes transparent.
#include <gtest/gtest.h>

#include "asset_files.h"
#include "gfx/formats/dib_decoder.h"

namespace assets_test {
namespace {

const int kNumbers[] = {111, 112, 113, 114, 115, 116, 117, 118, 119, 120, 121, 124};

TEST(LibraryDecode, EveryBitmapDecodesToItsPalettisedPicture) {
  for (int n : kNumbers) {
    SCOPED_TRACE(n);
    Bytes raw = ReadAsset(FileFor(2, n));
    Dib mine = ParseDib(raw);
    ASSERT_TRUE(mine.ok);
    gfx::DecodedImage img;
    ASSERT_EQ(gfx::DecodeDib(&img, raw.data(), raw.size()), S_OK);
    EXPECT_EQ(img.format, D3DFMT_P8);
    EXPECT_EQ(int(img.width), mine.width);
    EXPECT_EQ(int(img.height), mine.height);
    ASSERT_NE(img.palette, nullptr);
    ASSERT_NE(img.pixels, nullptr);
    int mismatched = 0;
    for (int y = 0; y < mine.height; ++y)
      for (int x = 0; x < mine.width; ++x) {
        uint8_t v = img.pixels[size_t(y) * img.rowPitch + size_t(x)];
        mismatched += v != mine.at(x, y);
      }
    EXPECT_EQ(mismatched, 0) << "top row first, indices as stored";
    for (size_t i = 0; i < mine.palette.size(); ++i) {
      EXPECT_EQ(img.palette[i].peRed, mine.palette[i].r);
      EXPECT_EQ(img.palette[i].peGreen, mine.palette[i].g);
      EXPECT_EQ(img.palette[i].peBlue, mine.palette[i].b);
    }
    gfx::ClearDecodedImage(&img);
  }
}

TEST(LibraryDecode, ColourKeyOpaqueBlackHidesOnlyTheStrangersOnePixel) {
  int keyed = 0;
  for (int n : kNumbers) {
    Bytes raw = ReadAsset(FileFor(2, n));
    gfx::DecodedImage img;
    ASSERT_EQ(gfx::DecodeDib(&img, raw.data(), raw.size()), S_OK) << n;
    for (UINT y = 0; y < img.height; ++y)
      for (UINT x = 0; x < img.width; ++x) {
        const PALETTEENTRY& c = img.palette[img.pixels[size_t(y) * img.rowPitch + x]];
        if (c.peRed == 0 && c.peGreen == 0 && c.peBlue == 0) {
          ++keyed;
          EXPECT_EQ(n, 116);
          EXPECT_EQ(x, 50u);
          EXPECT_EQ(y, 25u);
        }
      }
    gfx::ClearDecodedImage(&img);
  }
  EXPECT_EQ(keyed, 1);
}

}  // namespace
}  // namespace assets_test

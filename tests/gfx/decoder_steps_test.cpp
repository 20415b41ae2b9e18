// The steps every decoder and entry shares: describing a picture, taking its
// buffers from the library's allocator (and giving nothing when it fails),
// the guard that frees them, and the argument checks with their messages.
#include <gtest/gtest.h>

#include <string>

#include "gfx/formats/decoded_image.h"
#include "gfx/load/call_checks.h"
#include "host/headless/headless_host.h"
#include "tests/gfx/host_allocation_faults.h"

namespace {

class DecoderSteps : public ::testing::Test {
 protected:
  void SetUp() override { host::SetCurrent(&host_); }
  void TearDown() override { host::SetCurrent(nullptr); }
  // The debug lines written since the last call.
  std::string Said() {
    std::string text = host_.DebugText().substr(seen_);
    seen_ = host_.DebugText().size();
    return text;
  }
  host::HeadlessHost host_;
  size_t seen_ = 0;
};

TEST_F(DecoderSteps, DescribeWritesEveryFieldOfTheDescriptionAndNothingElse) {
  gfx::DecodedImage image;
  const BYTE borrowed[4] = {};
  image.pixels = borrowed;
  image.loadPixels = false;
  gfx::DescribePicture(&image, D3DFMT_R8G8B8, 5, 3, 16, 48);
  EXPECT_EQ(image.format, D3DFMT_R8G8B8);
  EXPECT_EQ(image.width, 5u);
  EXPECT_EQ(image.height, 3u);
  EXPECT_EQ(image.depth, 1u);
  EXPECT_EQ(image.rowPitch, 16u);
  EXPECT_EQ(image.slicePitch, 48u);
  EXPECT_EQ(image.resourceType, D3DRTYPE_TEXTURE);
  EXPECT_EQ(image.pixels, borrowed);
  EXPECT_FALSE(image.loadPixels);

  gfx::DescribePicture(&image, D3DFMT_DXT1, 8, 8, 16, 32, 4, D3DRTYPE_VOLUMETEXTURE);
  EXPECT_EQ(image.depth, 4u);
  EXPECT_EQ(image.resourceType, D3DRTYPE_VOLUMETEXTURE);
}

TEST_F(DecoderSteps, BuffersBelongToTheImageAndTheGuardFreesThem) {
  gfx::DecodedImage image;
  {
    gfx::ImageGuard guard(&image);
    BYTE* pixels = gfx::AllocatePixels(&image, 64, true);
    ASSERT_NE(pixels, nullptr);
    EXPECT_EQ(image.pixels, pixels);
    EXPECT_TRUE(image.pixelsOwned);
    for (int i = 0; i < 64; ++i) ASSERT_EQ(pixels[i], 0) << i;
    PALETTEENTRY* palette = gfx::AllocatePalette(&image, PALETTEENTRY{1, 2, 3, 4});
    ASSERT_NE(palette, nullptr);
    EXPECT_EQ(image.palette, palette);
    EXPECT_TRUE(image.paletteOwned);
    for (int i = 0; i < 256; ++i) {
      ASSERT_EQ(palette[i].peRed, 1) << i;
      ASSERT_EQ(palette[i].peFlags, 4) << i;
    }
  }
  // Cleared (and, under the sanitizers, freed exactly once).
  EXPECT_EQ(image.pixels, nullptr);
  EXPECT_EQ(image.palette, nullptr);
  EXPECT_FALSE(image.pixelsOwned);
}

TEST_F(DecoderSteps, AFailedAllocationLeavesTheImageAsItWas) {
  HostAllocationFaults routed;
  gfx::DecodedImage image;
  host_.FailAt("alloc", host_.CallCount("alloc") + 1);
  EXPECT_EQ(gfx::AllocatePixels(&image, 16), nullptr);
  EXPECT_EQ(image.pixels, nullptr);
  EXPECT_FALSE(image.pixelsOwned);
  host_.FailAt("alloc", host_.CallCount("alloc") + 1);
  EXPECT_EQ(gfx::AllocatePalette(&image, PALETTEENTRY{}), nullptr);
  EXPECT_EQ(image.palette, nullptr);
  EXPECT_FALSE(image.paletteOwned);
}

TEST_F(DecoderSteps, ArgumentChecksNameWhatIsMissing) {
  const int something = 0;
  EXPECT_EQ(gfx::RequirePointer(&something, "pThing"), S_OK);
  EXPECT_EQ(Said(), "");
  EXPECT_EQ(gfx::RequirePointer(nullptr, "pThing"), D3DERR_INVALIDCALL);
  EXPECT_EQ(Said(), "D3DX: pThing pointer is invalid\r\n");

  EXPECT_EQ(gfx::RequireSourceData(&something, 1), S_OK);
  EXPECT_EQ(gfx::RequireSourceData(&something, 0), D3DERR_INVALIDCALL);
  EXPECT_EQ(gfx::RequireSourceData(nullptr, 4), D3DERR_INVALIDCALL);
  EXPECT_EQ(Said(), "D3DX: Source image data (pvSrcData or cbSrcData) is invalid\r\n"
                    "D3DX: Source image data (pvSrcData or cbSrcData) is invalid\r\n");

  // The device is checked first; only one message per call.
  EXPECT_EQ(gfx::RequireDeviceAndTexture(nullptr, nullptr), D3DERR_INVALIDCALL);
  EXPECT_EQ(Said(), "D3DX: pDevice pointer is invalid\r\n");
  EXPECT_EQ(gfx::RequireDeviceAndTexture(&something, nullptr), D3DERR_INVALIDCALL);
  EXPECT_EQ(Said(), "D3DX: Texture pointer is invalid\r\n");
  EXPECT_EQ(gfx::RequireDeviceAndTexture(&something, &something), S_OK);
}

TEST_F(DecoderSteps, RectanglesMustBeUprightAndInside) {
  // Empty and whole rectangles pass; the edges are inclusive.
  EXPECT_EQ(gfx::RequireRectWithin(RECT{0, 0, 0, 0}, 4, 3), S_OK);
  EXPECT_EQ(gfx::RequireRectWithin(RECT{0, 0, 4, 3}, 4, 3), S_OK);
  EXPECT_EQ(gfx::RequireRectWithin(RECT{4, 3, 4, 3}, 4, 3), S_OK);
  EXPECT_EQ(Said(), "");
  const RECT refused[] = {
      {-1, 0, 2, 2},  // left of the picture
      {0, -1, 2, 2},  // above it
      {3, 0, 2, 2},   // inverted across
      {0, 2, 2, 1},   // inverted down
      {0, 0, 5, 3},   // past the right edge
      {0, 0, 4, 4},   // past the bottom
      {0, 0, 0x7FFFFFFF, 3},
  };
  for (const RECT& r : refused) {
    EXPECT_EQ(gfx::RequireRectWithin(r, 4, 3), D3DERR_INVALIDCALL) << r.left << "," << r.top << "," << r.right
                                                                    << "," << r.bottom;
    EXPECT_EQ(Said(), "D3DX: Invalid rect\r\n");
  }
}

}  // namespace

// The picture test: every bitmap of the game's sizes and depths, made into a
// texture with the game's arguments and drawn 1:1 by its own sprite at an
// integer position, shows exactly its pixels (keyed ones letting the white
// background through) on a device that keeps the bitmap's size, through
// both vertex layouts; on a power-of-two device it shows the stretched
// picture the texture holds. Each frame is written as a PNG beside the test.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "gfx/gfx.h"
#include "gfx/sprite/sprite.h"
#include "tests/gfx/sprite_test_support.h"
#include "tests/gfx/texture_bitmaps.h"
#include "tests/gfx/texture_device.h"

namespace texture_test {
namespace {

uint32_t OverWhite(uint32_t argb) {
  const uint32_t a = argb >> 24;
  uint32_t out = 0;
  for (int shift = 0; shift < 24; shift += 8) {
    const uint32_t c = (argb >> shift) & 0xFF;
    out |= ((c * a + 255 * (255 - a) + 127) / 255) << shift;
  }
  return out;
}

int ChannelDistance(uint32_t a, uint32_t b) {
  int worst = 0;
  for (int shift = 0; shift < 24; shift += 8) {
    const int d = std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF));
    worst = d > worst ? d : worst;
  }
  return worst;
}

class SpritePicture : public DeviceTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(SpritePicture, EveryGameBitmapIsDrawnAsTheTextureHoldsIt) {
  const std::string profile = GetParam();
  StartDevice(profile);
  const bool stretched = profile == "pow2";

  for (const GameBitmap& g : kGameBitmaps) {
    SCOPED_TRACE(::testing::Message() << "bitmap " << g.resource << " on " << profile);
    const Bitmap b = MakeBitmap(g.width, g.height, g.bits, /*keyedPixels=*/g.bits == 8, g.clrUsed);
    Register(2, g.resource, b.bytes);
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(D3DXCreateTextureFromResourceExA(device_, nullptr, MAKEINTRESOURCEA(g.resource), g.width, g.height, 0,
                                               0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, kGameFilter, kGameFilter,
                                               0xFF000000, nullptr, nullptr, &texture),
              S_OK);
    ID3DXSprite* sprite = nullptr;
    ASSERT_EQ(D3DXCreateSprite(device_, &sprite), S_OK);

    // What the top level holds: the bitmap itself, or the stretched picture.
    std::vector<uint32_t> top;
    UINT tw = 0, th = 0;
    ASSERT_TRUE(ReadLevel(texture, 0, &top, &tw, &th));
    if (!stretched) {
      ASSERT_EQ(tw, UINT(g.width));
      ASSERT_EQ(th, UINT(g.height));
    }

    const int x0 = g.width >= 792 ? 0 : 8, y0 = g.height >= 640 ? 0 : 8;
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFFFFFF, 1.0f, 0), S_OK);
    ASSERT_EQ(device_->BeginScene(), S_OK);
    const D3DXVECTOR2 scale{1, 1}, centre{1, 1}, at{float(x0), float(y0)};
    ASSERT_EQ(sprite->Draw(texture, nullptr, &scale, &centre, 0.0f, &at, 0xFFFFFFFF), S_OK);
    ASSERT_EQ(device_->EndScene(), S_OK);
    const auto& frame = PresentFrame(device_, host_);
    gfx::WriteFramePng("sprite_picture_" + profile + "_" + std::to_string(g.resource) + ".png", frame.pixels.data(),
                   frame.width, frame.height, frame.width * 4);

    int mismatches = 0, worst = 0;
    const int visibleW = std::min<int>(int(tw), frame.width - x0), visibleH = std::min<int>(int(th), frame.height - y0);
    for (int y = 0; y < visibleH; ++y)
      for (int x = 0; x < visibleW; ++x) {
        const uint32_t want = stretched ? OverWhite(top[size_t(y) * tw + x]) : OverWhite(b.KeyedArgbAt(x, y));
        const int d = ChannelDistance(FramePixel(frame, x0 + x, y0 + y), want);
        // Partial alpha (stretched keyed texels) may round either way.
        const int allowed = ((top[size_t(y) * tw + x] >> 24) == 0xFF || (top[size_t(y) * tw + x] >> 24) == 0) ? 0 : 1;
        if (d > allowed) ++mismatches;
        worst = d > worst ? d : worst;
      }
    EXPECT_EQ(mismatches, 0) << "worst channel difference " << worst;
    // Nothing outside the picture.
    if (x0 > 0) {
      EXPECT_EQ(FramePixel(frame, x0 - 1, y0), 0xFFFFFFu);
    }
    if (x0 + visibleW < frame.width) {
      EXPECT_EQ(FramePixel(frame, x0 + visibleW, y0), 0xFFFFFFu);
    }
    if (y0 + visibleH < frame.height) {
      EXPECT_EQ(FramePixel(frame, x0, y0 + visibleH), 0xFFFFFFu);
    }
    sprite->Release();
    texture->Release();
  }
}

INSTANTIATE_TEST_SUITE_P(Profiles, SpritePicture, ::testing::Values("default", "untransformed", "pow2", "noblend"));

}  // namespace
}  // namespace texture_test

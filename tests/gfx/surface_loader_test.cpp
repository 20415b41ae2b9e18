// Tests of D3DXLoadSurfaceFromMemory, the level loader: argument checks and
// their messages, rectangles, locking, the default filter, and the road
// through a copy for surfaces that cannot be locked, on a surface held in
// memory and on the software device's textures.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gfx/gfx.h"
#include "gfx/sprite/sprite.h"
#include "host/headless/headless_host.h"
#include "tests/gfx/memory_surface.h"
#include "tests/gfx/sprite_test_support.h"
#include "tests/gfx/texture_device.h"

namespace {

class LevelLoader : public ::testing::Test {
 protected:
  void SetUp() override { host::SetCurrent(&host_); }
  void TearDown() override { host::SetCurrent(nullptr); }
  bool Reported(const std::string& message) const {
    return host_.DebugText().find("D3DX: " + message + "\r\n") != std::string::npos;
  }
  host::HeadlessHost host_;
};

TEST_F(LevelLoader, NullArgumentsAreNamed) {
  gfxtest::MemorySurface surface(4, 4, D3DFMT_A8R8G8B8, 4);
  const uint32_t px[4] = {};
  RECT rect{0, 0, 2, 2};
  EXPECT_EQ(D3DXLoadSurfaceFromMemory(nullptr, nullptr, nullptr, px, D3DFMT_A8R8G8B8, 8, nullptr, &rect,
                                      D3DX_FILTER_NONE, 0),
            D3DERR_INVALIDCALL);
  EXPECT_TRUE(Reported("pDestSurface pointer is invalid"));
  EXPECT_EQ(D3DXLoadSurfaceFromMemory(&surface, nullptr, nullptr, nullptr, D3DFMT_A8R8G8B8, 8, nullptr, &rect,
                                      D3DX_FILTER_NONE, 0),
            D3DERR_INVALIDCALL);
  EXPECT_TRUE(Reported("pSrcMemory pointer is invalid"));
  EXPECT_EQ(D3DXLoadSurfaceFromMemory(&surface, nullptr, nullptr, px, D3DFMT_A8R8G8B8, 8, nullptr, nullptr,
                                      D3DX_FILTER_NONE, 0),
            D3DERR_INVALIDCALL);
  EXPECT_TRUE(Reported("pSrcRect pointer is invalid"));
  EXPECT_EQ(surface.locks, 0);
}

TEST_F(LevelLoader, RectanglesAreChecked) {
  gfxtest::MemorySurface surface(4, 4, D3DFMT_A8R8G8B8, 4);
  const uint32_t px[4] = {};
  RECT src{0, 0, 2, 2};
  const RECT bad[] = {{-1, 0, 2, 2}, {0, 0, 5, 2}, {3, 0, 2, 2}, {0, 3, 2, 2}, {0, 0, 2, 5}};
  for (const RECT& r : bad) {
    EXPECT_EQ(D3DXLoadSurfaceFromMemory(&surface, nullptr, &r, px, D3DFMT_A8R8G8B8, 8, nullptr, &src,
                                        D3DX_FILTER_NONE, 0),
              D3DERR_INVALIDCALL);
  }
  EXPECT_TRUE(Reported("Invalid rect"));
  // An inverted source rectangle would read far outside the caller's pixels.
  RECT inverted{2, 0, 0, 2};
  EXPECT_EQ(D3DXLoadSurfaceFromMemory(&surface, nullptr, nullptr, px, D3DFMT_A8R8G8B8, 8, nullptr, &inverted,
                                      D3DX_FILTER_NONE, 0),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(surface.locks, 0);
}

TEST_F(LevelLoader, WritesOnlyTheDestinationRectangle) {
  gfxtest::MemorySurface surface(4, 3, D3DFMT_A8R8G8B8, 4);
  std::memset(surface.Bits(), 0x11, surface.Pitch() * 3);
  // A 4 x 2 source; take its right 2 x 2 part into (1, 1)-(3, 3).
  const uint32_t px[8] = {1, 2, 0xFF0000AA, 0xFF0000BB, 5, 6, 0xFF0000CC, 0xFF0000DD};
  RECT src{2, 0, 4, 2};
  RECT dest{1, 1, 3, 3};
  ASSERT_EQ(D3DXLoadSurfaceFromMemory(&surface, nullptr, &dest, px, D3DFMT_A8R8G8B8, 16, nullptr, &src,
                                      D3DX_FILTER_NONE, 0),
            S_OK);
  EXPECT_EQ(surface.Pixel32(1, 1), 0xFF0000AAu);
  EXPECT_EQ(surface.Pixel32(2, 1), 0xFF0000BBu);
  EXPECT_EQ(surface.Pixel32(1, 2), 0xFF0000CCu);
  EXPECT_EQ(surface.Pixel32(2, 2), 0xFF0000DDu);
  for (UINT x = 0; x < 4; ++x) EXPECT_EQ(surface.Pixel32(x, 0), 0x11111111u);
  EXPECT_EQ(surface.Pixel32(0, 1), 0x11111111u);
  EXPECT_EQ(surface.Pixel32(3, 2), 0x11111111u);
  EXPECT_EQ(surface.locks, 1);
  EXPECT_EQ(surface.unlocks, 1);
  EXPECT_FALSE(surface.lastLockWhole);
  EXPECT_EQ(surface.lastLockFlags, DWORD(D3DLOCK_NOSYSLOCK));
}

TEST_F(LevelLoader, DefaultFilterIsDitheredTriangleAndFailuresUnlock) {
  gfxtest::MemorySurface surface(2, 1, D3DFMT_A8R8G8B8, 4);
  // 100.25 / 255 in every channel: dither decides the rounding per pixel.
  const float px[8] = {100.25f / 255, 100.25f / 255, 100.25f / 255, 1, 100.25f / 255, 100.25f / 255, 100.25f / 255, 1};
  RECT src{0, 0, 2, 1};
  ASSERT_EQ(D3DXLoadSurfaceFromMemory(&surface, nullptr, nullptr, px, D3DFMT_A32B32G32R32F, 32, nullptr, &src,
                                      D3DX_DEFAULT, 0),
            S_OK);
  EXPECT_TRUE(surface.lastLockWhole);
  EXPECT_EQ(surface.Pixel32(0, 0) & 0xFF, 101u);  // + 15.5 / 16
  EXPECT_EQ(surface.Pixel32(1, 0) & 0xFF, 100u);  // + 7.5 / 16

  EXPECT_EQ(D3DXLoadSurfaceFromMemory(&surface, nullptr, nullptr, px, D3DFMT_A32B32G32R32F, 32, nullptr, &src, 6, 0),
            D3DERR_INVALIDCALL);
  EXPECT_TRUE(Reported("Invalid image filter"));
  EXPECT_EQ(D3DXLoadSurfaceFromMemory(&surface, nullptr, nullptr, px, D3DFMT_D24S8, 32, nullptr, &src,
                                      D3DX_FILTER_NONE, 0),
            E_FAIL);
  EXPECT_TRUE(Reported("Unsupported image format"));
  EXPECT_EQ(surface.locks, surface.unlocks);
}

TEST_F(LevelLoader, UnlockableSurfaceWithoutADeviceFails) {
  gfxtest::MemorySurface surface(2, 2, D3DFMT_A8R8G8B8, 4);
  surface.failLock = true;
  const uint32_t px[4] = {};
  RECT src{0, 0, 2, 2};
  EXPECT_EQ(D3DXLoadSurfaceFromMemory(&surface, nullptr, nullptr, px, D3DFMT_A8R8G8B8, 8, nullptr, &src,
                                      D3DX_FILTER_NONE, 0),
            D3DERR_INVALIDCALL);
  EXPECT_TRUE(Reported("Failed to create scratch copy of vidmem surface"));
}

TEST_F(LevelLoader, ColourKeyOnTheSourcePixels) {
  gfxtest::MemorySurface surface(3, 1, D3DFMT_A8R8G8B8, 4);
  const uint32_t px[3] = {0xFF000000, 0xFF102030, 0x80000000};
  RECT src{0, 0, 3, 1};
  ASSERT_EQ(D3DXLoadSurfaceFromMemory(&surface, nullptr, nullptr, px, D3DFMT_A8R8G8B8, 12, nullptr, &src,
                                      D3DX_FILTER_NONE, 0xFF000000),
            S_OK);
  EXPECT_EQ(surface.Pixel32(0, 0), 0u);           // opaque black keyed
  EXPECT_EQ(surface.Pixel32(1, 0), 0xFF102030u);
  EXPECT_EQ(surface.Pixel32(2, 0), 0x80000000u);  // alpha differs: kept
}

// --- on the software device ----------------------------------------------------

class DeviceLevelLoader : public texture_test::DeviceTest {};

TEST_F(DeviceLevelLoader, PalettisedPictureIntoAManagedLevel) {
  StartDevice("default");
  IDirect3DTexture9* texture = nullptr;
  ASSERT_EQ(device_->CreateTexture(88, 88, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr), S_OK);
  IDirect3DSurface9* level = nullptr;
  ASSERT_EQ(texture->GetSurfaceLevel(0, &level), S_OK);
  std::vector<BYTE> indices(88 * 88);
  for (size_t i = 0; i < indices.size(); ++i) indices[i] = BYTE(i % 7);
  PALETTEENTRY palette[256] = {};
  for (int i = 0; i < 7; ++i) palette[i] = PALETTEENTRY{BYTE(i * 30), BYTE(200 - i), BYTE(i), 255};
  RECT src{0, 0, 88, 88};
  EXPECT_EQ(D3DXLoadSurfaceFromMemory(level, nullptr, nullptr, indices.data(), D3DFMT_P8, 88, palette, &src,
                                      D3DX_FILTER_TRIANGLE | D3DX_FILTER_MIRROR, 0),
            S_OK);
  level->Release();
  std::vector<uint32_t> pixels;
  UINT w = 0, h = 0;
  ASSERT_TRUE(texture_test::ReadLevel(texture, 0, &pixels, &w, &h));
  for (size_t i = 0; i < pixels.size(); ++i) {
    const PALETTEENTRY& e = palette[indices[i]];
    ASSERT_EQ(pixels[i], 0xFF000000u | uint32_t(e.peRed) << 16 | uint32_t(e.peGreen) << 8 | e.peBlue) << i;
  }
  texture->Release();
}

TEST_F(DeviceLevelLoader, LockFailureGoesThroughACopy) {
  StartDevice("default");
  // A default-pool texture cannot be locked: the loader writes a system-
  // memory copy and must get it back into the surface, or say it failed.
  IDirect3DTexture9* texture = nullptr;
  ASSERT_EQ(device_->CreateTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &texture, nullptr), S_OK);
  IDirect3DSurface9* level = nullptr;
  ASSERT_EQ(texture->GetSurfaceLevel(0, &level), S_OK);
  std::vector<uint32_t> px(64, 0xFF336699u);
  RECT src{0, 0, 8, 8};
  HRESULT hr = D3DXLoadSurfaceFromMemory(level, nullptr, nullptr, px.data(), D3DFMT_A8R8G8B8, 32, nullptr, &src,
                                         D3DX_FILTER_NONE, 0);
  EXPECT_EQ(hr, S_OK);
  EXPECT_EQ(host_.DebugText().find("Update of vidmem texture failed"), std::string::npos) << host_.DebugText();
  // Written in part: only the rectangle changes; the pixels around it keep
  // what the first load put there.
  std::vector<uint32_t> other(12, 0xFFCC2211u);
  RECT part{2, 1, 5, 5}, small{0, 0, 3, 4};
  ASSERT_EQ(D3DXLoadSurfaceFromMemory(level, nullptr, &part, other.data(), D3DFMT_A8R8G8B8, 12, nullptr, &small,
                                      D3DX_FILTER_NONE, 0),
            S_OK);
  ID3DXSprite* sprite = nullptr;
  ASSERT_EQ(D3DXCreateSprite(device_, &sprite), S_OK);
  ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFFFFFF, 1.0f, 0), S_OK);
  ASSERT_EQ(device_->BeginScene(), S_OK);
  ASSERT_EQ(sprite->Draw(texture, nullptr, nullptr, nullptr, 0.0f, nullptr, 0xFFFFFFFF), S_OK);
  ASSERT_EQ(device_->EndScene(), S_OK);
  sprite->Release();
  const auto& frame = texture_test::PresentFrame(device_, host_);
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) {
      const bool inside = x >= 2 && x < 5 && y >= 1 && y < 5;
      EXPECT_EQ(texture_test::FramePixel(frame, x, y), inside ? 0xCC2211u : 0x336699u) << x << "," << y;
    }
  }
  level->Release();
  texture->Release();

  // Copy creation itself fails: the device's code comes back.
  ASSERT_EQ(device_->CreateTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &texture, nullptr), S_OK);
  ASSERT_EQ(texture->GetSurfaceLevel(0, &level), S_OK);
  host_.FailAt("IDirect3DDevice9.CreateTexture", host_.CallCount("IDirect3DDevice9.CreateTexture") + 1);
  EXPECT_TRUE(FAILED(D3DXLoadSurfaceFromMemory(level, nullptr, nullptr, px.data(), D3DFMT_A8R8G8B8, 32, nullptr,
                                               &src, D3DX_FILTER_NONE, 0)));
  EXPECT_NE(host_.DebugText().find("D3DX: Failed to create scratch copy of vidmem surface\r\n"), std::string::npos);
  level->Release();
  texture->Release();
}

}  // namespace

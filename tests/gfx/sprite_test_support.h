// sprite_test_support.h — textures filled from pixel arrays and frames read
// back, for the sprite tests.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>
#include <d3d9.h>

#include <cstring>
#include <vector>

#include "host/headless/headless_host.h"

namespace texture_test {

// A single-level managed texture holding `argb` (top row first).
inline IDirect3DTexture9* MakeTexture(IDirect3DDevice9* device, UINT width, UINT height,
                                      const std::vector<uint32_t>& argb, D3DFORMAT format = D3DFMT_A8R8G8B8) {
  IDirect3DTexture9* texture = nullptr;
  if (FAILED(device->CreateTexture(width, height, 1, 0, format, D3DPOOL_MANAGED, &texture, nullptr))) return nullptr;
  D3DLOCKED_RECT locked{};
  if (FAILED(texture->LockRect(0, &locked, nullptr, 0))) {
    texture->Release();
    return nullptr;
  }
  for (UINT y = 0; y < height; ++y)
    std::memcpy(static_cast<BYTE*>(locked.pBits) + size_t(y) * locked.Pitch, argb.data() + size_t(y) * width,
                size_t(width) * 4);
  texture->UnlockRect(0);
  return texture;
}

// A texture of solid 4 x 4 blocks: colour of block (bx, by) is `colour(bx, by)`.
template <typename F>
IDirect3DTexture9* MakeBlockTexture(IDirect3DDevice9* device, UINT blocksX, UINT blocksY, F colour,
                                    D3DFORMAT format = D3DFMT_A8R8G8B8) {
  std::vector<uint32_t> argb(size_t(blocksX) * 4 * blocksY * 4);
  for (UINT y = 0; y < blocksY * 4; ++y)
    for (UINT x = 0; x < blocksX * 4; ++x) argb[size_t(y) * blocksX * 4 + x] = colour(x / 4, y / 4);
  return MakeTexture(device, blocksX * 4, blocksY * 4, argb, format);
}

// Presents the back buffer and returns the frame the host received.
inline const host::HeadlessHost::Frame& PresentFrame(IDirect3DDevice9* device, host::HeadlessHost& host) {
  EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), S_OK);
  static const host::HeadlessHost::Frame kEmpty{};
  if (host.Frames().empty()) {
    ADD_FAILURE() << "no frame presented";
    return kEmpty;
  }
  return host.Frames().back();
}

// Ends the scene, presents, and begins the next scene so drawing can go on.
inline const host::HeadlessHost::Frame& ShowFrame(IDirect3DDevice9* device, host::HeadlessHost& host) {
  EXPECT_EQ(device->EndScene(), S_OK);
  const host::HeadlessHost::Frame& frame = PresentFrame(device, host);
  EXPECT_EQ(device->BeginScene(), S_OK);
  return frame;
}

inline uint32_t FramePixel(const host::HeadlessHost::Frame& frame, int x, int y) {
  if (x < 0 || y < 0 || x >= frame.width || y >= frame.height) return 0xDEADBEEF;
  return frame.pixels[size_t(y) * frame.width + x] & 0x00FFFFFFu;
}

}  // namespace texture_test

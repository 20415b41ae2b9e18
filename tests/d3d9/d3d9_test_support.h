// d3d9_test_support.h — a headless host, a device on it, and helpers to
// fill textures, draw quads and read the back buffer.
#pragma once

#include <d3d9.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "host/headless/headless_host.h"

namespace d3d9test {

struct TLVertex {  // D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1
  float x, y, z, rhw;
  DWORD color;
  float u, v;
};
constexpr DWORD kTLFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;

struct LVertex {  // D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1
  float x, y, z;
  DWORD color;
  float u, v;
};
constexpr DWORD kLFvf = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1;

class DeviceTest : public ::testing::Test {
 protected:
  void SetUp() override { host::SetCurrent(&host_); }
  void TearDown() override {
    if (device_) {
      EXPECT_EQ(device_->Release(), 0u);
    }
    if (d3d_) {
      EXPECT_EQ(d3d_->Release(), 0u);
    }
    host::SetCurrent(nullptr);
  }

  // Makes the Direct3D object and a windowed device of the given size.
  void MakeDevice(const std::string& profile = "default", UINT width = 64, UINT height = 48) {
    host_.SetDeviceProfile(profile);
    d3d_ = Direct3DCreate9(D3D_SDK_VERSION);
    ASSERT_NE(d3d_, nullptr);
    D3DPRESENT_PARAMETERS pp{};
    pp.BackBufferWidth = width;
    pp.BackBufferHeight = height;
    pp.BackBufferCount = 1;
    pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
    pp.Windowed = TRUE;
    ASSERT_EQ(d3d_->CreateDevice(0, D3DDEVTYPE_HAL, GetDesktopWindow(), D3DCREATE_MIXED_VERTEXPROCESSING, &pp,
                                 &device_),
              D3D_OK);
  }

  // A managed texture holding `texels` (row-major); for a 16-bit format each
  // row takes the first 2 * w bytes of its row of `texels` as they lie.
  IDirect3DTexture9* MakeTexture(UINT w, UINT h, const std::vector<uint32_t>& texels,
                                 D3DFORMAT format = D3DFMT_A8R8G8B8) {
    IDirect3DTexture9* t = nullptr;
    EXPECT_EQ(device_->CreateTexture(w, h, 1, 0, format, D3DPOOL_MANAGED, &t, nullptr), D3D_OK);
    if (!t) return nullptr;
    D3DLOCKED_RECT lr;
    EXPECT_EQ(t->LockRect(0, &lr, nullptr, 0), D3D_OK);
    const bool sixteen = format == D3DFMT_R5G6B5 || format == D3DFMT_X1R5G5B5 || format == D3DFMT_A1R5G5B5 ||
                         format == D3DFMT_A4R4G4B4 || format == D3DFMT_A8L8;
    for (UINT y = 0; y < h; ++y)
      std::memcpy(static_cast<uint8_t*>(lr.pBits) + y * lr.Pitch, &texels[y * w], w * (sixteen ? 2 : 4));
    t->UnlockRect(0);
    return t;
  }

  // The whole back buffer, top row first.
  std::vector<uint32_t> ReadBack() {
    IDirect3DSurface9* bb = nullptr;
    EXPECT_EQ(device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &bb), D3D_OK);
    D3DSURFACE_DESC desc;
    bb->GetDesc(&desc);
    IDirect3DSurface9* copy = nullptr;
    EXPECT_EQ(device_->CreateOffscreenPlainSurface(desc.Width, desc.Height, desc.Format, D3DPOOL_SYSTEMMEM, &copy,
                                                   nullptr),
              D3D_OK);
    EXPECT_EQ(device_->GetRenderTargetData(bb, copy), D3D_OK);
    std::vector<uint32_t> out(desc.Width * desc.Height);
    D3DLOCKED_RECT lr;
    EXPECT_EQ(copy->LockRect(&lr, nullptr, D3DLOCK_READONLY), D3D_OK);
    for (UINT y = 0; y < desc.Height; ++y)
      std::memcpy(&out[y * desc.Width], static_cast<uint8_t*>(lr.pBits) + y * lr.Pitch, desc.Width * 4);
    copy->UnlockRect();
    copy->Release();
    bb->Release();
    width_ = desc.Width;
    return out;
  }

  // The states a sprite sets for a screen-space quad, blending on.
  void SpriteStates(bool blend = true) {
    device_->SetFVF(kTLFvf);
    device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device_->SetRenderState(D3DRS_LIGHTING, FALSE);
    device_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    device_->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device_->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    device_->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    device_->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    device_->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    device_->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    device_->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
    device_->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
    device_->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP);
    device_->SetRenderState(D3DRS_ALPHABLENDENABLE, blend ? TRUE : FALSE);
    device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  }

  // A screen-space fan covering (x, y) .. (x + w, y + h) as the sprite
  // places it (half a pixel up and left), with texture coordinates
  // (u0, v0) .. (u1, v1).
  HRESULT DrawTLQuad(float x, float y, float w, float h, float u0 = 0, float v0 = 0, float u1 = 1, float v1 = 1,
                     DWORD color = 0xFFFFFFFFu) {
    const TLVertex q[4] = {{x - 0.5f, y - 0.5f, 0, 1, color, u0, v0},
                           {x - 0.5f, y + h - 0.5f, 0, 1, color, u0, v1},
                           {x + w - 0.5f, y + h - 0.5f, 0, 1, color, u1, v1},
                           {x + w - 0.5f, y - 0.5f, 0, 1, color, u1, v0}};
    return device_->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, q, sizeof(TLVertex));
  }

  uint32_t At(const std::vector<uint32_t>& px, int x, int y) const { return px[y * width_ + x]; }

  host::HeadlessHost host_;
  IDirect3D9* d3d_ = nullptr;
  IDirect3DDevice9* device_ = nullptr;
  UINT width_ = 0;
};

// Deterministic texel noise.
inline std::vector<uint32_t> Noise(size_t n, uint32_t seed, uint32_t alphaOr = 0xFF000000u) {
  std::vector<uint32_t> v(n);
  uint32_t s = seed;
  for (auto& x : v) {
    s = s * 1664525u + 1013904223u;
    x = (s >> 8) | alphaOr;
  }
  return v;
}

}  // namespace d3d9test

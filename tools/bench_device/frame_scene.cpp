// frame_scene.cpp — synthetic images, the draw list, and the device road
// that follows the sprite's calls one for one.
#include "tools/bench_device/frame_scene.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "host/headless/headless_host.h"

namespace benchdevice {
namespace {

int NextPow2(int v) {
  int p = 1;
  while (p < v) p <<= 1;
  return p;
}

uint32_t Hash(uint32_t x) {
  x ^= x >> 16;
  x *= 0x7feb352dU;
  x ^= x >> 15;
  x *= 0x846ca68bU;
  x ^= x >> 16;
  return x;
}

enum Kind { kFloor, kFigure, kGem, kBlock, kText, kBanner, kTitle, kStrip };

// A picture of the given kind: keyed (alpha 0) background where the game's
// bitmaps have black, opaque shapes, and a soft rim of partial alpha on the
// gem as a filtered level would have.
Picture Paint(Kind kind, int w, int h, uint32_t tint) {
  Picture p;
  p.width = w;
  p.height = h;
  p.argb.resize(static_cast<size_t>(w) * h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const uint32_t noise = Hash(static_cast<uint32_t>(y * 4099 + x) ^ tint) & 0x1F1F1F;
      uint32_t rgb = (tint ^ noise) & 0xFFFFFF;
      uint32_t a = 255;
      const int cx = x % 88, cy = y % 88;
      const double dx = cx - 43.5, dy = cy - 43.5, r = std::sqrt(dx * dx + dy * dy);
      switch (kind) {
        case kFloor: rgb = ((cx / 11 + cy / 11) % 2) ? 0xC8B89A : 0xB0A080; break;
        case kFigure:
        case kStrip: a = r < 36 ? 255 : 0; break;
        case kGem: a = r < 26 ? 255 : (r < 32 ? 128 : 0); break;
        case kBlock: a = (cx > 3 && cx < 84 && cy > 3 && cy < 84) ? 255 : 0; break;
        case kText: a = ((x / 9 + y / 13) % 3 != 0 && cy > 20 && cy < 68) ? 255 : 0; break;
        case kBanner: a = (y > 6 && y < h - 6) ? 255 : 0; break;
        case kTitle: break;
      }
      p.argb[static_cast<size_t>(y) * w + x] = (a << 24) | (a ? rgb : 0);
    }
  }
  return p;
}

}  // namespace

Scene MakeScene(bool pow2) {
  struct Image {
    Kind kind;
    int w, h;
    uint32_t tint;
  };
  // Asset order: walker, partner, gem, floor, block, stranger, score label,
  // digit strip, missed banner, cleared banner, title card, spin strip.
  const Image images[] = {{kFigure, 88, 88, 0x3050C0}, {kFigure, 88, 88, 0xC05030}, {kGem, 88, 88, 0x20D0E0},
                          {kFloor, 88, 88, 0xB0A080},  {kBlock, 88, 88, 0x606060},  {kFigure, 88, 88, 0x40A040},
                          {kText, 440, 88, 0xF0F0F0},  {kText, 880, 88, 0xF0E040},  {kBanner, 616, 88, 0xA02020},
                          {kBanner, 616, 88, 0x2040A0}, {kTitle, 792, 640, 0x304050}, {kStrip, 352, 88, 0x3050C0}};
  Scene s;
  for (const Image& im : images)
    s.images.push_back(Paint(im.kind, pow2 ? NextPow2(im.w) : im.w, pow2 ? NextPow2(im.h) : im.h, im.tint));
  enum { walker, partner, gem, floor, block, stranger, label, digits, missed, cleared, title, spin };
  auto cell = [&](int image, int c, int r) { s.draws.push_back({image, 0, 0, 88, 88, 88 * c, 88 * r}); };
  for (int c = 0; c < 9; ++c)
    for (int r = 0; r < 7; ++r) cell(floor, c, r);
  const int blocks[10][2] = {{1, 0}, {3, 1}, {5, 1}, {7, 2}, {0, 3}, {2, 4}, {4, 3}, {6, 5}, {8, 4}, {3, 5}};
  for (auto& b : blocks) cell(block, b[0], b[1]);
  const int gems[5][2] = {{2, 0}, {6, 1}, {1, 2}, {5, 4}, {8, 5}};
  for (auto& g : gems) cell(gem, g[0], g[1]);
  cell(partner, 7, 3);
  cell(walker, 1, 3);
  s.draws.push_back({cleared, 0, 0, 616, 88, 88, 176});
  cell(stranger, 4, 1);
  s.draws.push_back({label, 0, 0, 440, 88, 0, 528});
  const int glyphs[4] = {0, 5, 2, 1};  // units, tens, hundreds, thousands of 1250
  for (int i = 0; i < 4; ++i) s.draws.push_back({digits, 88 * glyphs[i], 0, 88 * glyphs[i] + 88, 88, 704 - 88 * i, 528});
  s.draws.push_back({missed, 0, 0, 616, 88, 88, 176});
  s.draws.push_back({spin, 88, 0, 176, 88, 88, 264});
  return s;
}

// ---------------------------------------------------------------------------

DeviceFrame::DeviceFrame(host::HeadlessHost* host, const std::string& profile) {
  host->SetDeviceProfile(profile);
  host->KeepFrames(false);
  d3d_ = Direct3DCreate9(D3D_SDK_VERSION);
  if (d3d_ == nullptr) return;
  D3DPRESENT_PARAMETERS pp{};
  pp.BackBufferWidth = kFrameWidth;
  pp.BackBufferHeight = kFrameHeight;
  pp.BackBufferCount = 1;
  pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
  pp.Windowed = TRUE;
  if (FAILED(d3d_->CreateDevice(0, D3DDEVTYPE_HAL, GetDesktopWindow(), D3DCREATE_MIXED_VERTEXPROCESSING, &pp,
                                &device_)))
    return;
  D3DCAPS9 caps{};
  device_->GetDeviceCaps(&caps);
  pretransformed_ = (caps.PrimitiveMiscCaps & D3DPMISCCAPS_CLIPTLVERTS) != 0;
  canBlend_ = (caps.SrcBlendCaps & D3DPBLENDCAPS_SRCALPHA) && (caps.DestBlendCaps & D3DPBLENDCAPS_INVSRCALPHA);
  scene_ = MakeScene((caps.TextureCaps & D3DPTEXTURECAPS_POW2) != 0);

  for (const Picture& p : scene_.images) {
    IDirect3DTexture9* t = nullptr;
    if (FAILED(device_->CreateTexture(p.width, p.height, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &t, nullptr))) return;
    textures_.push_back(t);
    D3DLOCKED_RECT lr;
    if (FAILED(t->LockRect(0, &lr, nullptr, D3DLOCK_NOSYSLOCK))) return;
    for (int y = 0; y < p.height; ++y)
      std::memcpy(static_cast<uint8_t*>(lr.pBits) + static_cast<size_t>(y) * lr.Pitch, &p.argb[static_cast<size_t>(y) * p.width],
                  static_cast<size_t>(p.width) * 4);
    t->UnlockRect(0);
  }

  // The sprite's two blocks: pass 0 saves the caller's values, pass 1 holds
  // the sprite's own.
  D3DMATRIX identity{};
  identity._11 = identity._22 = identity._33 = identity._44 = 1.f;
  IDirect3DDevice9* d = device_;
  for (int pass = 0; pass < 2; ++pass) {
    d->BeginStateBlock();
    d->SetFVF(pretransformed_ ? (D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1) : (D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1));
    d->SetVertexShader(nullptr);
    if (!pretransformed_) {
      d->SetTransform(D3DTS_VIEW, &identity);
      d->SetTransform(D3DTS_PROJECTION, &identity);
      if (pass == 0) d->SetTransform(D3DTS_WORLD, &identity);
    }
    d->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    d->SetRenderState(D3DRS_FILLMODE, D3DFILL_SOLID);
    d->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    d->SetRenderState(D3DRS_WRAP0, 0);
    d->SetRenderState(D3DRS_CLIPPING, TRUE);
    d->SetRenderState(D3DRS_VERTEXBLEND, D3DVBF_DISABLE);
    d->SetRenderState(D3DRS_CLIPPLANEENABLE, 0);
    d->SetNPatchMode(0.f);
    d->SetRenderState(D3DRS_INDEXEDVERTEXBLENDENABLE, FALSE);
    d->SetRenderState(D3DRS_ENABLEADAPTIVETESSELLATION, FALSE);
    d->SetRenderState(D3DRS_SRGBWRITEENABLE, FALSE);
    d->SetRenderState(D3DRS_COLORWRITEENABLE, 0x0F);
    if (!pretransformed_) {
      d->SetRenderState(D3DRS_FOGENABLE, FALSE);
      d->SetRenderState(D3DRS_SPECULARENABLE, FALSE);
      d->SetRenderState(D3DRS_STENCILENABLE, FALSE);
      d->SetRenderState(D3DRS_LIGHTING, FALSE);
      d->SetRenderState(D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_COLOR1);
    }
    d->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    d->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    d->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    d->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    d->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    d->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    d->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
    d->SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
    d->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    d->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
    d->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_NONE);
    d->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 0);
    d->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
    d->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP);
    d->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
    if (canBlend_) {
      d->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
      d->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
      d->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
      d->SetRenderState(D3DRS_BLENDOP, D3DBLENDOP_ADD);
    } else {
      d->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
      d->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
      d->SetRenderState(D3DRS_ALPHAREF, 127);
    }
    if (pass == 0) {
      d->SetTexture(0, nullptr);
      d->SetStreamSource(0, nullptr, 0, 0);
    }
    if (FAILED(d->EndStateBlock(pass == 0 ? &saved_ : &sprite_))) return;
  }
  ok_ = true;
}

DeviceFrame::~DeviceFrame() {
  if (sprite_) sprite_->Release();
  if (saved_) saved_->Release();
  for (IDirect3DTexture9* t : textures_) t->Release();
  if (device_) device_->Release();
  if (d3d_) d3d_->Release();
}

void DeviceFrame::DrawSprite(IDirect3DTexture9* texture, const Draw& d, int texW, int texH) {
  saved_->Capture();
  sprite_->Apply();
  if (!pretransformed_) {
    D3DVIEWPORT9 vp;
    device_->GetViewport(&vp);
    D3DMATRIX m{};
    const float W = static_cast<float>(vp.Width), H = static_cast<float>(vp.Height);
    m._11 = 2.f / W;
    m._22 = -2.f / H;
    m._41 = -2.f * vp.X / W - 1.f / W - 1.f;
    m._42 = (2.f * vp.Y + 1.f) / H + 1.f;
    m._44 = 1.f;
    device_->SetTransform(D3DTS_WORLD, &m);
  }
  device_->SetTexture(0, texture);
  device_->SetRenderState(canBlend_ ? D3DRS_ALPHABLENDENABLE : D3DRS_ALPHATESTENABLE, TRUE);
  const float w = static_cast<float>(d.right - d.left), h = static_cast<float>(d.bottom - d.top);
  const float uL = static_cast<float>(d.left) / texW, uR = static_cast<float>(d.right) / texW;
  const float vT = static_cast<float>(d.top) / texH, vB = static_cast<float>(d.bottom) / texH;
  const float x = static_cast<float>(d.x), y = static_cast<float>(d.y);
  if (pretransformed_) {
    struct V {
      float x, y, z, rhw;
      DWORD c;
      float u, v;
    } q[4] = {{x - 0.5f, y - 0.5f, 0, 1, 0xFFFFFFFFu, uL, vT},
              {x - 0.5f, y + h - 0.5f, 0, 1, 0xFFFFFFFFu, uL, vB},
              {x + w - 0.5f, y + h - 0.5f, 0, 1, 0xFFFFFFFFu, uR, vB},
              {x + w - 0.5f, y - 0.5f, 0, 1, 0xFFFFFFFFu, uR, vT}};
    device_->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, q, sizeof(V));
  } else {
    struct V {
      float x, y, z;
      DWORD c;
      float u, v;
    } q[4] = {{x, y, 0, 0xFFFFFFFFu, uL, vT},
              {x, y + h, 0, 0xFFFFFFFFu, uL, vB},
              {x + w, y + h, 0, 0xFFFFFFFFu, uR, vB},
              {x + w, y, 0, 0xFFFFFFFFu, uR, vT}};
    device_->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, q, sizeof(V));
  }
  saved_->Apply();
}

void DeviceFrame::Render() {
  device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFFFFFFu, 1.f, 0);
  if (SUCCEEDED(device_->BeginScene())) {
    for (const Draw& d : scene_.draws) {
      const Picture& p = scene_.images[d.image];
      DrawSprite(textures_[d.image], d, p.width, p.height);
    }
  }
  device_->EndScene();
  device_->Present(nullptr, nullptr, nullptr, nullptr);
}

std::vector<uint32_t> DeviceFrame::Pixels() {
  std::vector<uint32_t> out(static_cast<size_t>(kFrameWidth) * kFrameHeight);
  IDirect3DSurface9* bb = nullptr;
  IDirect3DSurface9* copy = nullptr;
  if (SUCCEEDED(device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &bb)) &&
      SUCCEEDED(device_->CreateOffscreenPlainSurface(kFrameWidth, kFrameHeight, D3DFMT_X8R8G8B8, D3DPOOL_SYSTEMMEM,
                                                     &copy, nullptr)) &&
      SUCCEEDED(device_->GetRenderTargetData(bb, copy))) {
    D3DLOCKED_RECT lr;
    if (SUCCEEDED(copy->LockRect(&lr, nullptr, D3DLOCK_READONLY))) {
      for (int y = 0; y < kFrameHeight; ++y)
        std::memcpy(&out[static_cast<size_t>(y) * kFrameWidth], static_cast<uint8_t*>(lr.pBits) + static_cast<size_t>(y) * lr.Pitch,
                    kFrameWidth * 4);
      copy->UnlockRect();
    }
  }
  if (copy) copy->Release();
  if (bb) bb->Release();
  return out;
}

}  // namespace benchdevice

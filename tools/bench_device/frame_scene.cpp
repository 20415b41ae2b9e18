// frame_scene.cpp — synthetic images, the draw list, and the frame drawn
// through the image library's sprites on the software device.
#include "tools/bench_device/frame_scene.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "gfx/gfx.h"
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

std::vector<Draw> RandomSprites(const Scene& scene, int n, uint32_t seed) {
  std::vector<int> cells;
  for (size_t i = 0; i < scene.images.size(); ++i)
    if (scene.images[i].width == 88 && scene.images[i].height == 88) cells.push_back(static_cast<int>(i));
  std::vector<Draw> draws;
  if (cells.empty()) return draws;
  uint32_t state = seed;
  auto next = [&](int range) {
    state = Hash(state + 0x9E3779B9u);
    return static_cast<int>(state % static_cast<uint32_t>(range));
  };
  for (int i = 0; i < n; ++i) {
    const int x = next(kFrameWidth + 44) - 44, y = next(kFrameHeight + 44) - 44;
    draws.push_back({cells[i % cells.size()], 0, 0, 88, 88, x, y});
  }
  return draws;
}

// ---------------------------------------------------------------------------

DeviceFrame::DeviceFrame(host::HeadlessHost* host, const std::string& profile) {
  host->SetDeviceProfile(profile);
  host->KeepFrames(false);
  headless::DeviceOptions options;
  options.width = kFrameWidth;
  options.height = kFrameHeight;
  options.onDesktop = true;
  headless_ = std::make_unique<headless::HeadlessDevice>(host, options);
  device_ = headless_->Device();
  if (device_ == nullptr) return;
  D3DCAPS9 caps{};
  device_->GetDeviceCaps(&caps);
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

  // One sprite per image, as the game pairs them.
  for (size_t i = 0; i < textures_.size(); ++i) {
    ID3DXSprite* sprite = nullptr;
    if (FAILED(D3DXCreateSprite(device_, &sprite))) return;
    sprites_.push_back(sprite);
  }
  ok_ = true;
}

DeviceFrame::~DeviceFrame() {
  for (ID3DXSprite* sp : sprites_) sp->Release();
  for (IDirect3DTexture9* t : textures_) t->Release();
}

void DeviceFrame::Render() { Render(scene_.draws); }

void DeviceFrame::Render(const std::vector<Draw>& draws) {
  device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFFFFFFu, 1.f, 0);
  if (SUCCEEDED(device_->BeginScene())) {
    for (const Draw& d : draws) {
      // The game's standalone draw: scaling (1, 1), centre (1, 1), no rotation.
      const RECT rect{d.left, d.top, d.right, d.bottom};
      const D3DXVECTOR2 scaling{1.f, 1.f}, centre{1.f, 1.f};
      const D3DXVECTOR2 position{static_cast<float>(d.x), static_cast<float>(d.y)};
      sprites_[d.image]->Draw(textures_[d.image], &rect, &scaling, &centre, 0.f, &position, 0xFFFFFFFFu);
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

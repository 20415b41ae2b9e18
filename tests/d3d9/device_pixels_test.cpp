// Pixel-exact behaviour of the software device: one-to-one texel copies
// through both vertex roads, filtering and addressing, blending, the alpha
// test, the fill convention, clipping and the colour write mask.
#include <algorithm>
#include <cmath>

#include "platform/d3d9/rasterizer.h"
#include "tests/d3d9/d3d9_test_support.h"

namespace d3d9test {
namespace {

constexpr uint32_t kBackground = 0xFF102030u;

class PixelTest : public DeviceTest {
 protected:
  void Begin(const std::string& profile = "default", UINT w = 64, UINT h = 48) {
    MakeDevice(profile, w, h);
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, kBackground, 1.f, 0), D3D_OK);
    ASSERT_EQ(device_->BeginScene(), D3D_OK);
  }
  void End() { ASSERT_EQ(device_->EndScene(), D3D_OK); }

  // Ends the scene, reads the frame, and releases `tex` (if any) and the
  // device, ready for the next Begin.
  std::vector<uint32_t> FinishFrame(IDirect3DTexture9* tex = nullptr) {
    EXPECT_EQ(device_->EndScene(), D3D_OK);
    auto pixels = ReadBack();
    if (tex != nullptr) {
      device_->SetTexture(0, nullptr);
      tex->Release();
    }
    device_->Release();
    device_ = nullptr;
    d3d_->Release();
    d3d_ = nullptr;
    return pixels;
  }

  // Every pixel inside (x, y, w, h) equals the texel at the same offset of
  // `texels` (width tw), and every pixel outside keeps the background.
  void ExpectCopy(const std::vector<uint32_t>& px, int x, int y, int w, int h, const std::vector<uint32_t>& texels,
                  int tw, int tx = 0, int ty = 0) {
    const int height = static_cast<int>(px.size() / width_);
    int mismatches = 0;
    for (int py = 0; py < height; ++py) {
      for (int pxl = 0; pxl < static_cast<int>(width_); ++pxl) {
        const bool inside = pxl >= x && pxl < x + w && py >= y && py < y + h;
        const uint32_t want = inside ? texels[(py - y + ty) * tw + (pxl - x + tx)] : kBackground;
        if (At(px, pxl, py) != want && ++mismatches < 5)
          ADD_FAILURE() << "pixel (" << pxl << ", " << py << ") = " << std::hex << At(px, pxl, py) << ", want "
                        << want;
      }
    }
    EXPECT_EQ(mismatches, 0);
  }
};

TEST_F(PixelTest, PretransformedQuadCopiesTexelsOneToOne) {
  Begin();
  const auto texels = Noise(37 * 23, 7);
  IDirect3DTexture9* tex = MakeTexture(37, 23, texels);
  SpriteStates();
  device_->SetTexture(0, tex);
  ASSERT_EQ(DrawTLQuad(5, 9, 37, 23), D3D_OK);
  End();
  ExpectCopy(ReadBack(), 5, 9, 37, 23, texels, 37);
  device_->SetTexture(0, nullptr);
  tex->Release();
}

TEST_F(PixelTest, UntransformedQuadWithThePixelMatrixCopiesTexelsOneToOne) {
  Begin();
  const auto texels = Noise(40 * 20, 11);
  IDirect3DTexture9* tex = MakeTexture(40, 20, texels);
  SpriteStates();
  device_->SetFVF(kLFvf);
  D3DVIEWPORT9 vp;
  device_->GetViewport(&vp);
  const float W = static_cast<float>(vp.Width), H = static_cast<float>(vp.Height);
  D3DMATRIX pixel{};
  pixel._11 = 2.f / W;
  pixel._22 = -2.f / H;
  pixel._41 = -2.f * vp.X / W - 1.f / W - 1.f;
  pixel._42 = (2.f * vp.Y + 1.f) / H + 1.f;
  pixel._44 = 1.f;
  D3DMATRIX identity{};
  identity._11 = identity._22 = identity._33 = identity._44 = 1.f;
  device_->SetTransform(D3DTS_WORLD, &pixel);
  device_->SetTransform(D3DTS_VIEW, &identity);
  device_->SetTransform(D3DTS_PROJECTION, &identity);
  device_->SetTexture(0, tex);
  const float x = 13, y = 21, w = 40, h = 20;
  const LVertex q[4] = {{x, y, 0, 0xFFFFFFFFu, 0, 0},
                        {x, y + h, 0, 0xFFFFFFFFu, 0, 1},
                        {x + w, y + h, 0, 0xFFFFFFFFu, 1, 1},
                        {x + w, y, 0, 0xFFFFFFFFu, 1, 0}};
  ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, q, sizeof(LVertex)), D3D_OK);
  End();
  const auto px = ReadBack();
  for (int py = 21; py < 41; ++py)
    for (int pxl = 13; pxl < 53; ++pxl) ASSERT_EQ(At(px, pxl, py), texels[(py - 21) * 40 + (pxl - 13)]);
  EXPECT_EQ(At(px, 12, 21), kBackground);
  EXPECT_EQ(At(px, 13, 20), kBackground);
  EXPECT_EQ(At(px, 13, 41), kBackground);
  device_->SetTexture(0, nullptr);
  tex->Release();
}

TEST_F(PixelTest, FastRoadGivesExactlyTheGeneralRoadsPixels) {
  struct Case {
    const char* name;
    D3DFORMAT format;
    bool blend;
    bool alphaTest;
    DWORD filter;
    float x, y;          // may be fractional or off the target
    float u0, v0, u1, v1;
    int tw, th;          // texture size; the quad is 24 x 16 pixels
    DWORD color;
  };
  const Case cases[] = {
      {"opaque", D3DFMT_A8R8G8B8, false, false, D3DTEXF_LINEAR, 3, 4, 0, 0, 1, 1, 24, 16, 0xFFFFFFFFu},
      {"blend", D3DFMT_A8R8G8B8, true, false, D3DTEXF_LINEAR, 3, 4, 0, 0, 1, 1, 24, 16, 0xFFFFFFFFu},
      {"alpha test", D3DFMT_A8R8G8B8, false, true, D3DTEXF_LINEAR, 7, 2, 0, 0, 1, 1, 24, 16, 0xFFFFFFFFu},
      {"blend and alpha test", D3DFMT_A8R8G8B8, true, true, D3DTEXF_LINEAR, 7, 2, 0, 0, 1, 1, 24, 16, 0xFFFFFFFFu},
      {"a4r4g4b4", D3DFMT_A4R4G4B4, true, false, D3DTEXF_LINEAR, 2, 3, 0, 0, 1, 1, 24, 16, 0xFFFFFFFFu},
      {"sub-rectangle of a larger texture", D3DFMT_A8R8G8B8, true, false, D3DTEXF_LINEAR, 5, 5, 8 / 64.f,
       4 / 32.f, 32 / 64.f, 20 / 32.f, 64, 32, 0xFFFFFFFFu},
      {"tinted", D3DFMT_A8R8G8B8, true, false, D3DTEXF_LINEAR, 1, 1, 0, 0, 1, 1, 24, 16, 0x80C04020u},
      {"x8r8g8b8", D3DFMT_X8R8G8B8, true, false, D3DTEXF_LINEAR, 2, 3, 0, 0, 1, 1, 24, 16, 0xFFFFFFFFu},
      {"a8b8g8r8", D3DFMT_A8B8G8R8, true, false, D3DTEXF_LINEAR, 2, 3, 0, 0, 1, 1, 24, 16, 0xFFFFFFFFu},
      {"clipped left and top", D3DFMT_A8R8G8B8, true, false, D3DTEXF_LINEAR, -9, -5, 0, 0, 1, 1, 24, 16,
       0xFFFFFFFFu},
      {"clipped right and bottom", D3DFMT_A8R8G8B8, true, false, D3DTEXF_LINEAR, 50, 40, 0, 0, 1, 1, 24, 16,
       0xFFFFFFFFu},
      {"point, quarter-pixel offset", D3DFMT_A8R8G8B8, true, false, D3DTEXF_POINT, 3.25f, 4.25f, 0, 0, 1, 1, 24, 16,
       0xFFFFFFFFu},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<uint32_t> results[2];
    for (int road = 0; road < 2; ++road) {
      d3d9sw::SetFastPathEnabled(road == 0);
      Begin();
      auto texels = Noise(static_cast<size_t>(c.tw) * c.th, 99, 0);
      // Top half: runs of eight clear, eight opaque and eight mixed texels.
      // Bottom half: some fully transparent, some opaque, the rest between.
      for (size_t i = 0; i < texels.size(); ++i) {
        const size_t x = i % c.tw, y = i / c.tw;
        if (static_cast<int>(y) < c.th / 2) {
          if ((x / 8) % 3 == 0) texels[i] &= 0x00FFFFFFu;
          if ((x / 8) % 3 == 1) texels[i] |= 0xFF000000u;
          continue;
        }
        if (i % 5 == 0) texels[i] &= 0x00FFFFFFu;
        if (i % 7 == 0) texels[i] |= 0xFF000000u;
      }
      IDirect3DTexture9* tex = MakeTexture(c.tw, c.th, texels, c.format);
      SpriteStates(c.blend);
      device_->SetSamplerState(0, D3DSAMP_MAGFILTER, c.filter);
      device_->SetSamplerState(0, D3DSAMP_MINFILTER, c.filter);
      device_->SetRenderState(D3DRS_ALPHATESTENABLE, c.alphaTest);
      device_->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
      device_->SetRenderState(D3DRS_ALPHAREF, 127);
      device_->SetTexture(0, tex);
      const uint64_t before = d3d9sw::FastPathDraws();
      ASSERT_EQ(DrawTLQuad(c.x, c.y, 24, 16, c.u0, c.v0, c.u1, c.v1, c.color), D3D_OK);
      if (road == 0) {
        EXPECT_EQ(d3d9sw::FastPathDraws(), before + 1) << "the fast road was not taken";
      }
      results[road] = FinishFrame(tex);
    }
    d3d9sw::SetFastPathEnabled(true);
    EXPECT_TRUE(results[0] == results[1]);
  }
}

// Texels in runs of clear, opaque and half-transparent alpha of random
// lengths, as sprite pictures have them.
std::vector<uint32_t> RunTexels(int w, int h, uint32_t seed) {
  auto texels = Noise(static_cast<size_t>(w) * h, seed, 0);
  uint32_t s = seed * 2654435761u + 1;
  uint32_t kind = 0;
  int left = 0;
  for (auto& t : texels) {
    if (left-- == 0) {
      s = s * 1664525u + 1013904223u;
      kind = (s >> 12) % 3;
      left = static_cast<int>((s >> 16) % 24);
    }
    t &= 0x00FFFFFFu;
    if (kind == 1) t |= 0xFF000000u;
    if (kind == 2) t |= ((t * 7) & 0xFF) << 24;
  }
  return texels;
}

TEST_F(PixelTest, BlendedRedrawsOfOneTextureMatchTheGeneralRoadAfterTexelChanges) {
  // Textures drawn again and again are blended by runs of opaque and clear
  // texels; every pixel must still be the general road's, at odd sizes and
  // offsets, clipped at every edge, and after the texels change under a
  // lock between draws.
  uint32_t seed = 77;
  auto next = [&](int range) {
    seed = seed * 1664525u + 1013904223u;
    return static_cast<int>((seed >> 8) % static_cast<uint32_t>(range));
  };
  for (int round = 0; round < 24; ++round) {
    SCOPED_TRACE(round);
    const int tw = 1 + next(70), th = 1 + next(20);
    const int sx = next(tw), sy = next(th);
    const int sw = 1 + next(tw - sx), sh = 1 + next(th - sy);
    int pos[6][2];
    for (auto& p : pos) {
      p[0] = next(64 + sw) - sw;
      p[1] = next(48 + sh) - sh;
    }
    const uint32_t texSeed = static_cast<uint32_t>(next(1 << 20));
    std::vector<uint32_t> results[2];
    for (int road = 0; road < 2; ++road) {
      d3d9sw::SetFastPathEnabled(road == 0);
      Begin();
      auto texels = RunTexels(tw, th, texSeed);
      IDirect3DTexture9* tex = MakeTexture(tw, th, texels);
      SpriteStates(true);
      device_->SetTexture(0, tex);
      const float u0 = static_cast<float>(sx) / tw, v0 = static_cast<float>(sy) / th;
      const float u1 = static_cast<float>(sx + sw) / tw, v1 = static_cast<float>(sy + sh) / th;
      for (int i = 0; i < 3; ++i)
        ASSERT_EQ(DrawTLQuad(static_cast<float>(pos[i][0]), static_cast<float>(pos[i][1]), static_cast<float>(sw),
                             static_cast<float>(sh), u0, v0, u1, v1),
                  D3D_OK);
      // New texels: the runs of the old ones must not be used.
      D3DLOCKED_RECT lr;
      ASSERT_EQ(tex->LockRect(0, &lr, nullptr, 0), D3D_OK);
      const auto fresh = RunTexels(tw, th, texSeed + 1);
      for (int y = 0; y < th; ++y)
        std::memcpy(static_cast<uint8_t*>(lr.pBits) + static_cast<size_t>(y) * lr.Pitch, &fresh[y * tw], tw * 4);
      tex->UnlockRect(0);
      for (int i = 3; i < 6; ++i)
        ASSERT_EQ(DrawTLQuad(static_cast<float>(pos[i][0]), static_cast<float>(pos[i][1]), static_cast<float>(sw),
                             static_cast<float>(sh), u0, v0, u1, v1),
                  D3D_OK);
      results[road] = FinishFrame(tex);
    }
    d3d9sw::SetFastPathEnabled(true);
    EXPECT_TRUE(results[0] == results[1]) << tw << "x" << th << " from " << sx << "," << sy << " size " << sw << "x"
                                          << sh;
  }
}

TEST_F(PixelTest, BilinearFilteringAndTheThreeAddressModes) {
  // Two texels, black and white, stretched over four pixels: the samples
  // fall at texel coordinates -0.25, 0.25, 0.75 and 1.25.
  struct Mode {
    DWORD address;
    uint8_t want[4];
  };
  const Mode modes[] = {{D3DTADDRESS_CLAMP, {0, 64, 191, 255}},
                        {D3DTADDRESS_WRAP, {64, 64, 191, 191}},
                        {D3DTADDRESS_MIRROR, {0, 64, 191, 255}}};
  for (const Mode& m : modes) {
    SCOPED_TRACE(m.address);
    Begin();
    IDirect3DTexture9* tex = MakeTexture(2, 1, {0xFF000000u, 0xFFFFFFFFu});
    SpriteStates(false);
    device_->SetSamplerState(0, D3DSAMP_ADDRESSU, m.address);
    device_->SetTexture(0, tex);
    ASSERT_EQ(DrawTLQuad(10, 10, 4, 1), D3D_OK);
    const auto px = FinishFrame(tex);
    for (int i = 0; i < 4; ++i) {
      const uint32_t g = m.want[i];
      EXPECT_EQ(At(px, 10 + i, 10), 0xFF000000u | (g << 16) | (g << 8) | g) << "pixel " << i;
    }
  }
}

TEST_F(PixelTest, PointFilteringPicksTheNearestTexelCentre) {
  Begin();
  IDirect3DTexture9* tex = MakeTexture(2, 1, {0xFF000000u, 0xFFFFFFFFu});
  SpriteStates(false);
  device_->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
  device_->SetTexture(0, tex);
  ASSERT_EQ(DrawTLQuad(10, 10, 4, 1), D3D_OK);
  End();
  const auto px = ReadBack();
  EXPECT_EQ(At(px, 10, 10), 0xFF000000u);
  EXPECT_EQ(At(px, 11, 10), 0xFF000000u);
  EXPECT_EQ(At(px, 12, 10), 0xFFFFFFFFu);
  EXPECT_EQ(At(px, 13, 10), 0xFFFFFFFFu);
  device_->SetTexture(0, nullptr);
  tex->Release();
}

TEST_F(PixelTest, HalfTransparentTexelBlendsWithSourceAlpha) {
  MakeDevice();
  device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF0000FFu, 1.f, 0);
  device_->BeginScene();
  IDirect3DTexture9* tex = MakeTexture(1, 1, {0x80FF0000u});
  SpriteStates(true);
  device_->SetTexture(0, tex);
  ASSERT_EQ(DrawTLQuad(3, 3, 1, 1), D3D_OK);
  device_->EndScene();
  const auto px = ReadBack();
  // red 255 * 128 / 255 = 128; blue 255 * 127 / 255 = 127
  EXPECT_EQ(At(px, 3, 3), 0xFF80007Fu);
  EXPECT_EQ(At(px, 4, 3), 0xFF0000FFu);
  device_->SetTexture(0, nullptr);
  tex->Release();
}

TEST_F(PixelTest, AlphaTestThresholdOfTheNoBlendRoad) {
  Begin("noblend");
  IDirect3DTexture9* tex = MakeTexture(4, 1, {0x7FFF0000u, 0x7E00FF00u, 0xFF0000FFu, 0x00FFFFFFu});
  SpriteStates(false);
  device_->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
  device_->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
  device_->SetRenderState(D3DRS_ALPHAREF, 127);
  device_->SetTexture(0, tex);
  ASSERT_EQ(DrawTLQuad(0, 0, 4, 1), D3D_OK);
  End();
  const auto px = ReadBack();
  EXPECT_EQ(At(px, 0, 0), 0xFFFF0000u);  // alpha 127 passes, written unblended
  EXPECT_EQ(At(px, 1, 0), kBackground);  // alpha 126 does not
  EXPECT_EQ(At(px, 2, 0), 0xFF0000FFu);
  EXPECT_EQ(At(px, 3, 0), kBackground);
  device_->SetTexture(0, nullptr);
  tex->Release();
}

TEST_F(PixelTest, EveryComparisonFunctionOfTheAlphaTest) {
  const DWORD funcs[] = {D3DCMP_NEVER, D3DCMP_LESS, D3DCMP_EQUAL, D3DCMP_LESSEQUAL,
                         D3DCMP_GREATER, D3DCMP_NOTEQUAL, D3DCMP_GREATEREQUAL, D3DCMP_ALWAYS};
  // Texel alphas 99, 100, 101 against ALPHAREF 100.
  const bool pass[8][3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}, {0, 0, 1}, {1, 0, 1}, {0, 1, 1}, {1, 1, 1}};
  Begin();
  IDirect3DTexture9* tex = MakeTexture(3, 1, {0x63FFFFFFu, 0x64FFFFFFu, 0x65FFFFFFu});
  SpriteStates(false);
  device_->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
  device_->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
  device_->SetRenderState(D3DRS_ALPHAREF, 100);
  device_->SetTexture(0, tex);
  for (int f = 0; f < 8; ++f) {
    device_->SetRenderState(D3DRS_ALPHAFUNC, funcs[f]);
    ASSERT_EQ(DrawTLQuad(0, static_cast<float>(f), 3, 1), D3D_OK);
  }
  End();
  const auto px = ReadBack();
  for (int f = 0; f < 8; ++f)
    for (int i = 0; i < 3; ++i)
      EXPECT_EQ(At(px, i, f), pass[f][i] ? 0xFFFFFFFFu : kBackground) << "function " << funcs[f] << " texel " << i;
  device_->SetTexture(0, nullptr);
  tex->Release();
}

TEST_F(PixelTest, SharedEdgesAreFilledExactlyOnce) {
  // A fan of triangles around an off-grid centre, drawn with additive
  // blending: a pixel hit twice would read 0x80, a gap 0x00.
  MakeDevice();
  device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.f, 0);
  device_->BeginScene();
  device_->SetFVF(kTLFvf);
  device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  device_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2);
  device_->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
  device_->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG2);
  device_->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
  device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
  device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
  const float cx = 31.3f, cy = 22.7f;
  std::vector<TLVertex> fan;
  fan.push_back({cx, cy, 0, 1, 0xFF404040u, 0, 0});
  const int spokes = 24;
  for (int i = 0; i <= spokes; ++i) {
    const double a = 2 * 3.14159265358979 * i / spokes;
    // Include exact pixel centres and half-pixel points among the corners.
    float x = static_cast<float>(cx + 20 * std::cos(a)), y = static_cast<float>(cy + 18 * std::sin(a));
    if (i % 6 == 0) {
      x = std::round(x);
      y = std::round(y);
    }
    if (i == spokes) {
      x = fan[1].x;
      y = fan[1].y;
    }
    fan.push_back({x, y, 0, 1, 0xFF404040u, 0, 0});
  }
  ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, spokes, fan.data(), sizeof(TLVertex)), D3D_OK);
  // And a rectangle split along its diagonal, corners on pixel centres.
  const TLVertex rect[6] = {{2, 2, 0, 1, 0xFF404040u, 0, 0},  {9, 2, 0, 1, 0xFF404040u, 0, 0},
                            {2, 7, 0, 1, 0xFF404040u, 0, 0},  {9, 2, 0, 1, 0xFF404040u, 0, 0},
                            {9, 7, 0, 1, 0xFF404040u, 0, 0},  {2, 7, 0, 1, 0xFF404040u, 0, 0}};
  ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, rect, sizeof(TLVertex)), D3D_OK);
  device_->EndScene();
  const auto px = ReadBack();
  int covered = 0;
  for (uint32_t p : px) {
    ASSERT_TRUE(p == 0xFF000000u || p == 0xFF404040u) << std::hex << p;
    covered += p == 0xFF404040u;
  }
  EXPECT_GT(covered, 900);
  // The rectangle: left and top edges in, right and bottom edges out.
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 12; ++x) {
      const bool in = x >= 2 && x < 9 && y >= 2 && y < 7;
      EXPECT_EQ(At(px, x, y), in ? 0xFF404040u : 0xFF000000u) << x << "," << y;
    }
}

TEST_F(PixelTest, ClippingAtTheTargetEdgesAndFarOutside) {
  Begin("default", 32, 32);
  SpriteStates(false);
  // A triangle whose corners lie far beyond any guard band: a wedge that
  // narrows to (0, 16), about 14 pixels either side of x = 0 at y = 2.
  const TLVertex huge[3] = {{-1e9f, -1e9f, 0, 1, 0xFF00FF00u, 0, 0},
                            {1e9f, -1e9f, 0, 1, 0xFF00FF00u, 0, 0},
                            {0.f, 16.f, 0, 1, 0xFF00FF00u, 0, 0}};
  ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, huge, sizeof(TLVertex)), D3D_OK);
  const auto texels = Noise(16 * 16, 3);
  IDirect3DTexture9* tex = MakeTexture(16, 16, texels);
  device_->SetTexture(0, tex);
  ASSERT_EQ(DrawTLQuad(-8, -8, 16, 16), D3D_OK);  // over the top-left corner
  ASSERT_EQ(DrawTLQuad(24, 24, 16, 16), D3D_OK);  // over the bottom-right corner
  End();
  const auto px = ReadBack();
  for (int y = 0; y < 8; ++y)
    for (int x = 8; x < 16; ++x) EXPECT_EQ(At(px, x - 8, y), texels[(y + 8) * 16 + x]);
  for (int y = 24; y < 32; ++y)
    for (int x = 24; x < 32; ++x) EXPECT_EQ(At(px, x, y), texels[(y - 24) * 16 + (x - 24)]);
  EXPECT_EQ(At(px, 10, 2), 0xFF00FF00u);
  EXPECT_EQ(At(px, 12, 4), kBackground);
  EXPECT_EQ(At(px, 20, 20), kBackground);
  device_->SetTexture(0, nullptr);
  tex->Release();
}

TEST_F(PixelTest, ScreenSpaceTrianglesBeyondEachGuardEdgeKeepTheirVisiblePart) {
  // Each triangle has a right angle at a visible corner and one far corner
  // beyond the guard band: right, below, left or above.
  struct Case {
    const char* name;
    TLVertex v[3];
    int x, y;  // a pixel well inside the visible part
  };
  const DWORD green = 0xFF00FF00u;
  const Case cases[] = {
      {"right", {{2, 2, 0, 1, green, 0, 0}, {3e9f, 2, 0, 1, green, 0, 0}, {2, 30, 0, 1, green, 0, 0}}, 20, 10},
      {"below", {{2, 2, 0, 1, green, 0, 0}, {30, 2, 0, 1, green, 0, 0}, {2, 3e9f, 0, 1, green, 0, 0}}, 20, 10},
      {"left", {{30, 2, 0, 1, green, 0, 0}, {30, 30, 0, 1, green, 0, 0}, {-3e9f, 2, 0, 1, green, 0, 0}}, 10, 10},
      {"above", {{2, 30, 0, 1, green, 0, 0}, {30, 30, 0, 1, green, 0, 0}, {2, -3e9f, 0, 1, green, 0, 0}}, 10, 10},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Begin("default", 32, 32);
    SpriteStates(false);
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, c.v, sizeof(TLVertex)), D3D_OK);
    const auto px = FinishFrame();
    EXPECT_EQ(At(px, c.x, c.y), green);
    EXPECT_EQ(At(px, 1, 1), kBackground);
  }
}

TEST_F(PixelTest, ViewportBoundsDrawingAndClearing) {
  MakeDevice();
  device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.f, 0);
  D3DVIEWPORT9 vp{8, 4, 16, 8, 0.f, 1.f};
  ASSERT_EQ(device_->SetViewport(&vp), D3D_OK);
  device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFFFFFFu, 1.f, 0);
  const auto px = ReadBack();
  EXPECT_EQ(At(px, 8, 4), 0xFFFFFFFFu);
  EXPECT_EQ(At(px, 23, 11), 0xFFFFFFFFu);
  EXPECT_EQ(At(px, 7, 4), 0xFF000000u);
  EXPECT_EQ(At(px, 24, 11), 0xFF000000u);
  EXPECT_EQ(At(px, 8, 12), 0xFF000000u);
  D3DVIEWPORT9 tooBig{60, 0, 16, 8, 0.f, 1.f};
  EXPECT_EQ(device_->SetViewport(&tooBig), D3DERR_INVALIDCALL);
}

TEST_F(PixelTest, ClearRectanglesAreClippedToTheTarget) {
  MakeDevice();
  device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.f, 0);
  const D3DRECT rects[2] = {{-5, -5, 3, 2}, {60, 40, 100, 100}};
  ASSERT_EQ(device_->Clear(2, rects, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, 0xFFABCDEFu, 1.f, 0),
            D3D_OK);
  const auto px = ReadBack();
  EXPECT_EQ(At(px, 0, 0), 0xFFABCDEFu);
  EXPECT_EQ(At(px, 2, 1), 0xFFABCDEFu);
  EXPECT_EQ(At(px, 3, 1), 0xFF000000u);
  EXPECT_EQ(At(px, 63, 47), 0xFFABCDEFu);
  EXPECT_EQ(At(px, 59, 47), 0xFF000000u);
  EXPECT_EQ(device_->Clear(1, nullptr, D3DCLEAR_TARGET, 0, 1.f, 0), D3DERR_INVALIDCALL);
}

TEST_F(PixelTest, ColorWriteEnableMasksChannels) {
  Begin();
  IDirect3DTexture9* tex = MakeTexture(1, 1, {0xFFFFFFFFu});
  SpriteStates(false);
  device_->SetTexture(0, tex);
  device_->SetRenderState(D3DRS_COLORWRITEENABLE, D3DCOLORWRITEENABLE_RED);
  ASSERT_EQ(DrawTLQuad(1, 1, 1, 1), D3D_OK);
  device_->SetRenderState(D3DRS_COLORWRITEENABLE, 0);
  ASSERT_EQ(DrawTLQuad(2, 1, 1, 1), D3D_OK);
  End();
  const auto px = ReadBack();
  EXPECT_EQ(At(px, 1, 1), (kBackground & 0xFF00FFFFu) | 0x00FF0000u);
  EXPECT_EQ(At(px, 2, 1), kBackground);
  device_->SetTexture(0, nullptr);
  tex->Release();
}

TEST_F(PixelTest, StageOperationsOverTextureAndDiffuse) {
  Begin();
  IDirect3DTexture9* tex = MakeTexture(1, 1, {0xFF808080u});
  SpriteStates(false);
  device_->SetTexture(0, tex);
  ASSERT_EQ(DrawTLQuad(0, 0, 1, 1, 0, 0, 1, 1, 0xFF4080FFu), D3D_OK);  // modulate
  device_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
  ASSERT_EQ(DrawTLQuad(1, 0, 1, 1, 0, 0, 1, 1, 0xFF4080FFu), D3D_OK);
  device_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2);
  ASSERT_EQ(DrawTLQuad(2, 0, 1, 1, 0, 0, 1, 1, 0xFF4080FFu), D3D_OK);
  device_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_DISABLE);
  ASSERT_EQ(DrawTLQuad(3, 0, 1, 1, 0, 0, 1, 1, 0xFF123456u), D3D_OK);
  End();
  const auto px = ReadBack();
  // 0x80 * 0x40 / 255 = 32.1, 0x80 * 0x80 / 255 = 64.3, 0x80 * 0xFF / 255 = 128
  EXPECT_EQ(At(px, 0, 0), 0xFF204080u);
  EXPECT_EQ(At(px, 1, 0), 0xFF808080u);
  EXPECT_EQ(At(px, 2, 0), 0xFF4080FFu);
  EXPECT_EQ(At(px, 3, 0), 0xFF123456u);
  device_->SetTexture(0, nullptr);
  tex->Release();
}

TEST_F(PixelTest, SixteenBitAndLuminanceFormatsSampleAsTheirChannels) {
  struct Fmt {
    D3DFORMAT format;
    uint32_t stored;  // little-endian texel bytes
    uint32_t want;
  };
  const Fmt fmts[] = {
      {D3DFMT_R5G6B5, 0xF800u, 0xFFFF0000u},         {D3DFMT_X1R5G5B5, 0x03E0u, 0xFF00FF00u},
      {D3DFMT_A1R5G5B5, 0x801Fu, 0xFF0000FFu},       {D3DFMT_A4R4G4B4, 0xF0F0u, 0xFF00FF00u},
      {D3DFMT_L8, 0x80u, 0xFF808080u},               {D3DFMT_A8L8, 0xFF40u, 0xFF404040u},
      {D3DFMT_A8, 0xFFu, 0xFF000000u},               {D3DFMT_A2R10G10B10, 0xFFF00000u, 0xFFFF0000u},
      {D3DFMT_A2B10G10R10, 0xC00003FFu, 0xFFFF0000u}, {D3DFMT_X8B8G8R8, 0x00FF0000u, 0xFF0000FFu},
  };
  for (const Fmt& f : fmts) {
    SCOPED_TRACE(f.format);
    Begin();
    IDirect3DTexture9* tex = nullptr;
    ASSERT_EQ(device_->CreateTexture(1, 1, 1, 0, f.format, D3DPOOL_MANAGED, &tex, nullptr), D3D_OK);
    D3DLOCKED_RECT lr;
    ASSERT_EQ(tex->LockRect(0, &lr, nullptr, 0), D3D_OK);
    uint8_t bytes[4] = {static_cast<uint8_t>(f.stored), static_cast<uint8_t>(f.stored >> 8),
                        static_cast<uint8_t>(f.stored >> 16), static_cast<uint8_t>(f.stored >> 24)};
    D3DSURFACE_DESC desc;
    tex->GetLevelDesc(0, &desc);
    const int size = (f.format == D3DFMT_L8 || f.format == D3DFMT_A8) ? 1
                     : (f.format == D3DFMT_A2R10G10B10 || f.format == D3DFMT_A2B10G10R10 ||
                        f.format == D3DFMT_X8B8G8R8)
                         ? 4
                         : 2;
    std::memcpy(lr.pBits, bytes, size);
    tex->UnlockRect(0);
    SpriteStates(false);
    device_->SetTexture(0, tex);
    ASSERT_EQ(DrawTLQuad(0, 0, 1, 1), D3D_OK);
    EXPECT_EQ(FinishFrame(tex)[0], f.want);
  }
}

TEST_F(PixelTest, CullModeDropsTrianglesOfTheCulledWinding) {
  Begin();
  SpriteStates(false);
  device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);  // the default
  device_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2);
  device_->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG2);
  // The sprite's corner order runs counter-clockwise on screen.
  ASSERT_EQ(DrawTLQuad(0, 0, 4, 4, 0, 0, 1, 1, 0xFFFF0000u), D3D_OK);
  device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);
  ASSERT_EQ(DrawTLQuad(8, 0, 4, 4, 0, 0, 1, 1, 0xFF00FF00u), D3D_OK);
  End();
  const auto px = ReadBack();
  EXPECT_EQ(At(px, 1, 1), kBackground);
  EXPECT_EQ(At(px, 9, 1), 0xFF00FF00u);
}


TEST_F(PixelTest, UntransformedVerticesAreClippedAtTheNearPlaneAndLitWithoutLights) {
  Begin();
  device_->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE);
  device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  // Identity transforms: positions are clip coordinates. z runs from -1 at
  // the left edge to +1 at the right, so the left half lies before the
  // near plane.
  struct V {
    float x, y, z;
    DWORD c;
  } tri[6] = {{-1, 1, -1, 0xFF00FF00u}, {1, 1, 1, 0xFF00FF00u},  {1, -1, 1, 0xFF00FF00u},
              {-1, 1, -1, 0xFF00FF00u}, {1, -1, 1, 0xFF00FF00u}, {-1, -1, -1, 0xFF00FF00u}};
  device_->SetRenderState(D3DRS_LIGHTING, FALSE);
  ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, tri, sizeof(V)), D3D_OK);
  End();
  auto px = ReadBack();
  EXPECT_EQ(At(px, 8, 24), kBackground);
  EXPECT_EQ(At(px, 28, 24), kBackground);
  EXPECT_EQ(At(px, 36, 24), 0xFF00FF00u);
  EXPECT_EQ(At(px, 60, 40), 0xFF00FF00u);

  // Lit without lights: the global ambient (black) times the ambient
  // material, plus the emissive material; alpha from the vertex colour.
  device_->Clear(0, nullptr, D3DCLEAR_TARGET, kBackground, 1.f, 0);
  device_->BeginScene();
  device_->SetRenderState(D3DRS_LIGHTING, TRUE);
  D3DMATERIAL9 material{};
  material.Emissive = {0.f, 0.f, 1.f, 0.f};
  device_->SetMaterial(&material);
  for (V& v : tri) v.z = 0.5f;
  ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, tri, sizeof(V)), D3D_OK);
  End();
  px = ReadBack();
  EXPECT_EQ(At(px, 8, 24), 0xFF0000FFu);
}

TEST_F(PixelTest, IndexedDrawsSkipIndicesPastTheVertices) {
  Begin();
  device_->SetFVF(kTLFvf);
  device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  const TLVertex v[4] = {{0, 0, 0, 1, 0xFFFF0000u, 0, 0},
                         {8, 0, 0, 1, 0xFFFF0000u, 0, 0},
                         {0, 8, 0, 1, 0xFFFF0000u, 0, 0},
                         {8, 8, 0, 1, 0xFFFF0000u, 0, 0}};
  const uint16_t indices[6] = {0, 1, 2, 1, 3, 60000};  // the second triangle names a vertex never given
  ASSERT_EQ(device_->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, 4, 2, indices, D3DFMT_INDEX16, v,
                                            sizeof(TLVertex)),
            D3D_OK);
  End();
  const auto px = ReadBack();
  EXPECT_EQ(At(px, 1, 1), 0xFFFF0000u);
  EXPECT_EQ(At(px, 7, 7), kBackground);
}

TEST_F(PixelTest, ATargetWrittenThroughALockKeepsItsUnusedByteOpaque) {
  host_.SetDeviceProfile("default");
  d3d_ = Direct3DCreate9(D3D_SDK_VERSION);
  ASSERT_NE(d3d_, nullptr);
  D3DPRESENT_PARAMETERS pp{};
  pp.BackBufferWidth = 8;
  pp.BackBufferHeight = 8;
  pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
  pp.Windowed = TRUE;
  pp.Flags = D3DPRESENTFLAG_LOCKABLE_BACKBUFFER;
  ASSERT_EQ(d3d_->CreateDevice(0, D3DDEVTYPE_HAL, GetDesktopWindow(), D3DCREATE_MIXED_VERTEXPROCESSING, &pp, &device_),
            D3D_OK);
  IDirect3DSurface9* bb = nullptr;
  ASSERT_EQ(device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &bb), D3D_OK);
  D3DLOCKED_RECT lr;
  ASSERT_EQ(bb->LockRect(&lr, nullptr, 0), D3D_OK);
  static_cast<uint32_t*>(lr.pBits)[0] = 0x00123456u;
  bb->UnlockRect();
  bb->Release();
  // A transparent texel leaves the pixel as it was, on either road.
  for (int road = 0; road < 2; ++road) {
    d3d9sw::SetFastPathEnabled(road == 0);
    device_->BeginScene();
    IDirect3DTexture9* tex = MakeTexture(4, 4, std::vector<uint32_t>(16, 0x00FFFFFFu));
    SpriteStates(true);
    device_->SetTexture(0, tex);
    ASSERT_EQ(DrawTLQuad(0, 0, 4, 4), D3D_OK);
    device_->EndScene();
    EXPECT_EQ(ReadBack()[0], 0xFF123456u);
    device_->SetTexture(0, nullptr);
    tex->Release();
  }
  d3d9sw::SetFastPathEnabled(true);
}

TEST_F(PixelTest, GarbageVerticesNeverFaultOrWriteOutsideTheTarget) {
  // NaN, infinities and huge values in every field, through both vertex
  // roads and every primitive type, with a texture bound.
  Begin("default", 16, 16);
  IDirect3DTexture9* tex = MakeTexture(4, 4, Noise(16, 5));
  SpriteStates(true);
  device_->SetTexture(0, tex);
  const float specials[] = {std::nanf(""), INFINITY, -INFINITY, 3e38f, -3e38f, 1e-38f, 0.f, 7.5f, -0.5f, 1e7f};
  uint32_t seed = 1;
  auto next = [&] {
    seed = seed * 1664525u + 1013904223u;
    return seed;
  };
  for (int round = 0; round < 200; ++round) {
    float data[7 * 12];
    for (float& f : data) {
      const uint32_t r = next();
      f = (r & 3) == 0 ? specials[(r >> 8) % 10] : static_cast<float>(static_cast<int32_t>(r) % 64) - 24.f;
    }
    device_->SetFVF(round % 2 ? kTLFvf : kLFvf);
    const D3DPRIMITIVETYPE type = static_cast<D3DPRIMITIVETYPE>(D3DPT_TRIANGLELIST + round % 3);
    const UINT count = type == D3DPT_TRIANGLELIST ? 4 : 10;
    device_->SetRenderState(D3DRS_CLIPPING, round % 5 != 0);
    EXPECT_EQ(device_->DrawPrimitiveUP(type, count, data, 28), D3D_OK);
  }
  End();
  EXPECT_EQ(ReadBack().size(), 256u);
  device_->SetTexture(0, nullptr);
  tex->Release();
}

}  // namespace
}  // namespace d3d9test

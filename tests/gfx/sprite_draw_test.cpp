// The sprite object's operations: creation and reference counting, argument
// checks, rectangles, placement by scaling, rotation and translation, the
// viewport, and colour modulation.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "gfx/gfx.h"
#include "gfx/sprite.h"
#include "tests/gfx/sprite_test_support.h"
#include "tests/gfx/texture_device.h"

namespace texture_test {
namespace {

constexpr float kPi = 3.14159265358979f;

uint32_t BlockColour(UINT bx, UINT by) { return 0xFF000000u | ((bx * 0x30 + 0x10) << 16) | ((by * 0x30 + 0x10) << 8) | 0x80; }

class SpriteDraw : public DeviceTest, public ::testing::WithParamInterface<const char*> {
 protected:
  void SetUp() override {
    StartDevice(GetParam());
    ASSERT_EQ(D3DXCreateSprite(device_, &sprite_), S_OK);
    // 4 x 2 blocks of 4 x 4 texels: 16 x 8.
    texture_ = MakeBlockTexture(device_, 4, 2, BlockColour);
    ASSERT_NE(texture_, nullptr);
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFFFFFF, 1.0f, 0), S_OK);
    ASSERT_EQ(device_->BeginScene(), S_OK);
  }
  void TearDown() override {
    if (device_) device_->EndScene();
    if (sprite_) sprite_->Release();
    if (texture_) texture_->Release();
    DeviceTest::TearDown();
  }

  ID3DXSprite* sprite_ = nullptr;
  IDirect3DTexture9* texture_ = nullptr;
};

TEST_P(SpriteDraw, ReferenceCountingAndInterfaces) {
  const ULONG refs = DeviceRefs();
  ID3DXSprite* second = nullptr;
  ASSERT_EQ(D3DXCreateSprite(device_, &second), S_OK);
  EXPECT_EQ(DeviceRefs(), refs + 1);  // the sprite holds the device

  void* out = reinterpret_cast<void*>(0x77);
  EXPECT_EQ(second->QueryInterface(IID_IDirect3DTexture9, &out), E_NOINTERFACE);
  EXPECT_EQ(out, reinterpret_cast<void*>(0x77));
  EXPECT_EQ(second->QueryInterface(IID_ID3DXSprite, nullptr), D3DERR_INVALIDCALL);
  EXPECT_NE(host_.DebugText().find("D3DX: ppv pointer is invalid\r\n"), std::string::npos);
  ASSERT_EQ(second->QueryInterface(IID_ID3DXSprite, &out), S_OK);
  EXPECT_EQ(out, static_cast<void*>(second));
  ASSERT_EQ(second->QueryInterface(IID_IUnknown, &out), S_OK);
  EXPECT_EQ(second->AddRef(), 4u);
  EXPECT_EQ(second->Release(), 3u);

  IDirect3DDevice9* device = nullptr;
  EXPECT_EQ(second->GetDevice(nullptr), D3DERR_INVALIDCALL);
  EXPECT_NE(host_.DebugText().find("D3DX: ppDevice pointer is invalid\r\n"), std::string::npos);
  ASSERT_EQ(second->GetDevice(&device), S_OK);
  EXPECT_EQ(device, device_);
  device->Release();

  // Draw once so the state blocks exist, then let go of everything.
  ASSERT_EQ(second->Draw(texture_, nullptr, nullptr, nullptr, 0.0f, nullptr, 0xFFFFFFFF), S_OK);
  EXPECT_EQ(second->Release(), 2u);
  EXPECT_EQ(second->Release(), 1u);
  EXPECT_EQ(second->Release(), 0u);
  EXPECT_EQ(DeviceRefs(), refs);
}

TEST_P(SpriteDraw, CreationChecksItsArgumentsAndMemory) {
  ID3DXSprite* sprite = reinterpret_cast<ID3DXSprite*>(0x99);
  EXPECT_EQ(D3DXCreateSprite(nullptr, &sprite), D3DERR_INVALIDCALL);
  EXPECT_EQ(D3DXCreateSprite(device_, nullptr), D3DERR_INVALIDCALL);
  const std::string text = host_.DebugText();
  EXPECT_NE(text.find("D3DX: pDevice pointer is invalid\r\n"), std::string::npos);
  EXPECT_NE(text.find("D3DX: ppSprite pointer is invalid\r\n"), std::string::npos);
  const ULONG refs = DeviceRefs();
  host_.FailAt("alloc", host_.CallCount("alloc") + 1);
  EXPECT_EQ(D3DXCreateSprite(device_, &sprite), E_OUTOFMEMORY);
  EXPECT_EQ(sprite, reinterpret_cast<ID3DXSprite*>(0x99));
  EXPECT_EQ(DeviceRefs(), refs);
}

TEST_P(SpriteDraw, BadTextureAndRectanglesFailBeforeTouchingTheDevice) {
  device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);
  EXPECT_EQ(sprite_->Draw(nullptr, nullptr, nullptr, nullptr, 0.0f, nullptr, 0xFFFFFFFF), D3DERR_INVALIDCALL);
  EXPECT_NE(host_.DebugText().find("D3DX: pSrcTexture pointer is invalid\r\n"), std::string::npos);
  const RECT bad[] = {{-1, 0, 4, 4}, {4, 0, 3, 4}, {17, 0, 18, 4}, {0, -1, 4, 4}, {0, 4, 4, 3}, {0, 9, 4, 10}};
  for (const RECT& r : bad) {
    EXPECT_EQ(sprite_->DrawTransform(texture_, &r, nullptr, 0xFFFFFFFF), D3DERR_INVALIDCALL)
        << r.left << "," << r.top << "," << r.right << "," << r.bottom;
  }
  EXPECT_NE(host_.DebugText().find("D3DX: Source rect is outside surface limits\r\n"), std::string::npos);
  // Not even an implicit Begin ran: an explicit one is accepted.
  EXPECT_EQ(sprite_->Begin(), S_OK);
  DWORD cull = 0;
  EXPECT_EQ(sprite_->End(), S_OK);
  device_->GetRenderState(D3DRS_CULLMODE, &cull);
  EXPECT_EQ(cull, DWORD(D3DCULL_CW));
  const auto& frame = ShowFrame(device_, host_);
  EXPECT_EQ(FramePixel(frame, 2, 2), 0xFFFFFFu);

  // Edges at the texture's size, and an empty rectangle, are accepted.
  const RECT edge{16, 8, 16, 8}, empty{3, 0, 3, 8};
  EXPECT_EQ(sprite_->DrawTransform(texture_, &edge, nullptr, 0xFFFFFFFF), S_OK);
  EXPECT_EQ(sprite_->DrawTransform(texture_, &empty, nullptr, 0xFFFFFFFF), S_OK);
}

TEST_P(SpriteDraw, NullRectangleDrawsTheWholeTopLevelAndARectangleOnlyItsPart) {
  const D3DXVECTOR2 at{20, 30};
  ASSERT_EQ(sprite_->Draw(texture_, nullptr, nullptr, nullptr, 0.0f, &at, 0xFFFFFFFF), S_OK);
  // Block (2, 1) only, placed by the translation alone, from the origin.
  const RECT part{8, 4, 12, 8};
  const D3DXVECTOR2 at2{100, 30};
  ASSERT_EQ(sprite_->Draw(texture_, &part, nullptr, nullptr, 0.0f, &at2, 0xFFFFFFFF), S_OK);
  const auto& frame = ShowFrame(device_, host_);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 16; ++x)
      ASSERT_EQ(FramePixel(frame, 20 + x, 30 + y), BlockColour(x / 4, y / 4) & 0xFFFFFF) << x << "," << y;
  EXPECT_EQ(FramePixel(frame, 19, 30), 0xFFFFFFu);
  EXPECT_EQ(FramePixel(frame, 36, 30), 0xFFFFFFu);
  EXPECT_EQ(FramePixel(frame, 20, 38), 0xFFFFFFu);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(FramePixel(frame, 100 + x, 30 + y), BlockColour(2, 1) & 0xFFFFFF);
  EXPECT_EQ(FramePixel(frame, 104, 30), 0xFFFFFFu);
  EXPECT_EQ(FramePixel(frame, 100, 34), 0xFFFFFFu);
}

TEST_P(SpriteDraw, ZeroRotationIgnoresTheCentreAndAnyOtherTurnsAboutIt) {
  const D3DXVECTOR2 centre{50, 50}, at{200, 100};
  ASSERT_EQ(sprite_->Draw(texture_, nullptr, nullptr, &centre, 0.0f, &at, 0xFFFFFFFF), S_OK);
  // A quarter turn about (0, 0): texel (tx, ty) lands at (ty, -tx).
  const D3DXVECTOR2 origin{0, 0}, at2{300, 100};
  ASSERT_EQ(sprite_->Draw(texture_, nullptr, nullptr, &origin, kPi / 2.0f, &at2, 0xFFFFFFFF), S_OK);
  // A half turn about the texture's middle (8, 4): (tx, ty) -> (16 - tx, 8 - ty).
  const D3DXVECTOR2 middle{8, 4}, at3{400, 100};
  ASSERT_EQ(sprite_->Draw(texture_, nullptr, nullptr, &middle, kPi, &at3, 0xFFFFFFFF), S_OK);
  // Scaling by 2, 3 without rotation.
  const D3DXVECTOR2 scale{2, 3}, at4{500, 100};
  ASSERT_EQ(sprite_->Draw(texture_, nullptr, &scale, &middle, 0.0f, &at4, 0xFFFFFFFF), S_OK);
  const auto& frame = ShowFrame(device_, host_);

  for (UINT by = 0; by < 2; ++by)
    for (UINT bx = 0; bx < 4; ++bx) {
      const uint32_t want = BlockColour(bx, by) & 0xFFFFFF;
      const int cx = int(bx) * 4 + 2, cy = int(by) * 4 + 2;  // texel-space block centre
      EXPECT_EQ(FramePixel(frame, 200 + cx, 100 + cy), want) << "unturned " << bx << "," << by;
      EXPECT_EQ(FramePixel(frame, 300 + cy, 100 - cx), want) << "quarter " << bx << "," << by;
      EXPECT_EQ(FramePixel(frame, 400 + 16 - cx, 100 + 8 - cy), want) << "half " << bx << "," << by;
      EXPECT_EQ(FramePixel(frame, 500 + 2 * cx, 100 + 3 * cy), want) << "scaled " << bx << "," << by;
    }
  // Nothing was drawn about the ignored centre.
  EXPECT_EQ(FramePixel(frame, 250 - 8, 150 - 4), 0xFFFFFFu);
}

TEST_P(SpriteDraw, TransformDrawsFromTheOriginWithoutAMatrix) {
  ASSERT_EQ(sprite_->DrawTransform(texture_, nullptr, nullptr, 0xFFFFFFFF), S_OK);
  const auto& frame = ShowFrame(device_, host_);
  EXPECT_EQ(FramePixel(frame, 0, 0), BlockColour(0, 0) & 0xFFFFFF);
  EXPECT_EQ(FramePixel(frame, 15, 7), BlockColour(3, 1) & 0xFFFFFF);
  EXPECT_EQ(FramePixel(frame, 16, 0), 0xFFFFFFu);
}

TEST_P(SpriteDraw, ViewportChangedBetweenDrawsIsHonoured) {
  D3DVIEWPORT9 vp{0, 0, 800, 640, 0.0f, 1.0f};
  ASSERT_EQ(device_->SetViewport(&vp), S_OK);
  const D3DXVECTOR2 a{300, 300};
  ASSERT_EQ(sprite_->Draw(texture_, nullptr, nullptr, nullptr, 0.0f, &a, 0xFFFFFFFF), S_OK);
  vp = D3DVIEWPORT9{100, 100, 400, 300, 0.0f, 1.0f};
  ASSERT_EQ(device_->SetViewport(&vp), S_OK);
  const D3DXVECTOR2 b{150, 160};
  ASSERT_EQ(sprite_->Draw(texture_, nullptr, nullptr, nullptr, 0.0f, &b, 0xFFFFFFFF), S_OK);
  // Outside the viewport nothing is drawn.
  const D3DXVECTOR2 c{40, 40};
  ASSERT_EQ(sprite_->Draw(texture_, nullptr, nullptr, nullptr, 0.0f, &c, 0xFFFFFFFF), S_OK);
  D3DVIEWPORT9 after{};
  device_->GetViewport(&after);
  EXPECT_EQ(after.X, 100u);
  EXPECT_EQ(after.Width, 400u);
  const auto& frame = ShowFrame(device_, host_);
  EXPECT_EQ(FramePixel(frame, 300, 300), BlockColour(0, 0) & 0xFFFFFF);
  EXPECT_EQ(FramePixel(frame, 315, 307), BlockColour(3, 1) & 0xFFFFFF);
  EXPECT_EQ(FramePixel(frame, 150, 160), BlockColour(0, 0) & 0xFFFFFF);
  EXPECT_EQ(FramePixel(frame, 165, 167), BlockColour(3, 1) & 0xFFFFFF);
  EXPECT_EQ(FramePixel(frame, 149, 160), 0xFFFFFFu);
  EXPECT_EQ(FramePixel(frame, 166, 160), 0xFFFFFFu);
  EXPECT_EQ(FramePixel(frame, 42, 42), 0xFFFFFFu);
}

TEST_P(SpriteDraw, EmptyViewportDrawsNothingAndKeepsTheMatrixFinite) {
  const D3DXVECTOR2 at{20, 20};
  for (const D3DVIEWPORT9 vp : {D3DVIEWPORT9{10, 10, 0, 300, 0.0f, 1.0f}, D3DVIEWPORT9{10, 10, 300, 0, 0.0f, 1.0f},
                                D3DVIEWPORT9{0, 0, 0, 0, 0.0f, 1.0f}}) {
    ASSERT_EQ(device_->SetViewport(&vp), S_OK);
    EXPECT_EQ(sprite_->Draw(texture_, nullptr, nullptr, nullptr, 0.0f, &at, 0xFFFFFFFF), S_OK);
    ASSERT_EQ(sprite_->Begin(), S_OK);
    D3DMATRIX world{};
    ASSERT_EQ(device_->GetTransform(D3DTS_WORLD, &world), S_OK);
    for (int r = 0; r < 4; ++r)
      for (int c = 0; c < 4; ++c) EXPECT_TRUE(std::isfinite(world.m[r][c])) << r << "," << c;
    EXPECT_EQ(sprite_->Draw(texture_, nullptr, nullptr, nullptr, 0.0f, &at, 0xFFFFFFFF), S_OK);
    EXPECT_EQ(sprite_->End(), S_OK);
  }
  const auto& frame = ShowFrame(device_, host_);
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 40; ++x) ASSERT_EQ(FramePixel(frame, x, y), 0xFFFFFFu) << x << "," << y;
}

TEST_P(SpriteDraw, CornerAtInfinityLeavesTheQuadUndrawn) {
  // w = x / 16 + y / 8: the corner at the origin has w = 0, every other a
  // finite place; a fan through a point at infinity covers nothing.
  D3DXMATRIX m;
  D3DXMatrixIdentity(&m);
  m._14 = 1.0f / 16.0f;
  m._24 = 1.0f / 8.0f;
  m._44 = 0.0f;
  m._41 = 30.0f;
  m._42 = 30.0f;
  EXPECT_EQ(sprite_->DrawTransform(texture_, nullptr, &m, 0xFFFFFFFF), S_OK);
  const auto& frame = ShowFrame(device_, host_);
  for (int y = 0; y < 120; ++y)
    for (int x = 0; x < 120; ++x) ASSERT_EQ(FramePixel(frame, x, y), 0xFFFFFFu) << x << "," << y;
}

TEST_P(SpriteDraw, ColourModulatesTheTexture) {
  IDirect3DTexture9* white = MakeBlockTexture(device_, 1, 1, [](UINT, UINT) { return 0xFFFFFFFFu; });
  ASSERT_NE(white, nullptr);
  const D3DXVECTOR2 at{10, 10};
  ASSERT_EQ(sprite_->Draw(white, nullptr, nullptr, nullptr, 0.0f, &at, 0xFF00FF00), S_OK);
  const auto& frame = ShowFrame(device_, host_);
  EXPECT_EQ(FramePixel(frame, 11, 11), 0x00FF00u);
  white->Release();
}

INSTANTIATE_TEST_SUITE_P(Profiles, SpriteDraw, ::testing::Values("default", "untransformed", "noblend"));

}  // namespace
}  // namespace texture_test

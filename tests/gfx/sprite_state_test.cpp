// The sprite's state discipline: a standalone draw leaves every state it
// touches as the caller had it, draws correctly whatever the caller had set,
// and Begin/End pairs keep the sprite's states in force until End.
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

struct StateValue {
  DWORD state;
  DWORD value;
};

// Caller values that differ from what the sprite sets, and would each spoil
// a sprite draw if left in force.
const StateValue kCallerRenderStates[] = {
    {D3DRS_ZENABLE, D3DZB_TRUE},
    {D3DRS_FILLMODE, D3DFILL_WIREFRAME},
    {D3DRS_CULLMODE, D3DCULL_CW},
    {D3DRS_WRAP0, 1},
    {D3DRS_CLIPPING, FALSE},
    {D3DRS_VERTEXBLEND, D3DVBF_1WEIGHTS},
    {D3DRS_CLIPPLANEENABLE, 1},
    {D3DRS_INDEXEDVERTEXBLENDENABLE, TRUE},
    {D3DRS_ENABLEADAPTIVETESSELLATION, TRUE},
    {D3DRS_SRGBWRITEENABLE, TRUE},
    {D3DRS_COLORWRITEENABLE, 0x1},
    {D3DRS_FOGENABLE, TRUE},
    {D3DRS_SPECULARENABLE, TRUE},
    {D3DRS_STENCILENABLE, TRUE},
    {D3DRS_LIGHTING, TRUE},
    {D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_MATERIAL},
    {D3DRS_ALPHABLENDENABLE, FALSE},
    {D3DRS_SRCBLEND, D3DBLEND_ONE},
    {D3DRS_DESTBLEND, D3DBLEND_ONE},
    {D3DRS_BLENDOP, D3DBLENDOP_REVSUBTRACT},
    {D3DRS_ALPHATESTENABLE, FALSE},
    {D3DRS_ALPHAFUNC, D3DCMP_NEVER},
    {D3DRS_ALPHAREF, 0xFF},
};

struct StageValue {
  DWORD stage;
  DWORD type;
  DWORD value;
};

const StageValue kCallerStageStates[] = {
    {0, D3DTSS_COLOROP, D3DTOP_SELECTARG2},   {0, D3DTSS_COLORARG1, D3DTA_DIFFUSE},
    {0, D3DTSS_COLORARG2, D3DTA_DIFFUSE},     {0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG2},
    {0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE},     {0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE},
    {0, D3DTSS_TEXCOORDINDEX, 1},             {0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2},
    {1, D3DTSS_COLOROP, D3DTOP_MODULATE},     {1, D3DTSS_ALPHAOP, D3DTOP_MODULATE},
};

const StageValue kCallerSamplerStates[] = {
    {0, D3DSAMP_MAGFILTER, D3DTEXF_POINT},   {0, D3DSAMP_MINFILTER, D3DTEXF_POINT},
    {0, D3DSAMP_MIPFILTER, D3DTEXF_LINEAR},  {0, D3DSAMP_ADDRESSU, D3DTADDRESS_WRAP},
    {0, D3DSAMP_ADDRESSV, D3DTADDRESS_MIRROR},
};

D3DMATRIX CallerMatrix(float seed) {
  D3DMATRIX m{};
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) m.m[r][c] = seed + float(r * 4 + c);
  return m;
}

class SpriteState : public DeviceTest, public ::testing::WithParamInterface<const char*> {
 protected:
  void SetUp() override {
    StartDevice(GetParam());
    ASSERT_EQ(D3DXCreateSprite(device_, &sprite_), S_OK);
    // A 4 x 4-block texture, every block a different opaque colour.
    texture_ = MakeBlockTexture(device_, 4, 4, [](UINT bx, UINT by) { return 0xFF000000u | (bx * 0x40 << 16) | (by * 0x40 << 8) | 0x33; });
    ASSERT_NE(texture_, nullptr);
    callerTexture_ = MakeBlockTexture(device_, 1, 1, [](UINT, UINT) { return 0xFF00FF00u; });
    ASSERT_NE(callerTexture_, nullptr);
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFFFFFF, 1.0f, 0), S_OK);
    ASSERT_EQ(device_->BeginScene(), S_OK);
  }
  void TearDown() override {
    if (device_) device_->EndScene();
    if (sprite_) sprite_->Release();
    if (texture_) texture_->Release();
    if (callerTexture_) callerTexture_->Release();
    if (stream_) stream_->Release();
    DeviceTest::TearDown();
  }

  bool Untransformed() const { return std::string(GetParam()) == "untransformed"; }

  void SetCallerState() {
    for (const StateValue& s : kCallerRenderStates)
      ASSERT_EQ(device_->SetRenderState(D3DRENDERSTATETYPE(s.state), s.value), S_OK) << s.state;
    for (const StageValue& s : kCallerStageStates)
      ASSERT_EQ(device_->SetTextureStageState(s.stage, D3DTEXTURESTAGESTATETYPE(s.type), s.value), S_OK) << s.type;
    for (const StageValue& s : kCallerSamplerStates)
      ASSERT_EQ(device_->SetSamplerState(s.stage, D3DSAMPLERSTATETYPE(s.type), s.value), S_OK) << s.type;
    ASSERT_EQ(device_->SetFVF(D3DFVF_XYZ), S_OK);
    ASSERT_EQ(device_->SetTexture(0, callerTexture_), S_OK);
    // A real vertex buffer where the device makes them; the offset and
    // stride must come back either way.
    if (FAILED(device_->CreateVertexBuffer(256, 0, D3DFVF_XYZ, D3DPOOL_MANAGED, &stream_, nullptr))) stream_ = nullptr;
    ASSERT_EQ(device_->SetStreamSource(0, stream_, 12, 12), S_OK);
    const D3DMATRIX world = CallerMatrix(1), view = CallerMatrix(100), projection = CallerMatrix(1000);
    ASSERT_EQ(device_->SetTransform(D3DTS_WORLD, &world), S_OK);
    ASSERT_EQ(device_->SetTransform(D3DTS_VIEW, &view), S_OK);
    ASSERT_EQ(device_->SetTransform(D3DTS_PROJECTION, &projection), S_OK);
  }

  void ExpectCallerState() {
    for (const StateValue& s : kCallerRenderStates) {
      DWORD v = 0xDEAD;
      device_->GetRenderState(D3DRENDERSTATETYPE(s.state), &v);
      EXPECT_EQ(v, s.value) << "render state " << s.state;
    }
    for (const StageValue& s : kCallerStageStates) {
      DWORD v = 0xDEAD;
      device_->GetTextureStageState(s.stage, D3DTEXTURESTAGESTATETYPE(s.type), &v);
      EXPECT_EQ(v, s.value) << "stage " << s.stage << " state " << s.type;
    }
    for (const StageValue& s : kCallerSamplerStates) {
      DWORD v = 0xDEAD;
      device_->GetSamplerState(s.stage, D3DSAMPLERSTATETYPE(s.type), &v);
      EXPECT_EQ(v, s.value) << "sampler state " << s.type;
    }
    DWORD fvf = 0;
    device_->GetFVF(&fvf);
    EXPECT_EQ(fvf, DWORD(D3DFVF_XYZ));
    IDirect3DVertexShader9* shader = reinterpret_cast<IDirect3DVertexShader9*>(1);
    device_->GetVertexShader(&shader);
    EXPECT_EQ(shader, nullptr);
    IDirect3DBaseTexture9* bound = nullptr;
    device_->GetTexture(0, &bound);
    EXPECT_EQ(bound, callerTexture_);
    if (bound) bound->Release();
    IDirect3DVertexBuffer9* stream = nullptr;
    UINT offset = 0, stride = 0;
    device_->GetStreamSource(0, &stream, &offset, &stride);
    EXPECT_EQ(stream, stream_);
    EXPECT_EQ(offset, 12u);
    EXPECT_EQ(stride, 12u);
    if (stream) stream->Release();
    if (Untransformed()) {
      const D3DTRANSFORMSTATETYPE which[3] = {D3DTS_WORLD, D3DTS_VIEW, D3DTS_PROJECTION};
      const float seeds[3] = {1, 100, 1000};
      for (int i = 0; i < 3; ++i) {
        D3DMATRIX m{};
        device_->GetTransform(which[i], &m);
        const D3DMATRIX want = CallerMatrix(seeds[i]);
        EXPECT_EQ(std::memcmp(&m, &want, sizeof(m)), 0) << "transform " << which[i];
      }
    }
  }

  // The sprite's 16 x 16 texture drawn at (x, y) shows block colours.
  void ExpectBlocksAt(const host::HeadlessHost::Frame& frame, int x, int y) {
    for (UINT by = 0; by < 4; ++by)
      for (UINT bx = 0; bx < 4; ++bx) {
        const uint32_t want = ((bx * 0x40) << 16) | ((by * 0x40) << 8) | 0x33;
        EXPECT_EQ(FramePixel(frame, x + int(bx) * 4 + 1, y + int(by) * 4 + 2), want) << bx << "," << by;
      }
  }

  ID3DXSprite* sprite_ = nullptr;
  IDirect3DTexture9* texture_ = nullptr;
  IDirect3DTexture9* callerTexture_ = nullptr;
  IDirect3DVertexBuffer9* stream_ = nullptr;
};

TEST_P(SpriteState, StandaloneDrawRestoresEveryStateAndDrawsDespiteThem) {
  SetCallerState();
  const D3DXVECTOR2 scale{1, 1}, centre{1, 1}, at{40, 24};
  ASSERT_EQ(sprite_->Draw(texture_, nullptr, &scale, &centre, 0.0f, &at, 0xFFFFFFFF), S_OK);
  ExpectCallerState();
  // Twice, so the second runs on recorded blocks with the caller's state.
  const D3DXVECTOR2 at2{100, 24};
  ASSERT_EQ(sprite_->Draw(texture_, nullptr, &scale, &centre, 0.0f, &at2, 0xFFFFFFFF), S_OK);
  ExpectCallerState();
  const auto& frame = ShowFrame(device_, host_);
  ExpectBlocksAt(frame, 40, 24);
  ExpectBlocksAt(frame, 100, 24);
  EXPECT_EQ(FramePixel(frame, 39, 24), 0xFFFFFFu);
  EXPECT_EQ(FramePixel(frame, 56, 24), 0xFFFFFFu);
}

TEST_P(SpriteState, BeginKeepsTheSpriteStatesUntilEnd) {
  SetCallerState();
  ASSERT_EQ(sprite_->Begin(), S_OK);
  DWORD cull = 0;
  device_->GetRenderState(D3DRS_CULLMODE, &cull);
  EXPECT_EQ(cull, DWORD(D3DCULL_NONE));
  ASSERT_EQ(sprite_->Draw(texture_, nullptr, nullptr, nullptr, 0.0f, nullptr, 0xFFFFFFFF), S_OK);
  // Inside the pair nothing is restored after a draw.
  device_->GetRenderState(D3DRS_CULLMODE, &cull);
  EXPECT_EQ(cull, DWORD(D3DCULL_NONE));
  IDirect3DBaseTexture9* bound = nullptr;
  device_->GetTexture(0, &bound);
  EXPECT_EQ(bound, texture_);
  if (bound) bound->Release();
  ASSERT_EQ(sprite_->End(), S_OK);
  ExpectCallerState();
}

TEST_P(SpriteState, BeginAndEndMisuseFailsWithoutChangingTheObject) {
  EXPECT_EQ(sprite_->End(), D3DERR_INVALIDCALL);
  EXPECT_NE(host_.DebugText().find("D3DX: End called without matching Begin\r\n"), std::string::npos);
  // Still idle: a pair works.
  ASSERT_EQ(sprite_->Begin(), S_OK);
  EXPECT_EQ(sprite_->Begin(), D3DERR_INVALIDCALL);
  EXPECT_NE(host_.DebugText().find("D3DX: Begin called from within a Begin/End pair\r\n"), std::string::npos);
  // Still inside: one End succeeds, a second does not.
  EXPECT_EQ(sprite_->End(), S_OK);
  EXPECT_EQ(sprite_->End(), D3DERR_INVALIDCALL);
}

TEST_P(SpriteState, OpacityDecidesTheAlphaSwitchPerDraw) {
  const bool blend = std::string(GetParam()) != "noblend";
  const D3DRENDERSTATETYPE alphaSwitch = blend ? D3DRS_ALPHABLENDENABLE : D3DRS_ALPHATESTENABLE;
  IDirect3DTexture9* opaque = MakeBlockTexture(device_, 1, 1, [](UINT, UINT) { return 0xFF808080u; }, D3DFMT_X8R8G8B8);
  ASSERT_NE(opaque, nullptr);
  DWORD on = 7;
  ASSERT_EQ(sprite_->Begin(), S_OK);
  ASSERT_EQ(sprite_->Draw(opaque, nullptr, nullptr, nullptr, 0.0f, nullptr, 0xFFFFFFFF), S_OK);
  device_->GetRenderState(alphaSwitch, &on);
  EXPECT_EQ(on, DWORD(FALSE)) << "opaque colour on X8R8G8B8";
  ASSERT_EQ(sprite_->Draw(opaque, nullptr, nullptr, nullptr, 0.0f, nullptr, 0xFEFFFFFF), S_OK);
  device_->GetRenderState(alphaSwitch, &on);
  EXPECT_EQ(on, DWORD(TRUE)) << "translucent colour";
  ASSERT_EQ(sprite_->Draw(texture_, nullptr, nullptr, nullptr, 0.0f, nullptr, 0xFFFFFFFF), S_OK);
  device_->GetRenderState(alphaSwitch, &on);
  EXPECT_EQ(on, DWORD(TRUE)) << "A8R8G8B8 texture";
  ASSERT_EQ(sprite_->End(), S_OK);
  opaque->Release();
}

TEST_P(SpriteState, AfterOnLostDeviceTheNextDrawRecordsAgain) {
  SetCallerState();
  const D3DXVECTOR2 at{8, 8};
  ASSERT_EQ(sprite_->Draw(texture_, nullptr, nullptr, nullptr, 0.0f, &at, 0xFFFFFFFF), S_OK);
  const ULONG withBlocks = DeviceRefs();
  EXPECT_EQ(sprite_->OnLostDevice(), S_OK);
  const ULONG withoutBlocks = DeviceRefs();
  EXPECT_EQ(withoutBlocks, withBlocks - 2);  // each block holds the device
  EXPECT_EQ(sprite_->OnResetDevice(), S_OK);
  const D3DXVECTOR2 at2{60, 8};
  ASSERT_EQ(sprite_->Draw(texture_, nullptr, nullptr, nullptr, 0.0f, &at2, 0xFFFFFFFF), S_OK);
  EXPECT_EQ(DeviceRefs(), withBlocks);
  ExpectCallerState();
  const auto& frame = ShowFrame(device_, host_);
  ExpectBlocksAt(frame, 8, 8);
  ExpectBlocksAt(frame, 60, 8);
}

TEST_P(SpriteState, OnLostDeviceInsideAPairLeavesEndHarmless) {
  ASSERT_EQ(sprite_->Begin(), S_OK);
  EXPECT_EQ(sprite_->OnLostDevice(), S_OK);
  ASSERT_EQ(sprite_->Draw(texture_, nullptr, nullptr, nullptr, 0.0f, nullptr, 0xFFFFFFFF), S_OK);
  EXPECT_EQ(sprite_->End(), S_OK);
  EXPECT_EQ(sprite_->End(), D3DERR_INVALIDCALL);
  EXPECT_EQ(sprite_->Draw(texture_, nullptr, nullptr, nullptr, 0.0f, nullptr, 0xFFFFFFFF), S_OK);
}

TEST_P(SpriteState, EndEndsThePairEvenWhenTheRestoreIsRefused) {
  ASSERT_EQ(sprite_->Begin(), S_OK);
  // While a state block is recorded the device refuses to apply one.
  ASSERT_EQ(device_->BeginStateBlock(), S_OK);
  EXPECT_EQ(sprite_->End(), S_OK);
  IDirect3DStateBlock9* recorded = nullptr;
  ASSERT_EQ(device_->EndStateBlock(&recorded), S_OK);
  if (recorded) recorded->Release();
  EXPECT_EQ(sprite_->End(), D3DERR_INVALIDCALL);
  EXPECT_EQ(sprite_->Begin(), S_OK);
  EXPECT_EQ(sprite_->End(), S_OK);
}

INSTANTIATE_TEST_SUITE_P(Profiles, SpriteState, ::testing::Values("default", "untransformed", "noblend"));

}  // namespace
}  // namespace texture_test

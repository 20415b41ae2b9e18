// State blocks: recording takes exactly the states set between Begin and
// End, leaves the device alone, and Capture/Apply move exactly those.
#include "tests/d3d9/d3d9_test_support.h"

namespace d3d9test {
namespace {

class StateBlockTest : public DeviceTest {
 protected:
  void SetUp() override {
    DeviceTest::SetUp();
    MakeDevice();
  }
  DWORD RS(D3DRENDERSTATETYPE s) {
    DWORD v = 0;
    EXPECT_EQ(device_->GetRenderState(s, &v), D3D_OK);
    return v;
  }
  DWORD TSS(DWORD stage, D3DTEXTURESTAGESTATETYPE t) {
    DWORD v = 0;
    EXPECT_EQ(device_->GetTextureStageState(stage, t, &v), D3D_OK);
    return v;
  }
  DWORD SS(D3DSAMPLERSTATETYPE t) {
    DWORD v = 0;
    EXPECT_EQ(device_->GetSamplerState(0, t, &v), D3D_OK);
    return v;
  }
};

TEST_F(StateBlockTest, RecordingDoesNotChangeTheDevice) {
  ASSERT_EQ(device_->BeginStateBlock(), D3D_OK);
  device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  device_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2);
  device_->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
  device_->SetFVF(0x144);
  device_->SetNPatchMode(2.f);
  IDirect3DStateBlock9* block = nullptr;
  ASSERT_EQ(device_->EndStateBlock(&block), D3D_OK);
  EXPECT_EQ(RS(D3DRS_ALPHABLENDENABLE), static_cast<DWORD>(FALSE));
  EXPECT_EQ(TSS(0, D3DTSS_COLOROP), static_cast<DWORD>(D3DTOP_MODULATE));
  EXPECT_EQ(SS(D3DSAMP_MAGFILTER), static_cast<DWORD>(D3DTEXF_POINT));
  DWORD fvf = 1;
  device_->GetFVF(&fvf);
  EXPECT_EQ(fvf, 0u);
  EXPECT_EQ(device_->GetNPatchMode(), 0.f);

  // Applying sets the recorded values.
  ASSERT_EQ(block->Apply(), D3D_OK);
  EXPECT_EQ(RS(D3DRS_ALPHABLENDENABLE), static_cast<DWORD>(TRUE));
  EXPECT_EQ(TSS(0, D3DTSS_COLOROP), static_cast<DWORD>(D3DTOP_SELECTARG2));
  EXPECT_EQ(SS(D3DSAMP_MAGFILTER), static_cast<DWORD>(D3DTEXF_LINEAR));
  device_->GetFVF(&fvf);
  EXPECT_EQ(fvf, 0x144u);
  EXPECT_EQ(device_->GetNPatchMode(), 2.f);
  EXPECT_EQ(block->Release(), 0u);
}

TEST_F(StateBlockTest, CaptureAndApplyMoveOnlyTheRecordedStates) {
  // Record a few states (values do not matter: Capture replaces them).
  ASSERT_EQ(device_->BeginStateBlock(), D3D_OK);
  device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
  device_->SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
  device_->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_WRAP);
  D3DMATRIX m{};
  m._11 = m._22 = m._33 = m._44 = 1.f;
  device_->SetTransform(D3DTS_WORLD, &m);
  device_->SetTexture(0, nullptr);
  device_->SetStreamSource(0, nullptr, 0, 0);
  IDirect3DStateBlock9* saved = nullptr;
  ASSERT_EQ(device_->EndStateBlock(&saved), D3D_OK);

  // The caller's values.
  IDirect3DTexture9* tex = MakeTexture(1, 1, {0xFFFFFFFFu});
  device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_DESTCOLOR);
  device_->SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
  device_->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_MIRROR);
  D3DMATRIX world{};
  world._11 = 3.f;
  world._44 = 1.f;
  device_->SetTransform(D3DTS_WORLD, &world);
  device_->SetTexture(0, tex);
  device_->SetStreamSource(0, nullptr, 0, 28);
  ASSERT_EQ(saved->Capture(), D3D_OK);

  // Everything changes, recorded or not.
  device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ZERO);
  device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_SRCCOLOR);  // not recorded
  device_->SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_ADD);
  device_->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
  device_->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_BORDER);  // not recorded
  device_->SetTransform(D3DTS_WORLD, &m);
  device_->SetTexture(0, nullptr);
  device_->SetStreamSource(0, nullptr, 0, 0);

  ASSERT_EQ(saved->Apply(), D3D_OK);
  EXPECT_EQ(RS(D3DRS_SRCBLEND), static_cast<DWORD>(D3DBLEND_DESTCOLOR));
  EXPECT_EQ(RS(D3DRS_DESTBLEND), static_cast<DWORD>(D3DBLEND_SRCCOLOR));
  EXPECT_EQ(TSS(1, D3DTSS_ALPHAOP), static_cast<DWORD>(D3DTOP_SELECTARG1));
  EXPECT_EQ(SS(D3DSAMP_ADDRESSU), static_cast<DWORD>(D3DTADDRESS_MIRROR));
  EXPECT_EQ(SS(D3DSAMP_ADDRESSV), static_cast<DWORD>(D3DTADDRESS_BORDER));
  D3DMATRIX got{};
  device_->GetTransform(D3DTS_WORLD, &got);
  EXPECT_EQ(got._11, 3.f);
  IDirect3DBaseTexture9* bound = nullptr;
  device_->GetTexture(0, &bound);
  EXPECT_EQ(bound, tex);
  if (bound) bound->Release();
  IDirect3DVertexBuffer9* vb = reinterpret_cast<IDirect3DVertexBuffer9*>(1);
  UINT offset = 1, stride = 0;
  device_->GetStreamSource(0, &vb, &offset, &stride);
  EXPECT_EQ(vb, nullptr);
  EXPECT_EQ(stride, 28u);

  // The block keeps the captured texture alive after the caller lets go.
  device_->SetTexture(0, nullptr);
  EXPECT_EQ(tex->Release(), 0u);
  ASSERT_EQ(saved->Apply(), D3D_OK);
  device_->GetTexture(0, &bound);
  EXPECT_NE(bound, nullptr);
  D3DSURFACE_DESC desc{};
  if (bound) {
    static_cast<IDirect3DTexture9*>(bound)->GetLevelDesc(0, &desc);
    EXPECT_EQ(desc.Width, 1u);
    bound->Release();
  }
  device_->SetTexture(0, nullptr);
  EXPECT_EQ(saved->Release(), 0u);
}

TEST_F(StateBlockTest, MisuseIsRefused) {
  IDirect3DStateBlock9* block = nullptr;
  EXPECT_EQ(device_->EndStateBlock(&block), D3DERR_INVALIDCALL);
  ASSERT_EQ(device_->BeginStateBlock(), D3D_OK);
  EXPECT_EQ(device_->BeginStateBlock(), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->CreateStateBlock(D3DSBT_ALL, &block), D3DERR_INVALIDCALL);
  ASSERT_EQ(device_->EndStateBlock(&block), D3D_OK);
  EXPECT_EQ(device_->BeginStateBlock(), D3D_OK);
  EXPECT_EQ(block->Capture(), D3DERR_INVALIDCALL);  // not while recording
  EXPECT_EQ(block->Apply(), D3DERR_INVALIDCALL);
  IDirect3DStateBlock9* other = nullptr;
  device_->EndStateBlock(&other);
  other->Release();
  block->Release();
}

TEST_F(StateBlockTest, CreateStateBlockTakesEveryStateOfItsKind) {
  device_->SetRenderState(D3DRS_ALPHAREF, 77);       // pixel state
  device_->SetRenderState(D3DRS_LIGHTING, FALSE);    // vertex state
  IDirect3DStateBlock9* pixel = nullptr;
  IDirect3DStateBlock9* all = nullptr;
  ASSERT_EQ(device_->CreateStateBlock(D3DSBT_PIXELSTATE, &pixel), D3D_OK);
  ASSERT_EQ(device_->CreateStateBlock(D3DSBT_ALL, &all), D3D_OK);
  device_->SetRenderState(D3DRS_ALPHAREF, 1);
  device_->SetRenderState(D3DRS_LIGHTING, TRUE);
  ASSERT_EQ(pixel->Apply(), D3D_OK);
  EXPECT_EQ(RS(D3DRS_ALPHAREF), 77u);
  EXPECT_EQ(RS(D3DRS_LIGHTING), static_cast<DWORD>(TRUE));
  ASSERT_EQ(all->Apply(), D3D_OK);
  EXPECT_EQ(RS(D3DRS_LIGHTING), static_cast<DWORD>(FALSE));
  pixel->Release();
  all->Release();
}

TEST_F(StateBlockTest, AStandaloneSpriteDrawLeavesTheCallersStatesAsTheyWere) {
  // The game's per-draw pattern: capture a saved block, apply the sprite
  // block, draw, apply the saved block.
  IDirect3DStateBlock9* saved = nullptr;
  IDirect3DStateBlock9* sprite = nullptr;
  for (int pass = 0; pass < 2; ++pass) {
    ASSERT_EQ(device_->BeginStateBlock(), D3D_OK);
    device_->SetFVF(kTLFvf);
    device_->SetVertexShader(nullptr);
    device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    device_->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    device_->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    if (pass == 0) {
      device_->SetTexture(0, nullptr);
      device_->SetStreamSource(0, nullptr, 0, 0);
    }
    ASSERT_EQ(device_->EndStateBlock(pass == 0 ? &saved : &sprite), D3D_OK);
  }
  IDirect3DTexture9* tex = MakeTexture(2, 2, {0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu});
  device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_DESTALPHA);
  device_->SetFVF(D3DFVF_XYZ);
  ASSERT_EQ(device_->BeginScene(), D3D_OK);
  for (int i = 0; i < 3; ++i) {
    ASSERT_EQ(saved->Capture(), D3D_OK);
    ASSERT_EQ(sprite->Apply(), D3D_OK);
    device_->SetTexture(0, tex);
    ASSERT_EQ(DrawTLQuad(1, 1, 2, 2), D3D_OK);
    ASSERT_EQ(saved->Apply(), D3D_OK);
  }
  device_->EndScene();
  EXPECT_EQ(RS(D3DRS_SRCBLEND), static_cast<DWORD>(D3DBLEND_DESTALPHA));
  EXPECT_EQ(RS(D3DRS_CULLMODE), static_cast<DWORD>(D3DCULL_CCW));
  DWORD fvf = 0;
  device_->GetFVF(&fvf);
  EXPECT_EQ(fvf, static_cast<DWORD>(D3DFVF_XYZ));
  IDirect3DBaseTexture9* bound = reinterpret_cast<IDirect3DBaseTexture9*>(1);
  device_->GetTexture(0, &bound);
  EXPECT_EQ(bound, nullptr);
  const auto px = ReadBack();
  EXPECT_EQ(At(px, 1, 1), 0xFFFFFFFFu);
  saved->Release();
  sprite->Release();
  tex->Release();
}

}  // namespace
}  // namespace d3d9test

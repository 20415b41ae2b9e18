// The Direct3D object and device outside the pixel pipeline: creation and
// its failures, capability profiles, texture creation rules, locking,
// reference counting, the scene bracket and present.
#include "platform/d3d9/caps_profiles.h"
#include "tests/d3d9/d3d9_test_support.h"

namespace d3d9test {
namespace {

class ApiTest : public DeviceTest {};

D3DPRESENT_PARAMETERS GameParams() {
  D3DPRESENT_PARAMETERS pp{};
  pp.BackBufferFormat = D3DFMT_UNKNOWN;
  pp.BackBufferCount = 1;
  pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
  pp.Windowed = TRUE;
  return pp;
}

TEST_F(ApiTest, Direct3DCreate9AcceptsOnlyItsVersionAndHonoursFaults) {
  EXPECT_EQ(Direct3DCreate9(32), nullptr);
  host_.FailAt("Direct3DCreate9", 1);
  EXPECT_EQ(Direct3DCreate9(D3D_SDK_VERSION), nullptr);
  IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
  ASSERT_NE(d3d, nullptr);
  EXPECT_EQ(d3d->AddRef(), 2u);
  EXPECT_EQ(d3d->Release(), 1u);
  EXPECT_EQ(d3d->Release(), 0u);
}

TEST_F(ApiTest, CreateDeviceFillsTheWindowsClientSizeAndDisplayFormat) {
  d3d_ = Direct3DCreate9(D3D_SDK_VERSION);
  ASSERT_NE(d3d_, nullptr);
  host_.SetDesktopSize(1280, 1024);
  D3DPRESENT_PARAMETERS pp = GameParams();
  HWND window = GetDesktopWindow();
  ASSERT_EQ(d3d_->CreateDevice(0, D3DDEVTYPE_HAL, window, D3DCREATE_MIXED_VERTEXPROCESSING, &pp, &device_), D3D_OK);
  RECT client{};
  GetClientRect(window, &client);
  EXPECT_EQ(pp.BackBufferWidth, static_cast<UINT>(client.right));
  EXPECT_EQ(pp.BackBufferHeight, static_cast<UINT>(client.bottom));
  EXPECT_EQ(pp.BackBufferFormat, D3DFMT_X8R8G8B8);
  D3DDEVICE_CREATION_PARAMETERS cp{};
  ASSERT_EQ(device_->GetCreationParameters(&cp), D3D_OK);
  EXPECT_EQ(cp.DeviceType, D3DDEVTYPE_HAL);
  EXPECT_EQ(cp.hFocusWindow, window);
  EXPECT_EQ(cp.BehaviorFlags, static_cast<DWORD>(D3DCREATE_MIXED_VERTEXPROCESSING));
  D3DDISPLAYMODE mode{};
  ASSERT_EQ(device_->GetDisplayMode(0, &mode), D3D_OK);
  EXPECT_EQ(mode.Width, 1280u);
  EXPECT_EQ(mode.Format, D3DFMT_X8R8G8B8);
  IDirect3D9* owner = nullptr;
  ASSERT_EQ(device_->GetDirect3D(&owner), D3D_OK);
  EXPECT_EQ(owner, d3d_);
  owner->Release();
  EXPECT_EQ(device_->TestCooperativeLevel(), D3D_OK);
}

TEST_F(ApiTest, CreateDeviceRefusesBadArgumentsAndInjectedFailures) {
  d3d_ = Direct3DCreate9(D3D_SDK_VERSION);
  ASSERT_NE(d3d_, nullptr);
  D3DPRESENT_PARAMETERS pp = GameParams();
  HWND window = GetDesktopWindow();
  const DWORD mixed = D3DCREATE_MIXED_VERTEXPROCESSING;
  EXPECT_EQ(d3d_->CreateDevice(1, D3DDEVTYPE_HAL, window, mixed, &pp, &device_), D3DERR_INVALIDCALL);
  EXPECT_EQ(d3d_->CreateDevice(0, D3DDEVTYPE_SW, window, mixed, &pp, &device_), D3DERR_INVALIDCALL);
  EXPECT_EQ(d3d_->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, mixed, &pp, &device_), D3DERR_INVALIDCALL);
  EXPECT_EQ(d3d_->CreateDevice(0, D3DDEVTYPE_HAL, reinterpret_cast<HWND>(0x1234), mixed, &pp, &device_),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(d3d_->CreateDevice(0, D3DDEVTYPE_HAL, window, 0, &pp, &device_), D3DERR_INVALIDCALL);
  EXPECT_EQ(d3d_->CreateDevice(0, D3DDEVTYPE_HAL, window,
                               D3DCREATE_MIXED_VERTEXPROCESSING | D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, &device_),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(d3d_->CreateDevice(0, D3DDEVTYPE_HAL, window, mixed, nullptr, &device_), D3DERR_INVALIDCALL);
  D3DPRESENT_PARAMETERS depth = GameParams();
  depth.EnableAutoDepthStencil = TRUE;
  depth.AutoDepthStencilFormat = D3DFMT_D16;
  EXPECT_EQ(d3d_->CreateDevice(0, D3DDEVTYPE_HAL, window, mixed, &depth, &device_), D3DERR_NOTAVAILABLE);
  EXPECT_EQ(device_, nullptr);

  // The game's fall-back: HAL fails, REF with the same record succeeds.
  host_.FailAt("IDirect3D9.CreateDevice.HAL", host_.CallCount("IDirect3D9.CreateDevice.HAL") + 1);
  EXPECT_EQ(d3d_->CreateDevice(0, D3DDEVTYPE_HAL, window, mixed, &pp, &device_), D3DERR_NOTAVAILABLE);
  EXPECT_EQ(device_, nullptr);
  ASSERT_EQ(d3d_->CreateDevice(0, D3DDEVTYPE_REF, window, mixed, &pp, &device_), D3D_OK);
  D3DCAPS9 caps{};
  device_->GetDeviceCaps(&caps);
  EXPECT_EQ(caps.DeviceType, D3DDEVTYPE_REF);
  device_->Release();
  device_ = nullptr;
  host_.FailAt("IDirect3D9.CreateDevice.REF", host_.CallCount("IDirect3D9.CreateDevice.REF") + 1);
  EXPECT_EQ(d3d_->CreateDevice(0, D3DDEVTYPE_REF, window, mixed, &pp, &device_), D3DERR_NOTAVAILABLE);
}

TEST_F(ApiTest, ProfilesShowTheirCapabilities) {
  struct Expect {
    const char* profile;
    DWORD textureCapsOn, textureCapsOff;
    bool clipTL, blend, a8r8g8b8;
    DWORD aspect;
  };
  const Expect expects[] = {
      {"default", D3DPTEXTURECAPS_MIPMAP, D3DPTEXTURECAPS_POW2 | D3DPTEXTURECAPS_SQUAREONLY, true, true, true, 8192},
      {"pow2", D3DPTEXTURECAPS_POW2, D3DPTEXTURECAPS_NONPOW2CONDITIONAL, true, true, true, 8192},
      {"nonpow2conditional", D3DPTEXTURECAPS_POW2 | D3DPTEXTURECAPS_NONPOW2CONDITIONAL, 0, true, true, true, 8192},
      {"squareonly", D3DPTEXTURECAPS_SQUAREONLY, D3DPTEXTURECAPS_POW2, true, true, true, 8192},
      {"aspect8", 0, D3DPTEXTURECAPS_POW2, true, true, true, 8},
      {"noblend", 0, D3DPTEXTURECAPS_POW2, true, false, true, 8192},
      {"untransformed", 0, D3DPTEXTURECAPS_POW2, false, true, true, 8192},
      {"noa8r8g8b8", 0, D3DPTEXTURECAPS_POW2, true, true, false, 8192},
      {"nomipmap", 0, D3DPTEXTURECAPS_MIPMAP, true, true, true, 8192},
  };
  // Every profile of the table is checked here, and nothing else is one.
  std::vector<std::string> checked;
  for (const Expect& e : expects) checked.emplace_back(e.profile);
  EXPECT_EQ(d3d9sw::ProfileNames(), checked);
  for (const Expect& e : expects) {
    SCOPED_TRACE(e.profile);
    host_.SetDeviceProfile(e.profile);
    IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
    ASSERT_NE(d3d, nullptr);
    D3DCAPS9 caps{};
    ASSERT_EQ(d3d->GetDeviceCaps(0, D3DDEVTYPE_HAL, &caps), D3D_OK);
    EXPECT_EQ(caps.TextureCaps & e.textureCapsOn, e.textureCapsOn);
    EXPECT_EQ(caps.TextureCaps & e.textureCapsOff, 0u);
    EXPECT_EQ((caps.PrimitiveMiscCaps & D3DPMISCCAPS_CLIPTLVERTS) != 0, e.clipTL);
    const bool blend = (caps.SrcBlendCaps & D3DPBLENDCAPS_SRCALPHA) && (caps.DestBlendCaps & D3DPBLENDCAPS_INVSRCALPHA);
    EXPECT_EQ(blend, e.blend);
    EXPECT_EQ(caps.MaxTextureAspectRatio, e.aspect);
    const HRESULT hr =
        d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, 0, D3DRTYPE_TEXTURE, D3DFMT_A8R8G8B8);
    EXPECT_EQ(hr == D3D_OK, e.a8r8g8b8);
    EXPECT_EQ(d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, 0, D3DRTYPE_TEXTURE, D3DFMT_A8B8G8R8),
              D3D_OK);
    EXPECT_EQ(d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, 0, D3DRTYPE_TEXTURE, D3DFMT_P8),
              D3DERR_NOTAVAILABLE);
    EXPECT_EQ(d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, 0, D3DRTYPE_CUBETEXTURE, D3DFMT_A8B8G8R8),
              D3DERR_NOTAVAILABLE);
    EXPECT_EQ(d3d->Release(), 0u);
  }
}

TEST_F(ApiTest, AnUnknownProfileIsRefusedNamingTheKnownOnes) {
  for (const char* name : {"no such profile", "", "Pow2", "default "}) {
    SCOPED_TRACE(name);
    host_.SetDeviceProfile(name);
    const size_t before = host_.DebugText().size();
    EXPECT_EQ(Direct3DCreate9(D3D_SDK_VERSION), nullptr);
    const std::string said = host_.DebugText().substr(before);
    EXPECT_NE(said.find("unknown device profile \"" + std::string(name) + "\""), std::string::npos) << said;
    EXPECT_NE(said.find("default, pow2, nonpow2conditional"), std::string::npos) << said;
    EXPECT_NE(said.find("nomipmap"), std::string::npos) << said;
  }
}

TEST_F(ApiTest, CreateTextureFollowsTheProfilesLimits) {
  struct Case {
    const char* profile;
    UINT w, h, levels;
    D3DFORMAT format;
    D3DPOOL pool;
    HRESULT want;
    UINT wantLevels;
  };
  const Case cases[] = {
      {"default", 88, 88, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, D3D_OK, 7},
      {"default", 792, 640, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, D3D_OK, 10},
      {"default", 88, 88, 8, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, D3DERR_INVALIDCALL, 0},
      {"default", 0, 88, 1, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, D3DERR_INVALIDCALL, 0},
      {"default", 16384, 16, 1, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, D3DERR_INVALIDCALL, 0},
      {"default", 16, 16, 1, D3DFMT_P8, D3DPOOL_MANAGED, D3DERR_NOTAVAILABLE, 0},
      {"default", 16, 16, 1, D3DFMT_P8, D3DPOOL_SCRATCH, D3D_OK, 1},
      {"default", 16, 16, 1, D3DFMT_A8R8G8B8, static_cast<D3DPOOL>(4), D3DERR_INVALIDCALL, 0},
      {"pow2", 88, 88, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, D3DERR_INVALIDCALL, 0},
      {"pow2", 128, 128, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, D3D_OK, 8},
      {"pow2", 1000, 1000, 1, D3DFMT_A8R8G8B8, D3DPOOL_SCRATCH, D3D_OK, 1},
      {"nonpow2conditional", 88, 88, 1, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, D3D_OK, 1},
      {"nonpow2conditional", 88, 88, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, D3DERR_INVALIDCALL, 0},
      {"squareonly", 128, 64, 1, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, D3DERR_INVALIDCALL, 0},
      {"squareonly", 64, 64, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, D3D_OK, 7},
      {"aspect8", 704, 88, 1, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, D3D_OK, 1},
      {"aspect8", 880, 88, 1, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, D3DERR_INVALIDCALL, 0},
      {"noa8r8g8b8", 16, 16, 1, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, D3DERR_NOTAVAILABLE, 0},
      {"noa8r8g8b8", 16, 16, 1, D3DFMT_A8B8G8R8, D3DPOOL_MANAGED, D3D_OK, 1},
      {"nomipmap", 64, 64, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, D3D_OK, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.profile) + " " + std::to_string(c.w) + "x" + std::to_string(c.h));
    MakeDevice(c.profile);
    IDirect3DTexture9* t = nullptr;
    EXPECT_EQ(device_->CreateTexture(c.w, c.h, c.levels, 0, c.format, c.pool, &t, nullptr), c.want);
    if (c.want == D3D_OK) {
      ASSERT_NE(t, nullptr);
      EXPECT_EQ(t->GetLevelCount(), c.wantLevels);
      D3DSURFACE_DESC d{};
      ASSERT_EQ(t->GetLevelDesc(c.wantLevels - 1, &d), D3D_OK);
      EXPECT_EQ(d.Width, std::max(1u, c.w >> (c.wantLevels - 1)));
      EXPECT_EQ(d.Pool, c.pool);
      EXPECT_EQ(d.Format, c.format);
      EXPECT_EQ(t->GetLevelDesc(c.wantLevels, &d), D3DERR_INVALIDCALL);
      EXPECT_EQ(t->Release(), 0u);
    } else {
      EXPECT_EQ(t, nullptr);
    }
    EXPECT_EQ(device_->Release(), 0u);
    device_ = nullptr;
    EXPECT_EQ(d3d_->Release(), 0u);
    d3d_ = nullptr;
  }
}

TEST_F(ApiTest, CreateTextureFaultInjectionCountsCalls) {
  MakeDevice();
  host_.FailAt("IDirect3DDevice9.CreateTexture", 2);
  IDirect3DTexture9* a = nullptr;
  IDirect3DTexture9* b = nullptr;
  EXPECT_EQ(device_->CreateTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &a, nullptr), D3D_OK);
  EXPECT_TRUE(FAILED(device_->CreateTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &b, nullptr)));
  EXPECT_EQ(b, nullptr);
  a->Release();
}

TEST_F(ApiTest, LockRectGivesPitchAndRectanglesAndRefusesMisuse) {
  MakeDevice();
  IDirect3DTexture9* t = nullptr;
  ASSERT_EQ(device_->CreateTexture(10, 6, 2, 0, D3DFMT_R5G6B5, D3DPOOL_MANAGED, &t, nullptr), D3D_OK);
  D3DLOCKED_RECT whole{}, part{};
  ASSERT_EQ(t->LockRect(0, &whole, nullptr, D3DLOCK_NOSYSLOCK), D3D_OK);
  EXPECT_EQ(whole.Pitch, 20);
  EXPECT_EQ(t->LockRect(0, &part, nullptr, 0), D3DERR_INVALIDCALL);  // already locked
  ASSERT_EQ(t->UnlockRect(0), D3D_OK);
  EXPECT_EQ(t->UnlockRect(0), D3DERR_INVALIDCALL);
  const RECT r{2, 3, 5, 6};
  ASSERT_EQ(t->LockRect(0, &part, &r, 0), D3D_OK);
  EXPECT_EQ(static_cast<uint8_t*>(part.pBits) - static_cast<uint8_t*>(whole.pBits), 3 * 20 + 2 * 2);
  t->UnlockRect(0);
  const RECT outside{2, 3, 11, 6}, inverted{5, 3, 2, 6};
  EXPECT_EQ(t->LockRect(0, &part, &outside, 0), D3DERR_INVALIDCALL);
  EXPECT_EQ(t->LockRect(0, &part, &inverted, 0), D3DERR_INVALIDCALL);
  EXPECT_EQ(t->LockRect(2, &part, nullptr, 0), D3DERR_INVALIDCALL);
  D3DLOCKED_RECT level1{};
  ASSERT_EQ(t->LockRect(1, &level1, nullptr, 0), D3D_OK);  // levels lock independently
  t->UnlockRect(1);

  // Through the surface, and with injected failures.
  IDirect3DSurface9* s = nullptr;
  ASSERT_EQ(t->GetSurfaceLevel(1, &s), D3D_OK);
  D3DSURFACE_DESC d{};
  s->GetDesc(&d);
  EXPECT_EQ(d.Width, 5u);
  EXPECT_EQ(d.Height, 3u);
  host_.FailAt("IDirect3DSurface9.LockRect", host_.CallCount("IDirect3DSurface9.LockRect") + 1);
  EXPECT_TRUE(FAILED(s->LockRect(&part, nullptr, 0)));
  EXPECT_EQ(s->LockRect(&part, nullptr, D3DLOCK_DISCARD), D3D_OK);
  s->UnlockRect();
  host_.FailAt("IDirect3DTexture9.LockRect", host_.CallCount("IDirect3DTexture9.LockRect") + 1);
  EXPECT_TRUE(FAILED(t->LockRect(0, &part, nullptr, 0)));
  // The surface keeps the texture alive.
  EXPECT_EQ(t->Release(), 1u);
  IDirect3DTexture9* container = nullptr;
  ASSERT_EQ(s->GetContainer(IID_IDirect3DTexture9, reinterpret_cast<void**>(&container)), D3D_OK);
  EXPECT_EQ(container, t);
  container->Release();
  EXPECT_EQ(s->Release(), 0u);
}

TEST_F(ApiTest, DefaultPoolTexturesAreNotLockableUnlessDynamic) {
  MakeDevice();
  IDirect3DTexture9* plain = nullptr;
  IDirect3DTexture9* dynamic = nullptr;
  ASSERT_EQ(device_->CreateTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &plain, nullptr), D3D_OK);
  ASSERT_EQ(device_->CreateTexture(8, 8, 1, D3DUSAGE_DYNAMIC, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &dynamic, nullptr),
            D3D_OK);
  D3DLOCKED_RECT lr{};
  EXPECT_EQ(plain->LockRect(0, &lr, nullptr, 0), D3DERR_INVALIDCALL);
  EXPECT_EQ(dynamic->LockRect(0, &lr, nullptr, D3DLOCK_DISCARD), D3D_OK);
  dynamic->UnlockRect(0);
  IDirect3DTexture9* managedDynamic = nullptr;
  EXPECT_EQ(device_->CreateTexture(8, 8, 1, D3DUSAGE_DYNAMIC, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &managedDynamic,
                                   nullptr),
            D3DERR_INVALIDCALL);

  // UpdateTexture carries system-memory levels into the default pool.
  IDirect3DTexture9* staging = nullptr;
  ASSERT_EQ(device_->CreateTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &staging, nullptr), D3D_OK);
  ASSERT_EQ(staging->LockRect(0, &lr, nullptr, 0), D3D_OK);
  static_cast<uint32_t*>(lr.pBits)[9] = 0xFF00FF00u;
  staging->UnlockRect(0);
  EXPECT_EQ(device_->UpdateTexture(staging, plain), D3D_OK);
  EXPECT_EQ(device_->UpdateTexture(plain, staging), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->SetTexture(0, staging), D3DERR_INVALIDCALL);  // system memory cannot be sampled
  ASSERT_EQ(device_->SetTexture(0, plain), D3D_OK);
  device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.f, 0);
  device_->BeginScene();
  SpriteStates(false);
  device_->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
  ASSERT_EQ(DrawTLQuad(0, 0, 8, 8), D3D_OK);
  device_->EndScene();
  EXPECT_EQ(ReadBack()[width_ + 1], 0xFF00FF00u);
  device_->SetTexture(0, nullptr);
  plain->Release();
  dynamic->Release();
  staging->Release();
}

TEST_F(ApiTest, BoundTexturesDoNotKeepAReleasedDeviceAlive) {
  MakeDevice();
  IDirect3DTexture9* t = nullptr;
  ASSERT_EQ(device_->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &t, nullptr), D3D_OK);
  // Each texture holds a device reference while the caller holds it.
  EXPECT_EQ(device_->AddRef(), 3u);
  EXPECT_EQ(device_->Release(), 2u);
  ASSERT_EQ(device_->SetTexture(0, t), D3D_OK);
  EXPECT_EQ(t->Release(), 0u);
  IDirect3DBaseTexture9* bound = nullptr;
  ASSERT_EQ(device_->GetTexture(0, &bound), D3D_OK);
  EXPECT_EQ(bound, t);
  EXPECT_EQ(bound->Release(), 0u);
  // The device goes with its last reference; the bound texture with it
  // (the sanitizer build checks nothing is left behind).
  EXPECT_EQ(device_->Release(), 0u);
  device_ = nullptr;
}

TEST_F(ApiTest, SceneBracketMisuseAndInjectedBeginSceneFailure) {
  MakeDevice();
  TLVertex tri[3] = {};
  device_->SetFVF(kTLFvf);
  EXPECT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, tri, sizeof(TLVertex)), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->EndScene(), D3DERR_INVALIDCALL);
  ASSERT_EQ(device_->BeginScene(), D3D_OK);
  EXPECT_EQ(device_->BeginScene(), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, nullptr, sizeof(TLVertex)), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, tri, 8), D3DERR_INVALIDCALL);  // stride too small
  EXPECT_EQ(device_->DrawPrimitiveUP(D3DPT_LINELIST, 1, tri, sizeof(TLVertex)), D3DERR_INVALIDCALL);
  device_->SetFVF(D3DFVF_DIFFUSE);  // no position
  EXPECT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, tri, sizeof(TLVertex)), D3DERR_INVALIDCALL);
  ASSERT_EQ(device_->EndScene(), D3D_OK);
  host_.FailAt("IDirect3DDevice9.BeginScene", host_.CallCount("IDirect3DDevice9.BeginScene") + 1);
  EXPECT_TRUE(FAILED(device_->BeginScene()));
  EXPECT_EQ(device_->EndScene(), D3DERR_INVALIDCALL);  // the failed begin opened nothing
  EXPECT_EQ(device_->BeginScene(), D3D_OK);
  device_->EndScene();
}

TEST_F(ApiTest, PresentHandsTheWholeBackBufferToTheHost) {
  MakeDevice("default", 20, 10);
  device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0x00336699u, 1.f, 0);
  const D3DRECT corner{19, 9, 20, 10};
  device_->Clear(1, &corner, D3DCLEAR_TARGET, 0xFFFF0000u, 1.f, 0);
  ASSERT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
  ASSERT_EQ(host_.Frames().size(), 1u);
  const auto& f = host_.Frames()[0];
  EXPECT_EQ(f.width, 20);
  EXPECT_EQ(f.height, 10);
  ASSERT_EQ(f.pixels.size(), 200u);
  EXPECT_EQ(f.pixels[0] & 0x00FFFFFFu, 0x00336699u);
  EXPECT_EQ(f.pixels[199] & 0x00FFFFFFu, 0x00FF0000u);
}

TEST_F(ApiTest, StateSettersValidateTheirArguments) {
  MakeDevice();
  EXPECT_EQ(device_->SetRenderState(static_cast<D3DRENDERSTATETYPE>(1), 0), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->SetTextureStageState(8, D3DTSS_COLOROP, D3DTOP_DISABLE), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->SetSamplerState(16, D3DSAMP_MAGFILTER, D3DTEXF_POINT), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->SetTexture(8, nullptr), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->SetTransform(D3DTS_VIEW, nullptr), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->SetTransform(static_cast<D3DTRANSFORMSTATETYPE>(1), nullptr), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->SetStreamSource(1, nullptr, 0, 0), D3DERR_INVALIDCALL);
  DWORD v = 0;
  ASSERT_EQ(device_->GetRenderState(D3DRS_CULLMODE, &v), D3D_OK);
  EXPECT_EQ(v, static_cast<DWORD>(D3DCULL_CCW));
  ASSERT_EQ(device_->GetRenderState(D3DRS_LIGHTING, &v), D3D_OK);
  EXPECT_EQ(v, static_cast<DWORD>(TRUE));
  ASSERT_EQ(device_->GetTextureStageState(1, D3DTSS_COLOROP, &v), D3D_OK);
  EXPECT_EQ(v, static_cast<DWORD>(D3DTOP_DISABLE));
  ASSERT_EQ(device_->GetTextureStageState(3, D3DTSS_TEXCOORDINDEX, &v), D3D_OK);
  EXPECT_EQ(v, 3u);
  ASSERT_EQ(device_->GetSamplerState(0, D3DSAMP_ADDRESSU, &v), D3D_OK);
  EXPECT_EQ(v, static_cast<DWORD>(D3DTADDRESS_WRAP));
  D3DMATRIX m{};
  m._11 = 2.f;
  m._44 = 1.f;
  ASSERT_EQ(device_->SetTransform(D3DTS_VIEW, &m), D3D_OK);
  ASSERT_EQ(device_->MultiplyTransform(D3DTS_VIEW, &m), D3D_OK);
  ASSERT_EQ(device_->GetTransform(D3DTS_VIEW, &m), D3D_OK);
  EXPECT_EQ(m._11, 4.f);
}

}  // namespace
}  // namespace d3d9test

// sprite.cpp — the sprite object behind D3DXCreateSprite.
//
// Each object keeps two state blocks recorded with the same list of states:
// one captures the caller's values at Begin and puts them back at End, the
// other holds the sprite's own values and is applied at Begin. A draw outside
// Begin/End brackets itself, so the caller's device state survives it.
// Two vertex layouts exist; the device's capabilities at creation choose one
// for the object's life: screen-space vertices (x, y, z, rhw) when the device
// clips pre-transformed vertices or is a pure device, otherwise untransformed
// vertices placed by a world matrix that maps pixels to clip space.
//
// Fault injection: the object's allocation asks the library's allocation hook.
// Depends on: windows.h, d3d9.h, gfx/sprite.h, gfx/gfx_math.h,
// gfx/debug_report.h, gfx/allocation_hook.h.
#include "gfx/sprite.h"

#include <com_object.h>

#include <cmath>
#include <new>

#include "gfx/allocation_hook.h"
#include "gfx/debug_report.h"
#include "gfx/gfx_math.h"

extern "C" const IID IID_ID3DXSprite = {0xB07EC84A, 0x8D35, 0x4E86, {0xA9, 0xA0, 0x8D, 0xFF, 0x21, 0xD7, 0x10, 0x75}};

namespace {

constexpr DWORD kFvfScreenSpace = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;  // 0x144
constexpr DWORD kFvfUntransformed = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1;   // 0x142

struct ScreenVertex {
  FLOAT x, y, z, rhw;
  D3DCOLOR color;
  FLOAT u, v;
};
static_assert(sizeof(ScreenVertex) == 28);

struct WorldVertex {
  FLOAT x, y, z;
  D3DCOLOR color;
  FLOAT u, v;
};
static_assert(sizeof(WorldVertex) == 24);

// Formats whose texels carry alpha (or a palette that may): drawing them
// needs blending even with an opaque colour.
bool FormatWantsAlpha(D3DFORMAT format) {
  switch (format) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_A1R5G5B5:
    case D3DFMT_A4R4G4B4:
    case D3DFMT_A8:
    case D3DFMT_A8R3G3B2:
    case D3DFMT_A8P8:
    case D3DFMT_P8:
    case D3DFMT_A8L8:
    case D3DFMT_A4L4:
    case D3DFMT_DXT2:
    case D3DFMT_DXT3:
    case D3DFMT_DXT4:
    case D3DFMT_DXT5:
      return true;
    default:
      return false;
  }
}

D3DMATRIX IdentityMatrix() {
  D3DMATRIX m{};
  m._11 = m._22 = m._33 = m._44 = 1.0f;
  return m;
}

class Sprite final : public platform::ComObject<ID3DXSprite, IID_ID3DXSprite> {
 public:
  explicit Sprite(IDirect3DDevice9* device) : device_(device) {
    device_->AddRef();
    D3DCAPS9 caps{};
    D3DDEVICE_CREATION_PARAMETERS params{};
    device_->GetDeviceCaps(&caps);
    device_->GetCreationParameters(&params);
    pretransformed_ = (caps.PrimitiveMiscCaps & D3DPMISCCAPS_CLIPTLVERTS) != 0 ||
                      (params.BehaviorFlags & D3DCREATE_PUREDEVICE) != 0;
    canBlend_ = (caps.SrcBlendCaps & D3DPBLENDCAPS_SRCALPHA) != 0 &&
                (caps.DestBlendCaps & D3DPBLENDCAPS_INVSRCALPHA) != 0;
  }

  // IUnknown (ComObject's), with the library's answers for a null result
  // slot and an unknown id (the slot is left as it was).
  HRESULT NoResultSlot() override {
    gfx::DebugReport(0, "ppv pointer is invalid");
    return D3DERR_INVALIDCALL;
  }
  void Refused(void**) override {}

  // ID3DXSprite
  HRESULT STDMETHODCALLTYPE GetDevice(LPDIRECT3DDEVICE9* ppDevice) override {
    if (ppDevice == nullptr) {
      gfx::DebugReport(0, "ppDevice pointer is invalid");
      return D3DERR_INVALIDCALL;
    }
    device_->AddRef();
    *ppDevice = device_;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE Begin() override {
    if (inBegin_) {
      gfx::DebugReport(0, "Begin called from within a Begin/End pair");
      return D3DERR_INVALIDCALL;
    }
    if (savedState_ == nullptr) {
      HRESULT hr = RecordStateBlocks();
      if (FAILED(hr)) return hr;
    }
    HRESULT hr = savedState_->Capture();
    if (FAILED(hr)) return hr;
    hr = spriteState_->Apply();
    if (SUCCEEDED(hr) && !pretransformed_) hr = SetPixelMatrix();
    if (FAILED(hr)) {
      // Leave the device as the caller had it.
      savedState_->Apply();
      return hr;
    }
    inBegin_ = TRUE;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE Draw(LPDIRECT3DTEXTURE9 pSrcTexture, const RECT* pSrcRect, const D3DXVECTOR2* pScaling,
                                 const D3DXVECTOR2* pRotationCenter, FLOAT Rotation, const D3DXVECTOR2* pTranslation,
                                 D3DCOLOR Color) override {
    D3DXVECTOR3 scaling{}, center{}, translation{};
    D3DXQUATERNION rotation{};
    if (pScaling) scaling = {pScaling->x, pScaling->y, 1.0f};
    if (pRotationCenter) center = {pRotationCenter->x, pRotationCenter->y, 0.0f};
    if (pTranslation) translation = {pTranslation->x, pTranslation->y, 0.0f};
    // A turn by -Rotation about z; an angle of exactly 0 means no turn, so
    // the centre then has no effect.
    const bool rotate = Rotation != 0.0f;
    if (rotate) rotation = {0.0f, 0.0f, std::sin(-Rotation / 2.0f), std::cos(-Rotation / 2.0f)};

    D3DXMATRIX m;
    D3DXMatrixTransformation(&m, nullptr, nullptr, pScaling ? &scaling : nullptr,
                             (rotate && pRotationCenter) ? &center : nullptr, rotate ? &rotation : nullptr,
                             pTranslation ? &translation : nullptr);
    return DrawTransform(pSrcTexture, pSrcRect, &m, Color);
  }

  HRESULT STDMETHODCALLTYPE DrawTransform(LPDIRECT3DTEXTURE9 pSrcTexture, const RECT* pSrcRect,
                                          const D3DXMATRIX* pTransform, D3DCOLOR Color) override {
    if (pSrcTexture == nullptr) {
      gfx::DebugReport(0, "pSrcTexture pointer is invalid");
      return D3DERR_INVALIDCALL;
    }
    D3DSURFACE_DESC desc{};
    HRESULT hr = pSrcTexture->GetLevelDesc(0, &desc);
    if (FAILED(hr)) return hr;

    RECT rect{0, 0, static_cast<LONG>(desc.Width), static_cast<LONG>(desc.Height)};
    if (pSrcRect) {
      const RECT& r = *pSrcRect;
      if (r.left < 0 || r.right < r.left || r.left > static_cast<LONG>(desc.Width) || r.top < 0 ||
          r.bottom < r.top || r.top > static_cast<LONG>(desc.Height)) {
        gfx::DebugReport(0, "Source rect is outside surface limits");
        return D3DERR_INVALIDCALL;
      }
      rect = r;
    }
    const BOOL alphaWanted = ((Color >> 24) < 0xFF || FormatWantsAlpha(desc.Format)) ? TRUE : FALSE;

    const bool standalone = !inBegin_;
    if (standalone) {
      hr = Begin();
      if (FAILED(hr)) return hr;
    }

    hr = device_->SetTexture(0, pSrcTexture);
    if (SUCCEEDED(hr)) hr = device_->SetRenderState(canBlend_ ? D3DRS_ALPHABLENDENABLE : D3DRS_ALPHATESTENABLE, alphaWanted);
    if (SUCCEEDED(hr)) hr = DrawQuad(rect, desc.Width, desc.Height, pTransform, Color);

    if (standalone) {
      HRESULT endResult = End();
      if (SUCCEEDED(hr) && FAILED(endResult)) hr = endResult;
    }
    return hr;
  }

  HRESULT STDMETHODCALLTYPE End() override {
    if (!inBegin_) {
      gfx::DebugReport(0, "End called without matching Begin");
      return D3DERR_INVALIDCALL;
    }
    // The blocks are gone when OnLostDevice ran inside the pair; there is
    // nothing left to restore then. The pair is over whatever the apply
    // says, and End reports only its own misuse.
    if (savedState_ != nullptr) savedState_->Apply();
    inBegin_ = FALSE;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE OnLostDevice() override {
    ReleaseStateBlocks();
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE OnResetDevice() override { return S_OK; }

 private:
  // Virtual so that `delete this` is sound; it takes a slot after the
  // interface's ten, leaving their order untouched.
  ~Sprite() override {
    ReleaseStateBlocks();
    device_->Release();
  }

  void ReleaseStateBlocks() {
    if (spriteState_) {
      spriteState_->Release();
      spriteState_ = nullptr;
    }
    if (savedState_) {
      savedState_->Release();
      savedState_ = nullptr;
    }
  }

  HRESULT RecordStateBlocks() {
    IDirect3DStateBlock9* blocks[2] = {nullptr, nullptr};
    for (int pass = 0; pass < 2; ++pass) {
      HRESULT hr = device_->BeginStateBlock();
      if (SUCCEEDED(hr)) {
        RecordStateList(pass);
        hr = device_->EndStateBlock(&blocks[pass]);
      }
      if (FAILED(hr) || blocks[pass] == nullptr) {
        for (IDirect3DStateBlock9* block : blocks)
          if (block) block->Release();
        return FAILED(hr) ? hr : E_FAIL;
      }
    }
    savedState_ = blocks[0];
    spriteState_ = blocks[1];
    return S_OK;
  }

  // The states a sprite draw depends on, set to the sprite's values. Pass 0
  // also names the caller's texture, stream and world matrix, so that the
  // saved block restores them.
  void RecordStateList(int pass) {
    IDirect3DDevice9* d = device_;
    d->SetFVF(pretransformed_ ? kFvfScreenSpace : kFvfUntransformed);
    d->SetVertexShader(nullptr);
    if (!pretransformed_) {
      const D3DMATRIX identity = IdentityMatrix();
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
    d->SetNPatchMode(0.0f);
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
    d->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_NONE);  // only the top level is drawn
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
      // Without blending, keep texels whose alpha is at least 127 of 255.
      d->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
      d->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
      d->SetRenderState(D3DRS_ALPHAREF, 0x7F);
    }
    if (pass == 0) {
      d->SetTexture(0, nullptr);
      d->SetStreamSource(0, nullptr, 0, 0);
    }
  }

  // World matrix taking pixel (x, y) of the current viewport to where a
  // screen-space vertex at (x - 0.5, y - 0.5) lands; z is dropped.
  // An empty viewport has no pixel to land on: its axis is left at 0 rather
  // than scaled by an infinity (and offset by 0/0) that would carry NaNs into
  // every vertex. Begin succeeds as with any other viewport and the draws
  // cover nothing.
  HRESULT SetPixelMatrix() {
    D3DVIEWPORT9 vp{};
    HRESULT hr = device_->GetViewport(&vp);
    if (FAILED(hr)) return hr;
    const FLOAT w = static_cast<FLOAT>(vp.Width), h = static_cast<FLOAT>(vp.Height);
    const FLOAT x = static_cast<FLOAT>(vp.X), y = static_cast<FLOAT>(vp.Y);
    D3DMATRIX m{};
    if (vp.Width != 0) {
      m._11 = 2.0f / w;
      m._41 = -2.0f * x / w - 1.0f / w - 1.0f;
    }
    if (vp.Height != 0) {
      m._22 = -2.0f / h;
      m._42 = (2.0f * y + 1.0f) / h + 1.0f;
    }
    m._44 = 1.0f;
    return device_->SetTransform(D3DTS_WORLD, &m);
  }

  HRESULT DrawQuad(const RECT& rect, UINT texWidth, UINT texHeight, const D3DXMATRIX* transform, D3DCOLOR color) {
    const FLOAT w = static_cast<FLOAT>(rect.right - rect.left);
    const FLOAT h = static_cast<FLOAT>(rect.bottom - rect.top);
    // An empty texture cannot be addressed; draw its coordinates as 0.
    const FLOAT tw = texWidth ? static_cast<FLOAT>(texWidth) : 1.0f;
    const FLOAT th = texHeight ? static_cast<FLOAT>(texHeight) : 1.0f;
    const FLOAT uLeft = rect.left / tw, uRight = rect.right / tw;
    const FLOAT vTop = rect.top / th, vBottom = rect.bottom / th;

    struct Corner {
      FLOAT x, y, u, v;
    };
    const Corner corners[4] = {{0, 0, uLeft, vTop}, {0, h, uLeft, vBottom}, {w, h, uRight, vBottom}, {w, 0, uRight, vTop}};
    D3DXVECTOR3 p[4];
    for (int i = 0; i < 4; ++i) {
      p[i] = {corners[i].x, corners[i].y, 0.0f};
      if (transform) D3DXVec3TransformCoord(&p[i], &p[i], transform);
    }

    if (pretransformed_) {
      ScreenVertex v[4];
      for (int i = 0; i < 4; ++i) v[i] = {p[i].x - 0.5f, p[i].y - 0.5f, 0.0f, 1.0f, color, corners[i].u, corners[i].v};
      return device_->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, v, sizeof(ScreenVertex));
    }
    WorldVertex v[4];
    for (int i = 0; i < 4; ++i) v[i] = {p[i].x, p[i].y, p[i].z, color, corners[i].u, corners[i].v};
    return device_->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, v, sizeof(WorldVertex));
  }

  IDirect3DDevice9* device_;
  BOOL inBegin_ = FALSE;
  IDirect3DStateBlock9* savedState_ = nullptr;
  IDirect3DStateBlock9* spriteState_ = nullptr;
  BOOL canBlend_ = FALSE;
  BOOL pretransformed_ = FALSE;
};

}  // namespace

extern "C" HRESULT WINAPI D3DXCreateSprite(LPDIRECT3DDEVICE9 pDevice, LPD3DXSPRITE* ppSprite) {
  if (pDevice == nullptr) {
    gfx::DebugReport(0, "pDevice pointer is invalid");
    return D3DERR_INVALIDCALL;
  }
  if (ppSprite == nullptr) {
    gfx::DebugReport(0, "ppSprite pointer is invalid");
    return D3DERR_INVALIDCALL;
  }
  if (gfx::AllocationFails()) return E_OUTOFMEMORY;
  Sprite* sprite = new (std::nothrow) Sprite(pDevice);
  if (sprite == nullptr) return E_OUTOFMEMORY;
  *ppSprite = sprite;
  return S_OK;
}

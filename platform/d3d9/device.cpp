// device.cpp — the software IDirect3DDevice9: creation, state, resources,
// scene bracket, clear and present.
//
// Calls the device does not support answer D3DERR_INVALIDCALL (a pointer it
// cannot have made, a state it does not keep), D3DERR_NOTAVAILABLE (a
// resource kind its capabilities rule out) or E_NOTIMPL (an object kind it
// does not make: vertex and index buffers, shaders, declarations, queries'
// relatives, extra swap chains). Drawing is in draw.cpp.
#include "platform/d3d9/device.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "host/host.h"
#include "host/pixel_rows.h"
#include "platform/d3d9/direct3d.h"

namespace d3d9sw {
namespace {

bool IsPow2(UINT v) { return v != 0 && (v & (v - 1)) == 0; }

UINT FullChain(UINT w, UINT h) {
  UINT n = 1;
  for (UINT m = std::max(w, h); m > 1; m >>= 1) ++n;
  return n;
}

// In float, term by term: what MultiplyTransform stores.
D3DMATRIX MultiplyInFloat(const D3DMATRIX& a, const D3DMATRIX& b) {
  D3DMATRIX r;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j)
      r.m[i][j] = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j] + a.m[i][3] * b.m[3][j];
  return r;
}

}  // namespace

Texture* AsTexture(IDirect3DBaseTexture9* texture) {
  return texture ? dynamic_cast<Texture*>(texture) : nullptr;
}

Surface* AsSurface(IDirect3DSurface9* surface) {
  return surface ? dynamic_cast<Surface*>(surface) : nullptr;
}

// ---------------------------------------------------------------------------
// Creation and lifetime

Device* Device::Create(Direct3D9* d3d, const Profile& profile, D3DDEVTYPE type, HWND focus, DWORD behavior,
                       D3DPRESENT_PARAMETERS* params, HRESULT* hr) {
  *hr = D3DERR_INVALIDCALL;
  if (params == nullptr) return nullptr;
  const DWORD processing = behavior & (D3DCREATE_SOFTWARE_VERTEXPROCESSING | D3DCREATE_HARDWARE_VERTEXPROCESSING |
                                       D3DCREATE_MIXED_VERTEXPROCESSING);
  if (processing != D3DCREATE_SOFTWARE_VERTEXPROCESSING && processing != D3DCREATE_HARDWARE_VERTEXPROCESSING &&
      processing != D3DCREATE_MIXED_VERTEXPROCESSING)
    return nullptr;
  HWND window = params->hDeviceWindow ? params->hDeviceWindow : focus;
  if (window == nullptr || !IsWindow(window) || (focus != nullptr && !IsWindow(focus))) return nullptr;
  if (!params->Windowed) {
    *hr = D3DERR_NOTAVAILABLE;  // the software device presents into a window only
    return nullptr;
  }
  if (params->SwapEffect < D3DSWAPEFFECT_DISCARD || params->SwapEffect > D3DSWAPEFFECT_COPY) return nullptr;
  if (params->BackBufferCount > D3DPRESENT_BACK_BUFFERS_MAX) return nullptr;
  if (params->SwapEffect == D3DSWAPEFFECT_COPY && params->BackBufferCount > 1) return nullptr;
  if (params->MultiSampleType != D3DMULTISAMPLE_NONE) {
    *hr = D3DERR_NOTAVAILABLE;
    return nullptr;
  }
  if (params->EnableAutoDepthStencil) {
    *hr = D3DERR_NOTAVAILABLE;  // no depth or stencil buffer
    return nullptr;
  }
  D3DFORMAT format = params->BackBufferFormat;
  if (format == D3DFMT_UNKNOWN) format = Direct3D9::DisplayMode().Format;
  if (format != D3DFMT_X8R8G8B8 && format != D3DFMT_A8R8G8B8) {
    *hr = D3DERR_NOTAVAILABLE;
    return nullptr;
  }
  UINT width = params->BackBufferWidth, height = params->BackBufferHeight;
  if (width == 0 || height == 0) {
    RECT client{};
    if (!GetClientRect(window, &client)) return nullptr;
    if (width == 0) width = static_cast<UINT>(std::max<LONG>(1, client.right - client.left));
    if (height == 0) height = static_cast<UINT>(std::max<LONG>(1, client.bottom - client.top));
  }
  if (width > 8192 || height > 8192) return nullptr;

  // The record is written back with what the device settled on.
  params->BackBufferWidth = width;
  params->BackBufferHeight = height;
  params->BackBufferFormat = format;
  if (params->BackBufferCount == 0) params->BackBufferCount = 1;

  Device* device = nullptr;
  try {
    device = new Device(d3d, profile, type, focus, behavior);
    const FormatInfo* info = FindFormat(D3DFMT_X8R8G8B8);
    device->backBuffer_ = new Surface(device, nullptr, 0, *info, width, height, D3DPOOL_DEFAULT,
                                      D3DUSAGE_RENDERTARGET,
                                      (params->Flags & D3DPRESENTFLAG_LOCKABLE_BACKBUFFER) != 0);
  } catch (const std::bad_alloc&) {
    if (device) device->Release();
    *hr = E_OUTOFMEMORY;
    return nullptr;
  }
  {
    // A new back buffer holds opaque black, as a new window shows.
    Surface* bb = device->backBuffer_;
    for (UINT y = 0; y < height; ++y) {
      uint32_t* row = reinterpret_cast<uint32_t*>(bb->Bits() + static_cast<size_t>(y) * bb->Pitch());
      std::fill(row, row + width, 0xFF000000u);
    }
  }
  device->backBuffer_->BindAddRef();
  device->renderTarget_ = device->backBuffer_;
  const D3DVIEWPORT9 viewport{0, 0, width, height, 0.f, 1.f};
  SetDefaultState(&device->state_, viewport);
  *hr = D3D_OK;
  return device;
}

Device::Device(Direct3D9* d3d, const Profile& profile, D3DDEVTYPE type, HWND focus, DWORD behavior)
    : d3d_(d3d), profile_(profile), type_(type), focus_(focus), behavior_(behavior) {
  profile_.caps.DeviceType = type;
  d3d_->AddRef();
  softwareVertexProcessing_ = (behavior & D3DCREATE_SOFTWARE_VERTEXPROCESSING) ? TRUE : FALSE;
}

Device::~Device() = default;

void Device::Destroy() {
  for (DWORD stage = 0; stage < kStageCount; ++stage) BindTexture(stage, nullptr);
  if (backBuffer_) backBuffer_->BindRelease();
  backBuffer_ = renderTarget_ = nullptr;
  Direct3D9* d3d = d3d_;
  delete this;
  d3d->Release();
}

ULONG Device::Release() {
  if (refs_ == 0) return 0;
  const ULONG left = --refs_;
  if (left == 1 && recording_ != nullptr) {
    // Only the unfinished recording holds the device: drop it, and with it
    // the last reference.
    StateBlock* block = recording_;
    recording_ = nullptr;
    block->Release();
    return 0;
  }
  if (left == 0) Destroy();
  return left;
}

void Device::BindTexture(DWORD stage, Texture* texture) {
  Texture* old = state_.textures[stage];
  if (old == texture) return;
  if (texture) texture->BindAddRef();
  state_.textures[stage] = texture;
  if (old) old->BindRelease();
}

// ---------------------------------------------------------------------------
// Device information

HRESULT Device::TestCooperativeLevel() { return D3D_OK; }
UINT Device::GetAvailableTextureMem() { return 512u * 1024u * 1024u; }
HRESULT Device::EvictManagedResources() { return D3D_OK; }

HRESULT Device::GetDirect3D(IDirect3D9** d3d) {
  if (d3d == nullptr) return D3DERR_INVALIDCALL;
  d3d_->AddRef();
  *d3d = d3d_;
  return D3D_OK;
}

HRESULT Device::GetDeviceCaps(D3DCAPS9* caps) {
  if (caps == nullptr) return D3DERR_INVALIDCALL;
  *caps = profile_.caps;
  return D3D_OK;
}

HRESULT Device::GetDisplayMode(UINT swapChain, D3DDISPLAYMODE* mode) {
  if (swapChain != 0 || mode == nullptr) return D3DERR_INVALIDCALL;
  *mode = Direct3D9::DisplayMode();
  return D3D_OK;
}

HRESULT Device::GetCreationParameters(D3DDEVICE_CREATION_PARAMETERS* params) {
  if (params == nullptr) return D3DERR_INVALIDCALL;
  params->AdapterOrdinal = 0;
  params->DeviceType = type_;
  params->hFocusWindow = focus_;
  params->BehaviorFlags = behavior_;
  return D3D_OK;
}

HRESULT Device::SetCursorProperties(UINT, UINT, IDirect3DSurface9*) { return D3DERR_INVALIDCALL; }
void Device::SetCursorPosition(int, int, DWORD) {}
BOOL Device::ShowCursor(BOOL) { return FALSE; }
HRESULT Device::CreateAdditionalSwapChain(D3DPRESENT_PARAMETERS*, IDirect3DSwapChain9**) { return E_NOTIMPL; }
HRESULT Device::GetSwapChain(UINT, IDirect3DSwapChain9**) { return E_NOTIMPL; }
UINT Device::GetNumberOfSwapChains() { return 1; }
HRESULT Device::Reset(D3DPRESENT_PARAMETERS*) { return E_NOTIMPL; }

HRESULT Device::Present(const RECT*, const RECT*, HWND, const RGNDATA*) {
  if (inScene_) return D3DERR_INVALIDCALL;
  if (host::Host* h = host::Current()) {
    h->Present(reinterpret_cast<const uint32_t*>(backBuffer_->Bits()), static_cast<int>(backBuffer_->Width()),
               static_cast<int>(backBuffer_->Height()), static_cast<int>(backBuffer_->Pitch()));
  }
  return D3D_OK;
}

HRESULT Device::GetBackBuffer(UINT swapChain, UINT index, D3DBACKBUFFER_TYPE type, IDirect3DSurface9** surface) {
  if (swapChain != 0 || index != 0 || type != D3DBACKBUFFER_TYPE_MONO || surface == nullptr)
    return D3DERR_INVALIDCALL;
  backBuffer_->AddRef();
  *surface = backBuffer_;
  return D3D_OK;
}

HRESULT Device::GetRasterStatus(UINT swapChain, D3DRASTER_STATUS* status) {
  if (swapChain != 0 || status == nullptr) return D3DERR_INVALIDCALL;
  status->InVBlank = FALSE;
  status->ScanLine = 0;
  return D3D_OK;
}

HRESULT Device::SetDialogBoxMode(BOOL) { return D3D_OK; }
void Device::SetGammaRamp(UINT, DWORD, const D3DGAMMARAMP*) {}  // windowed: the desktop's ramp stays

void Device::GetGammaRamp(UINT, D3DGAMMARAMP* ramp) {
  if (ramp == nullptr) return;
  for (int i = 0; i < 256; ++i) ramp->red[i] = ramp->green[i] = ramp->blue[i] = static_cast<WORD>(i * 257);
}

// ---------------------------------------------------------------------------
// Resources

HRESULT Device::CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                              IDirect3DTexture9** texture, HANDLE* shared) {
  if (host::ShouldFail("IDirect3DDevice9.CreateTexture")) return E_OUTOFMEMORY;
  if (texture == nullptr || shared != nullptr || width == 0 || height == 0) return D3DERR_INVALIDCALL;
  if (pool > D3DPOOL_SCRATCH) return D3DERR_INVALIDCALL;
  constexpr DWORD kTextureUsages = D3DUSAGE_DYNAMIC | D3DUSAGE_AUTOGENMIPMAP | D3DUSAGE_SOFTWAREPROCESSING;
  if (usage & ~kTextureUsages) {
    // Render-target, depth and displacement textures are not made here.
    const DWORD unsupported = D3DUSAGE_RENDERTARGET | D3DUSAGE_DEPTHSTENCIL | D3DUSAGE_DMAP;
    return (usage & ~(kTextureUsages | unsupported)) ? D3DERR_INVALIDCALL : D3DERR_NOTAVAILABLE;
  }
  if ((usage & D3DUSAGE_DYNAMIC) && pool == D3DPOOL_MANAGED) return D3DERR_INVALIDCALL;
  if ((usage & D3DUSAGE_AUTOGENMIPMAP) && (pool == D3DPOOL_SYSTEMMEM || pool == D3DPOOL_SCRATCH))
    return D3DERR_INVALIDCALL;
  if (pool == D3DPOOL_SCRATCH && (usage & D3DUSAGE_DYNAMIC)) return D3DERR_INVALIDCALL;

  const FormatInfo* info = FindFormat(format);
  if (info == nullptr) return D3DERR_INVALIDCALL;
  const D3DCAPS9& caps = profile_.caps;
  UINT full = FullChain(width, height);
  if (pool != D3DPOOL_SCRATCH) {
    if (!TextureFormatSupported(profile_, format)) return D3DERR_NOTAVAILABLE;
    if (width > caps.MaxTextureWidth || height > caps.MaxTextureHeight) return D3DERR_INVALIDCALL;
    if ((caps.TextureCaps & D3DPTEXTURECAPS_SQUAREONLY) && width != height) return D3DERR_INVALIDCALL;
    if (caps.MaxTextureAspectRatio != 0) {
      const UINT big = std::max(width, height), small = std::min(width, height);
      if (big / small > caps.MaxTextureAspectRatio ||
          (big % small != 0 && big / small == caps.MaxTextureAspectRatio))
        return D3DERR_INVALIDCALL;
    }
    if ((caps.TextureCaps & D3DPTEXTURECAPS_POW2) && (!IsPow2(width) || !IsPow2(height))) {
      const bool conditional = (caps.TextureCaps & D3DPTEXTURECAPS_NONPOW2CONDITIONAL) && levels == 1;
      if (!conditional) return D3DERR_INVALIDCALL;
    }
    if (!(caps.TextureCaps & D3DPTEXTURECAPS_MIPMAP)) full = 1;
  }
  if (usage & D3DUSAGE_AUTOGENMIPMAP) {
    if (levels > 1) return D3DERR_INVALIDCALL;
    levels = 1;  // the device keeps only the top level of such a texture
  }
  if (levels == 0) levels = full;
  if (levels > full) return D3DERR_INVALIDCALL;

  // Refuse what could never be held rather than fail inside the allocator.
  uint64_t bytes = 0;
  for (UINT i = 0, w = width, h = height; i < levels; ++i, w = std::max(1u, w / 2), h = std::max(1u, h / 2))
    bytes += static_cast<uint64_t>(RowPitch(*info, w)) * BlockRows(*info, h);
  if (bytes > (uint64_t{1} << 31)) return E_OUTOFMEMORY;

  Texture* t = nullptr;
  try {
    t = new Texture(this, width, height, levels, usage, *info, pool);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  t->AddRef();
  *texture = t;
  return D3D_OK;
}

HRESULT Device::CreateVolumeTexture(UINT, UINT, UINT, UINT, DWORD, D3DFORMAT, D3DPOOL, IDirect3DVolumeTexture9**,
                                    HANDLE*) {
  return D3DERR_NOTAVAILABLE;
}
HRESULT Device::CreateCubeTexture(UINT, UINT, DWORD, D3DFORMAT, D3DPOOL, IDirect3DCubeTexture9**, HANDLE*) {
  return D3DERR_NOTAVAILABLE;
}
HRESULT Device::CreateVertexBuffer(UINT, DWORD, DWORD, D3DPOOL, IDirect3DVertexBuffer9**, HANDLE*) {
  return E_NOTIMPL;
}
HRESULT Device::CreateIndexBuffer(UINT, DWORD, D3DFORMAT, D3DPOOL, IDirect3DIndexBuffer9**, HANDLE*) {
  return E_NOTIMPL;
}
HRESULT Device::CreateRenderTarget(UINT, UINT, D3DFORMAT, D3DMULTISAMPLE_TYPE, DWORD, BOOL, IDirect3DSurface9**,
                                   HANDLE*) {
  return E_NOTIMPL;
}
HRESULT Device::CreateDepthStencilSurface(UINT, UINT, D3DFORMAT, D3DMULTISAMPLE_TYPE, DWORD, BOOL,
                                          IDirect3DSurface9**, HANDLE*) {
  return D3DERR_NOTAVAILABLE;
}
// Copies a rectangle of a system-memory surface into a default-pool surface
// of the same format: no stretching, no conversion. The rectangle and the
// point default to the whole source and the corner; both must lie inside
// their surfaces and, for block formats, on whole blocks (a rectangle may
// end at the surface's edge).
HRESULT Device::UpdateSurface(IDirect3DSurface9* source, const RECT* sourceRect, IDirect3DSurface9* dest,
                              const POINT* destPoint) {
  Surface* s = AsSurface(source);
  Surface* d = AsSurface(dest);
  if (s == nullptr || d == nullptr || s == d || s->OwnerDevice() != this || d->OwnerDevice() != this)
    return D3DERR_INVALIDCALL;
  if (s->Pool() != D3DPOOL_SYSTEMMEM || d->Pool() != D3DPOOL_DEFAULT || s->Format() != d->Format())
    return D3DERR_INVALIDCALL;
  if ((s->Usage() | d->Usage()) & D3DUSAGE_DEPTHSTENCIL) return D3DERR_INVALIDCALL;
  if (s->Locked() || d->Locked()) return D3DERR_INVALIDCALL;
  const FormatInfo& f = s->Info();
  RECT r{0, 0, static_cast<LONG>(s->Width()), static_cast<LONG>(s->Height())};
  if (sourceRect != nullptr) r = *sourceRect;
  const POINT at = destPoint != nullptr ? *destPoint : POINT{0, 0};
  if (r.left < 0 || r.top < 0 || r.left >= r.right || r.top >= r.bottom || uint64_t(r.right) > s->Width() ||
      uint64_t(r.bottom) > s->Height())
    return D3DERR_INVALIDCALL;
  const uint64_t w = uint64_t(r.right - r.left), h = uint64_t(r.bottom - r.top);
  if (at.x < 0 || at.y < 0 || uint64_t(at.x) + w > d->Width() || uint64_t(at.y) + h > d->Height())
    return D3DERR_INVALIDCALL;
  auto wholeBlocks = [](uint64_t start, uint64_t end, uint64_t limit, uint32_t block) {
    return start % block == 0 && (end % block == 0 || end == limit);
  };
  if (!wholeBlocks(uint64_t(r.left), uint64_t(r.right), s->Width(), f.blockWidth) ||
      !wholeBlocks(uint64_t(r.top), uint64_t(r.bottom), s->Height(), f.blockHeight) ||
      !wholeBlocks(uint64_t(at.x), uint64_t(at.x) + w, d->Width(), f.blockWidth) ||
      !wholeBlocks(uint64_t(at.y), uint64_t(at.y) + h, d->Height(), f.blockHeight))
    return D3DERR_INVALIDCALL;
  const uint64_t blocksX = (w + f.blockWidth - 1) / f.blockWidth, blocksY = (h + f.blockHeight - 1) / f.blockHeight;
  const size_t rowBytes = static_cast<size_t>(blocksX * f.bytesPerBlock);
  for (uint64_t by = 0; by < blocksY; ++by) {
    const uint8_t* from = s->Bits() + (uint64_t(r.top) / f.blockHeight + by) * s->Pitch() +
                          uint64_t(r.left) / f.blockWidth * f.bytesPerBlock;
    uint8_t* to = d->Bits() + (uint64_t(at.y) / d->Info().blockHeight + by) * d->Pitch() +
                  uint64_t(at.x) / f.blockWidth * f.bytesPerBlock;
    std::memcpy(to, from, rowBytes);
  }
  return D3D_OK;
}

HRESULT Device::UpdateTexture(IDirect3DBaseTexture9* src, IDirect3DBaseTexture9* dst) {
  Texture* s = AsTexture(src);
  Texture* d = AsTexture(dst);
  if (s == nullptr || d == nullptr || s->OwnerDevice() != this || d->OwnerDevice() != this)
    return D3DERR_INVALIDCALL;
  if (s->Pool() != D3DPOOL_SYSTEMMEM || d->Pool() != D3DPOOL_DEFAULT || s->Format() != d->Format())
    return D3DERR_INVALIDCALL;
  // The destination's top level matches some source level; the levels below
  // follow one for one.
  UINT first = s->LevelCount();
  for (UINT k = 0; k < s->LevelCount(); ++k) {
    if (s->Level(k)->Width() == d->Level(0)->Width() && s->Level(k)->Height() == d->Level(0)->Height()) {
      first = k;
      break;
    }
  }
  if (first == s->LevelCount() || s->LevelCount() - first < d->LevelCount()) return D3DERR_INVALIDCALL;
  for (UINT i = 0; i < d->LevelCount(); ++i) {
    if (s->Level(first + i)->Locked() || d->Level(i)->Locked()) return D3DERR_INVALIDCALL;
  }
  for (UINT i = 0; i < d->LevelCount(); ++i) {
    Surface* from = s->Level(first + i);
    Surface* to = d->Level(i);
    std::memcpy(to->Bits(), from->Bits(), std::min(from->ByteSize(), to->ByteSize()));
  }
  return D3D_OK;
}

HRESULT Device::GetRenderTargetData(IDirect3DSurface9* target, IDirect3DSurface9* dst) {
  Surface* s = AsSurface(target);
  Surface* d = AsSurface(dst);
  if (s == nullptr || d == nullptr || s != renderTarget_ || d->OwnerDevice() != this) return D3DERR_INVALIDCALL;
  if (d->Pool() != D3DPOOL_SYSTEMMEM || d->Format() != s->Format() || d->Width() != s->Width() ||
      d->Height() != s->Height() || d->Locked())
    return D3DERR_INVALIDCALL;
  for (UINT y = 0; y < s->Height(); ++y)
    std::memcpy(d->Bits() + static_cast<size_t>(y) * d->Pitch(), s->Bits() + static_cast<size_t>(y) * s->Pitch(),
                static_cast<size_t>(s->Width()) * 4);
  return D3D_OK;
}

HRESULT Device::GetFrontBufferData(UINT, IDirect3DSurface9*) { return E_NOTIMPL; }
HRESULT Device::StretchRect(IDirect3DSurface9*, const RECT*, IDirect3DSurface9*, const RECT*,
                            D3DTEXTUREFILTERTYPE) {
  return E_NOTIMPL;
}
HRESULT Device::ColorFill(IDirect3DSurface9*, const RECT*, D3DCOLOR) { return E_NOTIMPL; }

HRESULT Device::CreateOffscreenPlainSurface(UINT width, UINT height, D3DFORMAT format, D3DPOOL pool,
                                            IDirect3DSurface9** surface, HANDLE* shared) {
  if (surface == nullptr || shared != nullptr || width == 0 || height == 0 || pool > D3DPOOL_SCRATCH ||
      pool == D3DPOOL_MANAGED)
    return D3DERR_INVALIDCALL;
  const FormatInfo* info = FindFormat(format);
  if (info == nullptr) return D3DERR_INVALIDCALL;
  if (pool != D3DPOOL_SCRATCH && !TextureFormatSupported(profile_, format) && format != D3DFMT_X8R8G8B8)
    return D3DERR_NOTAVAILABLE;
  if (static_cast<uint64_t>(RowPitch(*info, width)) * BlockRows(*info, height) > (uint64_t{1} << 31))
    return E_OUTOFMEMORY;
  Surface* s = nullptr;
  try {
    s = new Surface(this, nullptr, 0, *info, width, height, pool, 0, true);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  s->AddRef();
  *surface = s;
  return D3D_OK;
}

HRESULT Device::SetRenderTarget(DWORD index, IDirect3DSurface9* target) {
  // The back buffer is the one target this device draws into.
  if (index != 0 || target == nullptr || AsSurface(target) != backBuffer_) return D3DERR_INVALIDCALL;
  state_.viewport = D3DVIEWPORT9{0, 0, backBuffer_->Width(), backBuffer_->Height(), 0.f, 1.f};
  return D3D_OK;
}

HRESULT Device::GetRenderTarget(DWORD index, IDirect3DSurface9** target) {
  if (index != 0 || target == nullptr) return D3DERR_INVALIDCALL;
  renderTarget_->AddRef();
  *target = renderTarget_;
  return D3D_OK;
}

HRESULT Device::SetDepthStencilSurface(IDirect3DSurface9* surface) {
  return surface == nullptr ? D3D_OK : D3DERR_INVALIDCALL;
}

HRESULT Device::GetDepthStencilSurface(IDirect3DSurface9** surface) {
  if (surface == nullptr) return D3DERR_INVALIDCALL;
  *surface = nullptr;
  return D3DERR_NOTFOUND;
}

// ---------------------------------------------------------------------------
// Scene and clear

HRESULT Device::BeginScene() {
  if (host::ShouldFail("IDirect3DDevice9.BeginScene")) return D3DERR_INVALIDCALL;
  if (inScene_) return D3DERR_INVALIDCALL;
  inScene_ = true;
  return D3D_OK;
}

HRESULT Device::EndScene() {
  if (!inScene_) return D3DERR_INVALIDCALL;
  inScene_ = false;
  return D3D_OK;
}

HRESULT Device::Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z, DWORD stencil) {
  (void)z;
  (void)stencil;  // no depth or stencil buffer: those parts have nothing to clear
  constexpr DWORD kKnown = D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL;
  if ((count != 0 && rects == nullptr) || flags == 0 || (flags & ~kKnown) != 0) return D3DERR_INVALIDCALL;
  if (!(flags & D3DCLEAR_TARGET)) return D3D_OK;
  Surface* t = renderTarget_;
  // The viewport (and the scissor rectangle when enabled) bounds the clear.
  LONG left = static_cast<LONG>(state_.viewport.X), top = static_cast<LONG>(state_.viewport.Y);
  LONG right = left + static_cast<LONG>(state_.viewport.Width);
  LONG bottom = top + static_cast<LONG>(state_.viewport.Height);
  if (state_.renderStates[D3DRS_SCISSORTESTENABLE]) {
    left = std::max(left, state_.scissor.left);
    top = std::max(top, state_.scissor.top);
    right = std::min(right, state_.scissor.right);
    bottom = std::min(bottom, state_.scissor.bottom);
  }
  right = std::min<LONG>(right, static_cast<LONG>(t->Width()));
  bottom = std::min<LONG>(bottom, static_cast<LONG>(t->Height()));
  const uint32_t value = color | 0xFF000000u;  // X8R8G8B8
  auto fill = [&](LONG l, LONG tp, LONG r, LONG b) {
    l = std::max(l, left);
    tp = std::max(tp, top);
    r = std::min(r, right);
    b = std::min(b, bottom);
    if (l >= r) return;
    for (LONG y = tp; y < b; ++y) {
      uint32_t* row = reinterpret_cast<uint32_t*>(t->Bits() + static_cast<size_t>(y) * t->Pitch());
      host::FillPixels(row + l, static_cast<int>(r - l), value);
    }
  };
  if (count == 0) {
    fill(left, top, right, bottom);
  } else {
    for (DWORD i = 0; i < count; ++i) fill(rects[i].x1, rects[i].y1, rects[i].x2, rects[i].y2);
  }
  return D3D_OK;
}

// ---------------------------------------------------------------------------
// State

HRESULT Device::SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) {
  const int slot = TransformSlot(state);
  if (matrix == nullptr || slot < 0) return D3DERR_INVALIDCALL;
  if (recording_) {
    recording_->RecordTransform(slot, *matrix);
  } else {
    state_.transforms[slot] = *matrix;
  }
  return D3D_OK;
}

HRESULT Device::GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) {
  const int slot = TransformSlot(state);
  if (matrix == nullptr || slot < 0) return D3DERR_INVALIDCALL;
  *matrix = state_.transforms[slot];
  return D3D_OK;
}

HRESULT Device::MultiplyTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) {
  const int slot = TransformSlot(state);
  if (matrix == nullptr || slot < 0) return D3DERR_INVALIDCALL;
  const D3DMATRIX product = MultiplyInFloat(*matrix, state_.transforms[slot]);
  return SetTransform(state, &product);
}

HRESULT Device::SetViewport(const D3DVIEWPORT9* viewport) {
  if (viewport == nullptr) return D3DERR_INVALIDCALL;
  const uint64_t right = uint64_t{viewport->X} + viewport->Width;
  const uint64_t bottom = uint64_t{viewport->Y} + viewport->Height;
  if (right > renderTarget_->Width() || bottom > renderTarget_->Height()) return D3DERR_INVALIDCALL;
  if (!(viewport->MinZ >= 0.f && viewport->MaxZ <= 1.f && viewport->MinZ <= viewport->MaxZ))
    return D3DERR_INVALIDCALL;
  if (recording_) {
    recording_->RecordViewport(*viewport);
  } else {
    state_.viewport = *viewport;
  }
  return D3D_OK;
}

HRESULT Device::GetViewport(D3DVIEWPORT9* viewport) {
  if (viewport == nullptr) return D3DERR_INVALIDCALL;
  *viewport = state_.viewport;
  return D3D_OK;
}

HRESULT Device::SetMaterial(const D3DMATERIAL9* material) {
  if (material == nullptr) return D3DERR_INVALIDCALL;
  if (recording_) {
    recording_->RecordMaterial(*material);
  } else {
    state_.material = *material;
  }
  return D3D_OK;
}

HRESULT Device::GetMaterial(D3DMATERIAL9* material) {
  if (material == nullptr) return D3DERR_INVALIDCALL;
  *material = state_.material;
  return D3D_OK;
}

// No lights and no user clip planes (MaxActiveLights and MaxUserClipPlanes
// are 0).
HRESULT Device::SetLight(DWORD, const D3DLIGHT9*) { return D3DERR_INVALIDCALL; }
HRESULT Device::GetLight(DWORD, D3DLIGHT9*) { return D3DERR_INVALIDCALL; }
HRESULT Device::LightEnable(DWORD, BOOL) { return D3DERR_INVALIDCALL; }
HRESULT Device::GetLightEnable(DWORD, BOOL*) { return D3DERR_INVALIDCALL; }
HRESULT Device::SetClipPlane(DWORD, const float*) { return D3DERR_INVALIDCALL; }
HRESULT Device::GetClipPlane(DWORD, float*) { return D3DERR_INVALIDCALL; }

HRESULT Device::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
  if (!IsRenderState(state)) return D3DERR_INVALIDCALL;
  if (recording_) {
    recording_->RecordRenderState(state, value);
  } else {
    state_.renderStates[state] = value;
  }
  return D3D_OK;
}

HRESULT Device::GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) {
  if (value == nullptr || !IsRenderState(state)) return D3DERR_INVALIDCALL;
  *value = state_.renderStates[state];
  return D3D_OK;
}

HRESULT Device::CreateStateBlock(D3DSTATEBLOCKTYPE type, IDirect3DStateBlock9** block) {
  if (block == nullptr || recording_ != nullptr) return D3DERR_INVALIDCALL;
  if (type != D3DSBT_ALL && type != D3DSBT_PIXELSTATE && type != D3DSBT_VERTEXSTATE) return D3DERR_INVALIDCALL;
  StateBlock* b = nullptr;
  try {
    b = new StateBlock(this);
    b->RecordAllOf(type);
  } catch (const std::bad_alloc&) {
    if (b) b->Release();
    return E_OUTOFMEMORY;
  }
  *block = b;
  return D3D_OK;
}

HRESULT Device::BeginStateBlock() {
  if (recording_ != nullptr) return D3DERR_INVALIDCALL;
  try {
    recording_ = new StateBlock(this);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  return D3D_OK;
}

HRESULT Device::EndStateBlock(IDirect3DStateBlock9** block) {
  if (recording_ == nullptr || block == nullptr) return D3DERR_INVALIDCALL;
  *block = recording_;
  recording_ = nullptr;
  return D3D_OK;
}

HRESULT Device::SetClipStatus(const D3DCLIPSTATUS9* status) {
  return status == nullptr ? D3DERR_INVALIDCALL : D3D_OK;
}

HRESULT Device::GetClipStatus(D3DCLIPSTATUS9* status) {
  if (status == nullptr) return D3DERR_INVALIDCALL;
  status->ClipUnion = 0;
  status->ClipIntersection = 0;
  return D3D_OK;
}

HRESULT Device::GetTexture(DWORD stage, IDirect3DBaseTexture9** texture) {
  if (stage >= kStageCount || texture == nullptr) return D3DERR_INVALIDCALL;
  Texture* t = state_.textures[stage];
  if (t) t->AddRef();
  *texture = t;
  return D3D_OK;
}

HRESULT Device::SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) {
  if (stage >= kStageCount) return D3DERR_INVALIDCALL;
  Texture* t = nullptr;
  if (texture != nullptr) {
    t = AsTexture(texture);
    if (t == nullptr || t->OwnerDevice() != this) return D3DERR_INVALIDCALL;
    // The device samples only from its own memory pools.
    if (t->Pool() == D3DPOOL_SYSTEMMEM || t->Pool() == D3DPOOL_SCRATCH) return D3DERR_INVALIDCALL;
  }
  if (recording_) {
    recording_->RecordTexture(stage, t);
  } else {
    BindTexture(stage, t);
  }
  return D3D_OK;
}

HRESULT Device::GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) {
  if (stage >= kStageCount || !IsStageState(type) || value == nullptr) return D3DERR_INVALIDCALL;
  *value = state_.stageStates[stage][type];
  return D3D_OK;
}

HRESULT Device::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) {
  if (stage >= kStageCount || !IsStageState(type)) return D3DERR_INVALIDCALL;
  if (recording_) {
    recording_->RecordStageState(stage, type, value);
  } else {
    state_.stageStates[stage][type] = value;
  }
  return D3D_OK;
}

HRESULT Device::GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value) {
  if (sampler >= kSamplerCount || !IsSamplerState(type) || value == nullptr) return D3DERR_INVALIDCALL;
  *value = state_.samplerStates[sampler][type];
  return D3D_OK;
}

HRESULT Device::SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) {
  if (sampler >= kSamplerCount || !IsSamplerState(type)) return D3DERR_INVALIDCALL;
  if (recording_) {
    recording_->RecordSamplerState(sampler, type, value);
  } else {
    state_.samplerStates[sampler][type] = value;
  }
  return D3D_OK;
}

HRESULT Device::ValidateDevice(DWORD* passes) {
  if (passes == nullptr) return D3DERR_INVALIDCALL;
  bool ok = false;
  BuildPipeline(&ok);
  if (!ok) return D3DERR_UNSUPPORTEDCOLOROPERATION;
  *passes = 1;
  return D3D_OK;
}

// Palettised textures are not supported, so there are no palettes to keep.
HRESULT Device::SetPaletteEntries(UINT, const PALETTEENTRY*) { return D3DERR_INVALIDCALL; }
HRESULT Device::GetPaletteEntries(UINT, PALETTEENTRY*) { return D3DERR_INVALIDCALL; }
HRESULT Device::SetCurrentTexturePalette(UINT) { return D3DERR_INVALIDCALL; }
HRESULT Device::GetCurrentTexturePalette(UINT*) { return D3DERR_INVALIDCALL; }

HRESULT Device::SetScissorRect(const RECT* rect) {
  if (rect == nullptr) return D3DERR_INVALIDCALL;
  if (recording_) {
    recording_->RecordScissor(*rect);
  } else {
    state_.scissor = *rect;
  }
  return D3D_OK;
}

HRESULT Device::GetScissorRect(RECT* rect) {
  if (rect == nullptr) return D3DERR_INVALIDCALL;
  *rect = state_.scissor;
  return D3D_OK;
}

HRESULT Device::SetSoftwareVertexProcessing(BOOL software) {
  if (!(behavior_ & D3DCREATE_MIXED_VERTEXPROCESSING)) return D3DERR_INVALIDCALL;
  softwareVertexProcessing_ = software ? TRUE : FALSE;
  return D3D_OK;
}

BOOL Device::GetSoftwareVertexProcessing() { return softwareVertexProcessing_; }

HRESULT Device::SetNPatchMode(float segments) {
  if (recording_) {
    recording_->RecordNPatchMode(segments);
  } else {
    state_.nPatchSegments = segments;
  }
  return D3D_OK;
}

float Device::GetNPatchMode() { return state_.nPatchSegments; }

HRESULT Device::DrawPrimitive(D3DPRIMITIVETYPE, UINT, UINT) { return D3DERR_INVALIDCALL; }  // no vertex buffers
HRESULT Device::DrawIndexedPrimitive(D3DPRIMITIVETYPE, INT, UINT, UINT, UINT, UINT) { return D3DERR_INVALIDCALL; }
HRESULT Device::ProcessVertices(UINT, UINT, UINT, IDirect3DVertexBuffer9*, IDirect3DVertexDeclaration9*, DWORD) {
  return E_NOTIMPL;
}
HRESULT Device::CreateVertexDeclaration(const D3DVERTEXELEMENT9*, IDirect3DVertexDeclaration9**) {
  return E_NOTIMPL;
}
HRESULT Device::SetVertexDeclaration(IDirect3DVertexDeclaration9* decl) {
  return decl == nullptr ? D3D_OK : D3DERR_INVALIDCALL;
}
HRESULT Device::GetVertexDeclaration(IDirect3DVertexDeclaration9** decl) {
  if (decl == nullptr) return D3DERR_INVALIDCALL;
  *decl = nullptr;
  return D3D_OK;
}

HRESULT Device::SetFVF(DWORD fvf) {
  if (recording_) {
    recording_->RecordFVF(fvf);
  } else {
    state_.fvf = fvf;
  }
  return D3D_OK;
}

HRESULT Device::GetFVF(DWORD* fvf) {
  if (fvf == nullptr) return D3DERR_INVALIDCALL;
  *fvf = state_.fvf;
  return D3D_OK;
}

HRESULT Device::CreateVertexShader(const DWORD*, IDirect3DVertexShader9**) { return E_NOTIMPL; }

HRESULT Device::SetVertexShader(IDirect3DVertexShader9* shader) {
  if (shader != nullptr) return D3DERR_INVALIDCALL;  // fixed function only
  if (recording_) {
    recording_->RecordVertexShader(nullptr);
  } else {
    state_.vertexShader = nullptr;
  }
  return D3D_OK;
}

HRESULT Device::GetVertexShader(IDirect3DVertexShader9** shader) {
  if (shader == nullptr) return D3DERR_INVALIDCALL;
  *shader = nullptr;
  return D3D_OK;
}

HRESULT Device::SetVertexShaderConstantF(UINT, const float*, UINT) { return D3DERR_INVALIDCALL; }
HRESULT Device::GetVertexShaderConstantF(UINT, float*, UINT) { return D3DERR_INVALIDCALL; }
HRESULT Device::SetVertexShaderConstantI(UINT, const int*, UINT) { return D3DERR_INVALIDCALL; }
HRESULT Device::GetVertexShaderConstantI(UINT, int*, UINT) { return D3DERR_INVALIDCALL; }
HRESULT Device::SetVertexShaderConstantB(UINT, const BOOL*, UINT) { return D3DERR_INVALIDCALL; }
HRESULT Device::GetVertexShaderConstantB(UINT, BOOL*, UINT) { return D3DERR_INVALIDCALL; }

HRESULT Device::SetStreamSource(UINT stream, IDirect3DVertexBuffer9* vb, UINT offset, UINT stride) {
  // One stream, and no vertex buffers of this device's making to put in it.
  if (stream != 0 || vb != nullptr) return D3DERR_INVALIDCALL;
  if (recording_) {
    recording_->RecordStreamSource(nullptr, offset, stride);
  } else {
    state_.streamSource = nullptr;
    state_.streamOffset = offset;
    state_.streamStride = stride;
  }
  return D3D_OK;
}

HRESULT Device::GetStreamSource(UINT stream, IDirect3DVertexBuffer9** vb, UINT* offset, UINT* stride) {
  if (stream != 0 || vb == nullptr || offset == nullptr || stride == nullptr) return D3DERR_INVALIDCALL;
  *vb = nullptr;
  *offset = state_.streamOffset;
  *stride = state_.streamStride;
  return D3D_OK;
}

HRESULT Device::SetStreamSourceFreq(UINT, UINT) { return D3DERR_INVALIDCALL; }
HRESULT Device::GetStreamSourceFreq(UINT, UINT*) { return D3DERR_INVALIDCALL; }
HRESULT Device::SetIndices(IDirect3DIndexBuffer9* ib) { return ib == nullptr ? D3D_OK : D3DERR_INVALIDCALL; }
HRESULT Device::GetIndices(IDirect3DIndexBuffer9** ib) {
  if (ib == nullptr) return D3DERR_INVALIDCALL;
  *ib = nullptr;
  return D3D_OK;
}
HRESULT Device::CreatePixelShader(const DWORD*, IDirect3DPixelShader9**) { return E_NOTIMPL; }
HRESULT Device::SetPixelShader(IDirect3DPixelShader9* shader) {
  return shader == nullptr ? D3D_OK : D3DERR_INVALIDCALL;
}
HRESULT Device::GetPixelShader(IDirect3DPixelShader9** shader) {
  if (shader == nullptr) return D3DERR_INVALIDCALL;
  *shader = nullptr;
  return D3D_OK;
}
HRESULT Device::SetPixelShaderConstantF(UINT, const float*, UINT) { return D3DERR_INVALIDCALL; }
HRESULT Device::GetPixelShaderConstantF(UINT, float*, UINT) { return D3DERR_INVALIDCALL; }
HRESULT Device::SetPixelShaderConstantI(UINT, const int*, UINT) { return D3DERR_INVALIDCALL; }
HRESULT Device::GetPixelShaderConstantI(UINT, int*, UINT) { return D3DERR_INVALIDCALL; }
HRESULT Device::SetPixelShaderConstantB(UINT, const BOOL*, UINT) { return D3DERR_INVALIDCALL; }
HRESULT Device::GetPixelShaderConstantB(UINT, BOOL*, UINT) { return D3DERR_INVALIDCALL; }
HRESULT Device::DrawRectPatch(UINT, const float*, const D3DRECTPATCH_INFO*) { return D3DERR_INVALIDCALL; }
HRESULT Device::DrawTriPatch(UINT, const float*, const D3DTRIPATCH_INFO*) { return D3DERR_INVALIDCALL; }
HRESULT Device::DeletePatch(UINT) { return D3DERR_INVALIDCALL; }
HRESULT Device::CreateQuery(D3DQUERYTYPE, IDirect3DQuery9**) { return D3DERR_NOTAVAILABLE; }

}  // namespace d3d9sw

// resources.cpp — textures, surfaces and the counting they share.
#include "platform/d3d9/resources.h"

#include <new>

#include "host/host.h"
#include "platform/d3d9/device.h"

namespace d3d9sw {

// ---------------------------------------------------------------------------
// DeviceChild

ULONG DeviceChild::PublicAddRef() {
  if (public_++ == 0) device_->AddRef();
  return public_;
}

ULONG DeviceChild::PublicRelease() {
  if (public_ == 0) return 0;  // an extra Release never drives the count below zero
  const ULONG left = --public_;
  if (left == 0) {
    Device* device = device_;
    if (bind_ == 0) delete this;
    device->Release();
  }
  return left;
}

void DeviceChild::BindRelease() {
  if (bind_ == 0) return;
  if (--bind_ == 0 && public_ == 0) delete this;
}

HRESULT DeviceChild::DeviceOut(IDirect3DDevice9** out) {
  if (out == nullptr) return D3DERR_INVALIDCALL;
  device_->AddRef();
  *out = device_;
  return D3D_OK;
}

HRESULT DeviceChild::PrivateSet(REFGUID guid, const void* data, DWORD size, DWORD flags) {
  if (flags & D3DSPD_IUNKNOWN) return E_NOTIMPL;  // only plain bytes are kept
  if (data == nullptr && size != 0) return D3DERR_INVALIDCALL;
  try {
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    private_[guid] = std::vector<uint8_t>(bytes, bytes + size);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  return D3D_OK;
}

HRESULT DeviceChild::PrivateGet(REFGUID guid, void* data, DWORD* size) {
  if (size == nullptr) return D3DERR_INVALIDCALL;
  auto it = private_.find(guid);
  if (it == private_.end()) return D3DERR_NOTFOUND;
  const DWORD have = static_cast<DWORD>(it->second.size());
  if (data == nullptr) {
    *size = have;
    return D3D_OK;
  }
  if (*size < have) {
    *size = have;
    return D3DERR_MOREDATA;
  }
  if (have != 0) std::memcpy(data, it->second.data(), have);
  *size = have;
  return D3D_OK;
}

HRESULT DeviceChild::PrivateFree(REFGUID guid) {
  return private_.erase(guid) != 0 ? D3D_OK : D3DERR_NOTFOUND;
}

// ---------------------------------------------------------------------------
// Surface

Surface::Surface(Device* device, Texture* container, UINT level, const FormatInfo& format, UINT width, UINT height,
                 D3DPOOL pool, DWORD usage, bool lockable)
    : DeviceChild(device),
      container_(container),
      format_(&format),
      width_(width),
      height_(height),
      pool_(pool),
      usage_(usage),
      lockable_(lockable),
      pitch_(RowPitch(format, width)) {
  (void)level;  // a level knows its size; its number is the container's business
  storage_.assign(static_cast<size_t>(pitch_) * BlockRows(format, height), 0);
}

ULONG Surface::AddRef() { return container_ ? container_->AddRef() : PublicAddRef(); }
ULONG Surface::Release() { return container_ ? container_->Release() : PublicRelease(); }
HRESULT Surface::GetDevice(IDirect3DDevice9** device) { return DeviceOut(device); }
HRESULT Surface::SetPrivateData(REFGUID g, const void* d, DWORD s, DWORD f) { return PrivateSet(g, d, s, f); }
HRESULT Surface::GetPrivateData(REFGUID g, void* d, DWORD* s) { return PrivateGet(g, d, s); }
HRESULT Surface::FreePrivateData(REFGUID g) { return PrivateFree(g); }

DWORD Surface::SetPriority(DWORD priority) {
  const DWORD old = priority_;
  if (pool_ == D3DPOOL_MANAGED) priority_ = priority;
  return old;
}
DWORD Surface::GetPriority() { return priority_; }

HRESULT Surface::GetContainer(REFIID riid, void** container) {
  if (container == nullptr) return D3DERR_INVALIDCALL;
  if (container_ != nullptr) return container_->QueryInterface(riid, container);
  return device_->QueryInterface(riid, container);
}

HRESULT Surface::GetDesc(D3DSURFACE_DESC* desc) {
  if (desc == nullptr) return D3DERR_INVALIDCALL;
  desc->Format = format_->format;
  desc->Type = D3DRTYPE_SURFACE;
  desc->Usage = usage_;
  desc->Pool = pool_;
  desc->MultiSampleType = D3DMULTISAMPLE_NONE;
  desc->MultiSampleQuality = 0;
  desc->Width = width_;
  desc->Height = height_;
  return D3D_OK;
}

HRESULT Surface::LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) {
  if (host::ShouldFail("IDirect3DSurface9.LockRect")) return D3DERR_INVALIDCALL;
  return Lock(locked, rect, flags);
}

HRESULT Surface::UnlockRect() { return Unlock(); }

HRESULT Surface::Lock(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) {
  constexpr DWORD kKnown = D3DLOCK_READONLY | D3DLOCK_DISCARD | D3DLOCK_NOOVERWRITE | D3DLOCK_NOSYSLOCK |
                           D3DLOCK_DONOTWAIT | D3DLOCK_NO_DIRTY_UPDATE;
  if (locked == nullptr || (flags & ~kKnown) != 0 || !lockable_ || locked_) return D3DERR_INVALIDCALL;
  const FormatInfo& f = *format_;
  UINT left = 0, top = 0;
  if (rect != nullptr) {
    if (rect->left < 0 || rect->top < 0 || rect->left >= rect->right || rect->top >= rect->bottom ||
        static_cast<UINT>(rect->right) > width_ || static_cast<UINT>(rect->bottom) > height_)
      return D3DERR_INVALIDCALL;
    // Block formats lock whole blocks only.
    if (rect->left % f.blockWidth != 0 || rect->top % f.blockHeight != 0 ||
        (static_cast<UINT>(rect->right) != width_ && rect->right % f.blockWidth != 0) ||
        (static_cast<UINT>(rect->bottom) != height_ && rect->bottom % f.blockHeight != 0))
      return D3DERR_INVALIDCALL;
    left = static_cast<UINT>(rect->left);
    top = static_cast<UINT>(rect->top);
  }
  ++generation_;
  locked->Pitch = static_cast<INT>(pitch_);
  locked->pBits = storage_.data() + static_cast<size_t>(top / f.blockHeight) * pitch_ +
                  static_cast<size_t>(left / f.blockWidth) * f.bytesPerBlock;
  locked_ = true;
  return D3D_OK;
}

HRESULT Surface::Unlock() {
  if (!locked_) return D3DERR_INVALIDCALL;
  locked_ = false;
  ++generation_;
  if ((usage_ & D3DUSAGE_RENDERTARGET) && format_->format == D3DFMT_X8R8G8B8) {
    // The rasterizer relies on the unused byte of a target being 0xFF.
    for (size_t i = 3; i < storage_.size(); i += 4) storage_[i] = 0xFF;
  }
  return D3D_OK;
}

const AlphaRuns* Surface::RunsForDrawing() {
  if (format_->format != D3DFMT_A8R8G8B8 || locked_) return nullptr;
  if (runsGeneration_ == generation_) return &runs_;
  if (seenGeneration_ != generation_) {
    seenGeneration_ = generation_;
    return nullptr;
  }
  TextureView view;
  view.bits = storage_.data();
  view.width = static_cast<int>(width_);
  view.height = static_cast<int>(height_);
  view.pitch = pitch_;
  view.bytesPerTexel = 4;
  view.format = format_->format;
  if (!BuildAlphaRuns(view, &runs_)) return nullptr;
  runsGeneration_ = generation_;
  return &runs_;
}

HRESULT Surface::GetDC(HDC* hdc) {
  (void)hdc;
  return D3DERR_INVALIDCALL;  // no GDI on this platform
}

HRESULT Surface::ReleaseDC(HDC hdc) {
  (void)hdc;
  return D3DERR_INVALIDCALL;
}

// ---------------------------------------------------------------------------
// Texture

Texture::Texture(Device* device, UINT width, UINT height, UINT levels, DWORD usage, const FormatInfo& format,
                 D3DPOOL pool)
    : DeviceChild(device), format_(&format), pool_(pool), usage_(usage) {
  const bool lockable = pool != D3DPOOL_DEFAULT || (usage & D3DUSAGE_DYNAMIC) != 0;
  levels_.reserve(levels);
  for (UINT i = 0; i < levels; ++i) {
    levels_.push_back(std::make_unique<Surface>(device, this, i, format, width, height, pool, usage, lockable));
    width = width > 1 ? width / 2 : 1;
    height = height > 1 ? height / 2 : 1;
  }
}

ULONG Texture::AddRef() { return PublicAddRef(); }
ULONG Texture::Release() { return PublicRelease(); }
HRESULT Texture::GetDevice(IDirect3DDevice9** device) { return DeviceOut(device); }
HRESULT Texture::SetPrivateData(REFGUID g, const void* d, DWORD s, DWORD f) { return PrivateSet(g, d, s, f); }
HRESULT Texture::GetPrivateData(REFGUID g, void* d, DWORD* s) { return PrivateGet(g, d, s); }
HRESULT Texture::FreePrivateData(REFGUID g) { return PrivateFree(g); }

DWORD Texture::SetPriority(DWORD priority) {
  const DWORD old = priority_;
  if (pool_ == D3DPOOL_MANAGED) priority_ = priority;
  return old;
}
DWORD Texture::GetPriority() { return priority_; }

DWORD Texture::SetLOD(DWORD lod) {
  if (pool_ != D3DPOOL_MANAGED) return 0;
  const DWORD old = lod_;
  lod_ = lod < LevelCount() ? lod : LevelCount() - 1;
  return old;
}
DWORD Texture::GetLOD() { return lod_; }
DWORD Texture::GetLevelCount() { return LevelCount(); }

HRESULT Texture::SetAutoGenFilterType(D3DTEXTUREFILTERTYPE filter) {
  if (filter != D3DTEXF_POINT && filter != D3DTEXF_LINEAR) return D3DERR_INVALIDCALL;
  autoGenFilter_ = filter;
  return D3D_OK;
}
D3DTEXTUREFILTERTYPE Texture::GetAutoGenFilterType() { return autoGenFilter_; }

HRESULT Texture::GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) {
  Surface* s = Level(level);
  if (s == nullptr) return D3DERR_INVALIDCALL;
  return s->GetDesc(desc);
}

HRESULT Texture::GetSurfaceLevel(UINT level, IDirect3DSurface9** surface) {
  Surface* s = Level(level);
  if (s == nullptr || surface == nullptr) return D3DERR_INVALIDCALL;
  s->AddRef();
  *surface = s;
  return D3D_OK;
}

HRESULT Texture::LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) {
  if (host::ShouldFail("IDirect3DTexture9.LockRect")) return D3DERR_INVALIDCALL;
  Surface* s = Level(level);
  if (s == nullptr) return D3DERR_INVALIDCALL;
  return s->Lock(locked, rect, flags);
}

HRESULT Texture::UnlockRect(UINT level) {
  Surface* s = Level(level);
  if (s == nullptr) return D3DERR_INVALIDCALL;
  return s->Unlock();
}

HRESULT Texture::AddDirtyRect(const RECT* rect) {
  (void)rect;  // the software device reads textures straight from memory
  return D3D_OK;
}

}  // namespace d3d9sw

// resources.h — the software device's textures and surfaces.
//
// Reference counting: a resource's public count keeps its device alive (the
// device gains a reference when the count leaves 0 and loses it when the
// count returns to 0). The device and state blocks hold "bind" references
// on textures they point at, which keep the object but not the device
// alive, so that a texture left bound never keeps a released device around.
// A texture's level surfaces share the texture's counts.
//
// Fault injection names asked here: "IDirect3DTexture9.LockRect",
// "IDirect3DSurface9.LockRect".
// Depends on: d3d9.h, pixel_formats.h.
#pragma once

#include <com_object.h>
#include <d3d9.h>

#include <cstring>
#include <map>
#include <memory>
#include <vector>

#include "platform/d3d9/pixel_formats.h"
#include "platform/d3d9/rasterizer.h"
#include "platform/win32/large_buffer.h"

namespace d3d9sw {

class Device;
class Texture;

// Counting and private data shared by every device child.
class DeviceChild {
 public:
  explicit DeviceChild(Device* device) : device_(device) {}
  DeviceChild(const DeviceChild&) = delete;
  DeviceChild& operator=(const DeviceChild&) = delete;
  virtual ~DeviceChild() = default;

  Device* OwnerDevice() const { return device_; }
  void BindAddRef() { ++bind_; }
  void BindRelease();
  ULONG PublicCount() const { return public_; }

 protected:
  ULONG PublicAddRef();
  ULONG PublicRelease();  // may destroy this object
  HRESULT DeviceOut(IDirect3DDevice9** out);
  HRESULT PrivateSet(REFGUID guid, const void* data, DWORD size, DWORD flags);
  HRESULT PrivateGet(REFGUID guid, void* data, DWORD* size);
  HRESULT PrivateFree(REFGUID guid);

  Device* device_;
  ULONG public_ = 0;
  ULONG bind_ = 0;
  DWORD priority_ = 0;

 private:
  struct GuidLess {
    bool operator()(const GUID& a, const GUID& b) const { return std::memcmp(&a, &b, sizeof(GUID)) < 0; }
  };
  std::map<GUID, std::vector<uint8_t>, GuidLess> private_;
};

class Surface final
    : public platform::ComInterfaces<IDirect3DSurface9, IID_IDirect3DResource9, IID_IDirect3DSurface9>,
      public DeviceChild {
 public:
  // A level of `container`, or a standalone surface when it is null.
  // Throws std::bad_alloc when the storage cannot be had.
  Surface(Device* device, Texture* container, UINT level, const FormatInfo& format, UINT width, UINT height,
          D3DPOOL pool, DWORD usage, bool lockable);

  // IUnknown (QueryInterface is ComInterfaces'; the counts are DeviceChild's)
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  // IDirect3DResource9
  HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9** device) override;
  HRESULT STDMETHODCALLTYPE SetPrivateData(REFGUID guid, const void* data, DWORD size, DWORD flags) override;
  HRESULT STDMETHODCALLTYPE GetPrivateData(REFGUID guid, void* data, DWORD* size) override;
  HRESULT STDMETHODCALLTYPE FreePrivateData(REFGUID guid) override;
  DWORD STDMETHODCALLTYPE SetPriority(DWORD priority) override;
  DWORD STDMETHODCALLTYPE GetPriority() override;
  void STDMETHODCALLTYPE PreLoad() override {}
  D3DRESOURCETYPE STDMETHODCALLTYPE GetType() override { return D3DRTYPE_SURFACE; }
  // IDirect3DSurface9
  HRESULT STDMETHODCALLTYPE GetContainer(REFIID riid, void** container) override;
  HRESULT STDMETHODCALLTYPE GetDesc(D3DSURFACE_DESC* desc) override;
  HRESULT STDMETHODCALLTYPE LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) override;
  HRESULT STDMETHODCALLTYPE UnlockRect() override;
  HRESULT STDMETHODCALLTYPE GetDC(HDC* hdc) override;
  HRESULT STDMETHODCALLTYPE ReleaseDC(HDC hdc) override;

  // The lock itself, without fault injection.
  HRESULT Lock(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags);
  HRESULT Unlock();

  // Writable texels: whatever the caller writes makes the alpha runs stale.
  uint8_t* Bits() {
    ++generation_;
    return storage_.data();
  }
  const uint8_t* Bits() const { return storage_.data(); }
  // The alpha runs of an A8R8G8B8 surface, for a draw that samples it; null
  // until the same texels are drawn a second time (one-off pictures are not
  // worth the scan), for other formats and when out of memory.
  const AlphaRuns* RunsForDrawing();
  uint32_t Pitch() const { return pitch_; }
  UINT Width() const { return width_; }
  UINT Height() const { return height_; }
  D3DFORMAT Format() const { return format_->format; }
  const FormatInfo& Info() const { return *format_; }
  D3DPOOL Pool() const { return pool_; }
  DWORD Usage() const { return usage_; }
  bool Locked() const { return locked_; }
  size_t ByteSize() const { return storage_.size(); }

 private:
  Texture* container_;
  const FormatInfo* format_;
  UINT width_, height_;
  D3DPOOL pool_;
  DWORD usage_;
  bool lockable_;
  bool locked_ = false;
  uint32_t pitch_;
  platform::LargeBuffer<uint8_t> storage_;
  uint64_t generation_ = 0;  // moves on every chance to write the texels
  uint64_t seenGeneration_ = ~uint64_t{0};
  uint64_t runsGeneration_ = ~uint64_t{0};
  AlphaRuns runs_;
};

class Texture final : public platform::ComInterfaces<IDirect3DTexture9, IID_IDirect3DResource9,
                                                     IID_IDirect3DBaseTexture9, IID_IDirect3DTexture9>,
                      public DeviceChild {
 public:
  // Throws std::bad_alloc when the storage cannot be had.
  Texture(Device* device, UINT width, UINT height, UINT levels, DWORD usage, const FormatInfo& format, D3DPOOL pool);

  // IUnknown (QueryInterface is ComInterfaces'; the counts are DeviceChild's)
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  // IDirect3DResource9
  HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9** device) override;
  HRESULT STDMETHODCALLTYPE SetPrivateData(REFGUID guid, const void* data, DWORD size, DWORD flags) override;
  HRESULT STDMETHODCALLTYPE GetPrivateData(REFGUID guid, void* data, DWORD* size) override;
  HRESULT STDMETHODCALLTYPE FreePrivateData(REFGUID guid) override;
  DWORD STDMETHODCALLTYPE SetPriority(DWORD priority) override;
  DWORD STDMETHODCALLTYPE GetPriority() override;
  void STDMETHODCALLTYPE PreLoad() override {}
  D3DRESOURCETYPE STDMETHODCALLTYPE GetType() override { return D3DRTYPE_TEXTURE; }
  // IDirect3DBaseTexture9
  DWORD STDMETHODCALLTYPE SetLOD(DWORD lod) override;
  DWORD STDMETHODCALLTYPE GetLOD() override;
  DWORD STDMETHODCALLTYPE GetLevelCount() override;
  HRESULT STDMETHODCALLTYPE SetAutoGenFilterType(D3DTEXTUREFILTERTYPE filter) override;
  D3DTEXTUREFILTERTYPE STDMETHODCALLTYPE GetAutoGenFilterType() override;
  void STDMETHODCALLTYPE GenerateMipSubLevels() override {}
  // IDirect3DTexture9
  HRESULT STDMETHODCALLTYPE GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) override;
  HRESULT STDMETHODCALLTYPE GetSurfaceLevel(UINT level, IDirect3DSurface9** surface) override;
  HRESULT STDMETHODCALLTYPE LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) override;
  HRESULT STDMETHODCALLTYPE UnlockRect(UINT level) override;
  HRESULT STDMETHODCALLTYPE AddDirtyRect(const RECT* rect) override;

  Surface* Level(UINT level) { return level < levels_.size() ? levels_[level].get() : nullptr; }
  UINT LevelCount() const { return static_cast<UINT>(levels_.size()); }
  D3DPOOL Pool() const { return pool_; }
  DWORD Usage() const { return usage_; }
  D3DFORMAT Format() const { return format_->format; }

 private:
  std::vector<std::unique_ptr<Surface>> levels_;
  const FormatInfo* format_;
  D3DPOOL pool_;
  DWORD usage_;
  DWORD lod_ = 0;
  D3DTEXTUREFILTERTYPE autoGenFilter_ = D3DTEXF_LINEAR;
};

}  // namespace d3d9sw

// memory_surface.h — a lockable surface held in plain memory, for tests and
// fuzz targets that exercise the level loader without a device.
//
// Lock failures can be asked for; locks are checked to stay balanced and
// inside the surface.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include <d3d9.h>

namespace gfxtest {

class MemorySurface final : public IDirect3DSurface9 {
 public:
  MemorySurface(UINT width, UINT height, D3DFORMAT format, UINT bytesPerPixel)
      : MemorySurface(width, height, format, 1, 1, bytesPerPixel) {}
  // Formats that store blocks of blockWidth x blockHeight pixels together.
  MemorySurface(UINT width, UINT height, D3DFORMAT format, UINT blockWidth, UINT blockHeight, UINT blockBytes)
      : width_(width), height_(height), format_(format), blockWidth_(blockWidth), blockHeight_(blockHeight),
        pitch_(((width + blockWidth - 1) / blockWidth * blockBytes + 3) & ~3u), bytesPerPixel_(blockBytes),
        bytes_(size_t(pitch_) * ((height + blockHeight - 1) / blockHeight), 0xCD) {}

  // Rows `extra` bytes longer than the pixels need (the padding keeps its
  // filling); call before the surface is used.
  void PadRows(UINT extra) {
    const UINT rows = pitch_ == 0 ? 0 : UINT(bytes_.size() / pitch_);
    pitch_ += extra;
    bytes_.assign(size_t(pitch_) * rows, 0xCD);
  }

  BYTE* Bits() { return bytes_.data(); }
  const std::vector<BYTE>& Contents() const { return bytes_; }
  UINT Pitch() const { return pitch_; }
  uint32_t Pixel32(UINT x, UINT y) const {
    uint32_t v;
    std::memcpy(&v, bytes_.data() + size_t(y) * pitch_ + size_t(x) * 4, 4);
    return v;
  }
  bool failLock = false;
  int locks = 0;
  int unlocks = 0;
  DWORD lastLockFlags = 0;
  bool lastLockWhole = false;

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
    if (out) *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs_; }  // lives on the stack
  // IDirect3DResource9
  HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9** device) override {
    if (device) *device = nullptr;
    return D3DERR_INVALIDCALL;
  }
  HRESULT STDMETHODCALLTYPE SetPrivateData(REFGUID, const void*, DWORD, DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetPrivateData(REFGUID, void*, DWORD*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE FreePrivateData(REFGUID) override { return E_NOTIMPL; }
  DWORD STDMETHODCALLTYPE SetPriority(DWORD) override { return 0; }
  DWORD STDMETHODCALLTYPE GetPriority() override { return 0; }
  void STDMETHODCALLTYPE PreLoad() override {}
  D3DRESOURCETYPE STDMETHODCALLTYPE GetType() override { return D3DRTYPE_SURFACE; }
  // IDirect3DSurface9
  HRESULT STDMETHODCALLTYPE GetContainer(REFIID, void** out) override {
    if (out) *out = nullptr;
    return E_NOINTERFACE;
  }
  HRESULT STDMETHODCALLTYPE GetDesc(D3DSURFACE_DESC* desc) override {
    *desc = D3DSURFACE_DESC{};
    desc->Format = format_;
    desc->Type = D3DRTYPE_SURFACE;
    desc->Pool = D3DPOOL_MANAGED;
    desc->Width = width_;
    desc->Height = height_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) override {
    if (failLock || locks != unlocks) return D3DERR_INVALIDCALL;
    RECT r = rect ? *rect : RECT{0, 0, LONG(width_), LONG(height_)};
    if (r.left < 0 || r.top < 0 || r.right > LONG(width_) || r.bottom > LONG(height_) || r.left > r.right ||
        r.top > r.bottom) {
      return D3DERR_INVALIDCALL;
    }
    ++locks;
    lastLockFlags = flags;
    lastLockWhole = rect == nullptr;
    locked->Pitch = INT(pitch_);
    locked->pBits = bytes_.data() + size_t(r.top / LONG(blockHeight_)) * pitch_ +
                    size_t(r.left / LONG(blockWidth_)) * bytesPerPixel_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE UnlockRect() override {
    if (unlocks >= locks) return D3DERR_INVALIDCALL;
    ++unlocks;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetDC(HDC*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE ReleaseDC(HDC) override { return E_NOTIMPL; }

 private:
  UINT width_, height_;
  D3DFORMAT format_;
  UINT blockWidth_, blockHeight_;
  UINT pitch_;
  UINT bytesPerPixel_;
  std::vector<BYTE> bytes_;
  ULONG refs_ = 1;
};

}  // namespace gfxtest

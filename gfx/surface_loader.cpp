// surface_loader.cpp — D3DXLoadSurfaceFromMemory, the level loader.
//
// Locks the destination rectangle of a surface (D3DLOCK_NOSYSLOCK), describes
// both sides as image views and hands them to the dispatcher. A surface that
// cannot be locked is written through a one-level copy in the system-memory
// (or scratch) pool, whose rectangle is copied back with UpdateSurface.
// Depends on: gfx/gfx.h, gfx/resample.h, gfx/debug_report.h; d3d9.h
// (surface GetDesc, LockRect, UnlockRect, GetDevice, GetContainer; device
// CreateTexture, UpdateSurface).
#include <algorithm>
#include <cstdint>
#include <new>

#include "gfx/block_codec.h"
#include "gfx/debug_report.h"
#include "gfx/gfx.h"
#include "gfx/pixel_codec.h"
#include "gfx/resample.h"

namespace gfx {
namespace {

void SetPalette(ImageView* view, const PALETTEENTRY* entries) {
  view->paletteEntries = entries;
  view->hasPalette = entries != nullptr;
  constexpr float k = 1.0f / 255.0f;
  for (int i = 0; i < 256; ++i) {
    if (entries == nullptr) {
      view->palette[i] = Pixel{1.0f, 1.0f, 1.0f, 1.0f};
    } else {
      const PALETTEENTRY& e = entries[i];
      view->palette[i] = Pixel{e.peRed * k, e.peGreen * k, e.peBlue * k, e.peFlags * k};
    }
  }
}

// Holds the mute flag for the length of a device call.
class Muted {
 public:
  Muted() : previous_(SetDebugMute(true)) {}
  ~Muted() { SetDebugMute(previous_); }

 private:
  bool previous_;
};

template <typename T>
void SafeRelease(T*& p) {
  if (p != nullptr) {
    p->Release();
    p = nullptr;
  }
}

}  // namespace
}  // namespace gfx

extern "C" HRESULT WINAPI D3DXLoadSurfaceFromMemory(LPDIRECT3DSURFACE9 pDestSurface, const PALETTEENTRY* pDestPalette,
                                                    const RECT* pDestRect, LPCVOID pSrcMemory, D3DFORMAT SrcFormat,
                                                    UINT SrcPitch, const PALETTEENTRY* pSrcPalette,
                                                    const RECT* pSrcRect, DWORD Filter, D3DCOLOR ColorKey) {
  using namespace gfx;
  if (pDestSurface == nullptr) {
    DebugReport(0, "pDestSurface pointer is invalid");
    return D3DERR_INVALIDCALL;
  }
  if (pSrcMemory == nullptr) {
    DebugReport(0, "pSrcMemory pointer is invalid");
    return D3DERR_INVALIDCALL;
  }
  if (pSrcRect == nullptr) {
    DebugReport(0, "pSrcRect pointer is invalid");
    return D3DERR_INVALIDCALL;
  }
  // An inverted source rectangle would describe a picture billions of
  // pixels wide; refuse it like an inverted destination.
  if (pSrcRect->left < 0 || pSrcRect->top < 0 || pSrcRect->right < pSrcRect->left ||
      pSrcRect->bottom < pSrcRect->top) {
    DebugReport(0, "Invalid rect");
    return D3DERR_INVALIDCALL;
  }
  if (Filter == D3DX_DEFAULT) Filter = D3DX_FILTER_TRIANGLE | D3DX_FILTER_DITHER;

  D3DSURFACE_DESC desc{};
  HRESULT hr;
  {
    Muted muted;
    hr = pDestSurface->GetDesc(&desc);
  }
  if (FAILED(hr)) return hr;

  RECT rect{0, 0, static_cast<LONG>(desc.Width), static_cast<LONG>(desc.Height)};
  if (pDestRect != nullptr) {
    rect = *pDestRect;
    if (rect.left < 0 || rect.left > rect.right || uint64_t(rect.right) > desc.Width || rect.top < 0 ||
        rect.top > rect.bottom || uint64_t(rect.bottom) > desc.Height) {
      DebugReport(0, "Invalid rect");
      return D3DERR_INVALIDCALL;
    }
  }
  const bool whole = rect.left == 0 && rect.top == 0 && uint64_t(rect.right) == desc.Width &&
                     uint64_t(rect.bottom) == desc.Height;

  // The locked area: widened to whole blocks or pixel pairs where the
  // format stores pixels together.
  RECT lockRect = rect;
  if (IsBlockCodecFormat(desc.Format)) {
    const BlockShape shape = BlockShapeOf(desc.Format);
    auto down = [](LONG v, UINT step) { return LONG(UINT(v) / step * step); };
    auto up = [](LONG v, UINT step, UINT limit) {
      return LONG(std::min<uint64_t>((uint64_t(v) + step - 1) / step * step, limit));
    };
    lockRect.left = down(lockRect.left, shape.width);
    lockRect.top = down(lockRect.top, shape.height);
    lockRect.right = up(lockRect.right, shape.width, desc.Width);
    lockRect.bottom = up(lockRect.bottom, shape.height, desc.Height);
  }

  DWORD flags = D3DLOCK_NOSYSLOCK;
  if (whole && (desc.Usage & D3DUSAGE_DYNAMIC)) {
    Muted muted;
    IDirect3DTexture9* container = nullptr;
    if (SUCCEEDED(pDestSurface->GetContainer(IID_IDirect3DTexture9, reinterpret_cast<void**>(&container))) &&
        container != nullptr) {
      if (container->GetLevelCount() == 1) flags |= D3DLOCK_DISCARD;
      container->Release();
    }
  }

  D3DLOCKED_RECT locked{};
  IDirect3DSurface9* target = pDestSurface;  // what is locked and written
  IDirect3DDevice9* device = nullptr;
  IDirect3DTexture9* copyTexture = nullptr;
  IDirect3DSurface9* copySurface = nullptr;
  {
    Muted muted;
    hr = pDestSurface->LockRect(&locked, whole ? nullptr : &lockRect, flags);
  }
  if (FAILED(hr)) {
    // The surface cannot be locked (video memory): write a copy instead.
    HRESULT made;
    {
      Muted muted;
      made = pDestSurface->GetDevice(&device);
      if (SUCCEEDED(made)) {
        D3DPOOL pool = desc.Pool == D3DPOOL_SCRATCH ? D3DPOOL_SCRATCH : D3DPOOL_SYSTEMMEM;
        made = device->CreateTexture(desc.Width, desc.Height, 1, 0, desc.Format, pool, &copyTexture, nullptr);
      }
      if (SUCCEEDED(made)) made = copyTexture->GetSurfaceLevel(0, &copySurface);
    }
    if (FAILED(made)) {
      DebugReport(0, "Failed to create scratch copy of vidmem surface");
      SafeRelease(copySurface);
      SafeRelease(copyTexture);
      SafeRelease(device);
      return made;
    }
    {
      Muted muted;
      hr = copySurface->LockRect(&locked, whole ? nullptr : &lockRect, D3DLOCK_NOSYSLOCK);
    }
    if (FAILED(hr)) {
      DebugReport(0, "Could not lock surface");
      SafeRelease(copySurface);
      SafeRelease(copyTexture);
      SafeRelease(device);
      return hr;
    }
    target = copySurface;
  }

  ImageView dest;
  dest.format = desc.Format;
  dest.rowPitch = static_cast<UINT>(locked.Pitch);
  dest.slicePitch = 0;
  dest.width = static_cast<UINT>(rect.right - rect.left);
  dest.height = static_cast<UINT>(rect.bottom - rect.top);
  dest.depth = 1;
  if (IsBlockCodecFormat(desc.Format)) {
    // The locked pointer addresses the first block; the rectangle starts
    // inside it.
    dest.pixels = static_cast<BYTE*>(locked.pBits);
    dest.columnOffset = UINT(rect.left - lockRect.left);
    dest.rowOffset = UINT(rect.top - lockRect.top);
  } else {
    const UINT bits = FormatBits(desc.Format);
    dest.pixels = static_cast<BYTE*>(locked.pBits) + size_t(rect.top - lockRect.top) * dest.rowPitch +
                  size_t(rect.left - lockRect.left) * bits / 8;
  }
  SetPalette(&dest, pDestPalette);

  ImageView* src = new (std::nothrow) ImageView;
  HRESULT result;
  if (src == nullptr) {
    result = E_OUTOFMEMORY;
  } else {
    src->format = SrcFormat;
    src->rowPitch = SrcPitch;
    src->slicePitch = 0;
    src->width = static_cast<UINT>(pSrcRect->right - pSrcRect->left);
    src->height = static_cast<UINT>(pSrcRect->bottom - pSrcRect->top);
    src->depth = 1;
    BYTE* base = const_cast<BYTE*>(static_cast<const BYTE*>(pSrcMemory));
    if (IsBlockCodecFormat(SrcFormat)) {
      const BlockShape shape = BlockShapeOf(SrcFormat);
      src->pixels = base + size_t(UINT(pSrcRect->top) / shape.height) * SrcPitch +
                    size_t(UINT(pSrcRect->left) / shape.width) * shape.bytes;
      src->columnOffset = UINT(pSrcRect->left) % shape.width;
      src->rowOffset = UINT(pSrcRect->top) % shape.height;
    } else {
      src->pixels = base + size_t(pSrcRect->top) * SrcPitch + size_t(pSrcRect->left) * FormatBits(SrcFormat) / 8;
    }
    SetPalette(src, pSrcPalette);
    if (ColorKey != 0) {
      constexpr float k = 1.0f / 255.0f;
      src->keyOn = true;
      src->key = Pixel{float((ColorKey >> 16) & 0xFF) * k, float((ColorKey >> 8) & 0xFF) * k,
                       float(ColorKey & 0xFF) * k, float(ColorKey >> 24) * k};
    }
    result = DispatchConversion(&dest, src, Filter);
    delete src;
  }

  {
    Muted muted;
    target->UnlockRect();
  }
  if (copySurface != nullptr) {
    POINT corner{rect.left, rect.top};
    HRESULT copied;
    {
      Muted muted;
      copied = device->UpdateSurface(copySurface, &rect, pDestSurface, &corner);
    }
    if (FAILED(copied)) {
      DebugReport(0, "Update of vidmem texture failed");
      // The surface did not receive the pixels: that is no success.
      if (SUCCEEDED(result)) result = copied;
    }
  }
  SafeRelease(copySurface);
  SafeRelease(copyTexture);
  SafeRelease(device);
  return result;
}

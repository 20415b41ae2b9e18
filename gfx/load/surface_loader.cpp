// surface_loader.cpp — D3DXLoadSurfaceFromMemory, the level loader.
//
// Locks the destination rectangle of a surface (D3DLOCK_NOSYSLOCK), describes
// both sides as image views and hands them to the dispatcher. A surface that
// cannot be locked is written through a one-level copy in the system-memory
// (or scratch) pool, whose rectangle is copied back with UpdateSurface.
// Depends on: gfx/gfx.h, gfx/pixels/resample.h, gfx/load/call_checks.h,
// gfx/debug_report.h; d3d9.h
// (surface GetDesc, LockRect, UnlockRect, GetDevice, GetContainer; device
// CreateTexture, GetRenderTargetData, UpdateSurface).
#include <algorithm>
#include <cstdint>
#include <new>

#include <com_object.h>

#include "gfx/pixels/block_codec.h"
#include "gfx/debug_report.h"
#include "gfx/load/call_checks.h"
#include "gfx/gfx.h"
#include "gfx/pixels/pixel_codec.h"
#include "gfx/pixels/resample.h"

namespace gfx {
namespace {

using platform::ComRef;

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

// Step 1: the pointers the call cannot do without, and a source rectangle
// that is not inverted.
HRESULT CheckArguments(IDirect3DSurface9* destSurface, LPCVOID srcMemory, const RECT* srcRect) {
  HRESULT hr = RequirePointer(destSurface, "pDestSurface");
  if (SUCCEEDED(hr)) hr = RequirePointer(srcMemory, "pSrcMemory");
  if (SUCCEEDED(hr)) hr = RequirePointer(srcRect, "pSrcRect");
  if (FAILED(hr)) return hr;
  // An inverted source rectangle would describe a picture billions of
  // pixels wide; refuse it like an inverted destination.
  if (srcRect->left < 0 || srcRect->top < 0 || srcRect->right < srcRect->left || srcRect->bottom < srcRect->top) {
    DebugReport(0, "Invalid rect");
    return D3DERR_INVALIDCALL;
  }
  return S_OK;
}

// The destination as locked for writing: the surface itself, or a copy in
// system memory (or scratch) when the surface cannot be locked.
struct LockedDestination {
  D3DSURFACE_DESC desc{};
  RECT rect{};      // what is written
  RECT lockRect{};  // what is locked: `rect` widened to whole blocks
  bool whole = false;
  D3DLOCKED_RECT locked{};
  IDirect3DSurface9* target = nullptr;  // what is locked and written
  ComRef<IDirect3DDevice9> device;
  ComRef<IDirect3DTexture9> copyTexture;
  ComRef<IDirect3DSurface9> copySurface;

  void ReleaseCopy() {
    copySurface.Reset();
    copyTexture.Reset();
    device.Reset();
  }
};

// The destination's description and the rectangle written and locked.
HRESULT MeasureDestination(IDirect3DSurface9* surface, const RECT* destRect, LockedDestination* d) {
  HRESULT hr;
  {
    Muted muted;
    hr = surface->GetDesc(&d->desc);
  }
  if (FAILED(hr)) return hr;
  const D3DSURFACE_DESC& desc = d->desc;
  d->rect = RECT{0, 0, static_cast<LONG>(desc.Width), static_cast<LONG>(desc.Height)};
  if (destRect != nullptr) {
    hr = RequireRectWithin(*destRect, desc.Width, desc.Height);
    if (FAILED(hr)) return hr;
    d->rect = *destRect;
  }
  d->whole = d->rect.left == 0 && d->rect.top == 0 && uint64_t(d->rect.right) == desc.Width &&
             uint64_t(d->rect.bottom) == desc.Height;

  // Widened to whole blocks or pixel pairs where the format stores pixels
  // together.
  d->lockRect = d->rect;
  if (IsBlockCodecFormat(desc.Format)) {
    const BlockShape shape = BlockShapeOf(desc.Format);
    auto down = [](LONG v, UINT step) { return LONG(UINT(v) / step * step); };
    auto up = [](LONG v, UINT step, UINT limit) {
      return LONG(std::min<uint64_t>((uint64_t(v) + step - 1) / step * step, limit));
    };
    d->lockRect.left = down(d->lockRect.left, shape.width);
    d->lockRect.top = down(d->lockRect.top, shape.height);
    d->lockRect.right = up(d->lockRect.right, shape.width, desc.Width);
    d->lockRect.bottom = up(d->lockRect.bottom, shape.height, desc.Height);
  }
  return S_OK;
}

// A dynamic surface written whole, the only level of its texture, is
// locked with discard.
DWORD LockFlags(IDirect3DSurface9* surface, const LockedDestination& d) {
  DWORD flags = D3DLOCK_NOSYSLOCK;
  if (d.whole && (d.desc.Usage & D3DUSAGE_DYNAMIC)) {
    Muted muted;
    IDirect3DTexture9* container = nullptr;
    if (SUCCEEDED(surface->GetContainer(IID_IDirect3DTexture9, reinterpret_cast<void**>(&container))) &&
        container != nullptr) {
      if (container->GetLevelCount() == 1) flags |= D3DLOCK_DISCARD;
      container->Release();
    }
  }
  return flags;
}

// The surface cannot be locked (video memory): make and lock a copy.
HRESULT LockCopy(IDirect3DSurface9* surface, LockedDestination* d) {
  HRESULT made;
  {
    Muted muted;
    made = surface->GetDevice(d->device.Slot());
    if (SUCCEEDED(made)) {
      D3DPOOL pool = d->desc.Pool == D3DPOOL_SCRATCH ? D3DPOOL_SCRATCH : D3DPOOL_SYSTEMMEM;
      made =
          d->device->CreateTexture(d->desc.Width, d->desc.Height, 1, 0, d->desc.Format, pool, d->copyTexture.Slot(),
                                   nullptr);
    }
    if (SUCCEEDED(made)) made = d->copyTexture->GetSurfaceLevel(0, d->copySurface.Slot());
  }
  // Written in part, the copy first takes the surface's pixels, so what is
  // copied back outside the rectangle (whole blocks around it) is what was
  // there. Only a render target can be read back; any other surface is
  // written in part only where no block is shared with pixels outside.
  if (SUCCEEDED(made) && !d->whole) {
    Muted muted;
    const bool widened = d->lockRect.left != d->rect.left || d->lockRect.top != d->rect.top ||
                         d->lockRect.right != d->rect.right || d->lockRect.bottom != d->rect.bottom;
    HRESULT filled = d->device->GetRenderTargetData(surface, d->copySurface.Get());
    if (FAILED(filled) && widened) made = filled;
  }
  if (FAILED(made)) {
    DebugReport(0, "Failed to create scratch copy of vidmem surface");
    d->ReleaseCopy();
    return made;
  }
  HRESULT hr;
  {
    Muted muted;
    hr = d->copySurface->LockRect(&d->locked, d->whole ? nullptr : &d->lockRect, D3DLOCK_NOSYSLOCK);
  }
  if (FAILED(hr)) {
    DebugReport(0, "Could not lock surface");
    d->ReleaseCopy();
    return hr;
  }
  d->target = d->copySurface.Get();
  return S_OK;
}

// Step 2: lock the destination rectangle, or a copy of the surface.
HRESULT LockDestination(IDirect3DSurface9* surface, const RECT* destRect, LockedDestination* d) {
  HRESULT hr = MeasureDestination(surface, destRect, d);
  if (FAILED(hr)) return hr;
  const DWORD flags = LockFlags(surface, *d);
  {
    Muted muted;
    hr = surface->LockRect(&d->locked, d->whole ? nullptr : &d->lockRect, flags);
  }
  if (SUCCEEDED(hr)) {
    d->target = surface;
    return S_OK;
  }
  return LockCopy(surface, d);
}

// Step 3, destination side: a view of the locked rectangle.
void DescribeDestination(const LockedDestination& d, const PALETTEENTRY* palette, ImageView* dest) {
  const D3DFORMAT format = d.desc.Format;
  dest->format = format;
  dest->rowPitch = static_cast<UINT>(d.locked.Pitch);
  dest->slicePitch = 0;
  dest->width = static_cast<UINT>(d.rect.right - d.rect.left);
  dest->height = static_cast<UINT>(d.rect.bottom - d.rect.top);
  dest->depth = 1;
  BYTE* bits = static_cast<BYTE*>(d.locked.pBits);
  if (IsBlockCodecFormat(format)) {
    // The locked pointer addresses the first block; the rectangle starts
    // inside it.
    dest->pixels = bits;
    dest->columnOffset = UINT(d.rect.left - d.lockRect.left);
    dest->rowOffset = UINT(d.rect.top - d.lockRect.top);
  } else {
    dest->pixels = bits + size_t(d.rect.top - d.lockRect.top) * dest->rowPitch +
                   size_t(d.rect.left - d.lockRect.left) * FormatBits(format) / 8;
  }
  SetPalette(dest, palette);
}

// Step 3, source side: a view of the source rectangle with its colour key.
void DescribeSource(LPCVOID memory, D3DFORMAT format, UINT pitch, const PALETTEENTRY* palette, const RECT& r,
                    D3DCOLOR colorKey, ImageView* src) {
  src->format = format;
  src->rowPitch = pitch;
  src->slicePitch = 0;
  src->width = static_cast<UINT>(r.right - r.left);
  src->height = static_cast<UINT>(r.bottom - r.top);
  src->depth = 1;
  BYTE* base = const_cast<BYTE*>(static_cast<const BYTE*>(memory));
  if (IsBlockCodecFormat(format)) {
    const BlockShape shape = BlockShapeOf(format);
    src->pixels = base + size_t(UINT(r.top) / shape.height) * pitch + size_t(UINT(r.left) / shape.width) * shape.bytes;
    src->columnOffset = UINT(r.left) % shape.width;
    src->rowOffset = UINT(r.top) % shape.height;
  } else {
    src->pixels = base + size_t(r.top) * pitch + size_t(r.left) * FormatBits(format) / 8;
  }
  SetPalette(src, palette);
  if (colorKey != 0) {
    constexpr float k = 1.0f / 255.0f;
    src->keyOn = true;
    src->key = Pixel{float((colorKey >> 16) & 0xFF) * k, float((colorKey >> 8) & 0xFF) * k, float(colorKey & 0xFF) * k,
                     float(colorKey >> 24) * k};
  }
}

// Step 5: unlock, copy a copy back into the surface, release the copy. A
// failed copy-back turns a success into that failure.
HRESULT UnlockDestination(IDirect3DSurface9* surface, LockedDestination* d, HRESULT result) {
  {
    Muted muted;
    d->target->UnlockRect();
  }
  if (d->copySurface) {
    // Whole blocks go back: the locked rectangle.
    POINT corner{d->lockRect.left, d->lockRect.top};
    HRESULT copied;
    {
      Muted muted;
      copied = d->device->UpdateSurface(d->copySurface.Get(), &d->lockRect, surface, &corner);
    }
    if (FAILED(copied)) {
      DebugReport(0, "Update of vidmem texture failed");
      // The surface did not receive the pixels: that is no success.
      if (SUCCEEDED(result)) result = copied;
    }
  }
  d->ReleaseCopy();
  return result;
}

}  // namespace
}  // namespace gfx

extern "C" HRESULT WINAPI D3DXLoadSurfaceFromMemory(LPDIRECT3DSURFACE9 pDestSurface, const PALETTEENTRY* pDestPalette,
                                                    const RECT* pDestRect, LPCVOID pSrcMemory, D3DFORMAT SrcFormat,
                                                    UINT SrcPitch, const PALETTEENTRY* pSrcPalette,
                                                    const RECT* pSrcRect, DWORD Filter, D3DCOLOR ColorKey) {
  using namespace gfx;
  HRESULT hr = CheckArguments(pDestSurface, pSrcMemory, pSrcRect);
  if (FAILED(hr)) return hr;
  if (Filter == D3DX_DEFAULT) Filter = D3DX_FILTER_TRIANGLE | D3DX_FILTER_DITHER;

  LockedDestination locked;
  hr = LockDestination(pDestSurface, pDestRect, &locked);
  if (FAILED(hr)) return hr;

  ImageView dest;
  DescribeDestination(locked, pDestPalette, &dest);
  // Step 4: the dispatcher converts and resamples.
  HRESULT result = E_OUTOFMEMORY;
  if (ImageView* src = new (std::nothrow) ImageView) {
    DescribeSource(pSrcMemory, SrcFormat, SrcPitch, pSrcPalette, *pSrcRect, ColorKey, src);
    result = DispatchConversion(&dest, src, Filter);
    delete src;
  }
  return UnlockDestination(pDestSurface, &locked, result);
}

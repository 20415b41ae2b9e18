// texture_create.cpp — textures with their mip chains from images held in
// memory or in a module's resources.
//
// Road: resource bytes (resource_reader) -> decoded image (image_loader) ->
// colour key spent on the palette, palette relabelling, format choice ->
// size and filter defaults -> requirements check (format_rules) -> texture
// (plus a system-memory staging texture for the default pool) -> every
// level loaded from the image, or the later levels made by the mip
// generator (filter_texture) -> hand-over.
// Every object made on the way is released on every failure; the caller's
// out-pointers (texture, image description, palette) are written only when
// the whole call succeeds.
//
// Fault injection: the library's buffers ask the allocation hook; the
// device asks "IDirect3DDevice9.CreateTexture" and the lock names itself.
// Depends on: gfx/gfx.h, gfx/texture_create.h, gfx/resource_reader.h,
// gfx/image_loader.h, gfx/format_rules.h, gfx/filter_texture.h,
// gfx/debug_report.h.
#include "gfx/texture_create.h"

#include <array>
#include <vector>

#include "gfx/debug_report.h"
#include "gfx/filter_texture.h"
#include "gfx/format_rules.h"
#include "gfx/image_decoders.h"
#include "gfx/image_loader.h"
#include "gfx/level_copy.h"
#include "gfx/resource_reader.h"

namespace gfx {

UINT NextPowerOfTwo(UINT value) {
  UINT p = 1;
  while (p < value && p < 0x80000000u) p <<= 1;
  return p;
}

UINT DefaultTextureSize(UINT requested, UINT imageSize) {
  if (requested == D3DX_DEFAULT_NONPOW2) return imageSize;
  if (requested == 0 || requested == D3DX_DEFAULT) return NextPowerOfTwo(imageSize);
  return requested;
}

namespace {

using Palette = std::array<PALETTEENTRY, 256>;

// Releases a COM object at scope exit unless handed over.
template <typename T>
class Held {
 public:
  Held() = default;
  Held(const Held&) = delete;
  Held& operator=(const Held&) = delete;
  ~Held() {
    if (p_) p_->Release();
  }
  T** Slot() { return &p_; }
  T* Get() const { return p_; }
  T* Detach() {
    T* p = p_;
    p_ = nullptr;
    return p;
  }

 private:
  T* p_ = nullptr;
};

struct ImageGuard {
  DecodedImage* image;
  ~ImageGuard() { ClearDecodedImage(image); }
};

bool SameEntry(const PALETTEENTRY& a, const PALETTEENTRY& b) {
  return a.peRed == b.peRed && a.peGreen == b.peGreen && a.peBlue == b.peBlue && a.peFlags == b.peFlags;
}

// A palette that is exactly the grey ramp reads the same as L8.
bool IsGreyRamp(const Palette& palette) {
  for (UINT j = 0; j < 256; ++j) {
    const BYTE v = static_cast<BYTE>(j);
    if (!SameEntry(palette[j], PALETTEENTRY{v, v, v, 255})) return false;
  }
  return true;
}

// A palette that is exactly the 3-3-2 colour cube reads the same as R3G3B2.
bool IsR3G3B2Cube(const Palette& palette) {
  static constexpr BYTE kT3[8] = {0, 36, 73, 109, 146, 182, 219, 255};
  static constexpr BYTE kT2[4] = {0, 85, 170, 255};
  for (UINT k = 0; k < 256; ++k) {
    if (!SameEntry(palette[k], PALETTEENTRY{kT3[k / 32], kT3[(k / 4) % 8], kT2[k % 4], 255})) return false;
  }
  return true;
}

// The format a texture asks for when the caller left it open: the image's
// own, widened by an alpha bit when a colour key still has to be expressed.
// The decoders' 16-bit intermediates stand for their 8-bit counterparts, so
// a keyed 16-bit-per-channel RGB picture asks for A8R8G8B8 as an 8-bit one
// does. Read by its own description it would find no alpha row to widen to
// and end as X8R8G8B8, where the key it was given could never show.
D3DFORMAT ChooseFormat(const DecodedImage& image, D3DCOLOR colorKey, D3DPOOL pool) {
  D3DFORMAT format = ReportedFormat(image.format);
  if (colorKey != 0) {
    FormatRow row = LookupFormat(format);
    if ((row.formatClass == kClassColour || row.formatClass == kClassPalettised ||
         row.formatClass == kClassLuminance) &&
        row.alpha == 0) {
      // The same description with an alpha bit, not the image's own code,
      // or the search would stop at the image's row.
      row.alpha = 1;
      row.format = D3DFMT_UNKNOWN;
      const D3DFORMAT closest = FindClosestDeviceFormat(nullptr, 0, D3DRTYPE_TEXTURE, row);
      if (closest != D3DFMT_UNKNOWN) format = closest;
    }
  }
  if (format == D3DFMT_R8G8B8 && pool != D3DPOOL_SCRATCH) format = D3DFMT_X8R8G8B8;
  return format;
}

bool IsPalettised(D3DFORMAT format) { return format == D3DFMT_P8 || format == D3DFMT_A8P8; }

// Loads one texture level from one decoded image, resampling it to the
// level's size.
HRESULT LoadLevel(IDirect3DTexture9* texture, UINT level, const DecodedImage& image, const PALETTEENTRY* destPalette,
                  const PALETTEENTRY* srcPalette, DWORD filter, D3DCOLOR colorKey) {
  Held<IDirect3DSurface9> surface;
  HRESULT hr = texture->GetSurfaceLevel(level, surface.Slot());
  if (FAILED(hr)) return hr;
  HRESULT copied = S_OK;
  if (CopyLevelDirectly(surface.Get(), image, filter, colorKey, &copied)) return copied;
  const RECT source{static_cast<LONG>(image.rect.left), static_cast<LONG>(image.rect.top),
                    static_cast<LONG>(image.rect.right), static_cast<LONG>(image.rect.bottom)};
  return D3DXLoadSurfaceFromMemory(surface.Get(), destPalette, nullptr, image.pixels, image.format, image.rowPitch,
                                   srcPalette, &source, filter, colorKey);
}

// A JPEG bound for the decode-into-level shortcut is only described until
// its texture exists. When settling or creating that texture fails, the
// body is decoded before the failure is reported, so a corrupt file gets
// the answer of the usual order (decode, then create): the decoder's error.
HRESULT DecodeFirstAnswer(HRESULT failure, DecodedImage* image, const void* data, UINT size) {
  if (image->loadPixels) return failure;
  image->loadPixels = true;
  const HRESULT decoded = LoadImageFromMemory(data, size, nullptr, image);
  return FAILED(decoded) ? decoded : failure;
}

}  // namespace
}  // namespace gfx

using namespace gfx;

extern "C" HRESULT WINAPI D3DXCreateTextureFromFileInMemoryEx(LPDIRECT3DDEVICE9 pDevice, LPCVOID pSrcData,
                                                              UINT SrcDataSize, UINT Width, UINT Height,
                                                              UINT MipLevels, DWORD Usage, D3DFORMAT Format,
                                                              D3DPOOL Pool, DWORD Filter, DWORD MipFilter,
                                                              D3DCOLOR ColorKey, D3DXIMAGE_INFO* pSrcInfo,
                                                              PALETTEENTRY* pPalette, LPDIRECT3DTEXTURE9* ppTexture) {
  if (pDevice == nullptr) {
    DebugReport(0, "pDevice pointer is invalid");
    return D3DERR_INVALIDCALL;
  }
  if (pSrcData == nullptr) {
    DebugReport(0, "pvSrcData pointer is invalid");
    return D3DERR_INVALIDCALL;
  }
  if (SrcDataSize == 0) {
    DebugReport(0, "cbSrcData value is invalid");
    return D3DERR_INVALIDCALL;
  }
  if (ppTexture == nullptr) {
    DebugReport(0, "Texture pointer is invalid");
    return D3DERR_INVALIDCALL;
  }
  if (Usage == D3DX_DEFAULT) Usage = 0;

  DecodedImage image;
  ImageGuard imageGuard{&image};
  // A JPEG that goes unconverted into a one-level texture is decoded
  // straight into it below: here it is only described.
  image.loadPixels = !MayDecodeIntoLevel(pSrcData, SrcDataSize, MipLevels, Filter, ColorKey);
  D3DXIMAGE_INFO info{};
  HRESULT hr = LoadImageFromMemory(pSrcData, SrcDataSize, &info, &image);
  if (FAILED(hr)) return hr;

  // The colour key is spent on the palette: 256 comparisons instead of one
  // per pixel. The image's own palette is never written; the working copy
  // is what the levels are loaded with.
  Palette working;
  const bool hasPalette = image.palette != nullptr;
  if (hasPalette) {
    const PALETTEENTRY key{static_cast<BYTE>(ColorKey >> 16), static_cast<BYTE>(ColorKey >> 8),
                           static_cast<BYTE>(ColorKey), static_cast<BYTE>(ColorKey >> 24)};
    for (UINT i = 0; i < 256; ++i) {
      working[i] = image.palette[i];
      if (SameEntry(working[i], key)) working[i] = PALETTEENTRY{0, 0, 0, 0};
    }
    ColorKey = 0;

    if (Format != D3DFMT_P8 && image.format == D3DFMT_P8) {
      if (IsGreyRamp(working))
        image.format = D3DFMT_L8;
      else if (IsR3G3B2Cube(working))
        image.format = D3DFMT_R3G3B2;
    }
  } else {
    working.fill(PALETTEENTRY{255, 255, 255, 255});
  }

  if (Format == D3DFMT_UNKNOWN) Format = ChooseFormat(image, ColorKey, Pool);
  if (IsPalettised(Format) && !(pPalette != nullptr && hasPalette)) {
    if (Format == D3DFMT_A8P8) {
      Format = D3DFMT_A8R8G8B8;
    } else {
      bool translucent = false;
      for (const PALETTEENTRY& e : working) translucent = translucent || e.peFlags != 255;
      Format = translucent ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
    }
  }

  UINT width = DefaultTextureSize(Width, image.width);
  UINT height = DefaultTextureSize(Height, image.height);
  UINT levels = MipLevels;
  if (Filter == D3DX_DEFAULT) Filter = D3DX_FILTER_TRIANGLE | D3DX_FILTER_DITHER;
  if (MipFilter == D3DX_DEFAULT) MipFilter = D3DX_FILTER_BOX;

  hr = CheckRequirements(pDevice, &width, &height, nullptr, &levels, Usage, &Format, Pool, D3DRTYPE_TEXTURE);
  if (FAILED(hr)) return DecodeFirstAnswer(hr, &image, pSrcData, SrcDataSize);

  Held<IDirect3DTexture9> texture;
  hr = pDevice->CreateTexture(width, height, levels, Usage & 0xFFE07FFF, Format, Pool, texture.Slot(), nullptr);
  if (FAILED(hr) || texture.Get() == nullptr) {
    DebugReport(0, "Failed trying to create texture");
    return DecodeFirstAnswer(FAILED(hr) ? hr : E_FAIL, &image, pSrcData, SrcDataSize);
  }
  // Default-pool textures cannot be locked: fill a system-memory twin and
  // copy it across at the end.
  Held<IDirect3DTexture9> staging;
  if (Pool == D3DPOOL_DEFAULT && (Usage & D3DUSAGE_DYNAMIC) == 0) {
    hr = pDevice->CreateTexture(width, height, levels, 0, Format, D3DPOOL_SYSTEMMEM, staging.Slot(), nullptr);
    if (FAILED(hr) || staging.Get() == nullptr) {
      DebugReport(0, "Failed trying to create texture");
      return DecodeFirstAnswer(FAILED(hr) ? hr : E_FAIL, &image, pSrcData, SrcDataSize);
    }
  }
  IDirect3DTexture9* target = staging.Get() ? staging.Get() : texture.Get();
  bool filled = false;
  if (!image.loadPixels && !DecodeIntoLevel(target, pSrcData, SrcDataSize, image, &filled)) {
    image.loadPixels = true;
    hr = LoadImageFromMemory(pSrcData, SrcDataSize, nullptr, &image);
    if (FAILED(hr)) return hr;
  }

  // The image's own levels (one for a bitmap).
  std::vector<const DecodedImage*> imageLevels;
  for (const DecodedImage* level = &image; level != nullptr; level = level->nextLevel) imageLevels.push_back(level);
  const UINT n = static_cast<UINT>(imageLevels.size());
  const UINT count = target->GetLevelCount();
  const PALETTEENTRY* destPalette = IsPalettised(Format) ? working.data() : nullptr;
  const bool generateMips =
      FilterKind(Filter) == 1 || FilterKind(MipFilter) == 2 || FilterKind(MipFilter) == 5;

  for (UINT i = filled ? count : 0; i < n && i < count; ++i) {
    hr = LoadLevel(target, i, *imageLevels[i], destPalette, working.data(), Filter, ColorKey);
    if (FAILED(hr)) return hr;
  }
  if (!generateMips) {
    // Each further level is resampled straight from the last image level,
    // never from the level above it.
    for (UINT i = n; i < count; ++i) {
      hr = LoadLevel(target, i, *imageLevels[n - 1], destPalette, working.data(), Filter, ColorKey);
      if (FAILED(hr)) return hr;
    }
  } else if (n < count) {
    hr = FilterTextureLevels(target, working.data(), n - 1, MipFilter);
    if (FAILED(hr)) return hr;
  }

  if (staging.Get() != nullptr) {
    hr = pDevice->UpdateTexture(staging.Get(), texture.Get());
    if (FAILED(hr)) return hr;
  }

  if (pPalette != nullptr) {
    for (UINT i = 0; i < 256; ++i) pPalette[i] = working[i];
  }
  if (pSrcInfo != nullptr) *pSrcInfo = info;
  *ppTexture = texture.Detach();
  return S_OK;
}

namespace {

HRESULT CreateFromResource(LPDIRECT3DDEVICE9 pDevice, HMODULE hSrcModule, const void* pSrcResource, bool wide,
                           UINT Width, UINT Height, UINT MipLevels, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                           DWORD Filter, DWORD MipFilter, D3DCOLOR ColorKey, D3DXIMAGE_INFO* pSrcInfo,
                           PALETTEENTRY* pPalette, LPDIRECT3DTEXTURE9* ppTexture) {
  if (pDevice == nullptr) {
    DebugReport(0, "pDevice pointer is invalid");
    return D3DERR_INVALIDCALL;
  }
  if (ppTexture == nullptr) {
    DebugReport(0, "Texture pointer is invalid");
    return D3DERR_INVALIDCALL;
  }
  ResourceView view;
  HRESULT hr = ReadResource(hSrcModule, pSrcResource, true, wide, &view);
  if (FAILED(hr)) return hr;
  return D3DXCreateTextureFromFileInMemoryEx(pDevice, view.bytes, view.size, Width, Height, MipLevels, Usage, Format,
                                             Pool, Filter, MipFilter, ColorKey, pSrcInfo, pPalette, ppTexture);
}

}  // namespace

extern "C" HRESULT WINAPI D3DXCreateTextureFromResourceExA(LPDIRECT3DDEVICE9 pDevice, HMODULE hSrcModule,
                                                           LPCSTR pSrcResource, UINT Width, UINT Height,
                                                           UINT MipLevels, DWORD Usage, D3DFORMAT Format,
                                                           D3DPOOL Pool, DWORD Filter, DWORD MipFilter,
                                                           D3DCOLOR ColorKey, D3DXIMAGE_INFO* pSrcInfo,
                                                           PALETTEENTRY* pPalette, LPDIRECT3DTEXTURE9* ppTexture) {
  return CreateFromResource(pDevice, hSrcModule, pSrcResource, false, Width, Height, MipLevels, Usage, Format, Pool,
                            Filter, MipFilter, ColorKey, pSrcInfo, pPalette, ppTexture);
}

extern "C" HRESULT WINAPI D3DXCreateTextureFromResourceExW(LPDIRECT3DDEVICE9 pDevice, HMODULE hSrcModule,
                                                           LPCWSTR pSrcResource, UINT Width, UINT Height,
                                                           UINT MipLevels, DWORD Usage, D3DFORMAT Format,
                                                           D3DPOOL Pool, DWORD Filter, DWORD MipFilter,
                                                           D3DCOLOR ColorKey, D3DXIMAGE_INFO* pSrcInfo,
                                                           PALETTEENTRY* pPalette, LPDIRECT3DTEXTURE9* ppTexture) {
  return CreateFromResource(pDevice, hSrcModule, pSrcResource, true, Width, Height, MipLevels, Usage, Format, Pool,
                            Filter, MipFilter, ColorKey, pSrcInfo, pPalette, ppTexture);
}

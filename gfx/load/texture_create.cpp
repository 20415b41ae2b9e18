// texture_create.cpp — textures with their mip chains from images held in
// memory or in a module's resources.
//
// Road, one stage a function: validate -> decode (image_loader; resource
// bytes come from resource_reader) -> colour key spent on the palette and
// format choice -> create (size and filter defaults, requirements check of
// format_rules, texture plus a system-memory staging texture for the
// default pool) -> the JPEG shortcut -> fill (every level loaded from the
// image, or the later levels made by the mip generator of filter_texture)
// -> hand-over.
// Every object made on the way is released on every failure; the caller's
// out-pointers (texture, image description, palette) are written only when
// the whole call succeeds.
//
// Fault injection: the library's buffers ask the allocation hook; the
// device asks "IDirect3DDevice9.CreateTexture" and the lock names itself.
// Depends on: gfx/gfx.h, gfx/load/texture_create.h, gfx/load/resource_reader.h,
// gfx/load/image_loader.h, gfx/load/format_rules.h, gfx/pixels/filter_texture.h,
// gfx/debug_report.h.
#include "gfx/load/texture_create.h"

#include <array>
#include <vector>

#include <com_object.h>

#include "gfx/debug_report.h"
#include "gfx/load/call_checks.h"
#include "gfx/pixels/filter_texture.h"
#include "gfx/load/format_rules.h"
#include "gfx/formats/image_decoders.h"
#include "gfx/load/image_loader.h"
#include "gfx/pixels/level_copy.h"
#include "gfx/load/resource_reader.h"

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
using platform::ComRef;

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
  ComRef<IDirect3DSurface9> surface;
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

// One texture request as it goes down the road: the caller's arguments,
// settled to their defaults on the way.
struct TextureRequest {
  IDirect3DDevice9* device;
  const void* data;
  UINT size;
  UINT width, height, mipLevels;
  DWORD usage;
  D3DFORMAT format;
  D3DPOOL pool;
  DWORD filter, mipFilter;
  D3DCOLOR colorKey;
};

// The texture made, and its system-memory twin when the texture is in the
// default pool (which cannot be locked).
struct MadeTexture {
  ComRef<IDirect3DTexture9> texture;
  ComRef<IDirect3DTexture9> staging;
  IDirect3DTexture9* Target() const { return staging ? staging.Get() : texture.Get(); }
};

// Validate: the pointers and size the road cannot do without.
HRESULT ValidateRequest(const TextureRequest& r, LPDIRECT3DTEXTURE9* ppTexture) {
  HRESULT hr = RequirePointer(r.device, "pDevice");
  if (SUCCEEDED(hr)) hr = RequirePointer(r.data, "pvSrcData");
  if (SUCCEEDED(hr) && r.size == 0) {
    DebugReport(0, "cbSrcData value is invalid");
    hr = D3DERR_INVALIDCALL;
  }
  if (SUCCEEDED(hr)) hr = RequirePointer(ppTexture, "Texture");
  return hr;
}

// Decode. A JPEG that goes unconverted into a one-level texture is
// decoded straight into it later (FillFromJpeg): here it is only described.
HRESULT DecodeSource(const TextureRequest& r, DecodedImage* image, D3DXIMAGE_INFO* info) {
  image->loadPixels = !MayDecodeIntoLevel(r.data, r.size, r.mipLevels, r.filter, r.colorKey);
  return LoadImageFromMemory(r.data, r.size, info, image);
}

// The colour key is spent on the palette: 256 comparisons instead of one
// per pixel. The image's own palette is never written; the working copy
// is what the levels are loaded with. A palette that reads the same as a
// plain format relabels the image.
void SpendKeyOnPalette(TextureRequest* r, DecodedImage* image, Palette* working) {
  if (image->palette == nullptr) {
    working->fill(PALETTEENTRY{255, 255, 255, 255});
    return;
  }
  const D3DCOLOR key = r->colorKey;
  const PALETTEENTRY keyEntry{static_cast<BYTE>(key >> 16), static_cast<BYTE>(key >> 8), static_cast<BYTE>(key),
                              static_cast<BYTE>(key >> 24)};
  for (UINT i = 0; i < 256; ++i) {
    (*working)[i] = image->palette[i];
    if (SameEntry((*working)[i], keyEntry)) (*working)[i] = PALETTEENTRY{0, 0, 0, 0};
  }
  r->colorKey = 0;
  if (r->format != D3DFMT_P8 && image->format == D3DFMT_P8) {
    if (IsGreyRamp(*working))
      image->format = D3DFMT_L8;
    else if (IsR3G3B2Cube(*working))
      image->format = D3DFMT_R3G3B2;
  }
}

// Choose format: the caller's, or the image's; a palettised format without
// a palette to go with it becomes 32-bit colour.
void ChooseTextureFormat(TextureRequest* r, const DecodedImage& image, const Palette& working,
                         const PALETTEENTRY* callerPalette) {
  if (r->format == D3DFMT_UNKNOWN) r->format = ChooseFormat(image, r->colorKey, r->pool);
  if (!IsPalettised(r->format) || (callerPalette != nullptr && image.palette != nullptr)) return;
  if (r->format == D3DFMT_A8P8) {
    r->format = D3DFMT_A8R8G8B8;
    return;
  }
  bool translucent = false;
  for (const PALETTEENTRY& e : working) translucent = translucent || e.peFlags != 255;
  r->format = translucent ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
}

// Create: sizes and filters take their defaults, the device's requirements
// settle them, then the texture (and its staging twin) is made.
HRESULT CreateTexture(TextureRequest* r, const DecodedImage& image, MadeTexture* made) {
  UINT width = DefaultTextureSize(r->width, image.width);
  UINT height = DefaultTextureSize(r->height, image.height);
  UINT levels = r->mipLevels;
  if (r->filter == D3DX_DEFAULT) r->filter = D3DX_FILTER_TRIANGLE | D3DX_FILTER_DITHER;
  if (r->mipFilter == D3DX_DEFAULT) r->mipFilter = D3DX_FILTER_BOX;
  HRESULT hr =
      CheckRequirements(r->device, &width, &height, nullptr, &levels, r->usage, &r->format, r->pool, D3DRTYPE_TEXTURE);
  if (FAILED(hr)) return hr;

  hr = r->device->CreateTexture(width, height, levels, r->usage & 0xFFE07FFF, r->format, r->pool,
                                made->texture.Slot(), nullptr);
  if (FAILED(hr) || !made->texture) {
    DebugReport(0, "Failed trying to create texture");
    return FAILED(hr) ? hr : E_FAIL;
  }
  if (r->pool == D3DPOOL_DEFAULT && (r->usage & D3DUSAGE_DYNAMIC) == 0) {
    hr = r->device->CreateTexture(width, height, levels, 0, r->format, D3DPOOL_SYSTEMMEM, made->staging.Slot(),
                                  nullptr);
    if (FAILED(hr) || !made->staging) {
      DebugReport(0, "Failed trying to create texture");
      return FAILED(hr) ? hr : E_FAIL;
    }
  }
  return S_OK;
}

// The JPEG shortcut: a JPEG only described so far is decoded straight into
// the level; where that cannot be, it is decoded the usual way now.
HRESULT FillFromJpeg(const TextureRequest& r, IDirect3DTexture9* target, DecodedImage* image, bool* filled) {
  *filled = false;
  if (image->loadPixels || DecodeIntoLevel(target, r.data, r.size, *image, filled)) return S_OK;
  image->loadPixels = true;
  return LoadImageFromMemory(r.data, r.size, nullptr, image);
}

// Fill: every level from the image's own levels; the further ones either
// resampled from the last image level (never from the level above) or
// made by the mip generator.
HRESULT FillLevels(const TextureRequest& r, IDirect3DTexture9* target, const DecodedImage& image,
                   const Palette& working, bool filled) {
  std::vector<const DecodedImage*> imageLevels;
  for (const DecodedImage* level = &image; level != nullptr; level = level->nextLevel) imageLevels.push_back(level);
  const UINT n = static_cast<UINT>(imageLevels.size());
  const UINT count = target->GetLevelCount();
  const PALETTEENTRY* destPalette = IsPalettised(r.format) ? working.data() : nullptr;
  const bool generateMips =
      FilterKind(r.filter) == 1 || FilterKind(r.mipFilter) == 2 || FilterKind(r.mipFilter) == 5;

  for (UINT i = filled ? count : 0; i < n && i < count; ++i) {
    HRESULT hr = LoadLevel(target, i, *imageLevels[i], destPalette, working.data(), r.filter, r.colorKey);
    if (FAILED(hr)) return hr;
  }
  if (generateMips) return n < count ? FilterTextureLevels(target, working.data(), n - 1, r.mipFilter) : S_OK;
  for (UINT i = n; i < count; ++i) {
    HRESULT hr = LoadLevel(target, i, *imageLevels[n - 1], destPalette, working.data(), r.filter, r.colorKey);
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

// Hand over: the staging twin copied across, then the caller's
// out-pointers, written only now that the whole call has succeeded.
HRESULT HandOver(const TextureRequest& r, MadeTexture* made, const Palette& working, const D3DXIMAGE_INFO& info,
                 D3DXIMAGE_INFO* pSrcInfo, PALETTEENTRY* pPalette, LPDIRECT3DTEXTURE9* ppTexture) {
  if (made->staging) {
    HRESULT hr = r.device->UpdateTexture(made->staging.Get(), made->texture.Get());
    if (FAILED(hr)) return hr;
  }
  if (pPalette != nullptr) {
    for (UINT i = 0; i < 256; ++i) pPalette[i] = working[i];
  }
  if (pSrcInfo != nullptr) *pSrcInfo = info;
  *ppTexture = made->texture.Detach();
  return S_OK;
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
  TextureRequest request{pDevice, pSrcData, SrcDataSize, Width,     Height,  MipLevels,
                         Usage,   Format,   Pool,        Filter,    MipFilter, ColorKey};
  HRESULT hr = ValidateRequest(request, ppTexture);
  if (FAILED(hr)) return hr;
  if (request.usage == D3DX_DEFAULT) request.usage = 0;

  DecodedImage image;
  ImageGuard imageGuard(&image);
  D3DXIMAGE_INFO info{};
  hr = DecodeSource(request, &image, &info);
  if (FAILED(hr)) return hr;

  Palette working;
  SpendKeyOnPalette(&request, &image, &working);
  ChooseTextureFormat(&request, image, working, pPalette);

  MadeTexture made;
  hr = CreateTexture(&request, image, &made);
  if (FAILED(hr)) return DecodeFirstAnswer(hr, &image, pSrcData, SrcDataSize);

  bool filled = false;
  hr = FillFromJpeg(request, made.Target(), &image, &filled);
  if (SUCCEEDED(hr)) hr = FillLevels(request, made.Target(), image, working, filled);
  if (FAILED(hr)) return hr;
  return HandOver(request, &made, working, info, pSrcInfo, pPalette, ppTexture);
}

namespace {

HRESULT CreateFromResource(LPDIRECT3DDEVICE9 pDevice, HMODULE hSrcModule, const void* pSrcResource, bool wide,
                           UINT Width, UINT Height, UINT MipLevels, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                           DWORD Filter, DWORD MipFilter, D3DCOLOR ColorKey, D3DXIMAGE_INFO* pSrcInfo,
                           PALETTEENTRY* pPalette, LPDIRECT3DTEXTURE9* ppTexture) {
  HRESULT hr = RequireDeviceAndTexture(pDevice, ppTexture);
  if (FAILED(hr)) return hr;
  ResourceView view;
  hr = ReadResource(hSrcModule, pSrcResource, true, wide, &view);
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

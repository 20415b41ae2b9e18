// image_writers.cpp — surfaces and textures written as image files: BMP
// and DIB, JPEG (quality 90), TGA, PNG, DDS and PPM, into a buffer object
// or a named file (A and W).
//
// Every format but DDS is made from the surface's pixels converted to
// A8R8G8B8 by the level loader (on a scratch texture of the surface's
// device), and written with alpha when the surface's format has alpha, as
// grey when it is luminance without alpha. Each lossless writer writes what
// its decoder reads back exactly: BMP 32-bit with an alpha mask or 24-bit,
// PNG RGBA, RGB or grey at 8 bits, TGA 32, 24 or 8-bit grey top-down, PPM
// P6. DDS keeps the surface's own format when a DDS file can hold it
// (every level of a texture), else it holds A8R8G8B8 or X8R8G8B8.
// Each format's encoder sits in its own file beside its reader
// (image_writers.h); this file reads surfaces into pictures, chooses the
// encoder and hands the bytes back.
// Depends on: gfx/image_files.h, gfx/formats/image_writers.h,
// gfx/load/format_rules.h, gfx/load/file_access.h, gfx/debug_report.h.
#include <cstdint>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include <com_object.h>

#include "gfx/debug_report.h"
#include "gfx/formats/image_writers.h"
#include "gfx/image_files.h"
#include "gfx/load/call_checks.h"
#include "gfx/load/file_access.h"
#include "gfx/load/format_rules.h"

namespace gfx {
namespace {

using platform::ComRef;

bool HasAlpha(D3DFORMAT format, const PALETTEENTRY* palette) {
  if (format == D3DFMT_P8 && palette != nullptr) {
    for (int i = 0; i < 256; ++i)
      if (palette[i].peFlags != 255) return true;
    return false;
  }
  return LookupFormat(format).alpha > 0;
}

bool IsGrey(D3DFORMAT format) {
  const FormatRow row = LookupFormat(format);
  return row.formatClass == kClassLuminance && row.alpha == 0;
}

// The rectangle asked for, checked against the surface.
HRESULT SettleRect(const D3DSURFACE_DESC& desc, const RECT* asked, RECT* rect) {
  *rect = RECT{0, 0, LONG(desc.Width), LONG(desc.Height)};
  if (asked == nullptr) return S_OK;
  if (asked->left < 0 || asked->top < 0 || asked->left >= asked->right || asked->top >= asked->bottom ||
      UINT(asked->right) > desc.Width || UINT(asked->bottom) > desc.Height) {
    DebugReport(0, "Invalid rect");
    return D3DERR_INVALIDCALL;
  }
  *rect = *asked;
  return S_OK;
}

// Converts a rectangle of the surface to A8R8G8B8 through the level loader.
HRESULT ReadPicture(IDirect3DSurface9* surface, const PALETTEENTRY* palette, const RECT* asked, Picture* picture) {
  D3DSURFACE_DESC desc{};
  HRESULT hr = surface->GetDesc(&desc);
  if (FAILED(hr)) return hr;
  RECT rect;
  hr = SettleRect(desc, asked, &rect);
  if (FAILED(hr)) return hr;
  const UINT width = UINT(rect.right - rect.left), height = UINT(rect.bottom - rect.top);

  ComRef<IDirect3DDevice9> device;
  hr = surface->GetDevice(device.Slot());
  if (FAILED(hr)) return hr;
  ComRef<IDirect3DTexture9> scratch;
  hr = device->CreateTexture(width, height, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_SCRATCH, scratch.Slot(), nullptr);
  if (FAILED(hr)) return hr;
  ComRef<IDirect3DSurface9> target;
  hr = scratch->GetSurfaceLevel(0, target.Slot());
  if (FAILED(hr)) return hr;

  D3DLOCKED_RECT source{};
  hr = surface->LockRect(&source, nullptr, D3DLOCK_READONLY);
  if (FAILED(hr)) {
    DebugReport(0, "Could not lock surface");
    return hr;
  }
  hr = D3DXLoadSurfaceFromMemory(target.Get(), nullptr, nullptr, source.pBits, desc.Format, UINT(source.Pitch), palette,
                                 &rect, D3DX_FILTER_NONE, 0);
  surface->UnlockRect();
  if (FAILED(hr)) return hr;

  D3DLOCKED_RECT locked{};
  hr = target->LockRect(&locked, nullptr, D3DLOCK_READONLY);
  if (FAILED(hr)) return hr;
  try {
    picture->argb.resize(size_t(width) * height);
  } catch (const std::bad_alloc&) {
    target->UnlockRect();
    return E_OUTOFMEMORY;
  }
  for (UINT y = 0; y < height; ++y)
    std::memcpy(&picture->argb[size_t(y) * width], static_cast<const BYTE*>(locked.pBits) + size_t(y) * locked.Pitch,
                size_t(width) * 4);
  target->UnlockRect();
  picture->width = width;
  picture->height = height;
  picture->alpha = HasAlpha(desc.Format, palette);
  picture->grey = IsGrey(desc.Format);
  return S_OK;
}

bool Writable(D3DXIMAGE_FILEFORMAT format) {
  switch (format) {
    case D3DXIFF_BMP:
    case D3DXIFF_JPG:
    case D3DXIFF_TGA:
    case D3DXIFF_PNG:
    case D3DXIFF_DDS:
    case D3DXIFF_PPM:
    case D3DXIFF_DIB:
      return true;
    default:
      return false;
  }
}

HRESULT EncodePicture(const Picture& p, D3DXIMAGE_FILEFORMAT format, Bytes* out) {
  switch (format) {
    case D3DXIFF_BMP:
      *out = EncodeBmp(p, true);
      return S_OK;
    case D3DXIFF_DIB:
      *out = EncodeBmp(p, false);
      return S_OK;
    case D3DXIFF_TGA:
      // The header holds 16-bit sizes.
      if (p.width > 0xFFFF || p.height > 0xFFFF) {
        DebugReport(0, "TGA: image too large for the format");
        return D3DERR_INVALIDCALL;
      }
      *out = EncodeTga(p);
      return S_OK;
    case D3DXIFF_PPM:
      *out = EncodePpm(p);
      return S_OK;
    case D3DXIFF_PNG:
      return EncodePng(p, out);
    case D3DXIFF_JPG:
      return EncodeJpeg(p, out);
    case D3DXIFF_DDS:
      *out = EncodeDdsPicture(p);
      return S_OK;
    default:
      return D3DERR_INVALIDCALL;
  }
}

HRESULT SaveSurface(D3DXIMAGE_FILEFORMAT format, IDirect3DSurface9* surface, const PALETTEENTRY* palette,
                    const RECT* rect, Bytes* out) {
  if (HRESULT hr = RequirePointer(surface, "pSrcSurface"); FAILED(hr)) return hr;
  if (!Writable(format)) {
    DebugReport(0, "Unsupported file format");
    return D3DERR_INVALIDCALL;
  }
  if (format == D3DXIFF_DDS && rect == nullptr) {
    bool kept = false;
    HRESULT hr = EncodeDdsLevels({surface}, out, &kept);
    if (FAILED(hr) || kept) return hr;
  }
  Picture picture;
  HRESULT hr = ReadPicture(surface, palette, rect, &picture);
  if (FAILED(hr)) return hr;
  return EncodePicture(picture, format, out);
}

HRESULT SaveTexture(D3DXIMAGE_FILEFORMAT format, IDirect3DBaseTexture9* base, const PALETTEENTRY* palette,
                    Bytes* out) {
  if (HRESULT hr = RequirePointer(base, "pSrcTexture"); FAILED(hr)) return hr;
  ComRef<IDirect3DTexture9> texture;
  if (base->GetType() != D3DRTYPE_TEXTURE ||
      FAILED(base->QueryInterface(IID_IDirect3DTexture9, reinterpret_cast<void**>(texture.Slot())))) {
    DebugReport(0, "Only plain textures can be saved; cube and volume textures are not supported");
    return D3DERR_INVALIDCALL;
  }
  const UINT count = texture->GetLevelCount();
  std::vector<ComRef<IDirect3DSurface9>> levels(count);
  for (UINT i = 0; i < count; ++i) {
    HRESULT hr = texture->GetSurfaceLevel(i, levels[i].Slot());
    if (FAILED(hr)) return hr;
  }
  if (format == D3DXIFF_DDS) {
    std::vector<IDirect3DSurface9*> chain;
    for (auto& level : levels) chain.push_back(level.Get());
    bool kept = false;
    HRESULT hr = EncodeDdsLevels(chain, out, &kept);
    if (FAILED(hr) || kept) return hr;
  }
  return SaveSurface(format, levels[0].Get(), palette, nullptr, out);
}

HRESULT ToBuffer(const Bytes& bytes, LPD3DXBUFFER* buffer) {
  if (bytes.size() > 0xFFFFFFFFu) return E_OUTOFMEMORY;
  ID3DXBuffer* made = nullptr;
  HRESULT hr = D3DXCreateBuffer(DWORD(bytes.size()), &made);
  if (FAILED(hr)) return hr;
  if (!bytes.empty()) std::memcpy(made->GetBufferPointer(), bytes.data(), bytes.size());
  *buffer = made;
  return S_OK;
}

HRESULT ToFile(const Bytes& bytes, const char* path) {
  if (HRESULT hr = RequirePointer(path, "pDestFile"); FAILED(hr)) return hr;
  return WriteWholeFile(path, bytes.data(), bytes.size());
}

// Runs a writer, keeping C++ exceptions (allocation) inside the library.
template <typename F>
HRESULT Guarded(F&& f) {
  try {
    return f();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

// Writes the file into bytes, then hands them on (to a buffer or a file).
template <typename Write, typename Deliver>
HRESULT WriteThen(Write&& write, Deliver&& deliver) {
  return Guarded([&] {
    Bytes bytes;
    const HRESULT hr = write(&bytes);
    return FAILED(hr) ? hr : deliver(bytes);
  });
}

}  // namespace
}  // namespace gfx

using namespace gfx;

extern "C" HRESULT WINAPI D3DXSaveSurfaceToFileInMemory(LPD3DXBUFFER* ppDestBuf, D3DXIMAGE_FILEFORMAT DestFormat,
                                                        LPDIRECT3DSURFACE9 pSrcSurface,
                                                        const PALETTEENTRY* pSrcPalette, const RECT* pSrcRect) {
  if (HRESULT hr = RequirePointer(ppDestBuf, "ppDestBuf"); FAILED(hr)) return hr;
  return WriteThen([&](Bytes* bytes) { return SaveSurface(DestFormat, pSrcSurface, pSrcPalette, pSrcRect, bytes); },
                   [&](const Bytes& bytes) { return ToBuffer(bytes, ppDestBuf); });
}

extern "C" HRESULT WINAPI D3DXSaveSurfaceToFileA(LPCSTR pDestFile, D3DXIMAGE_FILEFORMAT DestFormat,
                                                 LPDIRECT3DSURFACE9 pSrcSurface, const PALETTEENTRY* pSrcPalette,
                                                 const RECT* pSrcRect) {
  if (pDestFile == nullptr) return ToFile({}, nullptr);
  return WriteThen([&](Bytes* bytes) { return SaveSurface(DestFormat, pSrcSurface, pSrcPalette, pSrcRect, bytes); },
                   [&](const Bytes& bytes) { return ToFile(bytes, pDestFile); });
}

extern "C" HRESULT WINAPI D3DXSaveSurfaceToFileW(LPCWSTR pDestFile, D3DXIMAGE_FILEFORMAT DestFormat,
                                                 LPDIRECT3DSURFACE9 pSrcSurface, const PALETTEENTRY* pSrcPalette,
                                                 const RECT* pSrcRect) {
  if (pDestFile == nullptr) return ToFile({}, nullptr);
  const std::string name = WideToUtf8(pDestFile);
  return D3DXSaveSurfaceToFileA(name.c_str(), DestFormat, pSrcSurface, pSrcPalette, pSrcRect);
}

extern "C" HRESULT WINAPI D3DXSaveTextureToFileInMemory(LPD3DXBUFFER* ppDestBuf, D3DXIMAGE_FILEFORMAT DestFormat,
                                                        LPDIRECT3DBASETEXTURE9 pSrcTexture,
                                                        const PALETTEENTRY* pSrcPalette) {
  if (HRESULT hr = RequirePointer(ppDestBuf, "ppDestBuf"); FAILED(hr)) return hr;
  return WriteThen([&](Bytes* bytes) { return SaveTexture(DestFormat, pSrcTexture, pSrcPalette, bytes); },
                   [&](const Bytes& bytes) { return ToBuffer(bytes, ppDestBuf); });
}

extern "C" HRESULT WINAPI D3DXSaveTextureToFileA(LPCSTR pDestFile, D3DXIMAGE_FILEFORMAT DestFormat,
                                                 LPDIRECT3DBASETEXTURE9 pSrcTexture,
                                                 const PALETTEENTRY* pSrcPalette) {
  if (pDestFile == nullptr) return ToFile({}, nullptr);
  return WriteThen([&](Bytes* bytes) { return SaveTexture(DestFormat, pSrcTexture, pSrcPalette, bytes); },
                   [&](const Bytes& bytes) { return ToFile(bytes, pDestFile); });
}

extern "C" HRESULT WINAPI D3DXSaveTextureToFileW(LPCWSTR pDestFile, D3DXIMAGE_FILEFORMAT DestFormat,
                                                 LPDIRECT3DBASETEXTURE9 pSrcTexture,
                                                 const PALETTEENTRY* pSrcPalette) {
  if (pDestFile == nullptr) return ToFile({}, nullptr);
  const std::string name = WideToUtf8(pDestFile);
  return D3DXSaveTextureToFileA(name.c_str(), DestFormat, pSrcTexture, pSrcPalette);
}

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
// Depends on: gfx/image_files.h, gfx/formats/dds_format.h, gfx/load/format_rules.h,
// gfx/pixels/block_codec.h, gfx/load/file_access.h, gfx/debug_report.h, libspng,
// libturbojpeg.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#if VELMORA_IMAGE_LIBRARIES
#include <spng.h>
#include <turbojpeg.h>
#endif

#include "gfx/pixels/block_codec.h"
#include "gfx/formats/dds_format.h"
#include "gfx/debug_report.h"
#include "gfx/load/file_access.h"
#include "gfx/load/format_rules.h"
#include "gfx/image_files.h"

namespace gfx {
namespace {

using Bytes = std::vector<BYTE>;

template <typename T>
struct Released {
  T* p = nullptr;
  ~Released() {
    if (p) p->Release();
  }
};

// A picture as A8R8G8B8, rows packed, top row first.
struct Picture {
  UINT width = 0;
  UINT height = 0;
  std::vector<uint32_t> argb;
  bool alpha = false;
  bool grey = false;
};

void Put16(Bytes* b, uint32_t v) {
  b->push_back(BYTE(v));
  b->push_back(BYTE(v >> 8));
}
void Put32(Bytes* b, uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}

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

  Released<IDirect3DDevice9> device;
  hr = surface->GetDevice(&device.p);
  if (FAILED(hr)) return hr;
  Released<IDirect3DTexture9> scratch;
  hr = device.p->CreateTexture(width, height, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_SCRATCH, &scratch.p, nullptr);
  if (FAILED(hr)) return hr;
  Released<IDirect3DSurface9> target;
  hr = scratch.p->GetSurfaceLevel(0, &target.p);
  if (FAILED(hr)) return hr;

  D3DLOCKED_RECT source{};
  hr = surface->LockRect(&source, nullptr, D3DLOCK_READONLY);
  if (FAILED(hr)) {
    DebugReport(0, "Could not lock surface");
    return hr;
  }
  hr = D3DXLoadSurfaceFromMemory(target.p, nullptr, nullptr, source.pBits, desc.Format, UINT(source.Pitch), palette,
                                 &rect, D3DX_FILTER_NONE, 0);
  surface->UnlockRect();
  if (FAILED(hr)) return hr;

  D3DLOCKED_RECT locked{};
  hr = target.p->LockRect(&locked, nullptr, D3DLOCK_READONLY);
  if (FAILED(hr)) return hr;
  try {
    picture->argb.resize(size_t(width) * height);
  } catch (const std::bad_alloc&) {
    target.p->UnlockRect();
    return E_OUTOFMEMORY;
  }
  for (UINT y = 0; y < height; ++y)
    std::memcpy(&picture->argb[size_t(y) * width], static_cast<const BYTE*>(locked.pBits) + size_t(y) * locked.Pitch,
                size_t(width) * 4);
  target.p->UnlockRect();
  picture->width = width;
  picture->height = height;
  picture->alpha = HasAlpha(desc.Format, palette);
  picture->grey = IsGrey(desc.Format);
  return S_OK;
}

BYTE Channel(uint32_t argb, int shift) { return BYTE(argb >> shift); }

// BMP: 32-bit with a version-4 header and A8R8G8B8 masks when there is
// alpha, else 24-bit BI_RGB; bottom-up. The DIB form leaves out the file
// header.
Bytes EncodeBmp(const Picture& p, bool fileHeader) {
  const UINT bits = p.alpha ? 32 : 24;
  const UINT infoSize = p.alpha ? 108 : 40;
  const uint64_t rowBytes = (uint64_t(p.width) * bits / 8 + 3) & ~uint64_t{3};
  const uint64_t pixelBytes = rowBytes * p.height;
  const uint64_t headers = (fileHeader ? 14 : 0) + infoSize;
  Bytes b;
  b.reserve(size_t(headers + pixelBytes));
  if (fileHeader) {
    b.push_back('B');
    b.push_back('M');
    Put32(&b, uint32_t(headers + pixelBytes));
    Put32(&b, 0);
    Put32(&b, uint32_t(headers));
  }
  Put32(&b, infoSize);
  Put32(&b, p.width);
  Put32(&b, p.height);  // positive: bottom-up
  Put16(&b, 1);
  Put16(&b, bits);
  Put32(&b, p.alpha ? 3 : 0);  // BI_BITFIELDS or BI_RGB
  Put32(&b, uint32_t(pixelBytes));
  Put32(&b, 2835);  // 72 dpi
  Put32(&b, 2835);
  Put32(&b, 0);
  Put32(&b, 0);
  if (p.alpha) {
    Put32(&b, 0x00FF0000);
    Put32(&b, 0x0000FF00);
    Put32(&b, 0x000000FF);
    Put32(&b, 0xFF000000);
    Put32(&b, 0x73524742);  // 'sRGB'
    b.insert(b.end(), 36 + 12, 0);  // endpoints and gamma, unused
  }
  for (UINT row = 0; row < p.height; ++row) {
    const uint32_t* src = &p.argb[size_t(p.height - 1 - row) * p.width];
    const size_t start = b.size();
    for (UINT x = 0; x < p.width; ++x) {
      b.push_back(Channel(src[x], 0));
      b.push_back(Channel(src[x], 8));
      b.push_back(Channel(src[x], 16));
      if (p.alpha) b.push_back(Channel(src[x], 24));
    }
    b.resize(start + size_t(rowBytes), 0);
  }
  return b;
}

// TGA: uncompressed, top-down; 32-bit with 8 alpha bits, 24-bit, or grey.
Bytes EncodeTga(const Picture& p) {
  Bytes b;
  const BYTE type = p.grey ? 3 : 2;
  const BYTE bits = p.grey ? 8 : p.alpha ? 32 : 24;
  const BYTE header[18] = {0, 0, type, 0, 0, 0, 0, 0, 0, 0, 0, 0, BYTE(p.width), BYTE(p.width >> 8),
                           BYTE(p.height), BYTE(p.height >> 8), bits, BYTE(0x20 | (p.alpha && !p.grey ? 8 : 0))};
  b.assign(header, header + 18);
  b.reserve(18 + size_t(p.width) * p.height * (bits / 8));
  for (uint32_t v : p.argb) {
    if (p.grey) {
      b.push_back(Channel(v, 16));
      continue;
    }
    b.push_back(Channel(v, 0));
    b.push_back(Channel(v, 8));
    b.push_back(Channel(v, 16));
    if (p.alpha) b.push_back(Channel(v, 24));
  }
  return b;
}

Bytes EncodePpm(const Picture& p) {
  const std::string header = "P6\n" + std::to_string(p.width) + " " + std::to_string(p.height) + "\n255\n";
  Bytes b(header.begin(), header.end());
  b.reserve(header.size() + size_t(p.width) * p.height * 3);
  for (uint32_t v : p.argb) {
    b.push_back(Channel(v, 16));
    b.push_back(Channel(v, 8));
    b.push_back(Channel(v, 0));
  }
  return b;
}

#if VELMORA_IMAGE_LIBRARIES
constexpr int kJpegQuality = 90;

HRESULT EncodePng(const Picture& p, Bytes* out) {
  const int channels = p.grey ? 1 : p.alpha ? 4 : 3;
  Bytes rows(size_t(p.width) * p.height * channels);
  BYTE* q = rows.data();
  for (uint32_t v : p.argb) {
    if (p.grey) {
      *q++ = Channel(v, 16);
      continue;
    }
    *q++ = Channel(v, 16);
    *q++ = Channel(v, 8);
    *q++ = Channel(v, 0);
    if (p.alpha) *q++ = Channel(v, 24);
  }
  struct Free {
    void operator()(spng_ctx* c) const { spng_ctx_free(c); }
  };
  std::unique_ptr<spng_ctx, Free> ctx(spng_ctx_new(SPNG_CTX_ENCODER));
  if (!ctx) return E_OUTOFMEMORY;
  spng_set_option(ctx.get(), SPNG_ENCODE_TO_BUFFER, 1);
  spng_ihdr ihdr{};
  ihdr.width = p.width;
  ihdr.height = p.height;
  ihdr.bit_depth = 8;
  ihdr.color_type = p.grey ? SPNG_COLOR_TYPE_GRAYSCALE
                           : p.alpha ? SPNG_COLOR_TYPE_TRUECOLOR_ALPHA : SPNG_COLOR_TYPE_TRUECOLOR;
  int r = spng_set_ihdr(ctx.get(), &ihdr);
  if (r == 0) r = spng_encode_image(ctx.get(), rows.data(), rows.size(), SPNG_FMT_PNG, SPNG_ENCODE_FINALIZE);
  if (r != 0) {
    DebugReport(0, "PNG: %s", spng_strerror(r));
    return E_FAIL;
  }
  size_t length = 0;
  void* png = spng_get_png_buffer(ctx.get(), &length, &r);
  if (png == nullptr) {
    DebugReport(0, "PNG: %s", spng_strerror(r));
    return E_FAIL;
  }
  out->assign(static_cast<BYTE*>(png), static_cast<BYTE*>(png) + length);
  std::free(png);
  return S_OK;
}

HRESULT EncodeJpeg(const Picture& p, Bytes* out) {
  struct Destroy {
    void operator()(void* h) const { tjDestroy(h); }
  };
  std::unique_ptr<void, Destroy> handle(tjInitCompress());
  if (!handle) return E_OUTOFMEMORY;
  Bytes grey;
  const BYTE* pixels = reinterpret_cast<const BYTE*>(p.argb.data());
  int pitch = int(p.width) * 4;
  if (p.grey) {
    grey.resize(p.argb.size());
    for (size_t i = 0; i < grey.size(); ++i) grey[i] = Channel(p.argb[i], 16);
    pixels = grey.data();
    pitch = int(p.width);
  }
  unsigned char* jpeg = nullptr;
  unsigned long length = 0;
  if (tjCompress2(handle.get(), pixels, int(p.width), pitch, int(p.height), p.grey ? TJPF_GRAY : TJPF_BGRX, &jpeg,
                  &length, p.grey ? TJSAMP_GRAY : TJSAMP_420, kJpegQuality, TJFLAG_ACCURATEDCT) != 0) {
    DebugReport(0, "JPEG: %s", tjGetErrorStr2(handle.get()));
    tjFree(jpeg);
    return E_FAIL;
  }
  out->assign(jpeg, jpeg + length);
  tjFree(jpeg);
  return S_OK;
}
#else
// Built without the PNG and JPEG libraries: those writers say so.
HRESULT EncodePng(const Picture&, Bytes*) {
  DebugReport(0, "PNG files cannot be written by this build");
  return E_NOTIMPL;
}

HRESULT EncodeJpeg(const Picture&, Bytes*) {
  DebugReport(0, "JPEG files cannot be written by this build");
  return E_NOTIMPL;
}
#endif

void PutDdsHeader(Bytes* b, D3DFORMAT format, const DdsPixelFormat& pf, UINT width, UINT height, UINT levels,
                  uint64_t firstLevelBytes, uint64_t rowPitch) {
  const bool blocks = IsBlockCodecFormat(format);
  b->insert(b->end(), {'D', 'D', 'S', ' '});
  Put32(b, 124);
  Put32(b, kDdsdCaps | kDdsdHeight | kDdsdWidth | kDdsdPixelFormat | (levels > 1 ? kDdsdMipMapCount : 0) |
               (blocks ? kDdsdLinearSize : kDdsdPitch));
  Put32(b, height);
  Put32(b, width);
  Put32(b, uint32_t(blocks ? firstLevelBytes : rowPitch));
  Put32(b, 0);  // depth
  Put32(b, levels);
  b->insert(b->end(), 44, 0);
  Put32(b, 32);
  Put32(b, pf.flags);
  Put32(b, pf.fourCC);
  Put32(b, pf.bits);
  Put32(b, pf.red);
  Put32(b, pf.green);
  Put32(b, pf.blue);
  Put32(b, pf.alpha);
  Put32(b, kDdsCapsTexture | (levels > 1 ? kDdsCapsComplex | kDdsCapsMipMap : 0));
  Put32(b, 0);
  Put32(b, 0);
  Put32(b, 0);
  Put32(b, 0);
}

// The bytes of a whole surface in its own format, rows packed.
HRESULT CopyLevel(IDirect3DSurface9* surface, D3DFORMAT format, Bytes* out, LevelLayout* layout) {
  D3DSURFACE_DESC desc{};
  HRESULT hr = surface->GetDesc(&desc);
  if (FAILED(hr)) return hr;
  if (!LayoutOf(format, desc.Width, desc.Height, layout)) return E_FAIL;
  D3DLOCKED_RECT locked{};
  hr = surface->LockRect(&locked, nullptr, D3DLOCK_READONLY);
  if (FAILED(hr)) {
    DebugReport(0, "Could not lock surface");
    return hr;
  }
  const size_t row = size_t(layout->rowPitch);
  out->resize(row * size_t(layout->rows));
  for (uint64_t y = 0; y < layout->rows; ++y)
    std::memcpy(out->data() + y * row, static_cast<const BYTE*>(locked.pBits) + y * size_t(locked.Pitch), row);
  surface->UnlockRect();
  return S_OK;
}

// DDS of a picture already converted to 32 bits.
Bytes EncodeDdsPicture(const Picture& p) {
  DdsPixelFormat pf;
  const D3DFORMAT format = p.alpha ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
  DdsFromFormat(format, &pf);
  Bytes b;
  PutDdsHeader(&b, format, pf, p.width, p.height, 1, uint64_t(p.width) * 4 * p.height, uint64_t(p.width) * 4);
  const BYTE* bytes = reinterpret_cast<const BYTE*>(p.argb.data());
  b.insert(b.end(), bytes, bytes + p.argb.size() * 4);
  return b;
}

// The DDS of a chain of surfaces of one format (a surface alone, or every
// level of a texture); false in *kept when the format cannot be kept.
HRESULT EncodeDdsLevels(const std::vector<IDirect3DSurface9*>& levels, Bytes* out, bool* kept) {
  D3DSURFACE_DESC desc{};
  HRESULT hr = levels[0]->GetDesc(&desc);
  if (FAILED(hr)) return hr;
  DdsPixelFormat pf;
  LevelLayout first;
  *kept = DdsFromFormat(desc.Format, &pf) && LayoutOf(desc.Format, desc.Width, desc.Height, &first);
  if (!*kept) return S_OK;
  Bytes b;
  PutDdsHeader(&b, desc.Format, pf, desc.Width, desc.Height, UINT(levels.size()), first.rowPitch * first.rows,
               first.rowPitch);
  for (IDirect3DSurface9* level : levels) {
    Bytes bytes;
    LevelLayout layout;
    hr = CopyLevel(level, desc.Format, &bytes, &layout);
    if (FAILED(hr)) return hr;
    b.insert(b.end(), bytes.begin(), bytes.end());
  }
  *out = std::move(b);
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
  if (surface == nullptr) {
    DebugReport(0, "pSrcSurface pointer is invalid");
    return D3DERR_INVALIDCALL;
  }
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
  if (base == nullptr) {
    DebugReport(0, "pSrcTexture pointer is invalid");
    return D3DERR_INVALIDCALL;
  }
  Released<IDirect3DTexture9> texture;
  if (base->GetType() != D3DRTYPE_TEXTURE ||
      FAILED(base->QueryInterface(IID_IDirect3DTexture9, reinterpret_cast<void**>(&texture.p)))) {
    DebugReport(0, "Only plain textures can be saved; cube and volume textures are not supported");
    return D3DERR_INVALIDCALL;
  }
  const UINT count = texture.p->GetLevelCount();
  std::vector<Released<IDirect3DSurface9>> levels(count);
  for (UINT i = 0; i < count; ++i) {
    HRESULT hr = texture.p->GetSurfaceLevel(i, &levels[i].p);
    if (FAILED(hr)) return hr;
  }
  if (format == D3DXIFF_DDS) {
    std::vector<IDirect3DSurface9*> chain;
    for (auto& level : levels) chain.push_back(level.p);
    bool kept = false;
    HRESULT hr = EncodeDdsLevels(chain, out, &kept);
    if (FAILED(hr) || kept) return hr;
  }
  return SaveSurface(format, levels[0].p, palette, nullptr, out);
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
  if (path == nullptr) {
    DebugReport(0, "pDestFile pointer is invalid");
    return D3DERR_INVALIDCALL;
  }
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

}  // namespace
}  // namespace gfx

using namespace gfx;

extern "C" HRESULT WINAPI D3DXSaveSurfaceToFileInMemory(LPD3DXBUFFER* ppDestBuf, D3DXIMAGE_FILEFORMAT DestFormat,
                                                        LPDIRECT3DSURFACE9 pSrcSurface,
                                                        const PALETTEENTRY* pSrcPalette, const RECT* pSrcRect) {
  if (ppDestBuf == nullptr) {
    DebugReport(0, "ppDestBuf pointer is invalid");
    return D3DERR_INVALIDCALL;
  }
  return Guarded([&] {
    Bytes bytes;
    HRESULT hr = SaveSurface(DestFormat, pSrcSurface, pSrcPalette, pSrcRect, &bytes);
    return FAILED(hr) ? hr : ToBuffer(bytes, ppDestBuf);
  });
}

extern "C" HRESULT WINAPI D3DXSaveSurfaceToFileA(LPCSTR pDestFile, D3DXIMAGE_FILEFORMAT DestFormat,
                                                 LPDIRECT3DSURFACE9 pSrcSurface, const PALETTEENTRY* pSrcPalette,
                                                 const RECT* pSrcRect) {
  if (pDestFile == nullptr) return ToFile({}, nullptr);
  return Guarded([&] {
    Bytes bytes;
    HRESULT hr = SaveSurface(DestFormat, pSrcSurface, pSrcPalette, pSrcRect, &bytes);
    return FAILED(hr) ? hr : ToFile(bytes, pDestFile);
  });
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
  if (ppDestBuf == nullptr) {
    DebugReport(0, "ppDestBuf pointer is invalid");
    return D3DERR_INVALIDCALL;
  }
  return Guarded([&] {
    Bytes bytes;
    HRESULT hr = SaveTexture(DestFormat, pSrcTexture, pSrcPalette, &bytes);
    return FAILED(hr) ? hr : ToBuffer(bytes, ppDestBuf);
  });
}

extern "C" HRESULT WINAPI D3DXSaveTextureToFileA(LPCSTR pDestFile, D3DXIMAGE_FILEFORMAT DestFormat,
                                                 LPDIRECT3DBASETEXTURE9 pSrcTexture,
                                                 const PALETTEENTRY* pSrcPalette) {
  if (pDestFile == nullptr) return ToFile({}, nullptr);
  return Guarded([&] {
    Bytes bytes;
    HRESULT hr = SaveTexture(DestFormat, pSrcTexture, pSrcPalette, &bytes);
    return FAILED(hr) ? hr : ToFile(bytes, pDestFile);
  });
}

extern "C" HRESULT WINAPI D3DXSaveTextureToFileW(LPCWSTR pDestFile, D3DXIMAGE_FILEFORMAT DestFormat,
                                                 LPDIRECT3DBASETEXTURE9 pSrcTexture,
                                                 const PALETTEENTRY* pSrcPalette) {
  if (pDestFile == nullptr) return ToFile({}, nullptr);
  const std::string name = WideToUtf8(pDestFile);
  return D3DXSaveTextureToFileA(name.c_str(), DestFormat, pSrcTexture, pSrcPalette);
}

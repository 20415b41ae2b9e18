// dds_decoder.cpp — DirectDraw Surface files: the 128-byte header and,
// when its four-character code is "DX10", the extended header; plain
// textures, cube maps (the faces present, each with its levels) and volume
// textures; every format of dds_format.h.
//
// A DDS level is stored exactly as a surface of its format holds it, so
// every level borrows the input bytes in place: nothing is copied. Each
// level's size comes from the format and dimensions (the header's pitch
// field is not trusted), and the whole chain must fit in the data.
// Depends on: gfx/formats/image_decoders.h, gfx/formats/dds_format.h, gfx/debug_report.h.
#include <cstdint>
#include <algorithm>
#include <cstring>
#include <new>

#include "gfx/byte_order.h"
#include "gfx/formats/dds_format.h"
#include "gfx/debug_report.h"
#include "gfx/formats/image_decoders.h"

namespace gfx {
namespace {

HRESULT RefuseDds(const char* why) {
  DebugReport(0, "DDS: %s", why);
  return E_FAIL;
}

UINT BitLength(uint64_t v) {
  UINT n = 0;
  while (v != 0) {
    ++n;
    v >>= 1;
  }
  return n;
}

uint64_t Half(uint64_t v) { return v > 1 ? v / 2 : 1; }

// What the headers say, as this reader takes it.
struct DdsShape {
  D3DFORMAT format = D3DFMT_UNKNOWN;
  uint64_t width = 0, height = 0, depth = 1;
  UINT levels = 1;
  UINT faces = 1;
  bool cube = false, volume = false;
  size_t pixelOffset = kDdsHeaderBytes;
};

// The 124-byte header and, behind a "DX10" code, the extended header.
HRESULT ReadHeaders(const BYTE* data, size_t size, DdsShape* shape, DWORD* faceFlags) {
  const BYTE* h = data + 4;
  if (Read32(h) != 124) return RefuseDds("header size is not 124");
  const DWORD flags = Read32(h + 4);
  shape->height = Read32(h + 8);
  shape->width = Read32(h + 12);
  const uint64_t headerDepth = Read32(h + 20);
  const DWORD mipCount = Read32(h + 24);
  DdsPixelFormat pf;
  pf.flags = Read32(h + 76);
  pf.fourCC = Read32(h + 80);
  pf.bits = Read32(h + 84);
  pf.red = Read32(h + 88);
  pf.green = Read32(h + 92);
  pf.blue = Read32(h + 96);
  pf.alpha = Read32(h + 100);
  const DWORD caps = Read32(h + 104);
  const DWORD caps2 = Read32(h + 108);

  shape->cube = (caps2 & kDdsCaps2Cube) != 0;
  shape->volume = (caps2 & kDdsCaps2Volume) != 0 && (flags & kDdsdDepth) != 0;
  *faceFlags = caps2 & kDdsCaps2AllFaces;
  if ((pf.flags & kDdpfFourCC) && pf.fourCC == MAKEFOURCC('D', 'X', '1', '0')) {
    if (size < kDdsHeaderBytes + kDdsExtendedBytes) return RefuseDds("extended header truncated");
    const BYTE* x = data + kDdsHeaderBytes;
    shape->format = FormatFromDxgi(Read32(x));
    const DWORD dimension = Read32(x + 4);
    const DWORD misc = Read32(x + 8);
    const DWORD arraySize = Read32(x + 12);
    // Writers that leave the field unset store 0; it means one texture.
    if (arraySize > 1) return RefuseDds("texture arrays are not supported");
    shape->cube = (misc & 0x4) != 0;
    if (shape->cube) *faceFlags = kDdsCaps2AllFaces;
    shape->volume = dimension == 4;
    shape->pixelOffset += kDdsExtendedBytes;
  } else {
    shape->format = FormatFromDds(pf);
  }
  shape->depth = shape->volume ? headerDepth : 1;
  if (mipCount > 0 && ((flags & kDdsdMipMapCount) || (caps & kDdsCapsMipMap))) shape->levels = mipCount;
  return S_OK;
}

// The format, sizes, level count and faces make a texture this reader takes.
HRESULT CheckShape(DWORD faceFlags, DdsShape* shape) {
  if (shape->format == D3DFMT_UNKNOWN) return RefuseDds("unsupported pixel format");
  if (shape->cube && shape->volume) return RefuseDds("both a cube map and a volume");
  if (shape->width == 0 || shape->height == 0) return RefuseDds("zero width or height");
  if (shape->depth == 0) return RefuseDds("zero depth");
  if (shape->cube && shape->width != shape->height) return RefuseDds("cube faces are not square");
  const uint64_t longest = shape->volume ? std::max({shape->width, shape->height, shape->depth})
                                         : std::max(shape->width, shape->height);
  if (shape->levels > BitLength(longest)) return RefuseDds("more mip levels than the size allows");
  if (shape->cube) {
    shape->faces = 0;
    for (DWORD bit = 0x400; bit <= 0x8000; bit <<= 1) shape->faces += (faceFlags & bit) ? 1 : 0;
    if (shape->faces == 0) return RefuseDds("cube map without faces");
  }
  return S_OK;
}

// Every level of every face is in the data, before any is described.
HRESULT CheckChainFits(const DdsShape& shape, size_t size) {
  uint64_t total = 0;
  uint64_t w = shape.width, hgt = shape.height, d = shape.depth;
  for (UINT i = 0; i < shape.levels; ++i) {
    LevelLayout layout;
    if (!LayoutOf(shape.format, w, hgt, &layout)) return RefuseDds("unsupported pixel format");
    if (!DecodedSizeFits(layout.rowPitch, layout.rows, d, 1)) return RefuseDds("image too large");
    total += layout.rowPitch * layout.rows * d;
    w = Half(w), hgt = Half(hgt), d = Half(d);
  }
  if (total * shape.faces > kMaxDecodedBytes) return RefuseDds("image too large");
  if (size - shape.pixelOffset < total * shape.faces) return RefuseDds("pixel data truncated");
  return S_OK;
}

// The next image of a chain (a face or a level), wanting pixels as the
// first does.
DecodedImage* Chained(DecodedImage** slot, bool loadPixels) {
  *slot = new (std::nothrow) DecodedImage;
  if (*slot != nullptr) (*slot)->loadPixels = loadPixels;
  return *slot;
}

// One face's levels, each borrowing its bytes from `*next` onwards.
HRESULT DescribeFace(const DdsShape& shape, DecodedImage* face, const BYTE** next) {
  const D3DRESOURCETYPE type =
      shape.cube ? D3DRTYPE_CUBETEXTURE : shape.volume ? D3DRTYPE_VOLUMETEXTURE : D3DRTYPE_TEXTURE;
  DecodedImage* level = face;
  uint64_t w = shape.width, hgt = shape.height, d = shape.depth;
  for (UINT i = 0; i < shape.levels; ++i) {
    if (i > 0 && (level = Chained(&level->nextLevel, face->loadPixels)) == nullptr) return E_OUTOFMEMORY;
    LevelLayout layout;
    LayoutOf(shape.format, w, hgt, &layout);
    DescribePicture(level, shape.format, static_cast<UINT>(w), static_cast<UINT>(hgt),
                    static_cast<UINT>(layout.rowPitch), static_cast<UINT>(layout.rowPitch * layout.rows),
                    static_cast<UINT>(d), type);
    level->fileFormat = D3DXIFF_DDS;
    if (level->loadPixels) level->pixels = *next;  // borrowed, never written
    *next += layout.rowPitch * layout.rows * d;
    w = Half(w), hgt = Half(hgt), d = Half(d);
  }
  return S_OK;
}

}  // namespace

HRESULT DecodeDds(DecodedImage* image, const BYTE* data, size_t size) {
  if (size < kDdsHeaderBytes || std::memcmp(data, "DDS ", 4) != 0) return E_FAIL;
  DdsShape shape;
  DWORD faceFlags = 0;
  HRESULT hr = ReadHeaders(data, size, &shape, &faceFlags);
  if (SUCCEEDED(hr)) hr = CheckShape(faceFlags, &shape);
  if (SUCCEEDED(hr)) hr = CheckChainFits(shape, size);
  if (FAILED(hr)) return hr;

  const BYTE* next = data + shape.pixelOffset;
  DecodedImage* face = image;
  for (UINT f = 0; f < shape.faces; ++f) {
    if (f > 0 && (face = Chained(&face->nextFace, image->loadPixels)) == nullptr) return E_OUTOFMEMORY;
    hr = DescribeFace(shape, face, &next);
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

}  // namespace gfx

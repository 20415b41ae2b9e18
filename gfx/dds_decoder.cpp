// dds_decoder.cpp — DirectDraw Surface files: the 128-byte header and,
// when its four-character code is "DX10", the extended header; plain
// textures, cube maps (the faces present, each with its levels) and volume
// textures; every format of dds_format.h.
//
// A DDS level is stored exactly as a surface of its format holds it, so
// every level borrows the input bytes in place: nothing is copied. Each
// level's size comes from the format and dimensions (the header's pitch
// field is not trusted), and the whole chain must fit in the data.
// Depends on: gfx/image_decoders.h, gfx/dds_format.h, gfx/debug_report.h.
#include <cstdint>
#include <algorithm>
#include <cstring>
#include <new>

#include "gfx/dds_format.h"
#include "gfx/debug_report.h"
#include "gfx/image_decoders.h"

namespace gfx {
namespace {

uint32_t Read32(const BYTE* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

HRESULT Refuse(const char* why) {
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

}  // namespace

HRESULT DecodeDds(DecodedImage* image, const BYTE* data, size_t size) {
  if (size < kDdsHeaderBytes || std::memcmp(data, "DDS ", 4) != 0) return E_FAIL;
  const BYTE* h = data + 4;
  if (Read32(h) != 124) return Refuse("header size is not 124");
  const DWORD flags = Read32(h + 4);
  const uint64_t height = Read32(h + 8);
  const uint64_t width = Read32(h + 12);
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

  size_t offset = kDdsHeaderBytes;
  D3DFORMAT format = D3DFMT_UNKNOWN;
  bool cube = (caps2 & kDdsCaps2Cube) != 0;
  bool volume = (caps2 & kDdsCaps2Volume) != 0 && (flags & kDdsdDepth) != 0;
  DWORD faceFlags = caps2 & kDdsCaps2AllFaces;
  if ((pf.flags & kDdpfFourCC) && pf.fourCC == MAKEFOURCC('D', 'X', '1', '0')) {
    if (size < kDdsHeaderBytes + kDdsExtendedBytes) return Refuse("extended header truncated");
    const BYTE* x = data + kDdsHeaderBytes;
    format = FormatFromDxgi(Read32(x));
    const DWORD dimension = Read32(x + 4);
    const DWORD misc = Read32(x + 8);
    const DWORD arraySize = Read32(x + 12);
    // Writers that leave the field unset store 0; it means one texture.
    if (arraySize > 1) return Refuse("texture arrays are not supported");
    cube = (misc & 0x4) != 0;
    if (cube) faceFlags = kDdsCaps2AllFaces;
    volume = dimension == 4;
    offset += kDdsExtendedBytes;
  } else {
    format = FormatFromDds(pf);
  }
  if (format == D3DFMT_UNKNOWN) return Refuse("unsupported pixel format");
  if (cube && volume) return Refuse("both a cube map and a volume");
  if (width == 0 || height == 0) return Refuse("zero width or height");
  const uint64_t depth = volume ? headerDepth : 1;
  if (depth == 0) return Refuse("zero depth");
  if (cube && width != height) return Refuse("cube faces are not square");

  const UINT fullChain = BitLength(volume ? std::max({width, height, depth}) : std::max(width, height));
  UINT levels = 1;
  if (mipCount > 0 && ((flags & kDdsdMipMapCount) || (caps & kDdsCapsMipMap))) levels = mipCount;
  if (levels > fullChain) return Refuse("more mip levels than the size allows");

  UINT faces = 1;
  if (cube) {
    faces = 0;
    for (DWORD bit = 0x400; bit <= 0x8000; bit <<= 1) faces += (faceFlags & bit) ? 1 : 0;
    if (faces == 0) return Refuse("cube map without faces");
  }

  // Check that every level of every face is there before describing any.
  uint64_t total = 0;
  {
    uint64_t w = width, hgt = height, d = depth;
    for (UINT i = 0; i < levels; ++i) {
      LevelLayout layout;
      if (!LayoutOf(format, w, hgt, &layout)) return Refuse("unsupported pixel format");
      if (!DecodedSizeFits(layout.rowPitch, layout.rows, d, 1)) return Refuse("image too large");
      total += layout.rowPitch * layout.rows * d;
      w = Half(w), hgt = Half(hgt), d = Half(d);
    }
  }
  if (total * faces > kMaxDecodedBytes) return Refuse("image too large");
  if (size - offset < total * faces) return Refuse("pixel data truncated");

  const D3DRESOURCETYPE type = cube ? D3DRTYPE_CUBETEXTURE : volume ? D3DRTYPE_VOLUMETEXTURE : D3DRTYPE_TEXTURE;
  const bool loadPixels = image->loadPixels;
  const BYTE* next = data + offset;
  DecodedImage* faceImage = image;
  for (UINT f = 0; f < faces; ++f) {
    if (f > 0) {
      faceImage->nextFace = new (std::nothrow) DecodedImage;
      if (faceImage->nextFace == nullptr) return E_OUTOFMEMORY;
      faceImage = faceImage->nextFace;
      faceImage->loadPixels = loadPixels;
    }
    DecodedImage* level = faceImage;
    uint64_t w = width, hgt = height, d = depth;
    for (UINT i = 0; i < levels; ++i) {
      if (i > 0) {
        level->nextLevel = new (std::nothrow) DecodedImage;
        if (level->nextLevel == nullptr) return E_OUTOFMEMORY;
        level = level->nextLevel;
        level->loadPixels = loadPixels;
      }
      LevelLayout layout;
      LayoutOf(format, w, hgt, &layout);
      level->format = format;
      level->width = static_cast<UINT>(w);
      level->height = static_cast<UINT>(hgt);
      level->depth = static_cast<UINT>(d);
      level->rowPitch = static_cast<UINT>(layout.rowPitch);
      level->slicePitch = static_cast<UINT>(layout.rowPitch * layout.rows);
      level->resourceType = type;
      level->fileFormat = D3DXIFF_DDS;
      if (loadPixels) level->pixels = next;  // borrowed, never written
      next += layout.rowPitch * layout.rows * d;
      w = Half(w), hgt = Half(hgt), d = Half(d);
    }
  }
  return S_OK;
}

}  // namespace gfx

// dib_decoder.cpp — device-independent bitmaps into decoded images.
//
// Reads core (12-byte), info (40-byte) and longer headers field by field,
// 1/4/8/16/24/32 bits per pixel, RLE4 and RLE8, BI_BITFIELDS with the known
// mask sets (and a generic floating decode for any other set), bottom-up and
// top-down rows. Every size, count and offset in the bytes is untrusted: all
// arithmetic on them is done in 64 bits and checked against the data before
// anything is read, and nothing is written outside the buffers made here.
// Depends on: gfx/formats/dib_decoder.h, gfx/byte_order.h, gfx/debug_report.h,
// gfx/formats/image_decoders.h.
#include "gfx/formats/dib_decoder.h"

#include <bit>
#include <cstdint>
#include <cstring>

#include "gfx/byte_order.h"
#include "gfx/debug_report.h"
#include "gfx/formats/image_decoders.h"

namespace gfx {
namespace {

constexpr size_t kInfoHeaderSize = 40;
constexpr size_t kCoreHeaderSize = 12;
constexpr size_t kMaskBytes = 12;  // red, green, blue masks after a 40-byte header
constexpr size_t kFileHeaderSize = 14;

uint64_t RoundUp4(uint64_t n) { return (n + 3) & ~uint64_t{3}; }

struct KnownMasks {
  WORD bits;
  DWORD red, green, blue, alpha;
  D3DFORMAT format;
  bool shifted;  // the pixel starts one byte further on
};

constexpr KnownMasks kKnownMasks[] = {
    {16, 0xE0, 0x1C, 0x3, 0xFF00, D3DFMT_A8R3G3B2, false},
    {16, 0xF00, 0xF0, 0xF, 0xF000, D3DFMT_A4R4G4B4, false},
    {16, 0xF00, 0xF0, 0xF, 0, D3DFMT_X4R4G4B4, false},
    {16, 0xF800, 0x7E0, 0x1F, 0, D3DFMT_R5G6B5, false},
    {16, 0x7C00, 0x3E0, 0x1F, 0, D3DFMT_X1R5G5B5, false},
    {16, 0x7C00, 0x3E0, 0x1F, 0x8000, D3DFMT_A1R5G5B5, false},
    {16, 0xFF, 0xFF, 0xFF, 0xFF00, D3DFMT_A8L8, false},
    {16, 0xFFFF, 0xFFFF, 0xFFFF, 0, D3DFMT_L16, false},
    {24, 0xFF0000, 0xFF00, 0xFF, 0, D3DFMT_R8G8B8, false},
    {32, 0xFF0000, 0xFF00, 0xFF, 0, D3DFMT_X8R8G8B8, false},
    {32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, D3DFMT_A8R8G8B8, false},
    {32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000, D3DFMT_A8B8G8R8, false},
    {32, 0xFF, 0xFF00, 0xFF0000, 0, D3DFMT_X8B8G8R8, false},
    {32, 0xFFFF, 0xFFFF0000, 0, 0, D3DFMT_G16R16, false},
    {32, 0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000, D3DFMT_A2R10G10B10, false},
    {32, 0x3FF, 0xFFC00, 0x3FF00000, 0xC0000000, D3DFMT_A2B10G10R10, false},
    {32, 0xFF000000, 0xFF0000, 0xFF00, 0, D3DFMT_X8R8G8B8, true},
};

// One channel of the generic decode: (pixel AND mask) >> shift, times scale.
struct MaskChannel {
  DWORD mask = 0;
  int shift = 0;
  float scale = 0.0f;
  float absent = 1.0f;  // value when there is no mask
};

MaskChannel MakeChannel(DWORD mask, float absent) {
  MaskChannel c;
  c.mask = mask;
  c.absent = absent;
  if (mask != 0) {
    c.shift = std::countr_zero(mask);
    c.scale = 1.0f / static_cast<float>(mask >> c.shift);
  }
  return c;
}

float ReadChannel(const MaskChannel& c, DWORD pixel) {
  if (c.mask == 0) return c.absent;
  return static_cast<float>((pixel & c.mask) >> c.shift) * c.scale;
}

void PutFloat(BYTE* p, float f) { std::memcpy(p, &f, sizeof(f)); }

// What the header says, after validation.
struct Layout {
  size_t headerSize = 0;
  LONG width = 0;
  UINT height = 0;
  bool topDown = false;
  WORD bitCount = 0;
  DWORD compression = 0;
  size_t entrySize = 4;
  uint64_t colourCount = 0;
  size_t tableStart = 0;
  uint64_t pixelStart = 0;
  D3DFORMAT format = D3DFMT_UNKNOWN;
  bool generic = false;
  bool shifted = false;
  MaskChannel red, green, blue, alpha;
  uint64_t packedRow = 0;
  uint64_t stride = 0;
  uint64_t decodedRow = 0;
  uint64_t rowPitch = 0;
};

// Destination row of stored row `row` (in the file's row order).
UINT DestRow(const Layout& l, uint64_t row) {
  return l.topDown ? static_cast<UINT>(row) : static_cast<UINT>(l.height - 1 - row);
}

HRESULT DecodeRle(const Layout& l, const BYTE* data, size_t size, BYTE* out) {
  const bool rle4 = l.compression == BI_RLE4;
  const uint64_t rowBytes = l.rowPitch;  // a row may be written up to its pitch
  uint64_t pos = l.pixelStart;
  const uint64_t start = l.pixelStart;
  uint64_t x = 0;
  uint64_t row = 0;

  auto put = [&](BYTE index) -> bool {
    if (row >= l.height || x >= rowBytes) return false;
    // Pixels past the width but inside the row's padding are dropped: some
    // encoders round odd RLE4 runs up to a whole byte.
    if (x < static_cast<uint64_t>(l.width)) out[static_cast<size_t>(DestRow(l, row)) * rowBytes + x] = index;
    ++x;
    return true;
  };

  for (;;) {
    if (pos + 2 > size) return E_FAIL;
    BYTE count = data[pos];
    BYTE value = data[pos + 1];
    pos += 2;
    if (count != 0) {
      for (UINT i = 0; i < count; ++i) {
        BYTE index = rle4 ? ((i & 1) ? (value & 0x0F) : (value >> 4)) : value;
        if (!put(index)) return E_FAIL;
      }
      continue;
    }
    switch (value) {
      case 0:  // end of line
        x = 0;
        if (++row >= l.height) return S_OK;
        break;
      case 1:  // end of picture
        return S_OK;
      case 2: {  // delta
        if (pos + 2 > size) return E_FAIL;
        x += data[pos];
        row += data[pos + 1];
        pos += 2;
        break;
      }
      default: {  // literal pixels, then to a 16-bit boundary
        uint64_t bytes = rle4 ? (uint64_t{value} + 1) / 2 : value;
        if (pos + bytes > size) return E_FAIL;
        for (UINT i = 0; i < value; ++i) {
          BYTE index = rle4 ? ((i & 1) ? (data[pos + i / 2] & 0x0F) : (data[pos + i / 2] >> 4)) : data[pos + i];
          if (!put(index)) return E_FAIL;
        }
        pos += bytes;
        if ((pos - start) & 1) ++pos;
        break;
      }
    }
  }
}

void DecodeRows(const Layout& l, const BYTE* data, size_t size, BYTE* out) {
  const size_t pitch = static_cast<size_t>(l.rowPitch);
  for (UINT row = 0; row < l.height; ++row) {
    const uint64_t srcOffset = l.pixelStart + uint64_t{row} * l.stride;
    const BYTE* src = data + srcOffset;
    BYTE* dst = out + static_cast<size_t>(DestRow(l, row)) * pitch;
    const UINT width = static_cast<UINT>(l.width);
    if (l.generic) {
      const UINT bytesPerPixel = l.bitCount / 8;
      for (UINT x = 0; x < width; ++x) {
        const BYTE* p = src + size_t{x} * bytesPerPixel;
        DWORD pixel = bytesPerPixel == 2   ? Read16(p)
                      : bytesPerPixel == 3 ? (static_cast<DWORD>(p[0]) | (p[1] << 8) | (p[2] << 16))
                                           : Read32(p);
        BYTE* q = dst + size_t{x} * 16;
        PutFloat(q, ReadChannel(l.red, pixel));
        PutFloat(q + 4, ReadChannel(l.green, pixel));
        PutFloat(q + 8, ReadChannel(l.blue, pixel));
        PutFloat(q + 12, ReadChannel(l.alpha, pixel));
      }
    } else if (l.bitCount == 1) {
      for (UINT x = 0; x < width; ++x) dst[x] = (src[x / 8] >> (7 - (x & 7))) & 1;
    } else if (l.bitCount == 4) {
      for (UINT x = 0; x < width; ++x) dst[x] = (x & 1) ? (src[x / 2] & 0x0F) : (src[x / 2] >> 4);
    } else if (l.shifted) {
      // The pixel starts one byte on; the last row's final byte may lie
      // beyond the data, and then reads as 0 (it lands in the unused X byte).
      uint64_t available = size - (srcOffset + 1) < l.packedRow ? size - (srcOffset + 1) : l.packedRow;
      std::memcpy(dst, src + 1, static_cast<size_t>(available));
      std::memset(dst + available, 0, static_cast<size_t>(l.packedRow - available));
    } else {
      std::memcpy(dst, src, static_cast<size_t>(l.packedRow));
    }
  }
}

// The header's fields as stored (a core header's missing ones read 0).
struct Header {
  int64_t width = 0;
  int64_t height = 0;
  WORD planes = 0;
  DWORD clrUsed = 0;
};

// Header size, the core or info fields, the compressions that are refused,
// and the picture's size and row order.
HRESULT ReadHeader(const BYTE* data, size_t size, Layout* l, Header* h) {
  l->headerSize = Read32(data);
  if (l->headerSize > size) return E_FAIL;
  if (l->headerSize == kCoreHeaderSize) {
    h->width = static_cast<int16_t>(Read16(data + 4));
    h->height = static_cast<int16_t>(Read16(data + 6));
    h->planes = Read16(data + 8);
    l->bitCount = Read16(data + 10);
    l->entrySize = 3;
  } else if (l->headerSize >= kInfoHeaderSize) {
    h->width = static_cast<LONG>(Read32(data + 4));
    h->height = static_cast<LONG>(Read32(data + 8));
    h->planes = Read16(data + 12);
    l->bitCount = Read16(data + 14);
    l->compression = Read32(data + 16);
    h->clrUsed = Read32(data + 32);
  } else {
    return E_FAIL;
  }
  l->topDown = h->height < 0;
  l->height = static_cast<UINT>(h->height < 0 ? -h->height : h->height);
  return S_OK;
}

// The compressions that are refused, named where a user could act on it,
// and the picture's size. Runs after the planes and the colour table have
// been checked, so a broken header fails silently whatever it claims.
HRESULT CheckCompressionAndSize(const Header& h, Layout* l) {
  if (l->compression == BI_JPEG) {
    DebugReport(0, "LoadBMP: JPEG compression not supported");
    return E_FAIL;
  }
  if (l->compression == BI_PNG) {
    DebugReport(0, "LoadBMP: PNG compression not supported");
    return E_FAIL;
  }
  if (l->compression > BI_PNG) return E_FAIL;

  // An empty or mirrored picture has no meaning here.
  if (h.width <= 0 || h.height == 0) return E_FAIL;
  l->width = static_cast<LONG>(h.width);
  return S_OK;
}

// Where the colour table and the pixel bits begin: right after the table.
// A file header's stored offset is weighed later, once the rows are measured.
HRESULT LocateTableAndPixels(size_t size, const Header& h, Layout* l) {
  // The masks of a plain 40-byte header follow it, ahead of the colour table.
  l->tableStart = l->headerSize;
  if (l->compression == BI_BITFIELDS) {
    if (l->headerSize == kInfoHeaderSize) {
      if (size < kInfoHeaderSize + kMaskBytes) return E_FAIL;
      l->tableStart = kInfoHeaderSize + kMaskBytes;
    } else if (l->headerSize < 52) {
      return E_FAIL;
    }
  }
  l->colourCount = h.clrUsed;
  if (l->colourCount == 0 && l->bitCount <= 8) l->colourCount = uint64_t{1} << l->bitCount;
  l->pixelStart = l->tableStart + l->colourCount * l->entrySize;
  if (l->pixelStart > size || h.planes != 1) return E_FAIL;
  return S_OK;
}

// BI_BITFIELDS: a known mask set gives its format, any other the generic
// floating format with a channel per mask.
HRESULT ChooseMaskFormat(const BYTE* data, Layout* l) {
  if (l->bitCount != 16 && l->bitCount != 24 && l->bitCount != 32) return E_FAIL;
  DWORD red = Read32(data + 40);
  DWORD green = Read32(data + 44);
  DWORD blue = Read32(data + 48);
  DWORD alpha = l->headerSize >= 56 ? Read32(data + 52) : 0;
  if (l->bitCount < 32) {
    DWORD limit = (DWORD{1} << l->bitCount) - 1;
    if ((red | green | blue | alpha) & ~limit) return E_FAIL;
  }
  for (const KnownMasks& k : kKnownMasks) {
    if (k.bits == l->bitCount && k.red == red && k.green == green && k.blue == blue && k.alpha == alpha) {
      l->format = k.format;
      l->shifted = k.shifted;
      return S_OK;
    }
  }
  l->generic = true;
  l->format = D3DFMT_A32B32G32R32F;
  float absentColour = (red | green | blue) == 0 ? 0.0f : 1.0f;
  l->red = MakeChannel(red, absentColour);
  l->green = MakeChannel(green, absentColour);
  l->blue = MakeChannel(blue, absentColour);
  l->alpha = MakeChannel(alpha, 1.0f);
  return S_OK;
}

// The decoded format by compression and bit count.
HRESULT ChoosePixelFormat(const BYTE* data, Layout* l) {
  if (l->compression == BI_BITFIELDS) return ChooseMaskFormat(data, l);
  switch (l->bitCount) {
    case 1:
    case 4:
    case 8:
      l->format = D3DFMT_P8;
      break;
    case 16:
      l->format = D3DFMT_X1R5G5B5;
      break;
    case 24:
      l->format = D3DFMT_R8G8B8;
      break;
    case 32:
      l->format = D3DFMT_X8R8G8B8;
      break;
    default:
      return E_FAIL;
  }
  // Run-length data carries palette indices, one per decoded byte whatever
  // the stored bit count; runs of 16-, 24- or 32-bit pixels mean nothing.
  if ((l->compression == BI_RLE8 || l->compression == BI_RLE4) && l->format != D3DFMT_P8) return E_FAIL;
  return S_OK;
}

bool Uncompressed(const Layout& l) { return l.compression == BI_RGB || l.compression == BI_BITFIELDS; }

bool RowsFit(const Layout& l, uint64_t start, size_t size) {
  return start + (uint64_t{l.height} - 1) * l.stride + l.packedRow <= size;
}

// Packed and decoded row sizes; uncompressed data must hold every row (the
// last may lack its fill bytes). `pixelOffsetHint`, when not zero, is where
// a file header says the pixel bits begin (relative to `data`): it is taken
// when it lies inside the data, not before the end of the colour table, and
// (uncompressed) leaves room for every row; otherwise the bits follow the
// table.
HRESULT MeasureRows(size_t size, uint64_t pixelOffsetHint, Layout* l) {
  if (l->bitCount == 1) {
    l->packedRow = (uint64_t(l->width) + 7) / 8;
  } else if (l->bitCount == 4) {
    l->packedRow = (uint64_t(l->width) + 1) / 2;
  } else {
    l->packedRow = uint64_t(l->width) * l->bitCount / 8;
  }
  l->stride = RoundUp4(l->packedRow);
  if (l->generic) {
    l->decodedRow = uint64_t(l->width) * 16;
  } else if (l->bitCount <= 4) {
    l->decodedRow = uint64_t(l->width);
  } else {
    l->decodedRow = l->packedRow;
  }
  l->rowPitch = RoundUp4(l->decodedRow);
  if (l->rowPitch > 0xFFFFFFFFu) return E_FAIL;
  if (pixelOffsetHint != 0 && pixelOffsetHint >= l->pixelStart && pixelOffsetHint < size &&
      (!Uncompressed(*l) || RowsFit(*l, pixelOffsetHint, size))) {
    l->pixelStart = pixelOffsetHint;
  }
  if (Uncompressed(*l) && !RowsFit(*l, l->pixelStart, size)) return E_FAIL;
  return S_OK;
}

// A 32-bit BI_RGB picture with anything in its fourth bytes has alpha.
void DetectAlpha(const BYTE* data, Layout* l) {
  if (l->compression != BI_RGB || l->bitCount != 32) return;
  for (UINT row = 0; row < l->height && l->format == D3DFMT_X8R8G8B8; ++row) {
    const BYTE* src = data + l->pixelStart + uint64_t{row} * l->stride;
    for (LONG x = 0; x < l->width; ++x) {
      if (src[size_t(x) * 4 + 3] != 0) {
        l->format = D3DFMT_A8R8G8B8;
        break;
      }
    }
  }
}

// The colour table as 256 palette entries, opaque white past its end.
HRESULT BuildPalette(const Layout& l, const BYTE* data, DecodedImage* image) {
  PALETTEENTRY* palette = AllocatePalette(image, PALETTEENTRY{255, 255, 255, 255});
  if (palette == nullptr) return E_OUTOFMEMORY;
  // Entries beyond the 256 a palette holds are ignored.
  const size_t used = l.colourCount < 256 ? static_cast<size_t>(l.colourCount) : 256;
  for (size_t i = 0; i < used; ++i) {
    const BYTE* e = data + l.tableStart + i * l.entrySize;
    palette[i] = PALETTEENTRY{e[2], e[1], e[0], 255};
  }
  return S_OK;
}

// Top-down uncompressed rows of whole bytes are used where they lie; every
// other picture is decoded, top row first, into one allocation.
HRESULT PlacePixels(const Layout& l, const BYTE* data, size_t size, DecodedImage* image) {
  const bool uncompressed = Uncompressed(l);
  if (uncompressed && l.topDown && l.bitCount >= 8 && !l.generic && !l.shifted) {
    image->pixels = data + l.pixelStart;
    image->pixelsOwned = false;
    return S_OK;
  }

  const uint64_t total = l.rowPitch * l.height;
  if (total > kMaxDecodedBytes) return E_OUTOFMEMORY;
  // Run-length pictures start as index 0 everywhere; padded rows keep their
  // fill bytes defined.
  const bool zeroed = !uncompressed || l.rowPitch != l.decodedRow;
  BYTE* out = AllocatePixels(image, static_cast<size_t>(total), zeroed);
  if (out == nullptr) return E_OUTOFMEMORY;

  if (uncompressed) {
    DecodeRows(l, data, size, out);
    return S_OK;
  }
  return DecodeRle(l, data, size, out);
}

HRESULT Decode(DecodedImage* image, const BYTE* data, size_t size, uint64_t pixelOffsetHint) {
  if (image == nullptr || data == nullptr || size < 4) return E_FAIL;
  Layout l;
  Header h;
  HRESULT hr = ReadHeader(data, size, &l, &h);
  if (SUCCEEDED(hr)) hr = LocateTableAndPixels(size, h, &l);
  if (SUCCEEDED(hr)) hr = CheckCompressionAndSize(h, &l);
  if (SUCCEEDED(hr)) hr = ChoosePixelFormat(data, &l);
  if (SUCCEEDED(hr)) hr = MeasureRows(size, pixelOffsetHint, &l);
  if (FAILED(hr)) return hr;
  DetectAlpha(data, &l);

  // The picture's rows are all there is: no slice pitch.
  DescribePicture(image, l.format, static_cast<UINT>(l.width), l.height, static_cast<UINT>(l.rowPitch), 0);
  if (!image->loadPixels) return S_OK;
  if (l.format == D3DFMT_P8 && FAILED(hr = BuildPalette(l, data, image))) return hr;
  return PlacePixels(l, data, size, image);
}

}  // namespace

HRESULT DecodeDib(DecodedImage* image, const BYTE* data, size_t size) { return Decode(image, data, size, 0); }

HRESULT DecodeBmpFile(DecodedImage* image, const BYTE* data, size_t size) {
  if (data == nullptr || size < kFileHeaderSize || data[0] != 'B' || data[1] != 'M') return E_FAIL;
  if (Read32(data + 2) > size) return E_FAIL;
  // The stored offset counts from the start of the file.
  uint64_t offBits = Read32(data + 10);
  uint64_t hint = offBits > kFileHeaderSize ? offBits - kFileHeaderSize : 0;
  return Decode(image, data + kFileHeaderSize, size - kFileHeaderSize, hint);
}

}  // namespace gfx

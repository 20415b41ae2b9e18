// tga_decoder.cpp — Truevision TGA images: colour-mapped (8-bit indices
// into a map of 15, 16, 24 or 32-bit entries), true colour of 15, 16, 24
// or 32 bits, 8-bit grey; each raw or run-length encoded (image type bit
// 0x08); rows bottom-up or top-down, columns left-to-right or mirrored.
//
// The result is always an owned buffer, top row first: P8 with a 256-entry
// palette, X1R5G5B5 / A1R5G5B5, R8G8B8, X8R8G8B8 / A8R8G8B8 (the alpha
// formats when the descriptor's alpha-bit count says so), or L8.
//
// Attribute (alpha) bits. Many writers set the descriptor's alpha-bit count
// of a 16-bit picture without meaning it and leave every attribute bit 0,
// which read as alpha would make the picture invisible. So:
//  - a TGA 2.0 extension area whose attribute type is 0 (no alpha), 1 or 2
//    (undefined, ignore or keep) makes the picture opaque: the X formats, at
//    every depth, and map entries opaque;
//  - otherwise a 16-bit picture (or 16-bit colour map) whose attribute bits
//    are all 0 is read as opaque: a picture that is wholly transparent is
//    far less likely than a writer that left the bit unset. One set bit
//    anywhere means the bits are alpha, and they are kept as they are.
// Depends on: gfx/image_decoders.h, gfx/debug_report.h.
#include <cstdint>
#include <cstring>

#include "gfx/debug_report.h"
#include "gfx/image_decoders.h"

namespace gfx {
namespace {

constexpr size_t kHeaderSize = 18;

uint16_t Read16(const BYTE* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Read32(const BYTE* p) { return Read16(p) | uint32_t{Read16(p + 2)} << 16; }

// Attribute type of the TGA 2.0 extension area, or -1 when the file has no
// footer or no (whole) extension area.
int ExtensionAttributeType(const BYTE* data, size_t size) {
  constexpr size_t kFooter = 26, kExtension = 495;
  static const char kSignature[] = "TRUEVISION-XFILE.";  // with its '\0', 18 bytes
  if (size < kHeaderSize + kFooter) return -1;
  const BYTE* footer = data + size - kFooter;
  if (std::memcmp(footer + 8, kSignature, sizeof kSignature) != 0) return -1;
  const uint64_t at = Read32(footer);
  if (at < kHeaderSize || at + kExtension > size - kFooter || Read16(data + at) < kExtension) return -1;
  return data[at + kExtension - 1];
}

HRESULT Refuse(const char* why) {
  DebugReport(0, "TGA: %s", why);
  return E_FAIL;
}

// 5-bit channel to 8 bits, exactly as the 5-bit codecs read it.
BYTE Expand5(uint32_t v) { return static_cast<BYTE>((v * 255 + 15) / 31); }

PALETTEENTRY MapEntry(const BYTE* p, UINT bits, bool alpha) {
  switch (bits) {
    case 15:
    case 16: {
      const uint32_t v = Read16(p);
      const BYTE a = (bits == 16 && alpha) ? ((v & 0x8000) ? 255 : 0) : 255;
      return PALETTEENTRY{Expand5((v >> 10) & 31), Expand5((v >> 5) & 31), Expand5(v & 31), a};
    }
    case 24:
      return PALETTEENTRY{p[2], p[1], p[0], 255};
    default:
      return PALETTEENTRY{p[2], p[1], p[0], alpha ? p[3] : BYTE{255}};
  }
}

// A1R5G5B5 pixels with no attribute bit set anywhere become opaque.
void SetAttributeBitsIfAllClear(BYTE* pixels, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    if (pixels[2 * i + 1] & 0x80) return;
  }
  for (size_t i = 0; i < count; ++i) pixels[2 * i + 1] |= 0x80;
}

}  // namespace

HRESULT DecodeTga(DecodedImage* image, const BYTE* data, size_t size) {
  if (size <= 17) return E_FAIL;
  const BYTE idLength = data[0];
  const BYTE mapType = data[1];
  const BYTE imageType = data[2];
  const UINT mapFirst = Read16(data + 3);
  const UINT mapLength = Read16(data + 5);
  const UINT mapEntryBits = data[7];
  const UINT width = Read16(data + 12);
  const UINT height = Read16(data + 14);
  const UINT pixelBits = data[16];
  const BYTE descriptor = data[17];

  // The acceptance test: a TGA has no signature, so the header itself must
  // describe an image this reader takes. Nothing is reported on a mismatch
  // (every bitmap resource reaches this test).
  if (mapType > 1) return E_FAIL;
  if (mapType == 1 && mapEntryBits != 15 && mapEntryBits != 16 && mapEntryBits != 24 && mapEntryBits != 32)
    return E_FAIL;
  if ((imageType & ~0x0B) != 0) return E_FAIL;
  const UINT kind = imageType & 3;
  bool depthOk = false;
  if (kind == 1) depthOk = mapType == 1 && pixelBits == 8;
  if (kind == 2) depthOk = pixelBits == 15 || pixelBits == 16 || pixelBits == 24 || pixelBits == 32;
  if (kind == 3) depthOk = pixelBits == 8;
  if (!depthOk || width == 0 || height == 0) return E_FAIL;

  const bool rle = (imageType & 0x08) != 0;
  const int attributeType = ExtensionAttributeType(data, size);
  const bool saidOpaque = attributeType >= 0 && attributeType <= 2;
  const UINT alphaBits = saidOpaque ? 0 : descriptor & 0x0F;
  // Whether all-zero 16-bit attribute bits are to be read as opaque.
  const bool guessOpaque16 = attributeType < 0 && alphaBits != 0;
  const bool rightToLeft = (descriptor & 0x10) != 0;
  const bool topDown = (descriptor & 0x20) != 0;
  const UINT pixelBytes = (pixelBits + 7) / 8;
  const UINT mapEntryBytes = mapType == 1 ? (mapEntryBits + 7) / 8 : 0;

  // Where the colour map and the pixels start (64-bit, then checked).
  const uint64_t mapStart = kHeaderSize + uint64_t{idLength};
  const uint64_t pixelStart = mapStart + uint64_t{mapLength} * mapEntryBytes;
  if (pixelStart > size) return Refuse("colour map runs past the end of the data");

  D3DFORMAT format = D3DFMT_UNKNOWN;
  UINT outBytes = pixelBytes;
  switch (kind) {
    case 1:
      format = D3DFMT_P8;
      break;
    case 3:
      format = D3DFMT_L8;
      break;
    default:
      if (pixelBits == 15) format = D3DFMT_X1R5G5B5;
      if (pixelBits == 16) format = alphaBits != 0 ? D3DFMT_A1R5G5B5 : D3DFMT_X1R5G5B5;
      if (pixelBits == 24) format = D3DFMT_R8G8B8;
      if (pixelBits == 32) format = alphaBits != 0 ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
      break;
  }
  if (!DecodedSizeFits(width, height, 1, outBytes)) return Refuse("image too large");
  const uint64_t pixelCount = uint64_t{width} * height;
  if (!rle && size - pixelStart < pixelCount * pixelBytes) return Refuse("pixel data truncated");

  image->format = format;
  image->width = width;
  image->height = height;
  image->depth = 1;
  image->rowPitch = width * outBytes;
  image->slicePitch = image->rowPitch * height;
  image->resourceType = D3DRTYPE_TEXTURE;
  if (!image->loadPixels) return S_OK;

  if (kind == 1) {
    PALETTEENTRY* palette = reinterpret_cast<PALETTEENTRY*>(AllocateImageBytes(256 * sizeof(PALETTEENTRY)));
    if (palette == nullptr) return E_OUTOFMEMORY;
    image->palette = palette;
    image->paletteOwned = true;
    // Indices the map does not cover read as opaque black.
    for (UINT i = 0; i < 256; ++i) palette[i] = PALETTEENTRY{0, 0, 0, 255};
    for (UINT i = 0; i < mapLength; ++i) {
      const uint64_t index = uint64_t{mapFirst} + i;
      if (index > 255) break;
      palette[index] = MapEntry(data + mapStart + uint64_t{i} * mapEntryBytes, mapEntryBits, alphaBits != 0);
    }
    if (guessOpaque16 && mapEntryBits == 16) {
      bool anyAlpha = false;
      for (UINT i = 0; i < 256; ++i) anyAlpha = anyAlpha || palette[i].peFlags != 0;
      if (!anyAlpha) {
        for (UINT i = 0; i < 256; ++i) palette[i].peFlags = 255;
      }
    }
  }

  BYTE* out = AllocateImageBytes(image->slicePitch);
  if (out == nullptr) return E_OUTOFMEMORY;
  image->pixels = out;
  image->pixelsOwned = true;

  // Pixels arrive in stored order; each goes to its place in the top-down,
  // left-to-right picture.
  uint64_t stored = 0;
  auto place = [&](const BYTE* pixel) {
    const UINT row = static_cast<UINT>(stored / width);
    const UINT column = static_cast<UINT>(stored % width);
    const UINT y = topDown ? row : height - 1 - row;
    const UINT x = rightToLeft ? width - 1 - column : column;
    BYTE* q = out + size_t(y) * image->rowPitch + size_t(x) * outBytes;
    // A 15-bit pixel's top bit is not alpha: keep it clear.
    if (pixelBits == 15) {
      q[0] = pixel[0];
      q[1] = pixel[1] & 0x7F;
    } else {
      std::memcpy(q, pixel, outBytes);
    }
    ++stored;
  };

  const BYTE* pos = data + pixelStart;
  const BYTE* end = data + size;
  if (!rle) {
    while (stored < pixelCount) {
      place(pos);
      pos += pixelBytes;
    }
  }
  // Packets may run across rows; one that runs past the picture is cut.
  while (rle && stored < pixelCount) {
    if (pos >= end) return Refuse("run-length data truncated");
    const BYTE header = *pos++;
    const UINT count = (header & 0x7F) + 1u;
    if (header & 0x80) {
      if (end - pos < static_cast<ptrdiff_t>(pixelBytes)) return Refuse("run-length data truncated");
      for (UINT i = 0; i < count && stored < pixelCount; ++i) place(pos);
      pos += pixelBytes;
    } else {
      if (static_cast<uint64_t>(end - pos) < uint64_t{count} * pixelBytes)
        return Refuse("run-length data truncated");
      for (UINT i = 0; i < count && stored < pixelCount; ++i) {
        place(pos);
        pos += pixelBytes;
      }
    }
  }
  if (guessOpaque16 && format == D3DFMT_A1R5G5B5) SetAttributeBitsIfAllClear(out, size_t(pixelCount));
  return S_OK;
}

}  // namespace gfx

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
// Depends on: gfx/formats/image_decoders.h, gfx/debug_report.h.
#include <cstdint>
#include <cstring>

#include "gfx/byte_order.h"
#include "gfx/debug_report.h"
#include "gfx/formats/image_decoders.h"

namespace gfx {
namespace {

constexpr size_t kHeaderSize = 18;


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

HRESULT RefuseTga(const char* why) {
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

// The 18-byte header, and what follows from it.
struct TgaHeader {
  BYTE idLength = 0;
  BYTE mapType = 0;
  BYTE imageType = 0;
  UINT mapFirst = 0;
  UINT mapLength = 0;
  UINT mapEntryBits = 0;
  UINT width = 0;
  UINT height = 0;
  UINT pixelBits = 0;
  BYTE descriptor = 0;
  int attributeType = -1;  // of the extension area, -1 without one

  bool SaidOpaque() const { return attributeType >= 0 && attributeType <= 2; }
  UINT Kind() const { return imageType & 3; }  // 1 colour-mapped, 2 true colour, 3 grey
  bool Rle() const { return (imageType & 0x08) != 0; }
  UINT AlphaBits() const { return SaidOpaque() ? 0 : descriptor & 0x0F; }
  // Whether all-zero 16-bit attribute bits are to be read as opaque.
  bool GuessOpaque16() const { return attributeType < 0 && AlphaBits() != 0; }
  bool RightToLeft() const { return (descriptor & 0x10) != 0; }
  bool TopDown() const { return (descriptor & 0x20) != 0; }
  UINT PixelBytes() const { return (pixelBits + 7) / 8; }
  UINT MapEntryBytes() const { return mapType == 1 ? (mapEntryBits + 7) / 8 : 0; }
  uint64_t MapStart() const { return kHeaderSize + uint64_t{idLength}; }
  uint64_t PixelStart() const { return MapStart() + uint64_t{mapLength} * MapEntryBytes(); }
};

TgaHeader ReadHeader(const BYTE* data) {
  TgaHeader h;
  h.idLength = data[0];
  h.mapType = data[1];
  h.imageType = data[2];
  h.mapFirst = Read16(data + 3);
  h.mapLength = Read16(data + 5);
  h.mapEntryBits = data[7];
  h.width = Read16(data + 12);
  h.height = Read16(data + 14);
  h.pixelBits = data[16];
  h.descriptor = data[17];
  return h;
}

// The acceptance test: a TGA has no signature, so the header itself must
// describe an image this reader takes. Nothing is reported on a mismatch
// (every bitmap resource reaches this test).
bool Accepts(const TgaHeader& h) {
  if (h.mapType > 1) return false;
  if (h.mapType == 1 && h.mapEntryBits != 15 && h.mapEntryBits != 16 && h.mapEntryBits != 24 && h.mapEntryBits != 32)
    return false;
  if ((h.imageType & ~0x0B) != 0) return false;
  bool depthOk = false;
  if (h.Kind() == 1) depthOk = h.mapType == 1 && h.pixelBits == 8;
  if (h.Kind() == 2) depthOk = h.pixelBits == 15 || h.pixelBits == 16 || h.pixelBits == 24 || h.pixelBits == 32;
  if (h.Kind() == 3) depthOk = h.pixelBits == 8;
  return depthOk && h.width != 0 && h.height != 0;
}

D3DFORMAT FormatOf(const TgaHeader& h) {
  switch (h.Kind()) {
    case 1:
      return D3DFMT_P8;
    case 3:
      return D3DFMT_L8;
    default:
      if (h.pixelBits == 15) return D3DFMT_X1R5G5B5;
      if (h.pixelBits == 16) return h.AlphaBits() != 0 ? D3DFMT_A1R5G5B5 : D3DFMT_X1R5G5B5;
      if (h.pixelBits == 24) return D3DFMT_R8G8B8;
      return h.AlphaBits() != 0 ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
  }
}

// The colour map as a 256-entry palette; indices the map does not cover
// read as opaque black.
HRESULT ReadColourMap(const TgaHeader& h, const BYTE* data, DecodedImage* image) {
  PALETTEENTRY* palette = AllocatePalette(image, PALETTEENTRY{0, 0, 0, 255});
  if (palette == nullptr) return E_OUTOFMEMORY;
  for (UINT i = 0; i < h.mapLength; ++i) {
    const uint64_t index = uint64_t{h.mapFirst} + i;
    if (index > 255) break;
    palette[index] = MapEntry(data + h.MapStart() + uint64_t{i} * h.MapEntryBytes(), h.mapEntryBits, h.AlphaBits() != 0);
  }
  if (h.GuessOpaque16() && h.mapEntryBits == 16) {
    bool anyAlpha = false;
    for (UINT i = 0; i < 256; ++i) anyAlpha = anyAlpha || palette[i].peFlags != 0;
    if (!anyAlpha) {
      for (UINT i = 0; i < 256; ++i) palette[i].peFlags = 255;
    }
  }
  return S_OK;
}

// A1R5G5B5 pixels with no attribute bit set anywhere become opaque.
void SetAttributeBitsIfAllClear(BYTE* pixels, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    if (pixels[2 * i + 1] & 0x80) return;
  }
  for (size_t i = 0; i < count; ++i) pixels[2 * i + 1] |= 0x80;
}

// Pixels arrive in stored order; each goes to its place in the top-down,
// left-to-right picture.
class PixelPlacer {
 public:
  PixelPlacer(const TgaHeader& h, BYTE* out, UINT rowPitch) : h_(h), out_(out), rowPitch_(rowPitch) {}

  bool Done() const { return stored_ >= Count(); }
  uint64_t Count() const { return uint64_t{h_.width} * h_.height; }

  void Place(const BYTE* pixel) {
    const UINT row = static_cast<UINT>(stored_ / h_.width);
    const UINT column = static_cast<UINT>(stored_ % h_.width);
    const UINT y = h_.TopDown() ? row : h_.height - 1 - row;
    const UINT x = h_.RightToLeft() ? h_.width - 1 - column : column;
    BYTE* q = out_ + size_t(y) * rowPitch_ + size_t(x) * h_.PixelBytes();
    // A 15-bit pixel's top bit is not alpha: keep it clear.
    if (h_.pixelBits == 15) {
      q[0] = pixel[0];
      q[1] = pixel[1] & 0x7F;
    } else {
      std::memcpy(q, pixel, h_.PixelBytes());
    }
    ++stored_;
  }

 private:
  const TgaHeader& h_;
  BYTE* out_;
  UINT rowPitch_;
  uint64_t stored_ = 0;
};

// Packets may run across rows; one that runs past the picture is cut.
HRESULT ReadRunLengthPixels(const BYTE* pos, const BYTE* end, UINT pixelBytes, PixelPlacer* placer) {
  while (!placer->Done()) {
    if (pos >= end) return RefuseTga("run-length data truncated");
    const BYTE header = *pos++;
    const UINT count = (header & 0x7F) + 1u;
    if (header & 0x80) {
      if (end - pos < static_cast<ptrdiff_t>(pixelBytes)) return RefuseTga("run-length data truncated");
      for (UINT i = 0; i < count && !placer->Done(); ++i) placer->Place(pos);
      pos += pixelBytes;
    } else {
      if (static_cast<uint64_t>(end - pos) < uint64_t{count} * pixelBytes) return RefuseTga("run-length data truncated");
      for (UINT i = 0; i < count && !placer->Done(); ++i) {
        placer->Place(pos);
        pos += pixelBytes;
      }
    }
  }
  return S_OK;
}

}  // namespace

HRESULT DecodeTga(DecodedImage* image, const BYTE* data, size_t size) {
  if (size <= 17) return E_FAIL;
  TgaHeader h = ReadHeader(data);
  if (!Accepts(h)) return E_FAIL;
  h.attributeType = ExtensionAttributeType(data, size);
  const uint64_t pixelStart = h.PixelStart();
  if (pixelStart > size) return RefuseTga("colour map runs past the end of the data");
  const UINT pixelBytes = h.PixelBytes();
  if (!DecodedSizeFits(h.width, h.height, 1, pixelBytes)) return RefuseTga("image too large");
  const uint64_t pixelCount = uint64_t{h.width} * h.height;
  if (!h.Rle() && size - pixelStart < pixelCount * pixelBytes) return RefuseTga("pixel data truncated");

  DescribePicture(image, FormatOf(h), h.width, h.height, h.width * pixelBytes, h.width * pixelBytes * h.height);
  if (!image->loadPixels) return S_OK;
  if (h.Kind() == 1) {
    const HRESULT hr = ReadColourMap(h, data, image);
    if (FAILED(hr)) return hr;
  }
  BYTE* out = AllocatePixels(image, image->slicePitch);
  if (out == nullptr) return E_OUTOFMEMORY;

  PixelPlacer placer(h, out, image->rowPitch);
  const BYTE* pos = data + pixelStart;
  if (h.Rle()) {
    const HRESULT hr = ReadRunLengthPixels(pos, data + size, pixelBytes, &placer);
    if (FAILED(hr)) return hr;
  } else {
    for (; !placer.Done(); pos += pixelBytes) placer.Place(pos);
  }
  if (h.GuessOpaque16() && FormatOf(h) == D3DFMT_A1R5G5B5) SetAttributeBitsIfAllClear(out, size_t(pixelCount));
  return S_OK;
}

}  // namespace gfx

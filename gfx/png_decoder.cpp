// png_decoder.cpp — PNG images through libspng: every colour type and bit
// depth, interlaced or not, palettes with tRNS, grey and RGB with tRNS.
//
// Values are kept as stored: no gamma correction on load. A CRC error in
// any chunk up to IEND (the last IDAT included, which libspng may finish
// the picture without checking), or a bad zlib stream or checksum, refuses
// the file, and the report names the chunk. Output
// formats: 8-bit palettes to P8 (tRNS alpha in the palette), smaller ones
// to A8R8G8B8; grey to L8, or A8L8 with alpha or tRNS; colour to R8G8B8, or
// A8R8G8B8 with alpha or tRNS; 16-bit channels to L16, the 16-bit
// luminance-alpha and colour intermediates, or A16B16G16R16.
// libspng is asked for no more than the declared picture: its size is
// checked against the decoders' bound before anything is decompressed, and
// ancillary chunks may not hold more than the file plus the picture.
// Depends on: gfx/image_decoders.h, gfx/debug_report.h, libspng.
#include <cstdint>
#include <cstring>
#include <memory>
#include <utility>

#include <spng.h>

#include "gfx/debug_report.h"
#include "gfx/image_decoders.h"

namespace gfx {
namespace {

struct ContextFree {
  void operator()(spng_ctx* ctx) const { spng_ctx_free(ctx); }
};
using Context = std::unique_ptr<spng_ctx, ContextFree>;

// CRC-32 of the PNG chunks (polynomial 0xEDB88320), eight bytes a step.
struct CrcTables {
  uint32_t t[8][256];
  constexpr CrcTables() : t{} {
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[0][i] = c;
    }
    for (uint32_t i = 0; i < 256; ++i) {
      for (int s = 1; s < 8; ++s) t[s][i] = (t[s - 1][i] >> 8) ^ t[0][t[s - 1][i] & 0xFF];
    }
  }
};
constexpr CrcTables kCrc;

uint32_t Crc32(const BYTE* p, size_t n) {
  uint32_t c = 0xFFFFFFFFu;
  for (; n >= 8; n -= 8, p += 8) {
    const uint32_t lo = c ^ (uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24);
    c = kCrc.t[7][lo & 0xFF] ^ kCrc.t[6][(lo >> 8) & 0xFF] ^ kCrc.t[5][(lo >> 16) & 0xFF] ^ kCrc.t[4][lo >> 24] ^
        kCrc.t[3][p[4]] ^ kCrc.t[2][p[5]] ^ kCrc.t[1][p[6]] ^ kCrc.t[0][p[7]];
  }
  while (n-- > 0) c = kCrc.t[0][(c ^ *p++) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

uint32_t ReadBig32(const BYTE* p) {
  return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | uint32_t{p[3]};
}

// Checks the CRC of every whole chunk from the signature to IEND; a chunk
// cut short by the end of the data is left to libspng, which refuses it.
// On a mismatch names the chunk in `name` (four letters) and returns false.
bool ChunkCrcsMatch(const BYTE* data, size_t size, char name[5]) {
  size_t at = 8;
  while (size - at >= 12) {
    const uint32_t length = ReadBig32(data + at);
    if (length > size - at - 12) return true;
    const BYTE* type = data + at + 4;
    if (Crc32(type, 4 + size_t{length}) != ReadBig32(type + 4 + length)) {
      for (int i = 0; i < 4; ++i) name[i] = (type[i] >= 0x20 && type[i] < 0x7F) ? static_cast<char>(type[i]) : '?';
      name[4] = '\0';
      return false;
    }
    if (std::memcmp(type, "IEND", 4) == 0) return true;
    at += 12 + size_t{length};
  }
  return true;
}

HRESULT Refuse(int error) {
  DebugReport(0, "PNG: %s", spng_strerror(error));
  return E_FAIL;
}

// How one colour type and depth is asked of libspng and labelled.
struct Plan {
  int fmt = 0;
  int flags = 0;
  D3DFORMAT format = D3DFMT_UNKNOWN;
  UINT bytes = 0;        // per output pixel
  bool swapRedBlue = false;
};

Plan PlanFor(const spng_ihdr& ihdr, bool hasTrns) {
  Plan p;
  const bool deep = ihdr.bit_depth == 16;
  switch (ihdr.color_type) {
    case SPNG_COLOR_TYPE_INDEXED:
      // 8-bit indices are kept with their palette; 1, 2 and 4-bit ones are
      // expanded through it by the library (which also deinterlaces them).
      if (ihdr.bit_depth == 8) p = {SPNG_FMT_PNG, 0, D3DFMT_P8, 1};
      else p = {SPNG_FMT_RGBA8, SPNG_DECODE_TRNS, D3DFMT_A8R8G8B8, 4, true};
      break;
    case SPNG_COLOR_TYPE_GRAYSCALE:
      if (deep && hasTrns) p = {SPNG_FMT_GA16, SPNG_DECODE_TRNS, kFormatL16A16, 4};
      else if (deep) p = {SPNG_FMT_PNG, 0, D3DFMT_L16, 2};
      else if (hasTrns) p = {SPNG_FMT_GA8, SPNG_DECODE_TRNS, D3DFMT_A8L8, 2};
      else p = {SPNG_FMT_G8, 0, D3DFMT_L8, 1};
      break;
    case SPNG_COLOR_TYPE_GRAYSCALE_ALPHA:
      // Stored exactly as A8L8 and the 16-bit intermediate lay them out.
      if (deep) p = {SPNG_FMT_PNG, 0, kFormatL16A16, 4};
      else p = {SPNG_FMT_PNG, 0, D3DFMT_A8L8, 2};
      break;
    case SPNG_COLOR_TYPE_TRUECOLOR:
      if (deep && hasTrns) p = {SPNG_FMT_RGBA16, SPNG_DECODE_TRNS, D3DFMT_A16B16G16R16, 8};
      else if (deep) p = {SPNG_FMT_PNG, 0, kFormatR16G16B16, 6};
      else if (hasTrns) p = {SPNG_FMT_RGBA8, SPNG_DECODE_TRNS, D3DFMT_A8R8G8B8, 4, true};
      else p = {SPNG_FMT_RGB8, 0, D3DFMT_R8G8B8, 3, true};
      break;
    case SPNG_COLOR_TYPE_TRUECOLOR_ALPHA:
      if (deep) p = {SPNG_FMT_RGBA16, 0, D3DFMT_A16B16G16R16, 8};
      else p = {SPNG_FMT_RGBA8, 0, D3DFMT_A8R8G8B8, 4, true};
      break;
    default:
      break;
  }
  return p;
}

// RGBA bytes to BGRA (A8R8G8B8 in memory), in place.
void SwapRedBlue4(BYTE* pixels, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    uint32_t v;
    std::memcpy(&v, pixels + 4 * i, 4);
    v = (v & 0xFF00FF00u) | ((v >> 16) & 0xFFu) | ((v & 0xFFu) << 16);
    std::memcpy(pixels + 4 * i, &v, 4);
  }
}

void SwapRedBlue3(BYTE* pixels, size_t count) {
  for (size_t i = 0; i < count; ++i) std::swap(pixels[3 * i], pixels[3 * i + 2]);
}

}  // namespace

HRESULT DecodePng(DecodedImage* image, const BYTE* data, size_t size) {
  if (!LooksLikePng(data, size)) return E_FAIL;
  Context ctx(spng_ctx_new(0));
  if (!ctx) return E_OUTOFMEMORY;
  spng_set_crc_action(ctx.get(), SPNG_CRC_ERROR, SPNG_CRC_ERROR);
  int r = spng_set_png_buffer(ctx.get(), data, size);
  if (r != 0) return Refuse(r);

  spng_ihdr ihdr{};
  r = spng_get_ihdr(ctx.get(), &ihdr);
  if (r != 0) return Refuse(r);
  spng_trns trns{};
  const bool hasTrns = spng_get_trns(ctx.get(), &trns) == 0;
  const Plan plan = PlanFor(ihdr, hasTrns);
  if (plan.format == D3DFMT_UNKNOWN) return Refuse(SPNG_ECOLOR_TYPE);
  if (!DecodedSizeFits(ihdr.width, ihdr.height, 1, plan.bytes)) {
    DebugReport(0, "PNG: image too large");
    return E_FAIL;
  }
  const uint64_t pictureBytes = uint64_t{ihdr.width} * ihdr.height * plan.bytes;
  spng_set_chunk_limits(ctx.get(), size, size + pictureBytes);

  image->format = plan.format;
  image->width = ihdr.width;
  image->height = ihdr.height;
  image->depth = 1;
  image->rowPitch = ihdr.width * plan.bytes;
  image->slicePitch = image->rowPitch * ihdr.height;
  image->resourceType = D3DRTYPE_TEXTURE;
  if (!image->loadPixels) return S_OK;

  char badChunk[5];
  if (!ChunkCrcsMatch(data, size, badChunk)) {
    DebugReport(0, "PNG: CRC error in chunk %s", badChunk);
    return E_FAIL;
  }

  size_t decodedBytes = 0;
  r = spng_decoded_image_size(ctx.get(), plan.fmt, &decodedBytes);
  if (r != 0) return Refuse(r);
  if (decodedBytes != pictureBytes) return Refuse(SPNG_EOVERFLOW);

  BYTE* out = AllocateImageBytes(size_t(pictureBytes));
  if (out == nullptr) return E_OUTOFMEMORY;
  image->pixels = out;
  image->pixelsOwned = true;

  if (plan.format == D3DFMT_P8) {
    spng_plte plte{};
    r = spng_get_plte(ctx.get(), &plte);
    if (r != 0) return Refuse(r);
    PALETTEENTRY* palette = reinterpret_cast<PALETTEENTRY*>(AllocateImageBytes(256 * sizeof(PALETTEENTRY)));
    if (palette == nullptr) return E_OUTOFMEMORY;
    image->palette = palette;
    image->paletteOwned = true;
    for (UINT i = 0; i < 256; ++i) palette[i] = PALETTEENTRY{0, 0, 0, 255};
    for (UINT i = 0; i < plte.n_entries && i < 256; ++i) {
      palette[i] = PALETTEENTRY{plte.entries[i].red, plte.entries[i].green, plte.entries[i].blue, 255};
    }
    if (hasTrns) {
      for (UINT i = 0; i < trns.n_type3_entries && i < 256; ++i) palette[i].peFlags = trns.type3_alpha[i];
    }
  }

  r = spng_decode_image(ctx.get(), out, size_t(pictureBytes), plan.fmt, plan.flags);
  if (r != 0) return Refuse(r);

  const size_t pixels = size_t{ihdr.width} * ihdr.height;
  if (plan.swapRedBlue) {
    if (plan.bytes == 4) SwapRedBlue4(out, pixels);
    else SwapRedBlue3(out, pixels);
  }
  return S_OK;
}

}  // namespace gfx

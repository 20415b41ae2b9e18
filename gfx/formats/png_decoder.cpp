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
//
// libspng reads the header chunks. The common pictures (8 bits per channel,
// not interlaced) are then decompressed whole by libdeflate and unfiltered
// here, about twice as fast as libspng's row-by-row zlib stream. Anything
// unusual in the image data (a checksum, stray bytes after the stream, an
// unknown filter, chunks out of order) goes back to libspng's own decoding,
// so such files are judged exactly as before.
// Depends on: gfx/formats/image_decoders.h, gfx/debug_report.h, libspng, libdeflate.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <libdeflate.h>
#include <spng.h>

#include "gfx/debug_report.h"
#include "gfx/formats/image_decoders.h"

namespace gfx {
namespace {

struct ContextFree {
  void operator()(spng_ctx* ctx) const { spng_ctx_free(ctx); }
};
using Context = std::unique_ptr<spng_ctx, ContextFree>;

uint32_t ReadBigEndian(const BYTE* p) {
  return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}

// Checks the CRC of every whole chunk from the signature to IEND; a chunk
// cut short by the end of the data is left to libspng, which refuses it.
// On a mismatch names the chunk in `name` (four letters) and returns false.
bool ChunkCrcsMatch(const BYTE* data, size_t size, char name[5]) {
  size_t at = 8;
  while (size - at >= 12) {
    const uint32_t length = ReadBigEndian(data + at);
    if (length > size - at - 12) return true;
    const BYTE* type = data + at + 4;
    if (libdeflate_crc32(0, type, 4 + size_t{length}) != ReadBigEndian(type + 4 + length)) {
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


// --- Whole-stream decoding of 8-bit, non-interlaced pictures ---------------

// The zlib stream of every IDAT chunk, joined when there are several.
// False when the chunk layout is anything but signature, chunks, one run
// of IDAT, and only ancillary chunks between it and IEND.
bool CollectImageData(const BYTE* data, size_t size, std::vector<BYTE>* joined, const BYTE** stream,
                      size_t* streamSize) {
  size_t at = 8;
  const BYTE* first = nullptr;
  size_t firstSize = 0;
  int runs = 0;
  bool inRun = false;
  bool afterData = false;
  while (size - at >= 12) {
    const uint32_t length = ReadBigEndian(data + at);
    if (length > 0x7FFFFFFFu || length > size - at - 12) return false;
    const BYTE* type = data + at + 4;
    const BYTE* body = type + 4;
    at += size_t{length} + 12;
    if (std::memcmp(type, "IEND", 4) == 0) return runs == 1 && (first != nullptr || !joined->empty());
    const bool isData = std::memcmp(type, "IDAT", 4) == 0;
    if (isData) {
      if (!inRun && ++runs > 1) return false;
      inRun = true;
      afterData = true;
      if (first == nullptr && joined->empty()) {
        first = body;
        firstSize = length;
      } else {
        if (first != nullptr) {
          joined->reserve(size);  // all the image data fits in the file
          joined->assign(first, first + firstSize);
          first = nullptr;
        }
        joined->insert(joined->end(), body, body + length);
      }
      *stream = first != nullptr ? first : joined->data();
      *streamSize = first != nullptr ? firstSize : joined->size();
      continue;
    }
    inRun = false;
    if (afterData && (type[0] & 0x20) == 0) return false;  // a critical chunk after the picture
  }
  return false;  // no IEND
}

BYTE Paeth(int a, int b, int c) {
  const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
  return static_cast<BYTE>(pa <= pb && pa <= pc ? a : pb <= pc ? b : c);
}

#if defined(__SSE2__)
// Sub, Average and Paeth for 3- and 4-byte pixels, one pixel per step in
// 16-bit lanes (each pixel depends on the one to its left).
template <int kBpp>
__m128i LoadPixel(const BYTE* p) {
  uint32_t v = 0;
  std::memcpy(&v, p, kBpp);
  return _mm_unpacklo_epi8(_mm_cvtsi32_si128(int(v)), _mm_setzero_si128());
}

template <int kBpp>
void StorePixel(BYTE* p, __m128i v) {
  const uint32_t packed = uint32_t(_mm_cvtsi128_si32(_mm_packus_epi16(v, v)));
  std::memcpy(p, &packed, kBpp);
}

__m128i Abs16(__m128i v) { return _mm_max_epi16(v, _mm_sub_epi16(_mm_setzero_si128(), v)); }

__m128i Select(__m128i mask, __m128i yes, __m128i no) {
  return _mm_or_si128(_mm_and_si128(mask, yes), _mm_andnot_si128(mask, no));
}

template <int kFilter, int kBpp>
void UnfilterPixels(const BYTE* in, BYTE* out, const BYTE* prior, size_t bytes) {
  const __m128i low = _mm_set1_epi16(0xFF);
  __m128i a = _mm_setzero_si128(), c = _mm_setzero_si128();
  for (size_t i = 0; i < bytes; i += kBpp) {
    // 3-byte pixels are read four bytes at a time (the fourth lane is never
    // stored) except at the row's end: a 3-byte read stalls on the copy.
    const bool wide = i + 4 <= bytes;
    const __m128i b = wide ? LoadPixel<4>(prior + i) : LoadPixel<kBpp>(prior + i);
    __m128i x = wide ? LoadPixel<4>(in + i) : LoadPixel<kBpp>(in + i);
    if constexpr (kFilter == 1) {
      x = _mm_add_epi16(x, a);
    } else if constexpr (kFilter == 3) {
      x = _mm_add_epi16(x, _mm_srli_epi16(_mm_add_epi16(a, b), 1));
    } else {
      const __m128i pa = Abs16(_mm_sub_epi16(b, c));
      const __m128i pb = Abs16(_mm_sub_epi16(a, c));
      const __m128i pc = Abs16(_mm_sub_epi16(_mm_add_epi16(a, b), _mm_add_epi16(c, c)));
      const __m128i least = _mm_min_epi16(pa, _mm_min_epi16(pb, pc));
      x = _mm_add_epi16(x, Select(_mm_cmpeq_epi16(least, pa), a, Select(_mm_cmpeq_epi16(least, pb), b, c)));
    }
    x = _mm_and_si128(x, low);
    StorePixel<kBpp>(out + i, x);
    a = x;
    c = b;
  }
}

template <int kBpp>
void UnfilterPixels(int filter, const BYTE* in, BYTE* out, const BYTE* prior, size_t bytes) {
  if (filter == 1) UnfilterPixels<1, kBpp>(in, out, prior, bytes);
  else if (filter == 3) UnfilterPixels<3, kBpp>(in, out, prior, bytes);
  else UnfilterPixels<4, kBpp>(in, out, prior, bytes);
}
#endif

// Undoes one row's filter from `in` into `out`, which may be the same
// memory or lie before it; `prior` is the row above, already unfiltered
// (zeros above the first row).
void UnfilterRow(int filter, const BYTE* in, BYTE* out, const BYTE* prior, size_t bytes, int bpp) {
  switch (filter) {
    case 0:
      std::memmove(out, in, bytes);
      return;
    case 2:
      for (size_t i = 0; i < bytes; ++i) out[i] = static_cast<BYTE>(in[i] + prior[i]);
      return;
    default:
      break;
  }
#if defined(__SSE2__)
  if (bpp == 4) return UnfilterPixels<4>(filter, in, out, prior, bytes);
  if (bpp == 3) return UnfilterPixels<3>(filter, in, out, prior, bytes);
#endif
  const size_t step = size_t(bpp);
  for (size_t i = 0; i < bytes; ++i) {
    const int a = i >= step ? out[i - step] : 0;
    const int b = prior[i];
    const int c = i >= step ? prior[i - step] : 0;
    if (filter == 1) out[i] = static_cast<BYTE>(in[i] + a);
    else if (filter == 3) out[i] = static_cast<BYTE>(in[i] + ((a + b) >> 1));
    else out[i] = static_cast<BYTE>(in[i] + Paeth(a, b, c));
  }
}

// Red and blue trade places in each stored pixel. Done to a row before it
// is unfiltered: the filters treat every byte of a pixel alike, so the
// unfiltered row comes out in the swapped order too.
void SwapRedBlue(BYTE* row, size_t width, int channels) {
  if (channels == 4) SwapRedBlue4(row, width);
  else SwapRedBlue3(row, width);
}

// Stored samples (one row, unfiltered) to the alpha formats tRNS makes:
// grey to A8L8, colour to A8R8G8B8.
void ExpandTransparency(const spng_trns& trns, int channels, const BYTE* raw, BYTE* out, size_t width) {
  if (channels == 3) {
    for (size_t x = 0; x < width; ++x, raw += 3, out += 4) {
      const bool clear = raw[0] == trns.red && raw[1] == trns.green && raw[2] == trns.blue;
      out[0] = raw[2];
      out[1] = raw[1];
      out[2] = raw[0];
      out[3] = clear ? 0 : 255;
    }
    return;
  }
  for (size_t x = 0; x < width; ++x, ++raw, out += 2) {
    out[0] = raw[0];
    out[1] = raw[0] == trns.gray ? 0 : 255;
  }
}

int ChannelsOf(uint8_t colorType) {
  switch (colorType) {
    case SPNG_COLOR_TYPE_GRAYSCALE:
    case SPNG_COLOR_TYPE_INDEXED:
      return 1;
    case SPNG_COLOR_TYPE_GRAYSCALE_ALPHA:
      return 2;
    case SPNG_COLOR_TYPE_TRUECOLOR:
      return 3;
    default:
      return 4;
  }
}

// Whether the picture is one the whole-stream path takes.
bool WholeStreamFits(const spng_ihdr& ihdr, bool hasTrns, const spng_trns& trns) {
  if (ihdr.bit_depth != 8 || ihdr.interlace_method != 0) return false;
  return !hasTrns || (trns.gray <= 255 && trns.red <= 255 && trns.green <= 255 && trns.blue <= 255);
}

// Bytes the output buffer needs so the filtered rows can be inflated into
// it and unfiltered in place: one filter byte per row more than the
// picture, unless tRNS widens the pixels (then a buffer of its own is used).
size_t InPlaceBytes(const spng_ihdr& ihdr, const Plan& plan) {
  const size_t picture = size_t{ihdr.width} * ihdr.height * plan.bytes;
  return int(plan.bytes) == ChannelsOf(ihdr.color_type) ? picture + ihdr.height : picture;
}

enum class Whole { kDone, kDeclined, kNoMemory };

// Decodes the picture into `out` (InPlaceBytes long, laid out as `plan`
// says); kDeclined leaves the decision to libspng.
Whole DecodeWhole(const BYTE* data, size_t size, const spng_ihdr& ihdr, const Plan& plan, const spng_trns& trns,
                  BYTE* out) {
  std::vector<BYTE> joined;
  const BYTE* stream = nullptr;
  size_t streamSize = 0;
  if (!CollectImageData(data, size, &joined, &stream, &streamSize)) return Whole::kDeclined;

  const int channels = ChannelsOf(ihdr.color_type);
  const bool inPlace = int(plan.bytes) == channels;
  const size_t width = ihdr.width;
  const size_t rowBytes = width * size_t(channels);
  const size_t filtered = (rowBytes + 1) * ihdr.height;
  BYTE* rows = inPlace ? out : AllocateImageBytes(filtered);
  if (rows == nullptr) return Whole::kNoMemory;
  // Raw rows of a widened picture are unfiltered in their own buffer: the
  // row above is the previous raw row there, not the output.
  struct Scratch {
    BYTE* rows;
    bool owned;
    ~Scratch() {
      if (owned) FreeImageBytes(rows);
    }
  } scratch{rows, !inPlace};
  libdeflate_decompressor* inflater = libdeflate_alloc_decompressor();
  if (inflater == nullptr) return Whole::kNoMemory;
  size_t usedIn = 0, madeOut = 0;
  const libdeflate_result inflated =
      libdeflate_zlib_decompress_ex(inflater, stream, streamSize, rows, filtered, &usedIn, &madeOut);
  libdeflate_free_decompressor(inflater);
  if (inflated != LIBDEFLATE_SUCCESS || usedIn != streamSize || madeOut != filtered) return Whole::kDeclined;

  const std::vector<BYTE> zeros(rowBytes);
  const BYTE* prior = zeros.data();
  for (size_t y = 0; y < ihdr.height; ++y) {
    BYTE* row = rows + y * (rowBytes + 1);
    const int filter = row[0];
    if (filter > 4) return Whole::kDeclined;
    BYTE* raw = inPlace ? out + y * rowBytes : row + 1;
    if (inPlace && plan.swapRedBlue) SwapRedBlue(row + 1, width, channels);
    UnfilterRow(filter, row + 1, raw, prior, rowBytes, channels);
    if (!inPlace) ExpandTransparency(trns, channels, raw, out + y * width * plan.bytes, width);
    prior = raw;
  }
  return Whole::kDone;
}

}  // namespace

namespace {

HRESULT DecodePngWith(DecodedImage* image, const BYTE* data, size_t size, bool wholeStream) {
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

  DescribePicture(image, plan.format, ihdr.width, ihdr.height, ihdr.width * plan.bytes,
                  ihdr.width * plan.bytes * ihdr.height);
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

  const bool whole = wholeStream && WholeStreamFits(ihdr, hasTrns, trns);
  BYTE* out = AllocatePixels(image, whole ? InPlaceBytes(ihdr, plan) : size_t(pictureBytes));
  if (out == nullptr) return E_OUTOFMEMORY;

  if (plan.format == D3DFMT_P8) {
    spng_plte plte{};
    r = spng_get_plte(ctx.get(), &plte);
    if (r != 0) return Refuse(r);
    PALETTEENTRY* palette = AllocatePalette(image, PALETTEENTRY{0, 0, 0, 255});
    if (palette == nullptr) return E_OUTOFMEMORY;
    for (UINT i = 0; i < plte.n_entries && i < 256; ++i) {
      palette[i] = PALETTEENTRY{plte.entries[i].red, plte.entries[i].green, plte.entries[i].blue, 255};
    }
    if (hasTrns) {
      for (UINT i = 0; i < trns.n_type3_entries && i < 256; ++i) palette[i].peFlags = trns.type3_alpha[i];
    }
  }

  if (whole) {
    const Whole result = DecodeWhole(data, size, ihdr, plan, trns, out);
    if (result == Whole::kNoMemory) return E_OUTOFMEMORY;
    if (result == Whole::kDone) return S_OK;
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

}  // namespace

HRESULT DecodePng(DecodedImage* image, const BYTE* data, size_t size) {
  return DecodePngWith(image, data, size, true);
}

HRESULT DecodePngByRows(DecodedImage* image, const BYTE* data, size_t size) {
  return DecodePngWith(image, data, size, false);
}

}  // namespace gfx

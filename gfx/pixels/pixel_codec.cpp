// pixel_codec.cpp — per-format readers and writers of pixel rows.
//
// Unsigned normalised channels of n bits read as value * (1 / (2^n - 1)) and
// write as trunc(c * (2^n - 1) + offset); signed ones use 2^(n-1) - 1 and
// round down; floats are stored as they are (16-bit ones as IEEE halves).
// The P8 and A8R8G8B8 codecs, on every texture's road, have their own
// vectorised loops with the same arithmetic. Writers clamp the scaled value
// to the channel's range before truncating: values in range are unchanged,
// and a value out of range (or not a number) can never be converted into an
// integer it does not fit.
// Block-compressed (DXT1-DXT5) and packed pair formats are not read row by
// row: the dispatcher stages them through block_codec.h.
// Depends on: pixel_codec.h, image_decoders.h (the intermediates' codes).
#include "gfx/pixels/pixel_codec.h"

#include "gfx/formats/image_decoders.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include <emmintrin.h>

namespace gfx {

const float kPlainOffsets[32] = {0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f,
                                 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f,
                                 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f};

#define GFX_DITHER_ROW(a, b, c, d)                                                                       \
  (a + 0.5f) / 16.0f, (b + 0.5f) / 16.0f, (c + 0.5f) / 16.0f, (d + 0.5f) / 16.0f, (a + 0.5f) / 16.0f, \
      (b + 0.5f) / 16.0f, (c + 0.5f) / 16.0f, (d + 0.5f) / 16.0f
const float kDitherOffsets[32] = {GFX_DITHER_ROW(15, 7, 13, 5), GFX_DITHER_ROW(3, 11, 1, 9),
                                  GFX_DITHER_ROW(12, 4, 14, 6), GFX_DITHER_ROW(0, 8, 2, 10)};
#undef GFX_DITHER_ROW

namespace {

constexpr float kInv255 = 1.0f / 255.0f;

// ---------------------------------------------------------------------------
// Generic packed formats: up to 8 bytes per pixel, each channel a bit field.
struct Channel {
  BYTE shift = 0;
  BYTE bits = 0;  // 0: absent
  bool isSigned = false;
};

enum class Layout : BYTE { Packed, Luminance, Depth, Half, Float, CxV8U8 };

struct FormatInfo {
  D3DFORMAT format;
  int kind;
  BYTE bytes;
  Layout layout;
  Channel r, g, b, a;
  float absentColour;  // value of a missing red, green or blue
};

constexpr Channel U(BYTE shift, BYTE bits) { return Channel{shift, bits, false}; }
constexpr Channel S(BYTE shift, BYTE bits) { return Channel{shift, bits, true}; }
constexpr Channel N() { return Channel{}; }

// For Half and Float layouts the channel shifts are the float's index and
// bits its presence.
constexpr FormatInfo kFormats[] = {
    {D3DFMT_R8G8B8, kKindUnsigned, 3, Layout::Packed, U(16, 8), U(8, 8), U(0, 8), N(), 1.0f},
    {D3DFMT_A8R8G8B8, kKindUnsigned, 4, Layout::Packed, U(16, 8), U(8, 8), U(0, 8), U(24, 8), 1.0f},
    {D3DFMT_X8R8G8B8, kKindUnsigned, 4, Layout::Packed, U(16, 8), U(8, 8), U(0, 8), N(), 1.0f},
    {D3DFMT_R5G6B5, kKindUnsigned, 2, Layout::Packed, U(11, 5), U(5, 6), U(0, 5), N(), 1.0f},
    {D3DFMT_X1R5G5B5, kKindUnsigned, 2, Layout::Packed, U(10, 5), U(5, 5), U(0, 5), N(), 1.0f},
    {D3DFMT_A1R5G5B5, kKindUnsigned, 2, Layout::Packed, U(10, 5), U(5, 5), U(0, 5), U(15, 1), 1.0f},
    {D3DFMT_A4R4G4B4, kKindUnsigned, 2, Layout::Packed, U(8, 4), U(4, 4), U(0, 4), U(12, 4), 1.0f},
    {D3DFMT_R3G3B2, kKindUnsigned, 1, Layout::Packed, U(5, 3), U(2, 3), U(0, 2), N(), 1.0f},
    {D3DFMT_A8, kKindUnsigned, 1, Layout::Packed, N(), N(), N(), U(0, 8), 0.0f},
    {D3DFMT_A8R3G3B2, kKindUnsigned, 2, Layout::Packed, U(5, 3), U(2, 3), U(0, 2), U(8, 8), 1.0f},
    {D3DFMT_X4R4G4B4, kKindUnsigned, 2, Layout::Packed, U(8, 4), U(4, 4), U(0, 4), N(), 1.0f},
    {D3DFMT_A2B10G10R10, kKindUnsigned, 4, Layout::Packed, U(0, 10), U(10, 10), U(20, 10), U(30, 2), 1.0f},
    {D3DFMT_A8B8G8R8, kKindUnsigned, 4, Layout::Packed, U(0, 8), U(8, 8), U(16, 8), U(24, 8), 1.0f},
    {D3DFMT_X8B8G8R8, kKindUnsigned, 4, Layout::Packed, U(0, 8), U(8, 8), U(16, 8), N(), 1.0f},
    {D3DFMT_G16R16, kKindUnsigned, 4, Layout::Packed, U(0, 16), U(16, 16), N(), N(), 1.0f},
    {D3DFMT_A2R10G10B10, kKindUnsigned, 4, Layout::Packed, U(20, 10), U(10, 10), U(0, 10), U(30, 2), 1.0f},
    {D3DFMT_A16B16G16R16, kKindUnsigned, 8, Layout::Packed, U(0, 16), U(16, 16), U(32, 16), U(48, 16), 1.0f},
    {D3DFMT_L8, kKindUnsigned, 1, Layout::Luminance, U(0, 8), N(), N(), N(), 1.0f},
    {D3DFMT_A8L8, kKindUnsigned, 2, Layout::Luminance, U(0, 8), N(), N(), U(8, 8), 1.0f},
    {D3DFMT_A4L4, kKindUnsigned, 1, Layout::Luminance, U(0, 4), N(), N(), U(4, 4), 1.0f},
    {D3DFMT_L16, kKindUnsigned, 2, Layout::Luminance, U(0, 16), N(), N(), N(), 1.0f},
    // The PNG and PPM decoders' 16-bit-per-channel intermediates.
    {kFormatL16A16, kKindUnsigned, 4, Layout::Luminance, U(0, 16), N(), N(), U(16, 16), 1.0f},
    {kFormatR16G16B16, kKindUnsigned, 6, Layout::Packed, U(0, 16), U(16, 16), U(32, 16), N(), 1.0f},
    {D3DFMT_D16_LOCKABLE, kKindUnsigned, 2, Layout::Depth, U(0, 16), N(), N(), N(), 1.0f},
    {D3DFMT_V8U8, kKindSigned, 2, Layout::Packed, S(0, 8), S(8, 8), N(), N(), 1.0f},
    {D3DFMT_L6V5U5, kKindSignedColour, 2, Layout::Packed, S(0, 5), S(5, 5), N(), U(10, 6), 1.0f},
    {D3DFMT_X8L8V8U8, kKindSignedColour, 4, Layout::Packed, S(0, 8), S(8, 8), N(), U(16, 8), 1.0f},
    {D3DFMT_Q8W8V8U8, kKindSigned, 4, Layout::Packed, S(0, 8), S(8, 8), S(16, 8), S(24, 8), 1.0f},
    {D3DFMT_V16U16, kKindSigned, 4, Layout::Packed, S(0, 16), S(16, 16), N(), N(), 1.0f},
    {D3DFMT_A2W10V10U10, kKindSignedColour, 4, Layout::Packed, S(0, 10), S(10, 10), S(20, 10), U(30, 2), 1.0f},
    {D3DFMT_Q16W16V16U16, kKindSigned, 8, Layout::Packed, S(0, 16), S(16, 16), S(32, 16), S(48, 16), 1.0f},
    {D3DFMT_CxV8U8, kKindSigned, 2, Layout::CxV8U8, S(0, 8), S(8, 8), N(), N(), 1.0f},
    {D3DFMT_R16F, kKindFloat, 2, Layout::Half, U(0, 1), N(), N(), N(), 1.0f},
    {D3DFMT_G16R16F, kKindFloat, 4, Layout::Half, U(0, 1), U(1, 1), N(), N(), 1.0f},
    {D3DFMT_A16B16G16R16F, kKindFloat, 8, Layout::Half, U(0, 1), U(1, 1), U(2, 1), U(3, 1), 1.0f},
    {D3DFMT_R32F, kKindFloat, 4, Layout::Float, U(0, 1), N(), N(), N(), 1.0f},
    {D3DFMT_G32R32F, kKindFloat, 8, Layout::Float, U(0, 1), U(1, 1), N(), N(), 1.0f},
    {D3DFMT_A32B32G32R32F, kKindFloat, 16, Layout::Float, U(0, 1), U(1, 1), U(2, 1), U(3, 1), 1.0f},
    {D3DFMT_D32F_LOCKABLE, kKindFloat, 4, Layout::Float, U(0, 1), N(), N(), N(), 1.0f},
    // Palettised formats are read through their own functions; listed for
    // kind and size.
    {D3DFMT_P8, kKindUnsigned, 1, Layout::Packed, N(), N(), N(), N(), 1.0f},
    {D3DFMT_A8P8, kKindUnsigned, 2, Layout::Packed, N(), N(), N(), U(8, 8), 1.0f},
};

const FormatInfo* FindInfo(D3DFORMAT format) {
  for (const FormatInfo& f : kFormats) {
    if (f.format == format) return &f;
  }
  return nullptr;
}

uint64_t LoadBytes(const BYTE* p, UINT n) {
  uint64_t v = 0;
  for (UINT i = 0; i < n; ++i) v |= uint64_t{p[i]} << (8 * i);
  return v;
}

void StoreBytes(BYTE* p, UINT n, uint64_t v) {
  for (UINT i = 0; i < n; ++i) p[i] = static_cast<BYTE>(v >> (8 * i));
}

float ReadChannel(const Channel& c, uint64_t v, float absent) {
  if (c.bits == 0) return absent;
  uint64_t raw = (v >> c.shift) & ((uint64_t{1} << c.bits) - 1);
  if (!c.isSigned) return static_cast<float>(raw) * (1.0f / static_cast<float>((uint64_t{1} << c.bits) - 1));
  int64_t s = static_cast<int64_t>(raw);
  if (raw & (uint64_t{1} << (c.bits - 1))) s -= int64_t{1} << c.bits;
  float f = static_cast<float>(s) * (1.0f / static_cast<float>((int64_t{1} << (c.bits - 1)) - 1));
  return f < -1.0f ? -1.0f : f;
}

uint64_t WriteChannel(const Channel& c, float value, float offset) {
  if (c.bits == 0) return 0;
  if (!c.isSigned) {
    const float max = static_cast<float>((uint64_t{1} << c.bits) - 1);
    float v = value * max + offset;
    v = std::min(std::max(0.0f, v), max);  // lo first: NaN becomes 0
    return (static_cast<uint64_t>(v) & ((uint64_t{1} << c.bits) - 1)) << c.shift;
  }
  const float max = static_cast<float>((int64_t{1} << (c.bits - 1)) - 1);
  float v = std::floor(value * max + offset);
  v = std::min(std::max(-max, v), max);
  int64_t s = static_cast<int64_t>(v);
  return (static_cast<uint64_t>(s) & ((uint64_t{1} << c.bits) - 1)) << c.shift;
}

// Bits of a packed pixel that no channel uses: written as ones.
uint64_t UnusedBits(const FormatInfo& f) {
  uint64_t all = f.bytes >= 8 ? ~uint64_t{0} : (uint64_t{1} << (8 * f.bytes)) - 1;
  for (const Channel* c : {&f.r, &f.g, &f.b, &f.a}) {
    if (c->bits) all &= ~(((uint64_t{1} << c->bits) - 1) << c->shift);
  }
  return all;
}

float HalfToFloat(uint16_t h) {
  uint32_t sign = uint32_t(h & 0x8000) << 16;
  uint32_t exp = (h >> 10) & 0x1F;
  uint32_t mant = h & 0x3FF;
  uint32_t bits;
  if (exp == 0) {
    if (mant == 0) {
      bits = sign;
    } else {
      float f = std::ldexp(static_cast<float>(mant), -24);
      return sign ? -f : f;
    }
  } else if (exp == 31) {
    bits = sign | 0x7F800000 | (mant << 13);
  } else {
    bits = sign | ((exp + 112) << 23) | (mant << 13);
  }
  float f;
  std::memcpy(&f, &bits, 4);
  return f;
}

uint16_t FloatToHalf(float f) {
  uint32_t bits;
  std::memcpy(&bits, &f, 4);
  uint16_t sign = static_cast<uint16_t>((bits >> 16) & 0x8000);
  uint32_t exp = (bits >> 23) & 0xFF;
  uint32_t mant = bits & 0x7FFFFF;
  if (exp == 0xFF) return sign | 0x7C00 | (mant ? 0x200 : 0);
  int e = static_cast<int>(exp) - 127 + 15;
  if (e >= 31) return sign | 0x7C00;
  if (e <= 0) {
    if (e < -10) return sign;
    mant |= 0x800000;
    uint32_t shift = static_cast<uint32_t>(14 - e);
    uint32_t half = mant >> shift;
    uint32_t rest = mant & ((1u << shift) - 1);
    uint32_t mid = 1u << (shift - 1);
    if (rest > mid || (rest == mid && (half & 1))) ++half;
    return sign | static_cast<uint16_t>(half);
  }
  uint32_t half = (static_cast<uint32_t>(e) << 10) | (mant >> 13);
  uint32_t rest = mant & 0x1FFF;
  if (rest > 0x1000 || (rest == 0x1000 && (half & 1))) ++half;  // may carry into infinity, as it should
  return sign | static_cast<uint16_t>(half);
}

float Luminance(const Pixel& p) { return 0.2125f * p.r + 0.7154f * p.g + 0.0721f * p.b; }

const FormatInfo& InfoOf(const ImageView& view) { return *FindInfo(view.format); }

// ---------------------------------------------------------------------------
// Generic readers and writers.
void ReadGeneric(const ImageView& view, const BYTE* src, Pixel* out, UINT width) {
  const FormatInfo& f = InfoOf(view);
  for (UINT x = 0; x < width; ++x, src += f.bytes) {
    Pixel& p = out[x];
    switch (f.layout) {
      case Layout::Packed:
      case Layout::CxV8U8: {
        uint64_t v = LoadBytes(src, f.bytes);
        p.r = ReadChannel(f.r, v, f.absentColour);
        p.g = ReadChannel(f.g, v, f.absentColour);
        p.b = ReadChannel(f.b, v, f.absentColour);
        p.a = ReadChannel(f.a, v, 1.0f);
        if (f.layout == Layout::CxV8U8) {
          float rest = 1.0f - p.r * p.r - p.g * p.g;
          p.b = rest > 0.0f ? std::sqrt(rest) : 0.0f;
        }
        break;
      }
      case Layout::Luminance:
      case Layout::Depth: {
        uint64_t v = LoadBytes(src, f.bytes);
        p.r = p.g = p.b = ReadChannel(f.r, v, 1.0f);
        p.a = ReadChannel(f.a, v, 1.0f);
        break;
      }
      case Layout::Half:
      case Layout::Float: {
        float c[4] = {1.0f, 1.0f, 1.0f, 1.0f};
        const Channel* ch[4] = {&f.r, &f.g, &f.b, &f.a};
        for (int i = 0; i < 4; ++i) {
          if (!ch[i]->bits) continue;
          if (f.layout == Layout::Half) {
            c[i] = HalfToFloat(static_cast<uint16_t>(LoadBytes(src + 2 * ch[i]->shift, 2)));
          } else {
            uint32_t bits = static_cast<uint32_t>(LoadBytes(src + 4 * ch[i]->shift, 4));
            std::memcpy(&c[i], &bits, 4);
          }
        }
        if (f.format == D3DFMT_D32F_LOCKABLE) c[1] = c[2] = c[0];
        p = Pixel{c[0], c[1], c[2], c[3]};
        break;
      }
    }
  }
}

void WriteGeneric(const ImageView& view, BYTE* dst, const Pixel* in, UINT width, UINT y, UINT z) {
  const FormatInfo& f = InfoOf(view);
  const float* offsets = view.dither + (y & 3) * 8 + (z & 3);
  const uint64_t unused = UnusedBits(f);
  for (UINT x = 0; x < width; ++x, dst += f.bytes) {
    const Pixel& p = in[x];
    const float off = offsets[x & 3];
    switch (f.layout) {
      case Layout::Packed:
      case Layout::CxV8U8: {
        uint64_t v = unused | WriteChannel(f.r, p.r, off) | WriteChannel(f.g, p.g, off) |
                     WriteChannel(f.b, p.b, off) | WriteChannel(f.a, p.a, off);
        StoreBytes(dst, f.bytes, v);
        break;
      }
      case Layout::Luminance:
      case Layout::Depth: {
        float l = f.layout == Layout::Depth ? p.r : Luminance(p);
        StoreBytes(dst, f.bytes, WriteChannel(f.r, l, off) | WriteChannel(f.a, p.a, off));
        break;
      }
      case Layout::Half:
      case Layout::Float: {
        const float c[4] = {p.r, p.g, p.b, p.a};
        const Channel* ch[4] = {&f.r, &f.g, &f.b, &f.a};
        for (int i = 0; i < 4; ++i) {
          if (!ch[i]->bits) continue;
          if (f.layout == Layout::Half) {
            StoreBytes(dst + 2 * ch[i]->shift, 2, FloatToHalf(c[i]));
          } else {
            uint32_t bits;
            std::memcpy(&bits, &c[i], 4);
            StoreBytes(dst + 4 * ch[i]->shift, 4, bits);
          }
        }
        break;
      }
    }
  }
}

// ---------------------------------------------------------------------------
// Palettised formats.
void ReadP8(const ImageView& view, const BYTE* src, Pixel* out, UINT width) {
  for (UINT x = 0; x < width; ++x) out[x] = view.palette[src[x]];
}

void ReadA8P8(const ImageView& view, const BYTE* src, Pixel* out, UINT width) {
  for (UINT x = 0; x < width; ++x) {
    out[x] = view.palette[src[2 * x]];
    out[x].a = static_cast<float>(src[2 * x + 1]) * kInv255;
  }
}

// The nearest palette entry by squared distance over the four channels.
BYTE NearestEntry(const ImageView& view, const Pixel& p, bool withAlpha) {
  BYTE best = 0;
  float bestDistance = INFINITY;
  for (int i = 0; i < 256; ++i) {
    const Pixel& e = view.palette[i];
    float dr = e.r - p.r, dg = e.g - p.g, db = e.b - p.b, da = withAlpha ? e.a - p.a : 0.0f;
    float d = dr * dr + dg * dg + db * db + da * da;
    if (d < bestDistance) {
      bestDistance = d;
      best = static_cast<BYTE>(i);
    }
  }
  return best;
}

void WriteP8(const ImageView& view, BYTE* dst, const Pixel* in, UINT width, UINT, UINT) {
  for (UINT x = 0; x < width; ++x) dst[x] = NearestEntry(view, in[x], true);
}

void WriteA8P8(const ImageView& view, BYTE* dst, const Pixel* in, UINT width, UINT y, UINT z) {
  const float* offsets = view.dither + (y & 3) * 8 + (z & 3);
  for (UINT x = 0; x < width; ++x) {
    dst[2 * x] = NearestEntry(view, in[x], false);
    dst[2 * x + 1] = static_cast<BYTE>(WriteChannel(U(0, 8), in[x].a, offsets[x & 3]));
  }
}

// ---------------------------------------------------------------------------
// A8R8G8B8 and X8R8G8B8, four channels at once.
inline __m128 LoadBgra(const BYTE* p) {
  int32_t word;
  std::memcpy(&word, p, 4);
  __m128i v = _mm_cvtsi32_si128(word);
  v = _mm_unpacklo_epi8(v, _mm_setzero_si128());
  v = _mm_unpacklo_epi16(v, _mm_setzero_si128());
  __m128 f = _mm_cvtepi32_ps(v);                             // b, g, r, a
  return _mm_shuffle_ps(f, f, _MM_SHUFFLE(3, 0, 1, 2));      // r, g, b, a
}

void ReadA8R8G8B8(const ImageView&, const BYTE* src, Pixel* out, UINT width) {
  const __m128 k = _mm_set1_ps(kInv255);
  for (UINT x = 0; x < width; ++x) _mm_store_ps(&out[x].r, _mm_mul_ps(LoadBgra(src + 4 * x), k));
}

void ReadX8R8G8B8(const ImageView&, const BYTE* src, Pixel* out, UINT width) {
  const __m128 k = _mm_set1_ps(kInv255);
  for (UINT x = 0; x < width; ++x) {
    _mm_store_ps(&out[x].r, _mm_mul_ps(LoadBgra(src + 4 * x), k));
    out[x].a = 1.0f;
  }
}

template <bool kOpaque>
void WriteArgb(const ImageView& view, BYTE* dst, const Pixel* in, UINT width, UINT y, UINT z) {
  const float* offsets = view.dither + (y & 3) * 8 + (z & 3);
  const __m128 scale = _mm_set1_ps(255.0f);
  const __m128 lo = _mm_setzero_ps();
  const __m128 hi = _mm_set1_ps(255.0f);
  const __m128 off[4] = {_mm_set1_ps(offsets[0]), _mm_set1_ps(offsets[1]), _mm_set1_ps(offsets[2]),
                         _mm_set1_ps(offsets[3])};
  auto channels = [&](UINT x) {
    __m128 v = _mm_add_ps(_mm_mul_ps(_mm_load_ps(&in[x].r), scale), off[x & 3]);
    v = _mm_min_ps(_mm_max_ps(v, lo), hi);  // max first: NaN becomes 0
    v = _mm_shuffle_ps(v, v, _MM_SHUFFLE(3, 0, 1, 2));  // b, g, r, a
    return _mm_cvttps_epi32(v);
  };
  const __m128i opaque = _mm_set1_epi32(kOpaque ? static_cast<int>(0xFF000000u) : 0);
  UINT x = 0;
  // Four pixels to one store; every value is already within 0..255, so the
  // narrowing packs change none.
  for (; x + 4 <= width; x += 4) {
    const __m128i lo2 = _mm_packs_epi32(channels(x), channels(x + 1));
    const __m128i hi2 = _mm_packs_epi32(channels(x + 2), channels(x + 3));
    const __m128i four = _mm_or_si128(_mm_packus_epi16(lo2, hi2), opaque);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 4 * x), four);
  }
  for (; x < width; ++x) {
    __m128i i = channels(x);
    i = _mm_packs_epi32(i, i);
    i = _mm_packus_epi16(i, i);
    uint32_t word = static_cast<uint32_t>(_mm_cvtsi128_si32(i));
    if (kOpaque) word |= 0xFF000000u;
    std::memcpy(dst + 4 * x, &word, 4);
  }
}

void ApplyGammaDecode(Pixel* p, UINT width) {
  for (UINT x = 0; x < width; ++x) {
    if (p[x].r > 0.0f) p[x].r = std::pow(p[x].r, 2.2f);
    if (p[x].g > 0.0f) p[x].g = std::pow(p[x].g, 2.2f);
    if (p[x].b > 0.0f) p[x].b = std::pow(p[x].b, 2.2f);
  }
}

void ApplyGammaEncode(Pixel* p, UINT width) {
  for (UINT x = 0; x < width; ++x) {
    if (p[x].r > 0.0f) p[x].r = std::pow(p[x].r, 1.0f / 2.2f);
    if (p[x].g > 0.0f) p[x].g = std::pow(p[x].g, 1.0f / 2.2f);
    if (p[x].b > 0.0f) p[x].b = std::pow(p[x].b, 1.0f / 2.2f);
  }
}

float Clamp(float v, float lo, float hi) { return std::min(std::max(lo, v), hi); }  // NaN becomes lo

// Converts one pixel from kind `from` into kind `to`.
void ConvertKind(Pixel& p, int from, int to) {
  auto toUnsigned = [](float v) { return (v + 1.0f) * 0.5f; };
  auto toSigned = [](float v) { return v * 2.0f - 1.0f; };
  switch (to) {
    case kKindUnsigned:
      if (from == kKindSignedColour) {
        p.r = toUnsigned(p.r), p.g = toUnsigned(p.g), p.b = toUnsigned(p.b);
      } else if (from == kKindSigned) {
        p.r = toUnsigned(p.r), p.g = toUnsigned(p.g), p.b = toUnsigned(p.b), p.a = toUnsigned(p.a);
      } else if (from == kKindFloat) {
        p.r = Clamp(p.r, 0, 1), p.g = Clamp(p.g, 0, 1), p.b = Clamp(p.b, 0, 1), p.a = Clamp(p.a, 0, 1);
      }
      break;
    case kKindSignedColour:
      if (from == kKindUnsigned) {
        p.r = toSigned(p.r), p.g = toSigned(p.g), p.b = toSigned(p.b);
      } else if (from == kKindSigned) {
        p.a = toUnsigned(p.a);
      } else if (from == kKindFloat) {
        p.r = Clamp(p.r, -1, 1), p.g = Clamp(p.g, -1, 1), p.b = Clamp(p.b, -1, 1), p.a = Clamp(p.a, 0, 1);
      }
      break;
    case kKindSigned:
      if (from == kKindUnsigned) {
        p.r = toSigned(p.r), p.g = toSigned(p.g), p.b = toSigned(p.b), p.a = toSigned(p.a);
      } else if (from == kKindSignedColour) {
        p.a = toSigned(p.a);
      } else if (from == kKindFloat) {
        p.r = Clamp(p.r, -1, 1), p.g = Clamp(p.g, -1, 1), p.b = Clamp(p.b, -1, 1), p.a = Clamp(p.a, -1, 1);
      }
      break;
    default:
      break;
  }
}

}  // namespace

bool HasCodec(D3DFORMAT format) { return FindInfo(format) != nullptr; }

int FormatKind(D3DFORMAT format) {
  const FormatInfo* f = FindInfo(format);
  return f ? f->kind : kKindNone;
}

UINT FormatBits(D3DFORMAT format) {
  const FormatInfo* f = FindInfo(format);
  return f ? f->bytes * 8u : 0u;
}

bool MakeCodec(ImageView* view) {
  const FormatInfo* f = FindInfo(view->format);
  if (f == nullptr) return false;
  view->kind = f->kind;
  view->bitsPerPixel = f->bytes * 8u;
  view->rowBytes = view->width * f->bytes;
  if (view->dither == nullptr) view->dither = kPlainOffsets;
  // Gamma is a property of colour, not of signed vectors.
  if (view->kind == kKindSigned || (view->kind == kKindSignedColour && view->format != D3DFMT_L6V5U5)) {
    view->gamma = false;
  }
  switch (view->format) {
    case D3DFMT_A8R8G8B8:
      view->read = ReadA8R8G8B8;
      view->write = WriteArgb<false>;
      break;
    case D3DFMT_X8R8G8B8:
      view->read = ReadX8R8G8B8;
      view->write = WriteArgb<true>;
      break;
    case D3DFMT_P8:
      view->read = ReadP8;
      view->write = WriteP8;
      break;
    case D3DFMT_A8P8:
      view->read = ReadA8P8;
      view->write = WriteA8P8;
      break;
    default:
      view->read = ReadGeneric;
      view->write = WriteGeneric;
      break;
  }

  if (view->keyOn) {
    // The key becomes exactly what a source pixel of that colour reads as.
    Pixel key = view->key;
    if (view->kind != kKindUnsigned && view->kind != kKindFloat) ConvertKind(key, kKindUnsigned, view->kind);
    alignas(16) BYTE cell[16] = {};
    const float* dither = view->dither;
    view->dither = kPlainOffsets;
    view->write(*view, cell, &key, 1, 0, 0);
    view->dither = dither;
    alignas(16) Pixel back[1];
    view->read(*view, cell, back, 1);
    view->key = back[0];
  }
  return true;
}

void ReadRow(const ImageView& view, UINT y, UINT z, Pixel* out) {
  view.read(view, RowPointer(view, y, z), out, view.width);
  if (view.keyOn) {
    const __m128 key = _mm_load_ps(&view.key.r);
    for (UINT x = 0; x < view.width; ++x) {
      __m128 p = _mm_load_ps(&out[x].r);
      if (_mm_movemask_ps(_mm_cmpeq_ps(p, key)) == 0xF) _mm_store_ps(&out[x].r, _mm_setzero_ps());
    }
  }
  if (view.gamma && view.gammaWork) ApplyGammaDecode(out, view.width);
}

void WriteRow(const ImageView& view, UINT y, UINT z, const Pixel* in) {
  const bool gammaWork = view.gamma && view.gammaWork;
  if (gammaWork || view.conversion != kKindNone) {
    // The caller's row may be read again (point sampling, the none filter):
    // transform a copy.
    if (view.scratch.size() < view.width) view.scratch.resize(view.width);
    Pixel* row = view.scratch.data();
    std::copy(in, in + view.width, row);
    if (gammaWork) ApplyGammaEncode(row, view.width);
    if (view.conversion != kKindNone) {
      for (UINT x = 0; x < view.width; ++x) ConvertKind(row[x], view.conversion, view.kind);
    }
    in = row;
  }
  BYTE* dst = const_cast<BYTE*>(RowPointer(view, y, z));
  view.write(view, dst, in, view.width, y, z);
}

}  // namespace gfx

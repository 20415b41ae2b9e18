// rasterizer.cpp — triangle setup, the pixel pipeline and the aligned-quad
// fast road of the software device.
//
// Positions are snapped to 1/256 pixel and coverage is decided with exact
// integer edge functions, so shared edges are filled exactly once. Texture
// coordinates are rounded to 1/256 texel before filtering, which keeps a
// one-to-one mapping exact in the face of float noise.
#include "platform/d3d9/rasterizer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "host/pixel_rows.h"
#include "platform/d3d9/pixel_formats.h"

namespace d3d9sw {
namespace {

bool g_fastPath = true;
uint64_t g_fastDraws = 0;

// Rounded x / 255 for the products of two 8-bit values.
inline uint32_t Div255(uint32_t x) { return (x + 127) / 255; }
inline uint32_t Chan(uint32_t c, int shift) { return (c >> shift) & 0xFFu; }

uint32_t StageArg(const Pipeline& p, DWORD arg, uint32_t texel, uint32_t diffuse) {
  uint32_t v;
  switch (arg & D3DTA_SELECTMASK) {
    case D3DTA_DIFFUSE:
    case D3DTA_CURRENT:  // stage 0: the current colour is the diffuse colour
      v = diffuse;
      break;
    case D3DTA_TEXTURE: v = texel; break;
    case D3DTA_TFACTOR: v = p.textureFactor; break;
    case D3DTA_CONSTANT: v = p.stageConstant; break;
    default: v = 0; break;  // specular and temp hold black here
  }
  if (arg & D3DTA_COMPLEMENT) v = ~v;
  if (arg & D3DTA_ALPHAREPLICATE) v = (v >> 24) * 0x01010101u;
  return v;
}

inline uint32_t StageOp(DWORD op, uint32_t a, uint32_t b) {
  switch (op) {
    case D3DTOP_SELECTARG1: return a;
    case D3DTOP_SELECTARG2: return b;
    case D3DTOP_MODULATE: return Div255(a * b);
    case D3DTOP_MODULATE2X: return std::min<uint32_t>(255, Div255(2 * a * b));
    case D3DTOP_MODULATE4X: return std::min<uint32_t>(255, Div255(4 * a * b));
    case D3DTOP_ADD: return std::min<uint32_t>(255, a + b);
    case D3DTOP_SUBTRACT: return a > b ? a - b : 0;
    default: return a;
  }
}

bool OpSupported(DWORD op) {
  switch (op) {
    case D3DTOP_DISABLE:
    case D3DTOP_SELECTARG1:
    case D3DTOP_SELECTARG2:
    case D3DTOP_MODULATE:
    case D3DTOP_MODULATE2X:
    case D3DTOP_MODULATE4X:
    case D3DTOP_ADD:
    case D3DTOP_SUBTRACT: return true;
    default: return false;
  }
}

bool BlendSupported(DWORD b) { return b >= D3DBLEND_ZERO && b <= D3DBLEND_INVBLENDFACTOR; }
bool BlendOpSupported(DWORD op) { return op >= D3DBLENDOP_ADD && op <= D3DBLENDOP_MAX; }

// The factor of one channel; `s`, `d` are that channel of source and
// destination, `sa`, `da` the alphas, `f` that channel of the blend factor.
inline uint32_t Factor(DWORD b, bool alphaChannel, uint32_t s, uint32_t sa, uint32_t d, uint32_t da, uint32_t f) {
  switch (b) {
    case D3DBLEND_ZERO: return 0;
    case D3DBLEND_ONE: return 255;
    case D3DBLEND_SRCCOLOR: return s;
    case D3DBLEND_INVSRCCOLOR: return 255 - s;
    case D3DBLEND_SRCALPHA: return sa;
    case D3DBLEND_INVSRCALPHA: return 255 - sa;
    case D3DBLEND_DESTALPHA: return da;
    case D3DBLEND_INVDESTALPHA: return 255 - da;
    case D3DBLEND_DESTCOLOR: return d;
    case D3DBLEND_INVDESTCOLOR: return 255 - d;
    case D3DBLEND_SRCALPHASAT: return alphaChannel ? 255 : std::min(sa, 255 - da);
    case D3DBLEND_BLENDFACTOR: return f;
    case D3DBLEND_INVBLENDFACTOR: return 255 - f;
    default: return 0;
  }
}

inline uint32_t BlendChannel(DWORD op, uint32_t s, uint32_t fs, uint32_t d, uint32_t fd) {
  switch (op) {
    case D3DBLENDOP_SUBTRACT: {
      const uint32_t a = s * fs, b = d * fd;
      return a > b ? Div255(a - b) : 0;
    }
    case D3DBLENDOP_REVSUBTRACT: {
      const uint32_t a = s * fs, b = d * fd;
      return b > a ? Div255(b - a) : 0;
    }
    case D3DBLENDOP_MIN: return std::min(s, d);
    case D3DBLENDOP_MAX: return std::max(s, d);
    default: return std::min<uint32_t>(255, Div255(s * fs + d * fd));
  }
}

inline int AddressTexel(int i, int size, DWORD mode) {
  switch (mode) {
    case D3DTADDRESS_WRAP: {
      const int m = i % size;
      return m < 0 ? m + size : m;
    }
    case D3DTADDRESS_MIRROR: {
      const int period = 2 * size;
      int m = i % period;
      if (m < 0) m += period;
      return m < size ? m : period - 1 - m;
    }
    case D3DTADDRESS_MIRRORONCE:
      if (i < 0) i = -i - 1;
      return i >= size ? size - 1 : i;
    default: return i < 0 ? 0 : (i >= size ? size - 1 : i);
  }
}

inline uint32_t FetchTexel(const Pipeline& p, int64_t x, int64_t y) {
  const TextureView& t = p.texture;
  // Far outside any texture by now; keep the indices in int range.
  const int cx = static_cast<int>(std::clamp<int64_t>(x, -(int64_t{1} << 28), int64_t{1} << 28));
  const int cy = static_cast<int>(std::clamp<int64_t>(y, -(int64_t{1} << 28), int64_t{1} << 28));
  int ix, iy;
  if (p.addressU == D3DTADDRESS_BORDER) {
    if (cx < 0 || cx >= t.width) return p.borderColor;
    ix = cx;
  } else {
    ix = AddressTexel(cx, t.width, p.addressU);
  }
  if (p.addressV == D3DTADDRESS_BORDER) {
    if (cy < 0 || cy >= t.height) return p.borderColor;
    iy = cy;
  } else {
    iy = AddressTexel(cy, t.height, p.addressV);
  }
  return DecodeTexel(t.format, t.bits + static_cast<size_t>(iy) * t.pitch + static_cast<size_t>(ix) * t.bytesPerTexel);
}

// Texture coordinate to texel space in 1/256 texel, texel centres at
// (i + 0.5) / size, rounded to nearest.
inline int64_t SubTexel(double coord, int size) {
  double s = coord * size * 256.0 - 128.0;
  if (std::isnan(s)) s = 0;  // garbage coordinates sample somewhere, never fault
  s = std::clamp(s, -1e15, 1e15);
  return static_cast<int64_t>(std::floor(s + 0.5));
}

inline bool IsLinear(DWORD filter) { return filter != D3DTEXF_NONE && filter != D3DTEXF_POINT; }

// Exact integer edge functions over positions in 1/256 pixel.
struct Edge {
  int64_t value;  // at the first pixel of the current row
  int64_t stepX;
  int64_t stepY;
  int64_t bias;   // 0 on top and left edges, -1 elsewhere
};

struct Plane {
  double a = 0, b = 0, c = 0;  // value = a * x + b * y + c
  double At(double x, double y) const { return a * x + b * y + c; }
};

Plane MakePlane(double x0, double y0, double q0, double x1, double y1, double q1, double x2, double y2, double q2) {
  const double dx1 = x1 - x0, dy1 = y1 - y0, dx2 = x2 - x0, dy2 = y2 - y0;
  const double det = dx1 * dy2 - dx2 * dy1;
  Plane pl;
  pl.a = ((q1 - q0) * dy2 - (q2 - q0) * dy1) / det;
  pl.b = ((q2 - q0) * dx1 - (q1 - q0) * dx2) / det;
  pl.c = q0 - pl.a * x0 - pl.b * y0;
  return pl;
}

// Rounded half away from zero, as llround, without the library call; the
// callers have kept |v| within the guard band, so every step is exact.
inline int64_t Snap(float v) {
  const double t = static_cast<double>(v) * 256.0;
  int64_t i = static_cast<int64_t>(t);
  const double fraction = t - static_cast<double>(i);
  if (fraction >= 0.5) {
    ++i;
  } else if (fraction <= -0.5) {
    --i;
  }
  return i;
}

// Output of one pixel: alpha test, blend, write mask.
inline void WritePixel(const RenderTarget& t, const Pipeline& p, uint32_t* px, uint32_t src) {
  if (p.alphaTest && !AlphaTestPasses(p, src)) return;
  const uint32_t dst = *px;
  uint32_t out = p.blend ? BlendPixel(p, src, t.hasAlpha ? dst : (dst | 0xFF000000u)) : src;
  out = (out & p.writeMask) | (dst & ~p.writeMask);
  if (!t.hasAlpha) out |= 0xFF000000u;
  *px = out;
}

// Whether stage 0 hands the texel through unchanged for this diffuse colour.
bool StagePassesTexel(const Pipeline& p, uint32_t diffuse) {
  auto passes = [&](DWORD op, DWORD a1, DWORD a2, uint32_t diffusePart, uint32_t full) {
    const bool diffuseArg1 = a1 == D3DTA_DIFFUSE || a1 == D3DTA_CURRENT;
    const bool diffuseArg2 = a2 == D3DTA_DIFFUSE || a2 == D3DTA_CURRENT;
    if (op == D3DTOP_SELECTARG1) return a1 == D3DTA_TEXTURE;
    if (op == D3DTOP_SELECTARG2) return a2 == D3DTA_TEXTURE;
    if (op == D3DTOP_MODULATE) {
      return diffusePart == full && ((a1 == D3DTA_TEXTURE && diffuseArg2) || (a2 == D3DTA_TEXTURE && diffuseArg1));
    }
    return false;
  };
  if (p.colorOp == D3DTOP_DISABLE) return false;
  const bool colorOk = passes(p.colorOp, p.colorArg1, p.colorArg2, diffuse & 0xFFFFFFu, 0xFFFFFFu);
  const bool alphaOk = p.alphaOp != D3DTOP_DISABLE &&
                       passes(p.alphaOp, p.alphaArg1, p.alphaArg2, diffuse & 0xFF000000u, 0xFF000000u);
  return colorOk && alphaOk;
}

std::vector<uint32_t>& RowScratch() {
  static thread_local std::vector<uint32_t> row;
  return row;
}

// --- spans of the fast road; each equals WritePixel pixel for pixel -------

// No blend, no test, every channel written.
void StoreSpan(uint32_t* out, const uint32_t* src, int n, uint32_t force) {
  int i = 0;
#if defined(__SSE2__)
  const __m128i f = _mm_set1_epi32(static_cast<int>(force));
  for (; i + 4 <= n; i += 4) {
    const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_or_si128(s, f));
  }
#endif
  for (; i < n; ++i) out[i] = src[i] | force;
}

// The alpha test alone, ALPHAFUNC GREATEREQUAL, every channel written.
void TestSpan(uint32_t* out, const uint32_t* src, int n, uint32_t force, uint32_t ref) {
  int i = 0;
#if defined(__SSE2__)
  const __m128i f = _mm_set1_epi32(static_cast<int>(force));
  const __m128i below = _mm_set1_epi32(static_cast<int>(ref) - 1);
  for (; i + 4 <= n; i += 4) {
    const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
    const __m128i pass = _mm_cmpgt_epi32(_mm_srli_epi32(s, 24), below);
    const int bits = _mm_movemask_epi8(pass);
    if (bits == 0) continue;  // none passes: nothing is written
    if (bits == 0xFFFF) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_or_si128(s, f));
      continue;
    }
    const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(out + i));
    const __m128i r = _mm_or_si128(_mm_and_si128(pass, _mm_or_si128(s, f)), _mm_andnot_si128(pass, d));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), r);
  }
#endif
  for (; i < n; ++i)
    if ((src[i] >> 24) >= ref) out[i] = src[i] | force;
}

#if defined(__SSE2__)
// Two pixels of source-alpha blending in 16-bit lanes:
// (s * a + d * (255 - a) + 127) / 255 per channel, alpha included.
inline __m128i Over2(__m128i s16, __m128i d16) {
  __m128i a = _mm_shufflelo_epi16(s16, _MM_SHUFFLE(3, 3, 3, 3));
  a = _mm_shufflehi_epi16(a, _MM_SHUFFLE(3, 3, 3, 3));
  const __m128i ia = _mm_sub_epi16(_mm_set1_epi16(255), a);
  __m128i x = _mm_add_epi16(_mm_mullo_epi16(s16, a), _mm_mullo_epi16(d16, ia));
  x = _mm_add_epi16(x, _mm_set1_epi16(127));
  // x / 255 for any 16-bit x: (x * 0x8081) >> 23.
  return _mm_srli_epi16(_mm_mulhi_epu16(x, _mm_set1_epi16(static_cast<short>(0x8081))), 7);
}
#endif

#if defined(__SSE2__)
// Four pixels of source-alpha blending whose alphas are already known to be
// neither all 255 nor all 0.
inline void OverFour(uint32_t* out, __m128i s, __m128i f) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i d = _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(out)), f);
  const __m128i lo = Over2(_mm_unpacklo_epi8(s, zero), _mm_unpacklo_epi8(d, zero));
  const __m128i hi = Over2(_mm_unpackhi_epi8(s, zero), _mm_unpackhi_epi8(d, zero));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_or_si128(_mm_packus_epi16(lo, hi), f));
}

// Four pixels: opaque ones stored, clear ones left (an X8R8G8B8 target's top
// byte is always 0xFF already, see RenderTarget), the rest blended.
inline void OverOrSkipFour(uint32_t* out, __m128i s, __m128i f, __m128i alphaMask) {
  const __m128i a = _mm_and_si128(s, alphaMask);
  if (_mm_movemask_epi8(_mm_cmpeq_epi32(a, alphaMask)) == 0xFFFF) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_or_si128(s, f));
  } else if (_mm_movemask_epi8(_mm_cmpeq_epi32(a, _mm_setzero_si128())) != 0xFFFF) {
    OverFour(out, s, f);
  }
}
#endif

// SRCALPHA / INVSRCALPHA / ADD blending, no test, every channel written.
// Sprites are mostly runs of opaque and of clear texels: eight pixels are
// classified at once, and only blocks that mix the two are blended.
void OverSpan(const Pipeline& p, uint32_t* out, const uint32_t* src, int n, uint32_t force) {
  int i = 0;
#if defined(__SSE2__)
  const __m128i f = _mm_set1_epi32(static_cast<int>(force));
  const __m128i alphaMask = _mm_set1_epi32(static_cast<int>(0xFF000000u));
  const __m128i zero = _mm_setzero_si128();
  for (; i + 8 <= n; i += 8) {
    const __m128i s0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
    const __m128i s1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i + 4));
    const __m128i both = _mm_and_si128(_mm_and_si128(s0, s1), alphaMask);
    if (_mm_movemask_epi8(_mm_cmpeq_epi32(both, alphaMask)) == 0xFFFF) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_or_si128(s0, f));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i + 4), _mm_or_si128(s1, f));
      continue;
    }
    const __m128i either = _mm_and_si128(_mm_or_si128(s0, s1), alphaMask);
    if (_mm_movemask_epi8(_mm_cmpeq_epi32(either, zero)) == 0xFFFF) continue;
    OverOrSkipFour(out + i, s0, f, alphaMask);
    OverOrSkipFour(out + i + 4, s1, f, alphaMask);
  }
  if (i + 4 <= n) {
    OverOrSkipFour(out + i, _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i)), f, alphaMask);
    i += 4;
  }
#endif
  for (; i < n; ++i) {
    const uint32_t sp = src[i], a = sp >> 24;
    if (a == 255) {
      out[i] = sp | force;
    } else if (a != 0) {
      out[i] = BlendPixel(p, sp, out[i] | force) | force;
    }
  }
}

// Source-alpha blending of texels none of which is opaque or clear.
void BlendSpan(const Pipeline& p, uint32_t* out, const uint32_t* src, int n, uint32_t force) {
  int i = 0;
#if defined(__SSE2__)
  (void)p;
  const __m128i f = _mm_set1_epi32(static_cast<int>(force));
  const __m128i zero = _mm_setzero_si128();
  for (; i + 4 <= n; i += 4) OverFour(out + i, _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i)), f);
  // The last one to three pixels, two and one at a time, read and written
  // exactly in place.
  if (i + 2 <= n) {
    const __m128i s = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(src + i));
    const __m128i d = _mm_or_si128(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(out + i)), f);
    const __m128i r = Over2(_mm_unpacklo_epi8(s, zero), _mm_unpacklo_epi8(d, zero));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + i), _mm_or_si128(_mm_packus_epi16(r, r), f));
    i += 2;
  }
  if (i < n) {
    const __m128i s = _mm_cvtsi32_si128(static_cast<int>(src[i]));
    const __m128i d = _mm_cvtsi32_si128(static_cast<int>(out[i] | force));
    const __m128i r = Over2(_mm_unpacklo_epi8(s, zero), _mm_unpacklo_epi8(d, zero));
    out[i] = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(r, r))) | force;
  }
#else
  for (; i < n; ++i) out[i] = BlendPixel(p, src[i], out[i] | force) | force;
#endif
}

// One row of source-alpha blending from texels [texX, texX + n) of texture
// row `texRow`, by the row's runs: opaque texels are copied (their alpha is
// already 0xFF, so the forced alpha changes nothing), clear ones leave the
// pixel as it is, and only the partly transparent ones are blended. Pixel
// for pixel the same as OverSpan over the whole row.
void OverRow(const Pipeline& p, const AlphaRuns& runs, int texRow, int texX, uint32_t* out, const uint32_t* src,
             int n, uint32_t force) {
  const int end = texX + n;
  const uint32_t* run = runs.runs.data() + runs.rowFirst[texRow];
  const uint32_t* const runEnd = runs.runs.data() + runs.rowFirst[texRow + 1];
  while (run != runEnd && static_cast<int>(*run >> 2) <= texX) ++run;
  for (int from = texX; run != runEnd && from < end; ++run) {
    const int to = std::min(static_cast<int>(*run >> 2), end);
    const int at = from - texX;
    switch (*run & 3) {
      case AlphaRuns::kOpaque: host::CopyPixels(out + at, src + at, to - from); break;
      case AlphaRuns::kMixed: BlendSpan(p, out + at, src + at, to - from, force); break;
      default: break;  // clear: the blend gives the destination back
    }
    from = to;
  }
}

}  // namespace

void SetFastPathEnabled(bool enabled) { g_fastPath = enabled; }
bool FastPathEnabled() { return g_fastPath; }
uint64_t FastPathDraws() { return g_fastDraws; }

bool BuildAlphaRuns(const TextureView& t, AlphaRuns* out) {
  if (t.format != D3DFMT_A8R8G8B8 || t.width <= 0 || t.height <= 0) return false;
  try {
    out->width = t.width;
    out->height = t.height;
    out->rowFirst.assign(static_cast<size_t>(t.height) + 1, 0);
    out->runs.clear();
    for (int y = 0; y < t.height; ++y) {
      out->rowFirst[y] = static_cast<uint32_t>(out->runs.size());
      const uint8_t* row = t.bits + static_cast<size_t>(y) * t.pitch;
      uint32_t current = 0;
      for (int x = 0; x < t.width; ++x) {
        const uint32_t a = row[4 * static_cast<size_t>(x) + 3];
        const uint32_t kind = a == 0xFF ? AlphaRuns::kOpaque : a == 0 ? AlphaRuns::kClear : AlphaRuns::kMixed;
        if (x > 0 && kind != current) out->runs.push_back(static_cast<uint32_t>(x) << 2 | current);
        current = kind;
      }
      out->runs.push_back(static_cast<uint32_t>(t.width) << 2 | current);
    }
    out->rowFirst[t.height] = static_cast<uint32_t>(out->runs.size());
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

bool PipelineSupported(const Pipeline& p) {
  if (!OpSupported(p.colorOp) || !OpSupported(p.alphaOp)) return false;
  if (p.blend) {
    if (!BlendSupported(p.srcBlend) || !BlendSupported(p.destBlend) || !BlendOpSupported(p.blendOp)) return false;
    if (p.separateAlpha && (!BlendSupported(p.srcBlendAlpha) || !BlendSupported(p.destBlendAlpha) ||
                            !BlendOpSupported(p.blendOpAlpha)))
      return false;
  }
  return true;
}

uint32_t CombineStage(const Pipeline& p, uint32_t texel, uint32_t diffuse) {
  if (p.colorOp == D3DTOP_DISABLE) return diffuse;
  const uint32_t c1 = StageArg(p, p.colorArg1, texel, diffuse);
  const uint32_t c2 = StageArg(p, p.colorArg2, texel, diffuse);
  uint32_t out = (StageOp(p.colorOp, Chan(c1, 16), Chan(c2, 16)) << 16) |
                 (StageOp(p.colorOp, Chan(c1, 8), Chan(c2, 8)) << 8) | StageOp(p.colorOp, Chan(c1, 0), Chan(c2, 0));
  uint32_t alpha;
  if (p.alphaOp == D3DTOP_DISABLE) {
    alpha = diffuse >> 24;
  } else {
    const uint32_t a1 = StageArg(p, p.alphaArg1, texel, diffuse) >> 24;
    const uint32_t a2 = StageArg(p, p.alphaArg2, texel, diffuse) >> 24;
    alpha = StageOp(p.alphaOp, a1, a2);
  }
  return out | (alpha << 24);
}

bool AlphaTestPasses(const Pipeline& p, uint32_t color) {
  const uint32_t a = color >> 24, r = p.alphaRef;
  switch (p.alphaFunc) {
    case D3DCMP_NEVER: return false;
    case D3DCMP_LESS: return a < r;
    case D3DCMP_EQUAL: return a == r;
    case D3DCMP_LESSEQUAL: return a <= r;
    case D3DCMP_GREATER: return a > r;
    case D3DCMP_NOTEQUAL: return a != r;
    case D3DCMP_GREATEREQUAL: return a >= r;
    default: return true;
  }
}

uint32_t BlendPixel(const Pipeline& p, uint32_t src, uint32_t dst) {
  const uint32_t sa = src >> 24, da = dst >> 24;
  DWORD srcB = p.srcBlend, dstB = p.destBlend;
  // The two "both" factors set the destination factor from the source one.
  if (srcB == D3DBLEND_BOTHSRCALPHA) {
    srcB = D3DBLEND_SRCALPHA;
    dstB = D3DBLEND_INVSRCALPHA;
  } else if (srcB == D3DBLEND_BOTHINVSRCALPHA) {
    srcB = D3DBLEND_INVSRCALPHA;
    dstB = D3DBLEND_SRCALPHA;
  }
  uint32_t out = 0;
  for (int shift = 0; shift <= 16; shift += 8) {
    const uint32_t s = Chan(src, shift), d = Chan(dst, shift), f = Chan(p.blendFactor, shift);
    const uint32_t fs = Factor(srcB, false, s, sa, d, da, f);
    const uint32_t fd = Factor(dstB, false, s, sa, d, da, f);
    out |= BlendChannel(p.blendOp, s, fs, d, fd) << shift;
  }
  DWORD srcA = srcB, dstA = dstB, opA = p.blendOp;
  if (p.separateAlpha) {
    srcA = p.srcBlendAlpha;
    dstA = p.destBlendAlpha;
    opA = p.blendOpAlpha;
  }
  const uint32_t fa = p.blendFactor >> 24;
  const uint32_t fs = Factor(srcA, true, sa, sa, da, da, fa);
  const uint32_t fd = Factor(dstA, true, sa, sa, da, da, fa);
  return out | (BlendChannel(opA, sa, fs, da, fd) << 24);
}

uint32_t SampleTexture(const Pipeline& p, double u, double v, bool minify) {
  const int64_t s = SubTexel(u, p.texture.width);
  const int64_t t = SubTexel(v, p.texture.height);
  const DWORD filter = minify ? p.minFilter : p.magFilter;
  if (!IsLinear(filter)) return FetchTexel(p, (s + 128) >> 8, (t + 128) >> 8);
  const int64_t x0 = s >> 8, y0 = t >> 8;
  const uint32_t fx = static_cast<uint32_t>(s & 255), fy = static_cast<uint32_t>(t & 255);
  const uint32_t t00 = FetchTexel(p, x0, y0);
  if (fx == 0 && fy == 0) return t00;
  const uint32_t t10 = FetchTexel(p, x0 + 1, y0);
  const uint32_t t01 = FetchTexel(p, x0, y0 + 1);
  const uint32_t t11 = FetchTexel(p, x0 + 1, y0 + 1);
  const uint32_t w00 = (256 - fx) * (256 - fy), w10 = fx * (256 - fy), w01 = (256 - fx) * fy, w11 = fx * fy;
  uint32_t out = 0;
  for (int shift = 0; shift <= 24; shift += 8) {
    const uint32_t c =
        (Chan(t00, shift) * w00 + Chan(t10, shift) * w10 + Chan(t01, shift) * w01 + Chan(t11, shift) * w11 + 32768) >>
        16;
    out |= c << shift;
  }
  return out;
}

namespace {

// A triangle snapped to 1/256 pixel, wound clockwise, with the pixel box it
// may cover inside the clip rectangle.
struct SnappedTriangle {
  const ScreenVertex* v[3];
  int64_t X[3], Y[3];
  int x0, x1, y0, y1;
};

// Stage 1: finite corners inside the guard band, a non-empty area that
// survives culling, and pixels to cover. False when nothing is drawn.
bool SnapTriangle(const Pipeline& p, const ScreenVertex& a, const ScreenVertex& b, const ScreenVertex& c,
                  SnappedTriangle* t) {
  t->v[0] = &a;
  t->v[1] = &b;
  t->v[2] = &c;
  for (const ScreenVertex* q : t->v) {
    if (!std::isfinite(q->x) || !std::isfinite(q->y) || !std::isfinite(q->rhw)) return false;
    if (std::fabs(q->x) > 1048576.f || std::fabs(q->y) > 1048576.f) return false;  // beyond the guard band
  }
  int64_t* X = t->X;
  int64_t* Y = t->Y;
  for (int i = 0; i < 3; ++i) {
    X[i] = Snap(t->v[i]->x);
    Y[i] = Snap(t->v[i]->y);
  }
  const int64_t area = (X[1] - X[0]) * (Y[2] - Y[0]) - (X[2] - X[0]) * (Y[1] - Y[0]);
  if (area == 0) return false;
  // On screen (y down) a positive area is clockwise.
  if (p.cullMode == D3DCULL_CCW && area < 0) return false;
  if (p.cullMode == D3DCULL_CW && area > 0) return false;
  if (area < 0) {
    std::swap(t->v[1], t->v[2]);
    std::swap(X[1], X[2]);
    std::swap(Y[1], Y[2]);
  }
  const int64_t minX = std::min({X[0], X[1], X[2]}), maxX = std::max({X[0], X[1], X[2]});
  const int64_t minY = std::min({Y[0], Y[1], Y[2]}), maxY = std::max({Y[0], Y[1], Y[2]});
  t->x0 = static_cast<int>(std::max<int64_t>((minX + 255) >> 8, p.clipLeft));
  t->x1 = static_cast<int>(std::min<int64_t>(maxX >> 8, p.clipRight - 1));
  t->y0 = static_cast<int>(std::max<int64_t>((minY + 255) >> 8, p.clipTop));
  t->y1 = static_cast<int>(std::min<int64_t>(maxY >> 8, p.clipBottom - 1));
  return t->x0 <= t->x1 && t->y0 <= t->y1;
}

// Stage 2: the three edge functions at the box's top-left pixel centre, with
// the top-left fill rule in their bias.
void SetUpEdges(const SnappedTriangle& t, Edge e[3]) {
  for (int i = 0; i < 3; ++i) {
    const int j = (i + 1) % 3;
    const int64_t dx = t.X[j] - t.X[i], dy = t.Y[j] - t.Y[i];
    const bool topLeft = (dy == 0 && dx > 0) || dy < 0;
    e[i].stepX = -dy * 256;
    e[i].stepY = dx * 256;
    e[i].value = dx * (int64_t{t.y0} * 256 - t.Y[i]) - dy * (int64_t{t.x0} * 256 - t.X[i]);
    e[i].bias = topLeft ? 0 : -1;
  }
}

// Texture coordinates and colours as planes over the snapped positions.
struct TriangleAttributes {
  Plane pu, pv, pw;
  bool perspective = false;
  bool minify = false;
  bool flatDiffuse = false;
  uint32_t constDiffuse = 0;
  Plane pc[4];  // per channel, when the colour varies
};

// Stage 3. Flat shading takes the first vertex's colour as given, before
// the winding was settled.
void SetUpAttributes(const Pipeline& p, const SnappedTriangle& t, uint32_t flatColor, TriangleAttributes* at) {
  const ScreenVertex* const* v = t.v;
  const double px[3] = {t.X[0] / 256.0, t.X[1] / 256.0, t.X[2] / 256.0};
  const double py[3] = {t.Y[0] / 256.0, t.Y[1] / 256.0, t.Y[2] / 256.0};
  auto plane = [&](double q0, double q1, double q2) {
    return MakePlane(px[0], py[0], q0, px[1], py[1], q1, px[2], py[2], q2);
  };
  at->perspective = !(v[0]->rhw == v[1]->rhw && v[1]->rhw == v[2]->rhw);
  if (p.textured) {
    if (at->perspective) {
      at->pu = plane(v[0]->u * v[0]->rhw, v[1]->u * v[1]->rhw, v[2]->u * v[2]->rhw);
      at->pv = plane(v[0]->v * v[0]->rhw, v[1]->v * v[1]->rhw, v[2]->v * v[2]->rhw);
      at->pw = plane(v[0]->rhw, v[1]->rhw, v[2]->rhw);
    } else {
      at->pu = plane(v[0]->u, v[1]->u, v[2]->u);
      at->pv = plane(v[0]->v, v[1]->v, v[2]->v);
    }
    const Plane au = plane(v[0]->u, v[1]->u, v[2]->u), av = plane(v[0]->v, v[1]->v, v[2]->v);
    const double W = p.texture.width, H = p.texture.height;
    const double rhoX = std::hypot(au.a * W, av.a * H), rhoY = std::hypot(au.b * W, av.b * H);
    at->minify = std::max(rhoX, rhoY) > 1.0 + 1e-4;
  }
  at->flatDiffuse = p.flatShade || (v[0]->diffuse == v[1]->diffuse && v[1]->diffuse == v[2]->diffuse);
  at->constDiffuse = p.flatShade ? flatColor : v[0]->diffuse;
  if (!at->flatDiffuse) {
    for (int k = 0; k < 4; ++k) {
      const int shift = 8 * k;
      at->pc[k] = plane(Chan(v[0]->diffuse, shift), Chan(v[1]->diffuse, shift), Chan(v[2]->diffuse, shift));
    }
  }
}

// The stage's two inputs at one pixel centre.
inline uint32_t TexelAt(const Pipeline& p, const TriangleAttributes& at, int x, int y) {
  double u = at.pu.At(x, y), vv = at.pv.At(x, y);
  if (at.perspective) {
    const double w = at.pw.At(x, y);
    if (w != 0) {
      u /= w;
      vv /= w;
    }
  }
  return SampleTexture(p, u, vv, at.minify);
}

inline uint32_t DiffuseAt(const TriangleAttributes& at, int x, int y) {
  if (at.flatDiffuse) return at.constDiffuse;
  uint32_t diffuse = 0;
  for (int k = 0; k < 4; ++k) {
    const double value = at.pc[k].At(x, y);
    const double channel = value >= 0.0 ? std::min(value, 255.0) : 0.0;  // NaN reads as 0
    diffuse |= static_cast<uint32_t>(channel + 0.5) << (8 * k);
  }
  return diffuse;
}

// Stage 4: every pixel centre inside all three edges, row by row.
void ScanTriangle(const RenderTarget& target, const Pipeline& p, const SnappedTriangle& t, Edge e[3],
                  const TriangleAttributes& at) {
  for (int y = t.y0; y <= t.y1; ++y) {
    int64_t e0 = e[0].value, e1 = e[1].value, e2 = e[2].value;
    uint32_t* row = target.pixels + static_cast<size_t>(y) * target.pitchPixels;
    for (int x = t.x0; x <= t.x1; ++x, e0 += e[0].stepX, e1 += e[1].stepX, e2 += e[2].stepX) {
      if (e0 + e[0].bias < 0 || e1 + e[1].bias < 0 || e2 + e[2].bias < 0) continue;
      const uint32_t texel = p.textured ? TexelAt(p, at, x, y) : 0xFFFFFFFFu;
      WritePixel(target, p, row + x, CombineStage(p, texel, DiffuseAt(at, x, y)));
    }
    e[0].value += e[0].stepY;
    e[1].value += e[1].stepY;
    e[2].value += e[2].stepY;
  }
}

}  // namespace

void DrawTriangle(const RenderTarget& target, const Pipeline& p, const ScreenVertex& a, const ScreenVertex& b,
                  const ScreenVertex& c) {
  SnappedTriangle t;
  if (!SnapTriangle(p, a, b, c, &t)) return;
  Edge e[3];
  SetUpEdges(t, e);
  TriangleAttributes at;
  SetUpAttributes(p, t, a.diffuse, &at);
  ScanTriangle(target, p, t, e, at);
}

namespace {

// An axis-aligned quad snapped to 1/256 pixel: its sides, and the pixels it
// covers inside the clip rectangle (x0 > x1 or y0 > y1 when none).
struct AlignedQuad {
  int64_t left, right, top, bottom;
  int x0, x1, y0, y1;
};

// Stage 1: one colour and one rhw, finite corners inside the guard band,
// sides that alternate horizontal and vertical, none of them empty. False
// when the quad is not one the fast path takes.
bool SnapAlignedQuad(const ScreenVertex v[4], int64_t X[4], int64_t Y[4]) {
  for (int i = 0; i < 4; ++i) {
    if (!std::isfinite(v[i].x) || !std::isfinite(v[i].y) || std::fabs(v[i].x) > 1048576.f ||
        std::fabs(v[i].y) > 1048576.f)
      return false;
    if (v[i].rhw != v[0].rhw || v[i].diffuse != v[0].diffuse) return false;
    X[i] = Snap(v[i].x);
    Y[i] = Snap(v[i].y);
  }
  const bool firstHorizontal = Y[0] == Y[1];
  for (int i = 0; i < 4; ++i) {
    const int j = (i + 1) % 4;
    const bool horizontal = ((i % 2) == 0) == firstHorizontal;
    if (horizontal ? (Y[i] != Y[j] || X[i] == X[j]) : (X[i] != X[j] || Y[i] == Y[j])) return false;
  }
  return true;
}

// Stage 2: the covered pixels. Top and left sides are inside, right and
// bottom ones outside.
AlignedQuad CoverQuad(const Pipeline& p, const int64_t X[4], const int64_t Y[4]) {
  AlignedQuad q;
  q.left = std::min({X[0], X[1], X[2], X[3]});
  q.right = std::max({X[0], X[1], X[2], X[3]});
  q.top = std::min({Y[0], Y[1], Y[2], Y[3]});
  q.bottom = std::max({Y[0], Y[1], Y[2], Y[3]});
  const int64_t fx0 = (q.left + 255) >> 8, fx1 = (q.right - 1) >> 8;
  const int64_t fy0 = (q.top + 255) >> 8, fy1 = (q.bottom - 1) >> 8;
  q.x0 = static_cast<int>(std::max<int64_t>(fx0, p.clipLeft));
  q.x1 = static_cast<int>(std::min<int64_t>(fx1, p.clipRight - 1));
  q.y0 = static_cast<int>(std::max<int64_t>(fy0, p.clipTop));
  q.y1 = static_cast<int>(std::min<int64_t>(fy1, p.clipBottom - 1));
  return q;
}

enum class TexelMapping { Exact, Empty, NotExact };

// Stage 3: u following x alone and v following y alone, one texel a pixel,
// landing on texel centres (or, with point sampling, nearest to them), all
// inside the texture. Sets the texel of the first covered pixel.
TexelMapping MapTexelsOneToOne(const Pipeline& p, const ScreenVertex v[4], const int64_t X[4], const int64_t Y[4],
                               const AlignedQuad& q, int64_t* texX, int64_t* texY) {
  double uL = 0, uR = 0, vT = 0, vB = 0;
  bool haveL = false, haveR = false, haveT = false, haveB = false;
  for (int i = 0; i < 4; ++i) {
    double& u = X[i] == q.left ? uL : uR;
    bool& hu = X[i] == q.left ? haveL : haveR;
    if (hu && u != v[i].u) return TexelMapping::NotExact;
    u = v[i].u;
    hu = true;
    double& vv = Y[i] == q.top ? vT : vB;
    bool& hv = Y[i] == q.top ? haveT : haveB;
    if (hv && vv != v[i].v) return TexelMapping::NotExact;
    vv = v[i].v;
    hv = true;
  }
  const double W = p.texture.width, H = p.texture.height;
  const double lx = q.left / 256.0, rx = q.right / 256.0, ty = q.top / 256.0, by = q.bottom / 256.0;
  const double dudx = (uR - uL) / (rx - lx), dvdy = (vB - vT) / (by - ty);
  // Float texture coordinates carry rounding noise; the end checks below
  // make sure the rounded texel positions step by exactly one texel.
  if (std::fabs(dudx * W - 1.0) > 1e-4 || std::fabs(dvdy * H - 1.0) > 1e-4) return TexelMapping::NotExact;
  if (q.x0 > q.x1 || q.y0 > q.y1) return TexelMapping::Empty;
  const int64_t s0 = SubTexel(uL + dudx * (q.x0 - lx), p.texture.width);
  const int64_t s1 = SubTexel(uL + dudx * (q.x1 - lx), p.texture.width);
  const int64_t t0 = SubTexel(vT + dvdy * (q.y0 - ty), p.texture.height);
  const int64_t t1 = SubTexel(vT + dvdy * (q.y1 - ty), p.texture.height);
  if (s1 - s0 != int64_t{256} * (q.x1 - q.x0) || t1 - t0 != int64_t{256} * (q.y1 - q.y0))
    return TexelMapping::NotExact;
  if (IsLinear(p.magFilter)) {
    if ((s0 & 255) != 0 || (t0 & 255) != 0) return TexelMapping::NotExact;
    *texX = s0 >> 8;
    *texY = t0 >> 8;
  } else {
    *texX = (s0 + 128) >> 8;
    *texY = (t0 + 128) >> 8;
  }
  if (*texX < 0 || *texY < 0 || *texX + (q.x1 - q.x0) >= p.texture.width ||
      *texY + (q.y1 - q.y0) >= p.texture.height)
    return TexelMapping::NotExact;
  return TexelMapping::Exact;
}

// Stage 4: row by row, the span's source (texels as they are, decoded, or
// run through the stage; or the one untextured colour) written by the
// cheapest store that gives the general pixel writer's result.
void FillAlignedQuad(const RenderTarget& target, const Pipeline& p, const AlignedQuad& q, uint32_t diffuse,
                     int64_t texX, int64_t texY) {
  const bool passThrough = p.textured ? StagePassesTexel(p, diffuse) : false;
  const uint32_t untexturedColor = p.textured ? 0 : CombineStage(p, 0xFFFFFFFFu, diffuse);
  const uint32_t forceAlpha = target.hasAlpha ? 0 : 0xFF000000u;
  const bool plainStore = !p.blend && !p.alphaTest && p.writeMask == 0xFFFFFFFFu;
  const bool overBlend = p.blend && !p.separateAlpha && p.srcBlend == D3DBLEND_SRCALPHA &&
                         p.destBlend == D3DBLEND_INVSRCALPHA && p.blendOp == D3DBLENDOP_ADD &&
                         p.writeMask == 0xFFFFFFFFu;
  const bool testStore = !p.blend && p.alphaTest && p.alphaFunc == D3DCMP_GREATEREQUAL && p.writeMask == 0xFFFFFFFFu;
  const int count = q.x1 - q.x0 + 1;
  // The runs describe the texels themselves: usable when those are what is
  // blended, unchanged by the stage.
  const AlphaRuns* runs = p.texture.runs;
  if (!(overBlend && !p.alphaTest && p.textured && passThrough && p.texture.format == D3DFMT_A8R8G8B8 &&
        runs != nullptr && runs->width == p.texture.width && runs->height == p.texture.height))
    runs = nullptr;
  std::vector<uint32_t>& scratch = RowScratch();
  if (scratch.size() < static_cast<size_t>(count)) scratch.resize(count);

  for (int y = q.y0; y <= q.y1; ++y) {
    uint32_t* out = target.pixels + static_cast<size_t>(y) * target.pitchPixels + q.x0;
    const uint32_t* src;
    if (p.textured) {
      const uint8_t* texRow = p.texture.bits + static_cast<size_t>(texY + (y - q.y0)) * p.texture.pitch +
                              static_cast<size_t>(texX) * p.texture.bytesPerTexel;
      if (p.texture.format == D3DFMT_A8R8G8B8 && passThrough) {
        src = reinterpret_cast<const uint32_t*>(texRow);
      } else {
        DecodeRow(p.texture.format, texRow, scratch.data(), static_cast<uint32_t>(count));
        if (!passThrough) {
          for (int i = 0; i < count; ++i) scratch[i] = CombineStage(p, scratch[i], diffuse);
        }
        src = scratch.data();
      }
    } else {
      std::fill_n(scratch.data(), count, untexturedColor);
      src = scratch.data();
    }

    if (plainStore) {
      StoreSpan(out, src, count, forceAlpha);
    } else if (runs != nullptr) {
      OverRow(p, *runs, static_cast<int>(texY) + (y - q.y0), static_cast<int>(texX), out, src, count, forceAlpha);
    } else if (overBlend && !p.alphaTest) {
      OverSpan(p, out, src, count, forceAlpha);
    } else if (testStore) {
      TestSpan(out, src, count, forceAlpha, p.alphaRef);
    } else {
      for (int i = 0; i < count; ++i) WritePixel(target, p, out + i, src[i]);
    }
  }
}

}  // namespace

bool DrawAlignedQuad(const RenderTarget& target, const Pipeline& p, const ScreenVertex v[4]) {
  if (!g_fastPath) return false;
  int64_t X[4], Y[4];
  if (!SnapAlignedQuad(v, X, Y)) return false;
  const int64_t area = (X[1] - X[0]) * (Y[2] - Y[0]) - (X[2] - X[0]) * (Y[1] - Y[0]);
  if (p.cullMode == D3DCULL_CCW && area < 0) return true;
  if (p.cullMode == D3DCULL_CW && area > 0) return true;
  const AlignedQuad q = CoverQuad(p, X, Y);
  int64_t texX = 0, texY = 0;
  if (p.textured) {
    const TexelMapping mapping = MapTexelsOneToOne(p, v, X, Y, q, &texX, &texY);
    if (mapping == TexelMapping::NotExact) return false;
    if (mapping == TexelMapping::Empty) return true;
  } else if (q.x0 > q.x1 || q.y0 > q.y1) {
    return true;
  }
  ++g_fastDraws;
  FillAlignedQuad(target, p, q, v[0].diffuse, texX, texY);
  return true;
}

}  // namespace d3d9sw

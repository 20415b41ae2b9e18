// canvas_frame.cpp — the canvas' picture and what changed in it.
#include "host/web/canvas_frame.h"

#include "host/pixel_rows.h"

#include <bit>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__wasm_simd128__)
#include <wasm_simd128.h>
#endif

namespace host::web {
namespace {

static_assert(std::endian::native == std::endian::little, "RGBA bytes are written as little-endian words");

#if defined(__SSE2__)
// Whether sixteen pixels from `a` and `b` are all equal.
inline bool SameSixteen(const uint32_t* a, const uint32_t* b) {
  __m128i d = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a)),
                            _mm_loadu_si128(reinterpret_cast<const __m128i*>(b)));
  for (int k = 4; k < 16; k += 4) {
    d = _mm_or_si128(d, _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a + k)),
                                      _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + k))));
  }
#if defined(__wasm_simd128__)
  return !wasm_v128_any_true(d);
#else
  return _mm_movemask_epi8(_mm_cmpeq_epi8(d, _mm_setzero_si128())) == 0xFFFF;
#endif
}
#endif

// Index of the first pixel where the rows differ, or `n`.
int FirstDifference(const uint32_t* a, const uint32_t* b, int n) {
  int i = 0;
#if defined(__SSE2__)
  // Sixteen pixels a step: most rows of a game frame are unchanged, and the
  // whole row must be read to know it.
  while (i + 16 <= n && SameSixteen(a + i, b + i)) i += 16;
#endif
  while (i < n && a[i] == b[i]) ++i;
  return i;
}

// Index of the last pixel before `n` where the rows differ; the caller knows
// one exists at `first`.
int LastDifference(const uint32_t* a, const uint32_t* b, int first, int n) {
  int end = n;  // [end, n) is known equal
#if defined(__SSE2__)
  // A change near a row's start would otherwise be followed by a scan of
  // the rest of the row pixel by pixel.
  while (end - 16 > first && SameSixteen(a + end - 16, b + end - 16)) end -= 16;
#endif
  int i = end - 1;
  while (i > first && a[i] == b[i]) --i;
  return i;
}

}  // namespace

void XrgbToRgbaSpan(const uint32_t* pixels, int count, uint32_t* out) {
  // Red and blue trade places, green stays, the unused byte becomes opaque
  // alpha. Plain word arithmetic, which the compiler turns into SIMD.
  for (int i = 0; i < count; ++i) {
    const uint32_t p = pixels[i];
    out[i] = 0xFF000000u | ((p & 0xFFu) << 16) | (p & 0xFF00u) | ((p >> 16) & 0xFFu);
  }
}

PixelRect CanvasFrame::Update(const uint32_t* pixels, int width, int height, int pitchBytes) {
  if (pixels == nullptr || width <= 0 || height <= 0 || width > 16384 || height > 16384 || pitchBytes / 4 < width) {
    Clear();
    return {};
  }
  const auto* bytes = reinterpret_cast<const uint8_t*>(pixels);
  const size_t row = static_cast<size_t>(width);
  auto source = [&](int y) {
    return reinterpret_cast<const uint32_t*>(bytes + static_cast<size_t>(y) * static_cast<size_t>(pitchBytes));
  };
  if (width != width_ || height != height_ || shown_.empty()) {
    shown_.resize(row * static_cast<size_t>(height));
    rgba_.resize(shown_.size());
    width_ = width;
    height_ = height;
    for (int y = 0; y < height; ++y) {
      CopyPixels(shown_.data() + row * y, source(y), width);
      XrgbToRgbaSpan(source(y), width, rgba_.data() + row * y);
    }
    return {0, 0, width, height};
  }
  int left = width, right = -1, top = -1, bottom = -1;
  for (int y = 0; y < height; ++y) {
    const uint32_t* from = source(y);
    uint32_t* kept = shown_.data() + row * y;
    const int first = FirstDifference(from, kept, width);
    if (first == width) continue;
    const int last = LastDifference(from, kept, first, width);
    const int span = last - first + 1;
    CopyPixels(kept + first, from + first, span);
    XrgbToRgbaSpan(from + first, span, rgba_.data() + row * y + first);
    if (top < 0) top = y;
    bottom = y;
    if (first < left) left = first;
    if (last > right) right = last;
  }
  if (top < 0) return {};
  return {left, top, right - left + 1, bottom - top + 1};
}

void CanvasFrame::Clear() {
  shown_.clear();
  rgba_.clear();
  width_ = 0;
  height_ = 0;
}

const uint8_t* CanvasFrame::Rgba() const {
  return rgba_.empty() ? nullptr : reinterpret_cast<const uint8_t*>(rgba_.data());
}

}  // namespace host::web

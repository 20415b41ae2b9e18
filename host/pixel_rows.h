// pixel_rows.h — copying and filling rows of 32-bit pixels.
//
// Provides: host::CopyPixels and host::FillPixels, the row primitives of the
// software device and of the hosts that keep a frame. Natively they are the
// C library's memcpy and memset, which are fast for every length. The
// browser build's C library copies blocks under 512 bytes (a sprite's rows)
// a word at a time and hands longer ones to JavaScript, so there they are
// the 16-byte block loops below, which WebAssembly SIMD runs directly. The
// block loops are built on every platform so that the tests check them.
// Depends on: the C++ standard library; SSE2 intrinsics (WebAssembly SIMD
// in the browser build).
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// The compiler would see the block loops below for what they do and call the
// C library's memcpy and memset for them again: not in these two, which stay
// calls of their own (inlined, they would lose the attribute).
#if defined(__clang__)
#define VELMORA_OWN_LOOPS __attribute__((no_builtin("memcpy", "memset"), noinline))
#else
#define VELMORA_OWN_LOOPS
#endif

namespace host {

#if defined(__SSE2__)
// Copies `n` pixels sixteen bytes at a time; the last one to three are done
// by one block that ends at the row's end, overlapping pixels already copied
// (the same values again). `out` and `src` may not overlap.
VELMORA_OWN_LOOPS inline void CopyPixelBlocks(uint32_t* out, const uint32_t* src, int n) {
  int i = 0;
  for (; i + 16 <= n; i += 16) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i + 4));
    const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i + 8));
    const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i + 12));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), a);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i + 4), b);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i + 8), c);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i + 12), d);
  }
  for (; i + 4 <= n; i += 4)
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i)));
  if (i == n) return;
  if (n >= 4) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + n - 4),
                     _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + n - 4)));
    return;
  }
  for (; i < n; ++i) out[i] = src[i];
}

// Writes `value` to `n` pixels sixteen bytes at a time, the tail as above.
VELMORA_OWN_LOOPS inline void FillPixelBlocks(uint32_t* out, int n, uint32_t value) {
  const __m128i v = _mm_set1_epi32(static_cast<int>(value));
  int i = 0;
  for (; i + 16 <= n; i += 16) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), v);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i + 4), v);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i + 8), v);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i + 12), v);
  }
  for (; i + 4 <= n; i += 4) _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), v);
  if (i == n) return;
  if (n >= 4) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + n - 4), v);
    return;
  }
  for (; i < n; ++i) out[i] = value;
}
#endif

// Copies `n` pixels (none when n <= 0); `out` and `src` may not overlap.
inline void CopyPixels(uint32_t* out, const uint32_t* src, int n) {
  if (n <= 0) return;
#if defined(__EMSCRIPTEN__) && defined(__SSE2__)
  CopyPixelBlocks(out, src, n);
#else
  std::memcpy(out, src, static_cast<size_t>(n) * 4);
#endif
}

// Writes `value` to `n` pixels (none when n <= 0).
inline void FillPixels(uint32_t* out, int n, uint32_t value) {
  if (n <= 0) return;
#if defined(__EMSCRIPTEN__) && defined(__SSE2__)
  FillPixelBlocks(out, n, value);
#else
  const uint32_t low = value & 0xFFu;
  if (value == low * 0x01010101u) {
    std::memset(out, static_cast<int>(low), static_cast<size_t>(n) * 4);
  } else {
    std::fill(out, out + n, value);
  }
#endif
}

}  // namespace host

#undef VELMORA_OWN_LOOPS

// level_copy.cpp — see level_copy.h.
// Depends on: gfx/pixels/level_copy.h, gfx/pixels/block_codec.h, gfx/pixels/pixel_codec.h,
// gfx/formats/image_decoders.h, gfx/debug_report.h.
#include "gfx/pixels/level_copy.h"

#include <cstdint>
#include <cstring>

#if (defined(__x86_64__) || defined(__i386__)) && !defined(__EMSCRIPTEN__)
#include <immintrin.h>
#define GFX_LEVEL_COPY_SSSE3 1
#endif

#include "gfx/pixels/block_codec.h"
#include "gfx/debug_report.h"
#include "gfx/formats/image_decoders.h"
#include "gfx/pixels/pixel_codec.h"
#include "gfx/pixels/resample.h"

namespace gfx {
namespace {

// No filtering, no gamma, and a word the level loader would accept: a
// filter with reserved bits set goes the long way, which refuses it.
bool ShortcutFilter(DWORD filter) {
  return (filter & kFilterKindMask) == D3DX_FILTER_NONE && (filter & D3DX_FILTER_SRGB) == 0 &&
         (filter & kFilterInvalidBits) == 0;
}

// One pixel per step, four bytes at a time (R8G8B8 is blue, green, red in
// memory: the word read is the pixel with the next pixel's blue on top, which
// the opaque alpha replaces). The row's last pixel is read byte by byte, so
// nothing past the row is touched.
void ExpandBgrTail(const BYTE* src, BYTE* dst, UINT x, UINT width) {
  for (; x + 1 < width; ++x) {
    uint32_t v;
    std::memcpy(&v, src + 3 * size_t(x), 4);
    v |= 0xFF000000u;
    std::memcpy(dst + 4 * size_t(x), &v, 4);
  }
  if (x < width) {
    const BYTE* p = src + 3 * size_t(x);
    const uint32_t v = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | 0xFF000000u;
    std::memcpy(dst + 4 * size_t(x), &v, 4);
  }
}

#ifdef GFX_LEVEL_COPY_SSSE3
// Four pixels to one store: sixteen bytes loaded (twelve used) and spread
// by one shuffle. A load stays inside the row while 3x + 16 <= 3 * width.
__attribute__((target("ssse3"))) void ExpandBgrRowSsse3(const BYTE* src, BYTE* dst, UINT width) {
  const __m128i spread = _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
  const __m128i opaque = _mm_set1_epi32(static_cast<int>(0xFF000000u));
  UINT x = 0;
  for (; x + 6 <= width; x += 4) {
    const __m128i in = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 3 * size_t(x)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 4 * size_t(x)),
                     _mm_or_si128(_mm_shuffle_epi8(in, spread), opaque));
  }
  ExpandBgrTail(src, dst, x, width);
}

bool HasSsse3() {
  static const bool has = __builtin_cpu_supports("ssse3");
  return has;
}
#endif

// R8G8B8 to X8R8G8B8 or A8R8G8B8: the colour bytes kept, alpha opaque, as
// the general converter writes them (an absent alpha reads as 1).
void ExpandBgrRow(const BYTE* src, BYTE* dst, UINT width) {
#ifdef GFX_LEVEL_COPY_SSSE3
  if (HasSsse3()) {
    ExpandBgrRowSsse3(src, dst, width);
    return;
  }
#endif
  ExpandBgrTail(src, dst, 0, width);
}

// How a row of `from` becomes a row of `to` without the working form, if
// it can: the same bytes, the same with alpha made opaque, or three bytes
// widened to four.
enum class RowCopy { None, Same, Opaque, Widen };

RowCopy RowCopyFor(D3DFORMAT from, D3DFORMAT to) {
  if (from == to) return RowCopy::Same;
  if (from == D3DFMT_X8R8G8B8 && to == D3DFMT_A8R8G8B8) return RowCopy::Opaque;
  if (from == D3DFMT_R8G8B8 && (to == D3DFMT_X8R8G8B8 || to == D3DFMT_A8R8G8B8)) return RowCopy::Widen;
  return RowCopy::None;
}

}  // namespace

bool CopyLevelDirectly(IDirect3DSurface9* surface, const DecodedImage& image, DWORD filter, D3DCOLOR colorKey,
                       HRESULT* result) {
  if (!ShortcutFilter(filter) || colorKey != 0) return false;
  if (image.pixels == nullptr || image.rect.left != 0 || image.rect.top != 0) return false;
  const D3DFORMAT from = image.format;
  if (from == D3DFMT_P8 || from == D3DFMT_A8P8 || IsBlockCodecFormat(from) || !HasCodec(from)) return false;
  D3DSURFACE_DESC desc{};
  const bool wasMuted = SetDebugMute(true);
  const HRESULT described = surface->GetDesc(&desc);
  SetDebugMute(wasMuted);
  if (FAILED(described) || desc.Width != image.rect.right || desc.Height != image.rect.bottom) return false;
  const RowCopy how = RowCopyFor(from, desc.Format);
  if (how == RowCopy::None) return false;

  D3DLOCKED_RECT locked{};
  SetDebugMute(true);
  const HRESULT lockResult = surface->LockRect(&locked, nullptr, D3DLOCK_NOSYSLOCK);
  SetDebugMute(wasMuted);
  if (FAILED(lockResult)) return false;  // the level loader has its own ways
  const size_t rowBytes = size_t(desc.Width) * (FormatBits(from) / 8);
  for (UINT y = 0; y < desc.Height; ++y) {
    const BYTE* src = image.pixels + size_t(y) * image.rowPitch;
    BYTE* dst = static_cast<BYTE*>(locked.pBits) + size_t(y) * locked.Pitch;
    switch (how) {
      case RowCopy::Same:
        std::memcpy(dst, src, rowBytes);
        break;
      case RowCopy::Opaque:
        for (UINT x = 0; x < desc.Width; ++x) {
          uint32_t v;
          std::memcpy(&v, src + 4 * size_t(x), 4);
          v |= 0xFF000000u;
          std::memcpy(dst + 4 * size_t(x), &v, 4);
        }
        break;
      case RowCopy::Widen:
        ExpandBgrRow(src, dst, desc.Width);
        break;
      case RowCopy::None:
        break;
    }
  }
  *result = surface->UnlockRect();
  return true;
}

bool MayDecodeIntoLevel(const void* data, size_t size, UINT mipLevels, DWORD filter, D3DCOLOR colorKey) {
  return data != nullptr && LooksLikeJpeg(static_cast<const BYTE*>(data), size) && mipLevels == 1 &&
         filter != D3DX_DEFAULT && ShortcutFilter(filter) && colorKey == 0;
}

bool DecodeIntoLevel(IDirect3DTexture9* texture, const void* data, size_t size, const DecodedImage& image,
                     bool* filled) {
  if (image.format != D3DFMT_X8R8G8B8 || image.nextLevel != nullptr || texture->GetLevelCount() != 1) return false;
  IDirect3DSurface9* surface = nullptr;
  const bool wasMuted = SetDebugMute(true);
  bool done = false;
  D3DSURFACE_DESC desc{};
  if (SUCCEEDED(texture->GetSurfaceLevel(0, &surface)) && SUCCEEDED(surface->GetDesc(&desc)) &&
      desc.Width == image.width && desc.Height == image.height &&
      (desc.Format == D3DFMT_X8R8G8B8 || desc.Format == D3DFMT_A8R8G8B8)) {
    D3DLOCKED_RECT locked{};
    if (SUCCEEDED(surface->LockRect(&locked, nullptr, D3DLOCK_NOSYSLOCK))) {
      done = locked.Pitch > 0 &&
             SUCCEEDED(DecodeJpegInto(static_cast<const BYTE*>(data), size, image.width, image.height,
                                      static_cast<BYTE*>(locked.pBits), UINT(locked.Pitch),
                                      desc.Format == D3DFMT_A8R8G8B8));
      done = SUCCEEDED(surface->UnlockRect()) && done;
    }
  }
  if (surface != nullptr) surface->Release();
  SetDebugMute(wasMuted);
  *filled = done;
  return done;
}

}  // namespace gfx

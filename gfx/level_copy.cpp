// level_copy.cpp — see level_copy.h.
// Depends on: gfx/level_copy.h, gfx/block_codec.h, gfx/pixel_codec.h,
// gfx/image_decoders.h, gfx/debug_report.h.
#include "gfx/level_copy.h"

#include <cstdint>
#include <cstring>

#include "gfx/block_codec.h"
#include "gfx/debug_report.h"
#include "gfx/image_decoders.h"
#include "gfx/pixel_codec.h"
#include "gfx/resample.h"

namespace gfx {
namespace {

// No filtering, no gamma, and a word the level loader would accept: a
// filter with reserved bits set goes the long way, which refuses it.
bool ShortcutFilter(DWORD filter) {
  return (filter & kFilterKindMask) == D3DX_FILTER_NONE && (filter & D3DX_FILTER_SRGB) == 0 &&
         (filter & kFilterInvalidBits) == 0;
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
  const bool opaque = from == D3DFMT_X8R8G8B8 && desc.Format == D3DFMT_A8R8G8B8;
  if (desc.Format != from && !opaque) return false;

  D3DLOCKED_RECT locked{};
  SetDebugMute(true);
  const HRESULT lockResult = surface->LockRect(&locked, nullptr, D3DLOCK_NOSYSLOCK);
  SetDebugMute(wasMuted);
  if (FAILED(lockResult)) return false;  // the level loader has its own ways
  const size_t rowBytes = size_t(desc.Width) * (FormatBits(from) / 8);
  for (UINT y = 0; y < desc.Height; ++y) {
    const BYTE* src = image.pixels + size_t(y) * image.rowPitch;
    BYTE* dst = static_cast<BYTE*>(locked.pBits) + size_t(y) * locked.Pitch;
    if (!opaque) {
      std::memcpy(dst, src, rowBytes);
      continue;
    }
    for (UINT x = 0; x < desc.Width; ++x) {
      uint32_t v;
      std::memcpy(&v, src + 4 * x, 4);
      v |= 0xFF000000u;
      std::memcpy(dst + 4 * x, &v, 4);
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

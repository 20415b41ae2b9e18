// Fuzz target: D3DXLoadSurfaceFromMemory with fuzzed formats, sizes,
// rectangles, filter words and colour keys, into a surface held in memory.
// The first bytes choose the job; the rest are the source pixels.
#include <cstdint>
#include <cstring>
#include <vector>

#include "gfx/pixels/block_codec.h"
#include "gfx/gfx.h"
#include "gfx/pixels/pixel_codec.h"
#include "tests/gfx/memory_surface.h"

namespace {

const D3DFORMAT kFormats[] = {
    D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_P8,          D3DFMT_R8G8B8,        D3DFMT_R5G6B5,
    D3DFMT_A1R5G5B5, D3DFMT_A4R4G4B4, D3DFMT_A8,          D3DFMT_L8,            D3DFMT_A8L8,
    D3DFMT_V8U8,     D3DFMT_L6V5U5,   D3DFMT_Q8W8V8U8,    D3DFMT_A16B16G16R16F, D3DFMT_A32B32G32R32F,
    D3DFMT_R16F,     D3DFMT_A8P8,     D3DFMT_A2B10G10R10, D3DFMT_CxV8U8,        D3DFMT_DXT1,
    D3DFMT_UYVY,     D3DFMT_L16,      D3DFMT_G16R16,      D3DFMT_X8L8V8U8,      D3DFMT_D16_LOCKABLE,
    D3DFMT_DXT3,     D3DFMT_DXT5,     D3DFMT_YUY2,        D3DFMT_G8R8_G8B8,     D3DFMT_D24S8,
};
constexpr size_t kFormatCount = sizeof(kFormats) / sizeof(kFormats[0]);

struct Reader {
  const uint8_t* data;
  size_t size;
  size_t pos = 0;
  uint32_t Take(int bytes) {
    uint32_t v = 0;
    for (int i = 0; i < bytes; ++i) v |= uint32_t(pos < size ? data[pos++] : 0) << (8 * i);
    return v;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Reader in{data, size};
  const D3DFORMAT srcFormat = kFormats[in.Take(1) % kFormatCount];
  const D3DFORMAT destFormat = kFormats[in.Take(1) % kFormatCount];
  const UINT destW = 1 + in.Take(1) % 48, destH = 1 + in.Take(1) % 48;
  const UINT srcW = 1 + in.Take(1) % 48, srcH = 1 + in.Take(1) % 48;
  // Rectangles may be anything: the loader must refuse the bad ones.
  RECT destRect{LONG(in.Take(1) % 56) - 4, LONG(in.Take(1) % 56) - 4, LONG(in.Take(1) % 56) - 4,
                LONG(in.Take(1) % 56) - 4};
  const bool useDestRect = in.Take(1) & 1;
  RECT srcRect{LONG(in.Take(1) % srcW), LONG(in.Take(1) % srcH), 0, 0};
  srcRect.right = srcRect.left + LONG(in.Take(1) % (srcW - srcRect.left + 1));
  srcRect.bottom = srcRect.top + LONG(in.Take(1) % (srcH - srcRect.top + 1));
  const uint32_t rawFilter = in.Take(4);
  // Mostly valid filter words (kind 1-5 with any flag bits), sometimes raw.
  const DWORD filter = (rawFilter & 0x80000000u) ? rawFilter : ((rawFilter & 0x3F0000u) | (1 + (rawFilter & 0xFF) % 5));
  const D3DCOLOR key = (in.Take(1) & 1) ? in.Take(4) : 0;

  PALETTEENTRY palette[256];
  for (auto& e : palette) e = PALETTEENTRY{BYTE(in.Take(1)), BYTE(in.Take(1)), BYTE(in.Take(1)), BYTE(in.Take(1))};

  // Source rows (or block rows) exactly as long as the format needs.
  UINT srcPitch, srcRows;
  if (gfx::IsBlockCodecFormat(srcFormat)) {
    const gfx::BlockShape shape = gfx::BlockShapeOf(srcFormat);
    srcPitch = (srcW + shape.width - 1) / shape.width * shape.bytes;
    srcRows = (srcH + shape.height - 1) / shape.height;
  } else {
    srcPitch = srcW * (gfx::HasCodec(srcFormat) ? gfx::FormatBits(srcFormat) / 8 : 4);
    srcRows = srcH;
  }
  std::vector<BYTE> pixels(size_t(srcPitch) * srcRows);
  for (auto& b : pixels) b = BYTE(in.Take(1));

  const gfx::BlockShape shape = gfx::IsBlockCodecFormat(destFormat)
                                    ? gfx::BlockShapeOf(destFormat)
                                    : gfx::BlockShape{1, 1, gfx::HasCodec(destFormat) ? gfx::FormatBits(destFormat) / 8 : 4};
  gfxtest::MemorySurface surface(destW, destH, destFormat, shape.width, shape.height, shape.bytes);
  D3DXLoadSurfaceFromMemory(&surface, palette, useDestRect ? &destRect : nullptr, pixels.data(), srcFormat, srcPitch,
                            palette, &srcRect, filter, key);
  if (surface.locks != surface.unlocks) __builtin_trap();
  return 0;
}

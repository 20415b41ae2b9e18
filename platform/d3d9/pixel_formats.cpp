// pixel_formats.cpp — storage layout and texel decoding of the formats the
// software device keeps.
#include "platform/d3d9/pixel_formats.h"

#include <cstring>

namespace d3d9sw {
namespace {

constexpr FormatInfo kFormats[] = {
    // format, bytes, block w, block h, samplable, alpha
    {D3DFMT_R8G8B8, 3, 1, 1, false, false},
    {D3DFMT_A8R8G8B8, 4, 1, 1, true, true},
    {D3DFMT_X8R8G8B8, 4, 1, 1, true, false},
    {D3DFMT_R5G6B5, 2, 1, 1, true, false},
    {D3DFMT_X1R5G5B5, 2, 1, 1, true, false},
    {D3DFMT_A1R5G5B5, 2, 1, 1, true, true},
    {D3DFMT_A4R4G4B4, 2, 1, 1, true, true},
    {D3DFMT_R3G3B2, 1, 1, 1, true, false},
    {D3DFMT_A8, 1, 1, 1, true, true},
    {D3DFMT_A8R3G3B2, 2, 1, 1, true, true},
    {D3DFMT_X4R4G4B4, 2, 1, 1, true, false},
    {D3DFMT_A2B10G10R10, 4, 1, 1, true, true},
    {D3DFMT_A8B8G8R8, 4, 1, 1, true, true},
    {D3DFMT_X8B8G8R8, 4, 1, 1, true, false},
    {D3DFMT_G16R16, 4, 1, 1, true, false},
    {D3DFMT_A2R10G10B10, 4, 1, 1, true, true},
    {D3DFMT_A16B16G16R16, 8, 1, 1, true, true},
    {D3DFMT_A8P8, 2, 1, 1, false, true},
    {D3DFMT_P8, 1, 1, 1, false, false},
    {D3DFMT_L8, 1, 1, 1, true, false},
    {D3DFMT_A8L8, 2, 1, 1, true, true},
    {D3DFMT_A4L4, 1, 1, 1, true, true},
    {D3DFMT_L16, 2, 1, 1, true, false},
    {D3DFMT_V8U8, 2, 1, 1, false, false},
    {D3DFMT_L6V5U5, 2, 1, 1, false, false},
    {D3DFMT_X8L8V8U8, 4, 1, 1, false, false},
    {D3DFMT_Q8W8V8U8, 4, 1, 1, false, false},
    {D3DFMT_V16U16, 4, 1, 1, false, false},
    {D3DFMT_A2W10V10U10, 4, 1, 1, false, false},
    {D3DFMT_Q16W16V16U16, 8, 1, 1, false, false},
    {D3DFMT_CxV8U8, 2, 1, 1, false, false},
    {D3DFMT_UYVY, 4, 2, 1, false, false},
    {D3DFMT_YUY2, 4, 2, 1, false, false},
    {D3DFMT_R8G8_B8G8, 4, 2, 1, false, false},
    {D3DFMT_G8R8_G8B8, 4, 2, 1, false, false},
    {D3DFMT_DXT1, 8, 4, 4, false, true},
    {D3DFMT_DXT2, 16, 4, 4, false, true},
    {D3DFMT_DXT3, 16, 4, 4, false, true},
    {D3DFMT_DXT4, 16, 4, 4, false, true},
    {D3DFMT_DXT5, 16, 4, 4, false, true},
    {D3DFMT_D16_LOCKABLE, 2, 1, 1, false, false},
    {D3DFMT_D32F_LOCKABLE, 4, 1, 1, false, false},
    {D3DFMT_R16F, 2, 1, 1, false, false},
    {D3DFMT_G16R16F, 4, 1, 1, false, false},
    {D3DFMT_A16B16G16R16F, 8, 1, 1, false, true},
    {D3DFMT_R32F, 4, 1, 1, false, false},
    {D3DFMT_G32R32F, 8, 1, 1, false, false},
    {D3DFMT_A32B32G32R32F, 16, 1, 1, false, true},
};

inline uint32_t Pack(uint32_t a, uint32_t r, uint32_t g, uint32_t b) { return (a << 24) | (r << 16) | (g << 8) | b; }
inline uint32_t Expand(uint32_t v, uint32_t bits) {
  const uint32_t max = (1u << bits) - 1;
  return (v * 255 + max / 2) / max;
}
inline uint16_t Load16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t Load32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

}  // namespace

const FormatInfo* FindFormat(D3DFORMAT format) {
  for (const FormatInfo& info : kFormats) {
    if (info.format == format) return &info;
  }
  return nullptr;
}

uint32_t RowPitch(const FormatInfo& info, uint32_t width) {
  const uint64_t blocks = (static_cast<uint64_t>(width) + info.blockWidth - 1) / info.blockWidth;
  const uint64_t bytes = blocks * info.bytesPerBlock;
  return static_cast<uint32_t>((bytes + 3) & ~uint64_t{3});
}

uint32_t BlockRows(const FormatInfo& info, uint32_t height) {
  return (height + info.blockHeight - 1) / info.blockHeight;
}

uint32_t DecodeTexel(D3DFORMAT format, const uint8_t* p) {
  switch (format) {
    case D3DFMT_A8R8G8B8: return Load32(p);
    case D3DFMT_X8R8G8B8: return Load32(p) | 0xFF000000u;
    case D3DFMT_A8B8G8R8: {
      const uint32_t v = Load32(p);
      return (v & 0xFF00FF00u) | ((v >> 16) & 0xFF) | ((v & 0xFF) << 16);
    }
    case D3DFMT_X8B8G8R8: {
      const uint32_t v = Load32(p);
      return 0xFF000000u | (v & 0x0000FF00u) | ((v >> 16) & 0xFF) | ((v & 0xFF) << 16);
    }
    case D3DFMT_R5G6B5: {
      const uint32_t v = Load16(p);
      return Pack(255, Expand(v >> 11, 5), Expand((v >> 5) & 63, 6), Expand(v & 31, 5));
    }
    case D3DFMT_X1R5G5B5: {
      const uint32_t v = Load16(p);
      return Pack(255, Expand((v >> 10) & 31, 5), Expand((v >> 5) & 31, 5), Expand(v & 31, 5));
    }
    case D3DFMT_A1R5G5B5: {
      const uint32_t v = Load16(p);
      return Pack((v & 0x8000) ? 255 : 0, Expand((v >> 10) & 31, 5), Expand((v >> 5) & 31, 5), Expand(v & 31, 5));
    }
    case D3DFMT_A4R4G4B4: {
      const uint32_t v = Load16(p);
      return Pack(((v >> 12) & 15) * 17, ((v >> 8) & 15) * 17, ((v >> 4) & 15) * 17, (v & 15) * 17);
    }
    case D3DFMT_X4R4G4B4: {
      const uint32_t v = Load16(p);
      return Pack(255, ((v >> 8) & 15) * 17, ((v >> 4) & 15) * 17, (v & 15) * 17);
    }
    case D3DFMT_R3G3B2: {
      const uint32_t v = p[0];
      return Pack(255, Expand(v >> 5, 3), Expand((v >> 2) & 7, 3), Expand(v & 3, 2));
    }
    case D3DFMT_A8R3G3B2: {
      const uint32_t v = Load16(p);
      return Pack(v >> 8, Expand((v >> 5) & 7, 3), Expand((v >> 2) & 7, 3), Expand(v & 3, 2));
    }
    case D3DFMT_A8: return static_cast<uint32_t>(p[0]) << 24;
    case D3DFMT_L8: return Pack(255, p[0], p[0], p[0]);
    case D3DFMT_A8L8: return Pack(p[1], p[0], p[0], p[0]);
    case D3DFMT_A4L4: {
      const uint32_t l = (p[0] & 15) * 17;
      return Pack((p[0] >> 4) * 17, l, l, l);
    }
    case D3DFMT_L16: {
      const uint32_t l = Expand(Load16(p), 16);
      return Pack(255, l, l, l);
    }
    case D3DFMT_G16R16: {
      const uint32_t v = Load32(p);
      return Pack(255, Expand(v & 0xFFFF, 16), Expand(v >> 16, 16), 255);
    }
    case D3DFMT_A2R10G10B10: {
      const uint32_t v = Load32(p);
      return Pack((v >> 30) * 85, Expand((v >> 20) & 1023, 10), Expand((v >> 10) & 1023, 10), Expand(v & 1023, 10));
    }
    case D3DFMT_A2B10G10R10: {
      const uint32_t v = Load32(p);
      return Pack((v >> 30) * 85, Expand(v & 1023, 10), Expand((v >> 10) & 1023, 10), Expand((v >> 20) & 1023, 10));
    }
    case D3DFMT_A16B16G16R16: {
      const uint32_t r = Load16(p), g = Load16(p + 2), b = Load16(p + 4), a = Load16(p + 6);
      return Pack(Expand(a, 16), Expand(r, 16), Expand(g, 16), Expand(b, 16));
    }
    default: return 0xFF000000u;
  }
}

void DecodeRow(D3DFORMAT format, const uint8_t* src, uint32_t* dst, uint32_t count) {
  if (format == D3DFMT_A8R8G8B8) {
    std::memcpy(dst, src, static_cast<size_t>(count) * 4);
    return;
  }
  const FormatInfo* info = FindFormat(format);
  const uint32_t step = info ? info->bytesPerBlock : 4;
  for (uint32_t i = 0; i < count; ++i) dst[i] = DecodeTexel(format, src + static_cast<size_t>(i) * step);
}

}  // namespace d3d9sw

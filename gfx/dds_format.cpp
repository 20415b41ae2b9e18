// dds_format.cpp — DDS pixel format records and level layouts.
// The uncompressed formats are found by their bit count and masks (the same
// mask sets the bitmap decoder knows, plus luminance, alpha and bump-map
// ones); compressed and floating formats by their four-character code.
// Depends on: gfx/dds_format.h, gfx/block_codec.h, gfx/pixel_codec.h.
#include "gfx/dds_format.h"

#include "gfx/block_codec.h"
#include "gfx/pixel_codec.h"

namespace gfx {
namespace {

struct MaskRow {
  DWORD flags;  // the kind of record: kDdpfRgb, kDdpfLuminance, kDdpfAlpha or kDdpfBumpDuDv
  DWORD bits, red, green, blue, alpha;
  D3DFORMAT format;
};

constexpr MaskRow kMaskRows[] = {
    {kDdpfRgb, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, D3DFMT_A8R8G8B8},
    {kDdpfRgb, 32, 0xFF0000, 0xFF00, 0xFF, 0, D3DFMT_X8R8G8B8},
    {kDdpfRgb, 32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000, D3DFMT_A8B8G8R8},
    {kDdpfRgb, 32, 0xFF, 0xFF00, 0xFF0000, 0, D3DFMT_X8B8G8R8},
    {kDdpfRgb, 32, 0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000, D3DFMT_A2R10G10B10},
    {kDdpfRgb, 32, 0x3FF, 0xFFC00, 0x3FF00000, 0xC0000000, D3DFMT_A2B10G10R10},
    {kDdpfRgb, 32, 0xFFFF, 0xFFFF0000, 0, 0, D3DFMT_G16R16},
    {kDdpfRgb, 24, 0xFF0000, 0xFF00, 0xFF, 0, D3DFMT_R8G8B8},
    {kDdpfRgb, 16, 0xF800, 0x7E0, 0x1F, 0, D3DFMT_R5G6B5},
    {kDdpfRgb, 16, 0x7C00, 0x3E0, 0x1F, 0x8000, D3DFMT_A1R5G5B5},
    {kDdpfRgb, 16, 0x7C00, 0x3E0, 0x1F, 0, D3DFMT_X1R5G5B5},
    {kDdpfRgb, 16, 0xF00, 0xF0, 0xF, 0xF000, D3DFMT_A4R4G4B4},
    {kDdpfRgb, 16, 0xF00, 0xF0, 0xF, 0, D3DFMT_X4R4G4B4},
    {kDdpfRgb, 16, 0xE0, 0x1C, 0x3, 0xFF00, D3DFMT_A8R3G3B2},
    {kDdpfRgb, 8, 0xE0, 0x1C, 0x3, 0, D3DFMT_R3G3B2},
    {kDdpfLuminance, 8, 0xFF, 0, 0, 0, D3DFMT_L8},
    {kDdpfLuminance, 16, 0xFF, 0, 0, 0xFF00, D3DFMT_A8L8},
    {kDdpfLuminance, 8, 0xF, 0, 0, 0xF0, D3DFMT_A4L4},
    {kDdpfLuminance, 16, 0xFFFF, 0, 0, 0, D3DFMT_L16},
    {kDdpfAlpha, 8, 0, 0, 0, 0xFF, D3DFMT_A8},
    {kDdpfBumpDuDv, 16, 0xFF, 0xFF00, 0, 0, D3DFMT_V8U8},
    {kDdpfBumpDuDv, 32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000, D3DFMT_Q8W8V8U8},
    {kDdpfBumpDuDv, 32, 0xFFFF, 0xFFFF0000, 0, 0, D3DFMT_V16U16},
};

// Formats named by a four-character code (or, for the numbered ones, by
// their D3DFORMAT value in the same field).
constexpr D3DFORMAT kFourCCFormats[] = {
    D3DFMT_DXT1,    D3DFMT_DXT2,          D3DFMT_DXT3,     D3DFMT_DXT4,          D3DFMT_DXT5,
    D3DFMT_UYVY,    D3DFMT_YUY2,          D3DFMT_R8G8_B8G8, D3DFMT_G8R8_G8B8,    D3DFMT_A16B16G16R16,
    D3DFMT_Q16W16V16U16, D3DFMT_R16F,     D3DFMT_G16R16F,  D3DFMT_A16B16G16R16F, D3DFMT_R32F,
    D3DFMT_G32R32F, D3DFMT_A32B32G32R32F, D3DFMT_CxV8U8,
};

// The record kind, with alpha-pixels counted as RGB and luminance.
DWORD Kind(DWORD flags) {
  if (flags & kDdpfRgb) return kDdpfRgb;
  if (flags & kDdpfLuminance) return kDdpfLuminance;
  if (flags & kDdpfBumpDuDv) return kDdpfBumpDuDv;
  if (flags & kDdpfAlpha) return kDdpfAlpha;
  return 0;
}

}  // namespace

D3DFORMAT FormatFromDds(const DdsPixelFormat& pf) {
  if (pf.flags & kDdpfFourCC) {
    for (D3DFORMAT f : kFourCCFormats) {
      if (static_cast<DWORD>(f) == pf.fourCC) return f;
    }
    return D3DFMT_UNKNOWN;
  }
  const DWORD kind = Kind(pf.flags);
  // Only the masks the record's kind uses count; writers leave stale values
  // in the others. Alpha counts only when the record says it has alpha;
  // luminance is read from the red mask alone; an alpha-only record has no
  // colour masks.
  const DWORD alpha = (pf.flags & (kDdpfAlphaPixels | kDdpfAlpha)) || kind == kDdpfBumpDuDv ? pf.alpha : 0;
  const bool colour = kind == kDdpfRgb || kind == kDdpfBumpDuDv;
  const DWORD red = kind == kDdpfAlpha ? 0 : pf.red;
  const DWORD green = colour ? pf.green : 0;
  const DWORD blue = colour ? pf.blue : 0;
  for (const MaskRow& row : kMaskRows) {
    if (row.flags == kind && row.bits == pf.bits && row.red == red && row.green == green && row.blue == blue &&
        row.alpha == alpha)
      return row.format;
  }
  return D3DFMT_UNKNOWN;
}

D3DFORMAT FormatFromDxgi(DWORD dxgi) {
  switch (dxgi) {
    case 2: return D3DFMT_A32B32G32R32F;
    case 10: return D3DFMT_A16B16G16R16F;
    case 11: return D3DFMT_A16B16G16R16;
    case 16: return D3DFMT_G32R32F;
    case 24: return D3DFMT_A2B10G10R10;
    case 28: return D3DFMT_A8B8G8R8;
    case 34: return D3DFMT_G16R16F;
    case 35: return D3DFMT_G16R16;
    case 41: return D3DFMT_R32F;
    case 54: return D3DFMT_R16F;
    case 65: return D3DFMT_A8;
    case 71: return D3DFMT_DXT1;
    case 74: return D3DFMT_DXT3;
    case 77: return D3DFMT_DXT5;
    case 85: return D3DFMT_R5G6B5;
    case 86: return D3DFMT_A1R5G5B5;
    case 87: return D3DFMT_A8R8G8B8;
    case 88: return D3DFMT_X8R8G8B8;
    case 115: return D3DFMT_A4R4G4B4;
    default: return D3DFMT_UNKNOWN;
  }
}

bool DdsFromFormat(D3DFORMAT format, DdsPixelFormat* pf) {
  *pf = DdsPixelFormat{};
  for (D3DFORMAT f : kFourCCFormats) {
    if (f == format) {
      pf->flags = kDdpfFourCC;
      pf->fourCC = static_cast<DWORD>(f);
      return true;
    }
  }
  for (const MaskRow& row : kMaskRows) {
    if (row.format != format) continue;
    pf->flags = row.flags;
    if (row.alpha != 0 && row.flags != kDdpfAlpha && row.flags != kDdpfBumpDuDv) pf->flags |= kDdpfAlphaPixels;
    pf->bits = row.bits;
    pf->red = row.red;
    pf->green = row.green;
    pf->blue = row.blue;
    pf->alpha = row.alpha;
    return true;
  }
  return false;
}

bool LayoutOf(D3DFORMAT format, uint64_t width, uint64_t height, LevelLayout* layout) {
  if (IsBlockCodecFormat(format)) {
    const BlockShape s = BlockShapeOf(format);
    layout->rowPitch = (width + s.width - 1) / s.width * s.bytes;
    layout->rows = (height + s.height - 1) / s.height;
    return true;
  }
  const UINT bits = FormatBits(format);
  if (bits == 0) return false;
  layout->rowPitch = width * (bits / 8);
  layout->rows = height;
  return true;
}

}  // namespace gfx

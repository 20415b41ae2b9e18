// dds_format.h — how DirectDraw Surface files describe pixel formats and
// lay out their levels, shared by the DDS reader and writer.
//
// Provides: the header's field offsets and flags, DdsPixelFormat (the
// 32-byte pixel format record), the two-way mapping between it (or a DXGI
// code of the extended header) and D3DFORMAT, and the byte layout of one
// level of a format.
// Depends on: windows.h, d3d9.h.
#pragma once

#include <cstdint>

#include <windows.h>
#include <d3d9.h>

namespace gfx {

inline constexpr size_t kDdsHeaderBytes = 128;  // "DDS " and the 124-byte header
inline constexpr size_t kDdsExtendedBytes = 20;

// Header flags and capabilities.
inline constexpr DWORD kDdsdCaps = 0x1, kDdsdHeight = 0x2, kDdsdWidth = 0x4, kDdsdPitch = 0x8,
                       kDdsdPixelFormat = 0x1000, kDdsdMipMapCount = 0x20000, kDdsdLinearSize = 0x80000,
                       kDdsdDepth = 0x800000;
inline constexpr DWORD kDdsCapsComplex = 0x8, kDdsCapsTexture = 0x1000, kDdsCapsMipMap = 0x400000;
inline constexpr DWORD kDdsCaps2Cube = 0x200, kDdsCaps2AllFaces = 0xFC00, kDdsCaps2Volume = 0x200000;
// Pixel format flags.
inline constexpr DWORD kDdpfAlphaPixels = 0x1, kDdpfAlpha = 0x2, kDdpfFourCC = 0x4, kDdpfRgb = 0x40,
                       kDdpfLuminance = 0x20000, kDdpfBumpDuDv = 0x80000;

struct DdsPixelFormat {
  DWORD flags = 0;
  DWORD fourCC = 0;
  DWORD bits = 0;
  DWORD red = 0, green = 0, blue = 0, alpha = 0;
};

// The format a pixel format record names, or D3DFMT_UNKNOWN.
D3DFORMAT FormatFromDds(const DdsPixelFormat& pf);
// The format of a DXGI code (extended header), or D3DFMT_UNKNOWN.
D3DFORMAT FormatFromDxgi(DWORD dxgiFormat);
// The record that names `format`; false when a DDS file cannot hold it.
bool DdsFromFormat(D3DFORMAT format, DdsPixelFormat* pf);

// One level's layout: bytes from one row (of pixels, or of blocks) to the
// next, and how many such rows a slice has.
struct LevelLayout {
  uint64_t rowPitch = 0;
  uint64_t rows = 0;
};
// False when the format has no known layout.
bool LayoutOf(D3DFORMAT format, uint64_t width, uint64_t height, LevelLayout* layout);

}  // namespace gfx

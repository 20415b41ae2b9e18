// pixel_formats.h — what the software device knows of each D3DFORMAT: how
// it is stored, whether textures of it can be sampled, and how one texel
// reads back as 8-bit-per-channel ARGB.
//
// Depends on: d3d9.h.
#pragma once

#include <d3d9.h>

#include <cstddef>
#include <cstdint>

namespace d3d9sw {

struct FormatInfo {
  D3DFORMAT format = D3DFMT_UNKNOWN;
  uint32_t bytesPerBlock = 0;  // bytes of one pixel, or of one block
  uint32_t blockWidth = 1;     // 4 for DXT, 2 for the packed YUV pairs
  uint32_t blockHeight = 1;    // 4 for DXT
  bool samplable = false;      // the rasterizer can read it as a texture
  bool hasAlpha = false;
};

// Null for a format the device cannot store at all.
const FormatInfo* FindFormat(D3DFORMAT format);

// Row pitch in bytes of a level `width` pixels wide (whole blocks, rounded
// up to 4 bytes as video memory rows are).
uint32_t RowPitch(const FormatInfo& info, uint32_t width);
// Number of block rows of a level `height` pixels tall.
uint32_t BlockRows(const FormatInfo& info, uint32_t height);

// Converts `count` texels of a samplable format starting at `src` to ARGB.
void DecodeRow(D3DFORMAT format, const uint8_t* src, uint32_t* dst, uint32_t count);
// One texel of a samplable format as ARGB.
uint32_t DecodeTexel(D3DFORMAT format, const uint8_t* texel);

}  // namespace d3d9sw

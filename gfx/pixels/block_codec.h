// block_codec.h — formats that store pixels together: the block-compressed
// DXT1-DXT5 (4 x 4 pixels a block) and the packed YUV and RGBG formats
// (pairs of pixels sharing their colour).
//
// Such a picture cannot be read or written one row at a time, so the
// dispatcher stages it: the blocks that the rectangle touches are decoded
// into working pixels, converted there, and encoded back as whole blocks.
// Depends on: gfx/pixels/pixel_codec.h.
#pragma once

#include "gfx/pixels/pixel_codec.h"

namespace gfx {

bool IsBlockCodecFormat(D3DFORMAT format);

struct BlockShape {
  UINT width;   // pixels across a block
  UINT height;  // pixels down a block
  UINT bytes;   // bytes a block takes
};
BlockShape BlockShapeOf(D3DFORMAT format);

// Decodes blocksX x blocksY blocks (rows of blocks `pitch` bytes apart) into
// working pixels, `stride` pixels from one row of pixels to the next.
void DecodeBlocks(D3DFORMAT format, const BYTE* blocks, UINT pitch, UINT blocksX, UINT blocksY, Pixel* out,
                  size_t stride);

// Encodes working pixels (clamped to 0..1) into blocks.
void EncodeBlocks(D3DFORMAT format, BYTE* blocks, UINT pitch, UINT blocksX, UINT blocksY, const Pixel* in,
                  size_t stride);

}  // namespace gfx

// texture_create.h — shared pieces of the texture creators.
//
// The public entries (D3DXCreateTextureFromResourceExA/ExW and
// D3DXCreateTextureFromFileInMemoryEx) are declared in gfx/gfx.h; this header
// holds what the creators and the mip generator share.
// Depends on: gfx/gfx.h.
#pragma once

#include "gfx/gfx.h"

namespace gfx {

// The kind of a filter word (its low byte; bits 8-15 are never set in a
// valid word).
inline UINT FilterKind(DWORD filter) { return filter & 0xFF; }

// The smallest power of two not below `value` (1 for 0 and 1); values above
// 2^31 give 2^31, the largest a 32-bit size can hold.
UINT NextPowerOfTwo(UINT value);

// A requested texture size after its defaults: D3DX_DEFAULT_NONPOW2 takes
// the image's size, 0 and D3DX_DEFAULT the image's size raised to a power of
// two, anything else stays.
UINT DefaultTextureSize(UINT requested, UINT imageSize);

}  // namespace gfx

// filter_texture.h — the mip generator: later levels of a texture made from
// an earlier one.
//
// Provides: gfx::FilterTextureLevels, the body of D3DXFilterTexture (declared
// in gfx/gfx.h), which the texture creators also call directly.
// Depends on: gfx/gfx.h.
#pragma once

#include "gfx/gfx.h"

namespace gfx {

// Fills every level below `srcLevel` (of every face) from that level with
// the filter word (D3DX_DEFAULT meaning box). With a point or box filter
// each level is made from the one just written; with any other filter every
// level is made from `srcLevel` itself.
HRESULT FilterTextureLevels(IDirect3DBaseTexture9* texture, const PALETTEENTRY* palette, UINT srcLevel, DWORD filter);

}  // namespace gfx

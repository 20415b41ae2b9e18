// level_copy.h — the texture creators' shortcut for a level that needs no
// conversion: an image of the level's own size and format (or X8R8G8B8
// into A8R8G8B8, whose alpha is then opaque, or R8G8B8 widened into either,
// alpha opaque), loaded with no filtering and no colour key, is copied row
// by row instead of passing every pixel through the working form. The
// result is the one the level loader gives.
// A JPEG can go further: decoded straight into the level, with no buffer
// of its own.
// Depends on: gfx/formats/decoded_image.h.
#pragma once

#include "gfx/formats/decoded_image.h"

namespace gfx {

// True when the level was written here (*result then says how it went);
// false when the general level loader has to do it.
bool CopyLevelDirectly(IDirect3DSurface9* surface, const DecodedImage& image, DWORD filter, D3DCOLOR colorKey,
                       HRESULT* result);

// Whether a texture made from these bytes might be filled by
// DecodeIntoLevel: a JPEG asked for with one level, no filtering and no
// colour key.
bool MayDecodeIntoLevel(const void* data, size_t size, UINT mipLevels, DWORD filter, D3DCOLOR colorKey);

// Decodes the JPEG straight into the only level of `texture` when that
// level has the image's size and is X8R8G8B8 or A8R8G8B8 (which the
// image's X8R8G8B8 pixels fill exactly, alpha opaque). True (and *filled
// set) when the level was written; false, with nothing reported, when the
// caller has to decode the usual way (which reports any fault of the data).
bool DecodeIntoLevel(IDirect3DTexture9* texture, const void* data, size_t size, const DecodedImage& image,
                     bool* filled);

}  // namespace gfx

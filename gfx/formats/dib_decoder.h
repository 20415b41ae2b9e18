// dib_decoder.h — device-independent bitmaps into decoded images.
//
// Provides: DecodeDib (a bitmap that starts with its information header: the
// form of RT_BITMAP resources) and DecodeBmpFile (a .bmp file with its 14-byte
// file header). Both treat every size, count and offset in the bytes as
// untrusted. Top-down uncompressed bitmaps of 8 bits or more are used in
// place (the image borrows the input bytes); everything else is decoded into
// one owned buffer, top row first.
// Depends on: gfx/formats/decoded_image.h, gfx/debug_report.h.
#pragma once

#include <cstddef>

#include "gfx/formats/decoded_image.h"

namespace gfx {

// Returns S_OK, E_FAIL (data not accepted) or E_OUTOFMEMORY. On failure the
// image may hold partial fields and allocations: ClearDecodedImage it.
// The image's loadPixels flag decides whether pixels and palette are made.
HRESULT DecodeDib(DecodedImage* image, const BYTE* data, size_t size);
HRESULT DecodeBmpFile(DecodedImage* image, const BYTE* data, size_t size);

}  // namespace gfx

// image_loader.h — recognising an image held in memory and decoding it.
//
// Provides: gfx::LoadImageFromMemory, which tries the decoders in a fixed
// order (BMP file, PPM, DDS, JPEG, PNG, TGA, then a bare DIB, the form of a
// bitmap resource) and keeps the first that accepts the bytes, and
// gfx::FillImageInfo, the D3DXIMAGE_INFO of a decoded image.
// A bitmap resource passes none of the PPM, DDS, JPEG, PNG and TGA tests
// (image_decoders.h), so they reject it without a word.
// Depends on: gfx/formats/decoded_image.h, gfx/formats/dib_decoder.h, gfx/formats/image_decoders.h,
// gfx/debug_report.h.
#pragma once

#include <cstddef>

#include "gfx/formats/decoded_image.h"

namespace gfx {

// Decodes `size` bytes at `data` into `image` (whose loadPixels flag says
// whether pixels and palette are wanted). On success the image's rectangle
// covers the whole picture and, when `info` is given, it is filled. Returns
// S_OK, D3DERR_INVALIDCALL for missing data, D3DXERR_INVALIDDATA when no
// decoder accepts the bytes. On failure the image is left cleared.
HRESULT LoadImageFromMemory(const void* data, size_t size, D3DXIMAGE_INFO* info, DecodedImage* image);

// The description of a decoded image as callers of the library see it.
void FillImageInfo(const DecodedImage& image, D3DXIMAGE_INFO* info);

}  // namespace gfx

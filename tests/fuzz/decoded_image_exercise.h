// Shared by the bitmap fuzz targets: a decoded picture is read whole (pixels
// and palette) and converted to A8R8G8B8, so any description that does not
// match the memory behind it shows up under the sanitizers.
#pragma once

#include <cstdint>
#include <vector>

#include "gfx/formats/dib_decoder.h"
#include "gfx/pixels/pixel_codec.h"
#include "gfx/pixels/resample.h"

namespace fuzz_support {


inline void ExerciseDecodedImage(const gfx::DecodedImage& image) {
  if (image.pixels == nullptr) return;
  const UINT bits = gfx::FormatBits(image.format);
  volatile BYTE sink = 0;
  // Every row of a small picture; the first and last rows of a large one
  // (a size that does not match the memory shows at the ends).
  const bool small = uint64_t(image.width) * image.height <= (1u << 16);
  for (UINT y = 0; y < image.height; y = (small || y + 1 == image.height) ? y + 1 : image.height - 1) {
    const BYTE* row = image.pixels + size_t(y) * image.rowPitch;
    for (size_t i = 0; i < size_t(image.width) * bits / 8; ++i) sink = sink ^ row[i];
  }
  if (image.palette) {
    for (int i = 0; i < 256; ++i) sink = sink ^ image.palette[i].peRed;
  }
  if (!small) return;
  gfx::ImageView src, dest;
  src.format = image.format;
  src.pixels = const_cast<BYTE*>(image.pixels);
  src.rowPitch = image.rowPitch;
  src.width = image.width;
  src.height = image.height;
  src.depth = 1;
  for (int i = 0; i < 256; ++i) {
    const PALETTEENTRY e = image.palette ? image.palette[i] : PALETTEENTRY{255, 255, 255, 255};
    src.palette[i] = gfx::Pixel{e.peRed / 255.0f, e.peGreen / 255.0f, e.peBlue / 255.0f, e.peFlags / 255.0f};
  }
  std::vector<BYTE> out(size_t(image.width) * image.height * 4);
  dest.format = D3DFMT_A8R8G8B8;
  dest.pixels = out.data();
  dest.rowPitch = image.width * 4;
  dest.width = image.width;
  dest.height = image.height;
  dest.depth = 1;
  gfx::DispatchConversion(&dest, &src, D3DX_FILTER_NONE);
}

}  // namespace fuzz_support

// Shared by the fuzz targets of the PPM, TGA, DDS, PNG and JPEG decoders:
// each input is decoded twice (description only, then with pixels) and
// every level and face of an accepted picture is read whole, so a
// description that does not match the memory behind it shows up under the
// sanitizers.
#pragma once

#include <cstdint>

#include "gfx/pixels/block_codec.h"
#include "gfx/formats/dds_format.h"
#include "gfx/formats/image_decoders.h"
#include "tests/fuzz/decoded_image_exercise.h"

namespace fuzz_support {

inline void ReadEveryLevel(const gfx::DecodedImage& image) {
  volatile BYTE sink = 0;
  for (const gfx::DecodedImage* face = &image; face != nullptr; face = face->nextFace) {
    for (const gfx::DecodedImage* level = face; level != nullptr; level = level->nextLevel) {
      if (level->pixels == nullptr) continue;
      gfx::LevelLayout layout;
      if (!gfx::LayoutOf(level->format, level->width, level->height, &layout)) continue;
      const uint64_t bytes = layout.rowPitch * layout.rows * level->depth;
      for (uint64_t i = 0; i < bytes; i += 61) sink = sink ^ level->pixels[i];
      if (bytes > 0) sink = sink ^ level->pixels[bytes - 1];
      if (!gfx::IsBlockCodecFormat(level->format) && level->depth == 1) ExerciseDecodedImage(*level);
    }
  }
}

template <HRESULT (*Decode)(gfx::DecodedImage*, const BYTE*, size_t)>
int FuzzDecoder(const uint8_t* data, size_t size) {
  for (bool load : {false, true}) {
    gfx::DecodedImage image;
    image.loadPixels = load;
    if (SUCCEEDED(Decode(&image, data, size))) ReadEveryLevel(image);
    gfx::ClearDecodedImage(&image);
  }
  return 0;
}

}  // namespace fuzz_support

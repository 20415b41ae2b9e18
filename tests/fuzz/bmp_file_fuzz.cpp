// Fuzz target: the BMP-file decoder on arbitrary bytes, each picture it accepts read back whole.
#include <cstdint>

#include "tests/fuzz/decoded_image_exercise.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  for (bool load : {false, true}) {
    gfx::DecodedImage image;
    image.loadPixels = load;
    if (SUCCEEDED(gfx::DecodeBmpFile(&image, data, size))) fuzz_support::ExerciseDecodedImage(image);
    gfx::ClearDecodedImage(&image);
  }
  return 0;
}

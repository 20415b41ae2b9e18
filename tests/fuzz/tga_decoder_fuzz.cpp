// Fuzz target: the TGA decoder on arbitrary bytes, each picture it accepts read back whole.
#include <cstdint>

#include "tests/fuzz/image_decoder_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return fuzz_support::FuzzDecoder<gfx::DecodeTga>(data, size);
}

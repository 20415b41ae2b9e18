// png_writer.cpp — frames to PNG through stb_image_write.
#include "host/headless/png_writer.h"

#include <vector>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wunused-function"
#endif
#include <stb/stb_image_write.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace host {

bool WritePng(const std::string& path, const uint32_t* argb, int width, int height, int pitchBytes) {
  if (argb == nullptr || width <= 0 || height <= 0 || pitchBytes < width * 4) return false;
  // Keep the RGB buffer within what stb can index.
  if (static_cast<int64_t>(width) * height > (int64_t{1} << 28)) return false;
  std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
  const auto* base = reinterpret_cast<const uint8_t*>(argb);
  for (int y = 0; y < height; ++y) {
    const auto* row = reinterpret_cast<const uint32_t*>(base + static_cast<size_t>(y) * pitchBytes);
    uint8_t* out = rgb.data() + static_cast<size_t>(y) * width * 3;
    for (int x = 0; x < width; ++x) {
      uint32_t p = row[x];
      out[3 * x] = static_cast<uint8_t>(p >> 16);
      out[3 * x + 1] = static_cast<uint8_t>(p >> 8);
      out[3 * x + 2] = static_cast<uint8_t>(p);
    }
  }
  return stbi_write_png(path.c_str(), width, height, 3, rgb.data(), width * 3) != 0;
}

}  // namespace host

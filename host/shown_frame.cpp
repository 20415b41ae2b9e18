// shown_frame.cpp — the frame a window last showed.
#include "host/shown_frame.h"

#include <cstring>

namespace host {

bool SameFrame(const std::vector<uint32_t>& shown, int shownWidth, const uint32_t* pixels, int width, int height,
               int pitchBytes) {
  if (pixels == nullptr || width <= 0 || height <= 0 || pitchBytes < width * 4 || shownWidth != width) return false;
  const size_t row = static_cast<size_t>(width);
  if (shown.empty() || shown.size() != row * static_cast<size_t>(height)) return false;
  const auto* bytes = reinterpret_cast<const uint8_t*>(pixels);
  for (int y = 0; y < height; ++y) {
    if (std::memcmp(shown.data() + row * y, bytes + static_cast<size_t>(y) * pitchBytes, row * 4) != 0) return false;
  }
  return true;
}

void KeepFrame(std::vector<uint32_t>* shown, const uint32_t* pixels, int width, int height, int pitchBytes) {
  if (shown == nullptr) return;
  if (pixels == nullptr || width <= 0 || height <= 0 || pitchBytes < width * 4) {
    shown->clear();
    return;
  }
  const size_t row = static_cast<size_t>(width);
  shown->resize(row * static_cast<size_t>(height));
  const auto* bytes = reinterpret_cast<const uint8_t*>(pixels);
  for (int y = 0; y < height; ++y) {
    std::memcpy(shown->data() + row * y, bytes + static_cast<size_t>(y) * pitchBytes, row * 4);
  }
}

}  // namespace host

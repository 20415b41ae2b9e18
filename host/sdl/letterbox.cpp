// letterbox.cpp — the letterbox arithmetic, in 64-bit integers.
#include "host/sdl/letterbox.h"

#include <algorithm>
#include <cstdint>

namespace host::sdl {

Placement PlaceClient(int outputWidth, int outputHeight) {
  Placement p;
  if (outputWidth <= 0 || outputHeight <= 0) return p;
  const int64_t ow = outputWidth, oh = outputHeight;
  // Fit the width unless that makes the picture too tall.
  if (ow * kClientHeight <= oh * kClientWidth) {
    p.width = outputWidth;
    p.height = static_cast<int>(ow * kClientHeight / kClientWidth);
  } else {
    p.height = outputHeight;
    p.width = static_cast<int>(oh * kClientWidth / kClientHeight);
  }
  p.width = std::max(p.width, 1);
  p.height = std::max(p.height, 1);
  p.x = (outputWidth - p.width) / 2;
  p.y = (outputHeight - p.height) / 2;
  p.prescale = std::max(1, std::min(p.width / kClientWidth, p.height / kClientHeight));
  return p;
}

void OutputToClient(const Placement& p, int outX, int outY, int* x, int* y) {
  auto scale = [](int v, int origin, int extent, int client) {
    const int64_t d = static_cast<int64_t>(v) - origin;
    if (extent <= 0) return -1;
    // Floor division, so pixels left of or above the picture stay negative.
    const int64_t n = d * client;
    return static_cast<int>(n >= 0 ? n / extent : -((-n + extent - 1) / extent));
  };
  *x = scale(outX, p.x, p.width, kClientWidth);
  *y = scale(outY, p.y, p.height, kClientHeight);
}

}  // namespace host::sdl

#include "icons.h"

#include <algorithm>

#include "gfx/formats/frame_png.h"

namespace assetgen {

Indexed ScalePixelArt(const Indexed& src, int width, int height) {
  Indexed out{width, height, std::vector<uint8_t>(size_t(width) * size_t(height)), src.palette};
  if (src.w <= 0 || src.h <= 0 || width <= 0 || height <= 0) return out;
  // Overlaps are measured in units of 1/(width * height) of a source pixel
  // so the arithmetic stays exact: source column i spans [i*width,
  // (i+1)*width), destination column x spans [x*src.w, (x+1)*src.w).
  auto overlap = [](int64_t a0, int64_t a1, int64_t b0, int64_t b1) {
    return std::max<int64_t>(0, std::min(a1, b1) - std::max(a0, b0));
  };
  std::vector<int64_t> weight(256);
  for (int y = 0; y < height; ++y) {
    const int64_t dy0 = int64_t(y) * src.h, dy1 = dy0 + src.h;
    const int sy0 = int(dy0 / height), sy1 = int(std::min<int64_t>(src.h, (dy1 + height - 1) / height));
    for (int x = 0; x < width; ++x) {
      const int64_t dx0 = int64_t(x) * src.w, dx1 = dx0 + src.w;
      const int sx0 = int(dx0 / width), sx1 = int(std::min<int64_t>(src.w, (dx1 + width - 1) / width));
      std::fill(weight.begin(), weight.end(), 0);
      int best = src.at(sx0, sy0);
      for (int sy = sy0; sy < sy1; ++sy) {
        const int64_t wy = overlap(int64_t(sy) * height, int64_t(sy + 1) * height, dy0, dy1);
        for (int sx = sx0; sx < sx1; ++sx) {
          const int c = src.at(sx, sy);
          weight[size_t(c)] += wy * overlap(int64_t(sx) * width, int64_t(sx + 1) * width, dx0, dx1);
          if (weight[size_t(c)] > weight[size_t(best)]) best = c;
        }
      }
      out.at(x, y) = uint8_t(best);
    }
  }
  return out;
}

std::vector<uint8_t> PngBytes(const Indexed& img) {
  std::vector<uint32_t> argb(img.idx.size());
  for (size_t i = 0; i < img.idx.size(); ++i) {
    const Rgb8 c = img.palette[img.idx[i]];
    argb[i] = 0xFF000000u | uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | c.b;
  }
  std::vector<uint8_t> png;
  if (!gfx::FramePngBytes(argb.data(), img.w, img.h, img.w * 4, &png)) png.clear();
  return png;
}

const std::vector<int>& DesktopIconSizes() {
  static const std::vector<int> sizes = {16, 24, 32, 48, 64, 128, 256};
  return sizes;
}

std::string DesktopIconFile(int size) { return "icon-" + std::to_string(size) + ".png"; }

}  // namespace assetgen

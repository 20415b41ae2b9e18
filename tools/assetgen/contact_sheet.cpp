#include "contact_sheet.h"

#include <algorithm>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

namespace assetgen {

bool WriteContactSheet(const std::string& path, const std::vector<std::vector<SheetItem>>& rows, int scale) {
  const int pad = 16;
  int width = pad, height = pad;
  for (const auto& row : rows) {
    int w = pad, h = 0;
    for (const SheetItem& it : row) w += it.image->w * scale + pad, h = std::max(h, it.image->h * scale);
    width = std::max(width, w);
    height += h + pad;
  }
  std::vector<uint8_t> rgb(size_t(width) * size_t(height) * 3, 0x80);
  int y0 = pad;
  for (const auto& row : rows) {
    int x0 = pad, rowH = 0;
    for (const SheetItem& it : row) {
      const Indexed& im = *it.image;
      for (int y = 0; y < im.h * scale; ++y)
        for (int x = 0; x < im.w * scale; ++x) {
          int sx = x / scale, sy = y / scale;
          if (it.transparent && (*it.transparent)[size_t(sy * im.w + sx)]) continue;
          Rgb8 c = im.palette[im.at(sx, sy)];
          size_t o = (size_t(y0 + y) * size_t(width) + size_t(x0 + x)) * 3;
          rgb[o] = c.r, rgb[o + 1] = c.g, rgb[o + 2] = c.b;
        }
      x0 += im.w * scale + pad;
      rowH = std::max(rowH, im.h * scale);
    }
    y0 += rowH + pad;
  }
  return stbi_write_png(path.c_str(), width, height, 3, rgb.data(), width * 3) != 0;
}

}  // namespace assetgen

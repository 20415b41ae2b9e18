#include "contact_sheet.h"

#include <algorithm>

#include "gfx/formats/frame_png.h"

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
  std::vector<uint32_t> argb(size_t(width) * size_t(height), 0xFF808080u);
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
          argb[size_t(y0 + y) * size_t(width) + size_t(x0 + x)] =
              0xFF000000u | uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | c.b;
        }
      x0 += im.w * scale + pad;
      rowH = std::max(rowH, im.h * scale);
    }
    y0 += rowH + pad;
  }
  return gfx::WriteFramePng(path, argb.data(), width, height, width * 4);
}

}  // namespace assetgen

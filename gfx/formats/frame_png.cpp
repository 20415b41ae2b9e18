// frame_png.cpp — frames to PNG through EncodePng.
#include "gfx/formats/frame_png.h"

#include <algorithm>
#include <cstdio>
#include <memory>

namespace gfx {

bool FramePngBytes(const uint32_t* argb, int width, int height, int pitchBytes, Bytes* out) {
  if (argb == nullptr || out == nullptr || width <= 0 || height <= 0 || pitchBytes / 4 < width) return false;
  // PNG rows are indexed with 32 bits; keep well inside that.
  if (static_cast<int64_t>(width) * height > (int64_t{1} << 28)) return false;
  Picture picture;
  picture.width = static_cast<UINT>(width);
  picture.height = static_cast<UINT>(height);
  picture.argb.resize(static_cast<size_t>(width) * height);
  const auto* base = reinterpret_cast<const uint8_t*>(argb);
  for (int y = 0; y < height; ++y) {
    const auto* row = reinterpret_cast<const uint32_t*>(base + static_cast<size_t>(y) * pitchBytes);
    std::copy(row, row + width, picture.argb.begin() + static_cast<ptrdiff_t>(y) * width);
  }
  return SUCCEEDED(EncodePng(picture, out));
}

bool WriteFramePng(const std::string& path, const uint32_t* argb, int width, int height, int pitchBytes) {
  Bytes png;
  if (!FramePngBytes(argb, width, height, pitchBytes, &png)) return false;
  struct Close {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };
  std::unique_ptr<std::FILE, Close> file(std::fopen(path.c_str(), "wb"));
  if (!file) return false;
  const bool written = std::fwrite(png.data(), 1, png.size(), file.get()) == png.size();
  // A full disk shows only when the buffer is flushed.
  return std::fclose(file.release()) == 0 && written;
}

}  // namespace gfx

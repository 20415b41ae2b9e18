// canvas_frame.h — the picture the page's canvas holds, kept on the program's
// side so that only what changed is converted and uploaded.
//
// Provides: host::web::CanvasFrame. The game presents XRGB frames (blue in
// the lowest byte); a 2D canvas takes straight RGBA bytes. The frame keeps
// the last presented picture twice, as presented (to find what differs) and
// as the canvas' RGBA bytes (so a changed span is converted alone and the
// page uploads just the rectangle around the changes).
// Depends on: the C++ standard library only (the browser-free half of the
// browser host, built and tested natively too).
#pragma once

#include <cstdint>
#include <vector>

namespace host::web {

// A rectangle of pixels; empty when either side is zero.
struct PixelRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  bool Empty() const { return width <= 0 || height <= 0; }
};

class CanvasFrame {
 public:
  // Takes a presented frame (rows `pitchBytes` apart) and returns the
  // smallest rectangle holding every pixel that differs from the previous
  // one: the whole frame after a size change or Clear, empty when nothing
  // changed. A frame it cannot take (no pixels, a size or pitch that does
  // not fit) forgets the picture and returns empty. Afterwards Rgba() holds
  // the new frame in full.
  PixelRect Update(const uint32_t* pixels, int width, int height, int pitchBytes);
  // Forgets the picture: the next frame is new everywhere.
  void Clear();

  // The kept picture as RGBA bytes, Width() x Height(), rows packed; null
  // when there is none.
  const uint8_t* Rgba() const;
  int Width() const { return width_; }
  int Height() const { return height_; }

 private:
  std::vector<uint32_t> shown_;  // as presented, rows packed
  std::vector<uint32_t> rgba_;   // the same picture in the canvas' byte order
  int width_ = 0;
  int height_ = 0;
};

// Converts `count` XRGB pixels to opaque RGBA bytes (written as 32-bit
// words; `out` may not overlap `pixels`).
void XrgbToRgbaSpan(const uint32_t* pixels, int count, uint32_t* out);

}  // namespace host::web

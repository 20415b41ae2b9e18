// page_layout.h — fitting the 800 x 640 client into a web page, sharply.
//
// Provides: the size the canvas is shown at (a whole number of device
// pixels per client pixel, the largest that fits, never less than one), the
// way back from a point on the shown canvas to client coordinates, and the
// frame's pixels in the byte order a canvas takes.
// Depends on: the C++ standard library only, so it is checked natively.
#pragma once

#include <cstdint>
#include <optional>

namespace host::web {

struct CanvasSize {
  double cssWidth = 0;
  double cssHeight = 0;
  int factor = 1;  // device pixels per client pixel, each way
};

// The canvas size for an area of `availWidth` x `availHeight` CSS pixels on
// a screen of `devicePixelRatio` device pixels per CSS pixel.
CanvasSize SharpCanvasSize(double availWidth, double availHeight, double devicePixelRatio);

// A point at (x, y) CSS pixels from the top left of a canvas shown at
// `cssWidth` x `cssHeight`, in client pixels. Nothing for a point outside.
struct ClientPoint {
  int x = 0;
  int y = 0;
};
std::optional<ClientPoint> ClientPointFromCss(double x, double y, double cssWidth, double cssHeight);

// X8R8G8B8 rows (`pitchBytes` apart) to tightly packed R, G, B, A bytes,
// opaque: the X byte is not alpha.
void XrgbToRgba(const uint32_t* pixels, int width, int height, int pitchBytes, uint8_t* out);

}  // namespace host::web

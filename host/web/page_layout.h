// page_layout.h — fitting the 800 x 640 client into a web page, sharply.
//
// Provides: the size the canvas is shown at (a whole number of device
// pixels per client pixel, the largest that fits, never less than one), the
// way back from a point on the shown canvas to client coordinates, the
// frame's pixels in the byte order a canvas takes, and the calendar time a
// page address may fix.
// Depends on: the C++ standard library only, so it is checked natively.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

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

// The `time` parameter of a page address' query ("?time=1700000000"):
// whole seconds since 1970, digits only, at most year 9999. Nothing when the
// parameter is absent or not such a number.
std::optional<int64_t> CalendarTimeFromQuery(std::string_view query);

}  // namespace host::web

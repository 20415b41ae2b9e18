// page_layout.h — fitting the 800 x 640 client into a web page, sharply.
//
// Provides: the size the canvas is shown at (a whole number of device
// pixels per client pixel where that fills enough of the room, otherwise the
// whole room, smoothed), the way back from a point on the shown canvas to
// client coordinates.
// Depends on: the C++ standard library only, so it is checked natively.
#pragma once

#include <cstdint>
#include <optional>

namespace host::web {

struct CanvasSize {
  double cssWidth = 0;
  double cssHeight = 0;
  int factor = 1;     // whole device pixels per client pixel, each way, that fit (at least 1)
  bool whole = true;  // shown at exactly `factor` (hard-edged); otherwise filling the room, smoothed
};

// A factor of one is kept only where it fills this share of the room: on a
// dense phone screen one device pixel per client pixel leaves a board of
// thumbnail size (cells under 30 CSS pixels) in a mostly empty page.
constexpr double kMinFillAtFactorOne = 0.85;

// The canvas size for an area of `availWidth` x `availHeight` CSS pixels on
// a screen of `devicePixelRatio` device pixels per CSS pixel. Whole factors
// of two and more always fill over two thirds of the room and are kept; where
// only one fits and it fills too little, or not even one fits, the canvas
// fills the room, smoothly scaled. The canvas never exceeds the room.
CanvasSize SharpCanvasSize(double availWidth, double availHeight, double devicePixelRatio);

// A point at (x, y) CSS pixels from the top left of a canvas shown at
// `cssWidth` x `cssHeight`, in client pixels. Nothing for a point outside.
struct ClientPoint {
  int x = 0;
  int y = 0;
};
std::optional<ClientPoint> ClientPointFromCss(double x, double y, double cssWidth, double cssHeight);

}  // namespace host::web

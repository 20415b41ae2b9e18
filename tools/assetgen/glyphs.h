// A small stroked sans-serif alphabet of our own: capitals, digits, the
// lower-case letters the title card needs, and '!'. Glyphs are drawn as thick
// round-capped strokes, so their weight is one number.
#pragma once

#include <string_view>
#include <vector>

#include "raster.h"

namespace assetgen {

struct Glyph {
  float advance = 0;                       // width in cap heights
  std::vector<std::vector<Point>> strokes; // y 0 = cap line, 1 = baseline
};

// Throws nothing; unknown characters give an empty glyph of space width.
Glyph GetGlyph(char c);

// The glyph scaled to cap height `height` pixels, with its box centred at
// (cx, cy), drawn with strokes `weight` pixels wide.
Shape GlyphShape(char c, float cx, float cy, float height, float weight);

// A line of text starting at (x, capTop); `tracking` is extra space between
// letters in pixels.
Shape TextShape(std::string_view text, float x, float capTop, float height, float weight, float tracking);
float TextWidth(std::string_view text, float height, float tracking);

}  // namespace assetgen

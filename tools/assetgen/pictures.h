// Every picture the game carries, drawn from shapes and mapped to its colour
// table. Deterministic: the same build draws the same pixels.
#pragma once

#include <string_view>
#include <vector>

#include "raster.h"

namespace assetgen {

constexpr int kCell = 88;

// The floor tile: light blue face, mid-blue bevel, navy border and three
// cream highlight stripes, with fixed pixel counts of each.
Indexed FloorTile();

struct GlyphStyle {
  int fill;            // tile-table index of the glyph
  int outline;         // tile-table index of a thin outline, or -1
  float height;        // cap height in pixels
  float weight;        // stroke width in pixels
  int minPixels, maxPixels;  // allowed count of `fill` pixels per cell
};

// One floor cell per character, side by side; "!!" as a single cell is
// written as the character '#'.
Indexed GlyphStrip(const Indexed& floor, std::string_view cells, const GlyphStyle& style);

Indexed Walker();
Indexed Partner();
Indexed Gem();
Indexed Block();
Indexed Stranger();
// Frames 0..3: the walker turned clockwise in quarter turns, in the spin
// table's colours.
Indexed SpinStrip(const Indexed& walker);
Indexed TitleCard(const Indexed& floor, const Indexed& walker, const Indexed& partner, const Indexed& gem);

struct CursorPicture {
  Indexed image;
  std::vector<bool> transparent;
};
CursorPicture Cursor();
Indexed Icon();

}  // namespace assetgen

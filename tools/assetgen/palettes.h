// The colour tables the game's pictures are stored with.
#pragma once

#include <vector>

#include "raster.h"

namespace assetgen {

// Indices of the shared 16-colour tile table.
enum Tile : int {
  kNearBlack = 0, kNavy, kIndigo, kDarkBrown, kMidBlue, kDarkGreen, kCrimson, kRed,
  kBrown, kLavender, kGreen, kLightBlue, kOrange, kTan, kCream, kWhite
};

std::vector<Rgb8> TilePalette();
std::vector<Rgb8> SpinPalette();
// The 256-colour table of the block, the stranger and the icon.
std::vector<Rgb8> CommonPalette();
// Index of a colour in the common table's 8 x 8 x 4 cube (r, g in steps of
// 0x20, b in steps of 0x40).
int CubeIndex(int r, int g, int b);

}  // namespace assetgen

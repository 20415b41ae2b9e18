// The desktop's icons: the program's icon picture at the sizes a desktop
// asks for, kept as pixel art (no colour in them that the picture lacks).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "raster.h"

namespace assetgen {

// Each destination pixel takes the colour that covers most of its area in
// the source (ties keep the colour that reached the winning share first). At whole
// enlarging factors that is exactly nearest-neighbour, and at any other
// factor it keeps edges hard instead of blending neighbours into new
// colours.
Indexed ScalePixelArt(const Indexed& src, int width, int height);

// An 8-bit RGB PNG of the picture; the same bytes on every run.
std::vector<uint8_t> PngBytes(const Indexed& img);

// The sizes installed under share/icons/hicolor, and the asset file of each.
const std::vector<int>& DesktopIconSizes();
std::string DesktopIconFile(int size);

}  // namespace assetgen

// Byte layouts of the stored resources: bitmaps as they sit in RT_BITMAP
// (information header, colour table, bottom-up rows, no file header),
// cursor and icon images with their AND masks, and the group directories.
#pragma once

#include <cstdint>
#include <vector>

#include "raster.h"

namespace assetgen {

using Bytes = std::vector<uint8_t>;

// bits is 4 or 8; the table is written with 2^bits entries (missing ones
// zero). clrUsed is stored as given.
Bytes DibResource(const Indexed& img, int bits, uint32_t clrUsed = 0);

// A cursor image: hotspot, then a header with doubled height, table, XOR
// pixels and the AND mask (true = transparent).
Bytes CursorImage(const Indexed& img, int bits, int hotX, int hotY, const std::vector<bool>& transparent);
Bytes IconImage(const Indexed& img, int bits, const std::vector<bool>& transparent);

Bytes CursorGroup(int width, int height, int bits, uint32_t imageBytes, uint16_t imageId);
Bytes IconGroup(int width, int height, int bits, uint32_t imageBytes, uint16_t imageId);

}  // namespace assetgen

// A PNG of every picture, enlarged, on a grey ground, for looking at the set.
#pragma once

#include <string>
#include <vector>

#include "raster.h"

namespace assetgen {

struct SheetItem {
  const Indexed* image;
  const std::vector<bool>* transparent;  // may be null
};

// Rows of items; returns false if the file could not be written.
bool WriteContactSheet(const std::string& path, const std::vector<std::vector<SheetItem>>& rows, int scale);

}  // namespace assetgen

// image_fixtures.h — the decoder fixtures of tests/data/images: their
// folders and manifests (see make_fixtures.py there), and the comparison of
// a decoded picture with its reference.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include <windows.h>
#include "tests/support/read_file.h"

namespace image_fixtures {

namespace fs = std::filesystem;

inline fs::path DataFolder() {
  const char* source = std::getenv("VELMORA_SOURCE_DIR");
  return fs::path(source ? source : ".") / "tests" / "data" / "images";
}

inline std::vector<BYTE> ReadBytes(const fs::path& p) {
  return velmora_test::ReadWholeFile<std::vector<BYTE>>(p);
}

// One line of a manifest: a file, its reference picture ("-" when the file
// must be refused), the picture's size, and the tolerance per channel (a
// negative one bounds the mean difference instead).
struct Entry {
  std::string file, reference;
  UINT width = 0, height = 0;
  int tolerance = 0;
  bool Refused() const { return reference == "-"; }
};

inline std::vector<Entry> Manifest(const std::string& folder) {
  std::vector<Entry> entries;
  std::ifstream list(DataFolder() / folder / "expected.txt");
  std::string line;
  while (std::getline(list, line)) {
    std::istringstream fields(line);
    Entry e;
    if (fields >> e.file >> e.reference >> e.width >> e.height >> e.tolerance) entries.push_back(e);
  }
  return entries;
}

// Compares A8R8G8B8 pixels (pixel(x, y)) with the entry's RGBA reference;
// empty when they agree, else what differs.
template <typename PixelAt>
std::string CompareWithReference(const std::string& folder, const Entry& e, PixelAt pixel) {
  const std::vector<BYTE> ref = ReadBytes(DataFolder() / folder / e.reference);
  if (ref.size() != size_t(e.width) * e.height * 4) return "reference has the wrong size";
  int worst = 0;
  double total = 0;
  UINT worstX = 0, worstY = 0;
  for (UINT y = 0; y < e.height; ++y) {
    for (UINT x = 0; x < e.width; ++x) {
      const uint32_t p = pixel(x, y);
      const BYTE got[4] = {BYTE(p >> 16), BYTE(p >> 8), BYTE(p), BYTE(p >> 24)};
      for (int c = 0; c < 4; ++c) {
        const int d = std::abs(int(got[c]) - int(ref[(size_t(y) * e.width + x) * 4 + c]));
        total += d;
        if (d > worst) worst = d, worstX = x, worstY = y;
      }
    }
  }
  std::ostringstream why;
  if (e.tolerance >= 0 && worst > e.tolerance) {
    why << "difference " << worst << " at " << worstX << "," << worstY << " (allowed " << e.tolerance << ")";
  } else if (e.tolerance < 0 && total / (double(e.width) * e.height * 4) > -e.tolerance) {
    why << "mean difference " << total / (double(e.width) * e.height * 4) << " (allowed " << -e.tolerance << ")";
  }
  return why.str();
}

}  // namespace image_fixtures

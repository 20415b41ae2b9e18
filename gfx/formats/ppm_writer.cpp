// ppm_writer.cpp — binary portable pixmaps (P6, maxval 255).
// Depends on: gfx/formats/image_writers.h.
#include <string>

#include "gfx/formats/image_writers.h"

namespace gfx {

Bytes EncodePpm(const Picture& p) {
  const std::string header = "P6\n" + std::to_string(p.width) + " " + std::to_string(p.height) + "\n255\n";
  Bytes b(header.begin(), header.end());
  b.reserve(header.size() + size_t(p.width) * p.height * 3);
  for (uint32_t v : p.argb) {
    b.push_back(Channel(v, 16));
    b.push_back(Channel(v, 8));
    b.push_back(Channel(v, 0));
  }
  return b;
}

}  // namespace gfx

// tga_writer.cpp — Truevision TGA files, as the TGA decoder reads them.
// Depends on: gfx/formats/image_writers.h.
#include "gfx/formats/image_writers.h"

namespace gfx {

// TGA: uncompressed, top-down; 32-bit with 8 alpha bits, 24-bit, or grey.
Bytes EncodeTga(const Picture& p) {
  Bytes b;
  const BYTE type = p.grey ? 3 : 2;
  const BYTE bits = p.grey ? 8 : p.alpha ? 32 : 24;
  const BYTE header[18] = {0, 0, type, 0, 0, 0, 0, 0, 0, 0, 0, 0, BYTE(p.width), BYTE(p.width >> 8),
                           BYTE(p.height), BYTE(p.height >> 8), bits, BYTE(0x20 | (p.alpha && !p.grey ? 8 : 0))};
  b.assign(header, header + 18);
  b.reserve(18 + size_t(p.width) * p.height * (bits / 8));
  for (uint32_t v : p.argb) {
    if (p.grey) {
      b.push_back(Channel(v, 16));
      continue;
    }
    b.push_back(Channel(v, 0));
    b.push_back(Channel(v, 8));
    b.push_back(Channel(v, 16));
    if (p.alpha) b.push_back(Channel(v, 24));
  }
  return b;
}

}  // namespace gfx

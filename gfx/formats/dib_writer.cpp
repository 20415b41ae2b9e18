// dib_writer.cpp — BMP files and bare DIBs (the bitmap decoder's input).
// Depends on: gfx/formats/image_writers.h.
#include "gfx/formats/image_writers.h"

namespace gfx {

// BMP: 32-bit with a version-4 header and A8R8G8B8 masks when there is
// alpha, else 24-bit BI_RGB; bottom-up. The DIB form leaves out the file
// header.
Bytes EncodeBmp(const Picture& p, bool fileHeader) {
  const UINT bits = p.alpha ? 32 : 24;
  const UINT infoSize = p.alpha ? 108 : 40;
  const uint64_t rowBytes = (uint64_t(p.width) * bits / 8 + 3) & ~uint64_t{3};
  const uint64_t pixelBytes = rowBytes * p.height;
  const uint64_t headers = (fileHeader ? 14 : 0) + infoSize;
  Bytes b;
  b.reserve(size_t(headers + pixelBytes));
  if (fileHeader) {
    b.push_back('B');
    b.push_back('M');
    Put32(&b, uint32_t(headers + pixelBytes));
    Put32(&b, 0);
    Put32(&b, uint32_t(headers));
  }
  Put32(&b, infoSize);
  Put32(&b, p.width);
  Put32(&b, p.height);  // positive: bottom-up
  Put16(&b, 1);
  Put16(&b, bits);
  Put32(&b, p.alpha ? 3 : 0);  // BI_BITFIELDS or BI_RGB
  Put32(&b, uint32_t(pixelBytes));
  Put32(&b, 2835);  // 72 dpi
  Put32(&b, 2835);
  Put32(&b, 0);
  Put32(&b, 0);
  if (p.alpha) {
    Put32(&b, 0x00FF0000);
    Put32(&b, 0x0000FF00);
    Put32(&b, 0x000000FF);
    Put32(&b, 0xFF000000);
    Put32(&b, 0x73524742);  // 'sRGB'
    b.insert(b.end(), 36 + 12, 0);  // endpoints and gamma, unused
  }
  for (UINT row = 0; row < p.height; ++row) {
    const uint32_t* src = &p.argb[size_t(p.height - 1 - row) * p.width];
    const size_t start = b.size();
    for (UINT x = 0; x < p.width; ++x) {
      b.push_back(Channel(src[x], 0));
      b.push_back(Channel(src[x], 8));
      b.push_back(Channel(src[x], 16));
      if (p.alpha) b.push_back(Channel(src[x], 24));
    }
    b.resize(start + size_t(rowBytes), 0);
  }
  return b;
}

}  // namespace gfx

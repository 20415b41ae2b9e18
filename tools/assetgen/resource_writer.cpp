#include "resource_writer.h"

namespace assetgen {
namespace {

void Put16(Bytes& b, uint32_t v) {
  b.push_back(uint8_t(v));
  b.push_back(uint8_t(v >> 8));
}
void Put32(Bytes& b, uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}

uint32_t Stride(int width, int bits) { return uint32_t((width * bits + 31) / 32 * 4); }

void InfoHeader(Bytes& b, int w, int storedH, int bits, uint32_t sizeImage, uint32_t clrUsed) {
  Put32(b, 40);
  Put32(b, uint32_t(w));
  Put32(b, uint32_t(storedH));
  Put16(b, 1);
  Put16(b, uint32_t(bits));
  Put32(b, 0);
  Put32(b, sizeImage);
  Put32(b, 0);
  Put32(b, 0);
  Put32(b, clrUsed);
  Put32(b, 0);
}

void Table(Bytes& b, const Indexed& img, int bits) {
  for (int i = 0; i < (1 << bits); ++i) {
    Rgb8 c = size_t(i) < img.palette.size() ? img.palette[size_t(i)] : Rgb8{};
    b.push_back(c.b);
    b.push_back(c.g);
    b.push_back(c.r);
    b.push_back(0);
  }
}

void Pixels(Bytes& b, const Indexed& img, int bits) {
  uint32_t stride = Stride(img.w, bits);
  for (int y = img.h - 1; y >= 0; --y) {
    Bytes row(stride, 0);
    for (int x = 0; x < img.w; ++x) {
      uint8_t v = img.at(x, y);
      if (bits == 8) row[size_t(x)] = v;
      else row[size_t(x / 2)] |= uint8_t(x % 2 == 0 ? (v & 0xF) << 4 : (v & 0xF));
    }
    b.insert(b.end(), row.begin(), row.end());
  }
}

void Mask(Bytes& b, int w, int h, const std::vector<bool>& transparent) {
  uint32_t stride = Stride(w, 1);
  for (int y = h - 1; y >= 0; --y) {
    Bytes row(stride, 0);
    for (int x = 0; x < w; ++x)
      if (transparent[size_t(y) * size_t(w) + size_t(x)]) row[size_t(x / 8)] |= uint8_t(0x80 >> (x % 8));
    b.insert(b.end(), row.begin(), row.end());
  }
}

Bytes Group(uint16_t type, int width, int height, int bits, uint32_t bytes, uint16_t id, bool cursor) {
  Bytes b;
  Put16(b, 0);
  Put16(b, type);
  Put16(b, 1);
  if (cursor) {
    Put16(b, uint32_t(width));
    Put16(b, uint32_t(height * 2));
  } else {
    b.push_back(uint8_t(width));
    b.push_back(uint8_t(height));
    b.push_back(bits >= 8 ? 0 : uint8_t(1 << bits));
    b.push_back(0);
  }
  Put16(b, 1);
  Put16(b, uint32_t(bits));
  Put32(b, bytes);
  Put16(b, id);
  return b;
}

}  // namespace

Bytes DibResource(const Indexed& img, int bits, uint32_t clrUsed) {
  Bytes b;
  InfoHeader(b, img.w, img.h, bits, Stride(img.w, bits) * uint32_t(img.h), clrUsed);
  Table(b, img, bits);
  Pixels(b, img, bits);
  return b;
}

static Bytes IconLike(const Indexed& img, int bits, const std::vector<bool>& transparent) {
  Bytes b;
  uint32_t size = (Stride(img.w, bits) + Stride(img.w, 1)) * uint32_t(img.h);
  InfoHeader(b, img.w, img.h * 2, bits, size, 0);
  Table(b, img, bits);
  Pixels(b, img, bits);
  Mask(b, img.w, img.h, transparent);
  return b;
}

Bytes CursorImage(const Indexed& img, int bits, int hotX, int hotY, const std::vector<bool>& transparent) {
  Bytes b;
  Put16(b, uint32_t(hotX));
  Put16(b, uint32_t(hotY));
  Bytes rest = IconLike(img, bits, transparent);
  b.insert(b.end(), rest.begin(), rest.end());
  return b;
}

Bytes IconImage(const Indexed& img, int bits, const std::vector<bool>& transparent) {
  return IconLike(img, bits, transparent);
}

Bytes CursorGroup(int width, int height, int bits, uint32_t imageBytes, uint16_t imageId) {
  return Group(2, width, height, bits, imageBytes, imageId, true);
}

Bytes IconGroup(int width, int height, int bits, uint32_t imageBytes, uint16_t imageId) {
  return Group(1, width, height, bits, imageBytes, imageId, false);
}

}  // namespace assetgen

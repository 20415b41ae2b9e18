// Builders for cursor and icon resources in the platform's layouts.
#pragma once

#include <cstdint>
#include <vector>

namespace icon_bytes {

inline void Put16(std::vector<uint8_t>& v, uint32_t x) {
  v.push_back(static_cast<uint8_t>(x));
  v.push_back(static_cast<uint8_t>(x >> 8));
}
inline void Put32(std::vector<uint8_t>& v, uint32_t x) {
  Put16(v, x & 0xFFFF);
  Put16(v, x >> 16);
}

// A group directory with one entry per (width, height, bits, bytes, id).
struct Entry {
  int width, height, bits;
  uint32_t bytes;
  uint16_t id;
};
inline std::vector<uint8_t> Group(bool cursor, const std::vector<Entry>& entries) {
  std::vector<uint8_t> v;
  Put16(v, 0);
  Put16(v, cursor ? 2 : 1);
  Put16(v, static_cast<uint32_t>(entries.size()));
  for (const Entry& e : entries) {
    if (cursor) {
      Put16(v, static_cast<uint32_t>(e.width));
      Put16(v, static_cast<uint32_t>(e.height * 2));
    } else {
      v.push_back(static_cast<uint8_t>(e.width));
      v.push_back(static_cast<uint8_t>(e.height));
      v.push_back(e.bits < 8 ? static_cast<uint8_t>(1 << e.bits) : 0);
      v.push_back(0);
    }
    Put16(v, 1);
    Put16(v, static_cast<uint32_t>(e.bits));
    Put32(v, e.bytes);
    Put16(v, e.id);
  }
  return v;
}

// An image: colour (index or BGRA value) chosen per pixel by `colour(x, y)`
// (top row first), mask bit by `transparent(x, y)`. Palette entries are
// given as 0x00RRGGBB.
template <typename Colour, typename Transparent>
std::vector<uint8_t> Image(bool cursor, int w, int h, int bits, const std::vector<uint32_t>& palette, Colour colour,
                           Transparent transparent, int hotX = 0, int hotY = 0) {
  std::vector<uint8_t> v;
  if (cursor) {
    Put16(v, static_cast<uint32_t>(hotX));
    Put16(v, static_cast<uint32_t>(hotY));
  }
  int xorStride = (w * bits + 31) / 32 * 4, andStride = (w + 31) / 32 * 4;
  Put32(v, 40);
  Put32(v, static_cast<uint32_t>(w));
  Put32(v, static_cast<uint32_t>(h * 2));
  Put16(v, 1);
  Put16(v, static_cast<uint32_t>(bits));
  Put32(v, 0);
  Put32(v, static_cast<uint32_t>((xorStride + andStride) * h));
  Put32(v, 0);
  Put32(v, 0);
  Put32(v, 0);
  Put32(v, 0);
  for (uint32_t c : palette) Put32(v, c);
  for (int y = h - 1; y >= 0; --y) {  // bottom row first
    std::vector<uint8_t> row(static_cast<size_t>(xorStride), 0);
    for (int x = 0; x < w; ++x) {
      uint32_t c = colour(x, y);
      if (bits == 4) row.at(static_cast<size_t>(x / 2)) |= static_cast<uint8_t>((c & 0xF) << (x % 2 ? 0 : 4));
      else if (bits == 8) row[x] = static_cast<uint8_t>(c);
      else if (bits == 1) row[x / 8] |= static_cast<uint8_t>((c & 1) << (7 - x % 8));
      else if (bits == 32) {
        for (int i = 0; i < 4; ++i) row[4 * x + i] = static_cast<uint8_t>(c >> (8 * i));
      }
    }
    v.insert(v.end(), row.begin(), row.end());
  }
  for (int y = h - 1; y >= 0; --y) {
    std::vector<uint8_t> row(static_cast<size_t>(andStride), 0);
    for (int x = 0; x < w; ++x) {
      if (transparent(x, y)) row[x / 8] |= static_cast<uint8_t>(1 << (7 - x % 8));
    }
    v.insert(v.end(), row.begin(), row.end());
  }
  return v;
}

}  // namespace icon_bytes

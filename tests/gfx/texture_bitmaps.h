// texture_bitmaps.h — synthetic bitmap resources for the texture and sprite
// tests and the texture benchmark.
//
// Builds bitmaps in the stored form of the game's resources (a 40-byte
// information header, the colour table, rows bottom row first, each padded to
// four bytes; 4-bit rows high nibble first) with deterministic pixels, and
// knows the colour every pixel should show once keyed with opaque black.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

namespace texture_test {

struct Bitmap {
  int width = 0;
  int height = 0;
  int bits = 0;                     // 4 or 8
  std::vector<RGBQUAD> table;       // the stored colour table
  std::vector<BYTE> indices;        // one per pixel, top row first
  std::vector<BYTE> bytes;          // the resource as stored
  DWORD compression = BI_RGB;
  DWORD clrUsed = 0;

  BYTE IndexAt(int x, int y) const { return indices[static_cast<size_t>(y) * width + x]; }
  // The pixel as A8R8G8B8 after the game's colour key (opaque black becomes
  // 0, everything else opaque).
  uint32_t KeyedArgbAt(int x, int y) const {
    const RGBQUAD& q = table[IndexAt(x, y)];
    if (q.rgbRed == 0 && q.rgbGreen == 0 && q.rgbBlue == 0) return 0;
    return 0xFF000000u | (uint32_t(q.rgbRed) << 16) | (uint32_t(q.rgbGreen) << 8) | q.rgbBlue;
  }
};

inline void PutU16(std::vector<BYTE>& out, uint32_t v) {
  out.push_back(static_cast<BYTE>(v));
  out.push_back(static_cast<BYTE>(v >> 8));
}
inline void PutU32(std::vector<BYTE>& out, uint32_t v) {
  PutU16(out, v & 0xFFFF);
  PutU16(out, v >> 16);
}

// Serialises header, table and rows from the fields above.
inline void Store(Bitmap& b) {
  const int stride = ((b.width * b.bits + 31) / 32) * 4;
  b.bytes.clear();
  PutU32(b.bytes, 40);
  PutU32(b.bytes, static_cast<uint32_t>(b.width));
  PutU32(b.bytes, static_cast<uint32_t>(b.height));
  PutU16(b.bytes, 1);
  PutU16(b.bytes, static_cast<uint32_t>(b.bits));
  PutU32(b.bytes, b.compression);
  PutU32(b.bytes, static_cast<uint32_t>(stride * b.height));
  PutU32(b.bytes, 0);
  PutU32(b.bytes, 0);
  PutU32(b.bytes, b.clrUsed);
  PutU32(b.bytes, 0);
  for (const RGBQUAD& q : b.table) {
    b.bytes.push_back(q.rgbBlue);
    b.bytes.push_back(q.rgbGreen);
    b.bytes.push_back(q.rgbRed);
    b.bytes.push_back(0);
  }
  for (int y = b.height - 1; y >= 0; --y) {
    std::vector<BYTE> row(static_cast<size_t>(stride), 0);
    for (int x = 0; x < b.width; ++x) {
      const BYTE index = b.IndexAt(x, y);
      if (b.bits == 8) {
        row[x] = index;
      } else {
        row[x / 2] |= (x % 2 == 0) ? static_cast<BYTE>(index << 4) : (index & 0x0F);
      }
    }
    b.bytes.insert(b.bytes.end(), row.begin(), row.end());
  }
}

// The 16 colours the game's tiles share (red, green, blue).
inline std::vector<RGBQUAD> TilePalette() {
  static const uint32_t rgb[16] = {0x010102, 0x00006D, 0x1D187A, 0x3A2B01, 0x2449B6, 0x266140, 0xB42544, 0xEC1C24,
                                   0xA1614B, 0x8A80D7, 0x32D328, 0x6D92FF, 0xFE802D, 0xDEB773, 0xFFFFDB, 0xFFFFFF};
  std::vector<RGBQUAD> table;
  for (uint32_t c : rgb)
    table.push_back(RGBQUAD{static_cast<BYTE>(c), static_cast<BYTE>(c >> 8), static_cast<BYTE>(c >> 16), 0});
  return table;
}

// The common 256-colour palette: entry 0 is pure black.
inline std::vector<RGBQUAD> CommonPalette() {
  static const uint32_t low[10] = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080,
                                   0x800080, 0x008080, 0xC0C0C0, 0xC0DCC0, 0xA6CAF0};
  static const uint32_t high[10] = {0xFFFBF0, 0xA0A0A4, 0x808080, 0xFF0000, 0x00FF00,
                                    0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
  std::vector<RGBQUAD> table(256);
  for (int i = 0; i < 256; ++i) {
    uint32_t c;
    if (i < 10)
      c = low[i];
    else if (i >= 246)
      c = high[i - 246];
    else
      c = (uint32_t((i % 8) * 0x20) << 16) | (uint32_t(((i / 8) % 8) * 0x20) << 8) | uint32_t((i / 64) * 0x40);
    table[i] = RGBQUAD{static_cast<BYTE>(c), static_cast<BYTE>(c >> 8), static_cast<BYTE>(c >> 16), 0};
  }
  return table;
}

// A bitmap of the given size and depth with a deterministic, busy pattern
// that never uses a pure black entry unless `keyedPixels` is set, in which
// case a few scattered pixels use entry 0 of the 8-bit palette.
inline Bitmap MakeBitmap(int width, int height, int bits, bool keyedPixels = false, DWORD clrUsed = 0) {
  Bitmap b;
  b.width = width;
  b.height = height;
  b.bits = bits;
  b.clrUsed = clrUsed;
  b.table = bits == 4 ? TilePalette() : CommonPalette();
  b.indices.resize(static_cast<size_t>(width) * height);
  const int colours = static_cast<int>(b.table.size());
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      int index = ((x / 3) * 5 + (y / 2) * 3 + (x * y) % 7) % colours;
      if (bits == 8 && index == 0) index = 7;  // keep clear of pure black
      if (keyedPixels && bits == 8 && (x * 31 + y * 17) % 97 == 0) index = 0;
      b.indices[static_cast<size_t>(y) * width + x] = static_cast<BYTE>(index);
    }
  }
  Store(b);
  return b;
}

// The twelve bitmaps of the game, by resource number, in the sizes and depths
// the asset table asks for.
struct GameBitmap {
  WORD resource;
  int width;
  int height;
  int bits;
  DWORD clrUsed;
};
inline const GameBitmap kGameBitmaps[12] = {
    {111, 88, 88, 4, 0},   {112, 88, 88, 4, 0},   {113, 88, 88, 4, 0},  {114, 88, 88, 4, 0},
    {115, 88, 88, 8, 0},   {116, 88, 88, 8, 0},   {117, 440, 88, 4, 0}, {118, 880, 88, 4, 0},
    {119, 616, 88, 4, 0},  {120, 616, 88, 4, 0},  {121, 792, 640, 8, 0}, {124, 352, 88, 4, 16},
};

}  // namespace texture_test

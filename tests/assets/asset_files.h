// Reading the committed asset files for the tests: raw bytes, the manifest,
// and bitmaps decoded field by field (little-endian) into top-down indices.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>
#include "tests/support/read_file.h"

namespace assets_test {

using Bytes = std::vector<uint8_t>;

inline std::string AssetDir() {
  if (const char* s = std::getenv("VELMORA_SOURCE_DIR")) return std::string(s) + "/assets";
  return VELMORA_ASSET_DIR;
}

inline Bytes ReadFile(const std::string& path) {
  return velmora_test::ReadWholeFile<Bytes>(path);
}

inline Bytes ReadAsset(const std::string& name) { return ReadFile(AssetDir() + "/" + name); }

inline uint32_t U16(const Bytes& b, size_t o) { return o + 2 <= b.size() ? uint32_t(b[o] | b[o + 1] << 8) : 0xFFFFFFFFu; }
inline uint32_t U32(const Bytes& b, size_t o) {
  return o + 4 <= b.size() ? uint32_t(b[o]) | uint32_t(b[o + 1]) << 8 | uint32_t(b[o + 2]) << 16 | uint32_t(b[o + 3]) << 24
                           : 0xFFFFFFFFu;
}
inline int32_t S32(const Bytes& b, size_t o) { return int32_t(U32(b, o)); }

struct ManifestLine {
  int type = 0, number = 0;
  std::string language, file;
};

inline std::vector<ManifestLine> ReadManifest() {
  std::vector<ManifestLine> out;
  const Bytes text = ReadAsset("resources.manifest");
  std::istringstream in(std::string(text.begin(), text.end()));
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream l(line);
    ManifestLine m;
    l >> m.type >> m.number >> m.language >> m.file;
    out.push_back(m);
  }
  return out;
}

inline std::string FileFor(int type, int number) {
  for (const ManifestLine& m : ReadManifest())
    if (m.type == type && m.number == number) return m.file;
  return {};
}

struct Rgb {
  uint8_t r = 0, g = 0, b = 0;
  bool operator==(const Rgb&) const = default;
};

struct Dib {
  bool ok = false;
  int32_t width = 0, height = 0;
  uint32_t headerSize = 0, planes = 0, bits = 0, compression = 0, sizeImage = 0, clrUsed = 0, clrImportant = 0;
  int32_t xPels = 0, yPels = 0;
  std::vector<Rgb> palette;
  bool reservedZero = true;
  std::vector<uint8_t> idx;  // top row first
  uint8_t at(int x, int y) const { return idx[size_t(y) * size_t(width) + size_t(x)]; }
  Rgb colour(int x, int y) const { return palette[at(x, y)]; }
};

// Decodes an uncompressed 4- or 8-bit information header + table + rows
// starting at `offset`; `storedHeight` rows are present (cursors and icons
// store twice the picture's height and the picture is the first half).
inline Dib ParseDib(const Bytes& b, size_t offset = 0, bool iconLike = false) {
  Dib d;
  d.headerSize = U32(b, offset);
  d.width = S32(b, offset + 4);
  d.height = S32(b, offset + 8);
  d.planes = U16(b, offset + 12);
  d.bits = U16(b, offset + 14);
  d.compression = U32(b, offset + 16);
  d.sizeImage = U32(b, offset + 20);
  d.xPels = S32(b, offset + 24);
  d.yPels = S32(b, offset + 28);
  d.clrUsed = U32(b, offset + 32);
  d.clrImportant = U32(b, offset + 36);
  if (d.headerSize != 40 || (d.bits != 4 && d.bits != 8) || d.width <= 0 || d.height <= 0 || d.width > 4096 ||
      d.height > 4096)
    return d;
  int h = iconLike ? d.height / 2 : d.height;
  size_t colours = d.clrUsed ? d.clrUsed : (1u << d.bits);
  if (colours > (1u << d.bits)) return d;
  size_t p = offset + 40;
  if (p + colours * 4 > b.size()) return d;
  for (size_t i = 0; i < colours; ++i, p += 4) {
    d.palette.push_back({b[p + 2], b[p + 1], b[p]});
    if (b[p + 3] != 0) d.reservedZero = false;
  }
  size_t stride = (size_t(d.width) * d.bits + 31) / 32 * 4;
  if (p + stride * size_t(h) > b.size()) return d;
  d.idx.assign(size_t(d.width) * size_t(h), 0);
  for (int row = 0; row < h; ++row) {
    size_t r = p + stride * size_t(h - 1 - row);
    for (int x = 0; x < d.width; ++x) {
      uint8_t v = d.bits == 8 ? b[r + size_t(x)] : uint8_t(x % 2 == 0 ? b[r + size_t(x / 2)] >> 4 : b[r + size_t(x / 2)] & 0xF);
      d.idx[size_t(row) * size_t(d.width) + size_t(x)] = v;
    }
  }
  d.height = h;
  d.ok = true;
  return d;
}

inline Dib LoadBitmap(int number) { return ParseDib(ReadAsset(FileFor(2, number))); }

}  // namespace assets_test

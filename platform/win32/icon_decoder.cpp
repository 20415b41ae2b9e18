// icon_decoder.cpp — cursor and icon resources to host images.
#include "platform/win32/icon_decoder.h"

#include <algorithm>
#include <cstdlib>

namespace platform::detail {
namespace {

constexpr int kMaxSide = 1024;
constexpr size_t kGroupHeader = 6;
constexpr size_t kGroupEntry = 14;

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t Le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

}  // namespace

bool ParseIconGroup(const uint8_t* data, size_t size, bool cursor, std::vector<GroupEntry>* entries) {
  entries->clear();
  if (data == nullptr || size < kGroupHeader) return false;
  if (Le16(data) != 0 || Le16(data + 2) != (cursor ? 2 : 1)) return false;
  size_t count = Le16(data + 4);
  if (count == 0 || count > (size - kGroupHeader) / kGroupEntry) return false;
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* e = data + kGroupHeader + i * kGroupEntry;
    GroupEntry g;
    if (cursor) {
      // Cursor entries give the height of colour rows and mask together.
      g.width = Le16(e);
      g.height = Le16(e + 2) / 2;
      g.bitCount = Le16(e + 6);
    } else {
      g.width = e[0] == 0 ? 256 : e[0];
      g.height = e[1] == 0 ? 256 : e[1];
      g.bitCount = Le16(e + 6);
    }
    g.bytes = Le32(e + 8);
    g.id = Le16(e + 12);
    entries->push_back(g);
  }
  return true;
}

int PickGroupEntry(const std::vector<GroupEntry>& entries, bool cursor) {
  int best = -1;
  for (size_t i = 0; i < entries.size(); ++i) {
    if (best < 0) {
      best = static_cast<int>(i);
      continue;
    }
    const GroupEntry& a = entries[i];
    const GroupEntry& b = entries[static_cast<size_t>(best)];
    bool better;
    if (cursor) {
      int da = std::abs(a.width - 32) + std::abs(a.height - 32);
      int db = std::abs(b.width - 32) + std::abs(b.height - 32);
      better = da < db || (da == db && a.bitCount > b.bitCount);
    } else {
      long aa = static_cast<long>(a.width) * a.height, ab = static_cast<long>(b.width) * b.height;
      better = aa > ab || (aa == ab && a.bitCount > b.bitCount);
    }
    if (better) best = static_cast<int>(i);
  }
  return best;
}

namespace {

// Where the parts of one icon image lie, from its header; every offset is
// checked against the resource's size before it is read.
struct IconLayout {
  int width = 0;
  int height = 0;  // of the colour rows; the mask has as many
  int bits = 0;
  uint64_t colours = 0;  // palette entries, for 8 bits or fewer
  uint64_t paletteAt = 0;
  uint64_t xorAt = 0;
  uint64_t xorStride = 0;
  uint64_t andAt = 0;
  uint64_t andStride = 0;
  bool haveMask = false;
};

// A BITMAPINFOHEADER or one of its longer successors, uncompressed; the
// stored height covers the colour rows and the mask.
bool ReadIconLayout(const uint8_t* data, size_t size, IconLayout* l) {
  if (size < 40) return false;
  const uint32_t headerSize = Le32(data);
  const int32_t width = static_cast<int32_t>(Le32(data + 4));
  const int32_t fullHeight = static_cast<int32_t>(Le32(data + 8));
  const uint16_t planes = Le16(data + 12);
  const uint16_t bits = Le16(data + 14);
  const uint32_t compression = Le32(data + 16);
  const uint32_t clrUsed = Le32(data + 32);
  if (headerSize < 40 || headerSize > size || planes != 1 || compression != 0) return false;
  if (width <= 0 || width > kMaxSide || fullHeight <= 0 || fullHeight > 2 * kMaxSide || fullHeight % 2 != 0) {
    return false;
  }
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) return false;
  l->width = width;
  l->height = fullHeight / 2;
  l->bits = bits;
  if (bits <= 8) {
    const uint64_t maxColours = uint64_t{1} << bits;
    l->colours = clrUsed == 0 ? maxColours : clrUsed;
    if (l->colours > maxColours) return false;
  }
  l->xorStride = (static_cast<uint64_t>(width) * bits + 31) / 32 * 4;
  l->andStride = (static_cast<uint64_t>(width) + 31) / 32 * 4;
  l->paletteAt = headerSize;
  l->xorAt = l->paletteAt + 4 * l->colours;
  l->andAt = l->xorAt + l->xorStride * static_cast<uint64_t>(l->height);
  const uint64_t end = l->andAt + l->andStride * static_cast<uint64_t>(l->height);
  l->haveMask = end <= size;
  // A 32-bit image can stand without its mask; every other kind needs it.
  return l->andAt <= size && (l->haveMask || bits == 32);
}

// One pixel of a colour row as straight ARGB (opaque below 32 bits).
uint32_t ColourPixel(const uint8_t* data, const IconLayout& l, const uint8_t* row, int x) {
  if (l.bits <= 8) {
    unsigned index;
    if (l.bits == 8) index = row[x];
    else if (l.bits == 4) index = (row[x / 2] >> ((x % 2) ? 0 : 4)) & 0xF;
    else index = (row[x / 8] >> (7 - x % 8)) & 1;
    if (index >= l.colours) return 0xFF000000u;
    const uint8_t* c = data + l.paletteAt + 4 * index;
    return 0xFF000000u | static_cast<uint32_t>(c[2]) << 16 | static_cast<uint32_t>(c[1]) << 8 | c[0];
  }
  const uint8_t* p = row + (l.bits == 24 ? 3 : 4) * x;
  const uint32_t alpha = l.bits == 24 ? 0xFFu : p[3];
  return alpha << 24 | static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[0];
}

// The colour rows, bottom row first in the file. Returns whether any pixel
// of a 32-bit image had alpha of its own.
bool ReadColourRows(const uint8_t* data, const IconLayout& l, host::Image* img) {
  bool anyAlpha = false;
  for (int y = 0; y < l.height; ++y) {
    const uint8_t* row = data + l.xorAt + l.xorStride * static_cast<uint64_t>(l.height - 1 - y);
    uint32_t* dst = img->argb.data() + static_cast<size_t>(y) * l.width;
    for (int x = 0; x < l.width; ++x) {
      dst[x] = ColourPixel(data, l, row, x);
      if (l.bits == 32 && (dst[x] >> 24) != 0) anyAlpha = true;
    }
  }
  return anyAlpha;
}

// The mask says what is transparent: a set bit lets the screen through.
void ApplyMask(const uint8_t* data, const IconLayout& l, host::Image* img) {
  for (int y = 0; y < l.height; ++y) {
    const uint8_t* row = data + l.andAt + l.andStride * static_cast<uint64_t>(l.height - 1 - y);
    uint32_t* dst = img->argb.data() + static_cast<size_t>(y) * l.width;
    for (int x = 0; x < l.width; ++x) {
      const bool transparent = (row[x / 8] >> (7 - x % 8)) & 1;
      dst[x] = (dst[x] & 0xFFFFFF) | (transparent ? 0u : 0xFF000000u);
    }
  }
}

}  // namespace

bool DecodeIconImage(const uint8_t* data, size_t size, bool cursor, host::Image* out) {
  if (data == nullptr) return false;
  host::Image img;
  if (cursor) {
    if (size < 4) return false;
    img.hotspotX = Le16(data);
    img.hotspotY = Le16(data + 2);
    data += 4;
    size -= 4;
  }
  IconLayout l;
  if (!ReadIconLayout(data, size, &l)) return false;
  img.width = l.width;
  img.height = l.height;
  img.argb.assign(static_cast<size_t>(l.width) * l.height, 0);
  const bool anyAlpha = ReadColourRows(data, l, &img);
  // Without an alpha channel of its own the mask decides; with neither
  // alpha nor mask the picture is opaque.
  if ((l.bits != 32 || !anyAlpha) && l.haveMask) {
    ApplyMask(data, l, &img);
  } else if (l.bits == 32 && !anyAlpha) {
    for (uint32_t& px : img.argb) px |= 0xFF000000u;
  }
  img.hotspotX = std::min(img.hotspotX, l.width - 1);
  img.hotspotY = std::min(img.hotspotY, l.height - 1);
  *out = std::move(img);
  return true;
}

}  // namespace platform::detail

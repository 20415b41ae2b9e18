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
  if (size < 40) return false;
  uint32_t headerSize = Le32(data);
  int32_t width = static_cast<int32_t>(Le32(data + 4));
  int32_t fullHeight = static_cast<int32_t>(Le32(data + 8));
  uint16_t planes = Le16(data + 12);
  uint16_t bits = Le16(data + 14);
  uint32_t compression = Le32(data + 16);
  uint32_t clrUsed = Le32(data + 32);
  // A BITMAPINFOHEADER or one of its longer successors, uncompressed; the
  // stored height covers the colour rows and the mask.
  if (headerSize < 40 || headerSize > size || planes != 1 || compression != 0) return false;
  if (width <= 0 || width > kMaxSide || fullHeight <= 0 || fullHeight > 2 * kMaxSide || fullHeight % 2 != 0) {
    return false;
  }
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) return false;
  int height = fullHeight / 2;
  uint64_t colours = 0;
  if (bits <= 8) {
    uint64_t maxColours = uint64_t{1} << bits;
    colours = clrUsed == 0 ? maxColours : clrUsed;
    if (colours > maxColours) return false;
  }
  uint64_t xorStride = (static_cast<uint64_t>(width) * bits + 31) / 32 * 4;
  uint64_t andStride = (static_cast<uint64_t>(width) + 31) / 32 * 4;
  uint64_t paletteAt = headerSize;
  uint64_t xorAt = paletteAt + 4 * colours;
  uint64_t andAt = xorAt + xorStride * static_cast<uint64_t>(height);
  uint64_t end = andAt + andStride * static_cast<uint64_t>(height);
  bool haveMask = end <= size;
  // A 32-bit image can stand without its mask; every other kind needs it.
  if (andAt > size || (!haveMask && bits != 32)) return false;

  img.width = width;
  img.height = height;
  img.argb.assign(static_cast<size_t>(width) * height, 0);
  bool anyAlpha = false;
  for (int y = 0; y < height; ++y) {
    const uint8_t* row = data + xorAt + xorStride * static_cast<uint64_t>(height - 1 - y);  // bottom row first
    uint32_t* dst = img.argb.data() + static_cast<size_t>(y) * width;
    for (int x = 0; x < width; ++x) {
      uint32_t rgb = 0, alpha = 0xFF;
      if (bits <= 8) {
        unsigned index;
        if (bits == 8) index = row[x];
        else if (bits == 4) index = (row[x / 2] >> ((x % 2) ? 0 : 4)) & 0xF;
        else index = (row[x / 8] >> (7 - x % 8)) & 1;
        if (index < colours) {
          const uint8_t* c = data + paletteAt + 4 * index;
          rgb = static_cast<uint32_t>(c[2]) << 16 | static_cast<uint32_t>(c[1]) << 8 | c[0];
        }
      } else if (bits == 24) {
        const uint8_t* p = row + 3 * x;
        rgb = static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[0];
      } else {
        const uint8_t* p = row + 4 * x;
        rgb = static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[0];
        alpha = p[3];
        if (alpha != 0) anyAlpha = true;
      }
      dst[x] = alpha << 24 | rgb;
    }
  }
  // Without an alpha channel the mask says what is transparent: a set bit
  // lets the screen through.
  if ((bits != 32 || !anyAlpha) && haveMask) {
    for (int y = 0; y < height; ++y) {
      const uint8_t* row = data + andAt + andStride * static_cast<uint64_t>(height - 1 - y);
      uint32_t* dst = img.argb.data() + static_cast<size_t>(y) * width;
      for (int x = 0; x < width; ++x) {
        bool transparent = (row[x / 8] >> (7 - x % 8)) & 1;
        dst[x] = (dst[x] & 0xFFFFFF) | (transparent ? 0u : 0xFF000000u);
      }
    }
  }
  if (bits == 32 && !anyAlpha && !haveMask) {
    for (uint32_t& px : img.argb) px |= 0xFF000000u;  // neither alpha nor mask: opaque
  }
  img.hotspotX = std::min(img.hotspotX, width - 1);
  img.hotspotY = std::min(img.hotspotY, height - 1);
  *out = std::move(img);
  return true;
}

}  // namespace platform::detail

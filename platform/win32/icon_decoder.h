// icon_decoder.h — decoding cursor and icon resources.
//
// Provides: the group directory (RT_GROUP_CURSOR / RT_GROUP_ICON) parser, the
// choice of one entry, and the image decoder (RT_CURSOR / RT_ICON: a hotspot
// for cursors, then a DIB of twice the picture's height, colour rows then a
// 1-bit AND mask). Every size and count is checked against the bytes given.
// Depends on: host::Image only. LoadCursorA and LoadIconA use it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "host/host.h"

namespace platform::detail {

struct GroupEntry {
  int width = 0;
  int height = 0;
  int bitCount = 0;
  uint32_t bytes = 0;
  uint16_t id = 0;  // number of the RT_CURSOR / RT_ICON resource
};

// Parses a group directory; false when it is not one of the expected kind.
bool ParseIconGroup(const uint8_t* data, size_t size, bool cursor, std::vector<GroupEntry>* entries);

// The entry to show: for cursors the one nearest 32 x 32, for icons the
// largest; then the most colours. -1 for an empty list.
int PickGroupEntry(const std::vector<GroupEntry>& entries, bool cursor);

// Decodes one cursor or icon image to straight ARGB, top row first.
bool DecodeIconImage(const uint8_t* data, size_t size, bool cursor, host::Image* out);

}  // namespace platform::detail

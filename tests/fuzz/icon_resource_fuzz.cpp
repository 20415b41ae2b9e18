// Cursor and icon resources: the group directory and the image decoder on
// arbitrary bytes. The first byte picks cursor or icon layout.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/win32/icon_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0 || data == nullptr) return 0;
  bool cursor = data[0] & 1;
  const uint8_t* body = data + 1;
  size_t n = size - 1;
  std::vector<platform::detail::GroupEntry> entries;
  if (platform::detail::ParseIconGroup(body, n, cursor, &entries)) {
    platform::detail::PickGroupEntry(entries, cursor);
  }
  host::Image image;
  if (platform::detail::DecodeIconImage(body, n, cursor, &image)) {
    // Every pixel of the picture must be there.
    if (image.argb.size() != static_cast<size_t>(image.width) * static_cast<size_t>(image.height)) __builtin_trap();
  }
  return 0;
}

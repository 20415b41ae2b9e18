// Row copies and fills: every length and start, nothing outside the row
// touched. The block loops the browser build uses are checked here too.
#include "host/pixel_rows.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

constexpr uint32_t kGuard = 0xDEADBEEF;

using Copy = std::function<void(uint32_t*, const uint32_t*, int)>;
using Fill = std::function<void(uint32_t*, int, uint32_t)>;

// Copies rows of every length up to 70 pixels from every start within a
// 16-byte block to every other, into a buffer whose other pixels hold a
// guard value.
void CheckCopy(const Copy& copy) {
  std::vector<uint32_t> src(96);
  for (size_t i = 0; i < src.size(); ++i) src[i] = 0x01000000u * static_cast<uint32_t>(i) + 0x00102030u;
  for (int from = 0; from < 4; ++from) {
    for (int to = 0; to < 4; ++to) {
      for (int n = 0; n <= 70; ++n) {
        std::vector<uint32_t> out(96, kGuard);
        copy(out.data() + to, src.data() + from, n);
        for (int i = 0; i < 96; ++i) {
          const uint32_t want = i >= to && i < to + n ? src[static_cast<size_t>(from + i - to)] : kGuard;
          ASSERT_EQ(out[static_cast<size_t>(i)], want) << "pixel " << i << " of " << n << " from " << from << " to " << to;
        }
      }
    }
  }
}

void CheckFill(const Fill& fill) {
  for (uint32_t value : {0xFFFFFFFFu, 0x00000000u, 0xFF102030u, 0x80808080u}) {
    for (int to = 0; to < 4; ++to) {
      for (int n = 0; n <= 70; ++n) {
        std::vector<uint32_t> out(80, kGuard);
        fill(out.data() + to, n, value);
        for (int i = 0; i < 80; ++i) {
          const uint32_t want = i >= to && i < to + n ? value : kGuard;
          ASSERT_EQ(out[static_cast<size_t>(i)], want) << "pixel " << i << " of " << n << " value " << std::hex << value;
        }
      }
    }
  }
}

TEST(PixelRows, CopyTakesExactlyTheRow) {
  CheckCopy([](uint32_t* out, const uint32_t* src, int n) { host::CopyPixels(out, src, n); });
  // A negative count copies nothing.
  uint32_t one = kGuard;
  const uint32_t other = 7;
  host::CopyPixels(&one, &other, -3);
  EXPECT_EQ(one, kGuard);
}

TEST(PixelRows, FillWritesExactlyTheRow) {
  CheckFill([](uint32_t* out, int n, uint32_t value) { host::FillPixels(out, n, value); });
  uint32_t one = kGuard;
  host::FillPixels(&one, -1, 0);
  EXPECT_EQ(one, kGuard);
}

#if defined(__SSE2__)
TEST(PixelRows, BlockLoopsTakeExactlyTheRow) {
  CheckCopy([](uint32_t* out, const uint32_t* src, int n) { host::CopyPixelBlocks(out, src, n); });
  CheckFill([](uint32_t* out, int n, uint32_t value) { host::FillPixelBlocks(out, n, value); });
}
#endif

}  // namespace

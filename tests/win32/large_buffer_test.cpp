// Large buffers: whole huge pages for big blocks, the heap for small ones,
// and a vector over them that behaves like any other.
#include "platform/win32/large_buffer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <numeric>

namespace {

TEST(LargeBuffer, BigBlocksTakeWholeHugePagesSmallOnesNone) {
  EXPECT_EQ(platform::LargeBlockMapping(0), 0u);
  EXPECT_EQ(platform::LargeBlockMapping(platform::kLargeBlockBytes - 1), 0u);
  EXPECT_EQ(platform::LargeBlockMapping(platform::kLargeBlockBytes), platform::kHugePageBytes);
  EXPECT_EQ(platform::LargeBlockMapping(platform::kHugePageBytes), platform::kHugePageBytes);
  EXPECT_EQ(platform::LargeBlockMapping(platform::kHugePageBytes + 1), 2 * platform::kHugePageBytes);
  EXPECT_EQ(platform::LargeBlockMapping(5 * platform::kHugePageBytes - 4), 5 * platform::kHugePageBytes);
}

TEST(LargeBuffer, VectorsOfEverySizeStartAsZerosAndKeepWhatIsWritten) {
  // Below, at and past the threshold, and a size that is not a whole page.
  for (size_t bytes : {size_t{64}, platform::kLargeBlockBytes - 4, platform::kLargeBlockBytes,
                       3 * platform::kHugePageBytes + 4100}) {
    platform::LargeBuffer<uint32_t> v(bytes / 4, 0);
    ASSERT_EQ(v.size(), bytes / 4);
    EXPECT_TRUE(std::all_of(v.begin(), v.end(), [](uint32_t x) { return x == 0; })) << bytes;
    if (platform::LargeBlockMapping(bytes) != 0) {
#if defined(__linux__) && !defined(__EMSCRIPTEN__)
      EXPECT_EQ(reinterpret_cast<uintptr_t>(v.data()) % platform::kHugePageBytes, 0u) << bytes;
#endif
    }
    std::iota(v.begin(), v.end(), 7u);
    // Growing moves the contents into a new block (possibly of the other kind).
    v.resize(v.size() * 2 + 1, 0xFFFFFFFFu);
    for (size_t i = 0; i < bytes / 4; ++i) ASSERT_EQ(v[i], 7u + i) << bytes << " at " << i;
    EXPECT_EQ(v.back(), 0xFFFFFFFFu);
    v.assign(5, 3u);
    v.shrink_to_fit();
    EXPECT_EQ(v, (platform::LargeBuffer<uint32_t>(5, 3u)));
  }
}

TEST(LargeBuffer, ImpossibleSizesThrowInsteadOfMappingTooLittle) {
  platform::LargeBufferAllocator<uint64_t> a;
  EXPECT_THROW((void)a.allocate(static_cast<size_t>(-1) / 4), std::bad_array_new_length);
  // Close enough to the largest size that rounding up to whole huge pages
  // would wrap around to a tiny block.
  EXPECT_THROW((void)a.allocate((static_cast<size_t>(-1) - platform::kHugePageBytes) / 8), std::bad_array_new_length);
  EXPECT_THROW((void)a.allocate(static_cast<size_t>(1) << 60), std::bad_alloc);
}

}  // namespace

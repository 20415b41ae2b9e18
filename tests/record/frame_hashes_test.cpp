// Frame hashes: the value stored in recordings, and the hasher that skips
// the work for a frame presented again unchanged.
#include "host/record/frame_hashes.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using host::record::FrameHash;
using host::record::FrameHasher;
using host::record::FrameHashLog;

// FNV-1a written out over the bytes the hash is defined on: width and
// height as four little-endian bytes each, then blue, green, red of every
// pixel, row by row.
uint64_t Reference(const std::vector<uint32_t>& tight, int width, int height) {
  std::vector<uint8_t> bytes;
  for (uint32_t v : {static_cast<uint32_t>(width), static_cast<uint32_t>(height)}) {
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(v >> (8 * i)));
  }
  for (uint32_t p : tight) {
    for (int i = 0; i < 3; ++i) bytes.push_back(static_cast<uint8_t>(p >> (8 * i)));
  }
  uint64_t h = 0xcbf29ce484222325ull;
  for (uint8_t b : bytes) h = (h ^ b) * 0x100000001b3ull;
  return h;
}

// A frame of `width` x `height` in rows of `pitchPixels`, padding and the
// unused top byte filled with noise the hash must not see.
struct Frame {
  int width, height, pitch;
  std::vector<uint32_t> pixels;
  Frame(int w, int h, int pitchPixels) : width(w), height(h), pitch(pitchPixels * 4) {
    pixels.resize(static_cast<size_t>(pitchPixels) * h);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint32_t>(i * 2654435761u);
  }
  uint32_t& At(int x, int y) { return pixels[static_cast<size_t>(y) * (pitch / 4) + x]; }
  std::vector<uint32_t> Tight() {
    std::vector<uint32_t> t;
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) t.push_back(At(x, y));
    }
    return t;
  }
  uint64_t Hash() const { return FrameHash(pixels.data(), width, height, pitch); }
};

TEST(FrameHash, IsFnv1aOfSizeAndColourBytesIgnoringPaddingAndTopByte) {
  Frame f(5, 3, 7);
  EXPECT_EQ(f.Hash(), Reference(f.Tight(), 5, 3));
  const uint64_t before = f.Hash();
  f.At(5, 1) ^= 0xFFFFFF;     // padding
  f.At(2, 2) ^= 0xFF000000u;  // top byte
  EXPECT_EQ(f.Hash(), before);
  f.At(4, 2) ^= 0x010000;  // one red bit
  EXPECT_NE(f.Hash(), before);
  // The same bytes read as another size are another frame.
  EXPECT_NE(FrameHash(f.pixels.data(), 3, 5, 12), FrameHash(f.pixels.data(), 5, 3, 12));
  // Nothing to read: the size alone.
  EXPECT_EQ(FrameHash(nullptr, 4, 2, 16), Reference({}, 4, 2));
  EXPECT_EQ(FrameHash(f.pixels.data(), 5, 3, 16), Reference({}, 5, 3)) << "a pitch shorter than a row";
}

TEST(FrameHasher, GivesFrameHashForNewAndRepeatedFramesDrawnInOneBuffer) {
  FrameHasher hasher;
  Frame f(64, 40, 70);
  EXPECT_EQ(hasher(f.pixels.data(), 64, 40, f.pitch), f.Hash());
  EXPECT_EQ(hasher(f.pixels.data(), 64, 40, f.pitch), f.Hash()) << "again, unchanged";
  // Changed in place, in its last pixel: the same address must not hide it.
  f.At(63, 39) += 1;
  EXPECT_EQ(hasher(f.pixels.data(), 64, 40, f.pitch), f.Hash());
  // Padding and the top byte change nothing.
  f.At(66, 10) += 1;
  f.At(0, 0) ^= 0x80000000u;
  EXPECT_EQ(hasher(f.pixels.data(), 64, 40, f.pitch), f.Hash());
  // The same pixels in another layout (tight rows) are the same frame.
  std::vector<uint32_t> tight = f.Tight();
  EXPECT_EQ(hasher(tight.data(), 64, 40, 64 * 4), f.Hash());
  // Another size over the same memory.
  EXPECT_EQ(hasher(tight.data(), 40, 64, 40 * 4), FrameHash(tight.data(), 40, 64, 40 * 4));
  // Nothing, then the first frame again.
  EXPECT_EQ(hasher(nullptr, 64, 40, 256), FrameHash(nullptr, 64, 40, 256));
  EXPECT_EQ(hasher(f.pixels.data(), 64, 40, f.pitch), f.Hash());
}

TEST(FrameHashLog, WritesOneLinePerPresentWhetherItHashesOrIsGivenTheHash) {
  const std::string path = testing::TempDir() + "frame_hash_log.txt";
  Frame f(8, 2, 8);
  {
    FrameHashLog log;
    ASSERT_TRUE(log.Open(path));
    log.Add(100, f.pixels.data(), 8, 2, f.pitch);
    log.Add(150, f.pixels.data(), 8, 2, f.pitch);
    log.AddHashed(200, 8, 2, 0xABCull);
    EXPECT_EQ(log.Count(), 3u);
  }
  std::FILE* in = std::fopen(path.c_str(), "rb");
  ASSERT_NE(in, nullptr);
  char text[256] = {};
  const size_t n = std::fread(text, 1, sizeof text - 1, in);
  std::fclose(in);
  char hash[17];
  std::snprintf(hash, sizeof hash, "%016llx", static_cast<unsigned long long>(f.Hash()));
  EXPECT_EQ(std::string(text, n), "1 100 8x2 " + std::string(hash) + "\n2 150 8x2 " + hash + "\n3 200 8x2 0000000000000abc\n");
  std::remove(path.c_str());
}

}  // namespace

// The canvas' picture: what the page is told changed, and the RGBA bytes it
// uploads from.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <utility>
#include <vector>

#include "host/web/canvas_frame.h"

namespace {

using host::web::CanvasFrame;
using host::web::PixelRect;
using host::web::XrgbToRgbaSpan;

// A frame with rows `pitch` pixels apart; the padding holds junk.
struct Frame {
  int width, height, pitch;
  std::vector<uint32_t> pixels;
  Frame(int w, int h, int p) : width(w), height(h), pitch(p), pixels(static_cast<size_t>(p) * h, 0xDEADBEEF) {}
  uint32_t& at(int x, int y) { return pixels[static_cast<size_t>(y) * pitch + x]; }
  PixelRect Give(CanvasFrame* f) const { return f->Update(pixels.data(), width, height, pitch * 4); }
};

// The canvas' bytes of pixel (x, y), as R, G, B, A.
std::vector<uint8_t> RgbaAt(const CanvasFrame& f, int x, int y) {
  const uint8_t* p = f.Rgba() + (static_cast<size_t>(y) * f.Width() + x) * 4;
  return {p[0], p[1], p[2], p[3]};
}

void ExpectRect(const PixelRect& r, int x, int y, int w, int h) {
  EXPECT_EQ(r.x, x);
  EXPECT_EQ(r.y, y);
  EXPECT_EQ(r.width, w);
  EXPECT_EQ(r.height, h);
}

TEST(CanvasFrame, FirstFrameIsNewEverywhereAsOpaqueRgbaWithThePitchSkipped) {
  Frame in(2, 2, 3);
  in.at(0, 0) = 0xAA102030;  // the top byte is unused, not alpha
  in.at(1, 0) = 0x00405060;
  in.at(0, 1) = 0x55FF0001;
  in.at(1, 1) = 0x12000000;
  CanvasFrame f;
  EXPECT_EQ(f.Rgba(), nullptr);
  ExpectRect(in.Give(&f), 0, 0, 2, 2);
  ASSERT_NE(f.Rgba(), nullptr);
  EXPECT_EQ(f.Width(), 2);
  EXPECT_EQ(f.Height(), 2);
  EXPECT_EQ(RgbaAt(f, 0, 0), (std::vector<uint8_t>{0x10, 0x20, 0x30, 0xFF}));
  EXPECT_EQ(RgbaAt(f, 1, 0), (std::vector<uint8_t>{0x40, 0x50, 0x60, 0xFF}));
  EXPECT_EQ(RgbaAt(f, 0, 1), (std::vector<uint8_t>{0xFF, 0x00, 0x01, 0xFF}));
  EXPECT_EQ(RgbaAt(f, 1, 1), (std::vector<uint8_t>{0x00, 0x00, 0x00, 0xFF}));
}

TEST(CanvasFrame, OnlyTheRectangleAroundChangesIsReported) {
  Frame in(800, 640, 800);
  for (int y = 0; y < 640; ++y)
    for (int x = 0; x < 800; ++x) in.at(x, y) = static_cast<uint32_t>(x * 7 + y * 131);
  CanvasFrame f;
  ExpectRect(in.Give(&f), 0, 0, 800, 640);
  EXPECT_TRUE(in.Give(&f).Empty()) << "an unchanged frame has nothing to upload";

  in.at(333, 217) = 0x00ABCDEF;  // one pixel, inside a block the comparison takes at once
  ExpectRect(in.Give(&f), 333, 217, 1, 1);
  EXPECT_EQ(RgbaAt(f, 333, 217), (std::vector<uint8_t>{0xAB, 0xCD, 0xEF, 0xFF}));

  in.at(799, 3) = 1;  // the last pixel of a row, past the last whole block
  in.at(0, 639) = 2;  // the first pixel of the last row
  ExpectRect(in.Give(&f), 0, 3, 800, 637);
  EXPECT_EQ(RgbaAt(f, 799, 3), (std::vector<uint8_t>{0, 0, 1, 0xFF}));
  EXPECT_EQ(RgbaAt(f, 0, 639), (std::vector<uint8_t>{0, 0, 2, 0xFF}));
  EXPECT_TRUE(in.Give(&f).Empty());

  // Changes near both ends of a row and at the edges of the blocks the
  // comparison steps by, from either end: the span runs from the first to
  // the last, and every pixel of it is converted.
  const std::pair<int, int> pairs[] = {{5, 783}, {5, 784}, {0, 16}, {15, 16}, {783, 784}, {784, 799}, {1, 2}};
  for (const auto& [first, last] : pairs) {
    in.at(first, 100) ^= 0x00010101;
    in.at(last, 100) ^= 0x00020202;
    ExpectRect(in.Give(&f), first, 100, last - first + 1, 1);
    for (int x = first; x <= last; ++x) {
      const uint32_t p = in.at(x, 100);
      ASSERT_EQ(RgbaAt(f, x, 100), (std::vector<uint8_t>{static_cast<uint8_t>(p >> 16), static_cast<uint8_t>(p >> 8),
                                                         static_cast<uint8_t>(p), 0xFF}))
          << first << ".." << last << " at " << x;
    }
  }
}

TEST(CanvasFrame, ASizeChangeClearOrRefusedFrameStartsAfresh) {
  Frame small(4, 3, 4), large(5, 3, 8);
  CanvasFrame f;
  ExpectRect(small.Give(&f), 0, 0, 4, 3);
  ExpectRect(large.Give(&f), 0, 0, 5, 3);
  EXPECT_EQ(f.Width(), 5);
  EXPECT_TRUE(large.Give(&f).Empty());
  f.Clear();
  EXPECT_EQ(f.Rgba(), nullptr);
  ExpectRect(large.Give(&f), 0, 0, 5, 3);
  // A pitch shorter than a row, or no pixels: nothing to show, and what was
  // kept can no longer be trusted to be on the canvas.
  EXPECT_TRUE(f.Update(large.pixels.data(), 5, 3, 16).Empty());
  EXPECT_EQ(f.Rgba(), nullptr);
  ExpectRect(large.Give(&f), 0, 0, 5, 3);
  EXPECT_TRUE(f.Update(nullptr, 5, 3, 32).Empty());
  EXPECT_TRUE(f.Update(large.pixels.data(), 0, 3, 32).Empty());
  ExpectRect(large.Give(&f), 0, 0, 5, 3);
}

TEST(CanvasFrame, RandomEditsKeepTheCanvasEqualToTheLastFrameWithATightRectangle) {
  std::mt19937 rng(24);
  for (const int width : {1, 15, 16, 17, 37, 800}) {
    const int height = 23;
    Frame in(width, height, width + 3);
    for (uint32_t& p : in.pixels) p = rng();
    CanvasFrame f;
    in.Give(&f);
    std::vector<uint32_t> before;
    for (int round = 0; round < 40; ++round) {
      before = in.pixels;
      const int edits = static_cast<int>(rng() % 4);
      for (int e = 0; e < edits; ++e) in.at(static_cast<int>(rng() % width), static_cast<int>(rng() % height)) = rng();
      const PixelRect r = in.Give(&f);
      // Every pixel that changed lies inside; each edge of the rectangle
      // touches one that changed.
      int left = width, right = -1, top = height, bottom = -1;
      for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
          const size_t i = static_cast<size_t>(y) * in.pitch + x;
          if (in.pixels[i] == before[i]) continue;
          left = std::min(left, x);
          right = std::max(right, x);
          top = std::min(top, y);
          bottom = std::max(bottom, y);
        }
      }
      if (right < 0) {
        EXPECT_TRUE(r.Empty()) << width << " round " << round;
      } else {
        ExpectRect(r, left, top, right - left + 1, bottom - top + 1);
      }
      // The canvas' bytes are the whole of the new frame.
      for (int y = 0; y < height; ++y) {
        std::vector<uint32_t> want(static_cast<size_t>(width));
        XrgbToRgbaSpan(&in.at(0, y), width, want.data());
        ASSERT_EQ(0, std::memcmp(f.Rgba() + static_cast<size_t>(y) * width * 4, want.data(), want.size() * 4))
            << "width " << width << " round " << round << " row " << y;
      }
    }
  }
}

TEST(CanvasFrame, ConversionSwapsRedAndBlueAndIgnoresTheUnusedByte) {
  const uint32_t in[] = {0x00000000, 0xFFFFFFFF, 0x00FF0000, 0x0000FF00, 0x000000FF, 0x80123456};
  uint32_t out[6] = {};
  XrgbToRgbaSpan(in, 6, out);
  // As little-endian words: R in the lowest byte, then G, B, A.
  const uint32_t want[] = {0xFF000000, 0xFFFFFFFF, 0xFF0000FF, 0xFF00FF00, 0xFFFF0000, 0xFF563412};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(out[i], want[i]) << i;
}

}  // namespace

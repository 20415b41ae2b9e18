// The desktop icons: the window icon's own picture at each size, scaled as
// pixel art (no colour the picture lacks; each pixel the colour that covers
// most of its area; nearest-neighbour when enlarging by a whole factor).
#include <gtest/gtest.h>

#include <map>
#include <set>

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#include <stb/stb_image.h>

#include "asset_files.h"

namespace assets_test {
namespace {

struct Picture {
  int w = 0, h = 0;
  std::vector<uint32_t> rgb;  // 0xRRGGBB
  uint32_t at(int x, int y) const { return rgb[size_t(y) * size_t(w) + size_t(x)]; }
};

Picture LoadPng(const std::string& name) {
  const Bytes b = ReadAsset(name);
  Picture p;
  int channels = 0;
  stbi_uc* px = stbi_load_from_memory(b.data(), int(b.size()), &p.w, &p.h, &channels, 3);
  if (!px) return {};
  for (size_t i = 0; i < size_t(p.w) * size_t(p.h); ++i)
    p.rgb.push_back(uint32_t(px[i * 3]) << 16 | uint32_t(px[i * 3 + 1]) << 8 | px[i * 3 + 2]);
  stbi_image_free(px);
  return p;
}

Picture WindowIcon() {
  const Dib d = ParseDib(ReadAsset(FileFor(3, 2)), 0, true);
  Picture p;
  if (!d.ok) return p;
  p.w = d.width, p.h = d.height;
  for (int y = 0; y < d.height; ++y)
    for (int x = 0; x < d.width; ++x) {
      const Rgb c = d.colour(x, y);
      p.rgb.push_back(uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | c.b);
    }
  return p;
}

const int kSizes[] = {16, 24, 32, 48, 64, 128, 256};

TEST(DesktopIcons, TheSameSizeIsTheWindowIconPixelForPixel) {
  const Picture window = WindowIcon(), same = LoadPng("icon-128.png");
  ASSERT_EQ(window.w, 128);
  ASSERT_EQ(same.w, 128);
  ASSERT_EQ(same.h, 128);
  EXPECT_TRUE(same.rgb == window.rgb);
}

TEST(DesktopIcons, EverySizeIsSquareAndUsesOnlyThePicturesColours) {
  const Picture window = WindowIcon();
  const std::set<uint32_t> colours(window.rgb.begin(), window.rgb.end());
  for (int size : kSizes) {
    const Picture p = LoadPng("icon-" + std::to_string(size) + ".png");
    ASSERT_EQ(p.w, size);
    ASSERT_EQ(p.h, size);
    int foreign = 0;
    for (uint32_t c : p.rgb) foreign += colours.count(c) == 0;
    EXPECT_EQ(foreign, 0) << size << ": blended colours";
  }
}

TEST(DesktopIcons, DoubleSizeIsNearestNeighbour) {
  const Picture window = WindowIcon(), big = LoadPng("icon-256.png");
  ASSERT_EQ(big.w, 256);
  int wrong = 0;
  for (int y = 0; y < 256; ++y)
    for (int x = 0; x < 256; ++x) wrong += big.at(x, y) != window.at(x / 2, y / 2);
  EXPECT_EQ(wrong, 0);
}

// At whole reducing factors each pixel is a most frequent colour of its block.
TEST(DesktopIcons, WholeFactorReductionsTakeEachBlocksMajorityColour) {
  const Picture window = WindowIcon();
  for (int size : {64, 32, 16}) {
    const Picture p = LoadPng("icon-" + std::to_string(size) + ".png");
    ASSERT_EQ(p.w, size);
    const int k = 128 / size;
    int wrong = 0;
    for (int y = 0; y < size; ++y)
      for (int x = 0; x < size; ++x) {
        std::map<uint32_t, int> count;
        for (int sy = 0; sy < k; ++sy)
          for (int sx = 0; sx < k; ++sx) ++count[window.at(x * k + sx, y * k + sy)];
        int most = 0;
        for (const auto& [colour, n] : count) most = std::max(most, n);
        wrong += count[p.at(x, y)] != most;
      }
    EXPECT_EQ(wrong, 0) << size;
  }
}

// At the other sizes (24, 48) every pixel still comes from the source area
// it covers, never from further away.
TEST(DesktopIcons, FractionalReductionsTakeAColourFromTheCoveredArea) {
  const Picture window = WindowIcon();
  for (int size : {24, 48}) {
    const Picture p = LoadPng("icon-" + std::to_string(size) + ".png");
    ASSERT_EQ(p.w, size);
    int wrong = 0;
    for (int y = 0; y < size; ++y)
      for (int x = 0; x < size; ++x) {
        const int x0 = x * 128 / size, x1 = ((x + 1) * 128 + size - 1) / size;
        const int y0 = y * 128 / size, y1 = ((y + 1) * 128 + size - 1) / size;
        bool found = false;
        for (int sy = y0; sy < y1 && !found; ++sy)
          for (int sx = x0; sx < x1 && !found; ++sx) found = window.at(sx, sy) == p.at(x, y);
        wrong += !found;
      }
    EXPECT_EQ(wrong, 0) << size;
  }
}

}  // namespace
}  // namespace assets_test

// The twelve bitmap resources: stored form, colour tables, floor pattern,
// lettered cells, figures and the pure-black rule.
#include <gtest/gtest.h>

#include <array>
#include <map>
#include <set>

#include "asset_files.h"

namespace assets_test {
namespace {

const std::vector<Rgb> kTile = {{0x01, 0x01, 0x02}, {0x00, 0x00, 0x6D}, {0x1D, 0x18, 0x7A}, {0x3A, 0x2B, 0x01},
                                {0x24, 0x49, 0xB6}, {0x26, 0x61, 0x40}, {0xB4, 0x25, 0x44}, {0xEC, 0x1C, 0x24},
                                {0xA1, 0x61, 0x4B}, {0x8A, 0x80, 0xD7}, {0x32, 0xD3, 0x28}, {0x6D, 0x92, 0xFF},
                                {0xFE, 0x80, 0x2D}, {0xDE, 0xB7, 0x73}, {0xFF, 0xFF, 0xDB}, {0xFF, 0xFF, 0xFF}};
const std::vector<Rgb> kSpin = {{0x06, 0x01, 0x02}, {0x01, 0x01, 0x6D}, {0x17, 0x01, 0x44}, {0x26, 0x48, 0xB4},
                                {0x3D, 0x47, 0x83}, {0x62, 0x3C, 0x73}, {0x9A, 0x2F, 0x50}, {0xB3, 0x25, 0x43},
                                {0x87, 0x65, 0x7A}, {0xA3, 0x61, 0x4A}, {0x99, 0x64, 0x55}, {0x6F, 0x91, 0xFC},
                                {0xD8, 0xB6, 0x85}, {0xDE, 0xB7, 0x73}, {0xCA, 0xB8, 0xAE}, {0xFF, 0xF9, 0xE3}};
constexpr Rgb kBlack{0, 0, 0}, kWhite{0xFF, 0xFF, 0xFF}, kNavy{0x00, 0x00, 0x6D}, kMidBlue{0x24, 0x49, 0xB6},
    kLightBlue{0x6D, 0x92, 0xFF}, kCream{0xFF, 0xFF, 0xDB}, kIndigo{0x1D, 0x18, 0x7A}, kRed{0xEC, 0x1C, 0x24},
    kOrange{0xFE, 0x80, 0x2D};

std::vector<Rgb> Common() {
  std::vector<Rgb> p(256);
  const Rgb low[10] = {{0, 0, 0},       {0x80, 0, 0},    {0, 0x80, 0},       {0x80, 0x80, 0},    {0, 0, 0x80},
                       {0x80, 0, 0x80}, {0, 0x80, 0x80}, {0xC0, 0xC0, 0xC0}, {0xC0, 0xDC, 0xC0}, {0xA6, 0xCA, 0xF0}};
  const Rgb high[10] = {{0xFF, 0xFB, 0xF0}, {0xA0, 0xA0, 0xA4}, {0x80, 0x80, 0x80}, {0xFF, 0, 0},    {0, 0xFF, 0},
                        {0xFF, 0xFF, 0},    {0, 0, 0xFF},       {0xFF, 0, 0xFF},    {0, 0xFF, 0xFF}, {0xFF, 0xFF, 0xFF}};
  for (int i = 0; i < 10; ++i) p[size_t(i)] = low[i], p[size_t(246 + i)] = high[i];
  for (int i = 10; i < 246; ++i) p[size_t(i)] = {uint8_t((i % 8) * 0x20), uint8_t((i / 8 % 8) * 0x20), uint8_t(i / 64 * 0x40)};
  return p;
}

struct Expect {
  int number, width, height, bits;
  size_t bytes;
};
const Expect kBitmaps[] = {{111, 88, 88, 4, 3976},   {112, 88, 88, 4, 3976},  {113, 88, 88, 4, 3976},
                           {114, 88, 88, 4, 3976},   {115, 88, 88, 8, 8808},  {116, 88, 88, 8, 8808},
                           {117, 440, 88, 4, 19464}, {118, 880, 88, 4, 38824}, {119, 616, 88, 4, 27208},
                           {120, 616, 88, 4, 27208}, {121, 792, 640, 8, 507944}, {124, 352, 88, 4, 15592}};

std::map<Rgb, int, bool (*)(const Rgb&, const Rgb&)> Counts(const Dib& d, int x0, int y0, int w, int h) {
  std::map<Rgb, int, bool (*)(const Rgb&, const Rgb&)> m(
      [](const Rgb& a, const Rgb& b) { return std::tie(a.r, a.g, a.b) < std::tie(b.r, b.g, b.b); });
  for (int y = y0; y < y0 + h; ++y)
    for (int x = x0; x < x0 + w; ++x) ++m[d.colour(x, y)];
  return m;
}

TEST(BitmapResources, ManifestListsEveryResourceOnceUnderJapaneseLanguage) {
  std::vector<ManifestLine> lines = ReadManifest();
  std::set<std::pair<int, int>> seen;
  for (const ManifestLine& m : lines) {
    EXPECT_EQ(m.language, "0411") << m.file;
    EXPECT_TRUE(seen.insert({m.type, m.number}).second) << "listed twice: " << m.type << " " << m.number;
    EXPECT_FALSE(ReadAsset(m.file).empty()) << m.file;
  }
  const std::set<std::pair<int, int>> expected = {{2, 111}, {2, 112}, {2, 113}, {2, 114}, {2, 115}, {2, 116},
                                                  {2, 117}, {2, 118}, {2, 119}, {2, 120}, {2, 121}, {2, 124},
                                                  {1, 1},   {12, 110}, {3, 2},  {14, 123}};
  EXPECT_EQ(seen, expected);
}

TEST(BitmapResources, StoredFormHasExactSizesAndHeaderFields) {
  for (const Expect& e : kBitmaps) {
    SCOPED_TRACE(e.number);
    Bytes raw = ReadAsset(FileFor(2, e.number));
    ASSERT_EQ(raw.size(), e.bytes);
    Dib d = ParseDib(raw);
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.headerSize, 40u);
    EXPECT_EQ(d.width, e.width);
    EXPECT_EQ(d.height, e.height);
    EXPECT_EQ(S32(raw, 8), e.height) << "rows are stored bottom-up";
    EXPECT_EQ(d.planes, 1u);
    EXPECT_EQ(d.bits, uint32_t(e.bits));
    EXPECT_EQ(d.compression, 0u);
    size_t stride = (size_t(e.width) * size_t(e.bits) + 31) / 32 * 4;
    EXPECT_EQ(d.sizeImage, stride * size_t(e.height));
    EXPECT_EQ(d.xPels, 0);
    EXPECT_EQ(d.yPels, 0);
    EXPECT_EQ(d.clrUsed, e.number == 124 ? 16u : 0u);
    EXPECT_EQ(d.clrImportant, 0u);
    EXPECT_TRUE(d.reservedZero);
    EXPECT_EQ(40 + 4 * (size_t(1) << e.bits) + stride * size_t(e.height), raw.size()) << "no trailing data";
  }
}

TEST(BitmapResources, ColourTablesAreTheFixedOnes) {
  for (int n : {111, 112, 113, 114, 117, 118, 119, 120}) EXPECT_EQ(LoadBitmap(n).palette, kTile) << n;
  EXPECT_EQ(LoadBitmap(124).palette, kSpin);
  EXPECT_EQ(LoadBitmap(115).palette, Common());
  EXPECT_EQ(LoadBitmap(116).palette, Common());
}

TEST(BitmapResources, FloorTileHasExactlyItsFourColourCounts) {
  Dib f = LoadBitmap(114);
  auto c = Counts(f, 0, 0, 88, 88);
  EXPECT_EQ(c.size(), 4u);
  EXPECT_EQ(c[kLightBlue], 2809);
  EXPECT_EQ(c[kMidBlue], 2590);
  EXPECT_EQ(c[kNavy], 1754);
  EXPECT_EQ(c[kCream], 591);
  // the navy border is the outside of the tile, so neighbouring tiles meet on it
  for (int i = 0; i < 88; ++i) {
    EXPECT_EQ(f.colour(i, 0), kNavy);
    EXPECT_EQ(f.colour(0, i), kNavy);
    EXPECT_EQ(f.colour(i, 87), kNavy);
    EXPECT_EQ(f.colour(87, i), kNavy);
  }
  EXPECT_NE(f.colour(44, 44), kNavy);
}

struct Strip {
  int number;
  Rgb glyph;
  int cells, minPixels, maxPixels;
};

TEST(BitmapResources, EveryLetteredCellIsTheFloorTileWithOneGlyphInRange) {
  const Dib floor = LoadBitmap(114);
  const Strip strips[] = {{117, kIndigo, 5, 440, 600}, {118, kRed, 10, 350, 570}, {119, kRed, 7, 350, 700},
                          {120, kOrange, 7, 360, 650}};
  for (const Strip& s : strips) {
    Dib d = LoadBitmap(s.number);
    ASSERT_EQ(d.width, 88 * s.cells);
    for (int k = 0; k < s.cells; ++k) {
      SCOPED_TRACE(testing::Message() << "bitmap " << s.number << " cell " << k);
      int ink = 0, changed = 0;
      for (int y = 0; y < 88; ++y)
        for (int x = 0; x < 88; ++x) ink += d.colour(88 * k + x, y) == s.glyph;
      EXPECT_GE(ink, s.minPixels);
      EXPECT_LE(ink, s.maxPixels);
      for (int y = 0; y < 88; ++y)
        for (int x = 0; x < 88; ++x) {
          if (d.colour(88 * k + x, y) == floor.colour(x, y)) continue;
          ++changed;
          // anything that is not floor belongs to the glyph: its colour, or
          // shading within two pixels of it
          bool near = false;
          for (int dy = -2; dy <= 2; ++dy)
            for (int dx = -2; dx <= 2; ++dx) {
              int xx = x + dx, yy = y + dy;
              if (xx >= 0 && yy >= 0 && xx < 88 && yy < 88 && d.colour(88 * k + xx, yy) == s.glyph) near = true;
            }
          EXPECT_TRUE(near) << "stray pixel at " << x << "," << y;
          EXPECT_NE(d.colour(88 * k + x, y), kBlack);
        }
      // the glyph sits inside the tile; the navy border stays whole
      for (int i = 0; i < 88; ++i) {
        EXPECT_EQ(d.colour(88 * k + i, 0), kNavy);
        EXPECT_EQ(d.colour(88 * k + i, 87), kNavy);
      }
      EXPECT_LT(changed, 88 * 88 / 3);
    }
  }
}

TEST(BitmapResources, ScoreLabelKeepsTheFloorsBorderAndMostOfItsBevel) {
  Dib d = LoadBitmap(117);
  for (int k = 0; k < 5; ++k) {
    auto c = Counts(d, 88 * k, 0, 88, 88);
    EXPECT_EQ(c[kNavy], 1754) << k;
    EXPECT_GT(c[kMidBlue], 2400) << k;
    EXPECT_GT(c[kLightBlue], 1900) << k;
  }
}

TEST(BitmapResources, DigitCellsDifferFromEachOther) {
  Dib d = LoadBitmap(118);
  for (int a = 0; a < 10; ++a)
    for (int b = a + 1; b < 10; ++b) {
      int diff = 0;
      for (int y = 0; y < 88; ++y)
        for (int x = 0; x < 88; ++x) diff += d.at(88 * a + x, y) != d.at(88 * b + x, y);
      EXPECT_GT(diff, 60) << a << " vs " << b;
    }
}

TEST(BitmapResources, OnlyTheStrangerHasAPureBlackPixelAtFiftyTwentyFive) {
  int blacks = 0;
  for (const Expect& e : kBitmaps) {
    Dib d = LoadBitmap(e.number);
    ASSERT_TRUE(d.ok);
    for (int y = 0; y < d.height; ++y)
      for (int x = 0; x < d.width; ++x)
        if (d.colour(x, y) == kBlack) {
          ++blacks;
          EXPECT_EQ(e.number, 116);
          EXPECT_EQ(x, 50);
          EXPECT_EQ(y, 25);
        }
  }
  EXPECT_EQ(blacks, 1);
  // tables with black entries: the block's entry 0 only (unused), the stranger's entry 0
  EXPECT_EQ(LoadBitmap(115).palette[0], kBlack);
  for (int n : {111, 112, 113, 114, 117, 118, 119, 120, 124})
    for (const Rgb& c : LoadBitmap(n).palette) EXPECT_NE(c, kBlack) << n;
}

TEST(BitmapResources, FiguresUseTheirDescribedColours) {
  auto only = [](int n, std::vector<Rgb> allowed) {
    Dib d = LoadBitmap(n);
    auto c = Counts(d, 0, 0, 88, 88);
    for (const auto& [col, count] : c) {
      bool ok = std::find(allowed.begin(), allowed.end(), col) != allowed.end();
      EXPECT_TRUE(ok) << "bitmap " << n << " uses " << int(col.r) << "," << int(col.g) << "," << int(col.b);
    }
    return c;
  };
  const Rgb crimson = kTile[6], tan = kTile[13], brown = kTile[8], darkBrown = kTile[3], nearBlack = kTile[0];
  auto walker = only(111, {kNavy, crimson, tan, kMidBlue, brown, kLightBlue, nearBlack, kCream});
  EXPECT_GT(walker[crimson], 900);
  EXPECT_GT(walker[tan], 900);
  EXPECT_GT(walker[kNavy], 1000);
  auto partner = only(112, {tan, crimson, darkBrown, brown, kNavy, kMidBlue, nearBlack, kCream, kLightBlue});
  EXPECT_GT(partner[tan], 1300);
  EXPECT_GT(partner[darkBrown], 700);
  auto gem = only(113, {kNavy, darkBrown, kMidBlue, brown, tan, kCream, kLightBlue});
  EXPECT_GT(gem[darkBrown], 600);
  EXPECT_GT(gem[kCream], 200);

  const std::vector<Rgb> common = Common();
  Dib block = LoadBitmap(115);
  auto b = Counts(block, 0, 0, 88, 88);
  EXPECT_GT(b[(Rgb{0xFF, 0xFB, 0xF0})], 2000);  // off-white ground
  EXPECT_GT(b[(Rgb{0x20, 0xE0, 0x40})], 1200);  // bright green
  EXPECT_GT(b[(Rgb{0x00, 0x40, 0x00})], 500);   // dark-green outline
  EXPECT_GT(b[(Rgb{0x00, 0xA0, 0x00})], 700);   // green
  EXPECT_EQ(block.colour(0, 0), (Rgb{0xFF, 0xFB, 0xF0}));

  Dib stranger = LoadBitmap(116);
  auto s = Counts(stranger, 0, 0, 88, 88);
  EXPECT_GT(s[(Rgb{0x20, 0x40, 0xC0})], 1000);  // blue bands
  EXPECT_GT(s[(Rgb{0x00, 0x00, 0x80})], 800);   // navy
  EXPECT_GT(s[(Rgb{0x60, 0xA0, 0xC0})], 400);   // pale blue
  EXPECT_GT(s[(Rgb{0x40, 0x40, 0x40})], 400);   // grey jacket
}

TEST(BitmapResources, WalkerIsUprightWithHairAboveFeet) {
  Dib d = LoadBitmap(111);
  const Rgb crimson = kTile[6], tan = kTile[13];
  double hairY = 0, hairN = 0, tanLowest = 0;
  for (int y = 0; y < 88; ++y)
    for (int x = 0; x < 88; ++x) {
      if (d.colour(x, y) == crimson) hairY += y, ++hairN;
      if (d.colour(x, y) == tan) tanLowest = std::max(tanLowest, double(y));
    }
  ASSERT_GT(hairN, 0);
  EXPECT_LT(hairY / hairN, 35.0);
  EXPECT_GT(tanLowest, 78.0) << "feet at the bottom";
}

int Dist(Rgb a, Rgb b) { return std::abs(a.r - b.r) + std::abs(a.g - b.g) + std::abs(a.b - b.b); }

TEST(BitmapResources, SpinStripIsTheWalkerTurnedClockwise) {
  Dib walker = LoadBitmap(111), spin = LoadBitmap(124);
  ASSERT_EQ(spin.width, 352);
  for (int f = 0; f < 4; ++f) {
    SCOPED_TRACE(f);
    int far = 0;
    for (int y = 0; y < 88; ++y)
      for (int x = 0; x < 88; ++x) {
        // a clockwise quarter turn puts source (x, y) at (87 - y, x)
        int sx = x, sy = y;
        for (int t = 0; t < f; ++t) {
          int nx = sy, ny = 87 - sx;
          sx = nx, sy = ny;
        }
        if (Dist(spin.colour(88 * f + x, y), walker.colour(sx, sy)) > 40) ++far;
      }
    EXPECT_EQ(far, 0);
  }
  // frame 1 has the hair at the right
  const Rgb crimson = kSpin[7];
  int right = 0, left = 0;
  for (int y = 0; y < 88; ++y)
    for (int x = 0; x < 88; ++x)
      if (spin.colour(88 + x, y) == crimson) (x >= 44 ? right : left)++;
  EXPECT_GT(right, 3 * left);
}

TEST(BitmapResources, TitleCardTableHasNinetyThreeColoursAndBlackFiller) {
  Dib t = LoadBitmap(121);
  std::set<Rgb, bool (*)(const Rgb&, const Rgb&)> distinct(
      [](const Rgb& a, const Rgb& b) { return std::tie(a.r, a.g, a.b) < std::tie(b.r, b.g, b.b); });
  for (int i = 0; i < 93; ++i) {
    EXPECT_NE(t.palette[size_t(i)], kBlack) << i;
    distinct.insert(t.palette[size_t(i)]);
  }
  EXPECT_EQ(distinct.size(), 93u);
  for (int i = 93; i < 256; ++i) EXPECT_EQ(t.palette[size_t(i)], kBlack) << i;
  std::vector<int> used(256, 0);
  for (uint8_t v : t.idx) ++used[v];
  for (int i = 0; i < 93; ++i) EXPECT_GT(used[size_t(i)], 0) << "entry " << i << " unused";
  for (int i = 93; i < 256; ++i) EXPECT_EQ(used[size_t(i)], 0) << "filler entry " << i << " used";
}

TEST(BitmapResources, TitleCardLayout) {
  Dib t = LoadBitmap(121), floor = LoadBitmap(114), walker = LoadBitmap(111), partner = LoadBitmap(112),
      gem = LoadBitmap(113);
  for (int y = 0; y < 640; ++y)
    for (int x = 790; x < 792; ++x) ASSERT_EQ(t.colour(x, y), kWhite) << x << "," << y;
  for (int y = 616; y < 640; ++y)
    for (int x = 0; x < 792; ++x) ASSERT_EQ(t.colour(x, y), kWhite) << x << "," << y;
  // the title card's own near black stands in for the tiles'
  auto same = [](Rgb title, Rgb tile) { return title == tile || (tile == kTile[0] && title == Rgb{0, 0, 2}); };
  auto cellIs = [&](const Dib& pic, int col, int row) {
    for (int y = 0; y < 88; ++y)
      for (int x = 0; x < 88 && 88 * col + x < 790; ++x)
        if (!same(t.colour(88 * col + x, 88 * row + y), pic.colour(x, y))) {
          ADD_FAILURE() << "cell " << col << "," << row << " differs at " << x << "," << y;
          return false;
        }
    return true;
  };
  for (int col = 0; col < 9; ++col) {
    EXPECT_TRUE(cellIs(floor, col, 0)) << col;
    EXPECT_TRUE(cellIs(floor, col, 4)) << col;
  }
  EXPECT_TRUE(cellIs(floor, 0, 1));
  EXPECT_TRUE(cellIs(walker, 6, 1));
  EXPECT_TRUE(cellIs(partner, 6, 3));
  EXPECT_TRUE(cellIs(gem, 2, 5));
  // the name: one indigo letter in each of its cells, in rows 1-3, columns 1-7
  std::vector<int> indigoPerRow(7, 0);
  for (int row = 0; row < 7; ++row)
    for (int col = 0; col < 9; ++col) {
      int n = 0;
      for (int y = 0; y < 88; ++y)
        for (int x = 0; x < 88; ++x) n += t.colour(88 * col + x, 88 * row + y) == kIndigo;
      if (row >= 1 && row <= 3 && col >= 1 && col <= 7) indigoPerRow[size_t(row)] += n > 300;
      else EXPECT_EQ(n, 0) << col << "," << row;
    }
  EXPECT_EQ(indigoPerRow[1] + indigoPerRow[2] + indigoPerRow[3], 7) << "seven letters";
  for (int row = 1; row <= 3; ++row) EXPECT_GT(indigoPerRow[size_t(row)], 0) << row;
  // red lettering only in the invitation's cells, both lines present
  int red5 = 0, red6 = 0;
  for (int y = 0; y < 640; ++y)
    for (int x = 0; x < 792; ++x)
      if (t.colour(x, y) == kRed) {
        bool line1 = y >= 440 && y < 528 && x >= 264 && x < 704;
        bool line2 = y >= 528 && y < 616 && x >= 264 && x < 792;
        EXPECT_TRUE(line1 || line2) << x << "," << y;
        (line1 ? red5 : red6)++;
      }
  EXPECT_GT(red5, 1500);
  EXPECT_GT(red6, 1500);
}

}  // namespace
}  // namespace assets_test

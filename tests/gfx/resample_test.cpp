// Tests of the conversion and resampling core: triangle weight lists to the
// float, strategy selection, writer rounding and dither, the colour key, and
// the resampling results that the game's textures depend on.
#include "gfx/pixels/resample.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <utility>
#include <vector>

#include "gfx/gfx.h"

namespace {

using gfx::Pixel;
using gfx::Strategy;
using gfx::WeightList;
using Pairs = std::vector<std::pair<UINT, float>>;

Pairs PairsOf(const WeightList& l, UINT j) {
  Pairs out;
  for (UINT p = l.first[j]; p < l.first[j + 1]; ++p) out.emplace_back(l.pairs[p].index, l.pairs[p].weight);
  return out;
}

TEST(TriangleWeights, TwoToFourMirror) {
  WeightList l;
  ASSERT_TRUE(gfx::BuildTriangleWeights(2, 4, false, &l));
  EXPECT_EQ(PairsOf(l, 0), (Pairs{{0, 1.0f}, {1, 0.75f}, {2, 0.25f}}));
  EXPECT_EQ(PairsOf(l, 1), (Pairs{{1, 0.25f}, {2, 0.75f}, {3, 1.0f}}));
}

TEST(TriangleWeights, TwoToFourWrap) {
  WeightList l;
  ASSERT_TRUE(gfx::BuildTriangleWeights(2, 4, true, &l));
  EXPECT_EQ(PairsOf(l, 0), (Pairs{{3, 0.25f}, {0, 0.75f}, {1, 0.75f}, {2, 0.25f}}));
  EXPECT_EQ(PairsOf(l, 1), (Pairs{{1, 0.25f}, {2, 0.75f}, {3, 0.75f}, {0, 0.25f}}));
}

TEST(TriangleWeights, Downscales) {
  WeightList four;
  ASSERT_TRUE(gfx::BuildTriangleWeights(4, 2, false, &four));
  EXPECT_EQ(PairsOf(four, 0), (Pairs{{0, 0.5f}}));
  EXPECT_EQ(PairsOf(four, 1), (Pairs{{0, 0.4375f}, {1, 0.0625f}}));
  EXPECT_EQ(PairsOf(four, 2), (Pairs{{0, 0.0625f}, {1, 0.4375f}}));
  EXPECT_EQ(PairsOf(four, 3), (Pairs{{1, 0.5f}}));

  WeightList three;
  ASSERT_TRUE(gfx::BuildTriangleWeights(3, 2, false, &three));
  ASSERT_EQ(PairsOf(three, 0).size(), 1u);
  EXPECT_EQ(PairsOf(three, 0)[0].first, 0u);
  EXPECT_FLOAT_EQ(PairsOf(three, 0)[0].second, 2.0f / 3.0f);
  ASSERT_EQ(PairsOf(three, 1).size(), 2u);
  EXPECT_FLOAT_EQ(PairsOf(three, 1)[0].second, 1.0f / 3.0f);
  EXPECT_EQ(PairsOf(three, 1)[1].first, 1u);
  EXPECT_FLOAT_EQ(PairsOf(three, 1)[1].second, 1.0f / 3.0f);
  ASSERT_EQ(PairsOf(three, 2).size(), 1u);
  EXPECT_EQ(PairsOf(three, 2)[0].first, 1u);
  EXPECT_FLOAT_EQ(PairsOf(three, 2)[0].second, 2.0f / 3.0f);

  WeightList one;
  ASSERT_TRUE(gfx::BuildTriangleWeights(4, 1, false, &one));
  for (UINT j = 0; j < 4; ++j) EXPECT_EQ(PairsOf(one, j), (Pairs{{0, 0.25f}})) << j;
}

TEST(TriangleWeights, EveryDestinationSumsToOne) {
  for (bool wrap : {false, true}) {
    for (UINT s : {1u, 2u, 3u, 7u, 88u, 640u}) {
      for (UINT d : {1u, 2u, 5u, 16u, 88u, 128u, 1024u}) {
        WeightList l;
        ASSERT_TRUE(gfx::BuildTriangleWeights(s, d, wrap, &l));
        std::vector<double> sum(d, 0.0);
        for (const auto& p : l.pairs) {
          ASSERT_LT(p.index, d);
          EXPECT_GT(p.weight, 0.00001f);
          sum[p.index] += p.weight;
        }
        for (UINT i = 0; i < d; ++i) EXPECT_NEAR(sum[i], 1.0, 1e-3) << s << "->" << d << " wrap " << wrap;
      }
    }
  }
  WeightList none;
  EXPECT_FALSE(gfx::BuildTriangleWeights(0, 4, false, &none));
  EXPECT_FALSE(gfx::BuildTriangleWeights(4, 0, false, &none));
}

// An image in memory with its view.
struct Image {
  std::vector<BYTE> bytes;
  gfx::ImageView view;
  Image(D3DFORMAT format, UINT width, UINT height, UINT bytesPerPixel) {
    bytes.assign(size_t(width) * height * bytesPerPixel, 0);
    view.format = format;
    view.pixels = bytes.data();
    view.rowPitch = width * bytesPerPixel;
    view.width = width;
    view.height = height;
    view.depth = 1;
    for (auto& p : view.palette) p = Pixel{1, 1, 1, 1};
  }
  uint32_t Argb(UINT x, UINT y) const {
    uint32_t v;
    std::memcpy(&v, bytes.data() + size_t(y) * view.rowPitch + size_t(x) * 4, 4);
    return v;
  }
  void SetArgb(UINT x, UINT y, uint32_t v) { std::memcpy(bytes.data() + size_t(y) * view.rowPitch + x * 4, &v, 4); }
  void SetFloats(UINT x, UINT y, Pixel p) {
    std::memcpy(bytes.data() + size_t(y) * view.rowPitch + x * 16, &p, 16);
  }
};

Strategy Convert(Image& dest, Image& src, DWORD filter, HRESULT expected = S_OK) {
  Strategy used = Strategy::None;
  EXPECT_EQ(gfx::DispatchConversion(&dest.view, &src.view, filter, &used), expected);
  return used;
}

TEST(Dispatcher, StrategySelection) {
  struct Case {
    const char* what;
    D3DFORMAT srcFormat;
    UINT sw, sh, dw, dh;
    DWORD filter;
    bool key;
    Strategy expected;
  };
  const DWORD mirror = D3DX_FILTER_MIRROR;
  const Case cases[] = {
      {"same format and size", D3DFMT_A8R8G8B8, 8, 8, 8, 8, D3DX_FILTER_TRIANGLE, false, Strategy::RawCopy},
      {"same size, keyed", D3DFMT_A8R8G8B8, 8, 8, 8, 8, D3DX_FILTER_TRIANGLE, true, Strategy::SameSize},
      {"same size, other format", D3DFMT_X8R8G8B8, 8, 8, 8, 8, D3DX_FILTER_POINT, false, Strategy::SameSize},
      {"none", D3DFMT_A8R8G8B8, 4, 4, 8, 8, D3DX_FILTER_NONE | mirror, false, Strategy::Unfiltered},
      {"point", D3DFMT_A8R8G8B8, 4, 4, 8, 8, D3DX_FILTER_POINT, false, Strategy::Point},
      {"box halving", D3DFMT_A8R8G8B8, 9, 8, 4, 4, D3DX_FILTER_BOX, false, Strategy::Box2D},
      {"box one by one", D3DFMT_A8R8G8B8, 1, 8, 1, 4, D3DX_FILTER_BOX, false, Strategy::Box2D},
      {"box not halving", D3DFMT_A8R8G8B8, 8, 8, 5, 4, D3DX_FILTER_BOX, false, Strategy::Triangle2D},
      {"linear", D3DFMT_A8R8G8B8, 4, 4, 8, 8, D3DX_FILTER_LINEAR, false, Strategy::Linear2D},
      {"triangle", D3DFMT_A8R8G8B8, 88, 88, 128, 128, D3DX_FILTER_TRIANGLE | mirror, false, Strategy::Triangle2D},
  };
  for (const Case& c : cases) {
    Image src(c.srcFormat, c.sw, c.sh, 4), dest(D3DFMT_A8R8G8B8, c.dw, c.dh, 4);
    if (c.key) {
      src.view.keyOn = true;
      src.view.key = Pixel{1, 0, 0, 1};
    }
    EXPECT_EQ(Convert(dest, src, c.filter), c.expected) << c.what;
  }
}

TEST(Dispatcher, InvalidFilterWordsAndFormats) {
  for (DWORD filter : {0u, 6u, 0x10004u | (1u << 22), 0x80000000u | 4u, 0x10000u}) {
    Image src(D3DFMT_A8R8G8B8, 2, 2, 4), dest(D3DFMT_A8R8G8B8, 2, 2, 4);
    EXPECT_EQ(gfx::DispatchConversion(&dest.view, &src.view, filter), D3DERR_INVALIDCALL) << std::hex << filter;
  }
  Image src(D3DFMT_A8R8G8B8, 2, 2, 4), dest(D3DFMT_A8R8G8B8, 2, 2, 4);
  EXPECT_EQ(gfx::DispatchConversion(&dest.view, &src.view, D3DX_FILTER_NONE | D3DX_FILTER_MIRROR), S_OK);
  Image depth(D3DFMT_D24S8, 4, 4, 4), out(D3DFMT_A8R8G8B8, 4, 4, 4);
  EXPECT_EQ(gfx::DispatchConversion(&out.view, &depth.view, D3DX_FILTER_NONE), E_FAIL);
  // Sizes no weight list can be built for: every strategy declines.
  Image empty(D3DFMT_A8R8G8B8, 0, 0, 4), some(D3DFMT_A8R8G8B8, 3, 3, 4);
  EXPECT_EQ(gfx::DispatchConversion(&some.view, &empty.view, D3DX_FILTER_TRIANGLE), E_FAIL);
}

TEST(Writer, RoundingAndDither) {
  Image src(D3DFMT_A32B32G32R32F, 4, 1, 16), dest(D3DFMT_A8R8G8B8, 4, 1, 4);
  src.SetFloats(0, 0, Pixel{0.5f, 1.0f, 0.0f, 1.0f});
  src.SetFloats(1, 0, Pixel{2.0f, -1.0f, 0.25f, 0.5f});  // out of range: clamped, never wrapped
  src.SetFloats(2, 0, Pixel{127.0f / 255.0f, 0.0f, 0.0f, 0.0f});
  Convert(dest, src, D3DX_FILTER_NONE);
  EXPECT_EQ(dest.Argb(0, 0), 0xFF80FF00u);  // 127.5 + 0.5 truncates to 128
  EXPECT_EQ(dest.Argb(1, 0), 0x80FF0040u);
  EXPECT_EQ(dest.Argb(2, 0) >> 16 & 0xFF, 127u);

  // Dither offsets: row 0 of the matrix is 15, 7, 13, 5 (+0.5) / 16.
  EXPECT_FLOAT_EQ(gfx::kDitherOffsets[0], 15.5f / 16.0f);
  EXPECT_FLOAT_EQ(gfx::kDitherOffsets[1], 7.5f / 16.0f);
  EXPECT_FLOAT_EQ(gfx::kDitherOffsets[8], 3.5f / 16.0f);
  EXPECT_FLOAT_EQ(gfx::kDitherOffsets[24 + 7], 10.5f / 16.0f);
  Image half(D3DFMT_A32B32G32R32F, 4, 1, 16), dithered(D3DFMT_A8R8G8B8, 4, 1, 4);
  for (UINT x = 0; x < 4; ++x) half.SetFloats(x, 0, Pixel{100.25f / 255.0f, 0, 0, 1});
  Convert(dithered, half, D3DX_FILTER_NONE | D3DX_FILTER_DITHER);
  // 100.25 + 15.5/16 -> 101; + 7.5/16 -> 100; + 13.5/16 -> 101; + 5.5/16 -> 100.
  EXPECT_EQ(dithered.Argb(0, 0) >> 16 & 0xFF, 101u);
  EXPECT_EQ(dithered.Argb(1, 0) >> 16 & 0xFF, 100u);
  EXPECT_EQ(dithered.Argb(2, 0) >> 16 & 0xFF, 101u);
  EXPECT_EQ(dithered.Argb(3, 0) >> 16 & 0xFF, 100u);
}

TEST(Triangle, SingleColourStaysAtEverySize) {
  const uint32_t colour = 0xC8336699u;
  for (bool wrap : {false, true}) {
    for (UINT dw : {1u, 3u, 8u, 88u, 128u}) {
      for (UINT dh : {1u, 5u, 64u}) {
        Image src(D3DFMT_A8R8G8B8, 88, 40, 4), dest(D3DFMT_A8R8G8B8, dw, dh, 4);
        for (UINT y = 0; y < 40; ++y)
          for (UINT x = 0; x < 88; ++x) src.SetArgb(x, y, colour);
        Convert(dest, src, D3DX_FILTER_TRIANGLE | (wrap ? 0 : D3DX_FILTER_MIRROR));
        for (UINT y = 0; y < dh; ++y)
          for (UINT x = 0; x < dw; ++x) ASSERT_EQ(dest.Argb(x, y), colour) << dw << "x" << dh << " " << x << "," << y;
      }
    }
  }
}

TEST(Triangle, KeyedPixelDarkensAndThinsItsNeighbour) {
  Image src(D3DFMT_A8R8G8B8, 2, 1, 4), dest(D3DFMT_A8R8G8B8, 4, 1, 4);
  src.SetArgb(0, 0, 0xFFC86420u);  // opaque (200, 100, 32)
  src.SetArgb(1, 0, 0xFF0000FFu);  // the key
  src.view.keyOn = true;
  src.view.key = Pixel{0, 0, 1, 1};
  Convert(dest, src, D3DX_FILTER_TRIANGLE | D3DX_FILTER_MIRROR);
  EXPECT_EQ(dest.Argb(0, 0), 0xFFC86420u);
  // Pixel 1: 0.75 of pixel 0 and 0.25 of transparent black.
  const uint32_t p1 = dest.Argb(1, 0);
  EXPECT_EQ(p1 >> 24, 191u);          // 0.75 * 255 + 0.5
  EXPECT_EQ(p1 >> 16 & 0xFF, 150u);   // 0.75 * 200
  EXPECT_EQ(p1 >> 8 & 0xFF, 75u);
  EXPECT_EQ(p1 & 0xFF, 24u);
  EXPECT_EQ(dest.Argb(3, 0), 0u);
}

TEST(ColourKey, QuantisedThroughTheSourceCodec) {
  // In R5G6B5 the key 0xFF000001 reads as black, so black pixels are keyed;
  // a format without alpha reads the key's alpha as 1 whatever it was.
  Image src(D3DFMT_R5G6B5, 2, 1, 2), dest(D3DFMT_A8R8G8B8, 2, 1, 4);
  src.bytes = {0x00, 0x00, 0x1F, 0x00};
  src.view.pixels = src.bytes.data();
  src.view.keyOn = true;
  src.view.key = Pixel{0, 0, 1.0f / 255.0f, 0};
  Convert(dest, src, D3DX_FILTER_NONE);
  EXPECT_EQ(dest.Argb(0, 0), 0u);
  EXPECT_EQ(dest.Argb(1, 0), 0xFF0000FFu);
}

TEST(Palettised, P8CopiedThroughThePaletteWithoutBlur) {
  Image src(D3DFMT_P8, 88, 88, 1), same(D3DFMT_A8R8G8B8, 88, 88, 4), big(D3DFMT_A8R8G8B8, 128, 128, 4);
  for (int i = 0; i < 256; ++i) src.view.palette[i] = Pixel{i / 255.0f, (255 - i) / 255.0f, 0.5f, 1.0f};
  for (UINT y = 0; y < 88; ++y)
    for (UINT x = 0; x < 88; ++x) src.bytes[y * 88 + x] = BYTE((x / 11 + y / 11) % 2 ? 200 : 10);
  const DWORD filter = D3DX_FILTER_TRIANGLE | D3DX_FILTER_MIRROR;
  EXPECT_EQ(Convert(same, src, filter), Strategy::SameSize);
  for (UINT y = 0; y < 88; ++y) {
    for (UINT x = 0; x < 88; ++x) {
      const uint32_t i = src.bytes[y * 88 + x];
      const uint32_t want = 0xFF000000u | i << 16 | (255 - i) << 8 | 128;
      ASSERT_EQ(same.Argb(x, y), want) << x << "," << y;
    }
  }
  EXPECT_EQ(Convert(big, src, filter), Strategy::Triangle2D);
  // Across a checker edge the upscaled picture holds blended values.
  bool blended = false;
  for (UINT x = 0; x < 128; ++x) {
    const uint32_t red = big.Argb(x, 1) >> 16 & 0xFF;
    if (red != 10 && red != 200) blended = true;
  }
  EXPECT_TRUE(blended);
}

TEST(OtherStrategies, NonePointBoxLinear) {
  Image src(D3DFMT_A8R8G8B8, 4, 2, 4);
  for (UINT y = 0; y < 2; ++y)
    for (UINT x = 0; x < 4; ++x) src.SetArgb(x, y, 0xFF000000u | (x * 40 + y * 8) << 16);

  Image none(D3DFMT_A8R8G8B8, 6, 3, 4);
  Convert(none, src, D3DX_FILTER_NONE);
  EXPECT_EQ(none.Argb(3, 1), src.Argb(3, 1));
  EXPECT_EQ(none.Argb(4, 0), 0u);
  EXPECT_EQ(none.Argb(0, 2), 0u);

  Image point(D3DFMT_A8R8G8B8, 2, 1, 4);
  Convert(point, src, D3DX_FILTER_POINT);
  EXPECT_EQ(point.Argb(0, 0), src.Argb(0, 0));
  EXPECT_EQ(point.Argb(1, 0), src.Argb(2, 0));

  Image box(D3DFMT_A8R8G8B8, 2, 1, 4);
  Convert(box, src, D3DX_FILTER_BOX);
  // (0 + 40 + 8 + 48) / 4 = 24; (80 + 120 + 88 + 128) / 4 = 104.
  EXPECT_EQ(box.Argb(0, 0) >> 16 & 0xFF, 24u);
  EXPECT_EQ(box.Argb(1, 0) >> 16 & 0xFF, 104u);

  // Linear 4 -> 8 in x, mirrored: pixel 1 maps to 0.25 + 0.5 -> taps 0, 1.
  Image one(D3DFMT_A8R8G8B8, 4, 1, 4);
  for (UINT x = 0; x < 4; ++x) one.SetArgb(x, 0, 0xFF000000u | (x * 80) << 16);
  Image linear(D3DFMT_A8R8G8B8, 8, 1, 4);
  Convert(linear, one, D3DX_FILTER_LINEAR | D3DX_FILTER_MIRROR);
  EXPECT_EQ(linear.Argb(0, 0) >> 16 & 0xFF, 0u);
  EXPECT_EQ(linear.Argb(1, 0) >> 16 & 0xFF, 20u);
  EXPECT_EQ(linear.Argb(7, 0) >> 16 & 0xFF, 240u);
}

TEST(Codecs, RoundTripsThroughTheWorkingForm) {
  // Every value of a 16-bit format survives the trip to 32-bit floats and
  // back: readers and writers agree on every channel's scale.
  struct Case {
    D3DFORMAT format;
    UINT bytes;
  };
  for (Case c : {Case{D3DFMT_R5G6B5, 2}, Case{D3DFMT_A1R5G5B5, 2}, Case{D3DFMT_A4R4G4B4, 2}, Case{D3DFMT_A8L8, 2},
                 Case{D3DFMT_V8U8, 2}, Case{D3DFMT_L16, 2}}) {
    Image src(c.format, 256, 256, c.bytes), wide(D3DFMT_A32B32G32R32F, 256, 256, 16), back(c.format, 256, 256, c.bytes);
    for (UINT i = 0; i < 65536; ++i) {
      src.bytes[2 * i] = BYTE(i);
      src.bytes[2 * i + 1] = BYTE(i >> 8);
    }
    Convert(wide, src, D3DX_FILTER_NONE);
    Convert(back, wide, D3DX_FILTER_NONE);
    int differences = 0;
    for (UINT i = 0; i < 65536; ++i) {
      uint16_t a = uint16_t(src.bytes[2 * i] | src.bytes[2 * i + 1] << 8);
      uint16_t b = uint16_t(back.bytes[2 * i] | back.bytes[2 * i + 1] << 8);
      if (c.format == D3DFMT_V8U8) {
        // -128 reads as -1 like -127.
        if (BYTE(a) == 0x80) a = uint16_t((a & 0xFF00) | 0x81);
        if ((a >> 8) == 0x80) a = uint16_t((a & 0x00FF) | 0x8100);
      }
      if (a != b) ++differences;
    }
    EXPECT_EQ(differences, 0) << c.format;
  }
}

}  // namespace

namespace {

// The triangle strategy written the plain way: for every source row, pixel,
// y pair and x pair in order, accumulator += (wx * wy) * pixel; clamp; write
// with c * 255 + 0.5 truncated. The library must match it bit for bit.
std::vector<uint32_t> PlainTriangle(const std::vector<uint32_t>& src, UINT sw, UINT sh, UINT dw, UINT dh, bool wrap) {
  WeightList xl, yl;
  EXPECT_TRUE(gfx::BuildTriangleWeights(sw, dw, wrap, &xl));
  EXPECT_TRUE(gfx::BuildTriangleWeights(sh, dh, wrap, &yl));
  std::vector<float> acc(size_t(dw) * dh * 4, 0.0f);
  const float k = 1.0f / 255.0f;
  for (UINT i = 0; i < sh; ++i) {
    for (UINT x = 0; x < sw; ++x) {
      const uint32_t v = src[size_t(i) * sw + x];
      const float p[4] = {float(v >> 16 & 0xFF) * k, float(v >> 8 & 0xFF) * k, float(v & 0xFF) * k,
                          float(v >> 24) * k};
      for (UINT yp = yl.first[i]; yp < yl.first[i + 1]; ++yp) {
        for (UINT xp = xl.first[x]; xp < xl.first[x + 1]; ++xp) {
          const float w = xl.pairs[xp].weight * yl.pairs[yp].weight;
          float* a = &acc[(size_t(yl.pairs[yp].index) * dw + xl.pairs[xp].index) * 4];
          for (int c = 0; c < 4; ++c) a[c] = a[c] + w * p[c];
        }
      }
    }
  }
  std::vector<uint32_t> out(size_t(dw) * dh);
  for (size_t n = 0; n < out.size(); ++n) {
    uint32_t b[4];
    for (int c = 0; c < 4; ++c) {
      float v = std::min(std::max(acc[n * 4 + c], 0.0f), 1.0f);
      b[c] = uint32_t(v * 255.0f + 0.5f);
    }
    out[n] = b[3] << 24 | b[0] << 16 | b[1] << 8 | b[2];
  }
  return out;
}

TEST(Triangle, MatchesThePlainLoopBitForBit) {
  uint32_t seed = 12345;
  auto next = [&] { return seed = seed * 1664525u + 1013904223u; };
  const UINT sizes[][4] = {{88, 88, 128, 128}, {88, 88, 11, 11}, {792, 64, 99, 8}, {5, 3, 17, 2},
                           {7, 9, 1, 1},       {2, 2, 5, 4},     {88, 40, 1024, 3}};
  // The same pictures as A8R8G8B8 and as P8 through a palette of the same
  // colours (P8 rows are read through the palette without a decoded row).
  uint32_t colours[256];
  for (uint32_t& c : colours) c = next();
  const float k = 1.0f / 255.0f;
  for (bool palettised : {false, true})
  for (bool wrap : {false, true}) {
    for (const auto& s : sizes) {
      Image src(palettised ? D3DFMT_P8 : D3DFMT_A8R8G8B8, s[0], s[1], palettised ? 1 : 4),
          dest(D3DFMT_A8R8G8B8, s[2], s[3], 4);
      for (int i = 0; i < 256; ++i) {
        const uint32_t c = colours[i];
        src.view.palette[i] = Pixel{float(c >> 16 & 0xFF) * k, float(c >> 8 & 0xFF) * k, float(c & 0xFF) * k,
                                    float(c >> 24) * k};
      }
      std::vector<uint32_t> pixels(size_t(s[0]) * s[1]);
      for (size_t n = 0; n < pixels.size(); ++n) {
        if (palettised) {
          const BYTE index = BYTE(next() >> 24);
          src.bytes[n] = index;
          pixels[n] = colours[index];
        } else {
          pixels[n] = next();
          src.SetArgb(UINT(n % s[0]), UINT(n / s[0]), pixels[n]);
        }
      }
      SCOPED_TRACE(palettised ? "P8" : "A8R8G8B8");
      Convert(dest, src, D3DX_FILTER_TRIANGLE | (wrap ? 0 : D3DX_FILTER_MIRROR));
      const auto want = PlainTriangle(pixels, s[0], s[1], s[2], s[3], wrap);
      int wrong = 0;
      for (UINT y = 0; y < s[3]; ++y)
        for (UINT x = 0; x < s[2]; ++x)
          if (dest.Argb(x, y) != want[size_t(y) * s[2] + x] && wrong++ < 3)
            ADD_FAILURE() << s[0] << "x" << s[1] << "->" << s[2] << "x" << s[3] << " wrap " << wrap << " at " << x
                          << "," << y << std::hex << " got " << dest.Argb(x, y) << " want "
                          << want[size_t(y) * s[2] + x];
    }
  }
}

}  // namespace

namespace {

TEST(Gamma, FlagsDecodeEncodeOrCancel) {
  auto convert = [](DWORD flags, BYTE value) {
    Image src(D3DFMT_X8R8G8B8, 1, 1, 4), dest(D3DFMT_A8R8G8B8, 1, 1, 4);
    src.SetArgb(0, 0, uint32_t(value) << 16 | 0xFF000000u);
    Convert(dest, src, D3DX_FILTER_NONE | flags);
    return dest.Argb(0, 0) >> 16 & 0xFF;
  };
  EXPECT_EQ(convert(0, 128), 128u);
  EXPECT_EQ(convert(D3DX_FILTER_SRGB_IN, 128), 56u);   // (128/255)^2.2 = 0.2195
  EXPECT_EQ(convert(D3DX_FILTER_SRGB_OUT, 56), 128u);  // (56/255)^(1/2.2) = 0.5018
  EXPECT_EQ(convert(D3DX_FILTER_SRGB, 128), 128u);     // both sides encoded: no work
  // Alpha is never gamma-converted.
  Image src(D3DFMT_A8R8G8B8, 1, 1, 4), dest(D3DFMT_A4R4G4B4, 1, 1, 2);
  src.SetArgb(0, 0, 0x88000000u);
  Convert(dest, src, D3DX_FILTER_NONE | D3DX_FILTER_SRGB_IN);
  EXPECT_EQ(dest.bytes[1] >> 4, 8);
}

TEST(NumericKinds, SignedAndFloatSourcesIntoUnsigned) {
  // V8U8 (signed): -1 -> 0, 0 -> 0.5, +1 -> 1 in an unsigned destination.
  Image src(D3DFMT_V8U8, 3, 1, 2), dest(D3DFMT_A8R8G8B8, 3, 1, 4);
  src.bytes = {0x81, 0x7F, 0x00, 0x00, 0x7F, 0x81};
  src.view.pixels = src.bytes.data();
  Convert(dest, src, D3DX_FILTER_NONE);
  EXPECT_EQ(dest.Argb(0, 0) >> 16 & 0xFF, 0u);    // U = -1 in red
  EXPECT_EQ(dest.Argb(0, 0) >> 8 & 0xFF, 255u);   // V = +1 in green
  EXPECT_EQ(dest.Argb(1, 0) >> 16 & 0xFF, 128u);  // 0 -> 0.5
  EXPECT_EQ(dest.Argb(2, 0) >> 8 & 0xFF, 0u);
  // Floats outside 0..1 are clamped on the way into an unsigned format.
  Image floats(D3DFMT_A32B32G32R32F, 2, 1, 16), out(D3DFMT_L8, 2, 1, 1);
  floats.SetFloats(0, 0, Pixel{-3.0f, -3.0f, -3.0f, 1.0f});
  floats.SetFloats(1, 0, Pixel{7.0f, 7.0f, 7.0f, 1.0f});
  Convert(out, floats, D3DX_FILTER_NONE);
  EXPECT_EQ(out.bytes[0], 0);
  EXPECT_EQ(out.bytes[1], 255);
}

TEST(Palettised, WritingP8PicksTheNearestEntry) {
  Image src(D3DFMT_A8R8G8B8, 2, 1, 4), dest(D3DFMT_P8, 2, 1, 1);
  for (int i = 0; i < 256; ++i) dest.view.palette[i] = Pixel{i / 255.0f, 0, 0, 1};
  src.SetArgb(0, 0, 0xFF400000u);
  src.SetArgb(1, 0, 0xFFFE0000u);
  Convert(dest, src, D3DX_FILTER_NONE);
  EXPECT_EQ(dest.bytes[0], 0x40);
  EXPECT_EQ(dest.bytes[1], 0xFE);
}

}  // namespace

namespace {

TEST(Writer, NotANumberAndInfinityNeverOverflowAnInteger) {
  const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
  for (D3DFORMAT format : {D3DFMT_A8R8G8B8, D3DFMT_R5G6B5, D3DFMT_A2R10G10B10, D3DFMT_V8U8, D3DFMT_Q16W16V16U16,
                           D3DFMT_L16, D3DFMT_A8P8, D3DFMT_DXT1, D3DFMT_DXT5, D3DFMT_UYVY}) {
    Image src(D3DFMT_A32B32G32R32F, 4, 4, 16), dest(format, 4, 4, 8);
    for (UINT y = 0; y < 4; ++y)
      for (UINT x = 0; x < 4; ++x) src.SetFloats(x, y, Pixel{nan, inf, -inf, x & 1 ? nan : 1e30f});
    dest.view.rowPitch = 32;
    Convert(dest, src, D3DX_FILTER_NONE);  // the sanitizers watch the conversions
    Convert(dest, src, D3DX_FILTER_TRIANGLE);
  }
  Image src(D3DFMT_A32B32G32R32F, 1, 1, 16), dest(D3DFMT_A8R8G8B8, 1, 1, 4);
  src.SetFloats(0, 0, Pixel{nan, inf, -inf, nan});
  Convert(dest, src, D3DX_FILTER_NONE);
  EXPECT_EQ(dest.Argb(0, 0), 0x0000FF00u);  // NaN reads as 0, infinities as the ends
}

}  // namespace

namespace {

TEST(Dispatcher, EmptyRectangles) {
  // An empty source gives nothing to sample: only the unfiltered strategy
  // (which writes transparent black) takes the job.
  for (DWORD kind : {D3DX_FILTER_POINT, D3DX_FILTER_LINEAR, D3DX_FILTER_BOX, D3DX_FILTER_TRIANGLE}) {
    Image src(D3DFMT_A8R8G8B8, 0, 0, 4), dest(D3DFMT_A8R8G8B8, 3, 2, 4);
    EXPECT_EQ(gfx::DispatchConversion(&dest.view, &src.view, kind), E_FAIL) << kind;
  }
  Image src(D3DFMT_A8R8G8B8, 0, 3, 4), dest(D3DFMT_A8R8G8B8, 3, 2, 4);
  dest.SetArgb(0, 0, 0x12345678u);
  EXPECT_EQ(gfx::DispatchConversion(&dest.view, &src.view, D3DX_FILTER_NONE), S_OK);
  EXPECT_EQ(dest.Argb(0, 0), 0u);
  // An empty destination from a picture: no resampling strategy takes it,
  // only the unfiltered one (which writes the nothing asked for).
  Image some(D3DFMT_A8R8G8B8, 4, 4, 4), none(D3DFMT_A8R8G8B8, 0, 5, 4), flat(D3DFMT_A8R8G8B8, 4, 0, 4);
  for (DWORD kind : {D3DX_FILTER_POINT, D3DX_FILTER_LINEAR, D3DX_FILTER_BOX, D3DX_FILTER_TRIANGLE}) {
    gfx::Strategy used = gfx::Strategy::RawCopy;
    EXPECT_EQ(gfx::DispatchConversion(&none.view, &some.view, kind, &used), E_FAIL) << kind;
    EXPECT_EQ(used, gfx::Strategy::None) << kind;
    EXPECT_EQ(gfx::DispatchConversion(&flat.view, &some.view, kind), E_FAIL) << kind;
  }
  gfx::Strategy used = gfx::Strategy::None;
  EXPECT_EQ(gfx::DispatchConversion(&none.view, &some.view, D3DX_FILTER_NONE, &used), S_OK);
  EXPECT_EQ(used, gfx::Strategy::Unfiltered);
}

}  // namespace

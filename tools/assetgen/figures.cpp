// The cell-sized figures: walker, partner, gem, block and stranger, plus the
// spin strip turned from the walker and the enlarged walker of the icon.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "detmath.h"
#include "palettes.h"
#include "pictures.h"

namespace assetgen {
namespace {

Rgb C(Rgb8 c) { return ToFloat(c); }
Rgb T(int tileIndex) { return ToFloat(TilePalette()[size_t(tileIndex)]); }

// A small deterministic generator for scattered details.
struct Lcg {
  uint32_t s;
  float Next() {
    s = s * 1664525u + 1013904223u;
    return float(s >> 8) / float(1u << 24);
  }
};

struct WalkerColours {
  Rgb background, speckA, speckB, outline, hair, hairShade, highlight, skin, skinShade, eye, glint, shirt, shirtLight,
      trousers;
};

// The walker in 88-unit design space; the view of the canvas decides the
// pixel size.
void PaintWalker(Canvas& cv, const WalkerColours& k, bool specks) {
  if (specks) {
    Lcg rng{7};
    for (int i = 0; i < 46; ++i) {
      float x = rng.Next() * 88, y = rng.Next() * 88, r = 0.7f + rng.Next() * 1.1f;
      cv.Fill(Circle(x, y, r), i % 3 == 0 ? k.speckB : k.speckA);
    }
  }
  Shape hairCap = Ellipse(44, 30, 34, 28);
  Shape hair = Union({hairCap, Circle(12, 42, 7.5f), Circle(76, 42, 7.5f)});
  Shape face = Ellipse(44, 40, 24.5f, 20.5f);
  Shape neck = RoundRect(38, 55, 50, 62, 2);
  Shape shirt = Polygon({{26, 58}, {62, 58}, {69, 78}, {19, 78}});
  Shape armL = Stroke({{27, 61}, {15, 72}}, 10);
  Shape armR = Stroke({{61, 61}, {73, 72}}, 10);
  Shape handL = Circle(12.5f, 74, 5.8f), handR = Circle(75.5f, 74, 5.8f);
  Shape legs = Union({RoundRect(29, 75, 42, 83, 2), RoundRect(46, 75, 59, 83, 2)});
  Shape feet = Union({Ellipse(34.5f, 83.8f, 9.5f, 3.6f), Ellipse(53.5f, 83.8f, 9.5f, 3.6f)});
  Shape body = Union({hair, face, neck, shirt, armL, armR, handL, handR, legs, feet});
  cv.Paint(cv.MeasureGrown(body, 1.3f), k.outline);

  cv.Fill(legs, k.trousers);
  cv.Fill(Stroke({{44, 77}, {44, 83}}, 1.4f), k.outline);
  cv.Fill(feet, k.skin);
  cv.Fill(Union({armL, armR}), k.shirt);
  cv.Fill(shirt, k.shirt);
  cv.Fill(Polygon({{33, 58}, {44, 66}, {55, 58}}), k.shirtLight);
  cv.Fill(Stroke({{21, 76.5f}, {67, 76.5f}}, 2.2f), k.shirtLight);
  cv.Fill(Stroke({{29, 63}, {25, 73}}, 1.6f), k.shirtLight);
  cv.Fill(Union({handL, handR}), k.skin);
  cv.Fill(neck, k.skinShade);
  cv.Fill(hair, k.hair);
  cv.Fill(Subtract(hairCap, Ellipse(41, 28, 33, 27.5f)), k.hairShade);
  cv.Fill(face, k.skin);
  // fringe: a row of locks over the forehead
  cv.Fill(Union({Circle(25, 26, 8), Circle(34, 23, 8), Circle(44, 22.5f, 8), Circle(54, 23, 8), Circle(63, 26, 7.5f),
                 Ellipse(44, 15, 29, 10)}),
          k.hair);
  cv.Fill(Stroke(Arc(44, 34, 31, 25, -2.6f, -2.05f, 8), 3.6f), k.highlight);
  cv.Fill(Circle(19.5f, 25.5f, 1.9f), k.highlight);
  // cheeks
  cv.Fill(Ellipse(28.5f, 48, 3.8f, 2.1f), Mix(k.skin, k.hairShade, 0.55f));
  cv.Fill(Ellipse(59.5f, 48, 3.8f, 2.1f), Mix(k.skin, k.hairShade, 0.55f));
  // eyes with glints
  cv.Fill(Ellipse(35.5f, 41, 3.5f, 5), k.eye);
  cv.Fill(Ellipse(52.5f, 41, 3.5f, 5), k.eye);
  cv.Fill(Circle(34.3f, 39, 1.45f), k.glint);
  cv.Fill(Circle(51.3f, 39, 1.45f), k.glint);
  // smile
  cv.Fill(Stroke(Arc(44, 48.5f, 4.2f, 3, 0.35f, kPi - 0.35f, 8), 1.6f), k.eye);
}

WalkerColours TileWalkerColours() {
  return {T(kNavy), T(kMidBlue), T(kLightBlue), T(kNearBlack), T(kCrimson), T(kBrown), T(kCream), T(kTan),
          T(kBrown), T(kNearBlack), T(kCream), T(kMidBlue), T(kLightBlue), T(kBrown)};
}

}  // namespace

Indexed Walker() {
  WalkerColours k = TileWalkerColours();
  Canvas cv(kCell, kCell, k.background);
  PaintWalker(cv, k, true);
  return Quantise(cv, TilePalette(), {kNearBlack, kNavy, kMidBlue, kCrimson, kBrown, kLightBlue, kTan, kCream});
}

Indexed Icon() {
  std::vector<Rgb8> common = CommonPalette();
  WalkerColours k = TileWalkerColours();
  k.highlight = {255, 255, 255};
  k.glint = {255, 255, 255};
  k.eye = {0, 0, 0};
  k.outline = C({0x20, 0x00, 0x40});
  // head and upper body: design x 5..83, y 1..79
  Canvas cv(128, 128, k.background);
  float scale = 128.0f / 78.0f;
  cv.SetView(scale, -5 * scale, -1 * scale);
  PaintWalker(cv, k, true);
  std::vector<int> all;
  for (int i = 0; i < 256; ++i) all.push_back(i);
  return Quantise(cv, common, all);
}

Indexed SpinStrip(const Indexed& walker) {
  std::vector<Rgb8> tile = TilePalette(), spin = SpinPalette();
  std::vector<int> all;
  for (int i = 0; i < 16; ++i) all.push_back(i);
  uint8_t map[16];
  for (int i = 0; i < 16; ++i) map[i] = uint8_t(Nearest(ToFloat(tile[size_t(i)]), spin, all));
  Indexed s{4 * kCell, kCell, std::vector<uint8_t>(size_t(4 * kCell * kCell)), spin};
  for (int f = 0; f < 4; ++f)
    for (int y = 0; y < kCell; ++y)
      for (int x = 0; x < kCell; ++x) {
        // clockwise quarter turns: the top of the picture goes to the right
        int sx = x, sy = y;
        for (int t = 0; t < f; ++t) {
          int nx = sy, ny = kCell - 1 - sx;
          sx = nx, sy = ny;
        }
        s.at(f * kCell + x, y) = map[walker.at(sx, sy)];
      }
  return s;
}

Indexed Partner() {
  Canvas cv(kCell, kCell, T(kNavy));
  cv.Fill([](float x, float y) { return (x - 44) * (x - 44) + (y - 44) * (y - 44) > 50 * 50; }, T(kMidBlue));
  Shape hairBack = Union({Ellipse(44, 35, 37, 32), RoundRect(7, 34, 81, 88, 16)});
  Shape face = Ellipse(44, 42, 24, 22);
  Shape dress = Polygon({{33, 63}, {55, 63}, {72, 89}, {16, 89}});
  Shape armL = Stroke({{31, 64}, {19, 79}}, 8), armR = Stroke({{57, 64}, {69, 79}}, 8);
  Shape handL = Circle(17.5f, 80, 5.5f), handR = Circle(70.5f, 80, 5.5f);
  Shape neck = RoundRect(38, 56, 50, 64, 3);
  Shape body = Union({hairBack, face, dress, armL, armR, handL, handR, neck});
  cv.Paint(cv.MeasureGrown(body, 1.3f), T(kNearBlack));
  cv.Fill(hairBack, T(kDarkBrown));
  // lighter strands falling down each side
  for (int i = 0; i < 3; ++i) {
    float o = float(i) * 5.5f;
    cv.Fill(Stroke(CatmullRom({{18 - o * 0.3f, 22 + o}, {10 + o * 0.2f, 50}, {12 + o, 84}}, 8), 2.2f), T(kBrown));
    cv.Fill(Stroke(CatmullRom({{70 + o * 0.3f, 22 + o}, {78 - o * 0.2f, 50}, {76 - o, 84}}, 8), 2.2f), T(kBrown));
  }
  cv.Fill(dress, T(kCrimson));
  cv.Fill(Stroke({{30, 86}, {58, 86}}, 1.6f), T(kBrown));
  cv.Fill(neck, T(kTan));
  cv.Fill(Union({armL, armR, handL, handR}), T(kTan));
  cv.Fill(Stroke({{33, 63}, {55, 63}}, 2.5f), T(kCrimson));
  cv.Fill(face, T(kTan));
  // bow at the collar
  cv.Fill(Polygon({{44, 65}, {34, 60}, {34, 70}}), T(kLightBlue));
  cv.Fill(Polygon({{44, 65}, {54, 60}, {54, 70}}), T(kLightBlue));
  cv.Fill(Circle(44, 65, 2.6f), T(kMidBlue));
  // parted fringe
  cv.Fill(Intersect(Ellipse(44, 30, 28, 22), Subtract(Ellipse(44, 13, 33, 21), Ellipse(44, 42, 16, 16))), T(kBrown));
  cv.Fill(Polygon({{44, 11}, {23, 35}, {21, 26}, {35, 11}}), T(kBrown));
  cv.Fill(Polygon({{44, 11}, {65, 35}, {67, 26}, {53, 11}}), T(kBrown));
  cv.Fill(Stroke({{44, 11}, {44, 24}}, 1.4f), T(kDarkBrown));
  cv.Fill(Stroke(Arc(44, 30, 22, 18, -2.6f, -2.1f, 6), 2.0f), T(kTan));
  // ornament at the upper right
  for (int i = 0; i < 5; ++i) {
    float a = float(i) * 2 * kPi / 5 - kPi / 2;
    cv.Fill(Circle(66 + 5.2f * dm::Cosf(a), 16 + 5.2f * dm::Sinf(a), 3.6f), T(kCrimson));
  }
  cv.Fill(Circle(66, 16, 2.6f), T(kCream));
  // eyes, glints, mouth
  cv.Fill(Ellipse(36, 44, 3.2f, 4.5f), T(kNearBlack));
  cv.Fill(Ellipse(52, 44, 3.2f, 4.5f), T(kNearBlack));
  cv.Fill(Stroke({{31.5f, 39.5f}, {33.8f, 40.8f}}, 1.3f), T(kNearBlack));
  cv.Fill(Stroke({{56.5f, 39.5f}, {54.2f, 40.8f}}, 1.3f), T(kNearBlack));
  cv.Fill(Circle(35, 42.2f, 1.3f), T(kCream));
  cv.Fill(Circle(51, 42.2f, 1.3f), T(kCream));
  cv.Fill(Ellipse(44, 53.5f, 2.8f, 1.6f), T(kCrimson));
  cv.Fill(Ellipse(29.5f, 50, 3.4f, 1.9f), Mix(T(kTan), T(kCrimson), 0.5f));
  cv.Fill(Ellipse(58.5f, 50, 3.4f, 1.9f), Mix(T(kTan), T(kCrimson), 0.5f));
  return Quantise(cv, TilePalette(),
                  {kNearBlack, kNavy, kMidBlue, kDarkBrown, kCrimson, kBrown, kLightBlue, kTan, kCream});
}

Indexed Gem() {
  Canvas cv(kCell, kCell, T(kNavy));
  auto diamond = [](float r) { return Polygon({{44, 44 - r}, {44 + r, 44}, {44, 44 + r}, {44 - r, 44}}); };
  cv.Fill(Circle(44, 44, 45.5f), T(kMidBlue));
  cv.Fill(diamond(49), T(kLightBlue));
  cv.Fill(diamond(46), T(kDarkBrown));
  cv.Fill(diamond(38.5f), T(kBrown));
  cv.Fill(diamond(29), T(kTan));
  // facets
  for (int i = 0; i < 4; ++i) {
    float a = float(i) * kPi / 2;
    cv.Fill(Stroke({{44 + 14 * dm::Cosf(a), 44 + 14 * dm::Sinf(a)}, {44 + 38 * dm::Cosf(a), 44 + 38 * dm::Sinf(a)}}, 1.4f),
            T(kDarkBrown));
  }
  cv.Fill(diamond(17), T(kCream));
  cv.Fill(Polygon({{44, 30}, {50, 38}, {44, 36}, {38, 38}}), T(kCream));
  auto sparkle = [&](float x, float y, float r) {
    cv.Fill(Polygon({{x, y - r}, {x + r * 0.22f, y - r * 0.22f}, {x + r, y}, {x + r * 0.22f, y + r * 0.22f},
                     {x, y + r}, {x - r * 0.22f, y + r * 0.22f}, {x - r, y}, {x - r * 0.22f, y - r * 0.22f}}),
            T(kCream));
  };
  sparkle(13, 14, 7.5f);
  sparkle(75, 73, 5.5f);
  return Quantise(cv, TilePalette(), {kNavy, kDarkBrown, kMidBlue, kBrown, kTan, kCream, kLightBlue});
}

Indexed Block() {
  std::vector<Rgb8> pal = CommonPalette();
  const int offWhite = 246, bright = CubeIndex(0x20, 0xE0, 0x40), dark = CubeIndex(0x00, 0x40, 0x00),
            green = CubeIndex(0x00, 0xA0, 0x00), white = 255;
  Canvas cv(kCell, kCell, C(pal[offWhite]));
  const float cx = 44, cy = 44, rx = 35, ry = 43.5f;
  Shape oval = Ellipse(cx, cy, rx, ry);
  cv.Fill(oval, C(pal[dark]));
  Shape inner = Ellipse(cx, cy, rx - 5.5f, ry - 5.5f);
  // bands follow the oval's curve, like the ribs of a melon
  auto band = [&](float lo, float hi) {
    return Intersect(inner, [=](float x, float y) {
      float dy = (y - cy) / (ry - 5.5f);
      float half = (rx - 5.5f) * std::sqrt(std::max(0.0f, 1 - dy * dy));
      float u = half > 0 ? std::abs(x - cx) / half : 1;
      return u >= lo && u < hi;
    });
  };
  cv.Fill(band(0.0f, 1.0f), C(pal[green]));
  cv.Fill(band(0.0f, 0.72f), C(pal[bright]));
  cv.Fill(band(0.36f, 0.5f), C(pal[green]));
  cv.Fill(band(0.0f, 0.13f), C(pal[white]));
  cv.Fill(Stroke(Arc(cx, cy, rx - 8, ry - 8, -2.5f, -2.0f, 6), 2.4f), C(pal[white]));
  return Quantise(cv, pal, {offWhite, bright, dark, green, white});
}

Indexed Stranger() {
  std::vector<Rgb8> pal = CommonPalette();
  const int navy = 4, blue = CubeIndex(0x20, 0x40, 0xC0), pale = CubeIndex(0x60, 0xA0, 0xC0),
            grey = CubeIndex(0x40, 0x40, 0x40), greyLight = CubeIndex(0x60, 0x60, 0x40), sand = CubeIndex(0xE0, 0xC0, 0x80),
            dark = CubeIndex(0x00, 0x00, 0x40), trousers = CubeIndex(0x20, 0x20, 0x40), hair = CubeIndex(0xC0, 0x60, 0x00),
            hairLight = CubeIndex(0xE0, 0x80, 0x40), shirt = CubeIndex(0xE0, 0x20, 0x40), gold = CubeIndex(0xE0, 0xC0, 0x00),
            skinShade = CubeIndex(0xC0, 0x80, 0x40), skin = CubeIndex(0xE0, 0xC0, 0x80);
  Canvas cv(kCell, kCell, C(pal[navy]));
  // background: diagonal bands
  cv.Fill([](float x, float y) { return std::fmod(x + y + 400.0f, 40.0f) < 25.0f; }, C(pal[blue]));
  cv.Fill([](float x, float y) { return std::fmod(x + y + 400.0f, 40.0f) < 9.0f; }, C(pal[pale]));

  Shape head = Ellipse(45, 25, 10, 11.5f);
  Shape hairS = Union({Circle(37, 15, 5.5f), Circle(43, 11.5f, 6), Circle(50, 12.5f, 5.5f), Circle(55, 17, 4.5f),
                       Circle(35.5f, 21, 3.5f), Circle(54.5f, 22, 3)});
  Shape jacket = Polygon({{28, 40}, {62, 40}, {64, 64}, {26, 64}});
  Shape armL = Stroke({{30, 42}, {23, 60}}, 9), armR = Stroke({{60, 42}, {67, 60}}, 9);
  Shape fistL = Circle(22.5f, 63, 4.5f), fistR = Circle(67.5f, 63, 4.5f);
  Shape legL = Stroke({{39, 63}, {27, 81}}, 9.5f), legR = Stroke({{51, 63}, {63, 81}}, 9.5f);
  Shape shoes = Union({Ellipse(24, 83.5f, 7.5f, 3.6f), Ellipse(66, 83.5f, 7.5f, 3.6f)});
  Shape neck = RoundRect(41, 33, 49, 41, 2);
  Shape body = Union({head, hairS, jacket, armL, armR, fistL, fistR, legL, legR, shoes, neck, RoundRect(35, 58, 55, 66, 3)});
  cv.Paint(cv.MeasureGrown(body, 1.3f), C(pal[dark]));
  cv.Fill(Union({legL, legR, RoundRect(35, 58, 55, 66, 3)}), C(pal[trousers]));
  cv.Fill(shoes, C(pal[dark]));
  cv.Fill(Union({armL, armR}), C(pal[grey]));
  cv.Fill(Union({fistL, fistR}), C(pal[skin]));
  cv.Fill(jacket, C(pal[grey]));
  cv.Fill(Polygon({{38, 40}, {52, 40}, {45, 58}}), C(pal[shirt]));
  cv.Fill(Stroke({{38, 40}, {45, 58}, {52, 40}}, 1.6f), C(pal[greyLight]));
  cv.Fill(Stroke({{31, 44}, {29, 61}}, 1.5f), C(pal[greyLight]));
  for (int i = 0; i < 2; ++i) cv.Fill(Circle(45, 60.5f + float(i) * 0.0f, 1.7f), C(pal[gold]));
  cv.Fill(Circle(41, 50, 1.5f), C(pal[gold]));
  cv.Fill(Circle(49, 50, 1.5f), C(pal[gold]));
  cv.Fill(neck, C(pal[skinShade]));
  cv.Fill(head, C(pal[skin]));
  cv.Fill(hairS, C(pal[hair]));
  cv.Fill(Union({Circle(41, 11, 2.4f), Circle(50, 12, 2), Circle(36, 15, 1.8f)}), C(pal[hairLight]));
  cv.Fill(Ellipse(45, 29, 2.2f, 1.5f), C(pal[skinShade]));
  // scowl: brows pulled down to the middle, mouth turned down
  cv.Fill(Stroke({{36.5f, 21}, {42.5f, 23.2f}}, 1.6f), C(pal[dark]));
  cv.Fill(Stroke({{47.5f, 23.2f}, {53.5f, 21}}, 1.6f), C(pal[dark]));
  cv.Fill(Stroke(Arc(45, 34.5f, 3.4f, 2.2f, -kPi + 0.4f, -0.4f, 8), 1.3f), C(pal[dark]));
  cv.Fill(Union({Circle(34.8f, 25.5f, 2), Circle(55.2f, 25.5f, 2)}), C(pal[skinShade]));
  Indexed out = Quantise(cv, pal,
                         {navy, blue, pale, grey, greyLight, sand, dark, trousers, hair, hairLight, shirt, gold, skinShade, skin});
  out.at(40, 25) = uint8_t(dark);
  // the one pixel the colour key makes transparent
  out.at(50, 25) = 0;
  return out;
}

CursorPicture Cursor() {
  std::vector<Rgb8> pal = {{0, 0, 0},       {0x80, 0, 0},    {0, 0x80, 0},    {0x80, 0x80, 0},
                           {0, 0, 0x80},    {0x80, 0, 0x80}, {0, 0x80, 0x80}, {0xC0, 0xC0, 0xC0},
                           {0x80, 0x80, 0x80}, {0xFF, 0, 0},  {0, 0xFF, 0},    {0xFF, 0xFF, 0},
                           {0, 0, 0xFF},    {0xFF, 0, 0xFF}, {0, 0xFF, 0xFF}, {0xFF, 0xFF, 0xFF}};
  constexpr int kNavyI = 4, kSilver = 7, kGrey = 8, kBlueI = 12, kInside = 627;
  Canvas cv(32, 32, {});
  // the mouse's body, and its cable curling up to the hotspot
  Shape mouse = RoundRect(6.5f, 5.5f, 30.5f, 31.5f, 11.5f);
  Shape cable = Stroke(CatmullRom({{0.6f, 0.6f}, {6, 2.2f}, {12, 2.8f}, {18.5f, 6.5f}}, 8), 2.4f);
  Coverage cov = cv.Measure(Union({mouse, cable}), 8);
  std::vector<int> order(1024);
  for (int i = 0; i < 1024; ++i) order[size_t(i)] = i;
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return cov.a[size_t(a)] > cov.a[size_t(b)]; });
  std::vector<bool> transparent(1024, true);
  for (int i = 0; i < kInside; ++i) transparent[size_t(order[size_t(i)])] = false;

  Indexed img{32, 32, std::vector<uint8_t>(1024, 0), pal};
  Coverage buttonsLine = cv.Measure(Union({Stroke({{18.5f, 6}, {18.5f, 15}}, 1.2f), Stroke({{7, 15.5f}, {30, 15.5f}}, 1.2f)}), 8);
  Coverage wheel = cv.Measure(RoundRect(17, 8, 20, 13, 1.4f), 8);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) {
      size_t i = size_t(y * 32 + x);
      if (transparent[i]) continue;
      uint8_t c = kNavyI;
      if (buttonsLine.a[i] >= 0.45f) c = kSilver;
      if (wheel.a[i] >= 0.5f) c = kGrey;
      img.idx[i] = c;
    }
  // a few bright edge pixels where light catches the left rim
  for (int y = 12; y < 27; ++y)
    for (int x = 0; x < 32; ++x) {
      size_t i = size_t(y * 32 + x);
      if (!transparent[i]) {
        if (y % 3 != 0) img.idx[i] = kBlueI;
        break;
      }
    }
  return {img, transparent};
}

}  // namespace assetgen

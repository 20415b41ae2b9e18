// The title card: nine by seven floor tiles with the name, the two figures,
// the gem and the invitation, white margins at the right and bottom, on a
// table of 93 colours chosen from the picture itself.
#include <algorithm>
#include <initializer_list>
#include <map>

#include "glyphs.h"
#include "palettes.h"
#include "pictures.h"

namespace assetgen {
namespace {

constexpr int kTitleW = 792, kTitleH = 640, kColours = 93;

void PasteCell(Canvas& cv, const Indexed& cell, int col, int row, const std::vector<Rgb8>& pal) {
  for (int y = 0; y < kCell; ++y)
    for (int x = 0; x < kCell; ++x) cv.at(col * kCell + x, row * kCell + y) = ToFloat(pal[cell.at(x, y)]);
}

struct Key {
  uint8_t r, g, b;
  bool operator<(const Key& o) const { return std::tie(r, g, b) < std::tie(o.r, o.g, o.b); }
};

uint8_t Round8(float v) { return uint8_t(std::clamp(v + 0.5f, 0.0f, 255.0f)); }

// The card at full colour: the board, the name, the figures and the
// invitation's two lines.
Canvas PaintTitle(const std::vector<Rgb8>& tile, const Indexed& floor, const Indexed& walker, const Indexed& partner,
                  const Indexed& gem) {
  Canvas cv(kTitleW, kTitleH, {255, 255, 255});
  for (int row = 0; row < 7; ++row)
    for (int col = 0; col < 9; ++col) PasteCell(cv, floor, col, row, tile);

  const Rgb indigo = ToFloat(tile[kIndigo]), red = ToFloat(tile[kRed]);
  struct Letter { char c; int col, row; };
  const Letter name[] = {{'V', 3, 1}, {'E', 4, 1}, {'L', 5, 1}, {'M', 3, 2}, {'O', 4, 2}, {'R', 5, 2}, {'A', 5, 3}};
  for (const Letter& l : name)
    cv.Fill(GlyphShape(l.c, float(l.col * kCell) + 44, float(l.row * kCell) + 44, 52, 8.5f), indigo,
            {l.col * kCell, l.row * kCell, (l.col + 1) * kCell, (l.row + 1) * kCell});

  // The ninth column of tiles runs two pixels past the margin line; the
  // margin wins.
  for (int y = 0; y < kTitleH; ++y)
    for (int x = 790; x < kTitleW; ++x) cv.at(x, y) = {255, 255, 255};

  PasteCell(cv, walker, 6, 1, tile);
  PasteCell(cv, partner, 6, 3, tile);
  PasteCell(cv, gem, 2, 5, tile);

  const float h = 44, weight = 6.2f, track = 4.0f;
  const char* line1 = "Push SPACE";
  const char* line2 = "or Double Click";
  float w1 = TextWidth(line1, h, track), w2 = TextWidth(line2, h, track);
  const Rgb navy = ToFloat(tile[kNavy]);
  const Area row5{264, 440, 704, 528}, row6{264, 528, 790, 616};
  const float x1 = 264 + (440 - w1) / 2, x2 = 264 + (528 - w2) / 2;
  // a navy rim keeps the red readable over the tiles' highlights
  cv.Fill(TextShape(line1, x1, 440 + (88 - h) / 2, h, weight + 3.4f, track), navy, row5);
  cv.Fill(TextShape(line2, x2, 528 + (88 - h) / 2, h, weight + 3.4f, track), navy, row6);
  cv.Fill(TextShape(line1, x1, 440 + (88 - h) / 2, h, weight, track), red, row5);
  cv.Fill(TextShape(line2, x2, 528 + (88 - h) / 2, h, weight, track), red, row6);

  return cv;
}

// The card's colour table: the picture's main colours first, then, one at
// a time, the colour whose pixels are worst served so far.
std::vector<Rgb8> ChooseTitlePalette(const Canvas& cv, const std::vector<Rgb8>& tile,
                                     std::initializer_list<const Indexed*> figures) {
  std::map<Key, int> histogram;
  for (int y = 0; y < kTitleH; ++y)
    for (int x = 0; x < kTitleW; ++x) {
      const Rgb& p = cv.at(x, y);
      Key k{Round8(p.r), Round8(p.g), Round8(p.b)};
      if (k.r == 0 && k.g == 0 && k.b == 0) k.b = 2;
      ++histogram[k];
    }
  std::vector<std::pair<Rgb8, int>> colours;
  for (const auto& [k, n] : histogram) colours.push_back({{k.r, k.g, k.b}, n});

  std::vector<Rgb8> pal;
  auto has = [&](Rgb8 c) { return std::find(pal.begin(), pal.end(), c) != pal.end(); };
  for (int i : {kLightBlue, kMidBlue, kNavy, kCream, kWhite, kRed, kIndigo})
    if (histogram.count({tile[size_t(i)].r, tile[size_t(i)].g, tile[size_t(i)].b})) pal.push_back(tile[size_t(i)]);
  for (const Indexed* fig : figures)
    for (uint8_t v : fig->idx)
      if (!has(tile[v])) pal.push_back(tile[v]);
  std::vector<float> best(colours.size());
  for (size_t i = 0; i < colours.size(); ++i) {
    best[i] = 1e30f;
    for (const Rgb8& p : pal) best[i] = std::min(best[i], ColourDistance(ToFloat(colours[i].first), p));
  }
  while (pal.size() < size_t(kColours)) {
    size_t pick = 0;
    float worst = -1;
    for (size_t i = 0; i < colours.size(); ++i) {
      float e = best[i] * float(colours[i].second);
      if (e > worst) worst = e, pick = i;
    }
    if (worst <= 0) break;
    Rgb8 c = colours[pick].first;
    pal.push_back(c);
    for (size_t i = 0; i < colours.size(); ++i) best[i] = std::min(best[i], ColourDistance(ToFloat(colours[i].first), c));
  }
  return pal;
}

}  // namespace

Indexed TitleCard(const Indexed& floor, const Indexed& walker, const Indexed& partner, const Indexed& gem) {
  std::vector<Rgb8> tile = TilePalette();
  // The title's outlines are a hair away from black so the colour key
  // leaves them opaque.
  tile[kNearBlack] = {0x00, 0x00, 0x02};
  const Canvas cv = PaintTitle(tile, floor, walker, partner, gem);
  const std::vector<Rgb8> pal = ChooseTitlePalette(cv, tile, {&walker, &partner, &gem});
  std::vector<int> all, noIndigo;
  for (size_t i = 0; i < pal.size(); ++i) {
    all.push_back(int(i));
    if (!(pal[i] == tile[kIndigo])) noIndigo.push_back(int(i));
  }
  Indexed out = Quantise(cv, pal, all);
  // The letters' indigo belongs to the name alone; the red lettering's
  // shading takes its nearest other colour.
  for (int y = 440; y < kTitleH; ++y)
    for (int x = 0; x < kTitleW; ++x) out.at(x, y) = uint8_t(Nearest(cv.at(x, y), pal, noIndigo));
  out.palette.resize(256, Rgb8{0, 0, 0});
  return out;
}

}  // namespace assetgen

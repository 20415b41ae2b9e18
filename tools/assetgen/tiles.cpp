// The floor tile and the lettered strips built from it.
#include <algorithm>
#include <cmath>
#include <numeric>

#include "glyphs.h"
#include "palettes.h"
#include "pictures.h"

namespace assetgen {
namespace {

// Pixel indices ordered by key, ties by position, so that "the n smallest"
// is an exact, deterministic count.
std::vector<int> Ranked(const std::vector<double>& key) {
  std::vector<int> order(key.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return key[size_t(a)] < key[size_t(b)]; });
  return order;
}

}  // namespace

Indexed FloorTile() {
  constexpr int kNavyCount = 1754, kBevelCount = 2590, kCreamCount = 591;
  Indexed t{kCell, kCell, std::vector<uint8_t>(kCell * kCell, kLightBlue), TilePalette()};
  const int n = kCell * kCell;

  // Rings from the edge inwards: a squarish superellipse norm gives the
  // inner corners a slight rounding; ties go to the pixels farthest from
  // the diagonals, so partial rings stay symmetric instead of following
  // scan order.
  std::vector<double> ring(size_t(n), 0.0), slant(size_t(n), 0.0);
  for (int y = 0; y < kCell; ++y)
    for (int x = 0; x < kCell; ++x) {
      double u = std::abs(x + 0.5 - 44), v = std::abs(y + 0.5 - 44);
      double u2 = u * u, v2 = v * v;
      double u10 = u2 * u2 * u2 * u2 * u2, v10 = v2 * v2 * v2 * v2 * v2;
      ring[size_t(y * kCell + x)] = -(u10 + v10);
      slant[size_t(y * kCell + x)] = -std::abs(u - v);
    }
  std::vector<int> order(static_cast<size_t>(n));
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
    return ring[size_t(a)] != ring[size_t(b)] ? ring[size_t(a)] < ring[size_t(b)] : slant[size_t(a)] < slant[size_t(b)];
  });
  for (int i = 0; i < n; ++i)
    t.idx[size_t(order[size_t(i)])] = i < kNavyCount ? kNavy : i < kNavyCount + kBevelCount ? kMidBlue : kLightBlue;

  // Three glints running from lower left to upper right across the upper
  // left of the face, each tapering towards its ends.
  struct Stripe { double at, width, centre; };
  const Stripe stripes[3] = {{50, 7.0, 0}, {63, 4.6, 0}, {74, 2.6, 0}};
  std::vector<double> glint(size_t(n), 1e9);
  for (int y = 0; y < kCell; ++y)
    for (int x = 0; x < kCell; ++x) {
      if (t.at(x, y) != kLightBlue) continue;
      double s = x + y + 1.0, along = (x - y) / 2.0;
      double best = 1e9;
      for (const Stripe& st : stripes) {
        double across = std::abs(s - st.at) / st.width;
        double lengthwise = std::abs(along - st.centre) / (st.at * 0.36);
        best = std::min(best, across + 0.6 * lengthwise * lengthwise);
      }
      glint[size_t(y * kCell + x)] = best;
    }
  order = Ranked(glint);
  for (int i = 0; i < kCreamCount; ++i) t.idx[size_t(order[size_t(i)])] = kCream;
  return t;
}

namespace {

struct CellResult {
  Indexed cell;
  int fillCount;
};

CellResult DrawGlyphCell(const Indexed& floor, char c, const GlyphStyle& st, float weight) {
  const std::vector<Rgb8> pal = TilePalette();
  Canvas canvas(kCell, kCell, {});
  for (int y = 0; y < kCell; ++y)
    for (int x = 0; x < kCell; ++x) canvas.at(x, y) = ToFloat(pal[floor.at(x, y)]);

  auto shape = [&](float w) {
    return c == '#' ? Union({GlyphShape('!', 34, 44, st.height, w), GlyphShape('!', 54, 44, st.height, w)})
                    : GlyphShape(c, 44, 44, st.height, w);
  };
  Coverage fill = canvas.Measure(shape(weight), 8);
  Coverage outline;
  if (st.outline >= 0) {
    // strokes grown by the outline's width on each side
    outline = canvas.MeasureGrown(shape(weight), 1.4f, 8);
    canvas.Paint(outline, ToFloat(pal[size_t(st.outline)]));
  }
  canvas.Paint(fill, ToFloat(pal[size_t(st.fill)]));

  std::vector<int> fringe;
  for (int i = 0; i < 16; ++i)
    if (i != kNearBlack && i != kWhite && i != kGreen) fringe.push_back(i);

  Indexed out = floor;
  int count = 0;
  for (int y = 0; y < kCell; ++y)
    for (int x = 0; x < kCell; ++x) {
      float f = fill.at(x, y), o = st.outline >= 0 ? outline.at(x, y) : 0.0f;
      if (f >= 0.5f) out.at(x, y) = uint8_t(st.fill), ++count;
      else if (o >= 0.5f) out.at(x, y) = uint8_t(st.outline);
      else if (std::max(f, o) > 0.15f) out.at(x, y) = uint8_t(Nearest(canvas.at(x, y), pal, fringe));
    }
  // Keep the floor untouched away from the glyph: shading that lands more
  // than two pixels from any glyph pixel goes back to floor.
  Indexed kept = out;
  for (int y = 0; y < kCell; ++y)
    for (int x = 0; x < kCell; ++x) {
      if (out.at(x, y) == floor.at(x, y) || out.at(x, y) == st.fill) continue;
      bool near = false;
      for (int dy = -2; dy <= 2 && !near; ++dy)
        for (int dx = -2; dx <= 2 && !near; ++dx) {
          int xx = x + dx, yy = y + dy;
          near = xx >= 0 && yy >= 0 && xx < kCell && yy < kCell && out.at(xx, yy) == st.fill;
        }
      if (!near) kept.at(x, y) = floor.at(x, y);
    }
  return {kept, count};
}

}  // namespace

Indexed GlyphStrip(const Indexed& floor, std::string_view cells, const GlyphStyle& st) {
  int w = kCell * int(cells.size());
  Indexed strip{w, kCell, std::vector<uint8_t>(size_t(w) * kCell), TilePalette()};
  for (size_t k = 0; k < cells.size(); ++k) {
    // A glyph whose ink falls outside the allowed range gets the stroke
    // weight nearest the nominal one that brings it just inside, so the
    // letters of a strip keep a similar weight.
    CellResult r = DrawGlyphCell(floor, cells[k], st, st.weight);
    if (r.fillCount < st.minPixels || r.fillCount > st.maxPixels) {
      const bool thicken = r.fillCount < st.minPixels;
      const int bound = thicken ? st.minPixels + 15 : st.maxPixels - 15;
      float lo = thicken ? st.weight : 0.4f * st.weight, hi = thicken ? 2.5f * st.weight : st.weight;
      for (int iter = 0; iter < 12; ++iter) {
        float mid = (lo + hi) / 2;
        CellResult t = DrawGlyphCell(floor, cells[k], st, mid);
        bool ok = thicken ? t.fillCount >= bound : t.fillCount <= bound;
        if (ok && t.fillCount >= st.minPixels && t.fillCount <= st.maxPixels) r = t;
        if (ok == thicken) hi = mid; else lo = mid;
      }
    }
    for (int y = 0; y < kCell; ++y)
      for (int x = 0; x < kCell; ++x) strip.at(int(k) * kCell + x, y) = r.cell.at(x, y);
  }
  return strip;
}

}  // namespace assetgen

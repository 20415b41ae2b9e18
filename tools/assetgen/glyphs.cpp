#include "glyphs.h"

#include <algorithm>
#include <numbers>

namespace assetgen {
namespace {

using Line = std::vector<Point>;

Line Seg(std::initializer_list<Point> p) { return Line(p); }

Line Join(Line a, const Line& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

Line Flip(Line l, float w) {
  for (Point& p : l) p = {w - p.x, 1 - p.y};
  return l;
}

}  // namespace

namespace {

// Capitals and the exclamation mark.
Glyph CapitalGlyph(char c) {
  switch (c) {
    case 'S':
      return {0.62f, {CatmullRom({{0.57f, 0.14f}, {0.32f, 0.0f}, {0.07f, 0.2f}, {0.2f, 0.42f}, {0.45f, 0.56f},
                                  {0.58f, 0.78f}, {0.32f, 1.0f}, {0.04f, 0.86f}}, 8)}};
    case 'C':
      return {0.64f, {Arc(0.35f, 0.5f, 0.31f, 0.5f, -0.72f, -2 * kPi + 0.72f, 28)}};
    case 'O':
      return {0.72f, {Arc(0.36f, 0.5f, 0.33f, 0.5f, 0, 2 * kPi, 36)}};
    case 'R':
      return {0.6f, {Join(Seg({{0.05f, 1}, {0.05f, 0}, {0.3f, 0}}),
                          Join(Arc(0.3f, 0.25f, 0.25f, 0.25f, -kPi / 2, kPi / 2, 14), Seg({{0.05f, 0.5f}}))),
                     Seg({{0.3f, 0.5f}, {0.57f, 1}})}};
    case 'E':
      return {0.54f, {Seg({{0.5f, 0}, {0.05f, 0}, {0.05f, 1}, {0.5f, 1}}), Seg({{0.05f, 0.5f}, {0.42f, 0.5f}})}};
    case 'M':
      return {0.8f, {Seg({{0.05f, 1}, {0.07f, 0}, {0.4f, 0.62f}, {0.73f, 0}, {0.75f, 1}})}};
    case 'I':
      return {0.32f, {Seg({{0.16f, 0}, {0.16f, 1}}), Seg({{0.03f, 0}, {0.29f, 0}}), Seg({{0.03f, 1}, {0.29f, 1}})}};
    case 'D':
      return {0.66f, {Join(Seg({{0.05f, 0}, {0.05f, 1}, {0.28f, 1}}),
                           Join(Arc(0.28f, 0.5f, 0.33f, 0.5f, kPi / 2, -kPi / 2, 20), Seg({{0.05f, 0}})))}};
    case 'L':
      return {0.5f, {Seg({{0.05f, 0}, {0.05f, 1}, {0.48f, 1}})}};
    case 'A':
      return {0.72f, {Seg({{0.03f, 1}, {0.36f, 0}, {0.69f, 1}}), Seg({{0.15f, 0.66f}, {0.57f, 0.66f}})}};
    case 'V':
      return {0.72f, {Seg({{0.03f, 0}, {0.36f, 1}, {0.69f, 0}})}};
    case 'P':
      return {0.58f, {Join(Seg({{0.05f, 1}, {0.05f, 0}, {0.3f, 0}}),
                           Join(Arc(0.3f, 0.27f, 0.25f, 0.27f, -kPi / 2, kPi / 2, 14), Seg({{0.05f, 0.54f}})))}};
    case '!':
      return {0.2f, {Seg({{0.1f, 0}, {0.1f, 0.64f}}), Seg({{0.1f, 0.95f}})}};
    default:
      return {0.3f, {}};
  }
}

// The score's digits.
Glyph DigitGlyph(char c) {
  switch (c) {
    case '0':
      return {0.6f, {Arc(0.3f, 0.5f, 0.27f, 0.5f, 0, 2 * kPi, 36)}};
    case '1':
      return {0.6f, {Seg({{0.1f, 0.2f}, {0.33f, 0}, {0.33f, 1}}), Seg({{0.1f, 1}, {0.56f, 1}})}};
    case '2':
      return {0.6f, {Join(CatmullRom({{0.05f, 0.2f}, {0.3f, 0.0f}, {0.54f, 0.2f}, {0.47f, 0.43f}, {0.04f, 0.98f}}, 8),
                          Seg({{0.04f, 1}, {0.57f, 1}}))}};
    case '3':
      return {0.6f, {CatmullRom({{0.05f, 0.12f}, {0.3f, 0.0f}, {0.52f, 0.2f}, {0.25f, 0.46f}}, 8),
                     CatmullRom({{0.25f, 0.46f}, {0.55f, 0.7f}, {0.3f, 1.0f}, {0.03f, 0.86f}}, 8),
                     Seg({{0.18f, 0.46f}, {0.27f, 0.46f}})}};
    case '4':
      return {0.6f, {Seg({{0.44f, 1}, {0.44f, 0}, {0.03f, 0.7f}, {0.58f, 0.7f}})}};
    case '5':
      return {0.6f, {Join(Seg({{0.53f, 0}, {0.11f, 0}}),
                          CatmullRom({{0.08f, 0.45f}, {0.32f, 0.36f}, {0.56f, 0.66f}, {0.3f, 1.0f}, {0.03f, 0.87f}}, 8)),
                     Seg({{0.11f, 0}, {0.08f, 0.45f}})}};
    case '6':
    case '9': {
      Glyph g{0.6f, {Arc(0.3f, 0.7f, 0.26f, 0.3f, 0, 2 * kPi, 30),
                     CatmullRom({{0.04f, 0.72f}, {0.09f, 0.3f}, {0.3f, 0.02f}, {0.5f, 0.06f}}, 8)}};
      if (c == '9')
        for (Line& l : g.strokes) l = Flip(l, 0.6f);
      return g;
    }
    case '7':
      return {0.6f, {Seg({{0.03f, 0}, {0.57f, 0}, {0.22f, 1}})}};
    case '8':
      return {0.6f, {Arc(0.3f, 0.25f, 0.22f, 0.24f, 0, 2 * kPi, 28), Arc(0.3f, 0.73f, 0.27f, 0.27f, 0, 2 * kPi, 30)}};
    default:
      return {0.3f, {}};
  }
}

// Small letters, for the title card's lines ("Push SPACE or Double Click").
Glyph SmallGlyph(char c) {
  switch (c) {
    case 'u':
      return {0.5f, {Join(Seg({{0.05f, 0.32f}, {0.05f, 0.78f}}), Arc(0.25f, 0.78f, 0.2f, 0.22f, kPi, 0, 14)),
                     Seg({{0.45f, 0.32f}, {0.45f, 1}})}};
    case 's':
      return {0.44f, {CatmullRom({{0.4f, 0.4f}, {0.22f, 0.32f}, {0.05f, 0.45f}, {0.22f, 0.65f}, {0.4f, 0.8f},
                                  {0.22f, 1.0f}, {0.03f, 0.92f}}, 6)}};
    case 'h':
      return {0.5f, {Seg({{0.05f, 0}, {0.05f, 1}}),
                     Join(Arc(0.25f, 0.56f, 0.2f, 0.24f, kPi, 2 * kPi, 14), Seg({{0.45f, 1}}))}};
    case 'r':
      return {0.36f, {Seg({{0.05f, 0.32f}, {0.05f, 1}}), Arc(0.27f, 0.6f, 0.22f, 0.28f, kPi, 1.5f * kPi + 0.35f, 10)}};
    case 'b':
      return {0.54f, {Seg({{0.05f, 0}, {0.05f, 1}}), Arc(0.28f, 0.66f, 0.23f, 0.34f, 0, 2 * kPi, 28)}};
    case 'l':
      return {0.14f, {Seg({{0.07f, 0}, {0.07f, 1}})}};
    case 'e':
      return {0.5f, {Seg({{0.04f, 0.66f}, {0.46f, 0.66f}}), Arc(0.25f, 0.66f, 0.22f, 0.34f, 0, -2 * kPi + 0.75f, 28)}};
    case 'i':
      return {0.14f, {Seg({{0.07f, 0.32f}, {0.07f, 1}}), Seg({{0.07f, 0.08f}})}};
    case 'c':
      return {0.46f, {Arc(0.25f, 0.66f, 0.22f, 0.34f, -0.8f, -2 * kPi + 0.8f, 24)}};
    case 'k':
      return {0.46f, {Seg({{0.05f, 0}, {0.05f, 1}}), Seg({{0.42f, 0.32f}, {0.05f, 0.74f}}), Seg({{0.18f, 0.62f}, {0.44f, 1}})}};
    case 'o':
      return {0.5f, {Arc(0.25f, 0.66f, 0.22f, 0.34f, 0, 2 * kPi, 28)}};
    default:
      return {0.3f, {}};
  }
}

}  // namespace

Glyph GetGlyph(char c) {
  if (c >= '0' && c <= '9') return DigitGlyph(c);
  if (c >= 'a' && c <= 'z') return SmallGlyph(c);
  return CapitalGlyph(c);
}

static Shape Place(const Glyph& g, float x, float y, float height, float weight) {
  std::vector<Shape> parts;
  float x0 = 1e9f, y0 = 1e9f, x1 = -1e9f, y1 = -1e9f;
  for (const Line& l : g.strokes) {
    Line p;
    for (const Point& q : l) {
      p.push_back({x + q.x * height, y + q.y * height});
      x0 = std::min(x0, p.back().x), x1 = std::max(x1, p.back().x);
      y0 = std::min(y0, p.back().y), y1 = std::max(y1, p.back().y);
    }
    parts.push_back(Stroke(std::move(p), weight));
  }
  return Bounded(Union(std::move(parts)), x0 - weight, y0 - weight, x1 + weight, y1 + weight);
}

Shape GlyphShape(char c, float cx, float cy, float height, float weight) {
  Glyph g = GetGlyph(c);
  return Place(g, cx - g.advance * height / 2, cy - height / 2, height, weight);
}

float TextWidth(std::string_view text, float height, float tracking) {
  float w = 0;
  for (size_t i = 0; i < text.size(); ++i) w += GetGlyph(text[i]).advance * height + (i + 1 < text.size() ? tracking : 0);
  return w;
}

Shape TextShape(std::string_view text, float x, float capTop, float height, float weight, float tracking) {
  std::vector<Shape> parts;
  for (char c : text) {
    Glyph g = GetGlyph(c);
    parts.push_back(Place(g, x, capTop, height, weight));
    x += g.advance * height + tracking;
  }
  return Union(std::move(parts));
}

}  // namespace assetgen

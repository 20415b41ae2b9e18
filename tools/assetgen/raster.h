// Anti-aliased shape rasteriser of the asset generator.
//
// Shapes are inside-tests in design units; a Canvas maps pixels to design
// units (so the same figure can be drawn at 88 or 128 pixels) and measures
// coverage by supersampling. Pictures are painted in plain RGB
// floats and mapped to a palette afterwards. Depends only on the standard
// library.
#pragma once

#include <cstdint>
#include <functional>
#include <numbers>
#include <vector>

namespace assetgen {

constexpr float kPi = std::numbers::pi_v<float>;

struct Rgb {
  float r = 0, g = 0, b = 0;
};

struct Rgb8 {
  uint8_t r = 0, g = 0, b = 0;
  bool operator==(const Rgb8&) const = default;
};

Rgb ToFloat(Rgb8 c);
Rgb Mix(Rgb a, Rgb b, float t);

struct Point {
  float x = 0, y = 0;
};

// A shape is a predicate over design coordinates.
using Shape = std::function<bool(float x, float y)>;

Shape Ellipse(float cx, float cy, float rx, float ry);
Shape Circle(float cx, float cy, float r);
Shape RoundRect(float x0, float y0, float x1, float y1, float radius);
Shape Polygon(std::vector<Point> pts);
// A thick polyline with round joins and caps.
Shape Stroke(std::vector<Point> pts, float width);
Shape Union(std::vector<Shape> parts);
// The shape, known to lie inside the box; points outside are rejected
// without asking it.
Shape Bounded(Shape s, float x0, float y0, float x1, float y1);
Shape Intersect(Shape a, Shape b);
Shape Subtract(Shape a, Shape b);
// Rotation of a shape about (cx, cy) by angle radians (clockwise on screen).
Shape Rotate(Shape s, float cx, float cy, float angle);

// Point helpers for building outlines.
std::vector<Point> Arc(float cx, float cy, float rx, float ry, float a0, float a1, int steps);
std::vector<Point> CatmullRom(const std::vector<Point>& pts, int stepsPerSpan);

struct Coverage {
  int w = 0, h = 0;
  std::vector<float> a;
  float at(int x, int y) const { return a[static_cast<size_t>(y) * w + x]; }
};

struct Area {
  int x0, y0, x1, y1;
};

class Canvas {
 public:
  Canvas(int w, int h, Rgb fill);
  int width() const { return w_; }
  int height() const { return h_; }
  // design = (pixel - offset) / scale
  void SetView(float scale, float offX, float offY);
  // Coverage of a shape; pixels outside `area` (x0, y0 inclusive, x1, y1
  // exclusive; all zero = whole canvas) are left at zero, which saves time
  // on large pictures.
  Coverage Measure(const Shape& s, int samples = 6, Area area = {0, 0, 0, 0}) const;
  void Fill(const Shape& s, Rgb c, Area area = {0, 0, 0, 0});
  // Coverage of the shape grown by `radius` design units in every
  // direction: an exact distance transform of the sampled shape, much
  // cheaper than asking a grown shape at every sample.
  Coverage MeasureGrown(const Shape& s, float radius, int samples = 6) const;
  void Paint(const Coverage& cov, Rgb c);
  Rgb& at(int x, int y) { return px_[static_cast<size_t>(y) * w_ + x]; }
  const Rgb& at(int x, int y) const { return px_[static_cast<size_t>(y) * w_ + x]; }

 private:
  int w_, h_;
  float scale_ = 1, offX_ = 0, offY_ = 0;
  std::vector<Rgb> px_;
};

// An image of palette indices with its colour table.
struct Indexed {
  int w = 0, h = 0;
  std::vector<uint8_t> idx;
  std::vector<Rgb8> palette;
  uint8_t& at(int x, int y) { return idx[static_cast<size_t>(y) * w + x]; }
  uint8_t at(int x, int y) const { return idx[static_cast<size_t>(y) * w + x]; }
};

float ColourDistance(Rgb a, Rgb8 b);
// Nearest entry among `allowed` (indices into palette).
int Nearest(Rgb c, const std::vector<Rgb8>& palette, const std::vector<int>& allowed);
Indexed Quantise(const Canvas& c, const std::vector<Rgb8>& palette, const std::vector<int>& allowed);

}  // namespace assetgen

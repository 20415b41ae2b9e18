#include "raster.h"

#include "detmath.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace assetgen {

Rgb ToFloat(Rgb8 c) { return {float(c.r), float(c.g), float(c.b)}; }

Rgb Mix(Rgb a, Rgb b, float t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Shape Ellipse(float cx, float cy, float rx, float ry) {
  return [=](float x, float y) {
    float dx = (x - cx) / rx, dy = (y - cy) / ry;
    return dx * dx + dy * dy <= 1.0f;
  };
}

Shape Circle(float cx, float cy, float r) { return Ellipse(cx, cy, r, r); }

Shape RoundRect(float x0, float y0, float x1, float y1, float radius) {
  return [=](float x, float y) {
    if (x < x0 || x > x1 || y < y0 || y > y1) return false;
    float qx = std::max({x0 + radius - x, 0.0f, x - (x1 - radius)});
    float qy = std::max({y0 + radius - y, 0.0f, y - (y1 - radius)});
    return qx * qx + qy * qy <= radius * radius;
  };
}

Shape Polygon(std::vector<Point> pts) {
  return [pts = std::move(pts)](float x, float y) {
    bool in = false;
    for (size_t i = 0, j = pts.size() - 1; i < pts.size(); j = i++) {
      const Point& a = pts[i];
      const Point& b = pts[j];
      if ((a.y > y) != (b.y > y)) {
        float xi = a.x + (y - a.y) * (b.x - a.x) / (b.y - a.y);
        if (x < xi) in = !in;
      }
    }
    return in;
  };
}

static float SegmentDist2(float x, float y, Point a, Point b) {
  float vx = b.x - a.x, vy = b.y - a.y;
  float wx = x - a.x, wy = y - a.y;
  float len2 = vx * vx + vy * vy;
  float t = len2 > 0 ? std::clamp((wx * vx + wy * vy) / len2, 0.0f, 1.0f) : 0.0f;
  float dx = wx - t * vx, dy = wy - t * vy;
  return dx * dx + dy * dy;
}

Shape Stroke(std::vector<Point> pts, float width) {
  float r2 = width * width / 4;
  float minX = std::numeric_limits<float>::max(), minY = minX, maxX = -minX, maxY = -minX;
  for (const Point& p : pts) {
    minX = std::min(minX, p.x), maxX = std::max(maxX, p.x);
    minY = std::min(minY, p.y), maxY = std::max(maxY, p.y);
  }
  float pad = width / 2;
  return [=, pts = std::move(pts)](float x, float y) {
    if (x < minX - pad || x > maxX + pad || y < minY - pad || y > maxY + pad) return false;
    if (pts.size() == 1) return SegmentDist2(x, y, pts[0], pts[0]) <= r2;
    for (size_t i = 0; i + 1 < pts.size(); ++i)
      if (SegmentDist2(x, y, pts[i], pts[i + 1]) <= r2) return true;
    return false;
  };
}

Shape Union(std::vector<Shape> parts) {
  return [parts = std::move(parts)](float x, float y) {
    for (const Shape& s : parts)
      if (s(x, y)) return true;
    return false;
  };
}

Shape Bounded(Shape s, float x0, float y0, float x1, float y1) {
  return [=](float x, float y) { return x >= x0 && x <= x1 && y >= y0 && y <= y1 && s(x, y); };
}

Shape Intersect(Shape a, Shape b) {
  return [=](float x, float y) { return a(x, y) && b(x, y); };
}

Shape Subtract(Shape a, Shape b) {
  return [=](float x, float y) { return a(x, y) && !b(x, y); };
}

Shape Rotate(Shape s, float cx, float cy, float angle) {
  float c = dm::Cosf(angle), sn = dm::Sinf(angle);
  return [=](float x, float y) {
    float dx = x - cx, dy = y - cy;
    // inverse rotation maps the query back into the shape's own frame
    return s(cx + dx * c + dy * sn, cy - dx * sn + dy * c);
  };
}

std::vector<Point> Arc(float cx, float cy, float rx, float ry, float a0, float a1, int steps) {
  std::vector<Point> out;
  for (int i = 0; i <= steps; ++i) {
    float a = a0 + (a1 - a0) * float(i) / float(steps);
    out.push_back({cx + rx * dm::Cosf(a), cy + ry * dm::Sinf(a)});
  }
  return out;
}

std::vector<Point> CatmullRom(const std::vector<Point>& p, int steps) {
  std::vector<Point> out;
  if (p.size() < 2) return p;
  for (size_t i = 0; i + 1 < p.size(); ++i) {
    Point p0 = i == 0 ? p[i] : p[i - 1];
    Point p1 = p[i], p2 = p[i + 1];
    Point p3 = i + 2 < p.size() ? p[i + 2] : p[i + 1];
    for (int s = 0; s < steps; ++s) {
      float t = float(s) / float(steps), t2 = t * t, t3 = t2 * t;
      auto f = [&](float a, float b, float c, float d) {
        return 0.5f * (2 * b + (-a + c) * t + (2 * a - 5 * b + 4 * c - d) * t2 + (-a + 3 * b - 3 * c + d) * t3);
      };
      out.push_back({f(p0.x, p1.x, p2.x, p3.x), f(p0.y, p1.y, p2.y, p3.y)});
    }
  }
  out.push_back(p.back());
  return out;
}

Canvas::Canvas(int w, int h, Rgb fill) : w_(w), h_(h), px_(static_cast<size_t>(w) * h, fill) {}

void Canvas::SetView(float scale, float offX, float offY) {
  scale_ = scale;
  offX_ = offX;
  offY_ = offY;
}

Coverage Canvas::Measure(const Shape& s, int n, Area area) const {
  Coverage cov{w_, h_, std::vector<float>(static_cast<size_t>(w_) * h_, 0.0f)};
  float inv = 1.0f / float(n * n);
  if (area.x1 <= area.x0 || area.y1 <= area.y0) area = {0, 0, w_, h_};
  area = {std::max(area.x0, 0), std::max(area.y0, 0), std::min(area.x1, w_), std::min(area.y1, h_)};
  for (int y = area.y0; y < area.y1; ++y)
    for (int x = area.x0; x < area.x1; ++x) {
      int hits = 0;
      for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i) {
          float px = float(x) + (float(i) + 0.5f) / float(n);
          float py = float(y) + (float(j) + 0.5f) / float(n);
          if (s((px - offX_) / scale_, (py - offY_) / scale_)) ++hits;
        }
      cov.a[static_cast<size_t>(y) * w_ + x] = float(hits) * inv;
    }
  return cov;
}

namespace {

// Squared distances to the nearest zero of f along one line (lower envelope
// of parabolas; Felzenszwalb and Huttenlocher).
void DistanceLine(const std::vector<double>& f, std::vector<double>& d, std::vector<int>& v, std::vector<double>& z) {
  const int n = int(f.size());
  int k = 0;
  v[0] = 0;
  z[0] = -1e30;
  z[1] = 1e30;
  auto cross = [&](int q, int p) {
    return ((f[size_t(q)] + double(q) * q) - (f[size_t(p)] + double(p) * p)) / (2.0 * (q - p));
  };
  for (int q = 1; q < n; ++q) {
    double s = cross(q, v[size_t(k)]);
    while (s <= z[size_t(k)]) s = cross(q, v[size_t(--k)]);
    ++k;
    v[size_t(k)] = q;
    z[size_t(k)] = s;
    z[size_t(k) + 1] = 1e30;
  }
  k = 0;
  for (int q = 0; q < n; ++q) {
    while (z[size_t(k) + 1] < q) ++k;
    int p = v[size_t(k)];
    d[size_t(q)] = double(q - p) * (q - p) + f[size_t(p)];
  }
}

}  // namespace

Coverage Canvas::MeasureGrown(const Shape& s, float radius, int n) const {
  const int sw = w_ * n, sh = h_ * n;
  const double inf = 1e20;
  std::vector<double> grid(size_t(sw) * size_t(sh));
  for (int y = 0; y < sh; ++y)
    for (int x = 0; x < sw; ++x) {
      float px = (float(x) + 0.5f) / float(n), py = (float(y) + 0.5f) / float(n);
      grid[size_t(y) * size_t(sw) + size_t(x)] = s((px - offX_) / scale_, (py - offY_) / scale_) ? 0.0 : inf;
    }
  const int longest = std::max(sw, sh);
  std::vector<double> f(static_cast<size_t>(longest)), d(static_cast<size_t>(longest)), z(static_cast<size_t>(longest) + 1);
  std::vector<int> v(static_cast<size_t>(longest));
  for (int y = 0; y < sh; ++y) {
    f.assign(grid.begin() + long(y) * sw, grid.begin() + long(y + 1) * sw);
    d.resize(size_t(sw));
    DistanceLine(f, d, v, z);
    std::copy(d.begin(), d.begin() + sw, grid.begin() + long(y) * sw);
  }
  f.resize(size_t(sh));
  d.resize(size_t(sh));
  for (int x = 0; x < sw; ++x) {
    for (int y = 0; y < sh; ++y) f[size_t(y)] = grid[size_t(y) * size_t(sw) + size_t(x)];
    DistanceLine(f, d, v, z);
    for (int y = 0; y < sh; ++y) grid[size_t(y) * size_t(sw) + size_t(x)] = d[size_t(y)];
  }
  // radius in sample steps
  const double r = double(radius) * double(scale_) * n;
  const double r2 = r * r;
  Coverage cov{w_, h_, std::vector<float>(size_t(w_) * size_t(h_), 0.0f)};
  const float inv = 1.0f / float(n * n);
  for (int y = 0; y < h_; ++y)
    for (int x = 0; x < w_; ++x) {
      int hits = 0;
      for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i) hits += grid[size_t(y * n + j) * size_t(sw) + size_t(x * n + i)] <= r2;
      cov.a[size_t(y) * size_t(w_) + size_t(x)] = float(hits) * inv;
    }
  return cov;
}

void Canvas::Paint(const Coverage& cov, Rgb c) {
  for (size_t i = 0; i < px_.size(); ++i)
    if (cov.a[i] > 0) px_[i] = Mix(px_[i], c, cov.a[i]);
}

void Canvas::Fill(const Shape& s, Rgb c, Area area) { Paint(Measure(s, 6, area), c); }

float ColourDistance(Rgb a, Rgb8 b) {
  // weighted by how strongly the eye separates each channel
  float rm = (a.r + float(b.r)) / 2;
  float dr = a.r - float(b.r), dg = a.g - float(b.g), db = a.b - float(b.b);
  return (2 + rm / 256) * dr * dr + 4 * dg * dg + (2 + (255 - rm) / 256) * db * db;
}

int Nearest(Rgb c, const std::vector<Rgb8>& palette, const std::vector<int>& allowed) {
  int best = allowed.front();
  float bestD = std::numeric_limits<float>::max();
  for (int i : allowed) {
    float d = ColourDistance(c, palette[static_cast<size_t>(i)]);
    if (d < bestD) bestD = d, best = i;
  }
  return best;
}

Indexed Quantise(const Canvas& c, const std::vector<Rgb8>& palette, const std::vector<int>& allowed) {
  Indexed out{c.width(), c.height(), std::vector<uint8_t>(static_cast<size_t>(c.width()) * c.height()), palette};
  for (int y = 0; y < c.height(); ++y)
    for (int x = 0; x < c.width(); ++x) out.at(x, y) = static_cast<uint8_t>(Nearest(c.at(x, y), palette, allowed));
  return out;
}

}  // namespace assetgen

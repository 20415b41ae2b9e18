// Elementary functions built from basic IEEE arithmetic only, so that the
// generator's output does not depend on which variant of the C library's
// sin, exp or pow the machine picks: the committed assets must come out
// byte for byte the same everywhere.
#pragma once

#include <cmath>

namespace assetgen::dm {

constexpr double kPi = 3.141592653589793;
constexpr double kHalfPi = 1.5707963267948966;
constexpr double kTwoPi = 6.283185307179586;

inline double Sin(double x) {
  double r = x - std::nearbyint(x / kTwoPi) * kTwoPi;  // [-pi, pi]
  if (r > kHalfPi) r = kPi - r;
  else if (r < -kHalfPi) r = -kPi - r;  // [-pi/2, pi/2]
  const double r2 = r * r;
  // Taylor series to r^19; the error is below 1e-14 on this range
  double p = -1.0 / 121645100408832000.0;
  p = p * r2 + 1.0 / 355687428096000.0;
  p = p * r2 - 1.0 / 1307674368000.0;
  p = p * r2 + 1.0 / 6227020800.0;
  p = p * r2 - 1.0 / 39916800.0;
  p = p * r2 + 1.0 / 362880.0;
  p = p * r2 - 1.0 / 5040.0;
  p = p * r2 + 1.0 / 120.0;
  p = p * r2 - 1.0 / 6.0;
  p = p * r2 + 1.0;
  return p * r;
}

inline double Cos(double x) { return Sin(x + kHalfPi); }

inline double Exp2(double x) {
  const double k = std::floor(x);
  const double y = (x - k) * 0.6931471805599453;  // [0, ln 2)
  double term = 1, sum = 1;
  for (int i = 1; i <= 18; ++i) {
    term = term * y / i;
    sum += term;
  }
  return std::ldexp(sum, int(k));
}

inline double Exp(double x) { return Exp2(x * 1.4426950408889634); }

inline double Tanh(double x) {
  if (x > 20) return 1;
  if (x < -20) return -1;
  const double e = Exp(2 * x);
  return (e - 1) / (e + 1);
}

inline float Sinf(float x) { return float(Sin(double(x))); }
inline float Cosf(float x) { return float(Cos(double(x))); }

}  // namespace assetgen::dm

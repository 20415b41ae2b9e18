// The matrix helpers the sprite composes its placement with.
#include <gtest/gtest.h>

#include <cmath>

#include "gfx/gfx_math.h"

namespace {

constexpr float kPi = 3.14159265358979f;

D3DXVECTOR3 Apply(const D3DXMATRIX& m, float x, float y) {
  D3DXVECTOR3 in{x, y, 0.0f}, out{};
  D3DXVec3TransformCoord(&out, &in, &m);
  return out;
}

D3DXQUATERNION TurnZ(float r) { return {0.0f, 0.0f, std::sin(-r / 2.0f), std::cos(-r / 2.0f)}; }

TEST(SpriteMatrix, MultiplyAppliesLeftFactorFirstAndMayAlias) {
  D3DXMATRIX scale, move, m;
  D3DXMatrixScaling(&scale, 2.0f, 3.0f, 1.0f);
  D3DXMatrixTranslation(&move, 10.0f, 20.0f, 0.0f);
  D3DXMatrixMultiply(&m, &scale, &move);
  D3DXVECTOR3 p = Apply(m, 1.0f, 1.0f);
  EXPECT_FLOAT_EQ(p.x, 12.0f);
  EXPECT_FLOAT_EQ(p.y, 23.0f);

  // Scaling after moving scales the translation too; out aliases the input.
  D3DXMatrixMultiply(&move, &move, &scale);
  p = Apply(move, 1.0f, 1.0f);
  EXPECT_FLOAT_EQ(p.x, 22.0f);
  EXPECT_FLOAT_EQ(p.y, 63.0f);
}

TEST(SpriteMatrix, TransformationWithOnlyTranslationMovesPoints) {
  const D3DXVECTOR3 s{1.0f, 1.0f, 1.0f}, t{40.0f, 88.0f, 0.0f};
  D3DXMATRIX m;
  D3DXMatrixTransformation(&m, nullptr, nullptr, &s, nullptr, nullptr, &t);
  const D3DXVECTOR3 p = Apply(m, 88.0f, 0.0f);
  EXPECT_FLOAT_EQ(p.x, 128.0f);
  EXPECT_FLOAT_EQ(p.y, 88.0f);
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 4; ++c) EXPECT_FLOAT_EQ(m.m[r][c], (r == c) ? 1.0f : 0.0f) << r << "," << c;
}

TEST(SpriteMatrix, RotationTurnsAboutTheCentreAfterScaling) {
  // p' = ((p scaled) - c) turned + c + t, with the turn taking (x, y) to
  // (x cos r + y sin r, -x sin r + y cos r).
  const float r = kPi / 2.0f;
  const D3DXVECTOR3 s{2.0f, 1.0f, 1.0f}, c{10.0f, 10.0f, 0.0f}, t{100.0f, 0.0f, 0.0f};
  const D3DXQUATERNION q = TurnZ(r);
  D3DXMATRIX m;
  D3DXMatrixTransformation(&m, nullptr, nullptr, &s, &c, &q, &t);
  // (6, 4) scaled -> (12, 4); minus centre -> (2, -6); turned -> (-6, -2);
  // plus centre and translation -> (104, 8).
  const D3DXVECTOR3 p = Apply(m, 6.0f, 4.0f);
  EXPECT_NEAR(p.x, 104.0f, 1e-4f);
  EXPECT_NEAR(p.y, 8.0f, 1e-4f);
  // The centre itself (after scaling) stays where it is, up to translation.
  const D3DXVECTOR3 centre = Apply(m, 5.0f, 10.0f);
  EXPECT_NEAR(centre.x, 110.0f, 1e-4f);
  EXPECT_NEAR(centre.y, 10.0f, 1e-4f);
}

TEST(SpriteMatrix, RotationWithoutCentreTurnsAboutTheOrigin) {
  const D3DXQUATERNION q = TurnZ(kPi);
  D3DXMATRIX m;
  D3DXMatrixTransformation(&m, nullptr, nullptr, nullptr, nullptr, &q, nullptr);
  const D3DXVECTOR3 p = Apply(m, 3.0f, 5.0f);
  EXPECT_NEAR(p.x, -3.0f, 1e-5f);
  EXPECT_NEAR(p.y, -5.0f, 1e-5f);
}

TEST(SpriteMatrix, ScalingCentreAndRotationAreHonoured) {
  // Scale x by 2 about x = 10: 12 -> 14.
  const D3DXVECTOR3 sc{10.0f, 0.0f, 0.0f}, s{2.0f, 1.0f, 1.0f};
  D3DXMATRIX m;
  D3DXMatrixTransformation(&m, &sc, nullptr, &s, nullptr, nullptr, nullptr);
  EXPECT_NEAR(Apply(m, 12.0f, 3.0f).x, 14.0f, 1e-5f);
  EXPECT_NEAR(Apply(m, 12.0f, 3.0f).y, 3.0f, 1e-5f);

  // The same scale in a frame turned a quarter turn stretches y instead.
  const D3DXQUATERNION quarter = TurnZ(kPi / 2.0f);
  D3DXMatrixTransformation(&m, nullptr, &quarter, &s, nullptr, nullptr, nullptr);
  const D3DXVECTOR3 p = Apply(m, 1.0f, 1.0f);
  EXPECT_NEAR(p.x, 1.0f, 1e-5f);
  EXPECT_NEAR(p.y, 2.0f, 1e-5f);
}

TEST(SpriteMatrix, Transformation2DMatchesTheGeneralForm) {
  const D3DXVECTOR2 s2{1.5f, 0.5f}, c2{4.0f, 2.0f}, t2{-7.0f, 9.0f};
  D3DXMATRIX a;
  D3DXMatrixTransformation2D(&a, nullptr, 0.0f, &s2, &c2, 0.7f, &t2);
  const D3DXVECTOR3 s{1.5f, 0.5f, 1.0f}, c{4.0f, 2.0f, 0.0f}, t{-7.0f, 9.0f, 0.0f};
  D3DXQUATERNION q;
  const D3DXVECTOR3 axis{0.0f, 0.0f, 1.0f};
  D3DXQuaternionRotationAxis(&q, &axis, 0.7f);
  D3DXMATRIX b;
  D3DXMatrixTransformation(&b, nullptr, nullptr, &s, &c, &q, &t);
  for (int r = 0; r < 4; ++r)
    for (int k = 0; k < 4; ++k) EXPECT_NEAR(a.m[r][k], b.m[r][k], 1e-5f);
}

TEST(SpriteMatrix, TransformCoordDividesByW) {
  D3DXMATRIX m;
  D3DXMatrixIdentity(&m);
  m._44 = 2.0f;
  m._41 = 4.0f;
  D3DXVECTOR3 p = Apply(m, 2.0f, 6.0f);
  EXPECT_FLOAT_EQ(p.x, 3.0f);
  EXPECT_FLOAT_EQ(p.y, 3.0f);

  // A w of 0 is a point at infinity: signed infinities, and NaN where the
  // numerator is 0 as well.
  m._44 = 0.0f;
  m._41 = 0.0f;
  m._43 = 0.0f;
  p = Apply(m, 2.0f, -6.0f);
  EXPECT_TRUE(std::isinf(p.x) && p.x > 0.0f);
  EXPECT_TRUE(std::isinf(p.y) && p.y < 0.0f);
  EXPECT_TRUE(std::isnan(p.z));
}

TEST(SpriteMatrix, NullArgumentsAreHarmless) {
  EXPECT_EQ(D3DXMatrixIdentity(nullptr), nullptr);
  D3DXMATRIX m;
  EXPECT_EQ(D3DXMatrixMultiply(&m, nullptr, &m), &m);
  EXPECT_EQ(D3DXVec3TransformCoord(nullptr, nullptr, nullptr), nullptr);
}

}  // namespace

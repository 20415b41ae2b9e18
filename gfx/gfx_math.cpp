// gfx_math.cpp — matrix, quaternion and vector operations of the library.
// Row-vector convention throughout: a point p is transformed as p · M, so
// the translation lives in the fourth row.
#include "gfx/gfx_math.h"

#include <cmath>

namespace {

void SetTranslationRow(D3DXMATRIX* m, FLOAT x, FLOAT y, FLOAT z) {
  m->_41 = x;
  m->_42 = y;
  m->_43 = z;
}

}  // namespace

D3DXMATRIX* D3DXMatrixIdentity(D3DXMATRIX* out) {
  if (!out) return out;
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) out->m[r][c] = (r == c) ? 1.0f : 0.0f;
  return out;
}

D3DXMATRIX* D3DXMatrixMultiply(D3DXMATRIX* out, const D3DXMATRIX* a, const D3DXMATRIX* b) {
  if (!out || !a || !b) return out;
  D3DXMATRIX t;
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c)
      t.m[r][c] = a->m[r][0] * b->m[0][c] + a->m[r][1] * b->m[1][c] + a->m[r][2] * b->m[2][c] + a->m[r][3] * b->m[3][c];
  *out = t;  // through a temporary, so out may alias a or b
  return out;
}

D3DXMATRIX* D3DXMatrixScaling(D3DXMATRIX* out, FLOAT sx, FLOAT sy, FLOAT sz) {
  if (!D3DXMatrixIdentity(out)) return out;
  out->_11 = sx;
  out->_22 = sy;
  out->_33 = sz;
  return out;
}

D3DXMATRIX* D3DXMatrixTranslation(D3DXMATRIX* out, FLOAT x, FLOAT y, FLOAT z) {
  if (!D3DXMatrixIdentity(out)) return out;
  SetTranslationRow(out, x, y, z);
  return out;
}

D3DXMATRIX* D3DXMatrixRotationZ(D3DXMATRIX* out, FLOAT angle) {
  if (!D3DXMatrixIdentity(out)) return out;
  const FLOAT c = std::cos(angle), s = std::sin(angle);
  out->_11 = c;
  out->_12 = s;
  out->_21 = -s;
  out->_22 = c;
  return out;
}

D3DXMATRIX* D3DXMatrixRotationQuaternion(D3DXMATRIX* out, const D3DXQUATERNION* q) {
  if (!D3DXMatrixIdentity(out) || !q) return out;
  const FLOAT x = q->x, y = q->y, z = q->z, w = q->w;
  out->_11 = 1.0f - 2.0f * (y * y + z * z);
  out->_12 = 2.0f * (x * y + z * w);
  out->_13 = 2.0f * (x * z - y * w);
  out->_21 = 2.0f * (x * y - z * w);
  out->_22 = 1.0f - 2.0f * (x * x + z * z);
  out->_23 = 2.0f * (y * z + x * w);
  out->_31 = 2.0f * (x * z + y * w);
  out->_32 = 2.0f * (y * z - x * w);
  out->_33 = 1.0f - 2.0f * (x * x + y * y);
  return out;
}

D3DXQUATERNION* D3DXQuaternionRotationAxis(D3DXQUATERNION* out, const D3DXVECTOR3* axis, FLOAT angle) {
  if (!out || !axis) return out;
  FLOAT len = std::sqrt(axis->x * axis->x + axis->y * axis->y + axis->z * axis->z);
  if (len == 0.0f) len = 1.0f;
  const FLOAT s = std::sin(angle / 2.0f) / len;
  out->x = axis->x * s;
  out->y = axis->y * s;
  out->z = axis->z * s;
  out->w = std::cos(angle / 2.0f);
  return out;
}

D3DXMATRIX* D3DXMatrixTransformation(D3DXMATRIX* out, const D3DXVECTOR3* scalingCenter,
                                     const D3DXQUATERNION* scalingRotation, const D3DXVECTOR3* scaling,
                                     const D3DXVECTOR3* rotationCenter, const D3DXQUATERNION* rotation,
                                     const D3DXVECTOR3* translation) {
  if (!out) return out;
  D3DXMATRIX m, t;
  D3DXMatrixIdentity(&m);

  if (scaling) {
    const D3DXVECTOR3 sc = scalingCenter ? *scalingCenter : D3DXVECTOR3{0, 0, 0};
    D3DXMatrixTranslation(&t, -sc.x, -sc.y, -sc.z);
    D3DXMatrixMultiply(&m, &m, &t);
    if (scalingRotation) {
      // The inverse of a unit rotation is the rotation by the conjugate.
      const D3DXQUATERNION inv{-scalingRotation->x, -scalingRotation->y, -scalingRotation->z, scalingRotation->w};
      D3DXMatrixRotationQuaternion(&t, &inv);
      D3DXMatrixMultiply(&m, &m, &t);
    }
    D3DXMatrixScaling(&t, scaling->x, scaling->y, scaling->z);
    D3DXMatrixMultiply(&m, &m, &t);
    if (scalingRotation) {
      D3DXMatrixRotationQuaternion(&t, scalingRotation);
      D3DXMatrixMultiply(&m, &m, &t);
    }
    D3DXMatrixTranslation(&t, sc.x, sc.y, sc.z);
    D3DXMatrixMultiply(&m, &m, &t);
  }

  if (rotation) {
    const D3DXVECTOR3 rc = rotationCenter ? *rotationCenter : D3DXVECTOR3{0, 0, 0};
    D3DXMatrixTranslation(&t, -rc.x, -rc.y, -rc.z);
    D3DXMatrixMultiply(&m, &m, &t);
    D3DXMatrixRotationQuaternion(&t, rotation);
    D3DXMatrixMultiply(&m, &m, &t);
    D3DXMatrixTranslation(&t, rc.x, rc.y, rc.z);
    D3DXMatrixMultiply(&m, &m, &t);
  }

  if (translation) {
    m._41 += translation->x;
    m._42 += translation->y;
    m._43 += translation->z;
  }
  *out = m;
  return out;
}

D3DXMATRIX* D3DXMatrixTransformation2D(D3DXMATRIX* out, const D3DXVECTOR2* scalingCenter, FLOAT scalingRotation,
                                       const D3DXVECTOR2* scaling, const D3DXVECTOR2* rotationCenter, FLOAT rotation,
                                       const D3DXVECTOR2* translation) {
  const D3DXVECTOR3 axis{0.0f, 0.0f, 1.0f};
  D3DXVECTOR3 sc{}, s{}, rc{}, t{};
  D3DXQUATERNION sr{}, r{};
  if (scalingCenter) sc = {scalingCenter->x, scalingCenter->y, 0.0f};
  if (scaling) s = {scaling->x, scaling->y, 1.0f};
  if (rotationCenter) rc = {rotationCenter->x, rotationCenter->y, 0.0f};
  if (translation) t = {translation->x, translation->y, 0.0f};
  D3DXQuaternionRotationAxis(&sr, &axis, scalingRotation);
  D3DXQuaternionRotationAxis(&r, &axis, rotation);
  return D3DXMatrixTransformation(out, scalingCenter ? &sc : nullptr, &sr, scaling ? &s : nullptr,
                                  rotationCenter ? &rc : nullptr, &r, translation ? &t : nullptr);
}

D3DXVECTOR3* D3DXVec3TransformCoord(D3DXVECTOR3* out, const D3DXVECTOR3* v, const D3DXMATRIX* m) {
  if (!out || !v || !m) return out;
  const FLOAT x = v->x * m->_11 + v->y * m->_21 + v->z * m->_31 + m->_41;
  const FLOAT y = v->x * m->_12 + v->y * m->_22 + v->z * m->_32 + m->_42;
  const FLOAT z = v->x * m->_13 + v->y * m->_23 + v->z * m->_33 + m->_43;
  const FLOAT w = v->x * m->_14 + v->y * m->_24 + v->z * m->_34 + m->_44;
  // A w of 0 is a point at infinity and comes out as one (IEEE: +-inf, or
  // NaN for 0/0): a vertex there is not drawn, where a finite stand-in would
  // be drawn at a place the matrix never named.
  out->x = x / w;
  out->y = y / w;
  out->z = z / w;
  return out;
}

// gfx_math.h — the vector, matrix and quaternion records of the image and
// sprite library, and the few operations the sprite needs.
//
// Provides: D3DXVECTOR2, D3DXVECTOR3, D3DXVECTOR4, D3DXQUATERNION, D3DXMATRIX
// (plain records, row vectors: a point is p · M), and D3DXMatrixIdentity,
// D3DXMatrixMultiply, D3DXMatrixScaling, D3DXMatrixTranslation,
// D3DXMatrixRotationZ, D3DXMatrixRotationQuaternion, D3DXQuaternionRotationAxis,
// D3DXMatrixTransformation, D3DXMatrixTransformation2D, D3DXVec3TransformCoord.
// Each returns its output pointer, as the platform's math helpers do.
// Depends on: windows.h (FLOAT). Nothing here touches a device.
#pragma once

#include <windows.h>

struct D3DXVECTOR2 {
  FLOAT x;
  FLOAT y;
};

struct D3DXVECTOR3 {
  FLOAT x;
  FLOAT y;
  FLOAT z;
};

struct D3DXVECTOR4 {
  FLOAT x;
  FLOAT y;
  FLOAT z;
  FLOAT w;
};

struct D3DXQUATERNION {
  FLOAT x;
  FLOAT y;
  FLOAT z;
  FLOAT w;
};

// Same layout as D3DMATRIX: sixteen floats, row by row.
struct D3DXMATRIX {
  union {
    struct {
      FLOAT _11, _12, _13, _14;
      FLOAT _21, _22, _23, _24;
      FLOAT _31, _32, _33, _34;
      FLOAT _41, _42, _43, _44;
    };
    FLOAT m[4][4];
  };
};

D3DXMATRIX* D3DXMatrixIdentity(D3DXMATRIX* out);
// out = a · b (a applied first to a row vector). out may alias a or b.
D3DXMATRIX* D3DXMatrixMultiply(D3DXMATRIX* out, const D3DXMATRIX* a, const D3DXMATRIX* b);
D3DXMATRIX* D3DXMatrixScaling(D3DXMATRIX* out, FLOAT sx, FLOAT sy, FLOAT sz);
D3DXMATRIX* D3DXMatrixTranslation(D3DXMATRIX* out, FLOAT x, FLOAT y, FLOAT z);
D3DXMATRIX* D3DXMatrixRotationZ(D3DXMATRIX* out, FLOAT angle);
D3DXMATRIX* D3DXMatrixRotationQuaternion(D3DXMATRIX* out, const D3DXQUATERNION* q);
D3DXQUATERNION* D3DXQuaternionRotationAxis(D3DXQUATERNION* out, const D3DXVECTOR3* axis, FLOAT angle);

// Scaling about a centre in a rotated frame, then rotation about a centre,
// then translation; every pointer but out may be null (identity part):
// out = Sc⁻¹ · SR⁻¹ · S · SR · Sc · Rc⁻¹ · R · Rc · T.
D3DXMATRIX* D3DXMatrixTransformation(D3DXMATRIX* out, const D3DXVECTOR3* scalingCenter,
                                     const D3DXQUATERNION* scalingRotation, const D3DXVECTOR3* scaling,
                                     const D3DXVECTOR3* rotationCenter, const D3DXQUATERNION* rotation,
                                     const D3DXVECTOR3* translation);
// The same in the x-y plane, with angles in radians.
D3DXMATRIX* D3DXMatrixTransformation2D(D3DXMATRIX* out, const D3DXVECTOR2* scalingCenter, FLOAT scalingRotation,
                                       const D3DXVECTOR2* scaling, const D3DXVECTOR2* rotationCenter, FLOAT rotation,
                                       const D3DXVECTOR2* translation);

// (v, 1) · M, divided by the resulting w (a w of 0 gives infinities).
D3DXVECTOR3* D3DXVec3TransformCoord(D3DXVECTOR3* out, const D3DXVECTOR3* v, const D3DXMATRIX* m);

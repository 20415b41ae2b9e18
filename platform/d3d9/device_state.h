// device_state.h — the settable state of the software device, its default
// values, and the tables that say which states exist.
//
// Depends on: d3d9.h.
#pragma once

#include <d3d9.h>

#include <cstdint>

namespace d3d9sw {

class Texture;

constexpr int kRenderStateCount = 210;  // D3DRS_* values stay below this
constexpr int kStageCount = 8;
constexpr int kStageStateCount = 33;    // D3DTSS_* values stay below this
constexpr int kSamplerCount = 16;
constexpr int kSamplerStateCount = 14;  // D3DSAMP_* values stay below this

// Transform slots: view, projection, texture 0-7, world 0-3.
constexpr int kTransformView = 0;
constexpr int kTransformProjection = 1;
constexpr int kTransformTexture0 = 2;
constexpr int kTransformWorld0 = 10;
constexpr int kTransformCount = 14;

// Slot of a transform, or -1 for one the device does not keep.
int TransformSlot(D3DTRANSFORMSTATETYPE type);
D3DTRANSFORMSTATETYPE TransformOfSlot(int slot);

bool IsRenderState(DWORD state);
bool IsStageState(DWORD type);
bool IsSamplerState(DWORD type);
// Render states that belong to the pixel or to the vertex part of the
// pipeline, as the D3DSBT_PIXELSTATE and D3DSBT_VERTEXSTATE blocks take them.
bool IsPixelRenderState(DWORD state);
bool IsVertexRenderState(DWORD state);

struct DeviceState {
  DWORD renderStates[kRenderStateCount] = {};
  DWORD stageStates[kStageCount][kStageStateCount] = {};
  DWORD samplerStates[kSamplerCount][kSamplerStateCount] = {};
  D3DMATRIX transforms[kTransformCount] = {};
  D3DVIEWPORT9 viewport = {};
  D3DMATERIAL9 material = {};
  RECT scissor = {};
  DWORD fvf = 0;
  IDirect3DVertexShader9* vertexShader = nullptr;
  float nPatchSegments = 0.f;
  Texture* textures[kStageCount] = {};  // bound textures hold a bind reference
  IDirect3DVertexBuffer9* streamSource = nullptr;
  UINT streamOffset = 0;
  UINT streamStride = 0;
};

// Fills the values a new device starts with (textures stay null).
void SetDefaultState(DeviceState* state, const D3DVIEWPORT9& viewport);

D3DMATRIX IdentityMatrix();

}  // namespace d3d9sw

// rasterizer.h — the software device's pixel pipeline: triangle setup with
// Direct3D 9's rules (pixel centres on integer coordinates, top-left fill
// convention), texture stage 0, sampling, alpha test, blending and the
// colour write mask, plus an exact fast road for axis-aligned quads whose
// texels land one to one on pixels.
//
// Everything here works on plain values taken from the device state at draw
// time; nothing here knows the device objects.
// Depends on: d3d9.h, pixel_formats.h.
#pragma once

#include <d3d9.h>

#include <cstdint>
#include <vector>

namespace d3d9sw {

// A 32-bit render target, top row first.
struct RenderTarget {
  uint32_t* pixels = nullptr;
  int width = 0;
  int height = 0;
  int pitchPixels = 0;
  // False for X8R8G8B8, whose top byte is kept at 0xFF in every pixel
  // (clears and draws write it so, and an unlocked target is put right),
  // so that a pixel left as it was needs no write.
  bool hasAlpha = false;
};

// Where an A8R8G8B8 level's texels are opaque, clear or partly transparent,
// as runs of texels per row, so that source-alpha blending can copy opaque
// runs and pass over clear ones without looking at each texel again. Valid
// only while the level's texels stay as they were.
struct AlphaRuns {
  static constexpr uint32_t kClear = 0, kOpaque = 1, kMixed = 2;
  int width = 0, height = 0;
  std::vector<uint32_t> rowFirst;  // height + 1 indices into `runs`
  std::vector<uint32_t> runs;      // per row in order: end texel << 2 | class
};

// The top level of a texture as the sampler sees it.
struct TextureView {
  const uint8_t* bits = nullptr;
  int width = 0;
  int height = 0;
  uint32_t pitch = 0;
  uint32_t bytesPerTexel = 4;
  D3DFORMAT format = D3DFMT_UNKNOWN;
  const AlphaRuns* runs = nullptr;  // when known, for an A8R8G8B8 level
};

// A vertex after transformation: screen position, reciprocal w, colour and
// one texture coordinate pair.
struct ScreenVertex {
  float x = 0, y = 0, z = 0, rhw = 1;
  uint32_t diffuse = 0xFFFFFFFFu;
  float u = 0, v = 0;
};

// The states one draw uses, read from the device once per draw.
struct Pipeline {
  bool textured = false;
  TextureView texture;
  DWORD magFilter = D3DTEXF_POINT, minFilter = D3DTEXF_POINT;
  DWORD addressU = D3DTADDRESS_WRAP, addressV = D3DTADDRESS_WRAP;
  uint32_t borderColor = 0;

  DWORD colorOp = D3DTOP_MODULATE, colorArg1 = D3DTA_TEXTURE, colorArg2 = D3DTA_CURRENT;
  DWORD alphaOp = D3DTOP_SELECTARG1, alphaArg1 = D3DTA_TEXTURE, alphaArg2 = D3DTA_CURRENT;
  uint32_t textureFactor = 0xFFFFFFFFu;
  uint32_t stageConstant = 0;

  bool alphaTest = false;
  DWORD alphaFunc = D3DCMP_ALWAYS;
  uint32_t alphaRef = 0;

  bool blend = false;
  DWORD srcBlend = D3DBLEND_ONE, destBlend = D3DBLEND_ZERO, blendOp = D3DBLENDOP_ADD;
  bool separateAlpha = false;
  DWORD srcBlendAlpha = D3DBLEND_ONE, destBlendAlpha = D3DBLEND_ZERO, blendOpAlpha = D3DBLENDOP_ADD;
  uint32_t blendFactor = 0xFFFFFFFFu;

  uint32_t writeMask = 0xFFFFFFFFu;  // byte mask from D3DRS_COLORWRITEENABLE
  bool flatShade = false;
  DWORD cullMode = D3DCULL_CCW;

  // Pixels that may be written: viewport, scissor and target, half-open.
  int clipLeft = 0, clipTop = 0, clipRight = 0, clipBottom = 0;
};

// Whether the stage operations and blend factors are ones this pipeline
// computes; a draw with any other is refused.
bool PipelineSupported(const Pipeline& p);

// Draws one triangle.
void DrawTriangle(const RenderTarget& target, const Pipeline& p, const ScreenVertex& a, const ScreenVertex& b,
                  const ScreenVertex& c);

// Draws the quad v0..v3 (a two-triangle fan) by the fast road when it is an
// axis-aligned rectangle with one colour whose texels map one to one onto
// pixels; the pixels are exactly those the two triangles would give.
// Returns false, having drawn nothing, when the quad does not qualify.
bool DrawAlignedQuad(const RenderTarget& target, const Pipeline& p, const ScreenVertex v[4]);

// Classifies the texels of an A8R8G8B8 level; false when out of memory.
bool BuildAlphaRuns(const TextureView& texture, AlphaRuns* out);

// Per-pixel steps, shared by both roads.
uint32_t CombineStage(const Pipeline& p, uint32_t texel, uint32_t diffuse);
bool AlphaTestPasses(const Pipeline& p, uint32_t color);
uint32_t BlendPixel(const Pipeline& p, uint32_t src, uint32_t dst);
uint32_t SampleTexture(const Pipeline& p, double u, double v, bool minify);

// Process-wide switch for tests that compare the two roads.
void SetFastPathEnabled(bool enabled);
bool FastPathEnabled();
// How many quads the fast road has drawn in this process.
uint64_t FastPathDraws();

}  // namespace d3d9sw

// draw.cpp — vertex processing for user-pointer draws: vertex decoding by
// FVF, the fixed-function transform (world x view x projection, viewport),
// the lighting that applies without lights, clipping, primitive assembly,
// and the hand-over to the rasterizer.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/d3d9/device.h"

namespace d3d9sw {
namespace {

// Where the fields of one vertex lie, from its FVF.
struct VertexLayout {
  bool pretransformed = false;
  UINT size = 0;
  int diffuse = -1;    // byte offset, or -1
  int texcoord = -1;   // offset of the set stage 0 reads, or -1
  int texcoordDims = 2;
};

bool ParseFVF(DWORD fvf, DWORD texIndex, VertexLayout* out) {
  VertexLayout l;
  switch (fvf & D3DFVF_POSITION_MASK) {
    case D3DFVF_XYZ: l.size = 12; break;
    case D3DFVF_XYZRHW:
      l.size = 16;
      l.pretransformed = true;
      break;
    case D3DFVF_XYZB1: l.size = 16; break;
    case D3DFVF_XYZB2: l.size = 20; break;
    case D3DFVF_XYZB3: l.size = 24; break;
    case D3DFVF_XYZB4: l.size = 28; break;
    case D3DFVF_XYZB5: l.size = 32; break;
    default: return false;  // no position, or XYZW (shader input only)
  }
  if (fvf & D3DFVF_NORMAL) l.size += 12;
  if (fvf & D3DFVF_PSIZE) l.size += 4;
  if (fvf & D3DFVF_DIFFUSE) {
    l.diffuse = static_cast<int>(l.size);
    l.size += 4;
  }
  if (fvf & D3DFVF_SPECULAR) l.size += 4;
  const DWORD sets = (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
  if (sets > 8) return false;
  for (DWORD i = 0; i < sets; ++i) {
    static const int kDims[4] = {2, 3, 4, 1};
    const int dims = kDims[(fvf >> (16 + 2 * i)) & 3];
    if (i == texIndex) {
      l.texcoord = static_cast<int>(l.size);
      l.texcoordDims = dims;
    }
    l.size += static_cast<UINT>(dims) * 4;
  }
  *out = l;
  return true;
}

inline float LoadFloat(const uint8_t* p) {
  float f;
  std::memcpy(&f, p, sizeof f);
  return f;
}

inline uint32_t LoadColor(const uint8_t* p) {
  uint32_t c;
  std::memcpy(&c, p, sizeof c);
  return c;
}

// A vertex in clip space (or, for pre-transformed vertices, screen space).
struct ClipVertex {
  double x, y, z, w;
  double c[4];  // diffuse channels b, g, r, a in 0..255
  double u, v;
};

ClipVertex Lerp(const ClipVertex& a, const ClipVertex& b, double t) {
  ClipVertex r;
  r.x = a.x + (b.x - a.x) * t;
  r.y = a.y + (b.y - a.y) * t;
  r.z = a.z + (b.z - a.z) * t;
  r.w = a.w + (b.w - a.w) * t;
  for (int k = 0; k < 4; ++k) r.c[k] = a.c[k] + (b.c[k] - a.c[k]) * t;
  r.u = a.u + (b.u - a.u) * t;
  r.v = a.v + (b.v - a.v) * t;
  return r;
}

constexpr int kMaxPolygon = 16;

// Sutherland-Hodgman against one plane; `dist` >= 0 is inside.
template <typename Dist>
int ClipAgainst(const ClipVertex* in, int n, ClipVertex* out, Dist dist) {
  int m = 0;
  for (int i = 0; i < n; ++i) {
    const ClipVertex& a = in[i];
    const ClipVertex& b = in[(i + 1) % n];
    const double da = dist(a), db = dist(b);
    if (da >= 0) out[m++] = a;
    if ((da >= 0) != (db >= 0) && m < kMaxPolygon) out[m++] = Lerp(a, b, da / (da - db));
    if (m >= kMaxPolygon) break;
  }
  return m;
}

uint32_t PackColor(const double c[4]) {
  uint32_t out = 0;
  for (int k = 0; k < 4; ++k) {
    const double v = c[k] >= 0.0 ? std::min(c[k], 255.0) : 0.0;  // NaN reads as 0
    out |= static_cast<uint32_t>(v + 0.5) << (8 * k);
  }
  return out;
}

void UnpackColor(uint32_t color, double c[4]) {
  for (int k = 0; k < 4; ++k) c[k] = (color >> (8 * k)) & 0xFF;
}

constexpr double kGuard = 1048576.0;  // screen coordinates the rasterizer takes
constexpr double kClipGuard = 8.0;    // clip-space x and y kept within +-8 w

uint32_t ColorOf(const D3DCOLORVALUE& v) {
  auto ch = [](float f) { return static_cast<uint32_t>(std::clamp(f, 0.f, 1.f) * 255.f + 0.5f); };
  return (ch(v.a) << 24) | (ch(v.r) << 16) | (ch(v.g) << 8) | ch(v.b);
}

}  // namespace

Pipeline Device::BuildPipeline(bool* ok) {
  const DeviceState& s = state_;
  const DWORD* rs = s.renderStates;
  const DWORD* t0 = s.stageStates[0];
  const DWORD* s0 = s.samplerStates[0];
  Pipeline p;
  p.colorOp = t0[D3DTSS_COLOROP];
  p.colorArg1 = t0[D3DTSS_COLORARG1];
  p.colorArg2 = t0[D3DTSS_COLORARG2];
  p.alphaOp = t0[D3DTSS_ALPHAOP];
  p.alphaArg1 = t0[D3DTSS_ALPHAARG1];
  p.alphaArg2 = t0[D3DTSS_ALPHAARG2];
  p.stageConstant = t0[D3DTSS_CONSTANT];
  p.textureFactor = rs[D3DRS_TEXTUREFACTOR];
  Texture* tex = s.textures[0];
  if (tex != nullptr && p.colorOp != D3DTOP_DISABLE) {
    Surface* top = tex->Level(0);
    p.textured = true;
    p.texture.bits = top->Bits();
    p.texture.width = static_cast<int>(top->Width());
    p.texture.height = static_cast<int>(top->Height());
    p.texture.pitch = top->Pitch();
    p.texture.bytesPerTexel = top->Info().bytesPerBlock;
    p.texture.format = top->Format();
  }
  p.magFilter = s0[D3DSAMP_MAGFILTER];
  p.minFilter = s0[D3DSAMP_MINFILTER];
  p.addressU = s0[D3DSAMP_ADDRESSU];
  p.addressV = s0[D3DSAMP_ADDRESSV];
  p.borderColor = s0[D3DSAMP_BORDERCOLOR];
  p.alphaTest = rs[D3DRS_ALPHATESTENABLE] != FALSE;
  p.alphaFunc = rs[D3DRS_ALPHAFUNC];
  p.alphaRef = rs[D3DRS_ALPHAREF] & 0xFFu;
  p.blend = rs[D3DRS_ALPHABLENDENABLE] != FALSE;
  p.srcBlend = rs[D3DRS_SRCBLEND];
  p.destBlend = rs[D3DRS_DESTBLEND];
  p.blendOp = rs[D3DRS_BLENDOP];
  p.separateAlpha = rs[D3DRS_SEPARATEALPHABLENDENABLE] != FALSE;
  p.srcBlendAlpha = rs[D3DRS_SRCBLENDALPHA];
  p.destBlendAlpha = rs[D3DRS_DESTBLENDALPHA];
  p.blendOpAlpha = rs[D3DRS_BLENDOPALPHA];
  p.blendFactor = rs[D3DRS_BLENDFACTOR];
  const DWORD cw = rs[D3DRS_COLORWRITEENABLE];
  p.writeMask = ((cw & D3DCOLORWRITEENABLE_RED) ? 0x00FF0000u : 0) | ((cw & D3DCOLORWRITEENABLE_GREEN) ? 0x0000FF00u : 0) |
                ((cw & D3DCOLORWRITEENABLE_BLUE) ? 0x000000FFu : 0) | ((cw & D3DCOLORWRITEENABLE_ALPHA) ? 0xFF000000u : 0);
  p.flatShade = rs[D3DRS_SHADEMODE] == D3DSHADE_FLAT;
  p.cullMode = rs[D3DRS_CULLMODE];

  const Surface* target = renderTarget_;
  long left = static_cast<long>(s.viewport.X), top = static_cast<long>(s.viewport.Y);
  long right = left + static_cast<long>(s.viewport.Width), bottom = top + static_cast<long>(s.viewport.Height);
  if (rs[D3DRS_SCISSORTESTENABLE]) {
    left = std::max<long>(left, s.scissor.left);
    top = std::max<long>(top, s.scissor.top);
    right = std::min<long>(right, s.scissor.right);
    bottom = std::min<long>(bottom, s.scissor.bottom);
  }
  p.clipLeft = static_cast<int>(std::max<long>(left, 0));
  p.clipTop = static_cast<int>(std::max<long>(top, 0));
  p.clipRight = static_cast<int>(std::min<long>(right, static_cast<long>(target->Width())));
  p.clipBottom = static_cast<int>(std::min<long>(bottom, static_cast<long>(target->Height())));

  // One texture stage: a second stage that does anything cannot be drawn.
  *ok = PipelineSupported(p) && rs[D3DRS_FILLMODE] == D3DFILL_SOLID &&
        s.stageStates[1][D3DTSS_COLOROP] == D3DTOP_DISABLE;
  return p;
}

HRESULT Device::DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT count, const void* data, UINT stride) {
  return DrawIndexedPrimitiveUP(type, 0, 0, count, nullptr, D3DFMT_UNKNOWN, data, stride);
}

HRESULT Device::DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, UINT minIndex, UINT vertexCount, UINT count,
                                       const void* indices, D3DFORMAT indexFormat, const void* data, UINT stride) {
  if (!inScene_ || data == nullptr || stride == 0 || count == 0 || count > profile_.caps.MaxPrimitiveCount)
    return D3DERR_INVALIDCALL;
  if (type != D3DPT_TRIANGLELIST && type != D3DPT_TRIANGLESTRIP && type != D3DPT_TRIANGLEFAN)
    return D3DERR_INVALIDCALL;  // the device rasterizes triangles only (no point or line caps)
  if (state_.vertexShader != nullptr) return D3DERR_INVALIDCALL;
  const bool indexed = indices != nullptr;
  if (indexed && indexFormat != D3DFMT_INDEX16 && indexFormat != D3DFMT_INDEX32) return D3DERR_INVALIDCALL;

  const DWORD texIndex = state_.stageStates[0][D3DTSS_TEXCOORDINDEX] & 0xFFFFu;
  VertexLayout layout;
  if (!ParseFVF(state_.fvf, texIndex, &layout) || stride < layout.size) return D3DERR_INVALIDCALL;
  bool supported = false;
  const Pipeline pipe = BuildPipeline(&supported);
  if (!supported) return D3DERR_INVALIDCALL;

  const UINT elements = type == D3DPT_TRIANGLELIST ? count * 3 : count + 2;
  // With indices, the vertices read are those the index range names.
  const UINT vertices = indexed ? minIndex + vertexCount : elements;
  if (indexed && (vertexCount == 0 || vertices < minIndex)) return D3DERR_INVALIDCALL;
  const uint8_t* bytes = static_cast<const uint8_t*>(data);

  // --- vertex processing ---------------------------------------------------
  try {
    screen_.resize(vertices);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  std::vector<ClipVertex> clip;
  std::vector<uint8_t> outside;  // per vertex: needs clipping
  const bool transform = !layout.pretransformed;
  D3DMATRIX m{};
  const D3DVIEWPORT9& vp = state_.viewport;
  const bool clipping = state_.renderStates[D3DRS_CLIPPING] != FALSE;
  bool lighting = transform && state_.renderStates[D3DRS_LIGHTING] != FALSE;
  uint32_t litColor = 0;
  bool litFromVertex = false;
  if (transform) {
    const D3DMATRIX& world = state_.transforms[kTransformWorld0];
    // Row vectors: p * world * view * projection.
    D3DMATRIX wv{}, wvp{};
    for (int i = 0; i < 4; ++i)
      for (int j = 0; j < 4; ++j) {
        double acc = 0;
        for (int k = 0; k < 4; ++k) acc += static_cast<double>(world.m[i][k]) * state_.transforms[kTransformView].m[k][j];
        wv.m[i][j] = static_cast<float>(acc);
      }
    for (int i = 0; i < 4; ++i)
      for (int j = 0; j < 4; ++j) {
        double acc = 0;
        for (int k = 0; k < 4; ++k) acc += static_cast<double>(wv.m[i][k]) * state_.transforms[kTransformProjection].m[k][j];
        wvp.m[i][j] = static_cast<float>(acc);
      }
    m = wvp;
    try {
      clip.resize(vertices);
      outside.resize(vertices);
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    }
    if (lighting) {
      // Without lights, a lit vertex is the global ambient times the ambient
      // material plus the emissive material; its alpha is the diffuse
      // material's.
      const DWORD* rs = state_.renderStates;
      const bool colorVertex = rs[D3DRS_COLORVERTEX] != FALSE;
      auto source = [&](DWORD which, const D3DCOLORVALUE& material, bool* fromVertex) {
        *fromVertex = colorVertex && which == D3DMCS_COLOR1 && layout.diffuse >= 0;
        return material;
      };
      bool ambientFromVertex, emissiveFromVertex;
      const D3DCOLORVALUE ambientMat = source(rs[D3DRS_AMBIENTMATERIALSOURCE], state_.material.Ambient, &ambientFromVertex);
      const D3DCOLORVALUE emissiveMat =
          source(rs[D3DRS_EMISSIVEMATERIALSOURCE], state_.material.Emissive, &emissiveFromVertex);
      const D3DCOLORVALUE diffuseMat = source(rs[D3DRS_DIFFUSEMATERIALSOURCE], state_.material.Diffuse, &litFromVertex);
      if (ambientFromVertex || emissiveFromVertex) {
        lighting = false;  // colours that follow the vertex: handed through unlit
      } else {
        const uint32_t ambient = rs[D3DRS_AMBIENT];
        D3DCOLORVALUE lit;
        lit.r = ((ambient >> 16) & 0xFF) / 255.f * ambientMat.r + emissiveMat.r;
        lit.g = ((ambient >> 8) & 0xFF) / 255.f * ambientMat.g + emissiveMat.g;
        lit.b = (ambient & 0xFF) / 255.f * ambientMat.b + emissiveMat.b;
        lit.a = diffuseMat.a;
        litColor = ColorOf(lit);
      }
    }
  }

  const D3DMATRIX& texM = state_.transforms[kTransformTexture0];
  const bool texTransform = state_.stageStates[0][D3DTSS_TEXTURETRANSFORMFLAGS] != D3DTTFF_DISABLE;
  bool anyOutside = false;
  for (UINT i = 0; i < vertices; ++i) {
    const uint8_t* v = bytes + static_cast<size_t>(i) * stride;
    ScreenVertex& sv = screen_[i];
    sv.diffuse = layout.diffuse >= 0 ? LoadColor(v + layout.diffuse) : 0xFFFFFFFFu;
    if (lighting) {
      sv.diffuse = litFromVertex ? ((sv.diffuse & 0xFF000000u) | (litColor & 0x00FFFFFFu)) : litColor;
    }
    sv.u = sv.v = 0.f;
    if (layout.texcoord >= 0) {
      sv.u = LoadFloat(v + layout.texcoord);
      sv.v = layout.texcoordDims >= 2 ? LoadFloat(v + layout.texcoord + 4) : 0.f;
      if (texTransform) {
        const float u = sv.u, w = sv.v;
        sv.u = u * texM._11 + w * texM._21 + texM._31;
        sv.v = u * texM._12 + w * texM._22 + texM._32;
      }
    }
    const float x = LoadFloat(v), y = LoadFloat(v + 4), z = LoadFloat(v + 8);
    if (!transform) {
      sv.x = x;
      sv.y = y;
      sv.z = z;
      sv.rhw = LoadFloat(v + 12);
      if (!(std::fabs(sv.x) <= kGuard && std::fabs(sv.y) <= kGuard)) anyOutside = true;
      continue;
    }
    ClipVertex& c = clip[i];
    c.x = x * m._11 + y * m._21 + z * m._31 + m._41;
    c.y = x * m._12 + y * m._22 + z * m._32 + m._42;
    c.z = x * m._13 + y * m._23 + z * m._33 + m._43;
    c.w = x * m._14 + y * m._24 + z * m._34 + m._44;
    UnpackColor(sv.diffuse, c.c);
    c.u = sv.u;
    c.v = sv.v;
    const double gw = kClipGuard * c.w;
    const bool in = c.w > 1e-9 && c.x >= -gw && c.x <= gw && c.y >= -gw && c.y <= gw &&
                    (!clipping || (c.z >= 0 && c.z <= c.w));
    outside[i] = in ? 0 : 1;
    if (in) {
      const double inv = 1.0 / c.w;
      sv.x = static_cast<float>(vp.X + (1.0 + c.x * inv) * vp.Width * 0.5);
      sv.y = static_cast<float>(vp.Y + (1.0 - c.y * inv) * vp.Height * 0.5);
      sv.z = static_cast<float>(vp.MinZ + c.z * inv * (vp.MaxZ - vp.MinZ));
      sv.rhw = static_cast<float>(inv);
    } else {
      anyOutside = true;
    }
  }

  RenderTarget target;
  target.pixels = reinterpret_cast<uint32_t*>(renderTarget_->Bits());
  target.width = static_cast<int>(renderTarget_->Width());
  target.height = static_cast<int>(renderTarget_->Height());
  target.pitchPixels = static_cast<int>(renderTarget_->Pitch() / 4);
  target.hasAlpha = renderTarget_->Format() == D3DFMT_A8R8G8B8;

  // --- the aligned-quad road -----------------------------------------------
  if (!indexed && !anyOutside && count == 2 && (type == D3DPT_TRIANGLEFAN || type == D3DPT_TRIANGLESTRIP)) {
    ScreenVertex quad[4] = {screen_[0], screen_[1], screen_[2], screen_[3]};
    if (type == D3DPT_TRIANGLESTRIP) std::swap(quad[2], quad[3]);
    if (DrawAlignedQuad(target, pipe, quad)) {
      state_.streamSource = nullptr;
      state_.streamOffset = state_.streamStride = 0;
      return D3D_OK;
    }
  }

  // --- primitive assembly and clipping -------------------------------------
  auto index = [&](UINT k) -> UINT {
    if (!indexed) return k;
    if (indexFormat == D3DFMT_INDEX16) {
      uint16_t i16;
      std::memcpy(&i16, static_cast<const uint8_t*>(indices) + static_cast<size_t>(k) * 2, 2);
      return i16;
    }
    uint32_t i32;
    std::memcpy(&i32, static_cast<const uint8_t*>(indices) + static_cast<size_t>(k) * 4, 4);
    return i32;
  };
  auto drawClipped = [&](UINT a, UINT b, UINT c) {
    ClipVertex poly[kMaxPolygon], tmp[kMaxPolygon];
    int n = 3;
    if (transform) {
      poly[0] = clip[a];
      poly[1] = clip[b];
      poly[2] = clip[c];
      n = ClipAgainst(poly, n, tmp, [](const ClipVertex& q) { return q.w - 1e-9; });
      n = ClipAgainst(tmp, n, poly, [](const ClipVertex& q) { return q.x + kClipGuard * q.w; });
      n = ClipAgainst(poly, n, tmp, [](const ClipVertex& q) { return kClipGuard * q.w - q.x; });
      n = ClipAgainst(tmp, n, poly, [](const ClipVertex& q) { return q.y + kClipGuard * q.w; });
      n = ClipAgainst(poly, n, tmp, [](const ClipVertex& q) { return kClipGuard * q.w - q.y; });
      if (clipping) {
        n = ClipAgainst(tmp, n, poly, [](const ClipVertex& q) { return q.z; });
        n = ClipAgainst(poly, n, tmp, [](const ClipVertex& q) { return q.w - q.z; });
      }
      std::copy(tmp, tmp + n, poly);
    } else {
      const UINT ids[3] = {a, b, c};
      for (int k = 0; k < 3; ++k) {
        const ScreenVertex& s = screen_[ids[k]];
        poly[k] = ClipVertex{s.x, s.y, s.z, s.rhw, {}, s.u, s.v};
        UnpackColor(s.diffuse, poly[k].c);
      }
      n = ClipAgainst(poly, n, tmp, [](const ClipVertex& q) { return q.x + kGuard; });
      n = ClipAgainst(tmp, n, poly, [](const ClipVertex& q) { return kGuard - q.x; });
      n = ClipAgainst(poly, n, tmp, [](const ClipVertex& q) { return q.y + kGuard; });
      n = ClipAgainst(tmp, n, poly, [](const ClipVertex& q) { return kGuard - q.y; });
      std::copy(tmp, tmp + n, poly);
    }
    if (n < 3) return;
    ScreenVertex out[kMaxPolygon];
    for (int k = 0; k < n; ++k) {
      const ClipVertex& q = poly[k];
      ScreenVertex& s = out[k];
      if (transform) {
        const double inv = 1.0 / q.w;
        s.x = static_cast<float>(vp.X + (1.0 + q.x * inv) * vp.Width * 0.5);
        s.y = static_cast<float>(vp.Y + (1.0 - q.y * inv) * vp.Height * 0.5);
        s.z = static_cast<float>(vp.MinZ + q.z * inv * (vp.MaxZ - vp.MinZ));
        s.rhw = static_cast<float>(inv);
      } else {
        s.x = static_cast<float>(q.x);
        s.y = static_cast<float>(q.y);
        s.z = static_cast<float>(q.z);
        s.rhw = static_cast<float>(q.w);
      }
      s.diffuse = PackColor(q.c);
      s.u = static_cast<float>(q.u);
      s.v = static_cast<float>(q.v);
    }
    // Flat shading keeps the colour of the triangle's first vertex.
    if (pipe.flatShade) out[0].diffuse = screen_[a].diffuse;
    for (int k = 1; k + 1 < n; ++k) DrawTriangle(target, pipe, out[0], out[k], out[k + 1]);
  };
  auto draw = [&](UINT a, UINT b, UINT c) {
    if (a >= vertices || b >= vertices || c >= vertices) return;  // an index past the vertices given
    if (indexed && (a < minIndex || b < minIndex || c < minIndex)) return;
    if (transform ? (outside[a] | outside[b] | outside[c]) : anyOutside) {
      drawClipped(a, b, c);
    } else {
      DrawTriangle(target, pipe, screen_[a], screen_[b], screen_[c]);
    }
  };
  for (UINT p = 0; p < count; ++p) {
    switch (type) {
      case D3DPT_TRIANGLELIST: draw(index(3 * p), index(3 * p + 1), index(3 * p + 2)); break;
      case D3DPT_TRIANGLESTRIP:
        // Every other triangle is turned so that all keep one winding.
        if (p % 2 == 0) {
          draw(index(p), index(p + 1), index(p + 2));
        } else {
          draw(index(p + 1), index(p), index(p + 2));
        }
        break;
      default: draw(index(0), index(p + 1), index(p + 2)); break;
    }
  }
  // A user-pointer draw leaves stream 0 unset, as on the real platform.
  state_.streamSource = nullptr;
  state_.streamOffset = state_.streamStride = 0;
  return D3D_OK;
}

}  // namespace d3d9sw

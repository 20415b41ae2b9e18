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
    p.texture.bits = static_cast<const Surface*>(top)->Bits();
    p.texture.width = static_cast<int>(top->Width());
    p.texture.height = static_cast<int>(top->Height());
    p.texture.pitch = top->Pitch();
    p.texture.bytesPerTexel = top->Info().bytesPerBlock;
    p.texture.format = top->Format();
    // Only source-alpha blending reads the runs.
    const bool over = rs[D3DRS_ALPHABLENDENABLE] != FALSE && rs[D3DRS_SRCBLEND] == D3DBLEND_SRCALPHA &&
                      rs[D3DRS_DESTBLEND] == D3DBLEND_INVSRCALPHA && !rs[D3DRS_ALPHATESTENABLE];
    if (over && FastPathEnabled() && top != renderTarget_) p.texture.runs = top->RunsForDrawing();
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

namespace {

// How the vertices of one draw become screen vertices.
struct VertexSetup {
  VertexLayout layout;
  bool transform = false;      // untransformed vertices: matrices, clip space
  bool clipping = false;       // D3DRS_CLIPPING: clip against z as well
  bool lighting = false;       // the colour comes from the lighting below
  bool litFromVertex = false;  // lit colour keeps the vertex's alpha
  uint32_t litColor = 0;
  D3DMATRIX worldViewProjection{};
  bool texTransform = false;
  D3DMATRIX texture{};
  D3DVIEWPORT9 viewport{};
};

// Row vectors: p * a * b, each product rounded to float as the matrices are.
D3DMATRIX MultiplyRounded(const D3DMATRIX& a, const D3DMATRIX& b) {
  D3DMATRIX r{};
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) {
      double acc = 0;
      for (int k = 0; k < 4; ++k) acc += static_cast<double>(a.m[i][k]) * b.m[k][j];
      r.m[i][j] = static_cast<float>(acc);
    }
  return r;
}

// Without lights, a lit vertex is the global ambient times the ambient
// material plus the emissive material; its alpha is the diffuse material's.
// Colours that follow the vertex are handed through unlit.
void SetUpLighting(const DeviceState& s, VertexSetup* v) {
  const DWORD* rs = s.renderStates;
  const bool colorVertex = rs[D3DRS_COLORVERTEX] != FALSE;
  auto fromVertex = [&](DWORD which) { return colorVertex && which == D3DMCS_COLOR1 && v->layout.diffuse >= 0; };
  v->litFromVertex = fromVertex(rs[D3DRS_DIFFUSEMATERIALSOURCE]);
  if (fromVertex(rs[D3DRS_AMBIENTMATERIALSOURCE]) || fromVertex(rs[D3DRS_EMISSIVEMATERIALSOURCE])) {
    v->lighting = false;
    return;
  }
  const D3DCOLORVALUE& ambientMat = s.material.Ambient;
  const D3DCOLORVALUE& emissiveMat = s.material.Emissive;
  const uint32_t ambient = rs[D3DRS_AMBIENT];
  D3DCOLORVALUE lit;
  lit.r = ((ambient >> 16) & 0xFF) / 255.f * ambientMat.r + emissiveMat.r;
  lit.g = ((ambient >> 8) & 0xFF) / 255.f * ambientMat.g + emissiveMat.g;
  lit.b = (ambient & 0xFF) / 255.f * ambientMat.b + emissiveMat.b;
  lit.a = s.material.Diffuse.a;
  v->litColor = ColorOf(lit);
}

VertexSetup SetUpVertices(const DeviceState& s, const VertexLayout& layout) {
  VertexSetup v;
  v.layout = layout;
  v.transform = !layout.pretransformed;
  v.clipping = s.renderStates[D3DRS_CLIPPING] != FALSE;
  v.viewport = s.viewport;
  v.texTransform = s.stageStates[0][D3DTSS_TEXTURETRANSFORMFLAGS] != D3DTTFF_DISABLE;
  v.texture = s.transforms[kTransformTexture0];
  if (!v.transform) return v;
  const D3DMATRIX wv = MultiplyRounded(s.transforms[kTransformWorld0], s.transforms[kTransformView]);
  v.worldViewProjection = MultiplyRounded(wv, s.transforms[kTransformProjection]);
  v.lighting = s.renderStates[D3DRS_LIGHTING] != FALSE;
  if (v.lighting) SetUpLighting(s, &v);
  return v;
}

// Clip space to screen through the viewport.
void ToScreen(const D3DVIEWPORT9& vp, double x, double y, double z, double w, ScreenVertex* out) {
  const double inv = 1.0 / w;
  out->x = static_cast<float>(vp.X + (1.0 + x * inv) * vp.Width * 0.5);
  out->y = static_cast<float>(vp.Y + (1.0 - y * inv) * vp.Height * 0.5);
  out->z = static_cast<float>(vp.MinZ + z * inv * (vp.MaxZ - vp.MinZ));
  out->rhw = static_cast<float>(inv);
}

// The colour and texture coordinates of one vertex.
void ReadAttributes(const VertexSetup& vs, const uint8_t* v, ScreenVertex* sv) {
  const VertexLayout& layout = vs.layout;
  sv->diffuse = layout.diffuse >= 0 ? LoadColor(v + layout.diffuse) : 0xFFFFFFFFu;
  if (vs.lighting) {
    sv->diffuse = vs.litFromVertex ? ((sv->diffuse & 0xFF000000u) | (vs.litColor & 0x00FFFFFFu)) : vs.litColor;
  }
  sv->u = sv->v = 0.f;
  if (layout.texcoord >= 0) {
    sv->u = LoadFloat(v + layout.texcoord);
    sv->v = layout.texcoordDims >= 2 ? LoadFloat(v + layout.texcoord + 4) : 0.f;
    if (vs.texTransform) {
      const D3DMATRIX& texM = vs.texture;
      const float u = sv->u, w = sv->v;
      sv->u = u * texM._11 + w * texM._21 + texM._31;
      sv->v = u * texM._12 + w * texM._22 + texM._32;
    }
  }
}

// Every vertex to screen space; untransformed ones also to clip space, with
// a note of those that need clipping. Returns whether any vertex does.
bool TransformVertices(const VertexSetup& vs, const uint8_t* bytes, UINT stride, UINT vertices, ScreenVertex* screen,
                     ClipVertex* clip, uint8_t* outside) {
  const D3DMATRIX& m = vs.worldViewProjection;
  bool anyOutside = false;
  for (UINT i = 0; i < vertices; ++i) {
    const uint8_t* v = bytes + static_cast<size_t>(i) * stride;
    ScreenVertex& sv = screen[i];
    ReadAttributes(vs, v, &sv);
    const float x = LoadFloat(v), y = LoadFloat(v + 4), z = LoadFloat(v + 8);
    if (!vs.transform) {
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
                    (!vs.clipping || (c.z >= 0 && c.z <= c.w));
    outside[i] = in ? 0 : 1;
    if (in) {
      ToScreen(vs.viewport, c.x, c.y, c.z, c.w, &sv);
    } else {
      anyOutside = true;
    }
  }
  return anyOutside;
}

// Clips a polygon in clip space against the guard planes (and near and far
// when clipping is on), or one in screen space against the guard band. The
// result is left in `poly`.
int ClipPolygon(bool clipSpace, bool clipping, ClipVertex* poly, int n) {
  ClipVertex tmp[kMaxPolygon];
  ClipVertex* in = poly;
  ClipVertex* out = tmp;
  auto clip = [&](auto dist) {
    n = ClipAgainst(in, n, out, dist);
    std::swap(in, out);
  };
  if (clipSpace) {
    clip([](const ClipVertex& q) { return q.w - 1e-9; });
    clip([](const ClipVertex& q) { return q.x + kClipGuard * q.w; });
    clip([](const ClipVertex& q) { return kClipGuard * q.w - q.x; });
    clip([](const ClipVertex& q) { return q.y + kClipGuard * q.w; });
    clip([](const ClipVertex& q) { return kClipGuard * q.w - q.y; });
    if (clipping) {
      clip([](const ClipVertex& q) { return q.z; });
      clip([](const ClipVertex& q) { return q.w - q.z; });
    }
  } else {
    clip([](const ClipVertex& q) { return q.x + kGuard; });
    clip([](const ClipVertex& q) { return kGuard - q.x; });
    clip([](const ClipVertex& q) { return q.y + kGuard; });
    clip([](const ClipVertex& q) { return kGuard - q.y; });
  }
  if (in != poly) std::copy(in, in + n, poly);
  return n;
}

// The triangles of one draw, in the order the primitive type gives them.
class TriangleAssembler {
 public:
  TriangleAssembler(const VertexSetup& vs, const RenderTarget& target, const Pipeline& pipe,
                    const ScreenVertex* screen, const ClipVertex* clip, const uint8_t* outside, UINT vertices,
                    bool anyOutside)
      : vs_(vs), target_(target), pipe_(pipe), screen_(screen), clip_(clip), outside_(outside), vertices_(vertices),
        anyOutside_(anyOutside) {}

  void Indices(const void* indices, D3DFORMAT format, UINT minIndex) {
    indices_ = static_cast<const uint8_t*>(indices);
    format_ = format;
    minIndex_ = minIndex;
  }

  void DrawAll(D3DPRIMITIVETYPE type, UINT count) {
    for (UINT p = 0; p < count; ++p) {
      switch (type) {
        case D3DPT_TRIANGLELIST: Draw(Index(3 * p), Index(3 * p + 1), Index(3 * p + 2)); break;
        case D3DPT_TRIANGLESTRIP:
          // Every other triangle is turned so that all keep one winding.
          if (p % 2 == 0) {
            Draw(Index(p), Index(p + 1), Index(p + 2));
          } else {
            Draw(Index(p + 1), Index(p), Index(p + 2));
          }
          break;
        default: Draw(Index(0), Index(p + 1), Index(p + 2)); break;
      }
    }
  }

 private:
  UINT Index(UINT k) const {
    if (indices_ == nullptr) return k;
    if (format_ == D3DFMT_INDEX16) {
      uint16_t i16;
      std::memcpy(&i16, indices_ + static_cast<size_t>(k) * 2, 2);
      return i16;
    }
    uint32_t i32;
    std::memcpy(&i32, indices_ + static_cast<size_t>(k) * 4, 4);
    return i32;
  }

  void Draw(UINT a, UINT b, UINT c) const {
    if (a >= vertices_ || b >= vertices_ || c >= vertices_) return;  // an index past the vertices given
    if (indices_ != nullptr && (a < minIndex_ || b < minIndex_ || c < minIndex_)) return;
    if (vs_.transform ? (outside_[a] | outside_[b] | outside_[c]) : anyOutside_) {
      DrawClipped(a, b, c);
    } else {
      DrawTriangle(target_, pipe_, screen_[a], screen_[b], screen_[c]);
    }
  }

  void DrawClipped(UINT a, UINT b, UINT c) const {
    ClipVertex poly[kMaxPolygon];
    const UINT ids[3] = {a, b, c};
    for (int k = 0; k < 3; ++k) {
      if (vs_.transform) {
        poly[k] = clip_[ids[k]];
      } else {
        const ScreenVertex& s = screen_[ids[k]];
        poly[k] = ClipVertex{s.x, s.y, s.z, s.rhw, {}, s.u, s.v};
        UnpackColor(s.diffuse, poly[k].c);
      }
    }
    const int n = ClipPolygon(vs_.transform, vs_.clipping, poly, 3);
    if (n < 3) return;
    ScreenVertex out[kMaxPolygon];
    for (int k = 0; k < n; ++k) {
      const ClipVertex& q = poly[k];
      ScreenVertex& s = out[k];
      if (vs_.transform) {
        ToScreen(vs_.viewport, q.x, q.y, q.z, q.w, &s);
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
    if (pipe_.flatShade) out[0].diffuse = screen_[a].diffuse;
    for (int k = 1; k + 1 < n; ++k) DrawTriangle(target_, pipe_, out[0], out[k], out[k + 1]);
  }

  const VertexSetup& vs_;
  const RenderTarget& target_;
  const Pipeline& pipe_;
  const ScreenVertex* screen_;
  const ClipVertex* clip_;
  const uint8_t* outside_;
  UINT vertices_;
  bool anyOutside_;
  const uint8_t* indices_ = nullptr;
  D3DFORMAT format_ = D3DFMT_UNKNOWN;
  UINT minIndex_ = 0;
};

RenderTarget TargetOf(Surface* surface) {
  RenderTarget target;
  target.pixels = reinterpret_cast<uint32_t*>(surface->Bits());
  target.width = static_cast<int>(surface->Width());
  target.height = static_cast<int>(surface->Height());
  target.pitchPixels = static_cast<int>(surface->Pitch() / 4);
  target.hasAlpha = surface->Format() == D3DFMT_A8R8G8B8;
  return target;
}

}  // namespace

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

  const VertexSetup setup = SetUpVertices(state_, layout);
  std::vector<ClipVertex> clip;
  std::vector<uint8_t> outside;  // per vertex: needs clipping
  try {
    screen_.resize(vertices);
    if (setup.transform) {
      clip.resize(vertices);
      outside.resize(vertices);
    }
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  const bool anyOutside = TransformVertices(setup, static_cast<const uint8_t*>(data), stride, vertices, screen_.data(),
                                          clip.data(), outside.data());
  const RenderTarget target = TargetOf(renderTarget_);

  // An aligned quad of two triangles may take the rasterizer's fast road.
  bool drawn = false;
  if (!indexed && !anyOutside && count == 2 && (type == D3DPT_TRIANGLEFAN || type == D3DPT_TRIANGLESTRIP)) {
    ScreenVertex quad[4] = {screen_[0], screen_[1], screen_[2], screen_[3]};
    if (type == D3DPT_TRIANGLESTRIP) std::swap(quad[2], quad[3]);
    drawn = DrawAlignedQuad(target, pipe, quad);
  }
  if (!drawn) {
    TriangleAssembler assembler(setup, target, pipe, screen_.data(), clip.data(), outside.data(), vertices,
                                anyOutside);
    if (indexed) assembler.Indices(indices, indexFormat, minIndex);
    assembler.DrawAll(type, count);
  }
  // A user-pointer draw leaves stream 0 unset, as on the real platform.
  state_.streamSource = nullptr;
  state_.streamOffset = state_.streamStride = 0;
  return D3D_OK;
}

}  // namespace d3d9sw

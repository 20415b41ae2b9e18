// device_state.cpp — default values and the tables of existing states.
#include "platform/d3d9/device_state.h"

#include <cstring>

namespace d3d9sw {
namespace {

DWORD FloatBits(float f) {
  DWORD d;
  std::memcpy(&d, &f, sizeof d);
  return d;
}

struct RenderStateDefault {
  D3DRENDERSTATETYPE state;
  DWORD value;
  bool pixel;  // part of a pixel-state block; otherwise of a vertex-state block
};

const RenderStateDefault* Defaults(size_t* count) {
  static const RenderStateDefault table[] = {
      {D3DRS_ZENABLE, D3DZB_FALSE, true},
      {D3DRS_FILLMODE, D3DFILL_SOLID, true},
      {D3DRS_SHADEMODE, D3DSHADE_GOURAUD, true},
      {D3DRS_ZWRITEENABLE, TRUE, true},
      {D3DRS_ALPHATESTENABLE, FALSE, true},
      {D3DRS_LASTPIXEL, TRUE, true},
      {D3DRS_SRCBLEND, D3DBLEND_ONE, true},
      {D3DRS_DESTBLEND, D3DBLEND_ZERO, true},
      {D3DRS_CULLMODE, D3DCULL_CCW, false},
      {D3DRS_ZFUNC, D3DCMP_LESSEQUAL, true},
      {D3DRS_ALPHAREF, 0, true},
      {D3DRS_ALPHAFUNC, D3DCMP_ALWAYS, true},
      {D3DRS_DITHERENABLE, FALSE, true},
      {D3DRS_ALPHABLENDENABLE, FALSE, true},
      {D3DRS_FOGENABLE, FALSE, false},
      {D3DRS_SPECULARENABLE, FALSE, false},
      {D3DRS_FOGCOLOR, 0, false},
      {D3DRS_FOGTABLEMODE, D3DFOG_NONE, false},
      {D3DRS_FOGSTART, FloatBits(0.f), false},
      {D3DRS_FOGEND, FloatBits(1.f), false},
      {D3DRS_FOGDENSITY, FloatBits(1.f), false},
      {D3DRS_RANGEFOGENABLE, FALSE, false},
      {D3DRS_STENCILENABLE, FALSE, true},
      {D3DRS_STENCILFAIL, D3DSTENCILOP_KEEP, true},
      {D3DRS_STENCILZFAIL, D3DSTENCILOP_KEEP, true},
      {D3DRS_STENCILPASS, D3DSTENCILOP_KEEP, true},
      {D3DRS_STENCILFUNC, D3DCMP_ALWAYS, true},
      {D3DRS_STENCILREF, 0, true},
      {D3DRS_STENCILMASK, 0xFFFFFFFFu, true},
      {D3DRS_STENCILWRITEMASK, 0xFFFFFFFFu, true},
      {D3DRS_TEXTUREFACTOR, 0xFFFFFFFFu, true},
      {D3DRS_WRAP0, 0, true},
      {D3DRS_WRAP1, 0, true},
      {D3DRS_WRAP2, 0, true},
      {D3DRS_WRAP3, 0, true},
      {D3DRS_WRAP4, 0, true},
      {D3DRS_WRAP5, 0, true},
      {D3DRS_WRAP6, 0, true},
      {D3DRS_WRAP7, 0, true},
      {D3DRS_CLIPPING, TRUE, false},
      {D3DRS_LIGHTING, TRUE, false},
      {D3DRS_AMBIENT, 0, false},
      {D3DRS_FOGVERTEXMODE, D3DFOG_NONE, false},
      {D3DRS_COLORVERTEX, TRUE, false},
      {D3DRS_LOCALVIEWER, TRUE, false},
      {D3DRS_NORMALIZENORMALS, FALSE, false},
      {D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_COLOR1, false},
      {D3DRS_SPECULARMATERIALSOURCE, D3DMCS_COLOR2, false},
      {D3DRS_AMBIENTMATERIALSOURCE, D3DMCS_MATERIAL, false},
      {D3DRS_EMISSIVEMATERIALSOURCE, D3DMCS_MATERIAL, false},
      {D3DRS_VERTEXBLEND, D3DVBF_DISABLE, false},
      {D3DRS_CLIPPLANEENABLE, 0, false},
      {D3DRS_POINTSIZE, FloatBits(1.f), false},
      {D3DRS_POINTSIZE_MIN, FloatBits(1.f), false},
      {D3DRS_POINTSPRITEENABLE, FALSE, false},
      {D3DRS_POINTSCALEENABLE, FALSE, false},
      {D3DRS_POINTSCALE_A, FloatBits(1.f), false},
      {D3DRS_POINTSCALE_B, FloatBits(0.f), false},
      {D3DRS_POINTSCALE_C, FloatBits(0.f), false},
      {D3DRS_MULTISAMPLEANTIALIAS, TRUE, false},
      {D3DRS_MULTISAMPLEMASK, 0xFFFFFFFFu, false},
      {D3DRS_PATCHEDGESTYLE, D3DPATCHEDGE_DISCRETE, false},
      {D3DRS_DEBUGMONITORTOKEN, D3DDMT_ENABLE, false},
      {D3DRS_POINTSIZE_MAX, FloatBits(1.f), false},
      {D3DRS_INDEXEDVERTEXBLENDENABLE, FALSE, false},
      {D3DRS_COLORWRITEENABLE, 0x0000000Fu, true},
      {D3DRS_TWEENFACTOR, FloatBits(0.f), false},
      {D3DRS_BLENDOP, D3DBLENDOP_ADD, true},
      {D3DRS_POSITIONDEGREE, D3DDEGREE_CUBIC, false},
      {D3DRS_NORMALDEGREE, D3DDEGREE_LINEAR, false},
      {D3DRS_SCISSORTESTENABLE, FALSE, true},
      {D3DRS_SLOPESCALEDEPTHBIAS, 0, true},
      {D3DRS_ANTIALIASEDLINEENABLE, FALSE, true},
      {D3DRS_MINTESSELLATIONLEVEL, FloatBits(1.f), false},
      {D3DRS_MAXTESSELLATIONLEVEL, FloatBits(1.f), false},
      {D3DRS_ADAPTIVETESS_X, FloatBits(0.f), false},
      {D3DRS_ADAPTIVETESS_Y, FloatBits(0.f), false},
      {D3DRS_ADAPTIVETESS_Z, FloatBits(1.f), false},
      {D3DRS_ADAPTIVETESS_W, FloatBits(0.f), false},
      {D3DRS_ENABLEADAPTIVETESSELLATION, FALSE, false},
      {D3DRS_TWOSIDEDSTENCILMODE, FALSE, true},
      {D3DRS_CCW_STENCILFAIL, D3DSTENCILOP_KEEP, true},
      {D3DRS_CCW_STENCILZFAIL, D3DSTENCILOP_KEEP, true},
      {D3DRS_CCW_STENCILPASS, D3DSTENCILOP_KEEP, true},
      {D3DRS_CCW_STENCILFUNC, D3DCMP_ALWAYS, true},
      {D3DRS_COLORWRITEENABLE1, 0x0000000Fu, true},
      {D3DRS_COLORWRITEENABLE2, 0x0000000Fu, true},
      {D3DRS_COLORWRITEENABLE3, 0x0000000Fu, true},
      {D3DRS_BLENDFACTOR, 0xFFFFFFFFu, true},
      {D3DRS_SRGBWRITEENABLE, 0, true},
      {D3DRS_DEPTHBIAS, 0, true},
      {D3DRS_WRAP8, 0, true},
      {D3DRS_WRAP9, 0, true},
      {D3DRS_WRAP10, 0, true},
      {D3DRS_WRAP11, 0, true},
      {D3DRS_WRAP12, 0, true},
      {D3DRS_WRAP13, 0, true},
      {D3DRS_WRAP14, 0, true},
      {D3DRS_WRAP15, 0, true},
      {D3DRS_SEPARATEALPHABLENDENABLE, FALSE, true},
      {D3DRS_SRCBLENDALPHA, D3DBLEND_ONE, true},
      {D3DRS_DESTBLENDALPHA, D3DBLEND_ZERO, true},
      {D3DRS_BLENDOPALPHA, D3DBLENDOP_ADD, true},
  };
  *count = sizeof table / sizeof table[0];
  return table;
}

struct StateTables {
  bool exists[kRenderStateCount] = {};
  bool pixel[kRenderStateCount] = {};
  DWORD defaults[kRenderStateCount] = {};
  StateTables() {
    size_t n;
    const RenderStateDefault* t = Defaults(&n);
    for (size_t i = 0; i < n; ++i) {
      exists[t[i].state] = true;
      pixel[t[i].state] = t[i].pixel;
      defaults[t[i].state] = t[i].value;
    }
  }
};

const StateTables& Tables() {
  static const StateTables tables;
  return tables;
}

}  // namespace

D3DMATRIX IdentityMatrix() {
  D3DMATRIX m{};
  m._11 = m._22 = m._33 = m._44 = 1.f;
  return m;
}

int TransformSlot(D3DTRANSFORMSTATETYPE type) {
  const DWORD t = static_cast<DWORD>(type);
  if (t == D3DTS_VIEW) return kTransformView;
  if (t == D3DTS_PROJECTION) return kTransformProjection;
  if (t >= D3DTS_TEXTURE0 && t <= D3DTS_TEXTURE7) return kTransformTexture0 + static_cast<int>(t - D3DTS_TEXTURE0);
  if (t >= 256 && t < 256 + 4) return kTransformWorld0 + static_cast<int>(t - 256);
  return -1;
}

D3DTRANSFORMSTATETYPE TransformOfSlot(int slot) {
  if (slot == kTransformView) return D3DTS_VIEW;
  if (slot == kTransformProjection) return D3DTS_PROJECTION;
  if (slot < kTransformWorld0) return static_cast<D3DTRANSFORMSTATETYPE>(D3DTS_TEXTURE0 + (slot - kTransformTexture0));
  return static_cast<D3DTRANSFORMSTATETYPE>(256 + (slot - kTransformWorld0));
}

bool IsRenderState(DWORD state) { return state < kRenderStateCount && Tables().exists[state]; }
bool IsPixelRenderState(DWORD state) { return IsRenderState(state) && Tables().pixel[state]; }
bool IsVertexRenderState(DWORD state) { return IsRenderState(state) && !Tables().pixel[state]; }

bool IsStageState(DWORD type) {
  return (type >= D3DTSS_COLOROP && type <= D3DTSS_TEXCOORDINDEX) || type == D3DTSS_BUMPENVLSCALE ||
         type == D3DTSS_BUMPENVLOFFSET || type == D3DTSS_TEXTURETRANSFORMFLAGS || type == D3DTSS_COLORARG0 ||
         type == D3DTSS_ALPHAARG0 || type == D3DTSS_RESULTARG || type == D3DTSS_CONSTANT;
}

bool IsSamplerState(DWORD type) { return type >= D3DSAMP_ADDRESSU && type <= D3DSAMP_DMAPOFFSET; }

void SetDefaultState(DeviceState* s, const D3DVIEWPORT9& viewport) {
  std::memcpy(s->renderStates, Tables().defaults, sizeof s->renderStates);
  for (int stage = 0; stage < kStageCount; ++stage) {
    DWORD* t = s->stageStates[stage];
    std::memset(t, 0, sizeof s->stageStates[stage]);
    t[D3DTSS_COLOROP] = stage == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
    t[D3DTSS_COLORARG1] = D3DTA_TEXTURE;
    t[D3DTSS_COLORARG2] = D3DTA_CURRENT;
    t[D3DTSS_ALPHAOP] = stage == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
    t[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
    t[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
    t[D3DTSS_TEXCOORDINDEX] = static_cast<DWORD>(stage);
    t[D3DTSS_TEXTURETRANSFORMFLAGS] = D3DTTFF_DISABLE;
    t[D3DTSS_COLORARG0] = D3DTA_CURRENT;
    t[D3DTSS_ALPHAARG0] = D3DTA_CURRENT;
    t[D3DTSS_RESULTARG] = D3DTA_CURRENT;
  }
  for (int sampler = 0; sampler < kSamplerCount; ++sampler) {
    DWORD* t = s->samplerStates[sampler];
    std::memset(t, 0, sizeof s->samplerStates[sampler]);
    t[D3DSAMP_ADDRESSU] = D3DTADDRESS_WRAP;
    t[D3DSAMP_ADDRESSV] = D3DTADDRESS_WRAP;
    t[D3DSAMP_ADDRESSW] = D3DTADDRESS_WRAP;
    t[D3DSAMP_MAGFILTER] = D3DTEXF_POINT;
    t[D3DSAMP_MINFILTER] = D3DTEXF_POINT;
    t[D3DSAMP_MIPFILTER] = D3DTEXF_NONE;
    t[D3DSAMP_MAXANISOTROPY] = 1;
  }
  for (D3DMATRIX& m : s->transforms) m = IdentityMatrix();
  s->viewport = viewport;
  s->material = D3DMATERIAL9{};
  s->scissor = RECT{0, 0, static_cast<LONG>(viewport.Width), static_cast<LONG>(viewport.Height)};
  s->fvf = 0;
  s->vertexShader = nullptr;
  s->nPatchSegments = 0.f;
  s->streamSource = nullptr;
  s->streamOffset = 0;
  s->streamStride = 0;
}

}  // namespace d3d9sw

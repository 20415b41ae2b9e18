// caps_profiles.cpp — capability records of the named device profiles.
#include "platform/d3d9/caps_profiles.h"

#include "platform/d3d9/pixel_formats.h"

namespace d3d9sw {
namespace {

D3DCAPS9 ModernCaps() {
  D3DCAPS9 c{};
  c.DeviceType = D3DDEVTYPE_HAL;
  c.AdapterOrdinal = 0;
  c.Caps = 0;
  c.Caps2 = D3DCAPS2_DYNAMICTEXTURES;
  c.Caps3 = D3DCAPS3_ALPHA_FULLSCREEN_FLIP_OR_DISCARD | D3DCAPS3_COPY_TO_VIDMEM | D3DCAPS3_COPY_TO_SYSTEMMEM;
  c.PresentationIntervals = D3DPRESENT_INTERVAL_ONE | D3DPRESENT_INTERVAL_IMMEDIATE;
  c.CursorCaps = D3DCURSORCAPS_COLOR;
  c.DevCaps = D3DDEVCAPS_EXECUTESYSTEMMEMORY | D3DDEVCAPS_TLVERTEXSYSTEMMEMORY | D3DDEVCAPS_TEXTURESYSTEMMEMORY |
              D3DDEVCAPS_TEXTUREVIDEOMEMORY | D3DDEVCAPS_DRAWPRIMTLVERTEX | D3DDEVCAPS_CANRENDERAFTERFLIP |
              D3DDEVCAPS_DRAWPRIMITIVES2 | D3DDEVCAPS_DRAWPRIMITIVES2EX | D3DDEVCAPS_HWRASTERIZATION;
  c.PrimitiveMiscCaps = D3DPMISCCAPS_CULLNONE | D3DPMISCCAPS_CULLCW | D3DPMISCCAPS_CULLCCW |
                        D3DPMISCCAPS_COLORWRITEENABLE | D3DPMISCCAPS_CLIPTLVERTS | D3DPMISCCAPS_BLENDOP;
  c.RasterCaps = D3DPRASTERCAPS_SCISSORTEST;
  c.ZCmpCaps = 0;  // no depth buffer
  const DWORD blend = D3DPBLENDCAPS_ZERO | D3DPBLENDCAPS_ONE | D3DPBLENDCAPS_SRCCOLOR | D3DPBLENDCAPS_INVSRCCOLOR |
                      D3DPBLENDCAPS_SRCALPHA | D3DPBLENDCAPS_INVSRCALPHA | D3DPBLENDCAPS_DESTALPHA |
                      D3DPBLENDCAPS_INVDESTALPHA | D3DPBLENDCAPS_DESTCOLOR | D3DPBLENDCAPS_INVDESTCOLOR |
                      D3DPBLENDCAPS_SRCALPHASAT | D3DPBLENDCAPS_BLENDFACTOR;
  c.SrcBlendCaps = blend;
  c.DestBlendCaps = blend;
  c.AlphaCmpCaps = D3DPCMPCAPS_NEVER | D3DPCMPCAPS_LESS | D3DPCMPCAPS_EQUAL | D3DPCMPCAPS_LESSEQUAL |
                   D3DPCMPCAPS_GREATER | D3DPCMPCAPS_NOTEQUAL | D3DPCMPCAPS_GREATEREQUAL | D3DPCMPCAPS_ALWAYS;
  c.ShadeCaps = D3DPSHADECAPS_COLORGOURAUDRGB | D3DPSHADECAPS_ALPHAGOURAUDBLEND;
  c.TextureCaps = D3DPTEXTURECAPS_ALPHA | D3DPTEXTURECAPS_PERSPECTIVE | D3DPTEXTURECAPS_MIPMAP;
  c.TextureFilterCaps =
      D3DPTFILTERCAPS_MINFPOINT | D3DPTFILTERCAPS_MINFLINEAR | D3DPTFILTERCAPS_MAGFPOINT | D3DPTFILTERCAPS_MAGFLINEAR;
  c.CubeTextureFilterCaps = 0;
  c.VolumeTextureFilterCaps = 0;
  c.TextureAddressCaps = D3DPTADDRESSCAPS_WRAP | D3DPTADDRESSCAPS_MIRROR | D3DPTADDRESSCAPS_CLAMP |
                         D3DPTADDRESSCAPS_BORDER | D3DPTADDRESSCAPS_INDEPENDENTUV | D3DPTADDRESSCAPS_MIRRORONCE;
  c.VolumeTextureAddressCaps = 0;
  c.LineCaps = 0;
  c.MaxTextureWidth = 8192;
  c.MaxTextureHeight = 8192;
  c.MaxVolumeExtent = 0;
  c.MaxTextureRepeat = 8192;
  c.MaxTextureAspectRatio = 8192;
  c.MaxAnisotropy = 1;
  c.MaxVertexW = 1e10f;
  c.GuardBandLeft = -32768.f;
  c.GuardBandTop = -32768.f;
  c.GuardBandRight = 32767.f;
  c.GuardBandBottom = 32767.f;
  c.ExtentsAdjust = 0.f;
  c.StencilCaps = 0;
  c.FVFCaps = 8;  // texture coordinate sets
  c.TextureOpCaps = D3DTEXOPCAPS_DISABLE | D3DTEXOPCAPS_SELECTARG1 | D3DTEXOPCAPS_SELECTARG2 |
                    D3DTEXOPCAPS_MODULATE | D3DTEXOPCAPS_MODULATE2X | D3DTEXOPCAPS_MODULATE4X | D3DTEXOPCAPS_ADD |
                    D3DTEXOPCAPS_SUBTRACT;
  c.MaxTextureBlendStages = 1;
  c.MaxSimultaneousTextures = 1;
  c.VertexProcessingCaps = 0;
  c.MaxActiveLights = 0;
  c.MaxUserClipPlanes = 0;
  c.MaxVertexBlendMatrices = 1;
  c.MaxVertexBlendMatrixIndex = 0;
  c.MaxPointSize = 1.f;
  c.MaxPrimitiveCount = 0xFFFFF;
  c.MaxVertexIndex = 0xFFFFF;
  c.MaxStreams = 1;
  c.MaxStreamStride = 255;
  c.VertexShaderVersion = 0xFFFE0000;  // vs_0_0: fixed function only
  c.MaxVertexShaderConst = 0;
  c.PixelShaderVersion = 0xFFFF0000;   // ps_0_0
  c.PixelShader1xMaxValue = 0.f;
  c.DevCaps2 = 0;
  c.MaxNpatchTessellationLevel = 0.f;
  c.Reserved5 = 0;
  c.MasterAdapterOrdinal = 0;
  c.AdapterOrdinalInGroup = 0;
  c.NumberOfAdaptersInGroup = 1;
  c.DeclTypes = 0;
  c.NumSimultaneousRTs = 1;
  c.StretchRectFilterCaps = 0;
  c.VS20Caps = {};
  c.PS20Caps = {};
  c.VertexTextureFilterCaps = 0;
  c.MaxVShaderInstructionsExecuted = 0;
  c.MaxPShaderInstructionsExecuted = 0;
  c.MaxVertexShader30InstructionSlots = 0;
  c.MaxPixelShader30InstructionSlots = 0;
  return c;
}

// Each profile is the modern card with one thing taken away or added.
struct ProfileEntry {
  const char* name;
  void (*adjust)(Profile& p);
};

constexpr DWORD kAlphaBlend = D3DPBLENDCAPS_SRCALPHA | D3DPBLENDCAPS_INVSRCALPHA;

// The one list of profiles and their names.
constexpr ProfileEntry kProfiles[] = {
    {"default", [](Profile&) {}},
    {"pow2", [](Profile& p) { p.caps.TextureCaps |= D3DPTEXTURECAPS_POW2; }},
    {"nonpow2conditional",
     [](Profile& p) { p.caps.TextureCaps |= D3DPTEXTURECAPS_POW2 | D3DPTEXTURECAPS_NONPOW2CONDITIONAL; }},
    {"squareonly", [](Profile& p) { p.caps.TextureCaps |= D3DPTEXTURECAPS_SQUAREONLY; }},
    {"aspect8", [](Profile& p) { p.caps.MaxTextureAspectRatio = 8; }},
    {"noblend",
     [](Profile& p) {
       p.caps.SrcBlendCaps &= ~kAlphaBlend;
       p.caps.DestBlendCaps &= ~kAlphaBlend;
     }},
    {"untransformed", [](Profile& p) { p.caps.PrimitiveMiscCaps &= ~static_cast<DWORD>(D3DPMISCCAPS_CLIPTLVERTS); }},
    {"noa8r8g8b8", [](Profile& p) { p.a8r8g8b8 = false; }},
    {"nomipmap", [](Profile& p) { p.caps.TextureCaps &= ~static_cast<DWORD>(D3DPTEXTURECAPS_MIPMAP); }},
};

}  // namespace

bool MakeProfile(const std::string& name, Profile* out) {
  for (const ProfileEntry& entry : kProfiles) {
    if (name != entry.name) continue;
    Profile p;
    p.caps = ModernCaps();
    p.name = name;
    entry.adjust(p);
    *out = p;
    return true;
  }
  return false;
}

std::vector<std::string> ProfileNames() {
  std::vector<std::string> names;
  for (const ProfileEntry& entry : kProfiles) names.emplace_back(entry.name);
  return names;
}

std::string ProfileNameList() {
  std::string list;
  for (const ProfileEntry& entry : kProfiles) list += (list.empty() ? "" : ", ") + std::string(entry.name);
  return list;
}

bool TextureFormatSupported(const Profile& profile, D3DFORMAT format) {
  if (format == D3DFMT_A8R8G8B8 && !profile.a8r8g8b8) return false;
  const FormatInfo* info = FindFormat(format);
  return info != nullptr && info->samplable;
}

}  // namespace d3d9sw

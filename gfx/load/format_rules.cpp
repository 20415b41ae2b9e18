// format_rules.cpp — texture size, level count and pixel format rules.
//
// Provides the format table, the closest-device-format search and the
// requirements check behind D3DXCheckTextureRequirements (see format_rules.h).
// Depends on: d3d9.h (GetDeviceCaps, GetDirect3D, GetDisplayMode,
// GetCreationParameters, IDirect3D9::CheckDeviceFormat), gfx/debug_report.h.
#include "gfx/load/format_rules.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <functional>
#include <iterator>

#include "gfx/debug_report.h"

namespace gfx {
namespace {

constexpr FormatRow kTable[] = {
    {D3DFMT_R8G8B8, kClassColour, 24, 0, 0, 8, 8, 8, false},
    {D3DFMT_A8R8G8B8, kClassColour, 32, 0, 8, 8, 8, 8, true},
    {D3DFMT_X8R8G8B8, kClassColour, 32, 0, 0, 8, 8, 8, true},
    {D3DFMT_R5G6B5, kClassColour, 16, 0, 0, 5, 6, 5, true},
    {D3DFMT_X1R5G5B5, kClassColour, 16, 0, 0, 5, 5, 5, true},
    {D3DFMT_A8P8, kClassPalettised, 16, 0, 8, 8, 8, 8, true},
    {D3DFMT_P8, kClassPalettised, 8, 0, 8, 8, 8, 8, true},
    {D3DFMT_A1R5G5B5, kClassColour, 16, 0, 1, 5, 5, 5, true},
    {D3DFMT_A4R4G4B4, kClassColour, 16, 0, 4, 4, 4, 4, true},
    {D3DFMT_R3G3B2, kClassColour, 8, 0, 0, 3, 3, 2, true},
    {D3DFMT_A8, kClassColour, 8, 0, 8, 0, 0, 0, true},
    {D3DFMT_A8R3G3B2, kClassColour, 16, 0, 8, 3, 3, 2, true},
    {D3DFMT_X4R4G4B4, kClassColour, 16, 0, 0, 4, 4, 4, true},
    {D3DFMT_A2B10G10R10, kClassColour, 32, 0, 2, 10, 10, 10, true},
    {D3DFMT_A8B8G8R8, kClassColour, 32, 0, 8, 8, 8, 8, true},
    {D3DFMT_X8B8G8R8, kClassColour, 32, 0, 0, 8, 8, 8, true},
    {D3DFMT_G16R16, kClassColour, 32, 0, 0, 16, 16, 0, true},
    {D3DFMT_A2R10G10B10, kClassColour, 32, 0, 2, 10, 10, 10, true},
    {D3DFMT_A16B16G16R16, kClassColour, 64, 0, 16, 16, 16, 16, true},
    {D3DFMT_L8, kClassLuminance, 8, 0, 0, 8, 8, 8, true},
    {D3DFMT_A8L8, kClassLuminance, 16, 0, 8, 8, 8, 8, true},
    {D3DFMT_A4L4, kClassLuminance, 8, 0, 4, 4, 4, 4, true},
    {D3DFMT_L16, kClassLuminance, 16, 0, 0, 16, 16, 16, true},
    {D3DFMT_V8U8, kClassSigned, 16, 0, 0, 0, 8, 8, true},
    {D3DFMT_L6V5U5, kClassSigned, 16, 6, 0, 0, 5, 5, true},
    {D3DFMT_X8L8V8U8, kClassSigned, 32, 8, 0, 0, 8, 8, true},
    {D3DFMT_Q8W8V8U8, kClassSigned, 32, 0, 8, 8, 8, 8, true},
    {D3DFMT_V16U16, kClassSigned, 32, 0, 0, 0, 16, 16, true},
    {D3DFMT_A2W10V10U10, kClassSigned, 32, 2, 0, 10, 10, 10, true},
    {D3DFMT_Q16W16V16U16, kClassSigned, 64, 0, 16, 16, 16, 16, true},
    {D3DFMT_CxV8U8, kClassSigned, 16, 8, 0, 0, 8, 8, false},
    {D3DFMT_UYVY, kClassColour, 16, 0, 0, 8, 8, 8, false},
    {D3DFMT_R8G8_B8G8, kClassColour, 16, 0, 0, 8, 8, 8, false},
    {D3DFMT_YUY2, kClassColour, 16, 0, 0, 8, 8, 8, false},
    {D3DFMT_G8R8_G8B8, kClassColour, 16, 0, 0, 8, 8, 8, false},
    {D3DFMT_DXT1, kClassColour, 16, 0, 1, 5, 6, 5, false},
    {D3DFMT_DXT2, kClassColour, 16, 0, 4, 5, 6, 5, false},
    {D3DFMT_DXT3, kClassColour, 16, 0, 4, 5, 6, 5, false},
    {D3DFMT_DXT4, kClassColour, 16, 0, 8, 5, 6, 5, false},
    {D3DFMT_DXT5, kClassColour, 16, 0, 8, 5, 6, 5, false},
    {D3DFMT_D16_LOCKABLE, kClassDepth, 16, 1, 0, 0, 0, 16, true},
    {D3DFMT_D32F_LOCKABLE, kClassDepth, 32, 1, 0, 0, 0, 32, false},
    {D3DFMT_D32, kClassDepth, 32, 0, 0, 0, 0, 32, true},
    {D3DFMT_D15S1, kClassDepth, 16, 0, 0, 0, 1, 15, true},
    {D3DFMT_D24S8, kClassDepth, 32, 0, 0, 0, 8, 24, true},
    {D3DFMT_D16, kClassDepth, 16, 0, 0, 0, 0, 16, true},
    {D3DFMT_D24X8, kClassDepth, 32, 0, 0, 0, 0, 24, true},
    {D3DFMT_D24X4S4, kClassDepth, 32, 0, 0, 0, 4, 24, true},
    {D3DFMT_D24FS8, kClassDepth, 32, 0, 0, 0, 8, 24, false},
    {D3DFMT_R16F, kClassColour, 16, 0, 0, 16, 0, 0, false},
    {D3DFMT_G16R16F, kClassColour, 32, 0, 0, 16, 16, 0, false},
    {D3DFMT_A16B16G16R16F, kClassColour, 64, 0, 16, 16, 16, 16, false},
    {D3DFMT_R32F, kClassColour, 32, 0, 0, 32, 0, 0, false},
    {D3DFMT_G32R32F, kClassColour, 64, 0, 0, 32, 32, 0, false},
    {D3DFMT_A32B32G32R32F, kClassColour, 128, 0, 32, 32, 32, 32, false},
};

constexpr UINT kDefault = 0xFFFFFFFFu;
constexpr DWORD kInvalidUsageBits = 0xFFE039ECu;
constexpr DWORD kUsageQueryCreation = 0x100000u;
constexpr DWORD kSoftwareVertexProcessing = 0x20u;

// Whether a request of class `wanted` may be served by class `candidate`.
bool ClassServes(BYTE wanted, BYTE candidate) {
  switch (wanted) {
    case kClassColour:
      return candidate == kClassColour;
    case kClassPalettised:
      return candidate == kClassColour || candidate == kClassPalettised;
    case kClassLuminance:
      return candidate == kClassColour || candidate == kClassLuminance;
    case kClassSigned:
      return candidate == kClassSigned;
    case kClassDepth:
      return candidate == kClassDepth;
    default:
      return false;
  }
}

constexpr uint64_t kNoDistance = ~uint64_t{0};
constexpr uint64_t kMissingChannel = 0x1000000;

uint64_t Distance(const FormatRow& p, const FormatRow& q) {
  if (!ClassServes(p.formatClass, q.formatClass)) return kNoDistance;
  const BYTE pw[5] = {p.other, p.alpha, p.red, p.green, p.blue};
  const BYTE qw[5] = {q.other, q.alpha, q.red, q.green, q.blue};
  uint64_t distance = 0;
  uint64_t present = 0;
  for (int i = 0; i < 5; ++i) {
    if (pw[i] != 0) ++present;
    if (pw[i] < qw[i]) distance += pw[i] == 0 ? 256 : uint64_t(qw[i] - pw[i]);
    if (pw[i] > qw[i]) distance += qw[i] == 0 ? kMissingChannel : uint64_t(pw[i] - qw[i]) * 65536;
  }
  if (present == distance / kMissingChannel) return kNoDistance;
  return distance;
}

UINT NextPow2(UINT n) {
  if (n <= 1) return 1;
  if (n > 0x80000000u) return 0x80000000u;  // the largest a UINT holds
  return std::bit_ceil(n);
}

UINT BitLength(UINT n) { return static_cast<UINT>(std::bit_width(n)); }

bool IsPow2(UINT n) { return std::has_single_bit(n); }

// A device maximum of 0 would make every texture empty: treat it as none.
UINT ClampTo(UINT value, DWORD maximum) { return maximum != 0 && value > maximum ? maximum : value; }

}  // namespace

std::span<const FormatRow> FormatTable() { return kTable; }

FormatRow LookupFormat(D3DFORMAT format) {
  for (const FormatRow& row : kTable) {
    if (row.format == format) return row;
  }
  return FormatRow{format, kClassColour, 32, 0, 8, 8, 8, 8, false};
}

D3DFORMAT ClosestFormatAmong(const FormatRow& wanted, const std::function<bool(D3DFORMAT)>& supported) {
  D3DFORMAT best = D3DFMT_UNKNOWN;
  uint64_t bestDistance = kNoDistance;
  UINT bestBits = 0;
  for (const FormatRow& row : kTable) {
    if (!supported(row.format)) continue;
    if (row.format == wanted.format) return row.format;
    if (!row.substitute) continue;
    uint64_t distance = Distance(wanted, row);
    if (distance == kNoDistance) continue;
    if (distance < bestDistance || (distance == bestDistance && row.bits < bestBits)) {
      best = row.format;
      bestDistance = distance;
      bestBits = row.bits;
    }
  }
  return best;
}

D3DFORMAT FindClosestDeviceFormat(IDirect3DDevice9* device, DWORD usage, D3DRESOURCETYPE resourceType,
                                  const FormatRow& wanted) {
  bool previousMute = SetDebugMute(true);

  IDirect3D9* d3d = nullptr;
  D3DCAPS9 caps{};
  D3DDISPLAYMODE mode{};
  bool probe = false;
  if (device != nullptr) {
    if (SUCCEEDED(device->GetDirect3D(&d3d)) && d3d != nullptr && SUCCEEDED(device->GetDeviceCaps(&caps)) &&
        SUCCEEDED(device->GetDisplayMode(0, &mode))) {
      probe = true;
      if (usage & kUsageQueryCreation) {
        D3DDEVICE_CREATION_PARAMETERS params{};
        if (SUCCEEDED(device->GetCreationParameters(&params)) &&
            (params.BehaviorFlags & kSoftwareVertexProcessing)) {
          usage |= D3DUSAGE_SOFTWAREPROCESSING;
        }
      }
    }
  }

  D3DFORMAT best = D3DFMT_UNKNOWN;
  // A device whose description cannot be read supports nothing.
  if (device == nullptr) {
    best = ClosestFormatAmong(wanted, [](D3DFORMAT) { return true; });
  } else if (probe) {
    best = ClosestFormatAmong(wanted, [&](D3DFORMAT format) {
      return SUCCEEDED(d3d->CheckDeviceFormat(caps.AdapterOrdinal, caps.DeviceType, mode.Format, usage,
                                              resourceType, format));
    });
  }
  if (d3d != nullptr) d3d->Release();
  SetDebugMute(previousMute);
  return best;
}

void ApplySizeRules(const D3DCAPS9* caps, UINT* pWidth, UINT* pHeight, UINT* pDepth, UINT* pLevels, DWORD usage,
                    D3DFORMAT format, D3DRESOURCETYPE resourceType) {
  UINT w = *pWidth, h = *pHeight, d = *pDepth, n = *pLevels;
  const bool volume = resourceType == D3DRTYPE_VOLUMETEXTURE;
  const bool cube = resourceType == D3DRTYPE_CUBETEXTURE;
  if (w == kDefault && h == kDefault) {
    w = h = 256;
  } else if (w == kDefault) {
    w = h;
  } else if (h == kDefault) {
    h = w;
  }
  if (w == 0) w = 1;
  if (h == 0) h = 1;
  if (cube) w = h = std::max(w, h);
  if (d == 0 || d == kDefault) d = 1;

  if (caps != nullptr) {
    if (volume) {
      d = ClampTo(d, caps->MaxVolumeExtent);
      w = ClampTo(w, caps->MaxVolumeExtent);
      h = ClampTo(h, caps->MaxVolumeExtent);
    } else {
      w = ClampTo(w, caps->MaxTextureWidth);
      h = ClampTo(h, caps->MaxTextureHeight);
      if (!cube) {
        uint64_t limit = (caps->TextureCaps & D3DPTEXTURECAPS_SQUAREONLY) ? 1 : caps->MaxTextureAspectRatio;
        if (limit != 0) {
          w = static_cast<UINT>(std::min<uint64_t>(w, uint64_t{h} * limit));
          h = static_cast<UINT>(std::min<uint64_t>(h, uint64_t{w} * limit));
        }
      }
    }
    DWORD pow2Cap = volume ? D3DPTEXTURECAPS_VOLUMEMAP_POW2
                    : cube ? D3DPTEXTURECAPS_CUBEMAP_POW2
                           : D3DPTEXTURECAPS_POW2;
    bool pow2 = (caps->TextureCaps & pow2Cap) != 0;
    if (n == 1 && (caps->TextureCaps & D3DPTEXTURECAPS_NONPOW2CONDITIONAL)) pow2 = false;
    if (pow2) {
      w = NextPow2(w);
      h = NextPow2(h);
      d = NextPow2(d);
    }
  }

  if (format == D3DFMT_DXT1 || format == D3DFMT_DXT2 || format == D3DFMT_DXT3 || format == D3DFMT_DXT4 ||
      format == D3DFMT_DXT5) {
    // Whole 4 x 4 blocks, saturating at the largest multiple of 4.
    w = w > 0xFFFFFFFCu ? 0xFFFFFFFCu : (w + 3) & ~3u;
    h = h > 0xFFFFFFFCu ? 0xFFFFFFFCu : (h + 3) & ~3u;
  }

  bool mipmaps = true;
  if (caps != nullptr) {
    DWORD mipCap = volume ? D3DPTEXTURECAPS_MIPVOLUMEMAP
                   : cube ? D3DPTEXTURECAPS_MIPCUBEMAP
                          : D3DPTEXTURECAPS_MIPMAP;
    if (!(caps->TextureCaps & mipCap)) mipmaps = false;
    if ((caps->TextureCaps & D3DPTEXTURECAPS_NONPOW2CONDITIONAL) &&
        (!IsPow2(w) || !IsPow2(h) || (volume && !IsPow2(d)))) {
      mipmaps = false;
    }
  }
  if (!mipmaps) {
    n = 1;
  } else {
    UINT largest = std::max(w, h);
    if (volume) largest = std::max(largest, d);
    UINT full = BitLength(largest);
    if (n == 0 || n > full) n = full;
    if (n != 1 && (usage & D3DUSAGE_AUTOGENMIPMAP)) n = 0;
  }

  *pWidth = w;
  *pHeight = h;
  *pDepth = d;
  *pLevels = n;
}

HRESULT CheckRequirements(IDirect3DDevice9* device, UINT* pWidth, UINT* pHeight, UINT* pDepth, UINT* pLevels,
                          DWORD usage, D3DFORMAT* pFormat, D3DPOOL pool, D3DRESOURCETYPE resourceType) {
  if (device == nullptr) {
    DebugReport(0, "pDevice pointer is invalid");
    return D3DERR_INVALIDCALL;
  }
  if (usage == 0xFFFFFFFFu) usage = 0;
  if (usage & kInvalidUsageBits) {
    DebugReport(0, "Usage parameter is invalid");
    return D3DERR_INVALIDCALL;
  }
  if (static_cast<UINT>(pool) > D3DPOOL_SCRATCH) {
    DebugReport(0, "Pool parameter is invalid");
    return D3DERR_INVALIDCALL;
  }

  UINT width = pWidth ? *pWidth : kDefault;
  UINT height = pHeight ? *pHeight : kDefault;
  UINT depth = pDepth ? *pDepth : kDefault;
  UINT levels = pLevels ? *pLevels : kDefault;
  D3DFORMAT format = pFormat ? *pFormat : D3DFMT_UNKNOWN;
  const bool scratch = pool == D3DPOOL_SCRATCH;

  if (!scratch) {
    format = FindClosestDeviceFormat(device, usage, resourceType, LookupFormat(format));
    if (format == D3DFMT_UNKNOWN) {
      DebugReport(0, "Device does not support this Usage/ResType");
      return D3DERR_NOTAVAILABLE;
    }
  } else if (format == D3DFMT_UNKNOWN) {
    format = D3DFMT_A8R8G8B8;
  }

  if (!scratch) {
    D3DCAPS9 caps{};
    HRESULT hr = device->GetDeviceCaps(&caps);
    if (FAILED(hr)) return hr;
    ApplySizeRules(&caps, &width, &height, &depth, &levels, usage, format, resourceType);
  } else {
    ApplySizeRules(nullptr, &width, &height, &depth, &levels, usage, format, resourceType);
  }

  if (pWidth) *pWidth = width;
  if (pHeight) *pHeight = height;
  if (pDepth) *pDepth = depth;
  if (pLevels) *pLevels = levels;
  if (pFormat) *pFormat = format;
  return S_OK;
}

}  // namespace gfx

extern "C" HRESULT WINAPI D3DXCheckTextureRequirements(LPDIRECT3DDEVICE9 pDevice, UINT* pWidth, UINT* pHeight,
                                                       UINT* pNumMipLevels, DWORD Usage, D3DFORMAT* pFormat,
                                                       D3DPOOL Pool) {
  return gfx::CheckRequirements(pDevice, pWidth, pHeight, nullptr, pNumMipLevels, Usage, pFormat, Pool,
                                D3DRTYPE_TEXTURE);
}

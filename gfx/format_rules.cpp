// format_rules.cpp — texture size, level count and pixel format rules.
//
// Provides the format table, the closest-device-format search and the
// requirements check behind D3DXCheckTextureRequirements (see format_rules.h).
// Depends on: d3d9.h (GetDeviceCaps, GetDirect3D, GetDisplayMode,
// GetCreationParameters, IDirect3D9::CheckDeviceFormat), gfx/debug_report.h.
#include "gfx/format_rules.h"

#include <algorithm>
#include <bit>
#include <cstdint>
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
  uint64_t bestDistance = kNoDistance;
  UINT bestBits = 0;
  // A device whose description cannot be read supports nothing.
  if (device == nullptr || probe) {
    for (const FormatRow& row : kTable) {
      if (probe && FAILED(d3d->CheckDeviceFormat(caps.AdapterOrdinal, caps.DeviceType, mode.Format, usage,
                                                 resourceType, row.format))) {
        continue;
      }
      if (row.format == wanted.format) {
        best = row.format;
        break;
      }
      if (!row.substitute) continue;
      uint64_t distance = Distance(wanted, row);
      if (distance == kNoDistance) continue;
      if (distance < bestDistance || (distance == bestDistance && row.bits < bestBits)) {
        best = row.format;
        bestDistance = distance;
        bestBits = row.bits;
      }
    }
  }
  if (d3d != nullptr) d3d->Release();
  SetDebugMute(previousMute);
  return best;
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
  const bool volume = resourceType == D3DRTYPE_VOLUMETEXTURE;
  const bool cube = resourceType == D3DRTYPE_CUBETEXTURE;

  if (!scratch) {
    format = FindClosestDeviceFormat(device, usage, resourceType, LookupFormat(format));
    if (format == D3DFMT_UNKNOWN) {
      DebugReport(0, "Device does not support this Usage/ResType");
      return D3DERR_NOTAVAILABLE;
    }
  } else if (format == D3DFMT_UNKNOWN) {
    format = D3DFMT_A8R8G8B8;
  }

  if (width == kDefault && height == kDefault) {
    width = height = 256;
  } else if (width == kDefault) {
    width = height;
  } else if (height == kDefault) {
    height = width;
  }
  if (width == 0) width = 1;
  if (height == 0) height = 1;
  if (cube) width = height = std::max(width, height);
  if (depth == 0 || depth == kDefault) depth = 1;

  D3DCAPS9 caps{};
  if (!scratch) {
    HRESULT hr = device->GetDeviceCaps(&caps);
    if (FAILED(hr)) return hr;
    if (volume) {
      depth = ClampTo(depth, caps.MaxVolumeExtent);
      width = ClampTo(width, caps.MaxVolumeExtent);
      height = ClampTo(height, caps.MaxVolumeExtent);
    } else {
      width = ClampTo(width, caps.MaxTextureWidth);
      height = ClampTo(height, caps.MaxTextureHeight);
      if (!cube) {
        uint64_t limit = (caps.TextureCaps & D3DPTEXTURECAPS_SQUAREONLY) ? 1 : caps.MaxTextureAspectRatio;
        if (limit != 0) {
          width = static_cast<UINT>(std::min<uint64_t>(width, uint64_t{height} * limit));
          height = static_cast<UINT>(std::min<uint64_t>(height, uint64_t{width} * limit));
        }
      }
    }
    DWORD pow2Cap = volume ? D3DPTEXTURECAPS_VOLUMEMAP_POW2
                    : cube ? D3DPTEXTURECAPS_CUBEMAP_POW2
                           : D3DPTEXTURECAPS_POW2;
    bool pow2 = (caps.TextureCaps & pow2Cap) != 0;
    if (levels == 1 && (caps.TextureCaps & D3DPTEXTURECAPS_NONPOW2CONDITIONAL)) pow2 = false;
    if (pow2) {
      width = NextPow2(width);
      height = NextPow2(height);
      depth = NextPow2(depth);
    }
  }

  if (format == D3DFMT_DXT1 || format == D3DFMT_DXT2 || format == D3DFMT_DXT3 || format == D3DFMT_DXT4 ||
      format == D3DFMT_DXT5) {
    // Whole 4 x 4 blocks, saturating at the largest multiple of 4.
    width = width > 0xFFFFFFFCu ? 0xFFFFFFFCu : (width + 3) & ~3u;
    height = height > 0xFFFFFFFCu ? 0xFFFFFFFCu : (height + 3) & ~3u;
  }

  bool mipmaps = true;
  if (!scratch) {
    DWORD mipCap = volume ? D3DPTEXTURECAPS_MIPVOLUMEMAP
                   : cube ? D3DPTEXTURECAPS_MIPCUBEMAP
                          : D3DPTEXTURECAPS_MIPMAP;
    if (!(caps.TextureCaps & mipCap)) mipmaps = false;
    if ((caps.TextureCaps & D3DPTEXTURECAPS_NONPOW2CONDITIONAL) &&
        (!IsPow2(width) || !IsPow2(height) || (volume && !IsPow2(depth)))) {
      mipmaps = false;
    }
  }
  if (!mipmaps) {
    levels = 1;
  } else {
    UINT largest = std::max(width, height);
    if (volume) largest = std::max(largest, depth);
    UINT full = BitLength(largest);
    if (levels == 0 || levels > full) levels = full;
    if (levels != 1 && (usage & D3DUSAGE_AUTOGENMIPMAP)) levels = 0;
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

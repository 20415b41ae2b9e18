// format_rules.h — texture size, level count and pixel format rules.
//
// Provides: the format table (class, bits and channel widths of every format
// the library knows, in the order the closest-format search walks it),
// LookupFormat, FindClosestDeviceFormat, and CheckRequirements, the general
// check behind D3DXCheckTextureRequirements that also serves cube and volume
// textures.
// Depends on: windows.h, d3d9.h, gfx/gfx.h, gfx/debug_report.h.
#pragma once

#include <functional>
#include <span>

#include "gfx/gfx.h"

namespace gfx {

enum FormatClass : BYTE {
  kClassColour = 0,
  kClassPalettised = 1,
  kClassLuminance = 2,
  kClassSigned = 3,
  kClassDepth = 4,
};

struct FormatRow {
  D3DFORMAT format;
  BYTE formatClass;  // FormatClass
  BYTE bits;         // total bits per pixel (per texel for block formats)
  BYTE other;        // channel widths: other, alpha, red, green, blue
  BYTE alpha;
  BYTE red;
  BYTE green;
  BYTE blue;
  bool substitute;  // may be offered in place of another format
};

// The table in search order.
std::span<const FormatRow> FormatTable();

// The row of a format; a format not in the table reads as class colour,
// 32 bits, channels 0, 8, 8, 8, 8, never offered, with its own code.
FormatRow LookupFormat(D3DFORMAT format);

// The format closest to `wanted` that the device supports for the usage and
// resource type (with no device every row passes), or D3DFMT_UNKNOWN.
// Mutes the debug reporter while it probes.
D3DFORMAT FindClosestDeviceFormat(IDirect3DDevice9* device, DWORD usage, D3DRESOURCETYPE resourceType,
                                  const FormatRow& wanted);

// The closest-format walk over the table with the support test given: the
// wanted format itself if supported, else the nearest offered substitute of
// a compatible class (fewer bits breaking ties), else D3DFMT_UNKNOWN.
D3DFORMAT ClosestFormatAmong(const FormatRow& wanted, const std::function<bool(D3DFORMAT)>& supported);

// The size and level rules of CheckRequirements with the device's
// capabilities given (null: the scratch pool, where no device is asked).
// Sizes and the level count may hold 0xFFFFFFFF (not given), as there.
void ApplySizeRules(const D3DCAPS9* caps, UINT* width, UINT* height, UINT* depth, UINT* levels, DWORD usage,
                    D3DFORMAT format, D3DRESOURCETYPE resourceType);

// Settles width, height, depth, level count and format for a texture
// (D3DRTYPE_TEXTURE), volume (D3DRTYPE_VOLUMETEXTURE) or cube
// (D3DRTYPE_CUBETEXTURE). Any pointer may be null: a missing size or count
// reads 0xFFFFFFFF, a missing format D3DFMT_UNKNOWN, and nothing is written
// back through it. Writes back only on success.
HRESULT CheckRequirements(IDirect3DDevice9* device, UINT* width, UINT* height, UINT* depth, UINT* levels,
                          DWORD usage, D3DFORMAT* format, D3DPOOL pool, D3DRESOURCETYPE resourceType);

}  // namespace gfx

// caps_profiles.h — the capability profiles the software device can show.
//
// A profile is a named card: "default" is a modern one; the others each
// take away or add one thing an older card lacked, so that the image
// library's fall-back roads can be seen working:
//   "pow2"               textures must have power-of-two sizes
//   "nonpow2conditional" power of two, except single-level textures
//   "squareonly"         textures must be square
//   "aspect8"            texture aspect ratio at most 8
//   "noblend"            no SRCALPHA / INVSRCALPHA blending
//   "untransformed"      pre-transformed vertices are not clipped
//                        (no D3DPMISCCAPS_CLIPTLVERTS)
//   "noa8r8g8b8"         A8R8G8B8 textures are not supported
//   "nomipmap"           no mip-mapped textures
// An unknown name means "default".
//
// Depends on: d3d9.h.
#pragma once

#include <d3d9.h>

#include <string>

namespace d3d9sw {

struct Profile {
  std::string name = "default";
  D3DCAPS9 caps{};          // DeviceType is filled in per device type
  bool a8r8g8b8 = true;     // A8R8G8B8 textures supported
};

Profile MakeProfile(const std::string& name);

// Whether the device can hold and sample textures of `format` under
// `profile` (pools other than scratch).
bool TextureFormatSupported(const Profile& profile, D3DFORMAT format);

}  // namespace d3d9sw

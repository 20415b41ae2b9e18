// caps_profiles.h — the capability profiles the software device can show.
//
// A profile is a named card: "default" is a modern one; the others each
// take away or add one thing an older card lacked (power-of-two or square
// textures, a bounded aspect ratio, no alpha blending, no clipping of
// pre-transformed vertices, no A8R8G8B8, no mip maps), so that the image
// library's fall-back roads can be seen working. The table in
// caps_profiles.cpp is the one list of them; an unknown name is refused.
//
// Depends on: d3d9.h.
#pragma once

#include <d3d9.h>

#include <string>
#include <vector>

namespace d3d9sw {

struct Profile {
  std::string name = "default";
  D3DCAPS9 caps{};          // DeviceType is filled in per device type
  bool a8r8g8b8 = true;     // A8R8G8B8 textures supported
};

// False, leaving `out` alone, when no profile has that name.
bool MakeProfile(const std::string& name, Profile* out);

// The known names, in table order ("default" first), and the same joined by
// ", " for messages.
std::vector<std::string> ProfileNames();
std::string ProfileNameList();

// Whether the device can hold and sample textures of `format` under
// `profile` (pools other than scratch).
bool TextureFormatSupported(const Profile& profile, D3DFORMAT format);

}  // namespace d3d9sw

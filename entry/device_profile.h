// device_profile.h — checking the Direct3D device profile a run asks for.
//
// Provides: entry::CheckDeviceProfile, for entries that take a profile name
// from outside (VELMORA_D3D_PROFILE, --profile): an unknown name is an error
// that lists the known ones, before anything runs.
// Depends on: the software device's profile table (platform/d3d9).
#pragma once

#include <string>

namespace entry {

// True when `name` is a known profile; otherwise false with `error` set to a
// one-line message naming the known profiles.
bool CheckDeviceProfile(const std::string& name, std::string* error);

}  // namespace entry

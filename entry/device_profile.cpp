// device_profile.cpp — checking the Direct3D device profile a run asks for.
// Depends on: entry/device_profile.h, platform/d3d9/caps_profiles.h.
#include "entry/device_profile.h"

#include "platform/d3d9/caps_profiles.h"

namespace entry {

bool CheckDeviceProfile(const std::string& name, std::string* error) {
  d3d9sw::Profile profile;
  if (d3d9sw::MakeProfile(name, &profile)) return true;
  *error = "unknown Direct3D device profile \"" + name + "\"; known profiles: " + d3d9sw::ProfileNameList();
  return false;
}

}  // namespace entry

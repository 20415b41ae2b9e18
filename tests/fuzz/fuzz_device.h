// Shared by the fuzz targets that need a device: one headless host, window
// and software Direct3D 9 device for the life of the process (null when
// they cannot be made).
#pragma once

#include <windows.h>
#include <d3d9.h>

#include "tools/headless_device/headless_device.h"

namespace fuzz_support {

// Made on first use and kept for the life of the process.
inline IDirect3DDevice9* Device() {
  static headless::HeadlessDevice* headless = new headless::HeadlessDevice();
  return headless->Device();
}

}  // namespace fuzz_support

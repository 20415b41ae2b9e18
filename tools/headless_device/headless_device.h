// headless_device.h — a headless host made current, a plain window and a
// software Direct3D 9 device on it: what tools, benchmarks and tests set
// up before they ask the image library or the device for anything.
#pragma once

#include <windows.h>
#include <d3d9.h>

#include "host/headless/headless_host.h"

namespace headless {

struct DeviceOptions {
  UINT width = 800, height = 640;  // the window's size (the back buffer's)
  // Direct3D's own window (the desktop) instead of one made here.
  bool onDesktop = false;
  // Any field left zero is the device's default; Windowed is always set.
  D3DPRESENT_PARAMETERS present = {};
};

// Made in order (host current, window, Direct3D, device) and released in
// reverse, the host made current again for the releases and the host that
// was current before made current at the end. Result() says
// how far it got: S_OK, E_FAIL without a window or Direct3D object, or
// CreateDevice's own error.
class HeadlessDevice {
 public:
  // `host` stays the caller's; null makes one owned here.
  explicit HeadlessDevice(host::HeadlessHost* host = nullptr, const DeviceOptions& options = {});
  ~HeadlessDevice();
  HeadlessDevice(const HeadlessDevice&) = delete;
  HeadlessDevice& operator=(const HeadlessDevice&) = delete;

  HRESULT Result() const { return result_; }
  host::HeadlessHost& Host() { return *host_; }
  HWND Window() const { return window_; }
  IDirect3D9* Direct3D() const { return d3d_; }
  IDirect3DDevice9* Device() const { return device_; }

 private:
  host::Host* previous_ = nullptr;
  host::HeadlessHost* owned_ = nullptr;
  host::HeadlessHost* host_ = nullptr;
  HWND window_ = nullptr;
  bool ownWindow_ = false;
  IDirect3D9* d3d_ = nullptr;
  IDirect3DDevice9* device_ = nullptr;
  HRESULT result_ = E_FAIL;
};

}  // namespace headless

// Shared by the fuzz targets that need a device: one headless host, window
// and software Direct3D 9 device for the life of the process (null when
// they cannot be made).
#pragma once

#include <windows.h>
#include <d3d9.h>

#include "host/headless/headless_host.h"

namespace fuzz_support {

inline LRESULT CALLBACK FuzzWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) { return DefWindowProcA(hwnd, msg, wp, lp); }

inline IDirect3DDevice9* Device() {
  static host::HeadlessHost* host = nullptr;
  static IDirect3DDevice9* device = nullptr;
  if (host != nullptr) return device;
  host = new host::HeadlessHost();
  host::SetCurrent(host);
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = FuzzWindowProc;
  wc.lpszClassName = "FUZZTEXTURE";
  RegisterClassExA(&wc);
  HWND window = CreateWindowExA(0, "FUZZTEXTURE", "", WS_OVERLAPPEDWINDOW, 0, 0, 800, 640, nullptr, nullptr, nullptr,
                                nullptr);
  IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
  D3DPRESENT_PARAMETERS pp{};
  pp.BackBufferCount = 1;
  pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
  pp.Windowed = TRUE;
  if (d3d) d3d->CreateDevice(0, D3DDEVTYPE_HAL, window, D3DCREATE_MIXED_VERTEXPROCESSING, &pp, &device);
  return device;
}

}  // namespace fuzz_support

// direct3d.h — the software IDirect3D9 object: one adapter, the display as
// the host reports it, and the capability profile chosen by the host.
//
// Fault injection names asked here: "Direct3DCreate9",
// "IDirect3D9.CreateDevice.HAL", "IDirect3D9.CreateDevice.REF".
// Depends on: d3d9.h, caps_profiles.h.
#pragma once

#include <com_object.h>
#include <d3d9.h>

#include "platform/d3d9/caps_profiles.h"

namespace d3d9sw {

class Direct3D9 final : public platform::ComObject<IDirect3D9, IID_IDirect3D9> {
 public:
  explicit Direct3D9(const Profile& profile) : profile_(profile) {}

  HRESULT STDMETHODCALLTYPE RegisterSoftwareDevice(void* initialize) override;
  UINT STDMETHODCALLTYPE GetAdapterCount() override;
  HRESULT STDMETHODCALLTYPE GetAdapterIdentifier(UINT adapter, DWORD flags, D3DADAPTER_IDENTIFIER9* id) override;
  UINT STDMETHODCALLTYPE GetAdapterModeCount(UINT adapter, D3DFORMAT format) override;
  HRESULT STDMETHODCALLTYPE EnumAdapterModes(UINT adapter, D3DFORMAT format, UINT mode,
                                             D3DDISPLAYMODE* out) override;
  HRESULT STDMETHODCALLTYPE GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) override;
  HRESULT STDMETHODCALLTYPE CheckDeviceType(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat,
                                            D3DFORMAT backBufferFormat, BOOL windowed) override;
  HRESULT STDMETHODCALLTYPE CheckDeviceFormat(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat, DWORD usage,
                                              D3DRESOURCETYPE resourceType, D3DFORMAT checkFormat) override;
  HRESULT STDMETHODCALLTYPE CheckDeviceMultiSampleType(UINT adapter, D3DDEVTYPE type, D3DFORMAT format,
                                                       BOOL windowed, D3DMULTISAMPLE_TYPE samples,
                                                       DWORD* quality) override;
  HRESULT STDMETHODCALLTYPE CheckDepthStencilMatch(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat,
                                                   D3DFORMAT targetFormat, D3DFORMAT depthFormat) override;
  HRESULT STDMETHODCALLTYPE CheckDeviceFormatConversion(UINT adapter, D3DDEVTYPE type, D3DFORMAT source,
                                                        D3DFORMAT target) override;
  HRESULT STDMETHODCALLTYPE GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS9* caps) override;
  HMONITOR STDMETHODCALLTYPE GetAdapterMonitor(UINT adapter) override;
  HRESULT STDMETHODCALLTYPE CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focus, DWORD behavior,
                                         D3DPRESENT_PARAMETERS* params, IDirect3DDevice9** device) override;

  const Profile& DeviceProfile() const { return profile_; }
  // The display as the host reports it.
  static D3DDISPLAYMODE DisplayMode();

 private:
  ~Direct3D9() override = default;
  Profile profile_;
};

}  // namespace d3d9sw

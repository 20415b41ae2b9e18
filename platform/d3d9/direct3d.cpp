// direct3d.cpp — the Direct3D object and its factory.
#include "platform/d3d9/direct3d.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "host/host.h"
#include "platform/d3d9/device.h"

namespace d3d9sw {
namespace {

bool ValidType(D3DDEVTYPE type) { return type == D3DDEVTYPE_HAL || type == D3DDEVTYPE_REF; }

// Display formats the adapter can show.
bool DisplayFormat(D3DFORMAT f) { return f == D3DFMT_X8R8G8B8; }

}  // namespace

D3DDISPLAYMODE Direct3D9::DisplayMode() {
  int width = 1024, height = 768;
  if (host::Host* h = host::Current()) h->DesktopSize(&width, &height);
  return D3DDISPLAYMODE{static_cast<UINT>(width), static_cast<UINT>(height), 60, D3DFMT_X8R8G8B8};
}

HRESULT Direct3D9::QueryInterface(REFIID riid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IDirect3D9) {
    AddRef();
    *object = static_cast<IDirect3D9*>(this);
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG Direct3D9::AddRef() { return ++refs_; }

ULONG Direct3D9::Release() {
  if (refs_ == 0) return 0;
  const ULONG left = --refs_;
  if (left == 0) delete this;
  return left;
}

HRESULT Direct3D9::RegisterSoftwareDevice(void*) { return D3DERR_INVALIDCALL; }
UINT Direct3D9::GetAdapterCount() { return 1; }

HRESULT Direct3D9::GetAdapterIdentifier(UINT adapter, DWORD flags, D3DADAPTER_IDENTIFIER9* id) {
  (void)flags;
  if (adapter != 0 || id == nullptr) return D3DERR_INVALIDCALL;
  std::memset(id, 0, sizeof *id);
  std::snprintf(id->Driver, sizeof id->Driver, "velmora_d3d9");
  std::snprintf(id->Description, sizeof id->Description, "Velmora software device (%s)", profile_.name.c_str());
  std::snprintf(id->DeviceName, sizeof id->DeviceName, "\\\\.\\DISPLAY1");
  return D3D_OK;
}

UINT Direct3D9::GetAdapterModeCount(UINT adapter, D3DFORMAT format) {
  return adapter == 0 && DisplayFormat(format) ? 1 : 0;
}

HRESULT Direct3D9::EnumAdapterModes(UINT adapter, D3DFORMAT format, UINT mode, D3DDISPLAYMODE* out) {
  if (adapter != 0 || out == nullptr || mode != 0) return D3DERR_INVALIDCALL;
  if (!DisplayFormat(format)) return D3DERR_NOTAVAILABLE;
  *out = DisplayMode();
  return D3D_OK;
}

HRESULT Direct3D9::GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) {
  if (adapter != 0 || mode == nullptr) return D3DERR_INVALIDCALL;
  *mode = DisplayMode();
  return D3D_OK;
}

HRESULT Direct3D9::CheckDeviceType(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat,
                                   D3DFORMAT backBufferFormat, BOOL windowed) {
  if (adapter != 0 || !ValidType(type)) return D3DERR_INVALIDCALL;
  if (!windowed || !DisplayFormat(adapterFormat)) return D3DERR_NOTAVAILABLE;
  if (backBufferFormat != D3DFMT_X8R8G8B8 && backBufferFormat != D3DFMT_A8R8G8B8 &&
      backBufferFormat != D3DFMT_UNKNOWN)
    return D3DERR_NOTAVAILABLE;
  return D3D_OK;
}

HRESULT Direct3D9::CheckDeviceFormat(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat, DWORD usage,
                                     D3DRESOURCETYPE resourceType, D3DFORMAT checkFormat) {
  if (adapter != 0 || !ValidType(type)) return D3DERR_INVALIDCALL;
  if (!DisplayFormat(adapterFormat)) return D3DERR_NOTAVAILABLE;
  // Usages that only ask a question do not change the answer here.
  constexpr DWORD kQueries = D3DUSAGE_QUERY_LEGACYBUMPMAP | D3DUSAGE_QUERY_SRGBREAD | D3DUSAGE_QUERY_FILTER |
                             D3DUSAGE_QUERY_SRGBWRITE | D3DUSAGE_QUERY_POSTPIXELSHADER_BLENDING |
                             D3DUSAGE_QUERY_VERTEXTEXTURE | D3DUSAGE_QUERY_WRAPANDMIP;
  constexpr DWORD kPlain = D3DUSAGE_DYNAMIC | D3DUSAGE_SOFTWAREPROCESSING | D3DUSAGE_WRITEONLY | kQueries;
  if (usage & (D3DUSAGE_DEPTHSTENCIL | D3DUSAGE_DMAP | D3DUSAGE_QUERY_VERTEXTEXTURE | D3DUSAGE_QUERY_SRGBWRITE |
               D3DUSAGE_QUERY_SRGBREAD | D3DUSAGE_QUERY_LEGACYBUMPMAP))
    return D3DERR_NOTAVAILABLE;
  if (usage & D3DUSAGE_RENDERTARGET) {
    // Only the back buffer is drawn into.
    return resourceType == D3DRTYPE_SURFACE && (checkFormat == D3DFMT_X8R8G8B8 || checkFormat == D3DFMT_A8R8G8B8)
               ? D3D_OK
               : D3DERR_NOTAVAILABLE;
  }
  switch (resourceType) {
    case D3DRTYPE_TEXTURE:
    case D3DRTYPE_SURFACE: break;
    default: return D3DERR_NOTAVAILABLE;  // no cube, volume or buffer resources
  }
  if (!TextureFormatSupported(profile_, checkFormat)) return D3DERR_NOTAVAILABLE;
  if (usage & D3DUSAGE_AUTOGENMIPMAP) {
    if (usage & ~(kPlain | D3DUSAGE_AUTOGENMIPMAP)) return D3DERR_NOTAVAILABLE;
    return D3DOK_NOAUTOGEN;  // the format is fine; its levels are not made for the caller
  }
  if (usage & ~kPlain) return D3DERR_NOTAVAILABLE;
  return D3D_OK;
}

HRESULT Direct3D9::CheckDeviceMultiSampleType(UINT adapter, D3DDEVTYPE type, D3DFORMAT, BOOL,
                                              D3DMULTISAMPLE_TYPE samples, DWORD* quality) {
  if (adapter != 0 || !ValidType(type)) return D3DERR_INVALIDCALL;
  if (samples != D3DMULTISAMPLE_NONE) return D3DERR_NOTAVAILABLE;
  if (quality) *quality = 1;
  return D3D_OK;
}

HRESULT Direct3D9::CheckDepthStencilMatch(UINT adapter, D3DDEVTYPE type, D3DFORMAT, D3DFORMAT, D3DFORMAT) {
  if (adapter != 0 || !ValidType(type)) return D3DERR_INVALIDCALL;
  return D3DERR_NOTAVAILABLE;  // no depth buffers
}

HRESULT Direct3D9::CheckDeviceFormatConversion(UINT adapter, D3DDEVTYPE type, D3DFORMAT source, D3DFORMAT target) {
  if (adapter != 0 || !ValidType(type)) return D3DERR_INVALIDCALL;
  return source == target ? D3D_OK : D3DERR_NOTAVAILABLE;
}

HRESULT Direct3D9::GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS9* caps) {
  if (adapter != 0 || !ValidType(type) || caps == nullptr) return D3DERR_INVALIDCALL;
  *caps = profile_.caps;
  caps->DeviceType = type;
  return D3D_OK;
}

HMONITOR Direct3D9::GetAdapterMonitor(UINT adapter) {
  // One monitor; the handle only has to be non-null and stable.
  static HMONITOR__ monitor{};
  return adapter == 0 ? &monitor : nullptr;
}

HRESULT Direct3D9::CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focus, DWORD behavior,
                                D3DPRESENT_PARAMETERS* params, IDirect3DDevice9** device) {
  if (adapter != 0 || device == nullptr || params == nullptr) return D3DERR_INVALIDCALL;
  if (type == D3DDEVTYPE_HAL) {
    if (host::ShouldFail("IDirect3D9.CreateDevice.HAL")) return D3DERR_NOTAVAILABLE;
  } else if (type == D3DDEVTYPE_REF) {
    if (host::ShouldFail("IDirect3D9.CreateDevice.REF")) return D3DERR_NOTAVAILABLE;
  } else {
    return D3DERR_INVALIDCALL;
  }
  HRESULT hr = D3DERR_INVALIDCALL;
  Device* d = Device::Create(this, profile_, type, focus, behavior, params, &hr);
  if (d == nullptr) return hr;
  *device = d;
  return D3D_OK;
}

}  // namespace d3d9sw

extern "C" IDirect3D9* WINAPI Direct3DCreate9(UINT SDKVersion) {
  if (SDKVersion != D3D_SDK_VERSION) return nullptr;
  if (host::ShouldFail("Direct3DCreate9")) return nullptr;
  std::string name = "default";
  if (host::Host* h = host::Current()) name = h->DeviceProfile();
  d3d9sw::Profile profile;
  if (!d3d9sw::MakeProfile(name, &profile)) {
    // Never a silent stand-in: a mistyped profile would test the wrong card.
    const std::string message =
        "Direct3DCreate9: unknown device profile \"" + name + "\"; known: " + d3d9sw::ProfileNameList() + "\n";
    OutputDebugStringA(message.c_str());
    return nullptr;
  }
  try {
    return new d3d9sw::Direct3D9(profile);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

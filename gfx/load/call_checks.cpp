// call_checks.cpp — the entries' shared argument checks (call_checks.h).
// Depends on: gfx/load/call_checks.h, gfx/debug_report.h.
#include "gfx/load/call_checks.h"

#include <cstdint>

#include "gfx/debug_report.h"

namespace gfx {

HRESULT RequirePointer(const void* pointer, const char* name) {
  if (pointer != nullptr) return S_OK;
  DebugReport(0, "%s pointer is invalid", name);
  return D3DERR_INVALIDCALL;
}

HRESULT RequireSourceData(const void* data, UINT size) {
  if (data != nullptr && size != 0) return S_OK;
  DebugReport(0, "Source image data (pvSrcData or cbSrcData) is invalid");
  return D3DERR_INVALIDCALL;
}

HRESULT RequireDeviceAndTexture(const void* device, const void* textureSlot) {
  HRESULT hr = RequirePointer(device, "pDevice");
  if (SUCCEEDED(hr)) hr = RequirePointer(textureSlot, "Texture");
  return hr;
}

HRESULT RequireRectWithin(const RECT& r, UINT width, UINT height) {
  if (r.left < 0 || r.top < 0 || r.left > r.right || r.top > r.bottom || uint64_t(r.right) > width ||
      uint64_t(r.bottom) > height) {
    DebugReport(0, "Invalid rect");
    return D3DERR_INVALIDCALL;
  }
  return S_OK;
}

}  // namespace gfx

// resource_reader.cpp — finding a texture's bytes among a module's resources.
// Depends on: windows.h, gfx/gfx.h (D3DXERR_INVALIDDATA), gfx/debug_report.h.
#include "gfx/load/resource_reader.h"

#include "gfx/debug_report.h"
#include "gfx/gfx.h"

namespace gfx {
namespace {

HRSRC Find(HMODULE module, const void* name, bool wide, WORD type) {
  if (wide) return FindResourceW(module, static_cast<LPCWSTR>(name), MAKEINTRESOURCEW(type));
  return FindResourceA(module, static_cast<LPCSTR>(name), MAKEINTRESOURCEA(type));
}

// Hands the system's wording of the last error to the reporter.
HRESULT ReportLastError() {
  LPSTR text = nullptr;
  DWORD length = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM, nullptr, GetLastError(),
                                0, reinterpret_cast<LPSTR>(&text), 0, nullptr);
  if (length != 0 && text != nullptr) DebugReport(0, "%s", text);
  if (text != nullptr) LocalFree(text);
  return D3DXERR_INVALIDDATA;
}

}  // namespace

HRESULT ReadResource(HMODULE module, const void* name, bool bitmapsAllowed, bool wide, ResourceView* view) {
  HRSRC info = nullptr;
  if (bitmapsAllowed) info = Find(module, name, wide, 2 /* RT_BITMAP */);
  if (info == nullptr) info = Find(module, name, wide, 10 /* RT_RCDATA */);
  if (info == nullptr) return ReportLastError();

  DWORD size = SizeofResource(module, info);
  if (size == 0) return ReportLastError();
  HGLOBAL handle = LoadResource(module, info);
  if (handle == nullptr) return ReportLastError();
  const void* bytes = LockResource(handle);
  if (bytes == nullptr) return ReportLastError();

  if (view != nullptr) {
    view->bytes = static_cast<const BYTE*>(bytes);
    view->size = size;
    view->handle = handle;
  }
  return S_OK;
}

}  // namespace gfx

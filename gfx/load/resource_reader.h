// resource_reader.h — the bytes of an image resource of a module, in place.
//
// Provides: gfx::ResourceView and gfx::ReadResource, which looks a resource
// up as RT_BITMAP first and then as RT_RCDATA (or as RT_RCDATA only when
// bitmaps are not wanted), by narrow or wide name.
// Depends on: windows.h (FindResourceA/W, SizeofResource, LoadResource,
// LockResource, GetLastError, FormatMessageA, LocalFree), gfx/debug_report.h.
#pragma once

#include <windows.h>

namespace gfx {

// The resource's bytes inside the loaded program image: read-only, never
// copied, nothing to free when dropped.
struct ResourceView {
  const BYTE* bytes = nullptr;
  DWORD size = 0;
  HGLOBAL handle = nullptr;
};

// `name` is an LPCSTR, or an LPCWSTR when `wide` is true (either may be a
// MAKEINTRESOURCE number). On failure the system's text for the last error
// goes to the debug reporter and the result is D3DXERR_INVALIDDATA; the view
// is written only on success.
HRESULT ReadResource(HMODULE module, const void* name, bool bitmapsAllowed, bool wide, ResourceView* view);

}  // namespace gfx

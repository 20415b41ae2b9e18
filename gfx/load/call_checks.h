// call_checks.h — the argument checks the file, texture and surface entries
// share, each with the message the debug reporter gives for it.
//
// Provides: RequirePointer, RequireSourceData, RequireDeviceAndTexture and
// RequireRectWithin. Each returns S_OK, or reports and returns
// D3DERR_INVALIDCALL.
// Depends on: gfx/gfx.h, gfx/debug_report.h.
#pragma once

#include "gfx/gfx.h"

namespace gfx {

// "<name> pointer is invalid" when `pointer` is null.
HRESULT RequirePointer(const void* pointer, const char* name);

// Image file bytes held in memory: present and not empty.
HRESULT RequireSourceData(const void* data, UINT size);

// The device and the texture slot every texture-creating entry needs.
HRESULT RequireDeviceAndTexture(const void* device, const void* textureSlot);

// A rectangle that is not inverted and lies within width x height.
HRESULT RequireRectWithin(const RECT& rect, UINT width, UINT height);

}  // namespace gfx

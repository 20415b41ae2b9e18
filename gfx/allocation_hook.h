// allocation_hook.h — the library's out-of-memory hook.
//
// Provides: gfx::SetAllocationFailureHook, set by a test or a program runner
// to make chosen allocations of the library fail, and gfx::AllocationFails,
// which every allocation of the library asks first, so each out-of-memory
// path can be exercised.
// Depends on: nothing.
#pragma once

namespace gfx {

// Returns true when this allocation is to fail.
using AllocationFailureHook = bool (*)();

// Null (the default) lets every allocation proceed.
void SetAllocationFailureHook(AllocationFailureHook hook);

bool AllocationFails();

}  // namespace gfx

// allocation_hook.cpp — the library's out-of-memory hook.
// Depends on: gfx/allocation_hook.h.
#include "gfx/allocation_hook.h"

#include <atomic>

namespace gfx {
namespace {

// Atomic because a runner may set it while another thread already decodes.
std::atomic<AllocationFailureHook> allocationFailureHook{nullptr};

}  // namespace

void SetAllocationFailureHook(AllocationFailureHook hook) { allocationFailureHook.store(hook); }

bool AllocationFails() {
  const AllocationFailureHook hook = allocationFailureHook.load();
  return hook != nullptr && hook();
}

}  // namespace gfx

// host_allocation_faults.h — while alive, the image library's allocations ask
// the current host's "alloc" fault, so FailAt("alloc", n) reaches them as it
// does in the program (whose runner routes the hook the same way).
#pragma once

#include "gfx/allocation_hook.h"
#include "host/host.h"

class HostAllocationFaults {
 public:
  HostAllocationFaults() { gfx::SetAllocationFailureHook(&AskHost); }
  ~HostAllocationFaults() { gfx::SetAllocationFailureHook(nullptr); }
  HostAllocationFaults(const HostAllocationFaults&) = delete;
  HostAllocationFaults& operator=(const HostAllocationFaults&) = delete;

 private:
  static bool AskHost() { return host::ShouldFail("alloc"); }
};

// com.cpp — CoInitialize, CoInitializeEx, CoUninitialize.
//
// Counted per thread as on the platform: the first call answers S_OK, later
// ones S_FALSE, and a different threading model RPC_E_CHANGED_MODE.
// Fault-injection name: "CoInitialize" (answers E_OUTOFMEMORY).
#include <objbase.h>

#include "host/host.h"

namespace {
thread_local int t_comCount = 0;
thread_local DWORD t_comModel = 0;
}  // namespace

extern "C" {

HRESULT WINAPI CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit) {
  if (pvReserved != nullptr || (dwCoInit & ~static_cast<DWORD>(0xF)) != 0) return E_INVALIDARG;
  if (host::ShouldFail("CoInitialize")) return E_OUTOFMEMORY;
  DWORD model = dwCoInit & COINIT_APARTMENTTHREADED;
  if (t_comCount > 0) {
    if (model != t_comModel) return RPC_E_CHANGED_MODE;
    ++t_comCount;
    return S_FALSE;
  }
  t_comModel = model;
  t_comCount = 1;
  return S_OK;
}

HRESULT WINAPI CoInitialize(LPVOID pvReserved) { return CoInitializeEx(pvReserved, COINIT_APARTMENTTHREADED); }

VOID WINAPI CoUninitialize(void) {
  if (t_comCount > 0) --t_comCount;
}

}  // extern "C"

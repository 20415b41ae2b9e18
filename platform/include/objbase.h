// objbase.h — COM initialisation, the subset the program uses.
//
// Provides: CoInitialize, CoInitializeEx, CoUninitialize. The objects of
// platform/ (Direct3D, DirectInput, DirectSound) are created by their own
// factory functions, so no class registry exists; initialisation is counted
// so that the results match the platform's (S_OK first, S_FALSE again).
#pragma once

#include <windows.h>

#define COINIT_MULTITHREADED 0x0
#define COINIT_APARTMENTTHREADED 0x2
#define RPC_E_CHANGED_MODE ((HRESULT)0x80010106)

extern "C" {
HRESULT WINAPI CoInitialize(LPVOID pvReserved);
HRESULT WINAPI CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit);
VOID WINAPI CoUninitialize(void);
}

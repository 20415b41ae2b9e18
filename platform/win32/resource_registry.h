// resource_registry.h — the resources of the program and of test modules.
//
// Provides: platform::RegisterResource, which adds (or replaces) one
// resource of a module, found afterwards by FindResourceA/W/ExA; and
// platform::ClearResources. The build registers the program's resources
// (cmake/Resources.cmake) for the null module at static-initialisation time;
// tests register small resources of their own.
#pragma once

#include <windows.h>

namespace platform {

// `type` and `name` are integer resources (MAKEINTRESOURCEA) or strings
// (compared without regard to case; "#123" means the number 123). A null
// module is the program itself (GetModuleHandleA(NULL)). The bytes are
// copied.
void RegisterResource(HMODULE module, LPCSTR type, LPCSTR name, WORD language, const void* data, DWORD size);

// Removes every registered resource of every module.
void ClearResources();

}  // namespace platform

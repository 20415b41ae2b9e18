// file_access.h — reading and writing whole image files for the file
// roads and the writers.
//
// Provides: WideToUtf8 (UTF-16 names to the UTF-8 bytes a Linux path is
// made of; an unpaired surrogate becomes U+FFFD), ReadWholeFile (refuses
// files the memory entries could not take: above 2 GiB) and WriteWholeFile.
// Each reports its failure through the debug reporter.
// Depends on: windows.h, the C library's stdio.
#pragma once

#include <string>
#include <vector>

#include <windows.h>

namespace gfx {

std::string WideToUtf8(LPCWSTR text);

// S_OK, or D3DXERR_INVALIDDATA when the file cannot be opened or read,
// E_OUTOFMEMORY when its bytes cannot be held.
HRESULT ReadWholeFile(const char* path, std::vector<BYTE>* bytes);

// S_OK, or E_FAIL when the file cannot be created or written.
HRESULT WriteWholeFile(const char* path, const void* bytes, size_t size);

}  // namespace gfx

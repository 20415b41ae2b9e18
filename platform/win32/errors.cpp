// errors.cpp — the thread's last error, system message texts, local memory.
//
// Provides: GetLastError, SetLastError, FormatMessageA (FROM_SYSTEM, with or
// without ALLOCATE_BUFFER; English texts), LocalAlloc, LocalFree.
// Fault-injection name: "LocalAlloc".
#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "host/host.h"
#include "platform/win32/win32_internal.h"

namespace platform::detail {
namespace {

thread_local DWORD t_lastError = ERROR_SUCCESS;

struct SystemText {
  DWORD id;
  const char* text;
};

// The system's English texts, each ending in CR LF as the system's do.
constexpr SystemText kSystemTexts[] = {
    {0, "The operation completed successfully.\r\n"},
    {2, "The system cannot find the file specified.\r\n"},
    {3, "The system cannot find the path specified.\r\n"},
    {5, "Access is denied.\r\n"},
    {6, "The handle is invalid.\r\n"},
    {8, "Not enough memory resources are available to process this command.\r\n"},
    {13, "The data is invalid.\r\n"},
    {14, "Not enough memory resources are available to complete this operation.\r\n"},
    {87, "The parameter is incorrect.\r\n"},
    {122, "The data area passed to a system call is too small.\r\n"},
    {126, "The specified module could not be found.\r\n"},
    {317, "The system cannot find message text for message number 0x%1 in the message file for %2.\r\n"},
    {1004, "Invalid flags.\r\n"},
    {1113, "No mapping for the Unicode character exists in the target multi-byte code page.\r\n"},
    {1400, "Invalid window handle.\r\n"},
    {1407, "Cannot find window class.\r\n"},
    {1410, "Class already exists.\r\n"},
    {1812, "The specified image file did not contain a resource section.\r\n"},
    {1813, "The specified resource type cannot be found in the image file.\r\n"},
    {1814, "The specified resource name cannot be found in the image file.\r\n"},
    {1815, "The specified resource language ID cannot be found in the image file.\r\n"},
    // COM results that the system also has texts for.
    {0x80004001, "Not implemented\r\n"},
    {0x80004002, "No such interface supported\r\n"},
    {0x80004003, "Invalid pointer\r\n"},
    {0x80004005, "Unspecified error\r\n"},
    {0x8000FFFF, "Catastrophic failure\r\n"},
    {0x80070005, "Access is denied.\r\n"},
    {0x80070006, "The handle is invalid.\r\n"},
    {0x8007000E, "Not enough memory resources are available to complete this operation.\r\n"},
    {0x80070057, "The parameter is incorrect.\r\n"},
};

const char* FindSystemText(DWORD id) {
  for (const SystemText& t : kSystemTexts) {
    if (t.id == id) return t.text;
  }
  return nullptr;
}

}  // namespace

void ResetErrors() { t_lastError = ERROR_SUCCESS; }

}  // namespace platform::detail

extern "C" {

DWORD WINAPI GetLastError(void) { return platform::detail::t_lastError; }

VOID WINAPI SetLastError(DWORD dwErrCode) { platform::detail::t_lastError = dwErrCode; }

DWORD WINAPI FormatMessageA(DWORD dwFlags, LPCVOID lpSource, DWORD dwMessageId, DWORD dwLanguageId, LPSTR lpBuffer,
                            DWORD nSize, va_list* Arguments) {
  (void)lpSource;
  (void)Arguments;  // the system texts we carry take no inserts
  if ((dwFlags & FORMAT_MESSAGE_FROM_SYSTEM) == 0 || lpBuffer == nullptr) {
    // Texts from strings or other modules are not carried here.
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  // Neutral, user default or any English: the texts are English.
  WORD primary = static_cast<WORD>(dwLanguageId & 0x3FF);
  if (dwLanguageId != 0 && primary != LANG_NEUTRAL && primary != LANG_ENGLISH) {
    SetLastError(ERROR_RESOURCE_LANG_NOT_FOUND);
    return 0;
  }
  const char* text = platform::detail::FindSystemText(dwMessageId);
  if (text == nullptr) {
    SetLastError(ERROR_MR_MID_NOT_FOUND);
    return 0;
  }
  size_t len = std::strlen(text);
  if (dwFlags & FORMAT_MESSAGE_ALLOCATE_BUFFER) {
    // lpBuffer is really where the new buffer's address goes; nSize is the
    // least number of bytes to allocate.
    size_t bytes = len + 1 > nSize ? len + 1 : nSize;
    char* buf = static_cast<char*>(LocalAlloc(LMEM_FIXED, bytes));
    if (buf == nullptr) return 0;
    std::memcpy(buf, text, len + 1);
    *reinterpret_cast<LPSTR*>(lpBuffer) = buf;
    return static_cast<DWORD>(len);
  }
  if (nSize < len + 1) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::memcpy(lpBuffer, text, len + 1);
  return static_cast<DWORD>(len);
}

HLOCAL WINAPI LocalAlloc(UINT uFlags, SIZE_T uBytes) {
  if ((uFlags & ~static_cast<UINT>(LPTR)) != 0) {
    // Movable memory is not offered: callers here want fixed pointers.
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (host::ShouldFail("LocalAlloc")) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  size_t n = uBytes == 0 ? 1 : uBytes;
  void* p = (uFlags & LMEM_ZEROINIT) ? std::calloc(1, n) : std::malloc(n);
  if (p == nullptr) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return p;
}

HLOCAL WINAPI LocalFree(HLOCAL hMem) {
  std::free(hMem);
  return nullptr;
}

}  // extern "C"

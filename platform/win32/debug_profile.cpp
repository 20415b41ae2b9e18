// debug_profile.cpp — debugger output and the user's profile.
//
// Provides: OutputDebugStringA (always handed to the host, which shows it
// only when asked; with no host it goes to standard error when
// VELMORA_DEBUG_OUTPUT is set) and GetProfileIntA (a value of the host's
// profile, read as the platform reads integers there).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "host/host.h"

extern "C" {

VOID WINAPI OutputDebugStringA(LPCSTR lpOutputString) {
  if (lpOutputString == nullptr) return;
  if (host::Host* h = host::Current()) {
    h->DebugOutput(lpOutputString);
    return;
  }
  const char* env = std::getenv("VELMORA_DEBUG_OUTPUT");
  if (env != nullptr && env[0] != '\0' && env[0] != '0') std::fputs(lpOutputString, stderr);
}

UINT WINAPI GetProfileIntA(LPCSTR lpAppName, LPCSTR lpKeyName, INT nDefault) {
  host::Host* h = host::Current();
  if (h == nullptr || lpAppName == nullptr || lpKeyName == nullptr) return static_cast<UINT>(nDefault);
  std::optional<std::string> value = h->ProfileValue(lpAppName, lpKeyName);
  if (!value) return static_cast<UINT>(nDefault);
  // Leading blanks, an optional sign, then decimal digits; whatever follows
  // is ignored. No digits reads as 0, and a negative value as 0.
  const std::string& v = *value;
  size_t i = 0;
  while (i < v.size() && (v[i] == ' ' || v[i] == '\t')) ++i;
  bool negative = false;
  if (i < v.size() && (v[i] == '-' || v[i] == '+')) negative = v[i++] == '-';
  uint64_t n = 0;
  for (; i < v.size() && v[i] >= '0' && v[i] <= '9'; ++i) {
    n = n * 10 + static_cast<uint64_t>(v[i] - '0');
    if (n > 0xFFFFFFFFull) n = 0xFFFFFFFFull;  // saturate rather than wrap
  }
  if (negative) return 0;
  return static_cast<UINT>(n);
}

}  // extern "C"

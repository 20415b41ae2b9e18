// message_box.cpp — MessageBoxA and MultiByteToWideChar.
//
// Texts arrive in the ANSI code page, 932 (Shift-JIS), and are shown as
// UTF-8; a null caption shows "Error". The host shows the box and blocks
// until it is dismissed; with no host the text goes to standard error.
// Depends on: the host, text_convert (iconv).
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "host/host.h"
#include "platform/win32/message_box_style.h"
#include "platform/win32/text_convert.h"
#include "platform/win32/win32_internal.h"

extern "C" {

int WINAPI MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType) {
  if (hWnd != nullptr && !IsWindow(hWnd)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  host::MessageBoxRequest request;
  request.textBytes = lpText ? lpText : "";
  if (lpCaption) request.captionBytes = std::string(lpCaption);
  request.textUtf8 = platform::detail::ShiftJisToUtf8(lpText);
  request.captionUtf8 = lpCaption ? platform::detail::ShiftJisToUtf8(lpCaption) : "Error";
  platform::DescribeMessageBoxStyle(uType, &request);
  request.owned = hWnd != nullptr;
  if (host::Host* h = host::Current()) return platform::MessageBoxResult(h->MessageBox(request));
  std::fprintf(stderr, "%s: %s\n", request.captionUtf8.c_str(), request.textUtf8.c_str());
  return platform::MessageBoxResult(host::DialogAnswer::Ok);
}

int WINAPI MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte,
                               LPWSTR lpWideCharStr, int cchWideChar) {
  const char* from = nullptr;
  if (CodePage == CP_ACP || CodePage == 932) from = "CP932";
  else if (CodePage == CP_UTF8) from = "UTF-8";
  if (from == nullptr || lpMultiByteStr == nullptr || cbMultiByte == 0 || cbMultiByte < -1 || cchWideChar < 0 ||
      (cchWideChar > 0 && lpWideCharStr == nullptr)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if ((dwFlags & ~static_cast<DWORD>(MB_ERR_INVALID_CHARS)) != 0) {
    SetLastError(ERROR_INVALID_FLAGS);
    return 0;
  }
  // -1: the string and its terminating null.
  size_t size = cbMultiByte == -1 ? std::strlen(lpMultiByteStr) + 1 : static_cast<size_t>(cbMultiByte);
  std::string utf16;
  if (!platform::detail::ConvertText(from, "UTF-16LE", lpMultiByteStr, size, (dwFlags & MB_ERR_INVALID_CHARS) != 0,
                                     &utf16)) {
    SetLastError(ERROR_NO_UNICODE_TRANSLATION);
    return 0;
  }
  size_t units = utf16.size() / 2;
  if (units > 0x7FFFFFFF) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (cchWideChar == 0) return static_cast<int>(units);
  if (units > static_cast<size_t>(cchWideChar)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  for (size_t i = 0; i < units; ++i) {
    lpWideCharStr[i] = static_cast<WCHAR>(static_cast<uint8_t>(utf16[2 * i]) |
                                          static_cast<uint8_t>(utf16[2 * i + 1]) << 8);
  }
  return static_cast<int>(units);
}

}  // extern "C"

// debug_report.cpp — the library's debug reporter (see debug_report.h).
//
// The level comes from the "debug" value of the "Direct3D" profile section,
// read on first use and kept for the life of the process.
// Depends on: windows.h (GetProfileIntA, OutputDebugStringA).
#include "gfx/debug_report.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace gfx {
namespace {

bool levelRead = false;
UINT debugLevel = 0;
bool muted = false;

}  // namespace

void DebugReport(UINT level, const char* format, ...) {
  if (!levelRead) {
    debugLevel = GetProfileIntA("Direct3D", "debug", 0);
    levelRead = true;
  }
  if (level > debugLevel || muted || format == nullptr) return;

  char message[4096];
  va_list args;
  va_start(args, format);
  int n = std::vsnprintf(message, sizeof(message), format, args);
  va_end(args);
  if (n < 0) message[0] = '\0';  // an encoding error leaves an empty message

  // "D3DX: " + message + "\r\n", the message cut so that the line fits.
  static const char kPrefix[] = "D3DX: ";
  static const char kSuffix[] = "\r\n";
  char line[4096];
  const size_t room = sizeof(line) - (sizeof(kPrefix) - 1) - (sizeof(kSuffix) - 1) - 1;
  size_t length = std::strlen(message);
  if (length > room) length = room;
  std::memcpy(line, kPrefix, sizeof(kPrefix) - 1);
  std::memcpy(line + sizeof(kPrefix) - 1, message, length);
  std::memcpy(line + sizeof(kPrefix) - 1 + length, kSuffix, sizeof(kSuffix));  // with the terminator
  OutputDebugStringA(line);
}

bool SetDebugMute(bool mute) {
  bool previous = muted;
  muted = mute;
  return previous;
}

}  // namespace gfx

// debug_report.h — the image library's debug reporter.
//
// Each failure of a library entry writes one line "D3DX: <message>\r\n" to the
// debugger output, when the message's level is not above the "debug" value of
// the "Direct3D" profile section (read once, default 0) and the reporter is
// not muted. The library mutes it only while it probes the device.
// Depends on: windows.h (OutputDebugStringA, GetProfileIntA).
#pragma once

#include <windows.h>

namespace gfx {

// printf-style; the message is cut to fit a 4096-byte buffer.
void DebugReport(UINT level, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Mute flag, set around device probes. Returns the previous value.
bool SetDebugMute(bool muted);

}  // namespace gfx

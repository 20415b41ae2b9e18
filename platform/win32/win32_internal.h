// win32_internal.h — state shared between the files of platform/win32.
//
// Not for use outside platform/win32: the rest of the program sees only the
// Win32 calls of windows.h and, in tests, win32_state.h and
// resource_registry.h.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "host/host.h"

namespace platform::detail {

// A registered window class, as CreateWindowExA copies it into a window.
struct WindowClass {
  std::string name;  // as registered; looked up without regard to case
  ATOM atom = 0;
  UINT style = 0;
  WNDPROC proc = nullptr;
  HINSTANCE instance = nullptr;
  HICON icon = nullptr;
  HICON iconSmall = nullptr;
  HCURSOR cursor = nullptr;
  HBRUSH background = nullptr;
};

struct Window {
  HWND handle = nullptr;
  WindowClass cls;
  std::string title;  // bytes as the program gave them
  DWORD style = 0;
  RECT rect = {0, 0, 0, 0};  // outer rectangle in desktop coordinates
  bool visible = false;
  bool onHost = false;    // this window is the host's one real window
  bool destroying = false;
};

// Windows.
Window* FindWindowByHandle(HWND hwnd);  // null for unknown or destroyed handles
HWND HostWindow();                      // the window that receives host input, or null
HWND DesktopWindowHandle();
void ResetWindows();

// Message queue and timers.
void PumpHostEvents();  // moves the host's pending events into the input queue
void RemoveMessagesFor(HWND hwnd);
void KillTimersOf(HWND hwnd);
void ResetQueue();
void ResetTimers();
// Timers: the earliest due time of a timer matching the filter, or UINT64_MAX.
uint64_t NextTimerDue(HWND filter);
// Takes one due timer matching the filter (hwnd null = any, (HWND)-1 = thread
// timers); fills `msg` with its WM_TIMER. `remove` restarts its period.
bool TakeDueTimer(HWND filter, bool remove, uint64_t now, MSG* msg);

// Clock: milliseconds of the host, or of the process when no host is set.
uint64_t NowMs();

// Cursors and icons.
const host::Image* CursorImage(HCURSOR cursor);  // null: the system arrow
const host::Image* IconImage(HICON icon);        // null: the system icon
void ResetCursors();

// Text: Shift-JIS (code page 932) bytes to UTF-8; undecodable bytes become
// U+FFFD so that a message is never lost.
std::string ShiftJisToUtf8(const char* text);

// Last error and COM.
void ResetErrors();

}  // namespace platform::detail

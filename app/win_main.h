// win_main.h — the process entry's helpers.
//
// Provides: CenterWindow. WinMain itself is declared by windows.h; it
// registers the class, creates and centres the window, brings up graphics,
// keyboard and sound, deals the first round, starts the title music and
// runs the message loop until WM_QUIT.
// Depends on: devices/ (graphics, keyboard, sound, mainWindow), game/.
#pragma once

#include <windows.h>

// Resource numbers of the program's own cursor and icon groups.
constexpr WORD kGameCursorGroup = 110;
constexpr WORD kAppIconGroup = 123;

// Exit codes of a start-up that stops early.
constexpr int kExitNormal = 0;
constexpr int kExitSoundFailed = -1;
// The window could not be created: nothing can be shown or played.
constexpr int kExitNoWindow = -1;

// Centres the window's outer rectangle on the desktop and shows it.
// Always returns 1.
int CenterWindow(HWND window);

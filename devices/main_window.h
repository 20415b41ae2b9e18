// main_window.h — the handle of the one main window.
//
// WinMain sets it to null on entry and stores the window it creates; the game
// timer, the graphics device and the keyboard's and the sound device's
// cooperative levels all use it. It lives here, in the lowest layer that
// reads it, so devices and game need nothing from the application shell.
#pragma once

#include <windows.h>

extern HWND mainWindow;

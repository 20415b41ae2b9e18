// window_proc.h — the main window's procedure and the start-game action.
//
// Provides: WindowProc, which turns the timer into one game tick, a left
// click into a walker move, space or a double click into StartGame, and
// Escape or the window's destruction into the quit message; every message
// then goes on to DefWindowProcA, whose result is returned.
// Depends on: game/ (state, movement, tick), devices/sound.h (the cues).
#pragma once

#include <windows.h>

LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// Title card off, title music stopped, game music looping. The round, the
// score and the timer stay as they are.
void StartGame();

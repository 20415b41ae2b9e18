// x11_window.h — the game's window as an ordinary top-level X window.
//
// Provides: removing the WM_TRANSIENT_FOR hint SDL leaves on the window
// (pointing at the root window, which makes some window managers treat it
// as a dialog), so it is a normal top-level window with its own taskbar
// entry. Kept apart because X11's headers define names that clash with ours.
// Depends on: SDL2's window-manager info, X11 (optional at run time).
#pragma once

struct SDL_Window;

namespace host::sdl {

// Does nothing on other video drivers.
void MakeOrdinaryTopLevel(SDL_Window* window);

}  // namespace host::sdl

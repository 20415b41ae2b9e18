// x11_window.cpp — WM_TRANSIENT_FOR off the game's window.
#include "host/sdl/x11_window.h"

#include <SDL.h>

#if defined(VELMORA_HAVE_X11)
#include <SDL_syswm.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#endif

namespace host::sdl {

void MakeOrdinaryTopLevel(SDL_Window* window) {
#if defined(VELMORA_HAVE_X11) && defined(SDL_VIDEO_DRIVER_X11)
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (window == nullptr || !SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return;
  XDeleteProperty(info.info.x11.display, info.info.x11.window, XA_WM_TRANSIENT_FOR);
  XFlush(info.info.x11.display);
#else
  (void)window;
#endif
}

}  // namespace host::sdl

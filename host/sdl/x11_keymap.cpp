// x11_keymap.cpp — XQueryKeymap, mapped to host keys.
#include "host/sdl/x11_keymap.h"

#include "host/sdl/key_mapping.h"

#if defined(VELMORA_HAVE_X11)
#include <X11/Xlib.h>
#endif

namespace host::sdl {

#if defined(VELMORA_HAVE_X11)
void* OpenKeymapDisplay() { return XOpenDisplay(nullptr); }

void CloseKeymapDisplay(void* display) {
  if (display) XCloseDisplay(static_cast<Display*>(display));
}

bool ReadKeymap(void* display, uint8_t keys[256]) {
  if (display == nullptr) return false;
  char map[32];
  XQueryKeymap(static_cast<Display*>(display), map);
  // X keycodes are the kernel's evdev codes plus 8.
  for (int keycode = 8; keycode < 256; ++keycode) {
    if ((map[keycode / 8] >> (keycode % 8)) & 1) {
      int key = static_cast<int>(KeyFromEvdev(keycode - 8));
      if (key > 0) keys[key] = 0x80;
    }
  }
  return true;
}
#else
void* OpenKeymapDisplay() { return nullptr; }
void CloseKeymapDisplay(void*) {}
bool ReadKeymap(void*, uint8_t*) { return false; }
#endif

}  // namespace host::sdl

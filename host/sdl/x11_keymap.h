// x11_keymap.h — the whole keyboard's state from the X server.
//
// Provides: a private X connection used only for XQueryKeymap, which reports
// every key whichever window has the focus (the keyboard device listens in
// the background) without taking keys from anyone. Kept apart because X11's
// headers define names (Expose, None, ...) that clash with ours.
#pragma once

#include <cstdint>

namespace host::sdl {

// Null when there is no X server (or no X11 support in this build).
void* OpenKeymapDisplay();
void CloseKeymapDisplay(void* display);
// Fills keys[host key] with 0x80 for every held key.
bool ReadKeymap(void* display, uint8_t keys[256]);

}  // namespace host::sdl

// key_mapping.h — keyboard codes between SDL, X11/evdev and the host.
//
// Provides: SDL scancodes and Linux evdev key codes (X keycodes minus 8) as
// host keys (USB HID usages). A plain table with no SDL types, so it can be
// checked without a display.
#pragma once

#include "host/host.h"

namespace host::sdl {

// Key::None when the key has no host code.
Key KeyFromSdlScancode(int scancode);
Key KeyFromEvdev(int code);

}  // namespace host::sdl

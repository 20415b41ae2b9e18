// key_mapping.h — keyboard codes between SDL, X11/evdev and Windows.
//
// Provides: SDL scancodes (USB usage numbers) and Linux evdev key codes
// (X keycodes minus 8) to DirectInput key codes, and SDL scancodes to
// Windows virtual-key codes. Plain tables with no SDL types, so they can be
// checked without a display.
#pragma once

namespace host::sdl {

// 0 when the key has no DirectInput code.
int DikFromSdlScancode(int scancode);
int DikFromEvdev(int code);
// `numLock` decides whether keypad keys are digits or movement keys.
int VkFromSdlScancode(int scancode, bool numLock);

}  // namespace host::sdl

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
// Alt+Enter (either Enter) and F11 alone: the host's fullscreen toggle.
bool IsFullscreenShortcut(Key key, uint32_t mods);

// A gamepad's d-pad and left stick as held arrow keys. Stick axes run from
// -32768 to 32767 (up and left negative); inside the dead zone the stick
// holds nothing, so a resting or worn stick never walks by itself.
constexpr int kStickDeadZone = 12000;
struct PadArrows {
  bool left = false, right = false, up = false, down = false;
};
PadArrows ArrowsFromPad(PadArrows dpad, int stickX, int stickY);

}  // namespace host::sdl

// dom_keys.h — keyboard codes between the browser and Windows.
//
// Provides: a browser key's physical code (KeyboardEvent.code, e.g.
// "ArrowLeft", "KeyA") to its DirectInput key code and Windows virtual-key
// code. Plain tables with no browser types, so they can be checked natively.
// Depends on: the C++ standard library only.
#pragma once

#include <string_view>

namespace host::web {

struct DomKey {
  int vk = 0;   // Windows virtual-key code, 0 when the key has none
  int dik = 0;  // DirectInput key code, 0 when the key has none
};

// `code` is KeyboardEvent.code; `key` is KeyboardEvent.key, which tells a
// keypad digit (Num Lock on) from a keypad movement key (Num Lock off).
DomKey DomKeyFromCode(std::string_view code, std::string_view key);

}  // namespace host::web

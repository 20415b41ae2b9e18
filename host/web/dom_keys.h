// dom_keys.h — the browser's key codes as the host's own.
//
// Provides: a browser key's physical code (KeyboardEvent.code, e.g.
// "ArrowLeft", "KeyA") as a host::Key. A plain table with no browser
// types, so it is checked natively.
// Depends on: host/host.h.
#pragma once

#include <string_view>

#include "host/host.h"

namespace host::web {

// Key::None for a code the host has no key for.
Key KeyFromDomCode(std::string_view code);

}  // namespace host::web

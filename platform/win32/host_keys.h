// host_keys.h — the host's key codes in the platform's terms.
//
// Provides: a host key (USB HID usage) as a virtual-key code and as a
// DirectInput key code (the set-1 scan code the key messages carry), and
// the host's keyboard state as the DirectInput array.
// Depends on: host/host.h (the Key numbering) only.
#pragma once

#include <cstdint>

#include "host/host.h"

namespace platform {

// 0 when the key has none. `numLock` decides whether keypad keys are digits
// or movement keys.
int VkFromHostKey(host::Key key, bool numLock);
int DikFromHostKey(host::Key key);
// `hostKeys` indexed by host key, `dik` by DirectInput code; 0x80 when held.
void DikStateFromHostState(const uint8_t hostKeys[host::kKeyCount], uint8_t dik[256]);

}  // namespace platform

// win32_state.h — resetting the Windows platform between tests.
//
// Provides: platform::ResetWin32State, which destroys every window (without
// calling their procedures), unregisters every class, kills every timer,
// empties the message queue and the quit flag, clears the last error and the
// cached cursors and icons. Resources are kept (see resource_registry.h).
#pragma once

namespace platform {

void ResetWin32State();

}  // namespace platform

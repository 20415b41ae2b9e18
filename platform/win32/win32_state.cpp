// win32_state.cpp — ResetWin32State, for tests of every layer.
#include "platform/win32/win32_state.h"

#include "platform/win32/file_failures.h"
#include "platform/win32/win32_internal.h"

namespace platform {

void ResetWin32State() {
  // Windows go without WM_DESTROY: a reset is not the program's doing.
  detail::ResetTimers();
  detail::ResetWindows();
  detail::ResetQueue();
  detail::ResetCursors();
  detail::ResetErrors();
  ClearLastUnopenedFile();
}

}  // namespace platform

// dialog_buttons.h — the buttons of a message box, for every host.
//
// Provides: host::DialogButtonsOf, the buttons a DialogButtons choice shows,
// left to right, with their answers and labels; host::DefaultButtonIndex,
// the button Enter presses (the request's, or the first when the request
// names a button the box does not have); host::DefaultAnswer, the answer a
// box that cannot be shown gives.
// Depends on: host/host.h.
#pragma once

#include <cstddef>
#include <vector>

#include "host/host.h"

namespace host {

struct DialogButton {
  DialogAnswer answer = DialogAnswer::Ok;
  const char* label = "OK";
};

std::vector<DialogButton> DialogButtonsOf(DialogButtons buttons);
size_t DefaultButtonIndex(const MessageBoxRequest& request);
DialogAnswer DefaultAnswer(const MessageBoxRequest& request);

}  // namespace host

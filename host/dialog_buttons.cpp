// dialog_buttons.cpp — the buttons of a message box, for every host.
#include "host/dialog_buttons.h"

namespace host {

std::vector<DialogButton> DialogButtonsOf(DialogButtons buttons) {
  using A = DialogAnswer;
  switch (buttons) {
    case DialogButtons::Ok: return {{A::Ok, "OK"}};
    case DialogButtons::OkCancel: return {{A::Ok, "OK"}, {A::Cancel, "Cancel"}};
    case DialogButtons::AbortRetryIgnore: return {{A::Abort, "Abort"}, {A::Retry, "Retry"}, {A::Ignore, "Ignore"}};
    case DialogButtons::YesNoCancel: return {{A::Yes, "Yes"}, {A::No, "No"}, {A::Cancel, "Cancel"}};
    case DialogButtons::YesNo: return {{A::Yes, "Yes"}, {A::No, "No"}};
    case DialogButtons::RetryCancel: return {{A::Retry, "Retry"}, {A::Cancel, "Cancel"}};
  }
  // A value outside the enumeration (a corrupted request) still gets a box
  // that can be dismissed.
  return {{A::Ok, "OK"}};
}

size_t DefaultButtonIndex(const MessageBoxRequest& request) {
  const size_t count = DialogButtonsOf(request.buttons).size();
  if (request.defaultButton < 0 || static_cast<size_t>(request.defaultButton) >= count) return 0;
  return static_cast<size_t>(request.defaultButton);
}

DialogAnswer DefaultAnswer(const MessageBoxRequest& request) {
  return DialogButtonsOf(request.buttons)[DefaultButtonIndex(request)].answer;
}

}  // namespace host

// message_box_style.cpp — the MB_ bits the platform's message box knows.
#include "platform/win32/message_box_style.h"

namespace platform {
namespace {

constexpr UINT kTypeMask = 0xF;
constexpr UINT kIconMask = 0xF0;
constexpr UINT kDefaultMask = 0xF00;

}  // namespace

void DescribeMessageBoxStyle(UINT uType, host::MessageBoxRequest* request) {
  using B = host::DialogButtons;
  switch (uType & kTypeMask) {
    case MB_OKCANCEL: request->buttons = B::OkCancel; break;
    case MB_ABORTRETRYIGNORE: request->buttons = B::AbortRetryIgnore; break;
    case MB_YESNOCANCEL: request->buttons = B::YesNoCancel; break;
    case MB_YESNO: request->buttons = B::YesNo; break;
    case MB_RETRYCANCEL: request->buttons = B::RetryCancel; break;
    default: request->buttons = B::Ok; break;
  }
  using I = host::DialogIcon;
  switch (uType & kIconMask) {
    case MB_ICONHAND: request->icon = I::Error; break;
    case MB_ICONQUESTION: request->icon = I::Question; break;
    case MB_ICONEXCLAMATION: request->icon = I::Warning; break;
    case MB_ICONASTERISK: request->icon = I::Information; break;
    default: request->icon = I::None; break;
  }
  request->defaultButton = static_cast<int>((uType & kDefaultMask) >> 8);
}

UINT MessageBoxStyleOf(const host::MessageBoxRequest& request) {
  UINT style = MB_OK;
  using B = host::DialogButtons;
  switch (request.buttons) {
    case B::Ok: style = MB_OK; break;
    case B::OkCancel: style = MB_OKCANCEL; break;
    case B::AbortRetryIgnore: style = MB_ABORTRETRYIGNORE; break;
    case B::YesNoCancel: style = MB_YESNOCANCEL; break;
    case B::YesNo: style = MB_YESNO; break;
    case B::RetryCancel: style = MB_RETRYCANCEL; break;
  }
  using I = host::DialogIcon;
  switch (request.icon) {
    case I::None: break;
    case I::Error: style |= MB_ICONHAND; break;
    case I::Question: style |= MB_ICONQUESTION; break;
    case I::Warning: style |= MB_ICONEXCLAMATION; break;
    case I::Information: style |= MB_ICONASTERISK; break;
  }
  return style | ((static_cast<UINT>(request.defaultButton) << 8) & kDefaultMask);
}

int MessageBoxResult(host::DialogAnswer answer) {
  switch (answer) {
    case host::DialogAnswer::Ok: return IDOK;
    case host::DialogAnswer::Cancel: return IDCANCEL;
    case host::DialogAnswer::Abort: return IDABORT;
    case host::DialogAnswer::Retry: return IDRETRY;
    case host::DialogAnswer::Ignore: return IDIGNORE;
    case host::DialogAnswer::Yes: return IDYES;
    case host::DialogAnswer::No: return IDNO;
  }
  return IDOK;
}

}  // namespace platform

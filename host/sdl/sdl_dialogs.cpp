// sdl_dialogs.cpp — the SDL host's message boxes.
#include <SDL.h>

#include <cstdio>
#include <vector>

#include "host/dialog_buttons.h"
#include "host/sdl/sdl_host_impl.h"

namespace host {

DialogAnswer SdlHost::MessageBox(const MessageBoxRequest& request) {
  Uint32 kind = SDL_MESSAGEBOX_INFORMATION;
  if (request.icon == DialogIcon::Error) kind = SDL_MESSAGEBOX_ERROR;
  if (request.icon == DialogIcon::Warning) kind = SDL_MESSAGEBOX_WARNING;
  std::vector<SDL_MessageBoxButtonData> buttons;
  for (const DialogButton& b : DialogButtonsOf(request.buttons)) {
    buttons.push_back(SDL_MessageBoxButtonData{0, static_cast<int>(b.answer), b.label});
  }
  buttons[DefaultButtonIndex(request)].flags |= SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT;
  SDL_MessageBoxData data{};
  data.flags = kind;
  // A box without an owner stands on its own, not over the game's window.
  data.window = request.owned ? impl_->window : nullptr;
  data.title = request.captionUtf8.c_str();
  data.message = request.textUtf8.c_str();
  data.numbuttons = static_cast<int>(buttons.size());
  data.buttons = buttons.data();
  int pressed = -1;
  if (SDL_ShowMessageBox(&data, &pressed) != 0 || pressed < 0) {
    // No way to show it: say it on the terminal and take the first answer.
    std::fprintf(stderr, "%s: %s\n", request.captionUtf8.c_str(), request.textUtf8.c_str());
    return static_cast<DialogAnswer>(buttons.front().buttonid);
  }
  return static_cast<DialogAnswer>(pressed);
}

}  // namespace host

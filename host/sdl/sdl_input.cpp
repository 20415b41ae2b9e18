// sdl_input.cpp — the SDL host's input: SDL events to the host's events,
// the host's own shortcuts, the keyboard state and gamepads.
#include <SDL.h>

#include <algorithm>
#include <cstring>

#include "host/sdl/key_mapping.h"
#include "host/sdl/sdl_host_impl.h"
#include "host/sdl/x11_keymap.h"

namespace host {

namespace {

uint32_t ModsFrom(Uint16 mod) {
  uint32_t mods = 0;
  if (mod & KMOD_SHIFT) mods |= kModShift;
  if (mod & KMOD_CTRL) mods |= kModCtrl;
  if (mod & KMOD_ALT) mods |= kModAlt;
  if (mod & KMOD_NUM) mods |= kModNumLock;
  return mods;
}

}  // namespace

bool SdlHost::KeyEvent(const void* raw, Event* out) {
  const SDL_Event& e = *static_cast<const SDL_Event*>(raw);
  if (HostShortcut(e.key.keysym.scancode, e.key.keysym.mod, e.type == SDL_KEYDOWN, e.key.repeat != 0)) return false;
  out->type = e.type == SDL_KEYDOWN ? EventType::KeyDown : EventType::KeyUp;
  out->key = sdl::KeyFromSdlScancode(static_cast<int>(e.key.keysym.scancode));
  out->mods = ModsFrom(e.key.keysym.mod);
  out->repeat = e.key.repeat != 0;
  return out->key != Key::None;
}

bool SdlHost::MouseEvent(const void* raw, Event* out) {
  const SDL_Event& e = *static_cast<const SDL_Event*>(raw);
  int x = 0, y = 0;
  if (e.type == SDL_MOUSEMOTION) {
    ClientPoint(e.motion.x, e.motion.y, &x, &y);
    if (x < 0 || y < 0 || x >= kClientWidth || y >= kClientHeight) return false;
    out->type = EventType::MouseMove;
    out->x = x;
    out->y = y;
    return true;
  }
  if (e.button.button != SDL_BUTTON_LEFT) return false;
  ClientPoint(e.button.x, e.button.y, &x, &y);
  // Presses on the letterbox bars are outside the client.
  if (e.type == SDL_MOUSEBUTTONDOWN && (x < 0 || y < 0 || x >= kClientWidth || y >= kClientHeight)) return false;
  out->type = e.type == SDL_MOUSEBUTTONDOWN ? EventType::MouseDown : EventType::MouseUp;
  out->x = std::clamp(x, 0, kClientWidth - 1);
  out->y = std::clamp(y, 0, kClientHeight - 1);
  return true;
}

bool SdlHost::GamepadEvent(const void* raw, Event* out) {
  const SDL_Event& e = *static_cast<const SDL_Event*>(raw);
  if (e.type == SDL_CONTROLLERDEVICEADDED) {
    if (SDL_GameController* pad = SDL_GameControllerOpen(e.cdevice.which)) {
      SDL_JoystickID id = SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(pad));
      if (impl_->pads.count(id)) {
        SDL_GameControllerClose(pad);  // already open: drop the extra reference
      } else {
        impl_->pads[id] = pad;
      }
    }
    return false;
  }
  if (e.type == SDL_CONTROLLERDEVICEREMOVED) {
    auto it = impl_->pads.find(e.cdevice.which);
    if (it != impl_->pads.end()) {
      SDL_GameControllerClose(it->second);
      impl_->pads.erase(it);
    }
    return false;
  }
  // A and Start are the space bar, Back is Escape: as window messages.
  const Uint8 b = e.cbutton.button;
  if (b == SDL_CONTROLLER_BUTTON_A || b == SDL_CONTROLLER_BUTTON_START) {
    out->key = Key::Space;
  } else if (b == SDL_CONTROLLER_BUTTON_BACK) {
    out->key = Key::Escape;
  } else {
    return false;
  }
  out->type = e.type == SDL_CONTROLLERBUTTONDOWN ? EventType::KeyDown : EventType::KeyUp;
  out->mods = ModsFrom(static_cast<Uint16>(SDL_GetModState()));
  return true;
}

bool SdlHost::HostShortcut(int scancode, int mod, bool down, bool repeat) {
  if (!down) {
    if (scancode != impl_->swallowKeyUp) return false;
    impl_->swallowKeyUp = -1;
    return true;
  }
  if (!sdl::IsFullscreenShortcut(sdl::KeyFromSdlScancode(scancode), ModsFrom(static_cast<Uint16>(mod)))) return false;
  impl_->swallowKeyUp = scancode;
  if (!repeat) SetFullscreen(!impl_->fullscreen);
  return true;
}

void SdlHost::KeyboardState(uint8_t keys[kKeyCount]) {
  std::memset(keys, 0, kKeyCount);
  // The whole keyboard, whichever window has the focus, where X allows it.
  if (!sdl::ReadKeymap(impl_->display, keys) && ok_) {
    SDL_PumpEvents();
    int count = 0;
    const Uint8* state = SDL_GetKeyboardState(&count);
    for (int sc = 0; sc < count; ++sc) {
      if (!state[sc]) continue;
      int key = static_cast<int>(sdl::KeyFromSdlScancode(sc));
      if (key > 0) keys[key] = 0x80;
    }
  }
  // Gamepads hold the arrow keys as a held key would.
  if (impl_->pads.empty()) return;
  SDL_GameControllerUpdate();
  for (const auto& [id, pad] : impl_->pads) {
    sdl::PadArrows dpad;
    dpad.left = SDL_GameControllerGetButton(pad, SDL_CONTROLLER_BUTTON_DPAD_LEFT) != 0;
    dpad.right = SDL_GameControllerGetButton(pad, SDL_CONTROLLER_BUTTON_DPAD_RIGHT) != 0;
    dpad.up = SDL_GameControllerGetButton(pad, SDL_CONTROLLER_BUTTON_DPAD_UP) != 0;
    dpad.down = SDL_GameControllerGetButton(pad, SDL_CONTROLLER_BUTTON_DPAD_DOWN) != 0;
    sdl::PadArrows a = sdl::ArrowsFromPad(dpad, SDL_GameControllerGetAxis(pad, SDL_CONTROLLER_AXIS_LEFTX),
                                          SDL_GameControllerGetAxis(pad, SDL_CONTROLLER_AXIS_LEFTY));
    if (a.left) keys[static_cast<int>(Key::Left)] = 0x80;
    if (a.right) keys[static_cast<int>(Key::Right)] = 0x80;
    if (a.up) keys[static_cast<int>(Key::Up)] = 0x80;
    if (a.down) keys[static_cast<int>(Key::Down)] = 0x80;
  }
}

int SdlHost::GamepadCount() const { return static_cast<int>(impl_->pads.size()); }

}  // namespace host

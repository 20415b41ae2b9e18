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

void SdlHost::Translate(const void* raw) {
  const SDL_Event& e = *static_cast<const SDL_Event*>(raw);
  Event out;
  out.timeMs = NowMs();
  switch (e.type) {
    case SDL_QUIT:
      // The last window's close box also sends a window close event.
      if (!queue_.empty() && queue_.back().type == EventType::Close) return;
      out.type = EventType::Close;
      break;
    case SDL_WINDOWEVENT:
      if (e.window.event == SDL_WINDOWEVENT_CLOSE) {
        out.type = EventType::Close;
        break;
      }
      if (e.window.event == SDL_WINDOWEVENT_EXPOSED || e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED ||
          e.window.event == SDL_WINDOWEVENT_RESTORED) {
        ShowLastFrame();
        out.type = EventType::Expose;
        break;
      }
      return;
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
      if (HostShortcut(e.key.keysym.scancode, e.key.keysym.mod, e.type == SDL_KEYDOWN, e.key.repeat != 0)) return;
      out.type = e.type == SDL_KEYDOWN ? EventType::KeyDown : EventType::KeyUp;
      out.key = sdl::KeyFromSdlScancode(static_cast<int>(e.key.keysym.scancode));
      out.mods = ModsFrom(e.key.keysym.mod);
      out.repeat = e.key.repeat != 0;
      if (out.key == Key::None) return;
      break;
    }
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
      if (e.button.button != SDL_BUTTON_LEFT) return;
      int x = 0, y = 0;
      ClientPoint(e.button.x, e.button.y, &x, &y);
      // Presses on the letterbox bars are outside the client.
      if (e.type == SDL_MOUSEBUTTONDOWN && (x < 0 || y < 0 || x >= kClientWidth || y >= kClientHeight)) return;
      out.type = e.type == SDL_MOUSEBUTTONDOWN ? EventType::MouseDown : EventType::MouseUp;
      out.x = std::clamp(x, 0, kClientWidth - 1);
      out.y = std::clamp(y, 0, kClientHeight - 1);
      break;
    }
    case SDL_MOUSEMOTION: {
      int x = 0, y = 0;
      ClientPoint(e.motion.x, e.motion.y, &x, &y);
      if (x < 0 || y < 0 || x >= kClientWidth || y >= kClientHeight) return;
      out.type = EventType::MouseMove;
      out.x = x;
      out.y = y;
      break;
    }
    case SDL_CONTROLLERDEVICEADDED: {
      if (SDL_GameController* pad = SDL_GameControllerOpen(e.cdevice.which)) {
        SDL_JoystickID id = SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(pad));
        if (impl_->pads.count(id)) {
          SDL_GameControllerClose(pad);  // already open: drop the extra reference
        } else {
          impl_->pads[id] = pad;
        }
      }
      return;
    }
    case SDL_CONTROLLERDEVICEREMOVED: {
      auto it = impl_->pads.find(e.cdevice.which);
      if (it != impl_->pads.end()) {
        SDL_GameControllerClose(it->second);
        impl_->pads.erase(it);
      }
      return;
    }
    case SDL_CONTROLLERBUTTONDOWN:
    case SDL_CONTROLLERBUTTONUP: {
      // A and Start are the space bar, Back is Escape: as window messages.
      const Uint8 b = e.cbutton.button;
      if (b == SDL_CONTROLLER_BUTTON_A || b == SDL_CONTROLLER_BUTTON_START) {
        out.key = Key::Space;
      } else if (b == SDL_CONTROLLER_BUTTON_BACK) {
        out.key = Key::Escape;
      } else {
        return;
      }
      out.type = e.type == SDL_CONTROLLERBUTTONDOWN ? EventType::KeyDown : EventType::KeyUp;
      out.mods = ModsFrom(static_cast<Uint16>(SDL_GetModState()));
      break;
    }
    case SDL_RENDER_DEVICE_RESET:
      // Every texture is lost: make them again from the frame kept here.
      if (impl_->prescaled) SDL_DestroyTexture(impl_->prescaled);
      if (impl_->texture) SDL_DestroyTexture(impl_->texture);
      impl_->prescaled = nullptr;
      impl_->prescaleFactor = 0;
      impl_->texture = nullptr;
      impl_->haveFrame = false;
      if (!impl_->shown.empty()) {
        std::vector<uint32_t> frame = std::move(impl_->shown);
        if (Upload(*impl_, frame.data(), impl_->textureW, impl_->textureH, impl_->textureW * 4)) {
          impl_->shown = std::move(frame);
        }
      }
      ShowLastFrame();
      return;
    case SDL_RENDER_TARGETS_RESET:
      impl_->prescaledStale = true;
      ShowLastFrame();
      return;
    default:
      return;
  }
  queue_.push_back(out);
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

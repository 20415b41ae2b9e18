// sdl_host_impl.h — the SDL host's state, shared by the files that make
// up the host (sdl_host.cpp: start, clock, event loop and profile;
// sdl_window.cpp: window and presenting; sdl_input.cpp: keys, mouse and
// gamepads; sdl_audio.cpp; sdl_dialogs.cpp). Private to host/sdl.
// Depends on: SDL2.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "host/fault_plan.h"
#include "host/sdl/clock_output.h"
#include "host/sdl/sdl_host.h"

namespace host {

struct SdlHost::Impl {
  uint64_t startTicks = 0;
  SDL_Window* window = nullptr;
  SDL_Renderer* renderer = nullptr;
  SDL_Texture* texture = nullptr;
  int textureW = 0, textureH = 0;
  bool haveFrame = false;
  // The frame on screen, row after row: a program that presents the same
  // picture again (every tick of a still scene) costs no upload or present.
  std::vector<uint32_t> shown;
  uint64_t framesShown = 0;  // presents that reached the window
  // The frame at a whole-number multiple, for a sharp picture at other
  // sizes (nearest up to it, then linear the rest of the way).
  SDL_Texture* prescaled = nullptr;
  int prescaleFactor = 0;
  bool prescaledStale = true;
  SDL_Rect letterbox{0, 0, kClientWidth, kClientHeight};  // in output pixels
  int wholeFactor = 1;                                      // of the letterbox
  bool fullscreen = false;
  bool fullscreenFailureTold = false;  // the player has been told once
  SDL_Rect windowedRect{0, 0, kClientWidth, kClientHeight};  // to return to
  int swallowKeyUp = -1;  // scancode of a host shortcut whose release is eaten
  std::map<SDL_JoystickID, SDL_GameController*> pads;  // open gamepads, by instance
  bool audioFailed = false;
  std::string audioError;
  std::string failedSubsystem;  // SDL's part that did not start, if any
  std::string lastError;
  // Cursors made so far, by picture; the platform switches between the
  // class arrow and the game's cursor often, and each switch reaches here.
  struct CachedCursor {
    uint64_t fingerprint = 0;
    SDL_Cursor* cursor = nullptr;
  };
  std::map<const Image*, CachedCursor> cursors;
  SDL_Cursor* arrow = nullptr;
  SDL_Surface* icon = nullptr;  // kept to apply when the window appears
  SDL_AudioDeviceID audio = 0;
  int audioFrames = 0;
  AudioSource* source = nullptr;
  int channels = 2;
  AudioFormat audioFormat;
  int audioDevicesOpened = 0;
  sdl::ClockOutput clockOutput;  // plays on when no device is left
  bool debugToStderr = false;
  bool profileLoaded = false;
  std::string profileText;
  void* display = nullptr;  // own X connection, only for the keymap
  FaultPlan faults;
};

// Puts a frame into the renderer's texture (made or remade to its size).
bool Upload(SdlHost::Impl& impl, const uint32_t* pixels, int width, int height, int pitchBytes);

}  // namespace host

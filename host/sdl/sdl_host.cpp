// sdl_host.cpp — the desktop host: SDL2 start and shutdown, the clock,
// the event loop, debugger output and the profile. The window, input,
// audio and dialogs have files of their own (see sdl_host_impl.h).
#include "host/sdl/sdl_host.h"

#define SDL_MAIN_HANDLED
#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <limits>

#include "host/sdl/profile_ini.h"
#include "host/sdl/sdl_host_impl.h"
#include "host/sdl/startup_checks.h"
#include "host/sdl/x11_keymap.h"

namespace host {

namespace {

constexpr const char* kWindowClass = "velmora";

// Milliseconds from now to a deadline, as SDL's waits take them.
int WaitMs(uint64_t now, uint64_t deadline) {
  return static_cast<int>(std::min<uint64_t>(deadline - now, static_cast<uint64_t>(std::numeric_limits<int>::max())));
}

// Waits up to `timeoutMs` for an SDL event. SDL cannot sleep on a joystick
// and, with one attached, polls every millisecond in its own wait; here a
// pad's buttons are looked at every few milliseconds instead, still far
// quicker than a person notices.
constexpr int kJoystickPollMs = 10;

int WaitSdlEvent(SDL_Event* e, int timeoutMs) {
  if (SDL_NumJoysticks() <= 0) return SDL_WaitEventTimeout(e, timeoutMs);
  // What the last look found first, then one look after the pause.
  if (SDL_PeepEvents(e, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) > 0) return 1;
  SDL_Delay(static_cast<Uint32>(std::min(timeoutMs, kJoystickPollMs)));
  return SDL_PollEvent(e);
}

}  // namespace

SdlHost::SdlHost() : impl_(std::make_unique<Impl>()) {
  SDL_SetMainReady();
  SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "0");
  // The keyboard device listens in the background; a gamepad does the same.
  SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
  // The window's class matches the desktop entry's StartupWMClass, whatever
  // the executable is called; a player's own setting wins.
  setenv("SDL_VIDEO_X11_WMCLASS", kWindowClass, 0);
  setenv("SDL_VIDEO_WAYLAND_WMCLASS", kWindowClass, 0);
  const char* dbg = std::getenv("VELMORA_DEBUG_OUTPUT");
  impl_->debugToStderr = dbg != nullptr && dbg[0] != '\0' && dbg[0] != '0';
  const sdl::SdlStart started = sdl::StartSdl(impl_->debugToStderr);
  ok_ = started.ok;
  if (!ok_) impl_->lastError = started.reason;
  impl_->failedSubsystem = started.subsystem;
  impl_->startTicks = SDL_GetTicks64();
  if (ok_) SDL_StopTextInput();  // keys only; no input-method windows
  // Gamepads arrive as device-added events, also those present at start.
  sdl::QuietStderr quiet(impl_->debugToStderr);
  if (ok_ && SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) == 0) SDL_GameControllerEventState(SDL_ENABLE);
  const char* driver = ok_ ? SDL_GetCurrentVideoDriver() : nullptr;
  if (driver != nullptr && std::strcmp(driver, "x11") == 0) impl_->display = sdl::OpenKeymapDisplay();
}

SdlHost::~SdlHost() {
  for (auto& [id, pad] : impl_->pads) SDL_GameControllerClose(pad);
  impl_->pads.clear();
  CloseAudio();
  DestroyWindow();
  for (auto& [image, cached] : impl_->cursors) SDL_FreeCursor(cached.cursor);
  if (impl_->arrow) SDL_FreeCursor(impl_->arrow);
  if (impl_->icon) SDL_FreeSurface(impl_->icon);
  sdl::CloseKeymapDisplay(impl_->display);
  if (Current() == this) SetCurrent(nullptr);
  SDL_Quit();
}

uint64_t SdlHost::NowMs() { return SDL_GetTicks64() - impl_->startTicks; }

int64_t SdlHost::CalendarTime() {
  // Not time(): the platform layer replaces it with a call to this host.
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  return static_cast<int64_t>(ts.tv_sec);
}
// SDL's event to the program's, in stages by what it concerns; the host
// keeps what is its own (shortcuts, gamepads arriving, lost textures).
void SdlHost::Translate(const void* raw) {
  const SDL_Event& e = *static_cast<const SDL_Event*>(raw);
  Event out;
  out.timeMs = NowMs();
  bool forProgram = false;
  switch (e.type) {
    case SDL_QUIT:
    case SDL_WINDOWEVENT:
    case SDL_RENDER_DEVICE_RESET:
    case SDL_RENDER_TARGETS_RESET:
      forProgram = WindowEvent(raw, &out);
      break;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
      forProgram = KeyEvent(raw, &out);
      break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
    case SDL_MOUSEMOTION:
      forProgram = MouseEvent(raw, &out);
      break;
    case SDL_CONTROLLERDEVICEADDED:
    case SDL_CONTROLLERDEVICEREMOVED:
    case SDL_CONTROLLERBUTTONDOWN:
    case SDL_CONTROLLERBUTTONUP:
      forProgram = GamepadEvent(raw, &out);
      break;
    case SDL_AUDIODEVICEADDED:
    case SDL_AUDIODEVICEREMOVED:
      AudioDeviceEvent(raw);
      break;
    default:
      break;
  }
  if (forProgram) queue_.push_back(out);
}

void SdlHost::Pump() {
  if (!ok_) return;
  AudioFaults();
  SDL_Event e;
  while (SDL_PollEvent(&e)) Translate(&e);
}

void SdlHost::SleepMs(uint32_t ms) {
  uint64_t deadline = NowMs() + ms;
  if (!ok_) {
    SDL_Delay(ms);
    return;
  }
  // Stay responsive: handle the window system's events while sleeping,
  // keeping the program's ones for later.
  for (;;) {
    uint64_t now = NowMs();
    if (now >= deadline) break;
    SDL_Event e;
    if (WaitSdlEvent(&e, WaitMs(now, deadline))) Translate(&e);
  }
  Pump();
}

bool SdlHost::WaitEvent(uint64_t deadlineMs) {
  Pump();
  while (queue_.empty()) {
    uint64_t now = NowMs();
    if (now >= deadlineMs) break;
    if (!ok_) {
      SDL_Delay(static_cast<uint32_t>(WaitMs(now, deadlineMs)));
      continue;
    }
    // One wait to the deadline: SDL wakes for the window system's events
    // itself, so slicing it would only add wake-ups.
    SDL_Event e;
    if (WaitSdlEvent(&e, WaitMs(now, deadlineMs))) Translate(&e);
  }
  return !queue_.empty();
}

bool SdlHost::PollEvent(Event* out) {
  Pump();
  if (queue_.empty()) return false;
  if (out) *out = queue_.front();
  queue_.pop_front();
  return true;
}

std::string SdlHost::LastError() const {
  if (!impl_->lastError.empty()) return impl_->lastError;
  const char* e = SDL_GetError();
  return e ? std::string(e) : std::string();
}

void SdlHost::DebugOutput(const char* text) {
  if (impl_->debugToStderr && text) std::fputs(text, stderr);
}

std::optional<std::string> SdlHost::ProfileValue(const std::string& section, const std::string& key) {
  if (!impl_->profileLoaded) {
    impl_->profileLoaded = true;  // read once, like the library's debug level
    std::string path = sdl::ProfilePath();
    if (!path.empty()) {
      std::ifstream in(path, std::ios::binary);
      impl_->profileText.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
  }
  return sdl::ReadProfileValue(impl_->profileText, section, key);
}

void SdlHost::FailAt(const std::string& call, int nth) { impl_->faults.FailAt(call, nth); }

bool SdlHost::ShouldFail(const char* call) { return impl_->faults.ShouldFail(call); }

int SdlHost::CallCount(const std::string& call) const { return impl_->faults.CallCount(call); }

std::string SdlHost::FailedSubsystem() const { return impl_->failedSubsystem; }

std::string SdlHost::DeviceProfile() {
  const char* p = std::getenv("VELMORA_D3D_PROFILE");
  return (p && *p) ? std::string(p) : std::string("default");
}

}  // namespace host

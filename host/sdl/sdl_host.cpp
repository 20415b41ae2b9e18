// sdl_host.cpp — the desktop host: SDL2 window, renderer, events, audio;
// X11 for the keyboard state while another window is in front.
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
#include <map>
#include <vector>

#include "host/sdl/key_mapping.h"
#include "host/sdl/letterbox.h"
#include "host/sdl/profile_ini.h"
#include "host/shown_frame.h"
#include "host/sdl/renderer_choice.h"
#include "host/sdl/x11_keymap.h"
#include "host/sdl/x11_window.h"

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
  SDL_Rect windowedRect{0, 0, kClientWidth, kClientHeight};  // to return to
  int swallowKeyUp = -1;  // scancode of a host shortcut whose release is eaten
  std::map<SDL_JoystickID, SDL_GameController*> pads;  // open gamepads, by instance
  bool audioFailed = false;
  std::string audioError;
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
  bool debugToStderr = false;
  bool profileLoaded = false;
  std::string profileText;
  void* display = nullptr;  // own X connection, only for the keymap
};

namespace {

constexpr const char* kWindowClass = "velmora";
constexpr Uint32 kWindowFlags = SDL_WINDOW_HIDDEN | SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI;
constexpr unsigned kGlRenderer = 0x1F01;  // GL_RENDERER, for glGetString

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

// The GL_RENDERER of an OpenGL renderer's context (current once the
// renderer is made); null for other renderers.
const char* GlRendererName(SDL_Renderer* renderer) {
  SDL_RendererInfo info;
  if (SDL_GetRendererInfo(renderer, &info) != 0 || info.name == nullptr ||
      std::strncmp(info.name, "opengl", 6) != 0 || SDL_GL_GetCurrentContext() == nullptr) {
    return nullptr;
  }
  using GetString = const unsigned char* (*)(unsigned);
  auto getString = reinterpret_cast<GetString>(SDL_GL_GetProcAddress("glGetString"));
  return getString ? reinterpret_cast<const char*>(getString(kGlRenderer)) : nullptr;
}

void AudioCallback(void* user, Uint8* stream, int len) {
  auto* impl = static_cast<SdlHost::Impl*>(user);
  int frameBytes = 2 * std::max(1, impl->channels);
  std::memset(stream, 0, static_cast<size_t>(len));
  if (impl->source) impl->source->Mix(reinterpret_cast<int16_t*>(stream), len / frameBytes);
}

uint32_t ModsFrom(Uint16 mod) {
  uint32_t mods = 0;
  if (mod & KMOD_SHIFT) mods |= kModShift;
  if (mod & KMOD_CTRL) mods |= kModCtrl;
  if (mod & KMOD_ALT) mods |= kModAlt;
  if (mod & KMOD_NUM) mods |= kModNumLock;
  return mods;
}

SDL_Surface* SurfaceFrom(const Image& image) {
  if (image.width <= 0 || image.height <= 0 ||
      image.argb.size() < static_cast<size_t>(image.width) * static_cast<size_t>(image.height)) {
    return nullptr;
  }
  SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, image.width, image.height, 32, SDL_PIXELFORMAT_ARGB8888);
  if (s == nullptr) return nullptr;
  for (int y = 0; y < image.height; ++y) {
    std::memcpy(static_cast<uint8_t*>(s->pixels) + static_cast<size_t>(y) * s->pitch,
                image.argb.data() + static_cast<size_t>(y) * image.width, static_cast<size_t>(image.width) * 4);
  }
  return s;
}

// Puts a frame into the renderer's texture (made or remade to its size).
bool Upload(SdlHost::Impl& impl, const uint32_t* pixels, int width, int height, int pitchBytes) {
  if (impl.texture == nullptr || impl.textureW != width || impl.textureH != height) {
    if (impl.texture) SDL_DestroyTexture(impl.texture);
    impl.texture =
        SDL_CreateTexture(impl.renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING, width, height);
    impl.textureW = width;
    impl.textureH = height;
    if (impl.texture == nullptr) {
      impl.haveFrame = false;
      impl.shown.clear();
      return false;
    }
  }
  // The frame's X byte is not alpha: draw it opaque.
  SDL_SetTextureBlendMode(impl.texture, SDL_BLENDMODE_NONE);
  SDL_UpdateTexture(impl.texture, nullptr, pixels, pitchBytes);
  impl.haveFrame = true;
  impl.prescaledStale = true;
  return true;
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
  ok_ = SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS | SDL_INIT_TIMER) == 0;
  if (!ok_) impl_->lastError = SDL_GetError();
  impl_->startTicks = SDL_GetTicks64();
  const char* dbg = std::getenv("VELMORA_DEBUG_OUTPUT");
  impl_->debugToStderr = dbg != nullptr && dbg[0] != '\0' && dbg[0] != '0';
  if (ok_) SDL_StopTextInput();  // keys only; no input-method windows
  // Gamepads arrive as device-added events, also those present at start.
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

void SdlHost::Pump() {
  if (!ok_) return;
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

void SdlHost::DesktopSize(int* width, int* height) {
  SDL_DisplayMode mode;
  int w = 1024, h = 768;
  if (ok_ && SDL_GetDesktopDisplayMode(0, &mode) == 0) {
    w = mode.w;
    h = mode.h;
  }
  if (width) *width = w;
  if (height) *height = h;
}

bool SdlHost::CreateWindow(const std::string& titleUtf8, int x, int y, int width, int height) {
  if (!ok_ || impl_->window) return false;
  width = std::max(width, 1);
  height = std::max(height, 1);
  impl_->window = SDL_CreateWindow(titleUtf8.c_str(), x, y, width, height, kWindowFlags);
  if (impl_->window == nullptr) {
    impl_->lastError = SDL_GetError();
    return false;
  }
  impl_->renderer = SDL_CreateRenderer(impl_->window, -1, SDL_RENDERER_ACCELERATED);
  const char* chosen = SDL_GetHint(SDL_HINT_RENDER_DRIVER);
  if (impl_->renderer != nullptr && (chosen == nullptr || *chosen == '\0') &&
      sdl::IsSoftwareRasterizer(GlRendererName(impl_->renderer))) {
    // OpenGL here is the CPU pretending to be a GPU: copy frames into the
    // window ourselves instead, on a window made without OpenGL. SDL's
    // window surface would otherwise go through the same rasteriser again.
    SDL_DestroyRenderer(impl_->renderer);
    impl_->renderer = nullptr;
    SDL_DestroyWindow(impl_->window);
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    impl_->window = SDL_CreateWindow(titleUtf8.c_str(), x, y, width, height, kWindowFlags);
    if (impl_->window == nullptr) {
      impl_->lastError = SDL_GetError();
      return false;
    }
    impl_->renderer = SDL_CreateRenderer(impl_->window, -1, SDL_RENDERER_SOFTWARE);
    // A display without window surfaces of its own (Wayland) offers only
    // OpenGL after all.
    if (impl_->renderer == nullptr) impl_->renderer = SDL_CreateRenderer(impl_->window, -1, SDL_RENDERER_ACCELERATED);
  }
  if (impl_->renderer == nullptr) impl_->renderer = SDL_CreateRenderer(impl_->window, -1, SDL_RENDERER_SOFTWARE);
  if (impl_->renderer == nullptr) {
    impl_->lastError = SDL_GetError();
    SDL_DestroyWindow(impl_->window);
    impl_->window = nullptr;
    return false;
  }
  SDL_SetWindowMinimumSize(impl_->window, kClientWidth / 4, kClientHeight / 4);
  sdl::MakeOrdinaryTopLevel(impl_->window);
  if (impl_->icon) SDL_SetWindowIcon(impl_->window, impl_->icon);
  SDL_SetRenderDrawColor(impl_->renderer, 0, 0, 0, 255);
  SDL_RenderClear(impl_->renderer);
  SDL_RenderPresent(impl_->renderer);
  return true;
}

void SdlHost::ShowWindow(bool visible) {
  if (!impl_->window) return;
  if (visible) {
    SDL_ShowWindow(impl_->window);
    SDL_RaiseWindow(impl_->window);
  } else {
    SDL_HideWindow(impl_->window);
  }
}

void SdlHost::MoveWindow(int x, int y, int width, int height) {
  if (!impl_->window) return;
  SDL_SetWindowPosition(impl_->window, x, y);
  if (width > 0 && height > 0) SDL_SetWindowSize(impl_->window, width, height);
}

void SdlHost::DestroyWindow() {
  if (impl_->prescaled) SDL_DestroyTexture(impl_->prescaled);
  impl_->prescaled = nullptr;
  impl_->prescaleFactor = 0;
  impl_->fullscreen = false;
  if (impl_->texture) SDL_DestroyTexture(impl_->texture);
  if (impl_->renderer) SDL_DestroyRenderer(impl_->renderer);
  if (impl_->window) SDL_DestroyWindow(impl_->window);
  impl_->texture = nullptr;
  impl_->renderer = nullptr;
  impl_->window = nullptr;
  impl_->haveFrame = false;
  impl_->shown.clear();
}

// The client's place in the output: as large as fits, centred, the same
// shape as 800 x 640.
void SdlHost::UpdateLetterbox() {
  int ow = 0, oh = 0;
  if (SDL_GetRendererOutputSize(impl_->renderer, &ow, &oh) != 0 || ow <= 0 || oh <= 0) return;
  sdl::Placement p = sdl::PlaceClient(ow, oh);
  impl_->letterbox = SDL_Rect{p.x, p.y, p.width, p.height};
  impl_->wholeFactor = p.prescale;
}

void SdlHost::ClientPoint(int windowX, int windowY, int* x, int* y) const {
  int ww = 0, wh = 0, ow = 0, oh = 0;
  if (impl_->window) SDL_GetWindowSize(impl_->window, &ww, &wh);
  if (impl_->renderer) SDL_GetRendererOutputSize(impl_->renderer, &ow, &oh);
  // Window coordinates to output pixels (they differ on HiDPI displays).
  int px = ww > 0 && ow > 0 ? static_cast<int>(static_cast<int64_t>(windowX) * ow / ww) : windowX;
  int py = wh > 0 && oh > 0 ? static_cast<int>(static_cast<int64_t>(windowY) * oh / wh) : windowY;
  sdl::Placement p{impl_->letterbox.x, impl_->letterbox.y, impl_->letterbox.w, impl_->letterbox.h, 1};
  sdl::OutputToClient(p, px, py, x, y);
}

void SdlHost::ShowLastFrame() {
  if (!impl_->renderer) return;
  UpdateLetterbox();
  SDL_SetRenderDrawColor(impl_->renderer, 0, 0, 0, 255);
  SDL_RenderClear(impl_->renderer);
  if (impl_->haveFrame && impl_->texture) {
    const SDL_Rect& box = impl_->letterbox;
    const int factor = impl_->wholeFactor;
    bool whole = box.w == impl_->textureW * factor && box.h == impl_->textureH * factor;
    SDL_Texture* source = impl_->texture;
    if (!whole && factor > 1) {
      // Nearest up to the whole multiple below, linear the rest of the way:
      // sharp edges without uneven pixel widths.
      if (impl_->prescaled == nullptr || impl_->prescaleFactor != factor) {
        if (impl_->prescaled) SDL_DestroyTexture(impl_->prescaled);
        impl_->prescaled = SDL_CreateTexture(impl_->renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_TARGET,
                                             impl_->textureW * factor, impl_->textureH * factor);
        impl_->prescaleFactor = factor;
        impl_->prescaledStale = true;
        if (impl_->prescaled) SDL_SetTextureScaleMode(impl_->prescaled, SDL_ScaleModeLinear);
      }
      if (impl_->prescaled && impl_->prescaledStale &&
          SDL_SetRenderTarget(impl_->renderer, impl_->prescaled) == 0) {
        SDL_SetTextureScaleMode(impl_->texture, SDL_ScaleModeNearest);
        SDL_RenderCopy(impl_->renderer, impl_->texture, nullptr, nullptr);
        SDL_SetRenderTarget(impl_->renderer, nullptr);
        impl_->prescaledStale = false;
      }
      if (impl_->prescaled && !impl_->prescaledStale) source = impl_->prescaled;
    }
    if (source == impl_->texture) {
      // Whole multiples stay nearest; smaller than the client needs linear.
      SDL_SetTextureScaleMode(impl_->texture, whole ? SDL_ScaleModeNearest : SDL_ScaleModeLinear);
    }
    SDL_RenderCopy(impl_->renderer, source, nullptr, &box);
  }
  SDL_RenderPresent(impl_->renderer);
  ++impl_->framesShown;
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

void SdlHost::SetFullscreen(bool on) {
  if (!impl_->window || on == impl_->fullscreen) return;
  SDL_Window* w = impl_->window;
  const char* driver = SDL_GetCurrentVideoDriver();
  const bool x11 = driver != nullptr && std::strcmp(driver, "x11") == 0;
  if (on) {
    SDL_GetWindowPosition(w, &impl_->windowedRect.x, &impl_->windowedRect.y);
    SDL_GetWindowSize(w, &impl_->windowedRect.w, &impl_->windowedRect.h);
  }
  if (x11) {
    // On X a borderless window over the whole screen: window managers take
    // it as fullscreen, and it works without one too (SDL's fullscreen
    // request there only reaches a window manager).
    SDL_Rect bounds{0, 0, 0, 0};
    if (on && SDL_GetDisplayBounds(std::max(0, SDL_GetWindowDisplayIndex(w)), &bounds) != 0) {
      impl_->lastError = SDL_GetError();
      return;
    }
    const SDL_Rect& r = on ? bounds : impl_->windowedRect;
    SDL_SetWindowBordered(w, on ? SDL_FALSE : SDL_TRUE);
    SDL_SetWindowResizable(w, on ? SDL_FALSE : SDL_TRUE);
    SDL_SetWindowPosition(w, r.x, r.y);
    SDL_SetWindowSize(w, r.w, r.h);
    if (on) SDL_RaiseWindow(w);
  } else if (SDL_SetWindowFullscreen(w, on ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0) != 0) {
    impl_->lastError = SDL_GetError();
    return;
  }
  impl_->fullscreen = on;
  ShowLastFrame();
}

bool SdlHost::Fullscreen() const { return impl_->fullscreen; }

void SdlHost::WindowSize(int* width, int* height) const {
  int w = 0, h = 0;
  if (impl_->window) SDL_GetWindowSize(impl_->window, &w, &h);
  if (width) *width = w;
  if (height) *height = h;
}

void SdlHost::Present(const uint32_t* pixels, int width, int height, int pitchBytes) {
  if (!impl_->renderer || pixels == nullptr || width <= 0 || height <= 0 || pitchBytes < width * 4) return;
  // The window already shows it (and shows it again when exposed, resized
  // or switched to fullscreen).
  if (impl_->haveFrame && impl_->texture && impl_->textureW == width && impl_->textureH == height &&
      SameFrame(impl_->shown, impl_->textureW, pixels, width, height, pitchBytes)) {
    return;
  }
  if (!Upload(*impl_, pixels, width, height, pitchBytes)) return;
  KeepFrame(&impl_->shown, pixels, width, height, pitchBytes);
  ShowLastFrame();
}

void SdlHost::SetCursor(const Image* cursor) {
  if (!ok_) return;
  if (cursor == nullptr) {
    if (impl_->arrow == nullptr) impl_->arrow = SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_ARROW);
    if (impl_->arrow) SDL_SetCursor(impl_->arrow);
    return;
  }
  uint64_t fingerprint = Fingerprint(*cursor);
  Impl::CachedCursor& cached = impl_->cursors[cursor];
  if (cached.cursor == nullptr || cached.fingerprint != fingerprint) {
    SDL_Surface* s = SurfaceFrom(*cursor);
    SDL_Cursor* made = s ? SDL_CreateColorCursor(s, cursor->hotspotX, cursor->hotspotY) : nullptr;
    if (s) SDL_FreeSurface(s);
    if (made == nullptr) return;
    // The old one may be showing: switch before freeing it.
    SDL_SetCursor(made);
    if (cached.cursor) SDL_FreeCursor(cached.cursor);
    cached.cursor = made;
    cached.fingerprint = fingerprint;
    return;
  }
  SDL_SetCursor(cached.cursor);
}

void SdlHost::SetIcon(const Image* icon) {
  if (impl_->icon) SDL_FreeSurface(impl_->icon);
  impl_->icon = icon ? SurfaceFrom(*icon) : nullptr;
  if (impl_->icon && impl_->window) SDL_SetWindowIcon(impl_->window, impl_->icon);
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

std::string SdlHost::RendererName() const {
  SDL_RendererInfo info;
  if (impl_->renderer == nullptr || SDL_GetRendererInfo(impl_->renderer, &info) != 0 || info.name == nullptr) return {};
  return info.name;
}

uint64_t SdlHost::FramesShown() const { return impl_->framesShown; }

bool SdlHost::OpenAudio(const AudioFormat& format, AudioSource* source) {
  if (source == nullptr || format.rate <= 0 || format.channels <= 0) return false;
  CloseAudio();
  impl_->audioError.clear();
  impl_->audioFailed = false;
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
    impl_->audioFailed = true;
    impl_->audioError = SDL_GetError();
    return false;
  }
  SDL_AudioSpec want{}, have{};
  want.freq = format.rate;
  want.format = AUDIO_S16SYS;
  want.channels = static_cast<Uint8>(format.channels);
  want.samples = 1024;
  want.callback = AudioCallback;
  want.userdata = impl_.get();
  impl_->source = source;
  impl_->channels = format.channels;
  // Our mixer produces exactly the asked format; SDL converts if it must.
  impl_->audio = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
  if (impl_->audio == 0) {
    impl_->audioFailed = true;
    impl_->audioError = SDL_GetError();
    impl_->source = nullptr;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return false;
  }
  impl_->audioFrames = have.samples;
  SDL_PauseAudioDevice(impl_->audio, 0);
  return true;
}

void SdlHost::CloseAudio() {
  if (impl_->audio != 0) {
    SDL_CloseAudioDevice(impl_->audio);
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
  }
  impl_->audio = 0;
  impl_->source = nullptr;
}

bool SdlHost::SilentAudioOutput() {
  // Only SDL_AUDIODRIVER can choose the dummy driver (SDL never falls back
  // to it); where it might have, ask SDL which driver the list came to.
  const char* wanted = SDL_GetHint(SDL_HINT_AUDIODRIVER);
  if (wanted == nullptr || SDL_strcasestr(wanted, "dummy") == nullptr) return false;
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
  const char* driver = SDL_GetCurrentAudioDriver();
  const bool silent = driver != nullptr && SDL_strcasecmp(driver, "dummy") == 0;
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
  return silent;
}

int SdlHost::AudioBufferFrames() { return impl_->audioFrames; }

bool SdlHost::AudioFailed() const { return impl_->audioFailed; }
std::string SdlHost::AudioError() const { return impl_->audioError; }

std::string SdlHost::LastError() const {
  if (!impl_->lastError.empty()) return impl_->lastError;
  const char* e = SDL_GetError();
  return e ? std::string(e) : std::string();
}

DialogAnswer SdlHost::MessageBox(const MessageBoxRequest& request) {
  Uint32 kind = SDL_MESSAGEBOX_INFORMATION;
  if (request.icon == DialogIcon::Error) kind = SDL_MESSAGEBOX_ERROR;
  if (request.icon == DialogIcon::Warning) kind = SDL_MESSAGEBOX_WARNING;
  std::vector<SDL_MessageBoxButtonData> buttons;
  auto add = [&](DialogAnswer answer, const char* text) {
    buttons.push_back(SDL_MessageBoxButtonData{0, static_cast<int>(answer), text});
  };
  using A = DialogAnswer;
  switch (request.buttons) {
    case DialogButtons::Ok: add(A::Ok, "OK"); break;
    case DialogButtons::OkCancel: add(A::Ok, "OK"); add(A::Cancel, "Cancel"); break;
    case DialogButtons::AbortRetryIgnore: add(A::Abort, "Abort"); add(A::Retry, "Retry"); add(A::Ignore, "Ignore"); break;
    case DialogButtons::YesNoCancel: add(A::Yes, "Yes"); add(A::No, "No"); add(A::Cancel, "Cancel"); break;
    case DialogButtons::YesNo: add(A::Yes, "Yes"); add(A::No, "No"); break;
    case DialogButtons::RetryCancel: add(A::Retry, "Retry"); add(A::Cancel, "Cancel"); break;
  }
  size_t chosen = request.defaultButton >= 0 && static_cast<size_t>(request.defaultButton) < buttons.size()
                      ? static_cast<size_t>(request.defaultButton)
                      : 0;
  buttons[chosen].flags |= SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT;
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

std::string SdlHost::DeviceProfile() {
  const char* p = std::getenv("VELMORA_D3D_PROFILE");
  return (p && *p) ? std::string(p) : std::string("default");
}

}  // namespace host

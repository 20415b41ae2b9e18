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
#include "host/sdl/profile_ini.h"
#include "host/sdl/x11_keymap.h"

namespace host {

struct SdlHost::Impl {
  uint64_t startTicks = 0;
  SDL_Window* window = nullptr;
  SDL_Renderer* renderer = nullptr;
  SDL_Texture* texture = nullptr;
  int textureW = 0, textureH = 0;
  bool haveFrame = false;
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

constexpr uint32_t kMaxWaitSliceMs = 100;

void AudioCallback(void* user, Uint8* stream, int len) {
  auto* impl = static_cast<SdlHost::Impl*>(user);
  int frameBytes = 2 * std::max(1, impl->channels);
  std::memset(stream, 0, static_cast<size_t>(len));
  if (impl->source) impl->source->Mix(reinterpret_cast<int16_t*>(stream), len / frameBytes);
}

// Tells pictures apart when a freed one's address is reused.
uint64_t Fingerprint(const Image& image) {
  uint64_t h = 1469598103934665603ull;
  auto mix = [&](uint64_t v) {
    h ^= v;
    h *= 1099511628211ull;
  };
  mix(static_cast<uint64_t>(image.width));
  mix(static_cast<uint64_t>(image.height));
  mix(static_cast<uint64_t>(image.hotspotX));
  mix(static_cast<uint64_t>(image.hotspotY));
  for (uint32_t p : image.argb) mix(p);
  return h;
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

}  // namespace

SdlHost::SdlHost() : impl_(std::make_unique<Impl>()) {
  SDL_SetMainReady();
  SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "linear");
  SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "0");
  ok_ = SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS | SDL_INIT_TIMER) == 0;
  if (!ok_) std::fprintf(stderr, "velmora: cannot start SDL video: %s\n", SDL_GetError());
  impl_->startTicks = SDL_GetTicks64();
  const char* dbg = std::getenv("VELMORA_DEBUG_OUTPUT");
  impl_->debugToStderr = dbg != nullptr && dbg[0] != '\0' && dbg[0] != '0';
  if (ok_) SDL_StopTextInput();  // keys only; no input-method windows
  const char* driver = ok_ ? SDL_GetCurrentVideoDriver() : nullptr;
  if (driver != nullptr && std::strcmp(driver, "x11") == 0) impl_->display = sdl::OpenKeymapDisplay();
}

SdlHost::~SdlHost() {
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
      out.type = e.type == SDL_KEYDOWN ? EventType::KeyDown : EventType::KeyUp;
      out.key = sdl::KeyFromSdlScancode(static_cast<int>(e.key.keysym.scancode));
      out.mods = ModsFrom(e.key.keysym.mod);
      out.repeat = e.key.repeat != 0;
      if (out.key == Key::None) return;
      break;
    }
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
      if (e.button.button != SDL_BUTTON_LEFT) return;
      // Presses on the letterbox bars are outside the client.
      if (e.type == SDL_MOUSEBUTTONDOWN &&
          (e.button.x < 0 || e.button.y < 0 || e.button.x >= kClientWidth || e.button.y >= kClientHeight)) {
        return;
      }
      out.type = e.type == SDL_MOUSEBUTTONDOWN ? EventType::MouseDown : EventType::MouseUp;
      out.x = std::clamp(e.button.x, 0, kClientWidth - 1);
      out.y = std::clamp(e.button.y, 0, kClientHeight - 1);
      break;
    case SDL_MOUSEMOTION:
      if (e.motion.x < 0 || e.motion.y < 0 || e.motion.x >= kClientWidth || e.motion.y >= kClientHeight) return;
      out.type = EventType::MouseMove;
      out.x = e.motion.x;
      out.y = e.motion.y;
      break;
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
    int slice = static_cast<int>(std::min<uint64_t>(deadline - now, kMaxWaitSliceMs));
    if (SDL_WaitEventTimeout(&e, slice)) Translate(&e);
  }
  Pump();
}

bool SdlHost::WaitEvent(uint64_t deadlineMs) {
  Pump();
  while (queue_.empty()) {
    uint64_t now = NowMs();
    if (now >= deadlineMs) break;
    if (!ok_) {
      SDL_Delay(static_cast<uint32_t>(std::min<uint64_t>(deadlineMs - now, kMaxWaitSliceMs)));
      continue;
    }
    SDL_Event e;
    int slice = static_cast<int>(std::min<uint64_t>(deadlineMs - now, kMaxWaitSliceMs));
    if (SDL_WaitEventTimeout(&e, slice)) Translate(&e);
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
  impl_->window = SDL_CreateWindow(titleUtf8.c_str(), x, y, width, height,
                                   SDL_WINDOW_HIDDEN | SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI);
  if (impl_->window == nullptr) {
    std::fprintf(stderr, "velmora: cannot create the window: %s\n", SDL_GetError());
    return false;
  }
  impl_->renderer = SDL_CreateRenderer(impl_->window, -1, SDL_RENDERER_ACCELERATED);
  if (impl_->renderer == nullptr) impl_->renderer = SDL_CreateRenderer(impl_->window, -1, SDL_RENDERER_SOFTWARE);
  if (impl_->renderer == nullptr) {
    std::fprintf(stderr, "velmora: cannot create a renderer: %s\n", SDL_GetError());
    SDL_DestroyWindow(impl_->window);
    impl_->window = nullptr;
    return false;
  }
  // The logical client: letterboxed, and mouse events scaled back into it.
  SDL_RenderSetLogicalSize(impl_->renderer, kClientWidth, kClientHeight);
  SDL_SetWindowMinimumSize(impl_->window, kClientWidth / 4, kClientHeight / 4);
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
  if (impl_->texture) SDL_DestroyTexture(impl_->texture);
  if (impl_->renderer) SDL_DestroyRenderer(impl_->renderer);
  if (impl_->window) SDL_DestroyWindow(impl_->window);
  impl_->texture = nullptr;
  impl_->renderer = nullptr;
  impl_->window = nullptr;
  impl_->haveFrame = false;
}

void SdlHost::ShowLastFrame() {
  if (!impl_->renderer) return;
  SDL_SetRenderDrawColor(impl_->renderer, 0, 0, 0, 255);
  SDL_RenderClear(impl_->renderer);
  if (impl_->haveFrame && impl_->texture) SDL_RenderCopy(impl_->renderer, impl_->texture, nullptr, nullptr);
  SDL_RenderPresent(impl_->renderer);
}

void SdlHost::Present(const uint32_t* pixels, int width, int height, int pitchBytes) {
  if (!impl_->renderer || pixels == nullptr || width <= 0 || height <= 0 || pitchBytes < width * 4) return;
  if (impl_->texture == nullptr || impl_->textureW != width || impl_->textureH != height) {
    if (impl_->texture) SDL_DestroyTexture(impl_->texture);
    impl_->texture =
        SDL_CreateTexture(impl_->renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING, width, height);
    impl_->textureW = width;
    impl_->textureH = height;
    if (impl_->texture == nullptr) return;
  }
  // The frame's X byte is not alpha: draw it opaque.
  SDL_SetTextureBlendMode(impl_->texture, SDL_BLENDMODE_NONE);
  SDL_UpdateTexture(impl_->texture, nullptr, pixels, pitchBytes);
  impl_->haveFrame = true;
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
  if (sdl::ReadKeymap(impl_->display, keys)) return;
  if (!ok_) return;
  SDL_PumpEvents();
  int count = 0;
  const Uint8* state = SDL_GetKeyboardState(&count);
  for (int sc = 0; sc < count; ++sc) {
    if (!state[sc]) continue;
    int key = static_cast<int>(sdl::KeyFromSdlScancode(sc));
    if (key > 0) keys[key] = 0x80;
  }
}

bool SdlHost::OpenAudio(const AudioFormat& format, AudioSource* source) {
  if (source == nullptr || format.rate <= 0 || format.channels <= 0) return false;
  CloseAudio();
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
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

int SdlHost::AudioBufferFrames() { return impl_->audioFrames; }

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

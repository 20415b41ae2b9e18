// sdl_window.cpp — the SDL host's window: making it (and its renderer),
// presenting frames letterboxed into it, fullscreen, cursor and icon.
#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "host/sdl/letterbox.h"
#include "host/sdl/renderer_choice.h"
#include "host/sdl/sdl_host_impl.h"
#include "host/sdl/startup_checks.h"
#include "host/sdl/x11_window.h"
#include "host/shown_frame.h"

namespace host {

namespace {

constexpr Uint32 kWindowFlags = SDL_WINDOW_HIDDEN | SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI;
constexpr unsigned kGlRenderer = 0x1F01;  // GL_RENDERER, for glGetString

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

}  // namespace

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
  sdl::QuietStderr quiet(impl_->debugToStderr);  // OpenGL drivers' chatter
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

bool SdlHost::WindowEvent(const void* raw, Event* out) {
  const SDL_Event& e = *static_cast<const SDL_Event*>(raw);
  switch (e.type) {
    case SDL_QUIT:
      // The last window's close box also sends a window close event.
      if (!queue_.empty() && queue_.back().type == EventType::Close) return false;
      out->type = EventType::Close;
      return true;
    case SDL_WINDOWEVENT:
      if (e.window.event == SDL_WINDOWEVENT_CLOSE) {
        out->type = EventType::Close;
        return true;
      }
      if (e.window.event == SDL_WINDOWEVENT_EXPOSED || e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED ||
          e.window.event == SDL_WINDOWEVENT_RESTORED) {
        ShowLastFrame();
        out->type = EventType::Expose;
        return true;
      }
      return false;
    case SDL_RENDER_DEVICE_RESET:
      RemakeTextures();
      return false;
    case SDL_RENDER_TARGETS_RESET:
      impl_->prescaledStale = true;
      ShowLastFrame();
      return false;
    default:
      return false;
  }
}

// Every texture is lost: make them again from the frame kept here.
void SdlHost::RemakeTextures() {
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

void SdlHost::SetFullscreen(bool on) {
  if (!impl_->window || on == impl_->fullscreen) return;
  if (ShouldFail("host.SetFullscreen")) {
    FullscreenFailed("host.SetFullscreen fault");
    return;
  }
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
      FullscreenFailed(impl_->lastError);
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
    FullscreenFailed(impl_->lastError);
    return;
  }
  impl_->fullscreen = on;
  ShowLastFrame();
}

// Said once, on standard error and in the window's title: the shortcut
// otherwise seems to do nothing at all.
void SdlHost::FullscreenFailed(const std::string& reason) {
  if (impl_->fullscreenFailureTold) return;
  impl_->fullscreenFailureTold = true;
  std::fprintf(stderr, "velmora: cannot switch to fullscreen (%s); playing on in the window\n", reason.c_str());
  if (impl_->window == nullptr) return;
  const std::string title = SDL_GetWindowTitle(impl_->window);
  SDL_SetWindowTitle(impl_->window, (title + " (fullscreen unavailable)").c_str());
}

bool SdlHost::Fullscreen() const { return impl_->fullscreen; }

std::string SdlHost::WindowTitle() const { return impl_->window ? SDL_GetWindowTitle(impl_->window) : std::string(); }

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

std::string SdlHost::RendererName() const {
  SDL_RendererInfo info;
  if (impl_->renderer == nullptr || SDL_GetRendererInfo(impl_->renderer, &info) != 0 || info.name == nullptr) return {};
  return info.name;
}

uint64_t SdlHost::FramesShown() const { return impl_->framesShown; }

}  // namespace host

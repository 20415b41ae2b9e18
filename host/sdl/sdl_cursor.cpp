// sdl_cursor.cpp — the SDL host's cursor and window icon: the program's
// pictures made into SDL cursors (kept, as the program switches often) and
// surfaces.
#include <SDL.h>

#include <cstring>

#include "host/sdl/sdl_host_impl.h"

namespace host {

namespace {

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

}  // namespace host

// sdl_audio.cpp — the SDL host's sound output: SDL's callback pulling
// from the program's mixer.
#include <SDL.h>

#include <algorithm>
#include <cstring>

#include "host/sdl/sdl_host_impl.h"

namespace host {

namespace {

void AudioCallback(void* user, Uint8* stream, int len) {
  auto* impl = static_cast<SdlHost::Impl*>(user);
  int frameBytes = 2 * std::max(1, impl->channels);
  std::memset(stream, 0, static_cast<size_t>(len));
  if (impl->source) impl->source->Mix(reinterpret_cast<int16_t*>(stream), len / frameBytes);
}

}  // namespace

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

}  // namespace host

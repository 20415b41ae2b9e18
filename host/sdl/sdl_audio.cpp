// sdl_audio.cpp — the SDL host's sound output: SDL's callback pulling
// from the program's mixer. When the device goes away while playing
// (headphones unplugged, a Bluetooth link dropped) the host opens the
// default output again, or plays into a silent output that keeps time by
// the clock when none is left, and goes back to a device when one arrives;
// the mixer is pulled on from where it was, and the program never notices.
#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "host/sdl/sdl_host_impl.h"
#include "host/sdl/startup_checks.h"

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
  sdl::QuietStderr quiet(impl_->debugToStderr);  // sound libraries' chatter
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
    impl_->audioFailed = true;
    impl_->audioError = SDL_GetError();
    return false;
  }
  impl_->source = source;
  impl_->channels = format.channels;
  impl_->audioFormat = format;
  if (!OpenAudioDevice()) {
    impl_->audioFailed = true;
    impl_->source = nullptr;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return false;
  }
  return true;
}

// The default output, in the format OpenAudio was asked for, started.
bool SdlHost::OpenAudioDevice() {
  if (ShouldFail("host.OpenAudio")) {
    impl_->audioError = "no audio output (host.OpenAudio fault)";
    return false;
  }
  SDL_AudioSpec want{}, have{};
  want.freq = impl_->audioFormat.rate;
  want.format = AUDIO_S16SYS;
  want.channels = static_cast<Uint8>(impl_->audioFormat.channels);
  want.samples = 1024;
  want.callback = AudioCallback;
  want.userdata = impl_.get();
  // Our mixer produces exactly the asked format; SDL converts if it must.
  impl_->audio = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
  if (impl_->audio == 0) {
    impl_->audioError = SDL_GetError();
    return false;
  }
  impl_->audioFrames = have.samples;
  ++impl_->audioDevicesOpened;
  SDL_PauseAudioDevice(impl_->audio, 0);
  return true;
}

void SdlHost::CloseAudio() {
  impl_->clockOutput.Stop();
  if (impl_->audio != 0) SDL_CloseAudioDevice(impl_->audio);
  if (impl_->source != nullptr) SDL_QuitSubSystem(SDL_INIT_AUDIO);
  impl_->audio = 0;
  impl_->source = nullptr;
}

void SdlHost::AudioDeviceEvent(const void* raw) {
  const SDL_Event& e = *static_cast<const SDL_Event*>(raw);
  if (e.adevice.iscapture != 0 || impl_->source == nullptr) return;
  if (e.type == SDL_AUDIODEVICEREMOVED) {
    if (impl_->audio == 0 || e.adevice.which != impl_->audio) return;
    SDL_CloseAudioDevice(impl_->audio);
    impl_->audio = 0;
  } else if (!impl_->clockOutput.Running()) {
    return;  // a device arrived while one plays: keep it
  } else {
    impl_->clockOutput.Stop();
  }
  const bool lost = e.type == SDL_AUDIODEVICEREMOVED;
  if (OpenAudioDevice()) {
    if (lost) std::fputs("velmora: the sound device went away; playing on the default output\n", stderr);
    return;
  }
  if (lost) std::fputs("velmora: the sound device went away and no other is left; playing on silently\n", stderr);
  impl_->clockOutput.Start(impl_->source, impl_->audioFormat);
}

// The fault "host.AudioDeviceLost" takes the device away mid-play, as
// unplugging it would: it stops, and SDL's removal event follows.
void SdlHost::AudioFaults() {
  if (impl_->audio == 0 || !ShouldFail("host.AudioDeviceLost")) return;
  SDL_PauseAudioDevice(impl_->audio, 1);
  SDL_Event e{};
  e.type = SDL_AUDIODEVICEREMOVED;
  e.adevice.which = impl_->audio;
  e.adevice.iscapture = 0;
  SDL_PushEvent(&e);
}

SdlHost::AudioOutputKind SdlHost::AudioOutput() const {
  if (impl_->audio != 0) return AudioOutputKind::Device;
  return impl_->clockOutput.Running() ? AudioOutputKind::Clock : AudioOutputKind::None;
}

int SdlHost::AudioDevicesOpened() const { return impl_->audioDevicesOpened; }

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

// sdl_host.h — the host on a real desktop, through SDL2.
//
// Provides: host::SdlHost: one resizable, maximisable, HiDPI-aware window
// whose logical 800 x 640 client is letterboxed into whatever size the
// window has, sharply (see letterbox.h; mouse positions arrive in logical
// client coordinates); Alt+Enter and F11 toggle borderless fullscreen; the
// last frame is shown again on expose; gamepads (hot-plug): d-pad and left
// stick hold the arrow keys in the keyboard state, A or Start is the space
// bar and Back is Escape as window messages; keyboard state read globally through
// X11 (XQueryKeymap) where the display is X11, else from the focused window;
// audio through SDL's callback (none on SDL's dummy driver, which hears
// nothing: the mixer keeps time by the clock); blocking message boxes;
// cursor and icon pictures; the profile from an ini file (see
// profile_ini.h). Where OpenGL is only a CPU rasteriser, frames are copied
// into the window's surface instead (see renderer_choice.h); a GPU keeps
// the accelerated renderer. A frame equal to the one on screen is not sent
// again, and waiting wakes only for events and deadlines.
// A sound device that goes away while playing is replaced by the default
// output, or by a silent output keeping time by the clock until a device
// arrives (see clock_output.h); a fullscreen switch that fails is told once.
// Fault-injection names of its own (FailAt; the desktop program takes them
// from VELMORA_FAULT): "host.OpenAudio", "host.AudioDeviceLost" (asked at
// each pass of the event loop while a device plays), "host.SetFullscreen".
// Environment: VELMORA_DEBUG_OUTPUT=1 prints debugger output to standard
// error; VELMORA_D3D_PROFILE names the Direct3D device profile.
// Depends on: SDL2, X11 (optional at run time).
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>

#include "host/host.h"

namespace host {

class SdlHost : public Host {
 public:
  SdlHost();
  ~SdlHost() override;
  SdlHost(const SdlHost&) = delete;
  SdlHost& operator=(const SdlHost&) = delete;

  // False when SDL could not start (no display, or another of its parts:
  // FailedSubsystem names it, LastError says why).
  bool Ok() const { return ok_; }
  std::string FailedSubsystem() const;
  // What went wrong, for the entry's diagnostics: whether opening the audio
  // output failed and SDL's words for it; the last error of the host or SDL.
  bool AudioFailed() const;
  std::string AudioError() const;
  std::string LastError() const;
  // Where the sound goes: an SDL device, the silent output that keeps time
  // by the clock (the device went away and no other was left), or nowhere.
  enum class AudioOutputKind { None, Device, Clock };
  AudioOutputKind AudioOutput() const;
  // Devices opened so far: the first, and each one opened again after a
  // device went away.
  int AudioDevicesOpened() const;
  // Borderless fullscreen on the desktop's mode (Alt+Enter and F11 toggle it;
  // those keys never reach the program).
  // A switch that fails leaves the window as it was and tells the player
  // once: a line on standard error and "(fullscreen unavailable)" after the
  // window's title.
  void SetFullscreen(bool on);
  bool Fullscreen() const;
  std::string WindowTitle() const;
  void WindowSize(int* width, int* height) const;  // outer size, desktop units
  // Makes the n-th call (1-based) of the named operation fail (see
  // Host::ShouldFail and the host's own operations above).
  void FailAt(const std::string& call, int nth = 1);
  // How many times the named operation has asked, once a fault is planned.
  int CallCount(const std::string& call) const;
  // Gamepads open now (hot-plugged through SDL's game-controller API).
  int GamepadCount() const;
  // SDL's name of the renderer drawing the window ("software" where the only
  // OpenGL is a CPU rasteriser), empty without a window.
  std::string RendererName() const;
  // Pictures sent to the window so far: presents of new frames, and the
  // last frame shown again on expose, resize and fullscreen. A frame equal
  // to the one on screen is not sent again.
  uint64_t FramesShown() const;

  uint64_t NowMs() override;
  int64_t CalendarTime() override;
  void SleepMs(uint32_t ms) override;
  bool WaitEvent(uint64_t deadlineMs) override;
  bool PollEvent(Event* out) override;
  void DesktopSize(int* width, int* height) override;
  bool CreateWindow(const std::string& titleUtf8, int x, int y, int width, int height) override;
  void ShowWindow(bool visible) override;
  void MoveWindow(int x, int y, int width, int height) override;
  void DestroyWindow() override;
  void Present(const uint32_t* pixels, int width, int height, int pitchBytes) override;
  void SetCursor(const Image* cursor) override;
  void SetIcon(const Image* icon) override;
  void KeyboardState(uint8_t keys[kKeyCount]) override;
  bool OpenAudio(const AudioFormat& format, AudioSource* source) override;
  void CloseAudio() override;
  // True when SDL's audio driver is its dummy one, which throws every sample
  // away: the mixer then keeps time by the clock instead of a thread pulling
  // silence every buffer.
  bool SilentAudioOutput() override;
  int AudioBufferFrames() override;
  DialogAnswer MessageBox(const MessageBoxRequest& request) override;
  void DebugOutput(const char* text) override;
  std::optional<std::string> ProfileValue(const std::string& section, const std::string& key) override;
  std::string DeviceProfile() override;
  bool ShouldFail(const char* call) override;

  struct Impl;  // SDL state, opaque here

 private:
  void Pump();
  // Translate's stages; each takes an SDL_Event and says whether it fills
  // `out` with an event for the program.
  void Translate(const void* sdlEvent);
  bool WindowEvent(const void* sdlEvent, Event* out);
  bool KeyEvent(const void* sdlEvent, Event* out);
  bool MouseEvent(const void* sdlEvent, Event* out);
  bool GamepadEvent(const void* sdlEvent, Event* out);
  void RemakeTextures();
  void AudioDeviceEvent(const void* sdlEvent);
  bool OpenAudioDevice();
  void AudioFaults();
  void FullscreenFailed(const std::string& reason);
  void ShowLastFrame();
  void UpdateLetterbox();
  void ClientPoint(int windowX, int windowY, int* x, int* y) const;
  bool HostShortcut(int scancode, int mod, bool down, bool repeat);

  std::unique_ptr<Impl> impl_;
  bool ok_ = false;
  std::deque<Event> queue_;
};

}  // namespace host

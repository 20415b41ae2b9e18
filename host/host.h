// host.h — the one small interface the platform layer runs on.
//
// Provides: host::Host, the machine as platform/ sees it (clock and sleep,
// one window, input events, presenting a 32-bit frame, keyboard state, audio
// output, message boxes, cursor and icon, debugger output, profile values,
// device profile and fault injection), and the process-wide current host.
// Depends on: the C++ standard library only. Nothing here knows SDL or
// Windows; host/sdl and host/headless implement it.
//
// A new host must supply every pure virtual below; the defaults of the
// others describe a plain desktop without extras.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace host {

// Logical size of the window's client area; hosts letterbox it into the
// real window, whatever size that is made.
constexpr int kClientWidth = 800;
constexpr int kClientHeight = 640;

enum class EventType {
  KeyDown,     // key: vk, scancode (DirectInput code), repeat
  KeyUp,       // key: vk, scancode
  MouseDown,   // left button pressed at (x, y), logical client coordinates
  MouseUp,     // left button released at (x, y)
  MouseMove,   // pointer at (x, y)
  Close,       // the user asked to close the window (close box, Alt+F4)
  Expose,      // the window needs its last frame shown again
};

struct Event {
  EventType type = EventType::Expose;
  uint64_t timeMs = 0;  // host clock (NowMs) when it happened
  int vk = 0;           // Windows virtual-key code
  int scancode = 0;     // DirectInput key code (DIK_*)
  bool repeat = false;  // key auto-repeat
  int x = 0;
  int y = 0;
};

// A cursor or icon picture: straight (not premultiplied) ARGB, top row first.
struct Image {
  int width = 0;
  int height = 0;
  int hotspotX = 0;
  int hotspotY = 0;
  std::vector<uint32_t> argb;
};

// A message box as the program asked for it. The raw bytes are what the
// program passed (Shift-JIS); the UTF-8 forms are what a person sees.
struct MessageBoxRequest {
  std::string textBytes;
  std::optional<std::string> captionBytes;  // absent for a null caption
  std::string textUtf8;
  std::string captionUtf8;  // "Error" for a null caption
  uint32_t flags = 0;       // MB_* style bits
};

// Pulls mixed audio: fills `frames` interleaved frames of the opened format.
// Called from the host's audio thread (sdl) or from the clock (headless).
class AudioSource {
 public:
  virtual ~AudioSource() = default;
  virtual void Mix(int16_t* out, int frames) = 0;
};

struct AudioFormat {
  int rate = 44100;
  int channels = 2;  // interleaved signed 16-bit samples
};

class Host {
 public:
  virtual ~Host() = default;

  // --- clock ---------------------------------------------------------------
  // Milliseconds on a monotonic clock that starts near 0.
  virtual uint64_t NowMs() = 0;
  // Calendar time, seconds since 1970-01-01 UTC.
  virtual int64_t CalendarTime() = 0;
  // Blocks for `ms`, keeping the host responsive: events that arrive wait
  // in the host's queue for PollEvent.
  virtual void SleepMs(uint32_t ms) = 0;
  // Blocks until an event is queued or the clock reaches `deadlineMs`,
  // whichever is first. Returns true when an event is waiting.
  virtual bool WaitEvent(uint64_t deadlineMs) = 0;
  // Takes the oldest queued event, if any.
  virtual bool PollEvent(Event* out) = 0;

  // --- window --------------------------------------------------------------
  virtual void DesktopSize(int* width, int* height) = 0;
  // Creates the one window (hidden). Position and size are of the outer
  // rectangle in desktop coordinates; the client is always 800 x 640 logical.
  virtual bool CreateWindow(const std::string& titleUtf8, int x, int y, int width, int height) = 0;
  virtual void ShowWindow(bool visible) = 0;
  virtual void MoveWindow(int x, int y, int width, int height) = 0;
  virtual void DestroyWindow() = 0;
  // Shows a frame of 32-bit pixels (X8R8G8B8, top row first) in the client.
  virtual void Present(const uint32_t* pixels, int width, int height, int pitchBytes) = 0;
  virtual void SetCursor(const Image* cursor) = 0;  // null: the system arrow
  virtual void SetIcon(const Image* icon) = 0;

  // --- keyboard ------------------------------------------------------------
  // The state of every key, indexed by DirectInput key code, 0x80 when held.
  // Read globally where the display allows it (background device).
  virtual void KeyboardState(uint8_t keys[256]) = 0;

  // --- audio ---------------------------------------------------------------
  // Starts pulling audio from `source`. Returns false when the machine has
  // no output; the caller then plays into silence.
  virtual bool OpenAudio(const AudioFormat& format, AudioSource* source) = 0;
  virtual void CloseAudio() = 0;
  // Latency from a change in the source to sound, in output frames.
  virtual int AudioBufferFrames() { return 0; }

  // --- dialogs and diagnostics ---------------------------------------------
  // Blocks until dismissed; returns the button id (IDOK for MB_OK).
  virtual int MessageBox(const MessageBoxRequest& request) = 0;
  virtual void DebugOutput(const char* text) = 0;
  // A value of the user's profile (win.ini), if set.
  virtual std::optional<std::string> ProfileValue(const std::string& section, const std::string& key) = 0;

  // --- test support --------------------------------------------------------
  // Name of the Direct3D capability profile to report; the platform's table
  // (platform/d3d9/caps_profiles.cpp) lists the known ones.
  virtual std::string DeviceProfile() { return "default"; }
  // Fault injection: true when this call of the named platform operation is
  // to fail. Every platform call that the program tests for failure asks.
  // Names: a free function by its own name ("Direct3DCreate9", "mmioOpenA"),
  // a method as "Interface.Method" ("IDirect3DDevice9.BeginScene",
  // "IDirectSound8.CreateSoundBuffer"), a device type as a suffix
  // ("IDirect3D9.CreateDevice.HAL"), the image library's allocations as "alloc"
  // (the program runner routes the library's allocation hook here).
  virtual bool ShouldFail(const char* call) {
    (void)call;
    return false;
  }
};

// The process-wide host. Set once, before WinMain runs.
Host* Current();
void SetCurrent(Host* host);

// Shorthand for platform code: Current()->ShouldFail(call), false with no host.
bool ShouldFail(const char* call);

}  // namespace host

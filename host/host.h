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

// A key by its USB HID usage on the keyboard page: the host's own code,
// the same for every layout. Values without a name below are valid too;
// the keyboard state is indexed by these numbers.
enum class Key : uint8_t {
  None = 0,
  A = 4, B, C, D, E, F, G, H, I, J, K, L, M, N, O, P, Q, R, S, T, U, V, W, X, Y, Z,
  Digit1 = 30, Digit2, Digit3, Digit4, Digit5, Digit6, Digit7, Digit8, Digit9, Digit0,
  Return = 40, Escape = 41, Backspace = 42, Tab = 43, Space = 44,
  F1 = 58, F2, F3, F4, F5, F6, F7, F8, F9, F10, F11, F12,
  Insert = 73, Home = 74, PageUp = 75, Delete = 76, End = 77, PageDown = 78,
  Right = 79, Left = 80, Down = 81, Up = 82, NumLock = 83,
  KeypadDivide = 84, KeypadMultiply, KeypadMinus, KeypadPlus, KeypadEnter,
  Keypad1 = 89, Keypad2, Keypad3, Keypad4, Keypad5, Keypad6, Keypad7, Keypad8, Keypad9, Keypad0, KeypadPeriod,
  LeftCtrl = 224, LeftShift = 225, LeftAlt = 226, LeftGui = 227,
  RightCtrl = 228, RightShift = 229, RightAlt = 230, RightGui = 231,
};
constexpr int kKeyCount = 256;

// Modifier bits of a key event: the state as the key went down or up.
constexpr uint32_t kModShift = 1u << 0;
constexpr uint32_t kModCtrl = 1u << 1;
constexpr uint32_t kModAlt = 1u << 2;
constexpr uint32_t kModNumLock = 1u << 3;  // keypad keys are digits

enum class EventType {
  KeyDown,     // key, mods, repeat
  KeyUp,       // key, mods
  MouseDown,   // left button pressed at (x, y), logical client coordinates
  MouseUp,     // left button released at (x, y)
  MouseMove,   // pointer at (x, y)
  Close,       // the user asked to close the window (close box, Alt+F4)
  Expose,      // the window needs its last frame shown again
};

struct Event {
  EventType type = EventType::Expose;
  uint64_t timeMs = 0;  // host clock (NowMs) when it happened
  Key key = Key::None;
  uint32_t mods = 0;    // kMod* bits
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

// A hash of a picture's size, hotspot and pixels: tells pictures apart when
// a freed one's address is reused (hosts cache what they made of each).
uint64_t Fingerprint(const Image& image);

enum class DialogButtons { Ok, OkCancel, AbortRetryIgnore, YesNoCancel, YesNo, RetryCancel };
enum class DialogIcon { None, Error, Question, Warning, Information };
enum class DialogAnswer { Ok, Cancel, Abort, Retry, Ignore, Yes, No };

// A message box as the program asked for it. The raw bytes are what the
// program passed (Shift-JIS); the UTF-8 forms are what a person sees.
struct MessageBoxRequest {
  std::string textBytes;
  std::optional<std::string> captionBytes;  // absent for a null caption
  std::string textUtf8;
  std::string captionUtf8;  // "Error" for a null caption
  DialogButtons buttons = DialogButtons::Ok;
  DialogIcon icon = DialogIcon::None;
  int defaultButton = 0;  // index into the buttons, left to right
  bool owned = false;     // belongs to the program's window (else unowned)
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
  // The state of every key, indexed by Key, 0x80 when held. Read globally
  // where the display allows it (background device).
  virtual void KeyboardState(uint8_t keys[kKeyCount]) = 0;

  // --- audio ---------------------------------------------------------------
  // Starts pulling audio from `source`. Returns false when the machine has
  // no output; the caller then plays into silence.
  virtual bool OpenAudio(const AudioFormat& format, AudioSource* source) = 0;
  virtual void CloseAudio() = 0;
  // An output chosen to play nothing: the sound device exists and keeps
  // time with the clock, but no samples are pulled (long test runs).
  virtual bool SilentAudioOutput() { return false; }
  // Latency from a change in the source to sound, in output frames.
  virtual int AudioBufferFrames() { return 0; }
  // The output rate this host would rather be fed at (0: no preference,
  // the mixer's own). Asked once, before OpenAudio.
  virtual int PreferredAudioRate() { return 0; }

  // --- dialogs and diagnostics ---------------------------------------------
  // Blocks until dismissed; returns the button chosen (the first one when
  // the box cannot be shown).
  virtual DialogAnswer MessageBox(const MessageBoxRequest& request) = 0;
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

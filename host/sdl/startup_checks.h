// startup_checks.h — starting SDL so that a player is never left guessing.
//
// Provides: the video drivers SDL may try (a real display only: SDL's
// offscreen and dummy drivers only when named in SDL_VIDEODRIVER, so a
// machine without a display gets our message instead of an invisible
// game; X11 before Wayland where both exist, for the keyboard state while
// another window is in front); SDL started subsystem by subsystem, naming
// the one that failed and SDL's reason; third-party libraries' chatter on
// standard error (ALSA, Wayland, Mesa) kept off the terminal while SDL
// starts, opens its window and its audio output; the note a Wayland
// session gets about the arrow keys; and the dialog that tells a player
// who started the game from the desktop's menu why it could not start.
// Environment: SDL_VIDEODRIVER (a player's choice, used unchanged),
// DISPLAY, WAYLAND_DISPLAY, XDG_SESSION_TYPE, VELMORA_DIALOGS (1 always
// shows the start-up failure dialog, 0 never; unset, it shows when
// standard error is not a terminal), VELMORA_DEBUG_OUTPUT (1 lets the
// libraries' chatter through).
// Depends on: SDL2 (in the .cpp only).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace host::sdl {

// The video drivers to try, comma-separated in SDL's hint form, from the
// session's variables (null or empty when unset). `named` is SDL_VIDEODRIVER:
// when set it is returned unchanged. Empty when there is no display at all.
std::string VideoDrivers(const char* named, const char* display, const char* waylandDisplay);

// SDL's timer, events and video, started one at a time.
struct SdlStart {
  bool ok = false;
  std::string subsystem;  // "video", "events" or "timer": the one that failed
  std::string reason;     // SDL's words for it
  bool noDisplay = false; // the session offers no display to try at all
};
SdlStart StartSdl(bool letChatterThrough);

// Sends standard error into a scratch file while it lives; what the
// libraries wrote there is dropped, or written out at the end when
// `letThrough` (the player asked for debug output).
class QuietStderr {
 public:
  explicit QuietStderr(bool letThrough);
  ~QuietStderr();
  QuietStderr(const QuietStderr&) = delete;
  QuietStderr& operator=(const QuietStderr&) = delete;

 private:
  int saved_ = -1;
  int scratch_ = -1;
  bool letThrough_ = false;
};

// The line a Wayland session gets at start-up: no unprivileged Wayland
// interface tells a program which keys are down while another window has
// the focus. Empty on other sessions. `videoDriver` is SDL's current one.
std::string WaylandKeyboardNote(const char* sessionType, const char* waylandDisplay, const char* videoDriver);
// The same for this process, once SDL's video has started.
std::string WaylandKeyboardNote();

// Whether a failed start is also shown in a dialog: `setting` is
// VELMORA_DIALOGS, `stderrIsTerminal` whether the player can read the
// printed lines, `videoDriver` SDL's current one (a dialog needs a real
// display).
bool WantStartupDialog(const char* setting, bool stderrIsTerminal, const char* videoDriver);

// `text` with each line broken at blanks into lines of at most `columns`
// characters (a longer word keeps its own line); line breaks are kept.
std::string WrapLines(const std::string& text, size_t columns);

// The start-up dialog for this process, if its environment asks for one:
// shows `lines` (without their "velmora: " prefix) and waits for OK.
// False when no dialog was shown.
bool ShowStartupFailure(const std::vector<std::string>& lines);

}  // namespace host::sdl

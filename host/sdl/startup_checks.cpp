// startup_checks.cpp — SDL's start, a quiet standard error, the start-up
// dialog.
#include "host/sdl/startup_checks.h"

#define SDL_MAIN_HANDLED
#include <SDL.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace host::sdl {

namespace {

constexpr size_t kDialogColumns = 72;

bool Set(const char* value) { return value != nullptr && value[0] != '\0'; }

// SDL's stand-ins for a display: they show nothing to anyone.
bool Invisible(const char* driver) {
  return driver == nullptr || SDL_strcasecmp(driver, "offscreen") == 0 || SDL_strcasecmp(driver, "dummy") == 0;
}

bool Enabled(const char* value) { return Set(value) && value[0] != '0'; }

// Which displays SDL was sent to, for the message when none answered.
std::string TriedDisplays() {
  std::string tried;
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* value = std::getenv(name);
    if (Set(value)) tried += std::string(tried.empty() ? "; nothing answers at " : " or ") + name + "=" + value;
  }
  return tried;
}

}  // namespace

std::string WrapLines(const std::string& text, size_t columns) {
  std::string out;
  size_t lineStart = 0;  // in `out`
  size_t i = 0;
  while (i < text.size()) {
    if (text[i] == '\n') {
      out += '\n';
      lineStart = out.size();
      ++i;
      continue;
    }
    size_t end = text.find_first_of(" \n", i);
    if (end == std::string::npos) end = text.size();
    const std::string word = text.substr(i, end - i);
    if (out.size() > lineStart && out.size() - lineStart + 1 + word.size() > columns) {
      out += '\n';
      lineStart = out.size();
    } else if (out.size() > lineStart) {
      out += ' ';
    }
    out += word;
    i = end < text.size() && text[end] == ' ' ? end + 1 : end;
  }
  return out;
}

std::string VideoDrivers(const char* named, const char* display, const char* waylandDisplay) {
  if (Set(named)) return named;
  std::string drivers;
  // X11 first: through it the keyboard state reaches us while another
  // window is in front, also on a Wayland desktop's X11 server.
  if (Set(display)) drivers = "x11";
  if (Set(waylandDisplay)) drivers += drivers.empty() ? "wayland" : ",wayland";
  return drivers;
}

SdlStart StartSdl(bool letChatterThrough) {
  SdlStart start;
  const std::string drivers =
      VideoDrivers(std::getenv("SDL_VIDEODRIVER"), std::getenv("DISPLAY"), std::getenv("WAYLAND_DISPLAY"));
  if (drivers.empty()) {
    start.subsystem = "video";
    start.reason = "neither DISPLAY nor WAYLAND_DISPLAY is set";
    start.noDisplay = true;
    return start;
  }
  SDL_SetHint(SDL_HINT_VIDEODRIVER, drivers.c_str());
  const struct {
    Uint32 flag;
    const char* name;
  } parts[] = {{SDL_INIT_TIMER, "timer"}, {SDL_INIT_EVENTS, "events"}, {SDL_INIT_VIDEO, "video"}};
  QuietStderr quiet(letChatterThrough);
  for (const auto& part : parts) {
    if (SDL_InitSubSystem(part.flag) != 0) {
      start.subsystem = part.name;
      start.reason = SDL_GetError();
      if (part.flag == SDL_INIT_VIDEO && !Set(std::getenv("SDL_VIDEODRIVER"))) start.reason += TriedDisplays();
      return start;
    }
  }
  start.ok = true;
  return start;
}

QuietStderr::QuietStderr(bool letThrough) : letThrough_(letThrough) {
  std::fflush(stderr);
  std::FILE* scratch = std::tmpfile();
  if (scratch == nullptr) return;
  scratch_ = dup(fileno(scratch));
  std::fclose(scratch);  // the descriptor keeps the unlinked file
  saved_ = scratch_ >= 0 ? dup(STDERR_FILENO) : -1;
  if (saved_ < 0 || dup2(scratch_, STDERR_FILENO) < 0) {
    if (saved_ >= 0) close(saved_);
    if (scratch_ >= 0) close(scratch_);
    saved_ = scratch_ = -1;
  }
}

QuietStderr::~QuietStderr() {
  if (saved_ < 0) return;
  std::fflush(stderr);
  dup2(saved_, STDERR_FILENO);
  close(saved_);
  if (letThrough_ && lseek(scratch_, 0, SEEK_SET) == 0) {
    char buffer[4096];
    for (ssize_t n; (n = read(scratch_, buffer, sizeof buffer)) > 0;) {
      if (write(STDERR_FILENO, buffer, static_cast<size_t>(n)) != n) break;
    }
  }
  close(scratch_);
}

std::string WaylandKeyboardNote(const char* sessionType, const char* waylandDisplay, const char* videoDriver) {
  const bool wayland = Set(waylandDisplay) || (Set(sessionType) && SDL_strcasecmp(sessionType, "wayland") == 0);
  if (!wayland) return {};
  if (videoDriver != nullptr && SDL_strcasecmp(videoDriver, "x11") == 0) {
    return "velmora: on a Wayland desktop the arrow keys act only while the game's window, or another X11 "
           "program's, has the focus";
  }
  return "velmora: on a Wayland desktop the arrow keys act only while the game's window has the focus";
}

std::string WaylandKeyboardNote() {
  return WaylandKeyboardNote(std::getenv("XDG_SESSION_TYPE"), std::getenv("WAYLAND_DISPLAY"),
                             SDL_GetCurrentVideoDriver());
}

bool WantStartupDialog(const char* setting, bool stderrIsTerminal, const char* videoDriver) {
  if (Invisible(videoDriver)) return false;
  if (Set(setting)) return Enabled(setting);
  return !stderrIsTerminal;
}

bool ShowStartupFailure(const std::vector<std::string>& lines) {
  if (lines.empty() || !WantStartupDialog(std::getenv("VELMORA_DIALOGS"), isatty(STDERR_FILENO) != 0,
                                          SDL_GetCurrentVideoDriver())) {
    return false;
  }
  std::string text;
  for (const std::string& line : lines) {
    if (!text.empty()) text += "\n\n";
    text += line.rfind("velmora: ", 0) == 0 ? line.substr(9) : line;
  }
  // SDL's dialogs do not wrap; the X11 one needs the server's core fonts.
  text = WrapLines(text, kDialogColumns);
  QuietStderr quiet(Enabled(std::getenv("VELMORA_DEBUG_OUTPUT")));
  return SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, "Velmora cannot start", text.c_str(), nullptr) == 0;
}

}  // namespace host::sdl

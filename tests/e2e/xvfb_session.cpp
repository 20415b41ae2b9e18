#include "xvfb_session.h"

#include <dlfcn.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

#include <X11/Xutil.h>

XvfbSession::~XvfbSession() {
  if (display_) XCloseDisplay(display_);
  if (server_ > 0) {
    kill(server_, SIGTERM);
    waitpid(server_, nullptr, 0);
  }
}

bool XvfbSession::Start(const char* screen) {
  // A server that named a display and then died, or one no client reaches,
  // is started again.
  for (int attempt = 0; attempt < 3; ++attempt) {
    int fds[2];
    if (pipe(fds) != 0) return false;
    server_ = fork();
    if (server_ == 0) {
      close(fds[0]);
      const std::string fd = std::to_string(fds[1]);
      execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen, "-nolisten", "tcp",
             static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    std::string number;
    char c;
    while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    close(fds[0]);
    if (number.empty()) {  // not installed, or it could not start at all
      waitpid(server_, nullptr, 0);
      server_ = -1;
      return false;
    }
    name_ = ":" + number;
    display_ = XOpenDisplay(name_.c_str());
    if (display_) return true;
    kill(server_, SIGTERM);
    waitpid(server_, nullptr, 0);
    server_ = -1;
  }
  return false;
}

WindowPixels CaptureWindow(Display* d, Window w) {
  WindowPixels c;
  XWindowAttributes a;
  XSync(d, False);
  if (!XGetWindowAttributes(d, w, &a)) return c;
  XImage* image = XGetImage(d, w, 0, 0, a.width, a.height, AllPlanes, ZPixmap);
  if (!image) return c;
  c.width = a.width;
  c.height = a.height;
  c.rgb.resize(static_cast<size_t>(c.width) * c.height);
  for (int y = 0; y < c.height; ++y) {
    for (int x = 0; x < c.width; ++x) c.rgb[static_cast<size_t>(y) * c.width + x] = XGetPixel(image, x, y) & 0xFFFFFF;
  }
  XDestroyImage(image);
  return c;
}

namespace {

// A window may close while the tree is walked (a program ending, a dialog
// going away): Xlib's default handler would end the test for that.
int IgnoreXError(Display*, XErrorEvent*) { return 0; }

Window FindWindowIn(Display* d, Window w, const char* title) {
  XTextProperty name{};
  if (XGetWMName(d, w, &name) && name.value) {
    const bool match = std::string(reinterpret_cast<const char*>(name.value), name.nitems) == title;
    XFree(name.value);
    XWindowAttributes a;
    if (match && XGetWindowAttributes(d, w, &a) && a.map_state == IsViewable) return w;
  }
  Window root, parent, *children = nullptr;
  unsigned count = 0;
  Window found = 0;
  if (XQueryTree(d, w, &root, &parent, &children, &count)) {
    for (unsigned i = 0; i < count && !found; ++i) found = FindWindowIn(d, children[i], title);
    if (children) XFree(children);
  }
  return found;
}

}  // namespace

Window FindWindow(Display* d, Window w, const char* title) {
  XSync(d, False);
  const auto previous = XSetErrorHandler(IgnoreXError);
  const Window found = FindWindowIn(d, w, title);
  XSync(d, False);
  XSetErrorHandler(previous);
  return found;
}

pid_t StartProgram(const std::string& display, const std::string& path, const std::string& cwd) {
  const pid_t pid = fork();
  if (pid == 0) {
    if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(126);
    setenv("DISPLAY", display.c_str(), 1);
    // Silent by default; VELMORA_E2E_AUDIODRIVER picks another driver, e.g.
    // "disk" (into /dev/null) for an output whose thread pulls samples as a
    // sound card's would.
    const char* audio = getenv("VELMORA_E2E_AUDIODRIVER");
    setenv("SDL_AUDIODRIVER", audio && *audio ? audio : "dummy", 1);
    setenv("SDL_DISKAUDIOFILE", "/dev/null", 0);
    // The X11 and GL drivers that SDL loads keep a few allocations until the
    // process ends; in sanitizer builds that is not the game's leak to report.
    setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
    execl(path.c_str(), "velmora", static_cast<char*>(nullptr));
    _exit(127);
  }
  return pid;
}

Window WaitForWindow(Display* d, const char* title, int ms) {
  Window w = 0;
  for (int waited = 0; waited < ms && !w; waited += 100) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    w = FindWindow(d, DefaultRootWindow(d), title);
  }
  return w;
}

bool WaitForExit(pid_t pid, int* status, int ms) {
  for (int waited = 0; waited < ms; waited += 100) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    if (waitpid(pid, status, WNOHANG) == pid) return true;
  }
  kill(pid, SIGKILL);
  waitpid(pid, status, 0);
  return false;
}

bool XTest::Load() {
  void* lib = dlopen("libXtst.so.6", RTLD_NOW);
  if (lib == nullptr) return false;
  fakeKey = reinterpret_cast<decltype(fakeKey)>(dlsym(lib, "XTestFakeKeyEvent"));
  fakeMotion = reinterpret_cast<decltype(fakeMotion)>(dlsym(lib, "XTestFakeMotionEvent"));
  return fakeKey && fakeMotion;
}

void XTest::Press(Display* d, unsigned long keysym, bool down) const {
  fakeKey(d, XKeysymToKeycode(d, keysym), down, 0);
  XSync(d, False);
}

void XTest::Tap(Display* d, Window w, unsigned long keysym) const {
  XSetInputFocus(d, w, RevertToParent, CurrentTime);
  XSync(d, False);
  Press(d, keysym, true);
  Press(d, keysym, false);
}

// An Xvfb display for tests that run the real program, and the X11 helpers
// they share: finding the program's window and pressing keys through XTEST
// as a person's keyboard would.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

// Last in every includer: Xlib's macros (None, Bool, Status...) would break
// headers after it.
#include <X11/Xlib.h>

class XvfbSession {
 public:
  XvfbSession() = default;
  XvfbSession(const XvfbSession&) = delete;
  XvfbSession& operator=(const XvfbSession&) = delete;
  ~XvfbSession();

  // Starts Xvfb on a free display with one screen of `screen` (Xvfb's
  // WxHxD); false when it is not installed.
  bool Start(const char* screen = "1024x768x24");

  Display* display() { return display_; }
  const std::string& name() const { return name_; }

 private:
  pid_t server_ = -1;
  std::string name_;
  Display* display_ = nullptr;
};

// A window's pixels as 0x00RRGGBB, top row first; empty when it cannot be
// read.
struct WindowPixels {
  int width = 0, height = 0;
  std::vector<uint32_t> rgb;
  uint32_t At(int x, int y) const { return rgb[static_cast<size_t>(y) * width + x]; }
};

// Reads window `w` back from the server, after everything sent so far.
WindowPixels CaptureWindow(Display* d, Window w);

// The first viewable window under `w` whose title is `title` (in any
// encoding: SDL's dialogs name themselves in UTF-8), or 0.
Window FindWindow(Display* d, Window w, const char* title);

// Starts the real program (the file `path`) on the display in folder `cwd`
// (the test's own when empty) with silent audio (or SDL's audio driver
// VELMORA_E2E_AUDIODRIVER); its process id.
pid_t StartProgram(const std::string& display, const std::string& path, const std::string& cwd = {});

// Polls for the program's viewable window for up to `ms`; 0 if none came.
Window WaitForWindow(Display* d, const char* title, int ms);

// Waits up to `ms` for the process to end and fills `status`; on time-out
// kills it and returns false.
bool WaitForExit(pid_t pid, int* status, int ms);

// libXtst, loaded at run time (only its shared library is needed).
struct XTest {
  int (*fakeKey)(Display*, unsigned int, int, unsigned long) = nullptr;
  int (*fakeMotion)(Display*, int, int, int, unsigned long) = nullptr;
  // False when libXtst.so.6 is not installed.
  bool Load();
  // Presses or releases a key and waits until the server has it.
  void Press(Display* d, unsigned long keysym, bool down) const;
  // Gives window `w` the focus, then presses and releases the key.
  void Tap(Display* d, Window w, unsigned long keysym) const;
};

// The real program on a real X display (Xvfb): it shows the title card,
// space starts the game, a held arrow key moves the walker, Escape ends it
// with exit code 0. Keys and pointer are driven through the XTEST extension,
// as a person's would be, so the program's background keyboard reads them
// too. Also prints the program's CPU share while playing and its peak
// memory (figures only, no timing assertion).
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "host/headless/png_writer.h"
#include "tests/app/program_run.h"

// Last: Xlib's macros (None, Bool, Status...) would break the headers above.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

namespace {

using std::chrono::milliseconds;

// libXtst is loaded at run time: only its shared library is needed.
using FakeKeyFn = int (*)(Display*, unsigned int, int, unsigned long);
using FakeMotionFn = int (*)(Display*, int, int, int, unsigned long);

struct Frame {
  int width = 0, height = 0;
  std::vector<uint32_t> rgb;  // 0x00RRGGBB
};

// Mean absolute channel difference of two same-sized regions.
double Difference(const Frame& a, int ax, int ay, const Frame& b, int bx, int by, int w, int h) {
  double sum = 0;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const uint32_t p = a.rgb[static_cast<size_t>(ay + y) * a.width + ax + x];
      const uint32_t q = b.rgb[static_cast<size_t>(by + y) * b.width + bx + x];
      for (int s = 0; s < 24; s += 8) sum += std::abs(static_cast<int>((p >> s) & 255) - static_cast<int>((q >> s) & 255));
    }
  }
  return sum / (3.0 * w * h);
}

class XvfbSession {
 public:
  ~XvfbSession() {
    if (display_) XCloseDisplay(display_);
    if (server_ > 0) {
      kill(server_, SIGTERM);
      waitpid(server_, nullptr, 0);
    }
  }

  // Starts Xvfb on a free display; false when it is not installed.
  bool Start() {
    int fds[2];
    if (pipe(fds) != 0) return false;
    server_ = fork();
    if (server_ == 0) {
      close(fds[0]);
      const std::string fd = std::to_string(fds[1]);
      execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten", "tcp",
             static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    std::string number;
    char c;
    while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    close(fds[0]);
    if (number.empty()) return false;
    name_ = ":" + number;
    display_ = XOpenDisplay(name_.c_str());
    return display_ != nullptr;
  }

  Display* display() { return display_; }
  const std::string& name() const { return name_; }

 private:
  pid_t server_ = -1;
  std::string name_;
  Display* display_ = nullptr;
};

Window FindWindow(Display* d, Window w, const char* title) {
  char* name = nullptr;
  if (XFetchName(d, w, &name) && name) {
    const bool match = std::strcmp(name, title) == 0;
    XFree(name);
    XWindowAttributes a;
    if (match && XGetWindowAttributes(d, w, &a) && a.map_state == IsViewable) return w;
  }
  Window root, parent, *children = nullptr;
  unsigned count = 0;
  Window found = 0;
  if (XQueryTree(d, w, &root, &parent, &children, &count)) {
    for (unsigned i = 0; i < count && !found; ++i) found = FindWindow(d, children[i], title);
    if (children) XFree(children);
  }
  return found;
}

Frame Capture(Display* d, Window w) {
  Frame f;
  XWindowAttributes a;
  if (!XGetWindowAttributes(d, w, &a)) return f;
  XImage* image = XGetImage(d, w, 0, 0, a.width, a.height, AllPlanes, ZPixmap);
  if (!image) return f;
  f.width = a.width;
  f.height = a.height;
  f.rgb.resize(static_cast<size_t>(f.width) * f.height);
  for (int y = 0; y < f.height; ++y) {
    for (int x = 0; x < f.width; ++x) f.rgb[static_cast<size_t>(y) * f.width + x] = XGetPixel(image, x, y) & 0xFFFFFF;
  }
  XDestroyImage(image);
  return f;
}

// CPU seconds (user + system) used so far by a process.
double CpuSeconds(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  std::getline(stat, line);
  const auto close = line.rfind(')');
  if (close == std::string::npos) return 0;
  std::istringstream fields(line.substr(close + 2));
  std::string skip;
  for (int i = 0; i < 11; ++i) fields >> skip;  // state ... cmajflt
  unsigned long long user = 0, system = 0;
  fields >> user >> system;
  return static_cast<double>(user + system) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

long PeakMemoryKb(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
  }
  return -1;
}

// The title frame as the headless run of the same program presents it.
Frame HeadlessTitleFrame() {
  ProgramSetup s;
  s.configure = [](host::HeadlessHost& h) {
    h.KeepFrames(true);
    h.ScheduleClose(600);
  };
  s.examine = [](host::HeadlessHost& h) {
    if (h.Frames().empty()) return std::string();
    const auto& f = h.Frames().front();
    std::string bytes(reinterpret_cast<const char*>(f.pixels.data()), f.pixels.size() * 4);
    return std::to_string(f.width) + " " + std::to_string(f.height) + " " + bytes;
  };
  const ProgramResult r = RunProgram(s);
  Frame f;
  std::istringstream in(r.report);
  in >> f.width >> f.height;
  in.get();
  f.rgb.resize(static_cast<size_t>(f.width) * f.height);
  in.read(reinterpret_cast<char*>(f.rgb.data()), static_cast<std::streamsize>(f.rgb.size() * 4));
  for (uint32_t& p : f.rgb) p &= 0xFFFFFF;
  return f;
}

TEST(Xvfb, TitleCardSpaceArrowAndEscape) {
  void* xtst = dlopen("libXtst.so.6", RTLD_NOW);
  if (xtst == nullptr) GTEST_SKIP() << "libXtst.so.6 is not installed (see scripts/setup.sh)";
  auto fakeKey = reinterpret_cast<FakeKeyFn>(dlsym(xtst, "XTestFakeKeyEvent"));
  auto fakeMotion = reinterpret_cast<FakeMotionFn>(dlsym(xtst, "XTestFakeMotionEvent"));
  ASSERT_TRUE(fakeKey && fakeMotion);
  if (access("velmora", X_OK) != 0) GTEST_SKIP() << "the game was not built (no SDL host)";

  const Frame title = HeadlessTitleFrame();
  ASSERT_EQ(title.width, 800);
  ASSERT_EQ(title.height, 640);

  XvfbSession x;
  if (!x.Start()) GTEST_SKIP() << "Xvfb is not available";
  Display* d = x.display();

  const pid_t game = fork();
  if (game == 0) {
    setenv("DISPLAY", x.name().c_str(), 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    // The X11 and GL drivers that SDL loads keep a few allocations until the
    // process ends; in sanitizer builds that is not the game's leak to report.
    setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
    execl("./velmora", "velmora", static_cast<char*>(nullptr));
    _exit(127);
  }
  ASSERT_GT(game, 0);

  Window w = 0;
  for (int i = 0; i < 200 && !w; ++i) {
    std::this_thread::sleep_for(milliseconds(100));
    w = FindWindow(d, DefaultRootWindow(d), "VELMORA");
  }
  ASSERT_NE(w, 0u) << "no VELMORA window appeared";
  XWindowAttributes a;
  XGetWindowAttributes(d, w, &a);
  EXPECT_EQ(a.width, 800);
  EXPECT_EQ(a.height, 640);
  // Pointer over the window and focus on it, as a player's would be.
  int wx = 0, wy = 0;
  Window child;
  XTranslateCoordinates(d, w, DefaultRootWindow(d), 0, 0, &wx, &wy, &child);
  fakeMotion(d, -1, wx + 400, wy + 620, 0);
  XSetInputFocus(d, w, RevertToParent, CurrentTime);
  XSync(d, False);

  auto press = [&](KeySym key, bool down) {
    fakeKey(d, XKeysymToKeycode(d, key), down, 0);
    XSync(d, False);
  };

  // Polls the window until `good` holds for a capture or the time is up.
  auto waitFor = [&](auto good, int ms) {
    Frame f;
    for (int waited = 0; waited <= ms; waited += 100) {
      f = Capture(d, w);
      if (f.width == 800 && f.height == 640 && good(f)) break;
      std::this_thread::sleep_for(milliseconds(100));
    }
    return f;
  };
  auto titleDifference = [&](const Frame& f) { return Difference(f, 0, 0, title, 0, 0, 800, 640); };

  // The title card, from the first tick on (start-up may take a moment).
  const Frame onTitle = waitFor([&](const Frame& f) { return titleDifference(f) < 4.0; }, 15000);
  if (getenv("VELMORA_E2E_DUMP")) {
    host::WritePng("/tmp/e2e-title.png", onTitle.rgb.data(), onTitle.width, onTitle.height, onTitle.width * 4);
  }
  ASSERT_EQ(onTitle.width, 800);
  ASSERT_LT(titleDifference(onTitle), 4.0) << "the window shows the title card";

  press(XK_space, true);
  press(XK_space, false);
  // The board: the score row's label cell is no longer the title card's
  // floor, and the top-left cell holds the walker on its start cell.
  const Frame playing = waitFor([&](const Frame& f) { return titleDifference(f) > 20.0; }, 5000);
  EXPECT_GT(titleDifference(playing), 20.0) << "the board replaced the title card";

  // Down is never blocked from the start cell: column 0 holds no block.
  const double cpuBefore = CpuSeconds(game);
  const auto wallBefore = std::chrono::steady_clock::now();
  press(XK_Down, true);
  const Frame moved = waitFor([&](const Frame& f) { return Difference(f, 0, 0, playing, 0, 0, 88, 88) > 20.0; }, 3000);
  press(XK_Down, false);
  EXPECT_GT(Difference(moved, 0, 0, playing, 0, 0, 88, 88), 20.0) << "the walker left its start cell";
  // Play on for a few seconds to measure the program's CPU share.
  std::this_thread::sleep_for(milliseconds(4000));
  const double cpu = CpuSeconds(game) - cpuBefore;
  const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallBefore).count();
  const long peakKb = PeakMemoryKb(game);

  press(XK_Escape, true);
  press(XK_Escape, false);
  int status = 0;
  pid_t done = 0;
  for (int i = 0; i < 100 && done == 0; ++i) {
    std::this_thread::sleep_for(milliseconds(100));
    done = waitpid(game, &status, WNOHANG);
  }
  if (done == 0) {
    kill(game, SIGKILL);
    waitpid(game, &status, 0);
    FAIL() << "Escape did not end the program";
  }
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  std::printf("velmora under Xvfb while playing: %.2f%% of one core over %.1f s, peak memory %ld KiB\n",
              100.0 * cpu / wall, wall, peakKb);
}

}  // namespace

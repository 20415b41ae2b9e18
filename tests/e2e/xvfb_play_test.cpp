// The real program on a real X display (Xvfb): it shows the title card,
// space starts the game, a held arrow key moves the walker, Escape ends it
// with exit code 0. Keys and pointer are driven through the XTEST extension,
// as a person's would be, so the program's background keyboard reads them
// too. Also prints the program's CPU share idling on the title card and
// while playing, thread by thread, and its peak memory: figures, with only
// a generous guard against a busy loop.
#include <gtest/gtest.h>
#include <dirent.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "gfx/formats/frame_png.h"
#include "tests/app/program_run.h"

// Last: Xlib's macros (None, Bool, Status...) would break the headers above.
#include "tests/e2e/xvfb_session.h"
#include "tests/support/require_all.h"
#include <X11/Xutil.h>
#include <X11/keysym.h>

namespace {

using std::chrono::milliseconds;

using Frame = WindowPixels;

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


// CPU ticks (user + system) of a process's threads so far, by role: the
// main thread, SDL's audio thread, the OpenGL driver's threads, the rest.
struct ThreadTicks {
  unsigned long long main = 0, audio = 0, gl = 0, other = 0;
  unsigned long long Total() const { return main + audio + gl + other; }
};

ThreadTicks TicksByThread(pid_t pid) {
  ThreadTicks t;
  const std::string task = "/proc/" + std::to_string(pid) + "/task";
  DIR* dir = opendir(task.c_str());
  if (dir == nullptr) return t;
  while (dirent* entry = readdir(dir)) {
    if (entry->d_name[0] == '.') continue;
    std::ifstream stat(task + "/" + entry->d_name + "/stat");
    std::string line;
    std::getline(stat, line);
    const auto open = line.find('(');
    const auto close = line.rfind(')');
    if (open == std::string::npos || close == std::string::npos) continue;
    const std::string name = line.substr(open + 1, close - open - 1);
    std::istringstream fields(line.substr(close + 2));
    std::string skip;
    for (int i = 0; i < 11; ++i) fields >> skip;  // state ... cmajflt
    unsigned long long user = 0, system = 0;
    fields >> user >> system;
    const unsigned long long ticks = user + system;
    if (std::to_string(pid) == entry->d_name) {
      t.main += ticks;
    } else if (name.rfind("SDLAudio", 0) == 0) {
      t.audio += ticks;
    } else if (name.rfind("llvmpipe", 0) == 0 || name.rfind("softpipe", 0) == 0 ||
               name.find(":disk$") != std::string::npos) {  // Mesa's rasteriser and shader-cache threads
      t.gl += ticks;
    } else {
      t.other += ticks;
    }
  }
  closedir(dir);
  return t;
}

// The process's CPU over a stretch of wall time, as shares of one core.
class CpuWindow {
 public:
  explicit CpuWindow(pid_t pid) : pid_(pid), start_(TicksByThread(pid)), wallStart_(std::chrono::steady_clock::now()) {}
  // Ends the window; returns the whole process's share in percent.
  double Stop() {
    end_ = TicksByThread(pid_);
    wall_ = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart_).count();
    return Share(end_.Total() - start_.Total());
  }
  double wall() const { return wall_; }
  // The stopped window's share in percent.
  double Share() const { return Share(end_.Total() - start_.Total()); }
  std::string Report(const char* what) const {
    char text[256];
    std::snprintf(text, sizeof text,
                  "%-11s %5.2f%% of one core over %4.1f s (main %.2f%%, audio %.2f%%, OpenGL %.2f%%, other %.2f%%)",
                  what, Share(end_.Total() - start_.Total()), wall_, Share(end_.main - start_.main),
                  Share(end_.audio - start_.audio), Share(end_.gl - start_.gl), Share(end_.other - start_.other));
    return text;
  }

 private:
  double Share(unsigned long long ticks) const {
    return wall_ > 0 ? 100.0 * static_cast<double>(ticks) / static_cast<double>(sysconf(_SC_CLK_TCK)) / wall_ : 0;
  }
  pid_t pid_;
  ThreadTicks start_, end_;
  std::chrono::steady_clock::time_point wallStart_;
  double wall_ = 0;
};

// Seconds each CPU window lasts: VELMORA_E2E_CPU_SECONDS, 2 by default.
int CpuWindowSeconds() {
  const char* s = std::getenv("VELMORA_E2E_CPU_SECONDS");
  const int n = s ? std::atoi(s) : 0;
  return n > 0 ? std::min(n, 600) : 2;
}

// Far above an idle program's share, far below a busy loop's, whatever
// else the machine is doing: the figures themselves are for reading.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr double kBusyGuardPercent = 100.0;  // instrumented builds are slower
#else
constexpr double kBusyGuardPercent = 5.0;
#endif

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

// The real program under Xvfb, driven by XTest key presses: the window and
// the title frame it must show, and the helpers the test's stages share.
class XvfbPlay : public ::testing::Test {
 protected:
  // Everything up to a focused 800 x 640 window; skips without XTest, the
  // program or Xvfb.
  void Launch() {
    if (!xtest_.Load()) VELMORA_SKIP() << "libXtst.so.6 is not installed (see scripts/setup.sh)";
    if (access("velmora", X_OK) != 0) VELMORA_SKIP() << "the game was not built (no SDL host)";
    title_ = HeadlessTitleFrame();
    ASSERT_EQ(title_.width, 800);
    ASSERT_EQ(title_.height, 640);
    if (!x_.Start()) VELMORA_SKIP() << "Xvfb is not available";
    d_ = x_.display();
    game_ = StartProgram(x_.name(), "./velmora");
    ASSERT_GT(game_, 0);
    w_ = WaitForWindow(d_, "VELMORA", 20000);
    ASSERT_NE(w_, 0u) << "no VELMORA window appeared";
    XWindowAttributes a;
    XGetWindowAttributes(d_, w_, &a);
    EXPECT_EQ(a.width, 800);
    EXPECT_EQ(a.height, 640);
    // Pointer over the window and focus on it, as a player's would be.
    int wx = 0, wy = 0;
    Window child;
    XTranslateCoordinates(d_, w_, DefaultRootWindow(d_), 0, 0, &wx, &wy, &child);
    xtest_.fakeMotion(d_, -1, wx + 400, wy + 620, 0);
    XSetInputFocus(d_, w_, RevertToParent, CurrentTime);
    XSync(d_, False);
  }

  void Tap(KeySym key) {
    xtest_.Press(d_, key, true);
    xtest_.Press(d_, key, false);
  }

  // Polls the window until `good` holds for a capture or the time is up.
  template <typename Good>
  Frame WaitFor(Good good, int ms) {
    Frame f;
    for (int waited = 0; waited <= ms; waited += 100) {
      f = CaptureWindow(d_, w_);
      if (f.width == 800 && f.height == 640 && good(f)) break;
      std::this_thread::sleep_for(milliseconds(100));
    }
    return f;
  }

  double TitleDifference(const Frame& f) const { return Difference(f, 0, 0, title_, 0, 0, 800, 640); }

  // The title card, from the first tick on (start-up may take a moment);
  // then idle on it: nothing but the game's timer and its music.
  void ExpectIdleTitleCard(CpuWindow* cpu) {
    const Frame onTitle = WaitFor([&](const Frame& f) { return TitleDifference(f) < 4.0; }, 15000);
    if (getenv("VELMORA_E2E_DUMP")) {
      gfx::WriteFramePng("/tmp/e2e-title.png", onTitle.rgb.data(), onTitle.width, onTitle.height, onTitle.width * 4);
    }
    ASSERT_EQ(onTitle.width, 800);
    ASSERT_LT(TitleDifference(onTitle), 4.0) << "the window shows the title card";
    std::this_thread::sleep_for(milliseconds(1000));
    *cpu = CpuWindow(game_);
    std::this_thread::sleep_for(std::chrono::seconds(CpuWindowSeconds()));
    cpu->Stop();
    EXPECT_LT(TitleDifference(CaptureWindow(d_, w_)), 4.0) << "still the title card";
  }

  // Space starts play: the score row's label cell is no longer the title
  // card's floor, and the top-left cell holds the walker on its start cell.
  // Down is never blocked from there: column 0 holds no block.
  void ExpectPlayAndAMove(CpuWindow* cpu) {
    Tap(XK_space);
    const Frame playing = WaitFor([&](const Frame& f) { return TitleDifference(f) > 20.0; }, 5000);
    EXPECT_GT(TitleDifference(playing), 20.0) << "the board replaced the title card";
    *cpu = CpuWindow(game_);
    xtest_.Press(d_, XK_Down, true);
    const Frame moved = WaitFor([&](const Frame& f) { return Difference(f, 0, 0, playing, 0, 0, 88, 88) > 20.0; }, 3000);
    xtest_.Press(d_, XK_Down, false);
    EXPECT_GT(Difference(moved, 0, 0, playing, 0, 0, 88, 88), 20.0) << "the walker left its start cell";
    // Play on to measure the program's CPU share.
    std::this_thread::sleep_for(std::chrono::seconds(CpuWindowSeconds()));
    cpu->Stop();
  }

  XTest xtest_;
  XvfbSession x_;
  Display* d_ = nullptr;
  Window w_ = 0;
  pid_t game_ = 0;
  Frame title_;
};

TEST_F(XvfbPlay, TitleCardSpaceArrowAndEscape) {
  Launch();
  if (IsSkipped() || HasFatalFailure()) return;
  CpuWindow titleCpu(game_), playCpu(game_);
  ExpectIdleTitleCard(&titleCpu);
  if (HasFatalFailure()) return;
  ExpectPlayAndAMove(&playCpu);
  const long peakKb = PeakMemoryKb(game_);

  Tap(XK_Escape);
  int status = 0;
  ASSERT_TRUE(WaitForExit(game_, &status, 10000)) << "Escape did not end the program";
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  const char* audio = getenv("VELMORA_E2E_AUDIODRIVER");
  std::printf("velmora under Xvfb (SDL audio driver %s), CPU time of the process (utime + stime) over wall time:\n"
              "  %s\n  %s\n  peak memory %ld KiB\n",
              audio && *audio ? audio : "dummy", titleCpu.Report("title card").c_str(), playCpu.Report("playing").c_str(),
              peakKb);
  EXPECT_LT(titleCpu.Share(), kBusyGuardPercent) << "idle on the title card";
  EXPECT_LT(playCpu.Share(), kBusyGuardPercent) << "idle between ticks while playing";
}

}  // namespace

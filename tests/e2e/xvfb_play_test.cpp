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

#include "host/headless/png_writer.h"
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

// Seconds each CPU window lasts: VELMORA_E2E_CPU_SECONDS, 5 by default.
int CpuWindowSeconds() {
  const char* s = std::getenv("VELMORA_E2E_CPU_SECONDS");
  const int n = s ? std::atoi(s) : 0;
  return n > 0 ? std::min(n, 600) : 5;
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

TEST(Xvfb, TitleCardSpaceArrowAndEscape) {
  XTest xtest;
  if (!xtest.Load()) VELMORA_SKIP() << "libXtst.so.6 is not installed (see scripts/setup.sh)";
  if (access("velmora", X_OK) != 0) VELMORA_SKIP() << "the game was not built (no SDL host)";

  const Frame title = HeadlessTitleFrame();
  ASSERT_EQ(title.width, 800);
  ASSERT_EQ(title.height, 640);

  XvfbSession x;
  if (!x.Start()) VELMORA_SKIP() << "Xvfb is not available";
  Display* d = x.display();

  const pid_t game = StartProgram(x.name(), "./velmora");
  ASSERT_GT(game, 0);
  const Window w = WaitForWindow(d, "VELMORA", 20000);
  ASSERT_NE(w, 0u) << "no VELMORA window appeared";
  XWindowAttributes a;
  XGetWindowAttributes(d, w, &a);
  EXPECT_EQ(a.width, 800);
  EXPECT_EQ(a.height, 640);
  // Pointer over the window and focus on it, as a player's would be.
  int wx = 0, wy = 0;
  Window child;
  XTranslateCoordinates(d, w, DefaultRootWindow(d), 0, 0, &wx, &wy, &child);
  xtest.fakeMotion(d, -1, wx + 400, wy + 620, 0);
  XSetInputFocus(d, w, RevertToParent, CurrentTime);
  XSync(d, False);

  auto press = [&](KeySym key, bool down) { xtest.Press(d, key, down); };

  // Polls the window until `good` holds for a capture or the time is up.
  auto waitFor = [&](auto good, int ms) {
    Frame f;
    for (int waited = 0; waited <= ms; waited += 100) {
      f = CaptureWindow(d, w);
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

  // Idle on the title card: nothing but the game's timer and its music.
  std::this_thread::sleep_for(milliseconds(1000));
  CpuWindow titleCpu(game);
  std::this_thread::sleep_for(std::chrono::seconds(CpuWindowSeconds()));
  const double titleShare = titleCpu.Stop();
  EXPECT_LT(titleDifference(CaptureWindow(d, w)), 4.0) << "still the title card";

  press(XK_space, true);
  press(XK_space, false);
  // The board: the score row's label cell is no longer the title card's
  // floor, and the top-left cell holds the walker on its start cell.
  const Frame playing = waitFor([&](const Frame& f) { return titleDifference(f) > 20.0; }, 5000);
  EXPECT_GT(titleDifference(playing), 20.0) << "the board replaced the title card";

  // Down is never blocked from the start cell: column 0 holds no block.
  CpuWindow playCpu(game);
  press(XK_Down, true);
  const Frame moved = waitFor([&](const Frame& f) { return Difference(f, 0, 0, playing, 0, 0, 88, 88) > 20.0; }, 3000);
  press(XK_Down, false);
  EXPECT_GT(Difference(moved, 0, 0, playing, 0, 0, 88, 88), 20.0) << "the walker left its start cell";
  // Play on to measure the program's CPU share.
  std::this_thread::sleep_for(std::chrono::seconds(CpuWindowSeconds()));
  const double playShare = playCpu.Stop();
  const long peakKb = PeakMemoryKb(game);

  press(XK_Escape, true);
  press(XK_Escape, false);
  int status = 0;
  ASSERT_TRUE(WaitForExit(game, &status, 10000)) << "Escape did not end the program";
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  const char* audio = getenv("VELMORA_E2E_AUDIODRIVER");
  std::printf("velmora under Xvfb (SDL audio driver %s), CPU time of the process (utime + stime) over wall time:\n"
              "  %s\n  %s\n  peak memory %ld KiB\n",
              audio && *audio ? audio : "dummy", titleCpu.Report("title card").c_str(), playCpu.Report("playing").c_str(),
              peakKb);
  EXPECT_LT(titleShare, kBusyGuardPercent) << "idle on the title card";
  EXPECT_LT(playShare, kBusyGuardPercent) << "idle between ticks while playing";
}

}  // namespace

// The game started where it cannot run, as a player would meet it: no
// display (nothing set, a dead X11 display, a dead Wayland one), no audio
// output (the program ends with -1, the installed launcher plays silently),
// and a start from the desktop's menu that fails (a dialog says why). Each
// case prints what was printed, the exit status and the time taken; standard
// error must hold our own lines only.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <glob.h>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "gfx/formats/frame_png.h"
#include "tests/install/process_run.h"
// Last: Xlib's macros would break the headers above.
#include "tests/e2e/xvfb_session.h"
#include <X11/keysym.h>

namespace {

namespace fs = std::filesystem;
using install_test::EnvChanges;
using install_test::Process;

const fs::path kBin = fs::path(VELMORA_BUILD_DIR) / "bin";

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

void Figure(const char* which, const Process& p) {
  std::printf("[%s] exit %d after %.2f s; stderr:\n%s", which, p.status(), p.seconds(), p.err().c_str());
}

// An X display number nothing listens on.
std::string DeadDisplay() {
  for (int n = 150;; ++n) {
    const std::string number = std::to_string(n);
    if (!fs::exists(fs::path("/tmp/.X11-unix") / ("X" + number))) return std::string(":").append(number);
  }
}

bool HasPlaybackDevice() {
  glob_t g{};
  const bool any = glob("/dev/snd/pcmC*D*p", 0, nullptr, &g) == 0 && g.gl_pathc > 0;
  globfree(&g);
  return any;
}

class StartupMatrix : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    root_ = fs::temp_directory_path() / ("velmora-startup-" + std::to_string(getpid()) + "-" + info->name());
    fs::remove_all(root_);
    fs::create_directories(root_ / "runtime");
    fs::permissions(root_ / "runtime", fs::perms::owner_all);
    if (!fs::exists(kBin / "velmora")) GTEST_SKIP() << "the game was not built";
  }
  void TearDown() override { fs::remove_all(root_); }

  // The environment of a session with neither display nor sound server:
  // each case adds what it has.
  EnvChanges Bare(EnvChanges add = {}) const {
    EnvChanges env = {{"DISPLAY", std::nullopt},          {"WAYLAND_DISPLAY", std::nullopt},
                      {"SDL_VIDEODRIVER", std::nullopt},  {"SDL_AUDIODRIVER", std::nullopt},
                      {"XDG_SESSION_TYPE", std::nullopt}, {"VELMORA_DIALOGS", std::nullopt},
                      {"PULSE_SERVER", std::nullopt},     {"VELMORA_DEBUG_OUTPUT", std::nullopt},
                      {"XDG_RUNTIME_DIR", (root_ / "runtime").string()},
                      // SDL's X11 and GL drivers keep some allocations to the end.
                      {"ASAN_OPTIONS", std::string("detect_leaks=0")}};
    for (const auto& [k, v] : add) env[k] = v;
    return env;
  }

  // The game installed under a scratch prefix, as a player's tree.
  fs::path InstalledLauncher() {
    const fs::path prefix = root_ / "usr";
    const auto r = install_test::Shell(install_test::Quote(VELMORA_CMAKE) + " --install " +
                                       install_test::Quote(VELMORA_BUILD_DIR) + " --prefix " +
                                       install_test::Quote(prefix.string()));
    EXPECT_EQ(r.status, 0) << r.text;
    return prefix / "bin/velmora";
  }

  std::string Scratch() const { return root_.string(); }

  fs::path root_;
};

TEST_F(StartupMatrix, WithoutADisplayItSaysSoAndEndsWithOneWithinFiveSeconds) {
  const std::map<std::string, EnvChanges> cases = {
      {"no DISPLAY, no WAYLAND_DISPLAY", {}},
      {"dead DISPLAY", {{"DISPLAY", DeadDisplay()}}},
      {"dead WAYLAND_DISPLAY", {{"WAYLAND_DISPLAY", std::string("velmora-no-such-display")}}},
  };
  for (const auto& [name, add] : cases) {
    SCOPED_TRACE(name);
    Process p(kBin / "velmora", {}, kBin.string(), Bare(add), Scratch());
    ASSERT_TRUE(p.Wait(10000)) << "still running after 10 s: an invisible game";
    Figure(name.c_str(), p);
    EXPECT_EQ(p.status(), 1);
    EXPECT_LT(p.seconds(), 5.0);
    EXPECT_EQ(p.out(), "");
    const auto lines = Lines(p.err());
    ASSERT_EQ(lines.size(), 1u) << p.err();
    EXPECT_EQ(lines[0].rfind("velmora: cannot open a display (", 0), 0u) << lines[0];
    EXPECT_NE(lines[0].find("set DISPLAY (X11) or WAYLAND_DISPLAY"), std::string::npos) << lines[0];
  }
  // A driver that shows nothing is still there for whoever names it.
  Process named(kBin / "velmora", {"--version"}, kBin.string(),
                Bare({{"SDL_VIDEODRIVER", std::string("offscreen")}}), Scratch());
  ASSERT_TRUE(named.Wait(10000));
  EXPECT_EQ(named.status(), 0);
}

TEST_F(StartupMatrix, WithoutAudioTheProgramEndsWithMinusOneAndTheLauncherPlaysSilently) {
  if (HasPlaybackDevice()) SKIP_UNLESS_REQUIRED("this machine has a sound card (/dev/snd/pcm*p)");
  XTest xtest;
  if (!xtest.Load()) SKIP_UNLESS_REQUIRED("libXtst.so.6 is not installed (see scripts/setup.sh)");
  XvfbSession x;
  if (!x.Start()) SKIP_UNLESS_REQUIRED("Xvfb is not installed (see scripts/setup.sh)");

  // The program itself: -1 (255), and only our line, without the sound
  // libraries' own complaints. A dead Wayland display beside the live X11
  // one: X11 comes first, and the session gets its note on the arrow keys.
  const EnvChanges program = Bare({{"DISPLAY", x.name()}, {"VELMORA_DIALOGS", std::string("0")}});
  Process p(kBin / "velmora", {}, kBin.string(), program, Scratch());
  ASSERT_TRUE(p.Wait(20000));
  Figure("program, no audio output", p);
  EXPECT_EQ(p.status(), 255);
  auto lines = Lines(p.err());
  ASSERT_EQ(lines.size(), 1u) << p.err();
  EXPECT_EQ(lines[0].rfind("velmora: no audio output (", 0), 0u) << lines[0];
  EXPECT_NE(lines[0].find("; to play without sound: SDL_AUDIODRIVER=dummy velmora"), std::string::npos);

  EnvChanges wayland = program;
  wayland["WAYLAND_DISPLAY"] = std::string("velmora-no-such-display");
  Process w(kBin / "velmora", {}, kBin.string(), wayland, Scratch());
  ASSERT_TRUE(w.Wait(20000));
  Figure("program, no audio output, Wayland session", w);
  EXPECT_EQ(w.status(), 255);
  lines = Lines(w.err());
  ASSERT_EQ(lines.size(), 2u) << w.err();
  EXPECT_EQ(lines[0], "velmora: on a Wayland desktop the arrow keys act only while the game's window, or another "
                      "X11 program's, has the focus");
  EXPECT_EQ(lines[1].rfind("velmora: no audio output (", 0), 0u) << lines[1];

  // The installed launcher, from another folder: silent play, one line.
  const fs::path launcher = InstalledLauncher();
  Process l(launcher, {}, root_.string(), Bare({{"DISPLAY", x.name()}}), Scratch());
  Display* d = x.display();
  const Window window = WaitForWindow(d, "VELMORA", 20000);
  ASSERT_NE(window, 0u) << "no VELMORA window; stderr: " << l.err();
  xtest.Tap(d, window, XK_Escape);
  ASSERT_TRUE(l.Wait(10000)) << "Escape did not end the game";
  Figure("installed launcher, no audio output (window, then Escape)", l);
  EXPECT_EQ(l.status(), 0);
  EXPECT_EQ(l.err(), "velmora: no audio output on this machine; playing without sound\n");
}

TEST_F(StartupMatrix, StartedWithoutATerminalAFailedStartShowsWhyInADialog) {
  XTest xtest;
  if (!xtest.Load()) SKIP_UNLESS_REQUIRED("libXtst.so.6 is not installed (see scripts/setup.sh)");
  XvfbSession x;
  if (!x.Start()) SKIP_UNLESS_REQUIRED("Xvfb is not installed (see scripts/setup.sh)");
  Display* d = x.display();
  // As from the menu: standard error goes to no terminal, and the folder
  // holds no sound cues.
  const fs::path empty = root_ / "empty";
  fs::create_directories(empty);
  Process p(kBin / "velmora", {}, empty.string(),
            Bare({{"DISPLAY", x.name()}, {"SDL_AUDIODRIVER", std::string("dummy")}}), Scratch());
  const Window dialog = WaitForWindow(d, "Velmora cannot start", 20000);
  ASSERT_NE(dialog, 0u) << "no dialog; stderr: " << p.err();

  const WindowPixels screen = CaptureWindow(d, DefaultRootWindow(d));
  const std::string shot = (fs::temp_directory_path() / "velmora-startup-dialog.png").string();
  if (!screen.rgb.empty() && gfx::WriteFramePng(shot, screen.rgb.data(), screen.width, screen.height, screen.width * 4)) {
    std::printf("screenshot of the dialog: %s\n", shot.c_str());
  }
  // Text on the dialog: its pixels are not one colour.
  const WindowPixels box = CaptureWindow(d, dialog);
  ASSERT_FALSE(box.rgb.empty());
  std::map<uint32_t, size_t> colours;
  for (uint32_t c : box.rgb) ++colours[c];
  size_t most = 0;
  for (const auto& [c, n] : colours) most = std::max(most, n);
  EXPECT_LT(most, box.rgb.size() * 99 / 100) << "an empty dialog";

  xtest.Tap(d, dialog, XK_Return);
  ASSERT_TRUE(p.Wait(10000)) << "Return did not close the dialog";
  Figure("no sound cues, started without a terminal (dialog, then Return)", p);
  EXPECT_EQ(p.status(), 255);
  const auto lines = Lines(p.err());
  ASSERT_EQ(lines.size(), 1u) << p.err();
  EXPECT_EQ(lines[0].rfind("velmora: cannot open bgm.wav in " + fs::canonical(empty).string(), 0), 0u) << lines[0];
}

}  // namespace

// Start-up choices of the desktop host: which video drivers SDL may try,
// the Wayland note, when a failed start is also shown in a dialog, the
// dialog's line breaking, and standard error kept quiet while SDL starts.
#include "host/sdl/startup_checks.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

namespace {

using host::sdl::VideoDrivers;
using host::sdl::WantStartupDialog;
using host::sdl::WaylandKeyboardNote;
using host::sdl::WrapLines;

TEST(StartupChecks, RealDisplaysOnlyX11FirstAndANamedDriverUnchanged) {
  EXPECT_EQ(VideoDrivers(nullptr, nullptr, nullptr), "");  // SDL would fall back to offscreen
  EXPECT_EQ(VideoDrivers("", "", ""), "");
  EXPECT_EQ(VideoDrivers(nullptr, ":0", nullptr), "x11");
  EXPECT_EQ(VideoDrivers(nullptr, nullptr, "wayland-0"), "wayland");
  EXPECT_EQ(VideoDrivers(nullptr, ":0", "wayland-0"), "x11,wayland");
  EXPECT_EQ(VideoDrivers("offscreen", nullptr, nullptr), "offscreen");
  EXPECT_EQ(VideoDrivers("wayland,x11", ":0", "wayland-0"), "wayland,x11");
}

TEST(StartupChecks, WaylandSessionsGetOneNoteThatSaysWhichWindowsCount) {
  EXPECT_EQ(WaylandKeyboardNote(nullptr, nullptr, "x11"), "");
  EXPECT_EQ(WaylandKeyboardNote("x11", nullptr, "x11"), "");
  const std::string throughX11 = WaylandKeyboardNote(nullptr, "wayland-0", "x11");
  const std::string native = WaylandKeyboardNote("wayland", nullptr, "wayland");
  EXPECT_NE(throughX11.find("another X11 program's"), std::string::npos) << throughX11;
  EXPECT_EQ(native.find("X11"), std::string::npos) << native;
  EXPECT_EQ(native.rfind("velmora: on a Wayland desktop the arrow keys act only while the game's window has the focus", 0),
            0u);
  EXPECT_EQ(WaylandKeyboardNote("WAYLAND", nullptr, "wayland"), native);
}

TEST(StartupChecks, DialogOnlyOnARealDisplayForAPlayerWithoutATerminalUnlessTold) {
  EXPECT_TRUE(WantStartupDialog(nullptr, false, "x11"));
  EXPECT_FALSE(WantStartupDialog(nullptr, true, "x11"));
  EXPECT_TRUE(WantStartupDialog("1", true, "wayland"));
  EXPECT_FALSE(WantStartupDialog("0", false, "x11"));
  EXPECT_FALSE(WantStartupDialog("1", false, "dummy"));  // nothing to show it on
  EXPECT_FALSE(WantStartupDialog(nullptr, false, "offscreen"));
  EXPECT_FALSE(WantStartupDialog(nullptr, false, nullptr));
}

TEST(StartupChecks, DialogTextBreaksAtBlanksAndKeepsItsLineBreaks) {
  EXPECT_EQ(WrapLines("one two three", 7), "one two\nthree");
  EXPECT_EQ(WrapLines("one two three", 80), "one two three");
  EXPECT_EQ(WrapLines("a\n\nb c", 1), "a\n\nb\nc");
  EXPECT_EQ(WrapLines("tiny /a/very/long/folder/name end", 8), "tiny\n/a/very/long/folder/name\nend");
  EXPECT_EQ(WrapLines("", 10), "");
  const std::string long_line(200, 'x');
  EXPECT_EQ(WrapLines("x " + long_line, 72), "x\n" + long_line);
}

TEST(StartupChecks, QuietStderrKeepsLibraryChatterOffUnlessLetThrough) {
  const std::string path = ::testing::TempDir() + "/startup_checks_stderr.txt";
  std::fflush(stderr);
  const int saved = dup(2);
  ASSERT_GE(saved, 0);
  std::FILE* capture = std::fopen(path.c_str(), "w");
  ASSERT_NE(capture, nullptr);
  dup2(fileno(capture), 2);
  {
    host::sdl::QuietStderr quiet(false);
    std::fputs("ALSA lib: dropped\n", stderr);
  }
  std::fputs("ours 1\n", stderr);
  {
    host::sdl::QuietStderr quiet(true);
    std::fputs("let through\n", stderr);
  }
  std::fputs("ours 2\n", stderr);
  std::fflush(stderr);
  dup2(saved, 2);
  close(saved);
  std::fclose(capture);
  std::ifstream in(path);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text, "ours 1\nlet through\nours 2\n");
}

}  // namespace

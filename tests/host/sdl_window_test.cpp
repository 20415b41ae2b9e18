// The SDL host's window on a real X display (Xvfb, whose only OpenGL is
// Mesa's CPU rasteriser): frames reach the window pixel for pixel and
// sharply scaled, a frame equal to the one on screen is not sent again but
// the window still shows it after an expose, waiting for events does not
// wake the thread in between, and fullscreen covers the screen and goes
// back.
#include "host/sdl/sdl_host.h"

#include <gtest/gtest.h>


#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

// Last: Xlib's macros (None, Bool, Status...) would break the headers above.
#include "tests/host/context_switches.h"
#include "tests/e2e/xvfb_session.h"
#include "tests/support/require_all.h"
#include <X11/Xutil.h>

// The leak checker's suppressions for SDL's X11 video are in
// sdl_host_test.cpp, which shares this program.

#if defined(__SANITIZE_ADDRESS__)
// Mesa's OpenGL driver, loaded with a window and unloaded with it, leaves a
// block that only its unloaded code pointed at: the leak checker can then
// neither count it as reachable nor name the code to suppress it. In this
// process libraries stay loaded, so the driver's blocks stay its own.
extern "C" int dlclose(void*) { return 0; }
#endif

namespace {

constexpr int kW = host::kClientWidth;
constexpr int kH = host::kClientHeight;

// Every pixel different from its neighbours: a blurred or shifted copy
// cannot pass for it.
std::vector<uint32_t> FinePattern() {
  std::vector<uint32_t> f(static_cast<size_t>(kW) * kH);
  for (int y = 0; y < kH; ++y) {
    for (int x = 0; x < kW; ++x) {
      f[static_cast<size_t>(y) * kW + x] =
          static_cast<uint32_t>((x & 0xFF) << 16 | (y & 0xFF) << 8 | ((x * 7 + y * 13) & 0xFF));
    }
  }
  return f;
}

// 8 x 8 blocks of 100 x 80 pixels, each its own colour.
uint32_t BlockColour(int bx, int by) {
  return static_cast<uint32_t>(0x102010 + bx * 0x1F0000 + by * 0x001F00 + (bx ^ by) * 0x1F);
}

std::vector<uint32_t> Blocks() {
  std::vector<uint32_t> f(static_cast<size_t>(kW) * kH);
  for (int y = 0; y < kH; ++y) {
    for (int x = 0; x < kW; ++x) f[static_cast<size_t>(y) * kW + x] = BlockColour(x / 100, y / 80);
  }
  return f;
}

using Capture = WindowPixels;

// Lets the host handle what the window system sent (resizes, exposes).
void Settle(host::SdlHost& h) {
  h.SleepMs(300);
  host::Event e;
  while (h.PollEvent(&e)) {
  }
}

class SdlWindowXvfb : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!x_.Start("2048x1536x24")) VELMORA_SKIP() << "Xvfb is not available";
    setenv("DISPLAY", x_.name().c_str(), 1);
    setenv("SDL_VIDEODRIVER", "x11", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    unsetenv("SDL_RENDER_DRIVER");
    unsetenv("SDL_FRAMEBUFFER_ACCELERATION");
  }
  void TearDown() override { unsetenv("SDL_VIDEODRIVER"); }
  XvfbSession x_;
};

TEST_F(SdlWindowXvfb, FramesReachTheWindowExactlyAndScaledSharply) {
  host::SdlHost h;
  ASSERT_TRUE(h.Ok());
  ASSERT_TRUE(h.CreateWindow("VELMORA", 0, 0, kW, kH));
  EXPECT_EQ(h.RendererName(), "software") << "Xvfb's OpenGL is a CPU rasteriser";
  h.ShowWindow(true);
  const std::vector<uint32_t> fine = FinePattern();
  h.Present(fine.data(), kW, kH, kW * 4);
  Settle(h);
  Display* d = x_.display();
  const Window w = WaitForWindow(d, "VELMORA", 5000);
  ASSERT_NE(w, 0u);

  Capture c = CaptureWindow(d, w);
  ASSERT_EQ(c.width, kW);
  ASSERT_EQ(c.height, kH);
  int wrong = 0;
  for (int y = 0; y < kH; ++y) {
    for (int x = 0; x < kW; ++x) wrong += c.At(x, y) != (fine[static_cast<size_t>(y) * kW + x] & 0xFFFFFF);
  }
  EXPECT_EQ(wrong, 0) << "the frame as presented, pixel for pixel";

  // Twice the size: every pixel a 2 x 2 block, no blur.
  h.MoveWindow(0, 0, 2 * kW, 2 * kH);
  Settle(h);
  c = CaptureWindow(d, w);
  ASSERT_EQ(c.width, 2 * kW);
  wrong = 0;
  for (int y = 0; y < 2 * kH; ++y) {
    for (int x = 0; x < 2 * kW; ++x) wrong += c.At(x, y) != (fine[static_cast<size_t>(y / 2) * kW + x / 2] & 0xFFFFFF);
  }
  EXPECT_EQ(wrong, 0) << "whole multiples stay sharp";

  // 2.25 times, wider than the client's shape: bars left and right, each
  // block's middle in its own colour.
  const std::vector<uint32_t> blocks = Blocks();
  h.Present(blocks.data(), kW, kH, kW * 4);
  h.MoveWindow(0, 0, 1900, 1440);
  Settle(h);
  c = CaptureWindow(d, w);
  ASSERT_EQ(c.width, 1900);
  ASSERT_EQ(c.height, 1440);
  const int left = (1900 - 1800) / 2;
  EXPECT_EQ(c.At(left / 2, 720), 0u) << "the bar is black";
  EXPECT_EQ(c.At(1900 - left / 2, 720), 0u);
  for (int by = 0; by < 8; ++by) {
    for (int bx = 0; bx < 8; ++bx) {
      const int x = left + (bx * 100 + 50) * 1800 / kW;
      const int y = (by * 80 + 40) * 1440 / kH;
      EXPECT_EQ(c.At(x, y), BlockColour(bx, by)) << "block " << bx << "," << by;
    }
  }
  h.DestroyWindow();
}

TEST_F(SdlWindowXvfb, EqualFramesAreNotSentAgainButExposesShowTheLastOne) {
  host::SdlHost h;
  ASSERT_TRUE(h.Ok());
  ASSERT_TRUE(h.CreateWindow("VELMORA", 0, 0, kW, kH));
  h.ShowWindow(true);
  Settle(h);
  std::vector<uint32_t> frame = Blocks();
  h.Present(frame.data(), kW, kH, kW * 4);
  const uint64_t shown = h.FramesShown();
  EXPECT_GE(shown, 1u);
  h.Present(frame.data(), kW, kH, kW * 4);
  EXPECT_EQ(h.FramesShown(), shown) << "the window shows it already";

  Display* d = x_.display();
  const Window w = WaitForWindow(d, "VELMORA", 5000);
  ASSERT_NE(w, 0u);
  // Unmapped and mapped again the window has lost its contents; the host
  // paints the last frame on the expose that follows.
  h.ShowWindow(false);
  Settle(h);
  h.ShowWindow(true);
  Settle(h);
  EXPECT_GT(h.FramesShown(), shown);
  const Capture c = CaptureWindow(d, w);
  ASSERT_EQ(c.width, kW);
  EXPECT_EQ(c.At(150, 100), BlockColour(1, 1)) << "the last frame, shown again";
  EXPECT_EQ(c.At(750, 600), BlockColour(7, 7));

  // And a waiting program sleeps through to its deadline in one piece.
  Settle(h);
  const uint64_t start = h.NowMs();
  const long before = VoluntarySwitches();
  const bool event = h.WaitEvent(start + 1000);
  const long switches = VoluntarySwitches() - before;
  if (!event) {
    EXPECT_GE(h.NowMs(), start + 1000);
    EXPECT_LT(switches, 5) << "woke between events";
  }
  h.DestroyWindow();
}

// Fullscreen on a real X display: the window becomes the screen's size and
// goes back to its own.
TEST(SdlHostXvfb, FullscreenTogglesToTheScreenSizeAndBack) {
  XvfbSession x;
  if (!x.Start("1920x1080x24")) VELMORA_SKIP() << "Xvfb is not available";
  setenv("DISPLAY", x.name().c_str(), 1);
  setenv("SDL_VIDEODRIVER", "x11", 1);
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  {
    host::SdlHost h;
    ASSERT_TRUE(h.Ok());
    ASSERT_TRUE(h.CreateWindow("VELMORA", 100, 100, 800, 640));
    h.ShowWindow(true);
    std::vector<uint32_t> frame(800 * 640, 0x3366CC);
    h.Present(frame.data(), 800, 640, 800 * 4);
    h.SleepMs(200);
    int w = 0, hgt = 0;
    h.WindowSize(&w, &hgt);
    EXPECT_EQ(w, 800);
    EXPECT_EQ(hgt, 640);
    h.SetFullscreen(true);
    h.SleepMs(300);
    EXPECT_TRUE(h.Fullscreen());
    h.WindowSize(&w, &hgt);
    EXPECT_EQ(w, 1920);
    EXPECT_EQ(hgt, 1080);
    h.SetFullscreen(false);
    h.SleepMs(300);
    EXPECT_FALSE(h.Fullscreen());
    h.WindowSize(&w, &hgt);
    EXPECT_EQ(w, 800);
    EXPECT_EQ(hgt, 640);
    h.DestroyWindow();
  }
  unsetenv("SDL_VIDEODRIVER");
}

}  // namespace

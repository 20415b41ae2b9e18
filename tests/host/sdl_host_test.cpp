// The desktop host without a desktop: key tables, the profile file, and the
// SDL host itself on SDL's dummy video and audio drivers.
#include "host/sdl/sdl_host.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>

#include "host/sdl/clock_output.h"
#include "host/sdl/key_mapping.h"
#include "host/sdl/letterbox.h"
#include "host/sdl/profile_ini.h"
#include "host/sdl/renderer_choice.h"

// SDL's X11 video opens the session bus, and libdbus keeps a buffer to the
// end of the process: a system library's allocation, not ours. The blocks it
// links to are reported with a broken unwind (libdbus has no frame pointers)
// that ends in the sanitizer runtime; those are the same allocation.
extern "C" const char* __lsan_default_suppressions() { return "leak:libdbus-1.so\nleak:libubsan.so\n"; }

namespace {

using host::Key;
using host::sdl::KeyFromEvdev;
using host::sdl::KeyFromSdlScancode;

TEST(KeyMapping, SdlAndEvdevAgreeOnHostKeys) {
  // SDL scancodes are the HID usages; media keys beyond the keyboard page
  // have no host key.
  EXPECT_EQ(KeyFromSdlScancode(80), Key::Left);
  EXPECT_EQ(KeyFromSdlScancode(92), Key::Keypad4);
  EXPECT_EQ(KeyFromSdlScancode(0), Key::None);
  EXPECT_EQ(KeyFromSdlScancode(258), Key::None);
  // evdev: KEY_LEFT 105, KEY_KP4 75, KEY_UP 103, KEY_KP8 72.
  EXPECT_EQ(KeyFromEvdev(105), Key::Left);
  EXPECT_EQ(KeyFromEvdev(75), Key::Keypad4);
  EXPECT_EQ(KeyFromEvdev(103), Key::Up);
  EXPECT_EQ(KeyFromEvdev(72), Key::Keypad8);
  EXPECT_EQ(KeyFromEvdev(1), Key::Escape);
  EXPECT_EQ(KeyFromEvdev(57), Key::Space);
  EXPECT_EQ(KeyFromEvdev(96), Key::KeypadEnter);
  EXPECT_EQ(KeyFromEvdev(97), Key::RightCtrl);
  EXPECT_EQ(KeyFromEvdev(0), Key::None);
  EXPECT_EQ(KeyFromEvdev(300), Key::None);
  EXPECT_EQ(KeyFromEvdev(-1), Key::None);
  // The same physical key seen through SDL and through X agrees.
  const int sdlToEvdev[][2] = {{4, 30},  {29, 44},  {30, 2},   {39, 11},  {40, 28},  {41, 1},   {44, 57},
                               {58, 59}, {69, 88},  {73, 110}, {76, 111}, {74, 102}, {77, 107}, {75, 104},
                               {78, 109}, {83, 69}, {84, 98},  {85, 55},  {88, 96},  {98, 82},  {99, 83},
                               {224, 29}, {225, 42}, {226, 56}, {228, 97}, {229, 54}, {230, 100}, {227, 125}};
  for (const auto& p : sdlToEvdev) EXPECT_EQ(KeyFromSdlScancode(p[0]), KeyFromEvdev(p[1])) << p[0];
  // Every evdev key of a standard keyboard has a host key, each its own.
  std::set<Key> seen;
  for (int code = 1; code <= 83; ++code) {
    Key k = KeyFromEvdev(code);
    ASSERT_NE(k, Key::None) << code;
    EXPECT_TRUE(seen.insert(k).second) << code;
  }
}

TEST(KeyMapping, FullscreenShortcutsAreAltEnterAndF11Alone) {
  using host::sdl::IsFullscreenShortcut;
  EXPECT_TRUE(IsFullscreenShortcut(Key::F11, 0));
  EXPECT_TRUE(IsFullscreenShortcut(Key::F11, host::kModNumLock));  // lock keys do not matter
  EXPECT_FALSE(IsFullscreenShortcut(Key::F11, host::kModCtrl));
  EXPECT_TRUE(IsFullscreenShortcut(Key::Return, host::kModAlt));
  EXPECT_TRUE(IsFullscreenShortcut(Key::KeypadEnter, host::kModAlt | host::kModNumLock));
  EXPECT_FALSE(IsFullscreenShortcut(Key::Return, 0));  // plain Enter is the game's
  EXPECT_FALSE(IsFullscreenShortcut(Key::Return, host::kModAlt | host::kModShift));
  EXPECT_FALSE(IsFullscreenShortcut(Key::Space, host::kModAlt));
}

TEST(Letterbox, CentredShapeKeptAndWholeFactorForTheSharpScaler) {
  using host::sdl::PlaceClient;
  auto p = PlaceClient(800, 640);
  EXPECT_EQ(p.x, 0);
  EXPECT_EQ(p.width, 800);
  EXPECT_EQ(p.prescale, 1);
  p = PlaceClient(1600, 1280);  // exactly twice: nearest all the way
  EXPECT_EQ(p.width, 1600);
  EXPECT_EQ(p.height, 1280);
  EXPECT_EQ(p.prescale, 2);
  p = PlaceClient(1920, 1080);  // bars left and right, 1.6875 times
  EXPECT_EQ(p.height, 1080);
  EXPECT_EQ(p.width, 1350);
  EXPECT_EQ(p.x, 285);
  EXPECT_EQ(p.y, 0);
  EXPECT_EQ(p.prescale, 1);
  p = PlaceClient(2560, 1440);  // 2.25 times: nearest to 2, linear the rest
  EXPECT_EQ(p.width, 1800);
  EXPECT_EQ(p.prescale, 2);
  p = PlaceClient(1000, 2000);  // bars above and below
  EXPECT_EQ(p.width, 1000);
  EXPECT_EQ(p.height, 800);
  EXPECT_EQ(p.y, 600);
  p = PlaceClient(300, 200);  // smaller than the client: factor stays 1
  EXPECT_EQ(p.prescale, 1);
  EXPECT_GE(p.width, 1);
  p = PlaceClient(0, -5);  // no output: the client as it is
  EXPECT_EQ(p.width, 800);
}

TEST(Letterbox, OutputPixelsLandOnTheRightClientPixelAndBarsOutside) {
  using host::sdl::OutputToClient;
  const auto p = host::sdl::PlaceClient(1920, 1080);  // x 285, width 1350
  int x = 0, y = 0;
  OutputToClient(p, 285, 0, &x, &y);
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 0);
  OutputToClient(p, 285 + 1349, 1079, &x, &y);
  EXPECT_EQ(x, 799);
  EXPECT_EQ(y, 639);
  OutputToClient(p, 284, 500, &x, &y);  // on the left bar
  EXPECT_LT(x, 0);
  OutputToClient(p, 285 + 1350, 500, &x, &y);  // on the right bar
  EXPECT_GE(x, 800);
  // The centre of the cell at column 4, row 3 (88-pixel cells) stays there.
  OutputToClient(p, 285 + (4 * 88 + 44) * 1350 / 800, (3 * 88 + 44) * 1080 / 640, &x, &y);
  EXPECT_EQ(x / 88, 4);
  EXPECT_EQ(y / 88, 3);
}

TEST(ProfileIni, SectionsKeysCommentsAndCase) {
  const std::string ini =
      "; user profile\n"
      "[Windows]\n"
      "debug=9\n"
      "[ Direct3D ]\r\n"
      "  Debug = 3  \r\n"
      "# other\n"
      "other=x\n"
      "[Empty]\n";
  EXPECT_EQ(host::sdl::ReadProfileValue(ini, "Direct3D", "debug").value_or("?"), "3");
  EXPECT_EQ(host::sdl::ReadProfileValue(ini, "direct3d", "DEBUG").value_or("?"), "3");
  EXPECT_EQ(host::sdl::ReadProfileValue(ini, "Windows", "debug").value_or("?"), "9");
  EXPECT_FALSE(host::sdl::ReadProfileValue(ini, "Empty", "debug").has_value());
  EXPECT_FALSE(host::sdl::ReadProfileValue(ini, "Direct3D", "missing").has_value());
  EXPECT_FALSE(host::sdl::ReadProfileValue("debug=1\n", "Direct3D", "debug").has_value());
}

TEST(ProfileIni, PathFollowsTheEnvironment) {
  setenv("VELMORA_PROFILE", "/tmp/x.ini", 1);
  EXPECT_EQ(host::sdl::ProfilePath(), "/tmp/x.ini");
  unsetenv("VELMORA_PROFILE");
  setenv("XDG_CONFIG_HOME", "/cfg", 1);
  EXPECT_EQ(host::sdl::ProfilePath(), "/cfg/velmora/win.ini");
  unsetenv("XDG_CONFIG_HOME");
  setenv("HOME", "/home/u", 1);
  EXPECT_EQ(host::sdl::ProfilePath(), "/home/u/.config/velmora/win.ini");
}

TEST(RendererChoice, OnlyCpuRasterisersLeaveOpenGl) {
  using host::sdl::IsSoftwareRasterizer;
  // Mesa's CPU rasterisers as they name themselves, also under zink and WSL.
  EXPECT_TRUE(IsSoftwareRasterizer("llvmpipe (LLVM 15.0.6, 256 bits)"));
  EXPECT_TRUE(IsSoftwareRasterizer("softpipe"));
  EXPECT_TRUE(IsSoftwareRasterizer("Software Rasterizer"));
  EXPECT_TRUE(IsSoftwareRasterizer("Mesa X11 swrast"));
  EXPECT_TRUE(IsSoftwareRasterizer("zink (llvmpipe (LLVM 15.0.6, 256 bits))"));
  EXPECT_TRUE(IsSoftwareRasterizer("D3D12 (Microsoft Basic Render Driver)"));
  // GPUs, including names that carry "LLVM" or "Mesa".
  EXPECT_FALSE(IsSoftwareRasterizer("AMD Radeon RX 6600 (navi23, LLVM 15.0.6, DRM 3.49, 6.1.0-18-amd64)"));
  EXPECT_FALSE(IsSoftwareRasterizer("Mesa Intel(R) UHD Graphics 620 (KBL GT2)"));
  EXPECT_FALSE(IsSoftwareRasterizer("NVIDIA GeForce GTX 1060 6GB/PCIe/SSE2"));
  EXPECT_FALSE(IsSoftwareRasterizer("virgl (Intel(R) UHD Graphics 620)"));
  EXPECT_FALSE(IsSoftwareRasterizer("D3D12 (NVIDIA GeForce RTX 3060)"));
  // Unknown: keep the accelerated renderer.
  EXPECT_FALSE(IsSoftwareRasterizer(nullptr));
  EXPECT_FALSE(IsSoftwareRasterizer(""));
}

class SdlHostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
  }
};

class Silence : public host::AudioSource {
 public:
  void Mix(int16_t* out, int frames) override {
    for (int i = 0; i < frames * 2; ++i) out[i] = 0;
    pulled += frames;
  }
  int pulled = 0;
};

TEST_F(SdlHostTest, WindowFramesEventsAndProfileOnDummyDrivers) {
  std::string ini = ::testing::TempDir() + "/velmora_win.ini";
  {
    std::ofstream f(ini);
    f << "[Direct3D]\ndebug=2\n";
  }
  setenv("VELMORA_PROFILE", ini.c_str(), 1);
  setenv("VELMORA_D3D_PROFILE", "pow2", 1);
  host::SdlHost h;
  ASSERT_TRUE(h.Ok());
  int w = 0, hgt = 0;
  h.DesktopSize(&w, &hgt);
  EXPECT_GT(w, 0);
  EXPECT_GT(hgt, 0);
  ASSERT_TRUE(h.CreateWindow("VELMORA", 112, 64, 800, 640));
  EXPECT_FALSE(h.CreateWindow("again", 0, 0, 10, 10));  // one window only
  h.ShowWindow(true);
  std::vector<uint32_t> frame(800 * 640, 0xFF8000);
  h.Present(frame.data(), 800, 640, 800 * 4);
  h.MoveWindow(0, 0, 1600, 1280);
  host::Image cursor;
  cursor.width = cursor.height = 2;
  cursor.argb = {0xFFFFFFFF, 0, 0, 0xFF000000};
  h.SetCursor(&cursor);
  h.SetCursor(nullptr);
  h.SetIcon(&cursor);
  uint8_t keys[256];
  h.KeyboardState(keys);
  uint64_t before = h.NowMs();
  h.SleepMs(30);
  EXPECT_GE(h.NowMs(), before + 30);
  host::Event e;
  while (h.PollEvent(&e)) {
  }
  EXPECT_FALSE(h.WaitEvent(h.NowMs() + 5));
  EXPECT_EQ(h.ProfileValue("Direct3D", "debug").value_or("?"), "2");
  EXPECT_EQ(h.DeviceProfile(), "pow2");
  EXPECT_GT(h.CalendarTime(), 1600000000);
  h.DestroyWindow();
  unsetenv("VELMORA_PROFILE");
  unsetenv("VELMORA_D3D_PROFILE");
  std::remove(ini.c_str());
}

TEST_F(SdlHostTest, AFrameEqualToTheShownOneIsNotSentAgain) {
  host::SdlHost h;
  ASSERT_TRUE(h.Ok());
  ASSERT_TRUE(h.CreateWindow("VELMORA", 0, 0, 800, 640));
  h.ShowWindow(true);
  host::Event e;
  while (h.PollEvent(&e)) {
  }
  // Rows with padding after them; only the pixels count.
  const int pitch = 832;
  std::vector<uint32_t> frame(static_cast<size_t>(pitch) * 640, 0x204060);
  uint64_t shown = h.FramesShown();
  h.Present(frame.data(), 800, 640, pitch * 4);
  EXPECT_EQ(h.FramesShown(), ++shown);
  for (int y = 0; y < 640; ++y) frame[static_cast<size_t>(y) * pitch + 810] = 0xFFFFFF;
  h.Present(frame.data(), 800, 640, pitch * 4);
  EXPECT_EQ(h.FramesShown(), shown) << "the same pixels, different padding";
  frame[static_cast<size_t>(639) * pitch + 799] = 0x204061;
  h.Present(frame.data(), 800, 640, pitch * 4);
  EXPECT_EQ(h.FramesShown(), ++shown) << "the last pixel changed";
  // A frame of another size is new, and so is the old one after it.
  std::vector<uint32_t> small(400 * 320, 0x204060);
  h.Present(small.data(), 400, 320, 400 * 4);
  EXPECT_EQ(h.FramesShown(), ++shown);
  h.Present(frame.data(), 800, 640, pitch * 4);
  EXPECT_EQ(h.FramesShown(), ++shown);

  // Resizing and fullscreen show the last frame again without a Present.
  h.MoveWindow(0, 0, 1000, 700);
  while (h.PollEvent(&e)) {
  }
  EXPECT_GT(h.FramesShown(), shown) << "shown again at the new size";
  shown = h.FramesShown();
  h.SetFullscreen(!h.Fullscreen());
  EXPECT_GT(h.FramesShown(), shown) << "shown again on the fullscreen toggle";
  shown = h.FramesShown();
  h.Present(frame.data(), 800, 640, pitch * 4);
  EXPECT_EQ(h.FramesShown(), shown);
  // A new window starts with nothing on it.
  h.DestroyWindow();
  ASSERT_TRUE(h.CreateWindow("VELMORA", 0, 0, 800, 640));
  shown = h.FramesShown();
  h.Present(frame.data(), 800, 640, pitch * 4);
  EXPECT_EQ(h.FramesShown(), shown + 1);
  h.DestroyWindow();
}

TEST_F(SdlHostTest, AudioPullsFromTheSourceOrReportsNoDevice) {
  host::SdlHost h;
  ASSERT_TRUE(h.Ok());
  Silence source;
  EXPECT_FALSE(h.OpenAudio(host::AudioFormat{44100, 2}, nullptr));
  if (h.OpenAudio(host::AudioFormat{44100, 2}, &source)) {
    EXPECT_GT(h.AudioBufferFrames(), 0);
    h.SleepMs(200);
    h.CloseAudio();
  }
  // The dummy driver plays nothing: the host says so, and the mixer keeps
  // time without a thread pulling silence. Every other driver is pulled
  // from, also when a list of them comes to the dummy one only at its end.
  EXPECT_TRUE(h.SilentAudioOutput());
  setenv("SDL_AUDIODRIVER", "none-such,dummy", 1);
  EXPECT_TRUE(h.SilentAudioOutput());
  setenv("SDL_AUDIODRIVER", "disk", 1);
  EXPECT_FALSE(h.SilentAudioOutput());
  unsetenv("SDL_AUDIODRIVER");
  EXPECT_FALSE(h.SilentAudioOutput()) << "SDL never picks the dummy driver by itself";
  // With no output device at all the host says so instead of failing later.
  setenv("SDL_AUDIODRIVER", "none-such", 1);
  host::SdlHost h2;
  EXPECT_FALSE(h2.OpenAudio(host::AudioFormat{44100, 2}, &source));
  EXPECT_FALSE(h2.AudioError().empty()) << "the reason is kept";
}

// Counts what it is asked for, from whichever thread asks.
class CountingSource : public host::AudioSource {
 public:
  void Mix(int16_t* out, int frames) override {
    for (int i = 0; i < frames * 2; ++i) out[i] = 0;
    pulled += frames;
  }
  std::atomic<uint64_t> pulled{0};
};

TEST(ClockOutput, PullsAtTheClocksRateUntilStopped) {
  CountingSource source;
  host::sdl::ClockOutput clock;
  EXPECT_FALSE(clock.Running());
  const auto start = std::chrono::steady_clock::now();
  clock.Start(&source, host::AudioFormat{44100, 2});
  EXPECT_TRUE(clock.Running());
  std::this_thread::sleep_for(std::chrono::milliseconds(120));
  clock.Stop();
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_FALSE(clock.Running());
  EXPECT_GT(source.pulled.load(), 0u);
  EXPECT_LE(static_cast<double>(source.pulled.load()), 44100.0 * seconds) << "never ahead of the clock";
  EXPECT_EQ(clock.FramesPulled(), source.pulled.load());
  const uint64_t stopped = source.pulled;
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(source.pulled.load(), stopped) << "nothing pulled once stopped";
  clock.Start(nullptr, host::AudioFormat{44100, 2});
  EXPECT_FALSE(clock.Running()) << "no source, nothing to pull";
}

// Sleeps on the host until `source` has been pulled past `before`, for at
// most three seconds (a loaded machine may be slow to run the audio thread).
bool PulledPast(host::SdlHost& h, const CountingSource& source, uint64_t before) {
  for (int i = 0; i < 60 && source.pulled.load() <= before; ++i) h.SleepMs(50);
  return source.pulled.load() > before;
}

TEST_F(SdlHostTest, ALostSoundDeviceIsReopenedOrReplacedByTheClockAndPlayGoesOn) {
  const std::string file = ::testing::TempDir() + "/velmora_disk_audio.raw";
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", file.c_str(), 1);
  host::SdlHost h;
  ASSERT_TRUE(h.Ok());
  // Lost at the first pass of the event loop, and again later; the second
  // output opened after a loss (the third in all) finds none.
  h.FailAt("host.AudioDeviceLost", 1);
  h.FailAt("host.OpenAudio", 3);
  CountingSource source;
  ASSERT_TRUE(h.OpenAudio(host::AudioFormat{44100, 2}, &source));
  EXPECT_EQ(h.AudioOutput(), host::SdlHost::AudioOutputKind::Device);
  EXPECT_EQ(h.AudioDevicesOpened(), 1);

  ::testing::internal::CaptureStderr();
  h.SleepMs(20);  // pass 1: lost, the default output opened again
  EXPECT_EQ(h.AudioOutput(), host::SdlHost::AudioOutputKind::Device);
  EXPECT_EQ(h.AudioDevicesOpened(), 2);
  uint64_t before = source.pulled;
  EXPECT_TRUE(PulledPast(h, source, before)) << "the new device pulls on from the same source";

  h.FailAt("host.AudioDeviceLost", h.CallCount("host.AudioDeviceLost") + 1);
  h.SleepMs(1);  // the next pass: lost, and no output left
  EXPECT_EQ(h.AudioOutput(), host::SdlHost::AudioOutputKind::Clock);
  EXPECT_EQ(h.AudioDevicesOpened(), 2);
  before = source.pulled;
  EXPECT_TRUE(PulledPast(h, source, before)) << "the silent output keeps time";
  const std::string said = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(said.find("sound device went away; playing on the default output"), std::string::npos) << said;
  EXPECT_NE(said.find("no other is left; playing on silently"), std::string::npos) << said;

  // A device that arrives takes over from the clock.
  SDL_Event added{};
  added.type = SDL_AUDIODEVICEADDED;
  added.adevice.which = 0;
  added.adevice.iscapture = 0;
  ASSERT_EQ(SDL_PushEvent(&added), 1);
  h.SleepMs(1);
  EXPECT_EQ(h.AudioOutput(), host::SdlHost::AudioOutputKind::Device);
  EXPECT_EQ(h.AudioDevicesOpened(), 3);
  before = source.pulled;
  EXPECT_TRUE(PulledPast(h, source, before));
  // Another device arriving changes nothing; closing stops every output.
  ASSERT_EQ(SDL_PushEvent(&added), 1);
  h.SleepMs(1);
  EXPECT_EQ(h.AudioDevicesOpened(), 3);
  h.CloseAudio();
  EXPECT_EQ(h.AudioOutput(), host::SdlHost::AudioOutputKind::None);
  before = source.pulled;
  h.SleepMs(60);
  EXPECT_EQ(source.pulled.load(), before);
  unsetenv("SDL_DISKAUDIOFILE");
  std::remove(file.c_str());
}

TEST_F(SdlHostTest, AFailedFullscreenSwitchIsToldOnceAndTheWindowStays) {
  host::SdlHost h;
  ASSERT_TRUE(h.Ok());
  ASSERT_TRUE(h.CreateWindow("VELMORA", 0, 0, 800, 640));
  h.FailAt("host.SetFullscreen", 1);
  h.FailAt("host.SetFullscreen", 2);
  ::testing::internal::CaptureStderr();
  h.SetFullscreen(true);
  EXPECT_FALSE(h.Fullscreen());
  EXPECT_EQ(h.WindowTitle(), "VELMORA (fullscreen unavailable)");
  h.SetFullscreen(true);  // fails again: nothing more said
  EXPECT_FALSE(h.Fullscreen());
  EXPECT_EQ(h.WindowTitle(), "VELMORA (fullscreen unavailable)");
  const std::string said = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(said, "velmora: cannot switch to fullscreen (host.SetFullscreen fault); playing on in the window\n");
  h.SetFullscreen(true);  // the third try works
  EXPECT_TRUE(h.Fullscreen());
  h.DestroyWindow();
}

}  // namespace

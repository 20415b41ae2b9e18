// The desktop host without a desktop: key tables, the profile file, and the
// SDL host itself on SDL's dummy video and audio drivers.
#include "host/sdl/sdl_host.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>

#include "host/sdl/key_mapping.h"
#include "host/sdl/profile_ini.h"

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
  // With no output device at all the host says so instead of failing later.
  setenv("SDL_AUDIODRIVER", "none-such", 1);
  host::SdlHost h2;
  EXPECT_FALSE(h2.OpenAudio(host::AudioFormat{44100, 2}, &source));
}

}  // namespace

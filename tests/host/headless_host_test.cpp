// The headless host: virtual clock, scripted input in time order, key
// repeat, captured output, audio pulled by virtual time, fault injection.
#include "host/headless/headless_host.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include "tests/support/read_file.h"


namespace {

using host::Event;
using host::EventType;
using host::HeadlessHost;

std::vector<Event> Drain(HeadlessHost& h) {
  std::vector<Event> out;
  Event e;
  while (h.PollEvent(&e)) out.push_back(e);
  return out;
}

TEST(HeadlessClock, SleepAdvancesVirtualTimeAndCalendar) {
  HeadlessHost h;
  h.SetCalendarTime(1000);
  EXPECT_EQ(h.NowMs(), 0u);
  h.SleepMs(5000);
  EXPECT_EQ(h.NowMs(), 5000u);
  EXPECT_EQ(h.CalendarTime(), 1005);
  h.AdvanceTo(100);  // never backwards
  EXPECT_EQ(h.NowMs(), 5000u);
}

TEST(HeadlessClock, WaitStopsAtNextScriptedEventOrDeadline) {
  HeadlessHost h;
  h.ScheduleClose(700);
  EXPECT_FALSE(h.WaitEvent(300));
  EXPECT_EQ(h.NowMs(), 300u);
  EXPECT_TRUE(h.WaitEvent(10000));
  EXPECT_EQ(h.NowMs(), 700u);
  auto events = Drain(h);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].type, EventType::Close);
  // Nothing scripted and no deadline: returns at once instead of hanging.
  EXPECT_FALSE(h.WaitEvent(UINT64_MAX));
  EXPECT_EQ(h.NowMs(), 700u);
}

TEST(HeadlessInput, EventsArriveOnlyWhenDueAndInScriptOrder) {
  HeadlessHost h;
  h.SetKeyRepeat(0, 0);
  h.ScheduleKey(200, host::Key::Space, true);
  h.ScheduleClick(100, 10, 20);
  h.ScheduleKey(200, host::Key::Space, false);
  EXPECT_TRUE(Drain(h).empty());
  h.AdvanceTo(150);
  auto first = Drain(h);
  ASSERT_EQ(first.size(), 3u);  // move, press, release
  EXPECT_EQ(first[0].type, EventType::MouseMove);
  EXPECT_EQ(first[1].type, EventType::MouseDown);
  EXPECT_EQ(first[1].x, 10);
  EXPECT_EQ(first[1].y, 20);
  EXPECT_EQ(first[2].type, EventType::MouseUp);
  h.AdvanceTo(200);
  auto second = Drain(h);
  ASSERT_EQ(second.size(), 2u);
  EXPECT_EQ(second[0].type, EventType::KeyDown);
  EXPECT_EQ(second[0].timeMs, 200u);
  EXPECT_EQ(second[1].type, EventType::KeyUp);
}

TEST(HeadlessInput, KeyboardStateFollowsKeysAndStateOnlyScript) {
  HeadlessHost h;
  uint8_t keys[256];
  h.ScheduleKey(10, host::Key::Left, true);
  h.ScheduleKeyState(20, host::Key::Up, true);
  h.ScheduleKey(30, host::Key::Left, false);
  h.AdvanceTo(20);
  h.KeyboardState(keys);
  const int left = static_cast<int>(host::Key::Left), up = static_cast<int>(host::Key::Up);
  EXPECT_EQ(keys[left], 0x80);
  EXPECT_EQ(keys[up], 0x80);
  h.AdvanceTo(30);
  h.KeyboardState(keys);
  EXPECT_EQ(keys[left], 0);
  EXPECT_EQ(keys[up], 0x80);
  // The state-only key produced no window event.
  for (const Event& e : Drain(h)) EXPECT_EQ(e.key, host::Key::Left);
}

TEST(HeadlessInput, KeyEventsCarryTheModifiersHeldAtTheTime) {
  HeadlessHost h;
  h.SetKeyRepeat(0, 0);
  h.ScheduleKey(10, host::Key::A, true);
  h.ScheduleKeyState(20, host::Key::RightShift, true);
  h.ScheduleKey(30, host::Key::A, false);
  h.ScheduleKey(40, host::Key::LeftCtrl, true);
  h.ScheduleKey(50, host::Key::LeftAlt, true);
  h.AdvanceTo(60);
  auto events = Drain(h);
  ASSERT_EQ(events.size(), 4u);
  EXPECT_EQ(events[0].mods, host::kModNumLock);
  EXPECT_EQ(events[1].mods, host::kModNumLock | host::kModShift);
  EXPECT_EQ(events[2].mods, host::kModNumLock | host::kModShift | host::kModCtrl);
  EXPECT_EQ(events[3].mods, host::kModNumLock | host::kModShift | host::kModCtrl | host::kModAlt);
}

TEST(HeadlessInput, HeldKeyRepeatsAfterDelayAtInterval) {
  HeadlessHost h;
  h.SetKeyRepeat(500, 100);
  h.ScheduleKey(0, host::Key::Space, true);
  h.ScheduleKey(1000, host::Key::Space, false);
  h.AdvanceTo(2000);
  auto events = Drain(h);
  // press, repeats at 500..900 (5), release; nothing after the release.
  ASSERT_EQ(events.size(), 7u);
  EXPECT_FALSE(events[0].repeat);
  for (int i = 1; i <= 5; ++i) {
    EXPECT_TRUE(events[i].repeat);
    EXPECT_EQ(events[i].type, EventType::KeyDown);
    EXPECT_EQ(events[i].timeMs, 400u + 100u * i);
  }
  EXPECT_EQ(events[6].type, EventType::KeyUp);
}

TEST(HeadlessInput, DoubleClickIsTwoQuickPressesAtOnePoint) {
  HeadlessHost h;
  h.ScheduleDoubleClick(1000, 5, 6);
  h.AdvanceTo(2000);
  std::vector<uint64_t> downs;
  for (const Event& e : Drain(h)) {
    if (e.type == EventType::MouseDown) {
      downs.push_back(e.timeMs);
      EXPECT_EQ(e.x, 5);
      EXPECT_EQ(e.y, 6);
    }
  }
  ASSERT_EQ(downs.size(), 2u);
  EXPECT_LT(downs[1] - downs[0], 500u);
}

TEST(HeadlessFaults, NthCallFailsAndCallsAreCounted) {
  HeadlessHost h;
  h.FailAt("IDirect3DDevice9.BeginScene", 2);
  h.FailAt("IDirect3DDevice9.BeginScene", 4);
  std::vector<bool> got;
  for (int i = 0; i < 5; ++i) got.push_back(h.ShouldFail("IDirect3DDevice9.BeginScene"));
  EXPECT_EQ(got, (std::vector<bool>{false, true, false, true, false}));
  EXPECT_EQ(h.CallCount("IDirect3DDevice9.BeginScene"), 5);
  EXPECT_EQ(h.CallCount("mmioOpenA"), 0);
  EXPECT_FALSE(h.ShouldFail("mmioOpenA"));
}

TEST(HeadlessFaults, CurrentHostRoutesShouldFail) {
  EXPECT_FALSE(host::ShouldFail("Direct3DCreate9"));  // no host: never fails
  {
    HeadlessHost h;
    host::SetCurrent(&h);
    h.FailAt("Direct3DCreate9");
    EXPECT_TRUE(host::ShouldFail("Direct3DCreate9"));
    EXPECT_FALSE(host::ShouldFail("Direct3DCreate9"));
  }
  // The host unregisters itself when it goes away.
  EXPECT_EQ(host::Current(), nullptr);
}

TEST(HeadlessOutput, FramesMessageBoxesDebugTextAndProfile) {
  HeadlessHost h;
  h.SleepMs(40);
  uint32_t pixels[2 * 3] = {1, 2, 0xDEAD, 3, 4, 0xBEEF};  // pitch 12 bytes, 2 wide
  h.Present(pixels, 2, 2, 12);
  ASSERT_EQ(h.Frames().size(), 1u);
  EXPECT_EQ(h.Frames()[0].timeMs, 40u);
  EXPECT_EQ(h.Frames()[0].pixels, (std::vector<uint32_t>{1, 2, 3, 4}));
  h.KeepFrames(false);
  h.Present(pixels, 2, 2, 12);
  EXPECT_EQ(h.Frames().size(), 1u);
  EXPECT_EQ(h.FrameCount(), 2u);

  host::MessageBoxRequest box;
  box.textUtf8 = "x";
  box.icon = host::DialogIcon::Error;
  EXPECT_EQ(h.MessageBox(box), host::DialogAnswer::Ok);
  box.buttons = host::DialogButtons::YesNo;
  EXPECT_EQ(h.MessageBox(box), host::DialogAnswer::Yes);
  box.defaultButton = 1;  // Enter takes the default button
  EXPECT_EQ(h.MessageBox(box), host::DialogAnswer::No);
  box.defaultButton = 3;  // past the last button: the first
  EXPECT_EQ(h.MessageBox(box), host::DialogAnswer::Yes);
  EXPECT_EQ(h.MessageBoxes().size(), 4u);

  h.DebugOutput("a\r\n");
  h.DebugOutput("b");
  EXPECT_EQ(h.DebugText(), "a\r\nb");

  h.SetProfileValue("Direct3D", "debug", "3");
  EXPECT_EQ(h.ProfileValue("DIRECT3D", "Debug").value_or(""), "3");
  EXPECT_FALSE(h.ProfileValue("Direct3D", "other").has_value());
}

class Ramp : public host::AudioSource {
 public:
  void Mix(int16_t* out, int frames) override {
    for (int i = 0; i < frames; ++i) {
      out[2 * i] = static_cast<int16_t>(next);
      out[2 * i + 1] = static_cast<int16_t>(-next);
      ++next;
    }
  }
  int next = 0;
};

TEST(HeadlessAudio, PulledByVirtualTimeWithoutDrift) {
  HeadlessHost h;
  Ramp ramp;
  h.SleepMs(1000);  // before opening: nothing is pulled
  ASSERT_TRUE(h.OpenAudio(host::AudioFormat{44100, 2}, &ramp));
  for (int i = 0; i < 3; ++i) h.SleepMs(1);  // 44.1 frames each: rounding must not drift
  EXPECT_EQ(h.Audio().size(), 2u * 132);
  h.SleepMs(997);
  EXPECT_EQ(h.Audio().size(), 2u * 44100);
  EXPECT_EQ(h.Audio()[2 * 44099], 44099 % 65536 - (44099 > 32767 ? 65536 : 0));
  h.CloseAudio();
  h.SleepMs(1000);
  EXPECT_EQ(h.Audio().size(), 2u * 44100);

  std::string path = ::testing::TempDir() + "/headless_audio.wav";
  ASSERT_TRUE(h.WriteAudioWav(path));
  std::vector<uint8_t> bytes = velmora_test::ReadWholeFile<std::vector<uint8_t>>(path);
  ASSERT_EQ(bytes.size(), 44u + 44100 * 4);
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "RIFF");
  EXPECT_EQ(std::string(bytes.begin() + 8, bytes.begin() + 16), "WAVEfmt ");
  uint32_t dataSize = bytes[40] | bytes[41] << 8 | bytes[42] << 16 | static_cast<uint32_t>(bytes[43]) << 24;
  EXPECT_EQ(dataSize, 44100u * 4);
  // Second frame: left 1, right -1, little-endian.
  EXPECT_EQ(bytes[48], 1);
  EXPECT_EQ(bytes[50], 0xFF);
  EXPECT_EQ(bytes[51], 0xFF);
  std::remove(path.c_str());
}

TEST(HeadlessAudio, NoDeviceOrInjectedFailure) {
  HeadlessHost h;
  Ramp ramp;
  h.SetAudioAvailable(false);
  EXPECT_FALSE(h.OpenAudio(host::AudioFormat{}, &ramp));
  h.SetAudioAvailable(true);
  h.FailAt("host.OpenAudio");
  EXPECT_FALSE(h.OpenAudio(host::AudioFormat{}, &ramp));
  EXPECT_TRUE(h.OpenAudio(host::AudioFormat{}, &ramp));
}

}  // namespace

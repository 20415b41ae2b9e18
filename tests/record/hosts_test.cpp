// Recording a host and answering from the recording: a program that asks
// the same questions gets the same answers in the same order, its sound
// follows the recorded clock, and a program that leaves the recorded path
// is stopped with the line where it did.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "host/headless/headless_host.h"
#include "host/record/recording_host.h"
#include "host/record/replaying_host.h"
#include "host/record/session.h"

namespace {

using host::record::ParseSession;
using host::record::RecordingHost;
using host::record::ReplayingHost;
using host::record::Session;

// A counting tone: what a mixer would pull.
class Ramp : public host::AudioSource {
 public:
  void Mix(int16_t* out, int frames) override {
    for (int i = 0; i < frames * 2; ++i) out[i] = static_cast<int16_t>(next_++);
  }

 private:
  int next_ = 0;
};

// A small program: a message loop of a few ticks that asks the host what a
// game would, writing every answer down.
std::vector<std::string> Program(host::Host& h, host::AudioSource* sound, int ticks, uint32_t tint = 0) {
  std::vector<std::string> seen;
  auto note = [&](const std::string& s) { seen.push_back(s); };
  int w = 0, ht = 0;
  h.DesktopSize(&w, &ht);
  note("desktop " + std::to_string(w) + "x" + std::to_string(ht));
  note(std::string("window ") + (h.CreateWindow("t", 0, 0, 800, 640) ? "yes" : "no"));
  note("profile " + h.DeviceProfile() + " " + h.ProfileValue("Debug", "Level").value_or("-"));
  note(std::string("silent ") + (h.SilentAudioOutput() ? "yes" : "no"));
  note(std::string("audio ") + (h.OpenAudio(host::AudioFormat{}, sound) ? "yes" : "no"));
  note("calendar " + std::to_string(h.CalendarTime()));
  int fails = 0;
  for (int i = 0; i < 200; ++i) fails += h.ShouldFail("alloc") ? 1 : 0;
  note("alloc fails " + std::to_string(fails));
  uint64_t next = h.NowMs() + 100;
  for (int tick = 0; tick < ticks;) {
    if (!h.WaitEvent(next)) note("idle");
    host::Event e;
    while (h.PollEvent(&e)) {
      note("event " + std::to_string(static_cast<int>(e.type)) + " at " + std::to_string(e.timeMs) + " key " +
           std::to_string(static_cast<int>(e.key)) + " " + std::to_string(e.x) + "," + std::to_string(e.y) +
           (e.repeat ? " repeat" : ""));
    }
    const uint64_t now = h.NowMs();
    if (now < next) continue;
    next += 100;
    ++tick;
    uint8_t keys[host::kKeyCount];
    h.KeyboardState(keys);
    note("tick at " + std::to_string(now) + " left " + std::to_string(keys[static_cast<int>(host::Key::Left)]));
    const uint32_t pixel = static_cast<uint32_t>(now) ^ (tick == ticks / 2 ? tint : 0);
    h.Present(&pixel, 1, 1, 4);
  }
  host::MessageBoxRequest box;
  box.buttons = host::DialogButtons::YesNo;
  box.defaultButton = 1;
  note(std::string("answer ") + (h.MessageBox(box) == host::DialogAnswer::No ? "no" : "other"));
  h.CloseAudio();
  return seen;
}

std::string ReadBack(std::FILE* f) {
  std::rewind(f);
  std::string text;
  char buf[4096];
  for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) text.append(buf, n);
  return text;
}

struct Recorded {
  std::vector<std::string> seen;
  std::vector<int16_t> audio;
  std::string text;
};

Recorded RecordRun(int ticks, bool end) {
  host::HeadlessHost live;
  live.SetDesktopSize(1280, 1024);
  live.SetProfileValue("Debug", "Level", "2");
  live.SetCalendarTime(1234567);
  live.FailAt("alloc", 7);
  live.ScheduleKey(250, host::Key::Left, true);
  live.ScheduleKey(1200, host::Key::Left, false);
  live.ScheduleDoubleClick(1300, 10, 20);
  std::FILE* f = std::tmpfile();
  Recorded r;
  {
    RecordingHost recorder(live, f, {"hosts test"});
    Ramp ramp;
    r.seen = Program(recorder, &ramp, ticks);
    if (end) recorder.End(0);  // else as a crash leaves it
  }
  r.audio = live.Audio();
  r.text = ReadBack(f);
  std::fclose(f);
  return r;
}

// A recording answered back to a program on a quiet headless host (nothing
// scheduled: everything must come from the file). A stop throws its reason.
struct Replay {
  Session session;
  host::HeadlessHost quiet;
  std::unique_ptr<ReplayingHost> host;
  bool ranOut = false;

  explicit Replay(const std::string& text) {
    std::string error;
    EXPECT_TRUE(ParseSession(text, &session, &error)) << error;
    host = std::make_unique<ReplayingHost>(quiet, session);
    host->OnClock([this](uint64_t ms) { quiet.AdvanceTo(ms); });
    host->OnStop([this](const std::string& why, bool out) {
      ranOut = out;
      throw std::runtime_error(why);
    });
  }
};

// Why `run` was stopped; empty when it was not.
std::string StopReason(const std::function<void()>& run) {
  try {
    run();
  } catch (const std::runtime_error& e) {
    return e.what();
  }
  return "";
}

TEST(RecordedHost, ReplayGivesTheSameAnswersAndSound) {
  const Recorded live = RecordRun(20, true);
  Replay replay(live.text);
  Ramp ramp;
  const std::vector<std::string> seen = Program(*replay.host, &ramp, 20);
  EXPECT_EQ(seen, live.seen);
  EXPECT_EQ(replay.host->Finish(0), "");
  EXPECT_EQ(replay.quiet.Audio(), live.audio);
  EXPECT_EQ(replay.quiet.FrameCount(), 20u);
  // The recorded run really had input, a failure and a repeat to give back.
  std::string all;
  for (const std::string& line : seen) all += line + "\n";
  EXPECT_NE(all.find("alloc fails 1"), std::string::npos);
  EXPECT_NE(all.find(" repeat"), std::string::npos);
  EXPECT_NE(all.find("left 128"), std::string::npos);
  EXPECT_NE(all.find("desktop 1280x1024"), std::string::npos);
  EXPECT_NE(all.find("answer no"), std::string::npos);
}

TEST(RecordedHost, LeavingTheRecordedPathNamesTheLine) {
  Replay replay(RecordRun(20, true).text);
  // The desktop first, then not the window the recording expects.
  int w = 0, h = 0;
  replay.host->DesktopSize(&w, &h);
  const std::string why = StopReason([&] {
    uint8_t keys[host::kKeyCount];
    replay.host->KeyboardState(keys);
  });
  EXPECT_FALSE(replay.ranOut);
  // Line 1 is the version, 2 the comment, 3 the desktop, 4 the window.
  EXPECT_EQ(why, "line 4: the program asks for a keyboard state read where the recording has creating the window "
                 "(a different build, or a run that went another way)");
  EXPECT_EQ(replay.host->Finish(0).rfind("line 5: the program ended (0) where the recording has", 0), 0u);
}

TEST(RecordedHost, ARunWithoutItsEndStopsWhereTheFileDoes) {
  const Recorded live = RecordRun(20, false);
  // Killed half-way: the file holds whole lines up to some point.
  Replay replay(live.text.substr(0, live.text.rfind('\n', live.text.size() / 2) + 1));
  EXPECT_FALSE(replay.session.exitCode);
  Ramp ramp;
  const std::string why = StopReason([&] { Program(*replay.host, &ramp, 20); });
  EXPECT_TRUE(replay.ranOut) << why;
  EXPECT_NE(why.find("the recording stops here, before the program ended"), std::string::npos) << why;
}

// Same questions, one different picture: the replay notices at that frame.
TEST(RecordedHost, AFrameUnlikeTheRecordedOneStopsTheReplay) {
  Replay replay(RecordRun(10, true).text);
  Ramp ramp;
  const std::string why = StopReason([&] { Program(*replay.host, &ramp, 10, 0x00010000); });
  EXPECT_NE(why.find(": frame 5 differs from the recorded one"), std::string::npos) << why;
  EXPECT_EQ(why.rfind("line ", 0), 0u) << why;
}

TEST(RecordedHost, DifferentExitCodeIsReported) {
  Replay replay(RecordRun(3, true).text);
  Ramp ramp;
  Program(*replay.host, &ramp, 3);
  EXPECT_NE(replay.host->Finish(1).find("the program ended with 1, the recording with 0"), std::string::npos);
}

}  // namespace

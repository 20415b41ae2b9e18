// velmora-replay's inputs and outputs: the script language, the command
// line, and the JSON it writes.
#include <gtest/gtest.h>

#include "tools/replay/replay_options.h"
#include "tools/replay/replay_script.h"
#include "tools/replay/replay_trace.h"

namespace {

using replay::EventKind;

TEST(ReplayScript, ReadsEveryEventKindWithCommentsAndBlankLines) {
  std::vector<replay::ScriptEvent> events;
  std::string error;
  ASSERT_TRUE(replay::ParseReplayScript("# a run\n\n"
                                        "at 600 key space down   # start\n"
                                        "at 650 key space up\n"
                                        "at 900 key left down\r\n"
                                        "at 1000 click 130 40\n"
                                        "at 1200 dblclick 0 65535\n"
                                        "at 3000 key escape down\n"
                                        "at 4000 close",
                                        &events, &error))
      << error;
  ASSERT_EQ(events.size(), 7u);
  EXPECT_EQ(events[0].kind, EventKind::Key);
  EXPECT_EQ(events[0].key, host::Key::Space);
  EXPECT_TRUE(events[0].down);
  EXPECT_FALSE(events[1].down);
  EXPECT_EQ(events[2].key, host::Key::Left);
  EXPECT_EQ(events[3].kind, EventKind::Click);
  EXPECT_EQ(events[3].ms, 1000u);
  EXPECT_EQ(events[3].x, 130);
  EXPECT_EQ(events[3].y, 40);
  EXPECT_EQ(events[4].kind, EventKind::DoubleClick);
  EXPECT_EQ(events[4].y, 65535);
  EXPECT_EQ(events[5].key, host::Key::Escape);
  EXPECT_EQ(events[6].kind, EventKind::Close);
  EXPECT_EQ(events[6].line, 9);
}

TEST(ReplayScript, RejectsMalformedLinesNamingTheLine) {
  const char* bad[] = {
      "at 600 key tab down",   "at 600 key space sideways", "at -5 close",       "at 5x close",
      "at 600 click 10",       "at 600 click 10 70000",     "at 600 close now",  "600 close",
      "at 600 jump",           "at 99999999999999999999 close",
  };
  for (const char* line : bad) {
    std::vector<replay::ScriptEvent> events;
    std::string error;
    EXPECT_FALSE(replay::ParseReplayScript(std::string("# first\n") + line + "\n", &events, &error)) << line;
    EXPECT_EQ(error.rfind("line 2:", 0), 0u) << line << " -> " << error;
  }
}

TEST(ReplayOptions, ParsesEveryOptionAndItsDefaults) {
  replay::ReplayOptions o;
  std::string error;
  ASSERT_TRUE(replay::ParseReplayOptions({"--out", "d", "s.txt"}, &o, &error)) << error;
  EXPECT_EQ(o.calendarTime, replay::kDefaultCalendarTime);
  EXPECT_EQ(o.frames, replay::FrameChoice::All);
  EXPECT_FALSE(o.untilMs.has_value());
  EXPECT_FALSE(o.cwd.has_value());

  ASSERT_TRUE(replay::ParseReplayOptions({"--time", "1800000000", "--until", "9000", "--profile", "pow2", "--fault",
                                          "IDirect3D9.CreateDevice.HAL", "--fault", "alloc:7", "--frames", "1,5,12",
                                          "--cwd", "/tmp", "--out", "d", "s.txt"},
                                         &o, &error))
      << error;
  EXPECT_EQ(o.calendarTime, 1800000000);
  EXPECT_EQ(o.untilMs.value_or(0), 9000u);
  EXPECT_EQ(o.profile.value_or(""), "pow2");
  ASSERT_EQ(o.faults.size(), 2u);
  EXPECT_EQ(o.faults[0], (host::Fault{"IDirect3D9.CreateDevice.HAL", 1}));
  EXPECT_EQ(o.faults[1], (host::Fault{"alloc", 7}));
  EXPECT_EQ(o.frames, replay::FrameChoice::Listed);
  EXPECT_EQ(o.frameTicks, (std::set<uint64_t>{1, 5, 12}));
  EXPECT_EQ(o.cwd.value_or(""), "/tmp");
}

TEST(ReplayOptions, RejectsBadCommandLines) {
  const std::vector<std::vector<std::string>> bad = {
      {"s.txt"},                              // no --out
      {"--out", "d"},                         // no script
      {"--out", "d", "a", "b"},               // two scripts
      {"--out", "d", "--until", "soon", "s"}, {"--out", "d", "--fault", "alloc:0", "s"},
      {"--out", "d", "--fault", ":3", "s"},   {"--out", "d", "--frames", "1,,2", "s"},
      {"--out", "d", "--profile", "../pow2", "s"}, {"--out", "d", "--time", "-5", "s"},
      {"--out", "d", "--color", "s"},         {"--out"},
  };
  for (const auto& args : bad) {
    replay::ReplayOptions o;
    std::string error;
    EXPECT_FALSE(replay::ParseReplayOptions(args, &o, &error));
    EXPECT_FALSE(error.empty());
  }
  replay::ReplayOptions o;
  std::string error;
  EXPECT_TRUE(replay::ParseReplayOptions({"--help"}, &o, &error));
  EXPECT_TRUE(o.help);
}

TEST(ReplayTrace, TickLineAndDialogLineAreTheDocumentedJson) {
  replay::TickRecord r;
  r.tick = 3;
  r.ms = 1500;
  r.titleShown = 0;
  r.walker[0] = 1, r.walker[1] = 0;
  r.partner[0] = 7, r.partner[1] = 5;
  r.stranger[1] = 5;
  r.gems[0][0] = 4, r.gems[0][1] = 4, r.gems[0][2] = 1;
  r.score = 10;
  r.cues = {{"start", "stop"}, {"bgm", "loop"}};
  const std::string line = replay::FormatTickLine(r);
  EXPECT_EQ(line.rfind("{\"tick\": 3, \"ms\": 1500, \"titleShown\": 0, \"walker\": [1, 0], \"partner\": [7, 5], "
                       "\"stranger\": [0, 5], \"gems\": [[4, 4, 1], [0, 0, 0], ",
                       0),
            0u)
      << line;
  EXPECT_NE(line.find("\"score\": 10, \"clearTicks\": 0, \"missTicks\": 0, "
                      "\"cues\": [[\"start\", \"stop\"], [\"bgm\", \"loop\"]]}"),
            std::string::npos)
      << line;

  EXPECT_EQ(replay::FormatDialogLine("a\"b\\\n", "\x82\xcc", std::nullopt, std::nullopt, 0),
            "{\"text\": \"a\\\"b\\\\\\n\", \"textHex\": \"82cc\", \"caption\": null, \"captionHex\": null, "
            "\"flags\": 0}");
  EXPECT_EQ(replay::FormatDialogLine("", "", std::string(""), std::string(""), 16),
            "{\"text\": \"\", \"textHex\": \"\", \"caption\": \"\", \"captionHex\": \"\", \"flags\": 16}");
  EXPECT_EQ(replay::JsonString(std::string("\x01\t", 2)), "\"\\u0001\\t\"");
}

}  // namespace

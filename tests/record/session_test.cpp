// The session format: what the writer puts down reads back as the same
// answers in the same order, repeated stretches fold and unfold exactly,
// and every damaged file is refused with the line at fault.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "host/record/session.h"

namespace {

using host::record::Kind;
using host::record::ParseSession;
using host::record::Record;
using host::record::Session;
using host::record::SessionCursor;
using host::record::SessionWriter;

// Runs `write` against a writer on a temporary file; the file's text.
template <typename F>
std::string Written(F write) {
  std::FILE* f = std::tmpfile();
  SessionWriter w(f);
  w.Begin({"a test"});
  write(w);
  w.Flush(true);
  std::rewind(f);
  std::string text;
  char buf[4096];
  for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) text.append(buf, n);
  std::fclose(f);
  return text;
}

std::vector<Record> ReadAll(const std::string& text, Session* session) {
  std::string error;
  EXPECT_TRUE(ParseSession(text, session, &error)) << error << "\n" << text;
  SessionCursor cursor(*session);
  std::vector<Record> out;
  Record r;
  while (cursor.Next(&r, &error)) out.push_back(r);
  EXPECT_EQ(error, "");
  return out;
}

std::string ParseError(const std::string& text) {
  Session s;
  std::string error;
  EXPECT_FALSE(ParseSession(text, &s, &error)) << text;
  return error;
}

TEST(SessionFormat, EveryAnswerReadsBackAsWritten) {
  uint8_t keys[host::kKeyCount] = {};
  keys[static_cast<int>(host::Key::Left)] = 0x80;
  keys[200] = 1;
  host::Event down;
  down.type = host::EventType::KeyDown;
  down.timeMs = 1490;  // before the clock read that preceded the poll
  down.key = host::Key::Left;
  down.mods = host::kModNumLock | host::kModShift;
  down.repeat = true;
  host::Event click;
  click.type = host::EventType::MouseDown;
  click.timeMs = 1700;
  click.x = -5;
  click.y = 639;
  const std::string text = Written([&](SessionWriter& w) {
    w.Window(true);
    w.Desktop(1920, 1080);
    w.DeviceProfile("no hal");
    w.Profile("Debug", "Level", std::string("3 # high"));
    w.Profile("Debug", "Missing", std::nullopt);
    w.Profile("S", "Empty", std::string());
    w.Calendar(-1);
    w.Silent(false);
    w.Audio(true);
    w.BufferFrames(2048);
    w.Clock(1500);
    w.Poll(&down);
    w.Clock(1700);
    w.Poll(&click);
    w.Poll(nullptr);
    w.Keys(keys);
    w.Wait(true);
    w.Fault("IDirect3DDevice9.Present", 3);
    w.Dialog(host::DialogAnswer::Retry);
    w.Frame(0xfedcba9876543210ull);
    w.End(-1);
  });
  Session s;
  const std::vector<Record> r = ReadAll(text, &s);
  ASSERT_EQ(r.size(), 20u);
  EXPECT_EQ(r[0].kind, Kind::Window);
  EXPECT_EQ(r[1].value, 1920);
  EXPECT_EQ(r[1].value2, 1080);
  EXPECT_EQ(r[2].name, "no hal");
  EXPECT_EQ(r[3].text, std::optional<std::string>("3 # high"));
  EXPECT_EQ(r[4].text, std::nullopt);
  EXPECT_EQ(r[5].text, std::optional<std::string>(""));
  EXPECT_EQ(r[6].value, -1);
  EXPECT_EQ(r[9].value, 2048);
  EXPECT_EQ(r[10].value, 1500);
  ASSERT_TRUE(r[11].event);
  EXPECT_EQ(r[11].event->timeMs, 1490u);
  EXPECT_EQ(r[11].event->key, host::Key::Left);
  EXPECT_EQ(r[11].event->mods, host::kModNumLock | host::kModShift);
  EXPECT_TRUE(r[11].event->repeat);
  ASSERT_TRUE(r[13].event);
  EXPECT_EQ(r[13].event->type, host::EventType::MouseDown);
  EXPECT_EQ(r[13].event->x, -5);
  EXPECT_EQ(r[13].event->y, 639);
  EXPECT_FALSE(r[14].event);
  const std::vector<std::pair<uint8_t, uint8_t>> held = {{static_cast<uint8_t>(host::Key::Left), 0x80}, {200, 1}};
  EXPECT_EQ(r[15].keys, held);
  EXPECT_EQ(r[16].value, 1);
  EXPECT_EQ(r[17].answer, host::DialogAnswer::Retry);
  EXPECT_EQ(r[18].hash, 0xfedcba9876543210ull);
  EXPECT_EQ(r[19].kind, Kind::End);
  EXPECT_EQ(s.exitCode, -1);
  EXPECT_EQ(s.faults["IDirect3DDevice9.Present"], std::set<int>{3});
  EXPECT_EQ(s.comments, std::vector<std::string>{"a test"});
}

// Idle waiting: the same few answers again and again, with a change in the
// middle and a flush cutting a stretch; the unfolded stream must be the
// original one, and much shorter on disk.
TEST(SessionFormat, RepeatedStretchesFoldAndUnfoldExactly) {
  std::vector<int> expectedClock;
  const std::string text = Written([&](SessionWriter& w) {
    uint64_t now = 0;
    for (int i = 0; i < 1000; ++i) {
      now += 16;
      w.Clock(now);
      expectedClock.push_back(static_cast<int>(now));
      w.Wait(false);
      w.Poll(nullptr);
      if (i == 500) w.Calendar(42);  // breaks the stretch once
      if (i == 700) w.Flush();       // more than a second later: the stretch is cut
    }
  });
  EXPECT_LT(text.size(), 400u) << text;
  Session s;
  const std::vector<Record> r = ReadAll(text, &s);
  ASSERT_EQ(r.size(), 3001u);
  std::vector<int> clock;
  for (const Record& rec : r) {
    if (rec.kind == Kind::Clock) clock.push_back(static_cast<int>(rec.value));
  }
  EXPECT_EQ(clock, expectedClock);
  EXPECT_EQ(r[3 * 501].kind, Kind::Calendar);
  EXPECT_EQ(r[3 * 501].value, 42);
}

TEST(SessionFormat, ShortRepeatsStayLiteral) {
  const std::string text = Written([](SessionWriter& w) {
    w.Clock(5);
    w.Clock(5);
    w.Clock(5);
    w.Poll(nullptr);
  });
  // "t 0" twice is shorter than a repeat line.
  EXPECT_NE(text.find("t 5\nt 0\nt 0\np\n"), std::string::npos) << text;
}

TEST(SessionFormat, DamagedFilesNameTheirLine) {
  const std::string head = "velmora-session 1\n";
  EXPECT_EQ(ParseError(""), "line 1: the file is empty");
  EXPECT_EQ(ParseError("\x89PNG\r\n"), "line 1: not a recorded session (expected \"velmora-session 1\")");
  EXPECT_EQ(ParseError("velmora-session 2\nt 5\n"),
            "line 1: format version 2 is newer than this program reads (1); replay it with a newer velmora");
  EXPECT_EQ(ParseError(head + "t 5\nzz 1\n"), "line 3: unknown record \"zz\"");
  EXPECT_EQ(ParseError(head + "t five\n"), "line 2: expected \"t DELTA\"");
  EXPECT_EQ(ParseError(head + "t 99999999999999999999\n"), "line 2: expected \"t DELTA\"");
  EXPECT_EQ(ParseError(head + "k 80 79\n"), "line 2: expected \"k [KEY[=VALUE]]...\"");
  EXPECT_EQ(ParseError(head + "k 256\n"), "line 2: expected \"k [KEY[=VALUE]]...\"");
  EXPECT_EQ(ParseError(head + "e 0 kd 79\n"), "line 2: expected \"e DELTA TYPE ...\"");
  EXPECT_EQ(ParseError(head + "e 0 mm 1 2 r\n"), "line 2: expected \"e DELTA TYPE ...\"");
  EXPECT_EQ(ParseError(head + "m maybe\n"), "line 2: expected \"m ANSWER\"");
  EXPECT_EQ(ParseError(head + "h 0123456789ABCDEF\n"), "line 2: expected \"h HASH (16 hex digits)\"");
  EXPECT_EQ(ParseError(head + "h 123\n"), "line 2: expected \"h HASH (16 hex digits)\"");
  EXPECT_EQ(ParseError(head + "i a b c\n"), "line 2: expected \"i SECTION KEY =VALUE|-\"");
  EXPECT_EQ(ParseError(head + "v %G1\n"), "line 2: expected \"v NAME\"");
  EXPECT_EQ(ParseError(head + "f alloc 0\n"), "line 2: expected \"f CALL N\"");
  EXPECT_EQ(ParseError(head + "t 1\nr 2 5\n"), "line 3: repeats 2 records, but only 1 come before it");
  EXPECT_EQ(ParseError(head + "t 1\nr 9 1\n"), "line 3: expected \"r PERIOD COUNT\" (PERIOD 1 to 8)");
  EXPECT_EQ(ParseError(head + "end 0\nt 1\n"), "line 3: nothing may follow \"end\"");
  EXPECT_EQ(ParseError(head + "t 1\n" + std::string(9000, 'x') + "\n"), "line 3: line too long");
}

// A writer stopped mid-line (a crash, a full disk) leaves a usable file: the
// cut line is left out and said so, and the run has no end.
TEST(SessionFormat, CutLastLineIsLeftOut) {
  Session s;
  const std::vector<Record> r = ReadAll("velmora-session 1\nt 16\nw 0\nt 1", &s);
  ASSERT_EQ(r.size(), 2u);
  EXPECT_EQ(s.note, "line 4 is cut short and was left out");
  EXPECT_FALSE(s.exitCode);
}

TEST(SessionFormat, ClockOutsideItsRangeStopsTheCursor) {
  for (const char* text : {"velmora-session 1\nt 5\nt -6\n", "velmora-session 1\nt 31536000000\nr 1 2\n"}) {
    Session s;
    std::string error;
    ASSERT_TRUE(ParseSession(text, &s, &error)) << error;
    SessionCursor cursor(s);
    Record r;
    while (cursor.Next(&r, &error)) {
    }
    EXPECT_EQ(error.rfind("line 3: the clock", 0), 0u) << error;
  }
}

TEST(SessionFormat, TokensEscapeWhatWouldBreakALine) {
  const std::string raw("a b\n%#\x01\xff", 8);
  const std::string token = host::record::EscapeToken(raw);
  EXPECT_EQ(token, "a%20b%0A%25%23%01%FF");
  std::string back;
  ASSERT_TRUE(host::record::UnescapeToken(token, &back));
  EXPECT_EQ(back, raw);
  ASSERT_TRUE(host::record::UnescapeToken(host::record::EscapeToken(""), &back));
  EXPECT_EQ(back, "");
  for (const char* bad : {"", "%4", "%zz", "a b", "%0"}) EXPECT_FALSE(host::record::UnescapeToken(bad, &back)) << bad;
}

}  // namespace

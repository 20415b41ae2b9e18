// The window procedure in the running program: space and double click start
// the game, clicks move the walker between ticks, key repeats of space
// change nothing after the first, the title card's moves happen unseen.
#include <gtest/gtest.h>

#include "game/cues.h"
#include "game/game_state.h"
#include "tests/app/program_run.h"

namespace {

std::vector<std::string> cueLog;  // filled in the child

void LogCue(Cue cue, CueOperation operation) {
  cueLog.push_back(std::string(CueName(cue)) + ":" + CueOperationName(operation));
}

std::string Report(host::HeadlessHost&) {
  std::string text = "title=" + std::to_string(titleShown) + " walker=" + std::to_string(int(walkerX)) + "," +
                     std::to_string(int(walkerY)) + " partner=" + std::to_string(int(partnerX)) + "," +
                     std::to_string(int(partnerY)) + " cues=";
  for (const std::string& c : cueLog) text += c + ";";
  return text;
}

ProgramSetup Scenario(std::function<void(host::HeadlessHost&)> script) {
  ProgramSetup s;
  s.configure = [script](host::HeadlessHost& h) {
    cueObserver = LogCue;
    script(h);
  };
  s.examine = Report;
  return s;
}

TEST(WindowProc, SpaceStartsTheGameOnceAndRepeatsChangeNothing) {
  const ProgramResult r = RunProgram(Scenario([](host::HeadlessHost& h) {
    h.SetKeyRepeat(100, 100);
    h.ScheduleKey(600, host::Key::Space, true);
    h.ScheduleKey(850, host::Key::Space, false);  // repeats at 700 and 800
    h.ScheduleClose(900);
  }));
  ASSERT_TRUE(r.finished);
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.report,
            "title=0 walker=0,0 partner=8,5 cues=start:loop;start:stop;bgm:loop;start:stop;bgm:loop;start:stop;"
            "bgm:loop;");
}

TEST(WindowProc, DoubleClickMovesWithItsFirstPressThenStarts) {
  const ProgramResult r = RunProgram(Scenario([](host::HeadlessHost& h) {
    h.ScheduleDoubleClick(600, 40, 40);  // on the walker in row 0: up, wrapping to row 5
    h.ScheduleClose(900);
  }));
  ASSERT_TRUE(r.finished);
  EXPECT_EQ(r.report, "title=0 walker=0,5 partner=8,5 cues=start:loop;start:stop;bgm:loop;");
}

TEST(WindowProc, ClicksMoveBetweenTicksAndOtherClicksDoNothing) {
  const ProgramResult r = RunProgram(Scenario([](host::HeadlessHost& h) {
    h.ScheduleClick(600, 130, 40);   // right of the walker in its row
    h.ScheduleClick(650, 300, 300);  // neither its row nor its column
    h.ScheduleClick(700, 100, 620);  // its column below y 600
    h.ScheduleClose(900);
  }));
  ASSERT_TRUE(r.finished);
  EXPECT_EQ(r.report, "title=1 walker=1,0 partner=7,5 cues=start:loop;");
}

TEST(WindowProc, OtherKeysDoNothingAndArrowMessagesDoNotMove) {
  const ProgramResult r = RunProgram(Scenario([](host::HeadlessHost& h) {
    // Key messages only reach the window; the arrows act through the
    // keyboard poll of a tick, and no tick runs while they are down.
    h.ScheduleKey(600, host::Key::Return, true);
    h.ScheduleKey(610, host::Key::Return, false);
    h.ScheduleKey(620, host::Key::Left, true);
    h.ScheduleKey(630, host::Key::Left, false);
    h.ScheduleClose(900);
  }));
  ASSERT_TRUE(r.finished);
  EXPECT_EQ(r.report, "title=1 walker=0,0 partner=8,5 cues=start:loop;");
}

TEST(WindowProc, HeldArrowMovesOncePerTickEvenOnTheTitleCard) {
  const ProgramResult r = RunProgram(Scenario([](host::HeadlessHost& h) {
    h.ScheduleKey(100, host::Key::Down, true);  // ticks at 500, 1000, 1500
    h.ScheduleClose(1700);
  }));
  ASSERT_TRUE(r.finished);
  EXPECT_EQ(r.report, "title=1 walker=0,3 partner=8,2 cues=start:loop;");
}

}  // namespace

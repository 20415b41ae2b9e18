// Two hours of virtual play with seeded random input: the game's invariants
// hold after every tick, the program ends cleanly, and (under the sanitizer
// build) nothing leaks. WinMain runs once in this process.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>

#include "entry/run_program.h"
#include "game/game_state.h"
#include "game/game_tick.h"
#include "host/headless/headless_host.h"

namespace {

constexpr uint64_t kTwoHoursMs = 2ull * 60 * 60 * 1000;

struct SoakStats {
  uint64_t ticks = 0;
  uint64_t playTicks = 0;
  int bestScore = 0;
  int gemsTaken = 0;
  std::vector<std::string> violations;
};
SoakStats stats;

bool Whole(float v) { return std::isfinite(v) && v == std::trunc(v); }

bool OnBlock(float x, float y) {
  for (int i = 0; i < kBlockCount; ++i) {
    if (blockX[i] == x && blockY[i] == y) return true;
  }
  return false;
}

void Check(bool ok, const char* what) {
  if (!ok && stats.violations.size() < 20) {
    stats.violations.push_back("tick " + std::to_string(stats.ticks) + ": " + what);
  }
}

void CheckFigure(float x, float y, const char* name) {
  Check(Whole(x) && Whole(y), name);
  Check(x >= 0 && x <= 8 && y >= 0 && y <= 5, name);
  Check(!OnBlock(x, y), name);
}

void AfterTick(bool ended) {
  if (!ended) return;
  ++stats.ticks;
  if (titleShown == 0) ++stats.playTicks;
  stats.bestScore = std::max(stats.bestScore, score);
  int taken = 0;
  for (int i = 0; i < kGemCount; ++i) {
    Check(gemX[i] >= 3 && gemX[i] <= 5 && gemY[i] >= 1 && gemY[i] <= 4 && Whole(gemX[i]) && Whole(gemY[i]),
          "gem cell");
    Check(gemTaken[i] == 0 || gemTaken[i] == 1, "gem flag");
    taken += gemTaken[i];
  }
  stats.gemsTaken = std::max(stats.gemsTaken, taken);
  for (int i = 0; i < kBlockCount; ++i) {
    const float x = blockX[i];
    Check(i < 5 ? (x == 1 || x == 2) : (x == 6 || x == 7), "block column");
    Check(blockY[i] >= 0 && blockY[i] <= 5 && Whole(blockY[i]), "block row");
  }
  CheckFigure(walkerX, walkerY, "walker");
  CheckFigure(partnerX, partnerY, "partner");
  CheckFigure(strangerX, strangerY, "stranger");
  Check(score >= 0 && score % 10 == 0, "score");
  Check(titleShown == 0 || titleShown == 1, "title flag");
  Check(clearTicks >= 0 && clearTicks <= 2, "cleared count");
  Check(missTicks >= 0 && missTicks <= 3, "missed count");
}

// Arrow keys held for a while, clicks anywhere, now and then space or a
// double click to start a game after a game over. Written a few seconds
// ahead of the clock as the run goes, so the host's schedule stays short.
class RandomPlayer {
 public:
  explicit RandomPlayer(uint32_t seed) : random_(seed) {}

  void ScriptUpTo(host::HeadlessHost& h, uint64_t until) {
    const struct {
      int vk, scancode;
    } arrows[] = {{VK_LEFT, 0xCB}, {VK_RIGHT, 0xCD}, {VK_UP, 0xC8}, {VK_DOWN, 0xD0}};
    until = std::min(until, kTwoHoursMs - 5000);
    while (next_ < until) {
      const uint64_t t = next_;
      const int kind = static_cast<int>(random_() % 100);
      if (kind < 45) {
        const auto& k = arrows[random_() % 4];
        const uint64_t hold = 100 + random_() % 1500;
        h.ScheduleKey(t, k.vk, k.scancode, true);
        h.ScheduleKey(t + hold, k.vk, k.scancode, false);
      } else if (kind < 90) {
        h.ScheduleClick(t, static_cast<int>(random_() % 800), static_cast<int>(random_() % 640));
      } else if (kind < 97) {
        h.ScheduleKey(t, VK_SPACE, 0x39, true);
        h.ScheduleKey(t + 60, VK_SPACE, 0x39, false);
      } else {
        h.ScheduleDoubleClick(t, static_cast<int>(random_() % 800), static_cast<int>(random_() % 640));
      }
      next_ += 150 + random_() % 900;
    }
  }

 private:
  std::mt19937 random_;
  uint64_t next_ = 200;
};

host::HeadlessHost* soakHost = nullptr;
RandomPlayer* player = nullptr;

void AfterTickScripting(bool ended) {
  AfterTick(ended);
  if (ended) player->ScriptUpTo(*soakHost, soakHost->NowMs() + 10000);
}

TEST(Soak, TwoHoursOfRandomPlayKeepEveryInvariant) {
  host::HeadlessHost h;
  h.KeepFrames(false);
  // No audio output: the cues still play and stop, into the silent sink,
  // without two hours of mixing.
  h.SetAudioAvailable(false);
  h.SetCalendarTime(1765000000);
  RandomPlayer random(20261208);
  random.ScriptUpTo(h, 10000);
  h.ScheduleClose(kTwoHoursMs);
  soakHost = &h;
  player = &random;
  tickObserver = AfterTickScripting;
  const int code = entry::RunProgram(h, "");
  tickObserver = nullptr;

  EXPECT_EQ(code, 0);
  EXPECT_GE(h.NowMs(), kTwoHoursMs);
  for (const std::string& v : stats.violations) ADD_FAILURE() << v;
  // Two ticks a second, less the five-second pauses of the sequences.
  EXPECT_GT(stats.ticks, 10000u);
  EXPECT_GT(stats.playTicks, stats.ticks / 4) << "the random input did play";
  EXPECT_GT(stats.bestScore, 0);
  std::printf("soak: %llu ticks, %llu in play, best score %d, most gems in a round %d, %llu ms virtual\n",
              static_cast<unsigned long long>(stats.ticks), static_cast<unsigned long long>(stats.playTicks),
              stats.bestScore, stats.gemsTaken, static_cast<unsigned long long>(h.NowMs()));
}

}  // namespace

// The draw list as it lands on presented frames of the whole program: the
// clear colour where nothing is drawn, the title card, the board's cells,
// the walker over the partner, and the score glyphs. The scripted round is
// the one dealt at calendar time 1700000000; ten arrow presses bring the
// walker and the partner together on the gem at column 4, row 4.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>

#include "game/game_state.h"
#include "tests/app/program_run.h"

namespace {

// Every time below counts in ticks of the game timer, so a new period keeps
// the same presses between the same ticks.
constexpr uint64_t kTick = kGameTimerPeriodMs;

struct Frame {
  std::vector<uint32_t> pixels;  // 800 x 640, X8R8G8B8
  uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * 800 + x] & 0xFFFFFF; }
};

// Identical pixels in two 88 x 88 (or w x h) regions.
bool SameRegion(const Frame& a, int ax, int ay, const Frame& b, int bx, int by, int w = 88, int h = 88) {
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      if (a.At(ax + x, ay + y) != b.At(bx + x, by + y)) return false;
    }
  }
  return true;
}

bool AllWhite(const Frame& f, int x0, int y0, int x1, int y1) {
  for (int y = y0; y < y1; ++y) {
    for (int x = x0; x < x1; ++x) {
      if (f.At(x, y) != 0xFFFFFF) return false;
    }
  }
  return true;
}

class FramesTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ProgramSetup s;
    s.configure = [](host::HeadlessHost& h) {
      h.KeepFrames(true);
      h.SetCalendarTime(1700000000);
      h.ScheduleKey(kTick + 100, host::Key::Space, true);
      h.ScheduleKey(kTick + 150, host::Key::Space, false);
      using K = host::Key;
      const K keys[] = {K::Right, K::Down, K::Right, K::Right, K::Right, K::Up, K::Up, K::Up, K::Up, K::Down};
      uint64_t t = 2 * kTick;
      for (const auto& k : keys) {  // held across exactly one tick each
        h.ScheduleKey(t - 100, k, true);
        h.ScheduleKey(t + 100, k, false);
        t += kTick;
      }
      h.ScheduleClose(12 * kTick + 200);
    };
    s.examine = [](host::HeadlessHost& h) {
      std::string bytes;
      for (const auto& f : h.Frames()) {
        if (f.width != 800 || f.height != 640) return std::string();
        bytes.append(reinterpret_cast<const char*>(f.pixels.data()), f.pixels.size() * 4);
      }
      return bytes;
    };
    const ProgramResult r = RunProgram(s);
    const size_t frameBytes = 800 * 640 * 4;
    for (size_t at = 0; at + frameBytes <= r.report.size(); at += frameBytes) {
      Frame f;
      f.pixels.resize(800 * 640);
      std::memcpy(f.pixels.data(), r.report.data() + at, frameBytes);
      frames.push_back(std::move(f));
    }
  }
  // Frame of tick n (1-based): ticks every period from the first on.
  static const Frame& Tick(int n) { return frames.at(static_cast<size_t>(n - 1)); }
  static std::vector<Frame> frames;
};
std::vector<Frame> FramesTest::frames;

TEST_F(FramesTest, TwelveTicksPresented) { ASSERT_EQ(frames.size(), 12u); }

TEST_F(FramesTest, TitleCardCoversItsAreaAndTheRestKeepsTheClearColour) {
  ASSERT_GE(frames.size(), 1u);
  EXPECT_TRUE(AllWhite(Tick(1), 792, 0, 800, 640)) << "right of the 792-pixel title card";
  EXPECT_FALSE(AllWhite(Tick(1), 0, 0, 792, 640));
}

TEST_F(FramesTest, PlayFrameLayout) {
  ASSERT_GE(frames.size(), 12u);
  // A frame shows the positions the tick began with: the key held across
  // tick 2 moved the walker to (1,0) after tick 2's scene.
  const Frame& f = Tick(3);
  EXPECT_TRUE(AllWhite(f, 792, 0, 800, 640));
  EXPECT_TRUE(AllWhite(f, 0, 616, 800, 640)) << "below the score row";
  // Floor cells look alike wherever nothing else is drawn (column 8 never
  // holds a block or a gem).
  EXPECT_TRUE(SameRegion(f, 704, 0, f, 704, 264));
  // A block (blocks 2 and 3 share cell (2,0)) and the walker differ from the floor.
  EXPECT_FALSE(SameRegion(f, 176, 0, f, 704, 0));
  EXPECT_FALSE(SameRegion(f, 88, 0, f, 704, 0));
  // The walker's picture moves with it: tick 4 shows it at (1,1).
  EXPECT_TRUE(SameRegion(f, 88, 0, Tick(4), 88, 88));
  EXPECT_TRUE(SameRegion(Tick(4), 88, 0, f, 704, 0)) << "the cell it left shows the floor again";
  EXPECT_TRUE(SameRegion(Tick(2), 0, 0, f, 88, 0)) << "tick 2 still showed it on its start cell";
}

TEST_F(FramesTest, WalkerIsDrawnOverThePartnerAndTheScoreShowsTheGem) {
  ASSERT_GE(frames.size(), 12u);
  // Tick 12: both on (4,4); the gem was taken in this tick and is still drawn
  // beneath them, the score already shows 0010.
  const Frame& f = Tick(12);
  EXPECT_TRUE(SameRegion(f, 352, 352, Tick(3), 88, 0)) << "only the walker is seen on the shared cell";
  EXPECT_TRUE(SameRegion(f, 440, 528, f, 528, 528)) << "thousands and hundreds both 0";
  EXPECT_TRUE(SameRegion(f, 440, 528, f, 704, 528)) << "the units glyph is 0";
  EXPECT_FALSE(SameRegion(f, 616, 528, f, 704, 528)) << "the tens glyph is 1";
  EXPECT_TRUE(SameRegion(Tick(11), 616, 528, Tick(11), 704, 528)) << "0000 before the pickup";
  // Glyphs do not depend on the frame: the score label is the same in both.
  EXPECT_TRUE(SameRegion(f, 0, 528, Tick(3), 0, 528, 440, 88));
}

}  // namespace

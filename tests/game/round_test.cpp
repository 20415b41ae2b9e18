// Dealing a round: the generator, the 30 draws in their order, the ranges,
// the start cells, what a round keeps, and identical rounds within a second.
#include <algorithm>
#include <ctime>

#include "devices/main_window.h"
#include "host/headless/headless_host.h"
#include "tests/game/game_fixture.h"

namespace {

TEST(RandomGenerator, MatchesTheRuntimeLibrarySequence) {
  // The first values of rand() after srand(1) on the runtime library whose
  // generator the game uses.
  SeedRandom(1);
  const int expected[] = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464};
  for (int value : expected) EXPECT_EQ(TakeRandom(), value);
  // The state wraps modulo 2^32 and values stay in 0-32767.
  SeedRandom(0xFFFFFFFFu);
  for (int i = 0; i < 1000; ++i) {
    const int r = TakeRandom();
    EXPECT_GE(r, 0);
    EXPECT_LE(r, 32767);
  }
}

TEST(ProcessStart, StateHoldsItsStartValues) {
  ResetGameStateForNewProcess();
  EXPECT_EQ(titleShown, 1);
  EXPECT_EQ(walkerX, 0);
  EXPECT_EQ(walkerY, 0);
  EXPECT_EQ(partnerX, 8);
  EXPECT_EQ(partnerY, 5);
  EXPECT_EQ(strangerX, 0);
  EXPECT_EQ(strangerY, 5);
  EXPECT_EQ(score, 0);
  EXPECT_EQ(clearTicks, 0);
  EXPECT_EQ(missTicks, 0);
}

class RoundTest : public GameStateTest {
 protected:
  void SetUp() override {
    GameStateTest::SetUp();
    host_.SetCalendarTime(1750000000);
    host::SetCurrent(&host_);
  }
  void TearDown() override { host::SetCurrent(nullptr); }
  host::HeadlessHost host_;
};

TEST_F(RoundTest, SeedsFromTheCalendarSecondAndTakesThirtyValues) {
  ASSERT_EQ(time(nullptr), 1750000000) << "time() reads the host's calendar";
  ResetRound();
  uint32_t state = 1750000000u;
  for (int i = 0; i < 30; ++i) state = state * 214013u + 2531011u;
  EXPECT_EQ(randomState, state);

  // Gem i takes values 2i and 2i+1, then blocks follow in index order.
  SeedRandom(1750000000u);
  for (int i = 0; i < kGemCount; ++i) {
    EXPECT_EQ(gemX[i], TakeRandom() % 3 + 3) << i;
    EXPECT_EQ(gemY[i], TakeRandom() % 4 + 1) << i;
  }
  for (int i = 0; i < kBlockCount; ++i) {
    EXPECT_EQ(blockX[i], TakeRandom() % 2 + (i < 5 ? 1 : 6)) << i;
    EXPECT_EQ(blockY[i], TakeRandom() % 6) << i;
  }
}

TEST_F(RoundTest, DealsWithinTheRangesAndResetsFiguresButKeepsScoreAndTitle) {
  for (int64_t t = 1750000000; t < 1750000200; ++t) {
    host_.SetCalendarTime(t);
    walkerX = 5, partnerY = 2, strangerX = 7;
    gemTaken[3] = 1;
    score = 230;
    titleShown = 0;
    clearTicks = 2;
    missTicks = 3;
    ResetRound();
    for (int i = 0; i < kGemCount; ++i) {
      EXPECT_TRUE(gemX[i] >= 3 && gemX[i] <= 5 && gemY[i] >= 1 && gemY[i] <= 4);
      EXPECT_EQ(gemTaken[i], 0);
    }
    for (int i = 0; i < kBlockCount; ++i) {
      const float x = blockX[i];
      EXPECT_TRUE(i < 5 ? (x == 1 || x == 2) : (x == 6 || x == 7));
      EXPECT_TRUE(blockY[i] >= 0 && blockY[i] <= 5);
    }
    EXPECT_EQ(walkerX, 0);
    EXPECT_EQ(walkerY, 0);
    EXPECT_EQ(partnerX, 8);
    EXPECT_EQ(partnerY, 5);
    EXPECT_EQ(strangerX, 0);
    EXPECT_EQ(strangerY, 5);
    EXPECT_EQ(score, 230);
    EXPECT_EQ(titleShown, 0);
    EXPECT_EQ(clearTicks, 2) << "each sequence zeroes only its own counter";
    EXPECT_EQ(missTicks, 3);
  }
}

TEST_F(RoundTest, RoundsDealtWithinOneSecondAreIdentical) {
  host_.AdvanceTo(100);
  ResetRound();
  float gx[kGemCount], gy[kGemCount], bx[kBlockCount], by[kBlockCount];
  std::copy(gemX, gemX + kGemCount, gx);
  std::copy(gemY, gemY + kGemCount, gy);
  std::copy(blockX, blockX + kBlockCount, bx);
  std::copy(blockY, blockY + kBlockCount, by);
  host_.AdvanceTo(999);  // same calendar second
  ResetRound();
  EXPECT_TRUE(std::equal(gx, gx + kGemCount, gemX));
  EXPECT_TRUE(std::equal(gy, gy + kGemCount, gemY));
  EXPECT_TRUE(std::equal(bx, bx + kBlockCount, blockX));
  EXPECT_TRUE(std::equal(by, by + kBlockCount, blockY));

  // The next second deals another round (for this start time at least one
  // of the 30 values differs).
  host_.AdvanceTo(1000);
  ResetRound();
  const bool same = std::equal(gx, gx + kGemCount, gemX) && std::equal(gy, gy + kGemCount, gemY) &&
                    std::equal(bx, bx + kBlockCount, blockX) && std::equal(by, by + kBlockCount, blockY);
  EXPECT_FALSE(same);
}

}  // namespace

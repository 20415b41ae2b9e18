// The game tick: what each tick draws and in which order, which rules see
// which positions, the cleared and missed timelines tick by tick, the
// stranger's step, the score and a failing begin-scene.
#include "game/game_tick.h"

#include <cmath>

#include "game/draw_list.h"
#include "game/movement.h"
#include "tests/game/tick_harness.h"

namespace {

using Cues = std::vector<std::pair<std::string, std::string>>;

bool SameRect(const RECT& r, LONG l, LONG t, LONG rr, LONG b) {
  return r.left == l && r.top == t && r.right == rr && r.bottom == b;
}

// The images of the draws, in order, with runs of the same image folded.
std::vector<std::string> DrawOrder(const std::vector<DrawRecord>& draws) {
  std::vector<std::string> order;
  for (const DrawRecord& d : draws) {
    if (order.empty() || order.back() != d.image) order.push_back(d.image);
  }
  return order;
}

class GameTickTest : public TickTest {};

TEST_F(GameTickTest, TitleTickDrawsOnlyTheTitleCardAndRunsNoRule) {
  titleShown = 1;
  walkerX = strangerX = 3, walkerY = strangerY = 3;
  gemX[0] = partnerX = 3, gemY[0] = partnerY = 3;
  const uint32_t before = randomState;
  GameTick();
  auto& draws = harness().draws;
  ASSERT_EQ(draws.size(), 1u);
  EXPECT_EQ(draws[0].image, "title card");
  EXPECT_TRUE(SameRect(draws[0].source, 0, 0, 792, 640));
  EXPECT_EQ(draws[0].position.x, 0);
  EXPECT_EQ(draws[0].position.y, 0);
  EXPECT_EQ(randomState, before) << "no stranger step on the title card";
  EXPECT_EQ(gemTaken[0], 0);
  EXPECT_EQ(missTicks, 0) << "no catch test on the title card";
  EXPECT_EQ(score, 0);
}

TEST_F(GameTickTest, PlayTickDrawListOrderPositionsAndSharedParameters) {
  for (int i = 0; i < kBlockCount; ++i) PlaceBlock(i, i < 5 ? 1 : 7, i % 6);
  for (int i = 0; i < kGemCount; ++i) gemX[i] = 3 + i % 3, gemY[i] = 1 + i % 4;
  gemTaken[1] = 1;
  PlaceWalker(2, 4);
  PlacePartner(5, 0);
  score = 1230;
  GameTick();
  const auto& draws = harness().draws;
  const std::vector<std::string> expected = {"floor tile", "block",       "gem",         "partner", "walker",
                                             "stranger",   "score label", "digit strip"};
  EXPECT_EQ(DrawOrder(draws), expected);
  ASSERT_EQ(draws.size(), 63u + 10 + 4 + 1 + 1 + 1 + 1 + 4);

  // Floor: column by column, seven rows each, the seventh under the score.
  for (int i = 0; i < 63; ++i) {
    EXPECT_EQ(draws[i].position.x, 88 * (i / 7));
    EXPECT_EQ(draws[i].position.y, 88 * (i % 7));
  }
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(draws[63 + i].position.x, 88 * blockX[i]);
    EXPECT_EQ(draws[63 + i].position.y, 88 * blockY[i]);
  }
  const auto gems = harness().DrawsOf("gem");
  ASSERT_EQ(gems.size(), 4u);
  EXPECT_EQ(gems[1].position.x, 88 * gemX[2]) << "the taken gem 1 is skipped";
  const auto walker = harness().DrawsOf("walker");
  EXPECT_EQ(walker[0].position.x, 176);
  EXPECT_EQ(walker[0].position.y, 352);
  const auto label = harness().DrawsOf("score label");
  EXPECT_TRUE(SameRect(label[0].source, 0, 0, 440, 88));
  EXPECT_EQ(label[0].position.x, 0);
  EXPECT_EQ(label[0].position.y, 528);

  // Units first (always glyph 0), then tens, hundreds, thousands: 1230.
  const auto digits = harness().DrawsOf("digit strip");
  const float xs[] = {704, 616, 528, 440};
  const int glyphs[] = {0, 3, 2, 1};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(digits[i].position.x, xs[i]);
    EXPECT_EQ(digits[i].position.y, 528);
    EXPECT_TRUE(SameRect(digits[i].source, 88 * glyphs[i], 0, 88 * glyphs[i] + 88, 88)) << i;
  }

  // Every draw: its own pair's sprite and texture, the shared parameters.
  for (const DrawRecord& d : draws) {
    const AssetRow* row = nullptr;
    for (const AssetRow& r : kAssetTable) {
      if (d.image == r.role) row = &r;
    }
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(d.texture, *row->texture) << d.image;
    EXPECT_TRUE(d.hasSource);
    EXPECT_EQ(d.scaling.x, 1);
    EXPECT_EQ(d.scaling.y, 1);
    EXPECT_EQ(d.centre.x, 1);
    EXPECT_EQ(d.centre.y, 1);
    EXPECT_EQ(d.rotation, 0);
    EXPECT_EQ(d.colour, 0xFFFFFFFFu);
    if (d.image != "score label" && d.image != "digit strip") {
      EXPECT_TRUE(SameRect(d.source, 0, 0, 88, 88));
    }
  }
  for (const AssetRow& r : kAssetTable) {
    EXPECT_EQ(static_cast<RecordingSprite*>(*r.sprite)->bracketCalls, 0) << "draws stand alone";
  }
}

TEST_F(GameTickTest, GemTakenIsStillDrawnThatFrameAndTheScoreIncludesIt) {
  gemX[2] = 4, gemY[2] = 2;
  PlaceWalker(4, 2);
  PlacePartner(4, 2);
  // The other gems lie parked off the board; count the draws at this cell.
  auto drawsHere = [] {
    int n = 0;
    for (const DrawRecord& d : TickHarness::Get().DrawsOf("gem")) n += d.position.x == 352 && d.position.y == 176;
    return n;
  };
  GameTick();
  EXPECT_EQ(drawsHere(), 1);
  EXPECT_EQ(gemTaken[2], 1);
  EXPECT_EQ(score, 10);
  EXPECT_TRUE(SameRect(harness().DrawsOf("digit strip")[1].source, 88, 0, 176, 88)) << "tens glyph shows 1";
  EXPECT_EQ(harness().cues, (Cues{{"get", "once"}}));

  harness().ClearLogs();
  GameTick();
  EXPECT_EQ(drawsHere(), 0) << "gone from the next frame";
  EXPECT_EQ(score, 10) << "a gem is taken once";
  EXPECT_TRUE(harness().cues.empty());
}

TEST_F(GameTickTest, TwoGemsOnOneCellGiveTwentyPointsAndTwoPickupCues) {
  gemX[0] = gemX[3] = 5, gemY[0] = gemY[3] = 4;
  PlaceWalker(5, 4);
  PlacePartner(5, 4);
  GameTick();
  EXPECT_EQ(score, 20);
  EXPECT_EQ(gemTaken[0] + gemTaken[3], 2);
  EXPECT_EQ(harness().cues, (Cues{{"get", "once"}, {"get", "once"}}));
}

TEST_F(GameTickTest, WalkerOrPartnerAloneOnAGemTakesNothing) {
  gemX[0] = 3, gemY[0] = 1;
  PlaceWalker(3, 1);
  PlacePartner(4, 1);
  GameTick();
  PlaceWalker(4, 1);
  PlacePartner(3, 1);
  GameTick();
  EXPECT_EQ(gemTaken[0], 0);
  EXPECT_EQ(score, 0);
}

TEST_F(GameTickTest, KeyMoveTakesNoGemAndTriggersNoCatchInItsOwnTick) {
  HoldStrangerFor(3);
  gemX[0] = 4, gemY[0] = 3;
  PlaceWalker(3, 3);
  PlacePartner(5, 3);
  strangerX = 4, strangerY = 3;
  harness().HoldKey(kArrowKeyRight, true);
  GameTick();
  EXPECT_EQ(walkerX, 4) << "the key moved the walker after the scene";
  EXPECT_EQ(partnerX, 4);
  EXPECT_EQ(gemTaken[0], 0);
  EXPECT_EQ(missTicks, 0);
  harness().HoldKey(kArrowKeyRight, false);
  GameTick();
  EXPECT_EQ(gemTaken[0], 1);
  EXPECT_EQ(missTicks, 1);
}

TEST_F(GameTickTest, ArrowKeysApplyOnTheTitleCardToo) {
  titleShown = 1;
  harness().HoldKey(kArrowKeyDown, true);
  GameTick();
  EXPECT_EQ(walkerY, 1);
  EXPECT_EQ(partnerY, 4);
}

TEST_F(GameTickTest, ClearedTimelineTickByTick) {
  HoldStrangerFor(4);
  for (int i = 0; i < kGemCount; ++i) gemX[i] = 3, gemY[i] = 2, gemTaken[i] = i < 4;
  PlaceWalker(3, 2);
  PlacePartner(3, 2);
  score = 40;
  host::HeadlessHost& h = harness().host();

  GameTick();  // T0: the fifth gem, still drawn; no banner yet
  EXPECT_EQ(harness().DrawsOf("gem").size(), 1u);
  EXPECT_TRUE(harness().DrawsOf("cleared banner").empty());
  EXPECT_EQ(clearTicks, 1);
  EXPECT_EQ(score, 50);
  harness().ClearLogs();

  GameTick();  // T1: banner over the strip, under the stranger
  auto banner = harness().DrawsOf("cleared banner");
  ASSERT_EQ(banner.size(), 1u);
  EXPECT_EQ(banner[0].position.x, 88);
  EXPECT_EQ(banner[0].position.y, 176);
  EXPECT_TRUE(SameRect(banner[0].source, 0, 0, 616, 88));
  EXPECT_EQ(DrawOrder(harness().draws)[4], "cleared banner");  // no gem left to draw
  EXPECT_EQ(DrawOrder(harness().draws)[5], "stranger");
  EXPECT_EQ(clearTicks, 2);
  EXPECT_TRUE(harness().cues.empty());
  harness().ClearLogs();

  const uint64_t before = h.NowMs();
  h.SetCalendarTime(1800000000);
  GameTick();  // T2: banner, then the sequence and a new round
  EXPECT_EQ(harness().DrawsOf("cleared banner").size(), 1u);
  EXPECT_EQ(h.NowMs() - before, 5000u) << "the five-second pause";
  EXPECT_EQ(harness().cues, (Cues{{"bgm", "stop"}, {"clear", "once"}, {"bgm", "loop"}}));
  EXPECT_EQ(score, 150);
  EXPECT_EQ(clearTicks, 0);
  for (int i = 0; i < kGemCount; ++i) EXPECT_EQ(gemTaken[i], 0);
  EXPECT_EQ(walkerX, 0);
  EXPECT_EQ(partnerX, 8);
  // The score drawn in T2 comes after the reset and includes the 100.
  EXPECT_TRUE(SameRect(harness().DrawsOf("digit strip")[2].source, 88, 0, 176, 88));
  harness().ClearLogs();

  GameTick();  // T3: the new round, no banner
  EXPECT_TRUE(harness().DrawsOf("cleared banner").empty());
  EXPECT_EQ(clearTicks, 0);
}

TEST_F(GameTickTest, MissedTimelineWithSpinFramesAndPenalty) {
  HoldStrangerFor(5);
  score = 200;
  PlaceWalker(4, 4);
  strangerX = 4, strangerY = 4;

  GameTick();  // Tc: caught, nothing drawn for it yet
  EXPECT_EQ(missTicks, 1);
  EXPECT_TRUE(harness().DrawsOf("missed banner").empty());
  PlaceWalker(2, 4);  // a click moves the walker off the stranger
  for (int frame = 1; frame <= 3; ++frame) {
    harness().ClearLogs();
    GameTick();
    const auto banner = harness().DrawsOf("missed banner");
    const auto spin = harness().DrawsOf("spin strip");
    ASSERT_EQ(banner.size(), 1u);
    ASSERT_EQ(spin.size(), 1u);
    EXPECT_EQ(banner[0].position.x, 88);
    EXPECT_EQ(banner[0].position.y, 176);
    EXPECT_TRUE(SameRect(spin[0].source, 88 * frame, 0, 88 * frame + 88, 88)) << frame;
    EXPECT_EQ(spin[0].position.x, 176) << "the spin follows the walker";
    EXPECT_EQ(spin[0].position.y, 352);
    // Over the stranger, after the score.
    const auto order = DrawOrder(harness().draws);
    EXPECT_EQ(order[order.size() - 2], "missed banner");
    EXPECT_EQ(order.back(), "spin strip");
    if (frame < 3) {
      EXPECT_EQ(missTicks, frame + 1);
      EXPECT_TRUE(harness().cues.empty());
    }
  }
  // The penalty tick drew the old score, then took the 100.
  EXPECT_TRUE(SameRect(harness().DrawsOf("digit strip")[2].source, 176, 0, 264, 88));
  EXPECT_EQ(score, 100);
  EXPECT_EQ(missTicks, 0);
  EXPECT_EQ(titleShown, 0);
  EXPECT_EQ(harness().cues, (Cues{{"bgm", "stop"}, {"over", "once"}, {"bgm", "loop"}}));
  EXPECT_EQ(walkerX, 0) << "a new round";
}

TEST_F(GameTickTest, CatchWhileSpinningHoldsFrameOneAndDelaysThePenalty) {
  HoldStrangerFor(8);
  score = 100;
  PlaceWalker(6, 1);
  strangerX = 6, strangerY = 1;
  GameTick();
  for (int i = 0; i < 4; ++i) {
    harness().ClearLogs();
    GameTick();
    EXPECT_TRUE(SameRect(harness().DrawsOf("spin strip")[0].source, 88, 0, 176, 88));
    EXPECT_EQ(missTicks, 1);
  }
  PlaceWalker(5, 1);  // last shared cell was the tick before
  GameTick();
  GameTick();
  EXPECT_EQ(missTicks, 3);
  EXPECT_EQ(score, 100);
  GameTick();  // three ticks after the last shared cell
  EXPECT_EQ(score, 0) << "100 at the penalty becomes 0 and play goes on";
  EXPECT_EQ(titleShown, 0);
}

TEST_F(GameTickTest, CatchOnThePenaltyTickRestartsTheSpinInstead) {
  HoldStrangerFor(2);
  score = 50;
  missTicks = 3;
  PlaceWalker(0, 5);  // stepped back onto the stranger before the fourth tick
  GameTick();
  EXPECT_TRUE(SameRect(harness().DrawsOf("spin strip")[0].source, 264, 0, 352, 88)) << "frame 3 drawn";
  EXPECT_EQ(missTicks, 1);
  EXPECT_EQ(score, 50);
  EXPECT_EQ(titleShown, 0);
  EXPECT_TRUE(harness().cues.empty());
}

TEST_F(GameTickTest, PenaltyBelowHundredEndsTheGameWithTheTitleCardInTheSameFrame) {
  HoldStrangerFor(5);
  score = 90;
  missTicks = 3;
  PlaceWalker(3, 0);
  GameTick();
  EXPECT_EQ(score, 0);
  EXPECT_EQ(titleShown, 1);
  EXPECT_EQ(missTicks, 0);
  EXPECT_EQ(harness().draws.back().image, "title card") << "drawn last, over the board";
  EXPECT_EQ(harness().DrawsOf("floor tile").size(), 63u);
  EXPECT_EQ(harness().cues, (Cues{{"bgm", "stop"}, {"over", "once"}, {"start", "loop"}}));
}

TEST_F(GameTickTest, StrangerBlockedColumnMoveCancelsTheRowMove) {
  // A seed whose step tries dx = +1 and dy = +1.
  uint32_t seed = 1;
  for (;; ++seed) {
    SeedRandom(seed);
    if (TakeRandom() % 2 != 0) continue;
    const int dx = TakeRandom() % 3 - 1;
    const int dy = TakeRandom() % 3 - 1;
    if (dx == 1 && dy == 1) break;
  }
  strangerX = 5, strangerY = 2;
  PlaceBlock(6, 6, 2);
  SeedRandom(seed);
  StepStranger();
  EXPECT_EQ(strangerX, 5);
  EXPECT_EQ(strangerY, 2) << "the row is not tried after a blocked column";

  PlaceBlock(6, 100, 100);
  PlaceBlock(2, 6, 3);  // now the diagonal target is a block: the row move is undone
  SeedRandom(seed);
  StepStranger();
  EXPECT_EQ(strangerX, 6);
  EXPECT_EQ(strangerY, 2);

  strangerX = 8, strangerY = 5;  // off the corner: clamped back
  SeedRandom(seed);
  StepStranger();
  EXPECT_EQ(strangerX, 8);
  EXPECT_EQ(strangerY, 5);
}

TEST_F(GameTickTest, StrangerStepsTakeOneOrThreeValues) {
  for (uint32_t seed = 1; seed < 200; ++seed) {
    SeedRandom(seed);
    const bool tries = TakeRandom() % 2 == 0;
    SeedRandom(seed);
    strangerX = 4, strangerY = 3;
    StepStranger();
    uint32_t expected = seed;
    for (int i = 0; i < (tries ? 3 : 1); ++i) expected = expected * 214013u + 2531011u;
    EXPECT_EQ(randomState, expected) << seed;
    EXPECT_LE(std::abs(strangerX - 4), 1);
    EXPECT_LE(std::abs(strangerY - 3), 1);
    if (!tries) {
      EXPECT_TRUE(strangerX == 4 && strangerY == 3);
    }
  }
}

TEST_F(GameTickTest, FailedBeginSceneStillAppliesKeysAndPresents) {
  host::HeadlessHost& h = harness().host();
  gemX[0] = 0, gemY[0] = 0;
  PlacePartner(0, 0);  // walker and partner on a gem: a running scene would take it
  const uint32_t random = randomState;
  const uint64_t frames = h.FrameCount();
  h.FailAt("IDirect3DDevice9.BeginScene", h.CallCount("IDirect3DDevice9.BeginScene") + 1);
  harness().HoldKey(kArrowKeyRight, true);
  GameTick();
  EXPECT_TRUE(harness().draws.empty());
  EXPECT_EQ(gemTaken[0], 0);
  EXPECT_EQ(randomState, random);
  EXPECT_EQ(walkerX, 1) << "keys still applied";
  EXPECT_EQ(h.FrameCount(), frames + 1) << "the frame is still presented";
}

TEST(ScoreDisplay, LastFourDigitsWithLeadingZerosAndAZeroUnit) {
  struct Case {
    int score;
    int glyphs[4];
  } cases[] = {
      {0, {0, 0, 0, 0}}, {250, {0, 2, 5, 0}}, {9990, {9, 9, 9, 0}}, {10000, {0, 0, 0, 0}}, {12340, {2, 3, 4, 0}},
  };
  for (const Case& c : cases) {
    int glyphs[4];
    ScoreGlyphs(c.score, glyphs);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(glyphs[i], c.glyphs[i]) << c.score << " position " << i;
  }
}

}  // namespace

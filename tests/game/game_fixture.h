// game_fixture.h — puts the game state into a known board for rule tests.
#pragma once

#include <gtest/gtest.h>

#include "game/game_state.h"

// Every test starts from the process-start state with the blocks parked far
// off the board, so only the blocks a test places stand in the way.
class GameStateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetGameStateForNewProcess();
    for (int i = 0; i < kBlockCount; ++i) {
      blockX[i] = 100;
      blockY[i] = 100;
    }
    for (int i = 0; i < kGemCount; ++i) {
      gemX[i] = 100;
      gemY[i] = 100;
    }
  }
  static void PlaceWalker(float x, float y) { walkerX = x, walkerY = y; }
  static void PlacePartner(float x, float y) { partnerX = x, partnerY = y; }
  static void PlaceBlock(int i, float x, float y) { blockX[i] = x, blockY[i] = y; }
};

#define EXPECT_CELL(x, y, ex, ey) \
  do {                            \
    EXPECT_EQ((x), (ex));         \
    EXPECT_EQ((y), (ey));         \
  } while (0)

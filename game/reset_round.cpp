// reset_round.cpp — dealing a round.
//
// The order of the 30 generator draws is part of the game: a round is fully
// determined by the calendar second it is dealt in.
#include <ctime>

#include "game/game_state.h"
#include "devices/main_window.h"

UINT_PTR ResetRound() {
  SeedRandom(static_cast<uint32_t>(time(nullptr)));

  // Gems in columns 3-5, rows 1-4: each gem's column, then its row.
  for (int i = 0; i < kGemCount; ++i) {
    gemX[i] = static_cast<float>(TakeRandom() % 3 + 3);
    gemY[i] = static_cast<float>(TakeRandom() % 4 + 1);
    gemTaken[i] = 0;
  }
  // Blocks 0-4 in columns 1-2, blocks 5-9 in columns 6-7, any row; so a block
  // never lands on a gem or a start cell.
  for (int i = 0; i < 5; ++i) {
    blockX[i] = static_cast<float>(TakeRandom() % 2 + 1);
    blockY[i] = static_cast<float>(TakeRandom() % 6);
  }
  for (int i = 5; i < kBlockCount; ++i) {
    blockX[i] = static_cast<float>(TakeRandom() % 2 + 6);
    blockY[i] = static_cast<float>(TakeRandom() % 6);
  }

  strangerX = 0;
  strangerY = 5;
  walkerX = 0;
  walkerY = 0;
  partnerX = 8;
  partnerY = 5;

  // Replaces a running timer, so its 500 ms period starts afresh.
  return SetTimer(mainWindow, kGameTimerId, kGameTimerPeriodMs, nullptr);
}

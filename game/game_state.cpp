// game_state.cpp — the game's state variables and random generator.
#include "game/game_state.h"

float walkerX = 0, walkerY = 0;
float partnerX = 8, partnerY = 5;
float strangerX = 0, strangerY = 5;
float gemX[kGemCount] = {};
float gemY[kGemCount] = {};
int gemTaken[kGemCount] = {};
float blockX[kBlockCount] = {};
float blockY[kBlockCount] = {};
int score = 0;
int clearTicks = 0;
int missTicks = 0;
int titleShown = 1;

uint32_t randomState = 0;

void SeedRandom(uint32_t seed) { randomState = seed; }

int TakeRandom() {
  // The runtime library's rand(), spelled out so every platform deals the
  // same rounds from the same seed. Unsigned arithmetic wraps modulo 2^32.
  randomState = randomState * 214013u + 2531011u;
  return static_cast<int>((randomState >> 16) & 0x7FFFu);
}

void ResetGameStateForNewProcess() {
  walkerX = 0;
  walkerY = 0;
  partnerX = 8;
  partnerY = 5;
  strangerX = 0;
  strangerY = 5;
  for (int i = 0; i < kGemCount; ++i) {
    gemX[i] = 0;
    gemY[i] = 0;
    gemTaken[i] = 0;
  }
  for (int i = 0; i < kBlockCount; ++i) {
    blockX[i] = 0;
    blockY[i] = 0;
  }
  score = 0;
  clearTicks = 0;
  missTicks = 0;
  titleShown = 1;
  randomState = 0;
}

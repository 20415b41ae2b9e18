// game_state.h — the game's process-wide state and its random generator.
//
// Provides: the positions of the three figures, the gem and block arrays,
// the score, the two sequence counters and the title flag, with the values
// they hold at process start; the generator that deals rounds and moves the
// stranger; ResetRound, which deals a new round and restarts the game timer.
// Depends on: windows.h (SetTimer), time() for the seed, mainWindow.
// Everything here is touched only on the thread that owns the window.
#pragma once

#include <windows.h>

#include <cstdint>

constexpr int kGemCount = 5;
constexpr int kBlockCount = 10;

// Board size in cells; the pixel position of a cell is 88 x its number.
constexpr int kCellSize = 88;
constexpr int kColumns = 9;
constexpr int kRows = 6;

// The game timer: one tick per WM_TIMER of this period.
constexpr UINT_PTR kGameTimerId = 0;
constexpr UINT kGameTimerPeriodMs = 500;

// Figures, gems and blocks hold whole cell numbers in floats (column first),
// compared by exact equality.
extern float walkerX, walkerY;
extern float partnerX, partnerY;
extern float strangerX, strangerY;
extern float gemX[kGemCount], gemY[kGemCount];
extern int gemTaken[kGemCount];
extern float blockX[kBlockCount], blockY[kBlockCount];
extern int score;
extern int clearTicks;
extern int missTicks;
extern int titleShown;

// The state of the generator; seeded only by ResetRound.
extern uint32_t randomState;

// Seeds the generator (state = seed).
void SeedRandom(uint32_t seed);
// One draw: state = state * 214013 + 2531011; yields (state >> 16) & 0x7FFF.
int TakeRandom();

// Deals a round: 30 draws from a generator seeded with the calendar second,
// figures back on their start cells, game timer (re)started on mainWindow.
// Returns SetTimer's result, which nobody uses.
UINT_PTR ResetRound();

// Puts every variable back to its process-start value (tests and the replay
// tool run several games in one process).
void ResetGameStateForNewProcess();

// game_tick.h — one tick of the game, run for every WM_TIMER.
//
// Provides: GameTick, which draws the whole frame from scratch and, between
// the draws and in a fixed order, applies gem pickup and score, the cleared
// count and sequence, the stranger's step, the missed count, the catch, the
// penalty and game over, and after the scene the held arrow keys.
// Depends on: game_state.h, movement.h, draw_list.h; the graphics device,
// the keyboard device and the five cue buffers of devices/; Sleep.
#pragma once

#include <windows.h>

// The pause of the cleared and missed sequences, during which the thread
// blocks and the jingle plays.
constexpr DWORD kSequencePauseMs = 5000;

// Returns the result of presenting the frame; nobody reads it.
HRESULT GameTick();

// Called as a tick begins and as it returns; null (the default) for none.
// Lets a headless run trace ticks without changing what a tick does.
using TickObserver = void (*)(bool ended);
extern TickObserver tickObserver;

// The parts of a play tick between the board and the title card, in order;
// exposed so that they can be checked one by one.
void TakeGems();
void CountCleared();
void StepStranger();
void RunMissedSequence();

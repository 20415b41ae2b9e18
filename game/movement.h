// movement.h — how the walker and its mirrored partner move.
//
// Provides: Direction, StepWalker (one move of both figures with blocking,
// undoing, clamping and the walker's vertical wrap), the three block tests,
// ClickDirection (a left click to a move) and ApplyArrowKeys (the held arrow
// keys of one keyboard snapshot, in their fixed order).
// Depends on: game_state.h, windows.h (PtInRect).
#pragma once

#include <windows.h>

#include <optional>

enum class Direction { Up, Down, Left, Right };

// 1 when the figure's cell equals some block's cell (blocks scanned 0-9).
int WalkerOnBlock();
int PartnerOnBlock();
int StrangerOnBlock();

void StepWalker(Direction direction);

// The move a left click at client pixel (x, y) asks for, judged from the
// walker's current cell; no value for no move.
std::optional<Direction> ClickDirection(unsigned x, unsigned y);

// DirectInput key codes of the arrow keys, in the order they are applied.
constexpr int kArrowKeyLeft = 0xCB;
constexpr int kArrowKeyRight = 0xCD;
constexpr int kArrowKeyUp = 0xC8;
constexpr int kArrowKeyDown = 0xD0;

// Applies one StepWalker per held arrow key (bit 0x80) of a 256-byte key
// state: Left, Right, Up, Down, each seeing the result of the one before.
void ApplyArrowKeys(const BYTE keyState[256]);

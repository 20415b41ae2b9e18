// movement.cpp — StepWalker, the block tests and the click and key mapping.
#include "game/movement.h"

#include "game/game_state.h"

namespace {

int OnBlock(float x, float y) {
  for (int i = 0; i < kBlockCount; ++i) {
    if (blockX[i] == x && blockY[i] == y) return 1;
  }
  return 0;
}

}  // namespace

int WalkerOnBlock() { return OnBlock(walkerX, walkerY); }
int PartnerOnBlock() { return OnBlock(partnerX, partnerY); }
int StrangerOnBlock() { return OnBlock(strangerX, strangerY); }

void StepWalker(Direction direction) {
  const bool vertical = direction == Direction::Up || direction == Direction::Down;
  const float w = (direction == Direction::Up || direction == Direction::Left) ? -1.0f : 1.0f;
  const float p = -w;
  float& walkerA = vertical ? walkerY : walkerX;
  float& partnerA = vertical ? partnerY : partnerX;

  walkerA += w;
  if (WalkerOnBlock() == 1) {
    walkerA -= w;
    // Cancels the partner's move below beforehand: a blocked walker holds
    // the partner where it was.
    partnerA -= p;
  }
  partnerA += p;
  if (PartnerOnBlock() == 1) partnerA -= p;

  // Only the bound in the direction of the move is tested.
  switch (direction) {
    case Direction::Left:
      if (walkerX < 0) walkerX = 0;
      if (partnerX > 8) partnerX = 8;
      break;
    case Direction::Right:
      if (walkerX > 8) walkerX = 8;
      if (partnerX < 0) partnerX = 0;
      break;
    case Direction::Up:
      // The walker wraps; a wrap onto a block sends it back to its row.
      if (walkerY < 0) walkerY = 5;
      if (WalkerOnBlock() == 1) walkerY = 0;
      if (partnerY > 5) partnerY = 5;
      break;
    case Direction::Down:
      if (walkerY > 5) walkerY = 0;
      if (WalkerOnBlock() == 1) walkerY = 5;
      if (partnerY < 0) partnerY = 0;
      break;
  }
}

std::optional<Direction> ClickDirection(unsigned x, unsigned y) {
  const int cx = static_cast<int>(walkerX * kCellSize);
  const int cy = static_cast<int>(walkerY * kCellSize);
  // Client coordinates are 16-bit; larger values never come from a message.
  POINT pt{static_cast<LONG>(x & 0xFFFF), static_cast<LONG>(y & 0xFFFF)};

  std::optional<Direction> result;
  RECT rect;
  rect = {cx, cy + kCellSize, cx + kCellSize, 600};
  if (PtInRect(&rect, pt)) result = Direction::Down;
  rect = {cx, 0, cx + kCellSize, cy + kCellSize};
  if (PtInRect(&rect, pt)) result = Direction::Up;
  rect = {0, cy, cx, cy + kCellSize};
  if (PtInRect(&rect, pt)) result = Direction::Left;
  rect = {cx + kCellSize, cy, 800, cy + kCellSize};
  if (PtInRect(&rect, pt)) result = Direction::Right;
  return result;
}

void ApplyArrowKeys(const BYTE keyState[256]) {
  if (keyState[kArrowKeyLeft] & 0x80) StepWalker(Direction::Left);
  if (keyState[kArrowKeyRight] & 0x80) StepWalker(Direction::Right);
  if (keyState[kArrowKeyUp] & 0x80) StepWalker(Direction::Up);
  if (keyState[kArrowKeyDown] & 0x80) StepWalker(Direction::Down);
}

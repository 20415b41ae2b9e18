// Movement rules: the mirrored step, blocking and undoing, edges, the
// walker's vertical wrap, the click rectangles and the arrow-key order.
#include "game/movement.h"

#include "tests/game/game_fixture.h"

namespace {

using MovementTest = GameStateTest;

TEST_F(MovementTest, EachDirectionMovesWalkerAndMirrorsPartner) {
  struct Case {
    Direction d;
    float wx, wy, px, py;
  } cases[] = {
      {Direction::Up, 4, 2, 4, 4},
      {Direction::Down, 4, 4, 4, 2},
      {Direction::Left, 3, 3, 5, 3},
      {Direction::Right, 5, 3, 3, 3},
  };
  for (const Case& c : cases) {
    PlaceWalker(4, 3);
    PlacePartner(4, 3);
    StepWalker(c.d);
    EXPECT_CELL(walkerX, walkerY, c.wx, c.wy);
    EXPECT_CELL(partnerX, partnerY, c.px, c.py);
  }
}

TEST_F(MovementTest, WalkerTargetOnBlockHoldsBothWhateverThePartnerTarget) {
  PlaceWalker(1, 3);
  PlacePartner(6, 3);
  PlaceBlock(7, 2, 3);  // right of the walker
  StepWalker(Direction::Right);
  EXPECT_CELL(walkerX, walkerY, 1, 3);
  EXPECT_CELL(partnerX, partnerY, 6, 3);
  // Also when the partner's own target is a block.
  PlaceBlock(3, 5, 3);
  StepWalker(Direction::Right);
  EXPECT_CELL(partnerX, partnerY, 6, 3);
}

TEST_F(MovementTest, PartnerTargetOnBlockMovesWalkerAlone) {
  PlaceWalker(4, 2);
  PlacePartner(4, 4);
  PlaceBlock(9, 4, 5);  // below the partner; walker Up sends the partner down
  StepWalker(Direction::Up);
  EXPECT_CELL(walkerX, walkerY, 4, 1);
  EXPECT_CELL(partnerX, partnerY, 4, 4);
}

TEST_F(MovementTest, WalkerAgainstSideEdgeStaysWhilePartnerMoves) {
  PlaceWalker(0, 2);
  PlacePartner(5, 5);
  StepWalker(Direction::Left);
  EXPECT_CELL(walkerX, walkerY, 0, 2);
  EXPECT_CELL(partnerX, partnerY, 6, 5);

  PlaceWalker(8, 2);
  StepWalker(Direction::Right);
  EXPECT_CELL(walkerX, walkerY, 8, 2);
  EXPECT_CELL(partnerX, partnerY, 5, 5);
}

TEST_F(MovementTest, PartnerAgainstEdgeStaysWhileWalkerMoves) {
  PlaceWalker(3, 3);
  PlacePartner(8, 0);
  StepWalker(Direction::Left);  // partner would go to column 9
  EXPECT_CELL(walkerX, walkerY, 2, 3);
  EXPECT_CELL(partnerX, partnerY, 8, 0);
  StepWalker(Direction::Down);  // partner would go to row -1
  EXPECT_CELL(walkerX, walkerY, 2, 4);
  EXPECT_CELL(partnerX, partnerY, 8, 0);

  PlacePartner(0, 5);
  StepWalker(Direction::Right);  // partner would go to column -1
  EXPECT_CELL(partnerX, partnerY, 0, 5);
  StepWalker(Direction::Up);  // partner would go to row 6
  EXPECT_CELL(partnerX, partnerY, 0, 5);
}

TEST_F(MovementTest, WalkerWrapsVertically) {
  // Start cells: walker row 0, partner row 5; Up wraps the walker, clamps the partner.
  StepWalker(Direction::Up);
  EXPECT_CELL(walkerX, walkerY, 0, 5);
  EXPECT_CELL(partnerX, partnerY, 8, 5);

  StepWalker(Direction::Down);  // row 6 becomes row 0; partner goes up one
  EXPECT_CELL(walkerX, walkerY, 0, 0);
  EXPECT_CELL(partnerX, partnerY, 8, 4);
}

TEST_F(MovementTest, WrapOntoBlockKeepsWalkerInItsRowButPartnerMoves) {
  PlaceWalker(1, 0);
  PlacePartner(4, 3);
  PlaceBlock(0, 1, 5);
  StepWalker(Direction::Up);
  EXPECT_CELL(walkerX, walkerY, 1, 0);
  EXPECT_CELL(partnerX, partnerY, 4, 4);

  PlaceWalker(2, 5);
  PlaceBlock(4, 2, 0);
  StepWalker(Direction::Down);
  EXPECT_CELL(walkerX, walkerY, 2, 5);
  EXPECT_CELL(partnerX, partnerY, 4, 3);
}

TEST_F(MovementTest, OtherFiguresAndGemsNeverBlock) {
  PlaceWalker(4, 1);
  PlacePartner(4, 3);
  strangerX = 4, strangerY = 2;
  gemX[0] = 4, gemY[0] = 2;
  StepWalker(Direction::Down);  // walker and partner meet on the stranger's and gem's cell
  EXPECT_CELL(walkerX, walkerY, 4, 2);
  EXPECT_CELL(partnerX, partnerY, 4, 2);
}

TEST_F(MovementTest, BlockTestsAnswerByCellAndToleratesSharedBlocks) {
  PlaceBlock(2, 6, 1);
  PlaceBlock(8, 6, 1);  // two blocks on one cell
  walkerX = 6, walkerY = 1;
  partnerX = 6, partnerY = 2;
  strangerX = 6, strangerY = 1;
  EXPECT_EQ(WalkerOnBlock(), 1);
  EXPECT_EQ(PartnerOnBlock(), 0);
  EXPECT_EQ(StrangerOnBlock(), 1);
  PlaceBlock(2, 100, 100);
  EXPECT_EQ(WalkerOnBlock(), 1) << "the second block on the cell still counts";
}

TEST_F(MovementTest, LeftAndRightHeldInOneTickFromTheStartCells) {
  BYTE keys[256] = {};
  keys[kArrowKeyLeft] = 0x80;
  keys[kArrowKeyRight] = 0x80;
  ApplyArrowKeys(keys);
  EXPECT_CELL(walkerX, walkerY, 1, 0);
  EXPECT_CELL(partnerX, partnerY, 7, 5);
}

TEST_F(MovementTest, ArrowKeysApplyLeftRightUpDownInThatOrder) {
  // Up and Left held: Left first, then Up. With a block at the walker's
  // left-then-up cell, the opposite order would end elsewhere.
  PlaceWalker(4, 3);
  PlacePartner(0, 0);
  BYTE keys[256] = {};
  keys[kArrowKeyUp] = 0x80;
  keys[kArrowKeyLeft] = 0x81;  // only bit 0x80 matters
  PlaceBlock(1, 4, 2);         // blocks Up-then-Left at its first step
  ApplyArrowKeys(keys);
  EXPECT_CELL(walkerX, walkerY, 3, 2);

  // Bytes without bit 0x80, and keypad arrows, move nothing.
  PlaceWalker(4, 3);
  BYTE idle[256] = {};
  idle[kArrowKeyDown] = 0x7F;
  idle[0x4B] = idle[0x4D] = idle[0x48] = idle[0x50] = 0x80;  // DIK_NUMPAD4/6/8/2
  ApplyArrowKeys(idle);
  EXPECT_CELL(walkerX, walkerY, 4, 3);
}

TEST_F(MovementTest, HeldDownKeysEachSeeThePreviousResult) {
  PlaceWalker(4, 4);
  PlacePartner(4, 5);
  BYTE keys[256] = {};
  keys[kArrowKeyUp] = keys[kArrowKeyDown] = 0x80;
  ApplyArrowKeys(keys);
  EXPECT_CELL(walkerX, walkerY, 4, 4);
  // Up clamped the partner at row 5, then Down moved it to row 4.
  EXPECT_CELL(partnerX, partnerY, 4, 4);
}

TEST_F(MovementTest, ClickRectanglesAroundTheWalker) {
  PlaceWalker(2, 3);  // cell x 176-263, y 264-351
  EXPECT_EQ(ClickDirection(176, 352), Direction::Down);
  EXPECT_EQ(ClickDirection(263, 599), Direction::Down);
  EXPECT_EQ(ClickDirection(200, 600), std::nullopt) << "y 600 and below is no move";
  EXPECT_EQ(ClickDirection(200, 639), std::nullopt);
  EXPECT_EQ(ClickDirection(176, 0), Direction::Up);
  EXPECT_EQ(ClickDirection(220, 300), Direction::Up) << "a click on the walker moves it up";
  EXPECT_EQ(ClickDirection(263, 351), Direction::Up);
  EXPECT_EQ(ClickDirection(0, 264), Direction::Left);
  EXPECT_EQ(ClickDirection(175, 351), Direction::Left);
  EXPECT_EQ(ClickDirection(264, 264), Direction::Right);
  EXPECT_EQ(ClickDirection(799, 351), Direction::Right);
  EXPECT_EQ(ClickDirection(800, 300), std::nullopt);
  EXPECT_EQ(ClickDirection(100, 100), std::nullopt) << "other row and column";
  EXPECT_EQ(ClickDirection(300, 400), std::nullopt);
}

TEST_F(MovementTest, ClickEdgeCasesAtTheBoardBorders) {
  PlaceWalker(0, 0);
  EXPECT_EQ(ClickDirection(0, 40), Direction::Up) << "column 0 has no Left rectangle";
  EXPECT_EQ(ClickDirection(10, 90), Direction::Down);
  StepWalker(*ClickDirection(40, 40));  // on the walker in row 0: wraps to row 5
  EXPECT_CELL(walkerX, walkerY, 0, 5);
  EXPECT_EQ(ClickDirection(40, 528), Direction::Down);
  EXPECT_EQ(ClickDirection(40, 599), Direction::Down);
  StepWalker(*ClickDirection(40, 550));
  EXPECT_CELL(walkerX, walkerY, 0, 0);
}

}  // namespace

// draw_list.h — what one game tick draws, where, and from which image.
//
// Provides: the draw sites of a frame, grouped as the tick issues them. Every
// draw is one standalone sprite Draw of the image's own texture and sprite
// pair, with scaling (1, 1), rotation centre (1, 1), rotation 0 and colour
// 0xFFFFFFFF. Results are not tested: a failing draw leaves its image out.
// Depends on: game_state.h, devices/graphics.h (the asset table).
#pragma once

// Positions of the fixed parts of the screen, in back-buffer pixels.
constexpr float kBannerX = 88, kBannerY = 176;
constexpr float kScoreRowY = 528;
constexpr float kThousandsX = 440, kHundredsX = 528, kTensX = 616, kUnitsX = 704;

// Sites 1-5: floor (9 columns x 7 rows, column by column), blocks, gems not
// taken, partner, walker.
void DrawBoard();
// Site 6: the cleared banner.
void DrawClearedBanner();
// Site 7: the stranger at its cell.
void DrawStranger();
// Sites 8-12: the score label and four digits, thousands to units; the units
// glyph is always 0 since every change of the score is a multiple of 10.
void DrawScore();
// Sites 13-14: the missed banner and spin frame m - 1 over the walker's cell,
// for m = missTicks after its increment (2, 3 or 4).
void DrawMissedBanner();
// Site 15: the title card.
void DrawTitleCard();

// The glyph shown at each of the four score positions, thousands first.
void ScoreGlyphs(int value, int glyphs[4]);

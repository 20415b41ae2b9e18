// draw_list.cpp — the fifteen draw sites of a frame.
#include "game/draw_list.h"

#include "devices/graphics.h"
#include "game/game_state.h"

namespace {

// Shared by every draw; identical for all fifteen sites.
const D3DXVECTOR2 kScaling{1.0f, 1.0f};
const D3DXVECTOR2 kRotationCentre{1.0f, 1.0f};
constexpr float kRotation = 0.0f;
constexpr D3DCOLOR kOpaqueWhite = 0xFFFFFFFF;

void DrawImage(ID3DXSprite* sprite, IDirect3DTexture9* texture, LONG left, LONG top, LONG right, LONG bottom,
               float x, float y) {
  if (sprite == nullptr) return;
  const RECT source{left, top, right, bottom};
  const D3DXVECTOR2 position{x, y};
  sprite->Draw(texture, &source, &kScaling, &kRotationCentre, kRotation, &position, kOpaqueWhite);
}

void DrawCell(ID3DXSprite* sprite, IDirect3DTexture9* texture, float column, float row) {
  DrawImage(sprite, texture, 0, 0, kCellSize, kCellSize, kCellSize * column, kCellSize * row);
}

void DrawGlyph(int digit, float x) {
  const LONG left = kCellSize * digit;
  DrawImage(digitStripSprite, digitStripTexture, left, 0, left + kCellSize, kCellSize, x, kScoreRowY);
}

}  // namespace

void DrawBoard() {
  // Seven floor rows: the seventh lies under the score row.
  for (int c = 0; c < kColumns; ++c) {
    for (int r = 0; r < 7; ++r) {
      DrawCell(floorSprite, floorTexture, static_cast<float>(c), static_cast<float>(r));
    }
  }
  for (int i = 0; i < kBlockCount; ++i) DrawCell(blockSprite, blockTexture, blockX[i], blockY[i]);
  for (int i = 0; i < kGemCount; ++i) {
    if (gemTaken[i] == 0) DrawCell(gemSprite, gemTexture, gemX[i], gemY[i]);
  }
  DrawCell(partnerSprite, partnerTexture, partnerX, partnerY);
  DrawCell(walkerSprite, walkerTexture, walkerX, walkerY);
}

void DrawClearedBanner() { DrawImage(clearedBannerSprite, clearedBannerTexture, 0, 0, 616, 88, kBannerX, kBannerY); }

void DrawStranger() { DrawCell(strangerSprite, strangerTexture, strangerX, strangerY); }

void ScoreGlyphs(int value, int glyphs[4]) {
  glyphs[0] = (value % 10000) / 1000;
  glyphs[1] = (value % 1000) / 100;
  glyphs[2] = (value % 100) / 10;
  glyphs[3] = 0;
}

void DrawScore() {
  DrawImage(scoreLabelSprite, scoreLabelTexture, 0, 0, 440, 88, 0, kScoreRowY);
  int glyphs[4];
  ScoreGlyphs(score, glyphs);
  DrawGlyph(glyphs[3], kUnitsX);
  DrawGlyph(glyphs[2], kTensX);
  DrawGlyph(glyphs[1], kHundredsX);
  DrawGlyph(glyphs[0], kThousandsX);
}

void DrawMissedBanner() {
  DrawImage(missedBannerSprite, missedBannerTexture, 0, 0, 616, 88, kBannerX, kBannerY);
  // Frames 1-3 for m = 2-4; clamp so a count outside that range can never
  // cut a rectangle outside the strip.
  int frame = missTicks - 1;
  if (frame < 0) frame = 0;
  if (frame > 3) frame = 3;
  const LONG left = kCellSize * frame;
  DrawImage(spinStripSprite, spinStripTexture, left, 0, left + kCellSize, kCellSize, kCellSize * walkerX,
            kCellSize * walkerY);
}

void DrawTitleCard() { DrawImage(titleCardSprite, titleCardTexture, 0, 0, 792, 640, 0, 0); }

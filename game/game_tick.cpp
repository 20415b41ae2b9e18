// game_tick.cpp — GameTick and the rules it runs in the scene.
#include "game/game_tick.h"

#include <cstring>

#include "devices/graphics.h"
#include "devices/keyboard.h"
#include "devices/sound.h"
#include "game/cues.h"
#include "game/draw_list.h"
#include "game/game_state.h"
#include "game/movement.h"

namespace {

void RunClearedSequence() {
  StopCue(Cue::Bgm);
  StartCueOnce(Cue::Clear);
  score += 100;
  Sleep(kSequencePauseMs);
  StartCueLooping(Cue::Bgm);
  clearTicks = 0;
  ResetRound();
}

// The arrow keys of one keyboard snapshot; runs on every path of the tick.
void PollKeyboard() {
  if (keyboardDevice == nullptr) return;
  const HRESULT acquired = keyboardDevice->Acquire();
  if (acquired != DI_OK && acquired != S_FALSE) return;
  BYTE keyState[256];
  if (FAILED(keyboardDevice->GetDeviceState(sizeof keyState, keyState))) {
    // A failed read must not turn stale bytes into held keys.
    std::memset(keyState, 0, sizeof keyState);
  }
  ApplyArrowKeys(keyState);
}

bool WalkerMeetsStranger() { return walkerX == strangerX && walkerY == strangerY; }

}  // namespace

void TakeGems() {
  for (int i = 0; i < kGemCount; ++i) {
    if (gemX[i] == walkerX && gemY[i] == walkerY && gemX[i] == partnerX && gemY[i] == partnerY && gemTaken[i] == 0) {
      gemTaken[i] = 1;
      StartCueOnce(Cue::Get);
      score += 10;
    }
  }
}

void CountCleared() {
  int taken = 0;
  for (int i = 0; i < kGemCount; ++i) {
    if (gemTaken[i] == 1) ++taken;
  }
  if (taken != kGemCount) return;
  ++clearTicks;
  if (clearTicks == 3) RunClearedSequence();
}

void StepStranger() {
  if (TakeRandom() % 2 == 0) {
    // Both values are taken before anything moves.
    const float dx = static_cast<float>(TakeRandom() % 3 - 1);
    const float dy = static_cast<float>(TakeRandom() % 3 - 1);
    strangerX += dx;
    if (StrangerOnBlock() == 1) {
      // A blocked column move cancels the whole step.
      strangerX -= dx;
    } else {
      strangerY += dy;
      if (StrangerOnBlock() == 1) strangerY -= dy;
    }
  }
  if (strangerX < 0) strangerX = 0;
  if (strangerX > 8) strangerX = 8;
  if (strangerY < 0) strangerY = 0;
  if (strangerY > 5) strangerY = 5;
}

void RunMissedSequence() {
  score -= 100;
  if (score < 0) {
    score = 0;
    titleShown = 1;
    StopCue(Cue::Bgm);
    StartCueOnce(Cue::Over);
    Sleep(kSequencePauseMs);
    StartCueLooping(Cue::Start);
  } else {
    StopCue(Cue::Bgm);
    StartCueOnce(Cue::Over);
    Sleep(kSequencePauseMs);
    StartCueLooping(Cue::Bgm);
  }
  missTicks = 0;
  ResetRound();
}

TickObserver tickObserver = nullptr;

namespace {

HRESULT RunTick() {
  if (graphicsDevice == nullptr) return E_FAIL;

  graphicsDevice->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFFFFFF, 1.0f, 0);
  if (SUCCEEDED(graphicsDevice->BeginScene())) {
    if (titleShown == 0) {
      DrawBoard();
      TakeGems();
      // Judged on the count from before this tick's cleared count.
      if (clearTicks > 0) DrawClearedBanner();
      CountCleared();
      StepStranger();
      DrawStranger();
      DrawScore();
      if (missTicks > 0) {
        ++missTicks;
        DrawMissedBanner();
      }
      // Runs in every play tick, so a walker still on the stranger's cell
      // holds the spin at its first frame and delays the penalty.
      if (WalkerMeetsStranger()) missTicks = 1;
      if (missTicks == 4) RunMissedSequence();
    }
    // After a game over this covers the last play frame in the same tick.
    if (titleShown == 1) DrawTitleCard();
  }
  graphicsDevice->EndScene();
  PollKeyboard();
  return graphicsDevice->Present(nullptr, nullptr, nullptr, nullptr);
}

}  // namespace

HRESULT GameTick() {
  if (tickObserver != nullptr) tickObserver(false);
  const HRESULT presented = RunTick();
  if (tickObserver != nullptr) tickObserver(true);
  return presented;
}

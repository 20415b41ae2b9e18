// window_proc.cpp — WindowProc and StartGame.
#include "app/window_proc.h"

#include "devices/sound.h"
#include "game/cues.h"
#include "game/game_state.h"
#include "game/game_tick.h"
#include "game/movement.h"

void StartGame() {
  titleShown = 0;
  // Results not tested: a failed cue only leaves the game without it. Play on
  // the already looping game music does not restart it.
  StopCue(Cue::Start);
  StartCueLooping(Cue::Bgm);
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_DESTROY:
      PostQuitMessage(0);
      break;
    case WM_KEYDOWN:
      switch (wParam & 0xFF) {
        case VK_ESCAPE:
          PostQuitMessage(0);
          break;
        case VK_SPACE:
          StartGame();
          break;
        default:
          break;
      }
      break;
    case WM_TIMER:
      // Whatever the timer id: the game runs only one timer.
      GameTick();
      break;
    case WM_LBUTTONDOWN: {
      // Client coordinates, both read as unsigned 16-bit values.
      const unsigned x = static_cast<unsigned>(lParam) & 0xFFFF;
      const unsigned y = (static_cast<unsigned>(lParam) >> 16) & 0xFFFF;
      if (const auto direction = ClickDirection(x, y)) StepWalker(*direction);
      break;
    }
    case WM_LBUTTONDBLCLK:
      StartGame();
      break;
    default:
      break;
  }
  // Every message, handled or not, gets the default handling too: that is
  // how the close box reaches WM_DESTROY.
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

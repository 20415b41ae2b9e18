// win_main.cpp — WinMain: start-up order, message loop and shutdown.
#include "app/win_main.h"

#include <cstring>

#include "app/window_proc.h"
#include "devices/graphics.h"
#include "devices/keyboard.h"
#include "devices/main_window.h"
#include "devices/sound.h"
#include "game/cues.h"
#include "game/game_state.h"

int CenterWindow(HWND window) {
  RECT desktop{};
  RECT rect{};
  GetWindowRect(GetDesktopWindow(), &desktop);
  GetWindowRect(window, &rect);
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  // Signed, truncated toward zero; the desktop's left and top are not used.
  const int x = (desktop.right - width) / 2;
  const int y = (desktop.bottom - height) / 2;
  SetWindowPos(window, HWND_TOP, x, y, width, height, SWP_SHOWWINDOW);
  return 1;
}

namespace {

int RunMessageLoop(HINSTANCE instance) {
  MSG msg;
  std::memset(&msg, 0, sizeof msg);
  while (msg.message != WM_QUIT) {
    if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    } else {
      // Idle: the game cursor over the class's arrow. The platform's
      // PeekMessageA waits for the next event here rather than spinning.
      SetCursor(LoadCursorA(instance, MAKEINTRESOURCEA(kGameCursorGroup)));
    }
  }
  return static_cast<int>(msg.wParam);
}

// A sound start-up failure: release whatever exists, end with -1.
int FailSound() {
  ReleaseSound();
  return kExitSoundFailed;
}

}  // namespace

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nCmdShow) {
  // Only the instance is read: no command line, and the window is always
  // shown with SW_SHOW.
  (void)hPrevInstance;
  (void)lpCmdLine;
  (void)nCmdShow;

  mainWindow = nullptr;

  WNDCLASSEXA windowClass;
  std::memset(&windowClass, 0, sizeof windowClass);
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;  // double clicks arrive as such
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = hInstance;
  windowClass.hIcon = LoadIconA(hInstance, MAKEINTRESOURCEA(kAppIconGroup));
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  windowClass.lpszClassName = "VELMORA";
  windowClass.hIconSm = LoadIconA(hInstance, MAKEINTRESOURCEA(kAppIconGroup));
  RegisterClassExA(&windowClass);

  mainWindow = CreateWindowExA(0, "VELMORA", "VELMORA", WS_OVERLAPPEDWINDOW, 0, 0, 800, 640, nullptr, nullptr,
                               hInstance, nullptr);
  // Without a window there is nothing to draw into or to take input from;
  // stop here rather than run every device against a null window.
  if (mainWindow == nullptr) return kExitNoWindow;

  CenterWindow(mainWindow);
  ShowWindow(mainWindow, SW_SHOW);
  UpdateWindow(mainWindow);

  // Graphics has told the user in a message box; the keyboard fails silently.
  if (FAILED(InitGraphics(mainWindow))) return kExitNormal;
  if (FAILED(InitKeyboard(mainWindow))) return kExitNormal;

  if (!InitSound()) return FailSound();
  if (!CreatePrimaryBuffer()) return FailSound();
  // In cue order; the first failure stops, the cues after it are not tried.
  if (!LoadWave(&bgmBuffer, "bgm.wav")) return FailSound();
  if (!LoadWave(&getBuffer, "get.wav")) return FailSound();
  if (!LoadWave(&clearBuffer, "clear.wav")) return FailSound();
  if (!LoadWave(&overBuffer, "over.wav")) return FailSound();
  if (!LoadWave(&startBuffer, "start.wav")) return FailSound();

  ResetRound();
  StartCueLooping(Cue::Start);

  const int exitCode = RunMessageLoop(hInstance);

  ReleaseGraphicsAndInput();
  ReleaseSound();
  return exitCode;
}

// velmora.cpp — the game's executable.
//
// The process entry is the platform's: velmora_entry_sdl provides main(),
// which sets up the SDL host and calls WinMain (win_main.cpp) with this
// module's handle. This file only names the program for the build and the
// packaging: the window class and caption both read "VELMORA".
#include <windows.h>

// Referenced so that a link without the entry object fails loudly here
// rather than producing a program without WinMain.
[[gnu::used]] static int (*const kProgramEntry)(HINSTANCE, HINSTANCE, LPSTR, int) = WinMain;

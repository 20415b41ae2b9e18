// velmora.cpp — the game's executable.
//
// The process entry is entry/sdl_main.cpp (velmora_entry_sdl): main()
// sets up the SDL host and runs WinMain (win_main.cpp) on it. This file only names the program for the build and the
// packaging: the window class and caption both read "VELMORA".
#include <windows.h>

// Referenced so that a link without the entry object fails loudly here
// rather than producing a program without WinMain.
[[gnu::used]] static int (*const kProgramEntry)(HINSTANCE, HINSTANCE, LPSTR, int) = WinMain;

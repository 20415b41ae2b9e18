// main_window.cpp — storage of the main window's handle.
#include "devices/main_window.h"

HWND mainWindow = nullptr;

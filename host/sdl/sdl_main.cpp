// sdl_main.cpp — the process entry of the desktop program.
//
// Chooses the SDL host and calls the program's WinMain as the platform
// would: the program's module handle, no previous instance, the command
// line after the program name, SW_SHOWDEFAULT. WinMain's result is the
// exit code.
// Depends on: host/sdl, platform/win32 (GetModuleHandleA), the program's
// WinMain.
#include <windows.h>

#include <string>

#include "host/sdl/sdl_host.h"

int main(int argc, char** argv) {
  std::string commandLine;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) commandLine += ' ';
    std::string arg = argv[i];
    // Arguments with blanks are quoted, as the platform's command line has them.
    commandLine += arg.find_first_of(" \t") == std::string::npos ? arg : "\"" + arg + "\"";
  }
  int code;
  {
    host::SdlHost sdlHost;
    if (!sdlHost.Ok()) return 1;
    host::SetCurrent(&sdlHost);
    code = WinMain(GetModuleHandleA(nullptr), nullptr, commandLine.data(), SW_SHOWDEFAULT);
    host::SetCurrent(nullptr);
  }
  return code;
}

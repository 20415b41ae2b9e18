// sdl_main.cpp — the process entry of the desktop program.
//
// Chooses the SDL host and runs the program on it; WinMain's result is the
// exit code. An unknown VELMORA_D3D_PROFILE ends the process with 2 before
// any window opens.
// Depends on: entry/run_program.h, entry/device_profile.h, host/sdl (the
// desktop host), the program's WinMain.
#include <cstdio>

#include "entry/device_profile.h"
#include "entry/run_program.h"
#include "host/sdl/sdl_host.h"

int main(int argc, char** argv) {
  const std::string commandLine = entry::CommandLine(argc, argv);
  host::SdlHost sdlHost;
  if (!sdlHost.Ok()) return 1;
  std::string error;
  if (!entry::CheckDeviceProfile(sdlHost.DeviceProfile(), &error)) {
    std::fprintf(stderr, "velmora: VELMORA_D3D_PROFILE: %s\n", error.c_str());
    return 2;
  }
  return entry::RunProgram(sdlHost, commandLine);
}

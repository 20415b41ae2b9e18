// web_main.cpp — the process entry of the program in a web browser.
//
// Chooses the browser host and runs the program on it. The browser has no
// command line and no exit code: when WinMain returns, the page says the
// program has ended and shows its result. An unknown Direct3D profile in
// the page address (`d3d-profile=`) ends it with 2 before the window opens.
// Depends on: entry/run_program.h, entry/device_profile.h, host/web (the
// browser host), the program's WinMain.
#include "entry/device_profile.h"
#include "entry/run_program.h"
#include "host/web/web_host.h"

int main() {
  host::WebHost webHost;
  std::string error;
  if (!entry::CheckDeviceProfile(webHost.DeviceProfile(), &error)) {
    webHost.Ended(2, "d3d-profile: " + error);
    return 2;
  }
  const int exitCode = entry::RunProgram(webHost, "");
  webHost.Ended(exitCode);
  return exitCode;
}

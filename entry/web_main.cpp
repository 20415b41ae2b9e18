// web_main.cpp — the process entry of the program in a web browser.
//
// Chooses the browser host and runs the program on it. The browser has no
// command line and no exit code: when WinMain returns, the page says the
// program has ended and shows its result.
// Depends on: entry/run_program.h, host/web (the browser host), the
// program's WinMain.
#include "entry/run_program.h"
#include "host/web/web_host.h"

int main() {
  host::WebHost webHost;
  const int exitCode = entry::RunProgram(webHost, "");
  webHost.Ended(exitCode);
  return exitCode;
}

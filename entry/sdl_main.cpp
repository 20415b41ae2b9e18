// sdl_main.cpp — the process entry of the desktop program.
//
// Reads its own options (--help, --version), chooses the SDL host and runs
// the program on it; WinMain's result is the exit code. When that is not 0
// it says on standard error why, as far as it can know (see diagnostics.h).
// An unknown VELMORA_D3D_PROFILE, or a VELMORA_FAULT that is not a list of
// CALL[:N] (host/run_options.h), ends the process with 2 before any window
// opens.
// Depends on: entry/run_program.h, entry/device_profile.h,
// entry/command_line.h, entry/diagnostics.h, host/sdl (the desktop host),
// platform/win32/file_failures.h, the program's WinMain.
#include <cstdio>
#include <cstdlib>

#include "entry/command_line.h"
#include "entry/device_profile.h"
#include "entry/diagnostics.h"
#include "entry/run_program.h"
#include "host/run_options.h"
#include "host/sdl/sdl_host.h"
#include "platform/win32/file_failures.h"

namespace {

int Report(int code, const entry::EndFindings& findings) {
  for (const std::string& line : entry::DiagnosticLines(code, findings)) std::fprintf(stderr, "%s\n", line.c_str());
  return code;
}

}  // namespace

int main(int argc, char** argv) {
  const entry::Arguments args = entry::ParseArguments(argc, argv);
  switch (args.launch) {
    case entry::Launch::Help:
      std::fputs(entry::UsageText().c_str(), stdout);
      return 0;
    case entry::Launch::Version:
      std::fputs(entry::VersionText().c_str(), stdout);
      return 0;
    case entry::Launch::Unknown:
      std::fprintf(stderr, "velmora: unknown option '%s'\n%s", args.unknown.c_str(), entry::UsageText().c_str());
      return 2;
    case entry::Launch::Run:
      break;
  }
  host::SdlHost sdlHost;
  entry::EndFindings findings;
  if (!sdlHost.Ok()) {
    findings.noDisplay = true;
    findings.systemError = sdlHost.LastError();
    return Report(1, findings);
  }
  std::string error;
  if (!entry::CheckDeviceProfile(sdlHost.DeviceProfile(), &error)) {
    std::fprintf(stderr, "velmora: VELMORA_D3D_PROFILE: %s\n", error.c_str());
    return 2;
  }
  if (const char* faults = std::getenv("VELMORA_FAULT")) {
    const auto plan = host::ParseFaultList(faults);
    if (!plan) {
      std::fprintf(stderr, "velmora: VELMORA_FAULT takes CALL[:N] items separated by commas\n");
      return 2;
    }
    for (const host::Fault& f : *plan) sdlHost.FailAt(f.call, f.nth);
  }
  // The game reads no command line.
  const int code = entry::RunProgram(sdlHost, "");
  if (code == 0) return 0;
  findings.noAudio = sdlHost.AudioFailed();
  findings.audioError = sdlHost.AudioError();
  if (auto file = platform::LastUnopenedFile()) {
    findings.fileName = file->name;
    findings.fileFolder = file->folder;
    findings.fileReason = file->reason;
  }
  findings.systemError = sdlHost.LastError();
  return Report(code, findings);
}

// sdl_main.cpp — the process entry of the desktop program.
//
// Reads its own options (--help, --version, --record, --replay), chooses the
// SDL host and runs the program on it (recording it, or showing a
// recording); WinMain's result is the exit code. When that is not 0 it says
// on standard error why, as far as it can know (see diagnostics.h), and, to
// a player without a terminal, in a dialog as well. An unknown
// VELMORA_D3D_PROFILE, or a VELMORA_FAULT that is not a list of CALL[:N]
// (host/run_options.h), ends the process with 2 before any window opens. A
// Wayland session gets one line about the arrow keys at start.
// Depends on: entry/run_program.h, entry/device_profile.h,
// entry/command_line.h, entry/diagnostics.h, host/sdl (the desktop host),
// platform/win32/file_failures.h, the program's WinMain.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "entry/command_line.h"
#include "entry/device_profile.h"
#include "entry/diagnostics.h"
#include "entry/recorded_run.h"
#include "entry/run_program.h"
#include "host/run_options.h"
#include "host/sdl/sdl_host.h"
#include "host/sdl/startup_checks.h"
#include "platform/win32/file_failures.h"

namespace {

// The lines on standard error and, for a player who started the game
// without a terminal, in a dialog too.
int Report(int code, const entry::EndFindings& findings, bool dialog) {
  const std::vector<std::string> lines = entry::DiagnosticLines(code, findings);
  for (const std::string& line : lines) std::fprintf(stderr, "%s\n", line.c_str());
  if (dialog) host::sdl::ShowStartupFailure(lines);
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
    // No dialog: without SDL's video there is nothing to show one on.
    if (sdlHost.FailedSubsystem() == "video") {
      findings.noDisplay = true;
    } else {
      findings.failedSubsystem = sdlHost.FailedSubsystem();
    }
    findings.systemError = sdlHost.LastError();
    return Report(1, findings, false);
  }
  const std::string note = host::sdl::WaylandKeyboardNote();
  if (!note.empty()) std::fprintf(stderr, "%s\n", note.c_str());
  std::string error;
  if (!entry::CheckDeviceProfile(sdlHost.DeviceProfile(), &error)) {
    const std::string line = "velmora: VELMORA_D3D_PROFILE: " + error;
    std::fprintf(stderr, "%s\n", line.c_str());
    host::sdl::ShowStartupFailure({line});
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
  if (!args.replayPath.empty()) {
    const int shown = entry::RunReplaying(sdlHost, args.replayPath, &error);
    if (shown == -1 && !error.empty()) std::fprintf(stderr, "velmora: %s\n", error.c_str());
    return shown == -1 && !error.empty() ? 3 : shown;
  }
  const int code = args.recordPath.empty() ? entry::RunProgram(sdlHost, "")
                                           : entry::RunRecording(sdlHost, args.recordPath, "sdl", &error);
  if (!error.empty()) {
    std::fprintf(stderr, "velmora: --record: %s\n", error.c_str());
    return 2;
  }
  if (code == 0) return 0;
  findings.noAudio = sdlHost.AudioFailed();
  findings.audioError = sdlHost.AudioError();
  if (auto file = platform::LastUnopenedFile()) {
    findings.fileName = file->name;
    findings.fileFolder = file->folder;
    findings.fileReason = file->reason;
  }
  findings.systemError = sdlHost.LastError();
  return Report(code, findings, true);
}

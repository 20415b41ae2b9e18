// sdl_main.cpp — the process entry of the desktop program.
//
// Reads its own options (--help, --version, --record, --replay), chooses the
// SDL host and runs the program on it (recording it, or showing a
// recording); WinMain's result is the exit code. When that is not 0 it says
// on standard error why, as far as it can know (see diagnostics.h).
// An unknown VELMORA_D3D_PROFILE ends the process with 2 before any window
// opens.
// Depends on: entry/run_program.h, entry/device_profile.h,
// entry/command_line.h, entry/diagnostics.h, host/sdl (the desktop host),
// platform/win32/file_failures.h, the program's WinMain.
#include <cstdio>

#include "entry/command_line.h"
#include "entry/device_profile.h"
#include "entry/diagnostics.h"
#include "entry/recorded_run.h"
#include "entry/run_program.h"
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
  return Report(code, findings);
}

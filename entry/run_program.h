// run_program.h — running the program on a host.
//
// Provides: entry::RunProgram, the one way every process entry runs the
// program (the desktop's main(), the replay tool, benchmarks, whole-program
// tests, and any new host's entry): make the host current, route the image
// library's allocation faults to it, call WinMain as the platform would (the
// module's handle, no previous instance, the command line, SW_SHOWDEFAULT)
// and unset the host again. entry::CommandLine joins a process's arguments
// into the platform's single command-line string.
// Depends on: host/host.h, windows.h (WinMain, from the program),
// gfx/allocation_hook.h.
#pragma once

#include <string>

#include "host/host.h"

namespace entry {

// Runs WinMain on `host` and returns its result, the program's exit code.
// `commandLine` is what WinMain sees: the arguments after the program name.
int RunProgram(host::Host& host, const std::string& commandLine);

// argv[1..] joined by blanks; an argument holding a blank or tab is quoted,
// as the platform's command line has it.
std::string CommandLine(int argc, char** argv);

}  // namespace entry

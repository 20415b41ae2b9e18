// run_program.cpp — running the program on a host.
// Depends on: entry/run_program.h, windows.h, gfx/allocation_hook.h.
#include "entry/run_program.h"

#include <windows.h>

#include <vector>

#include "gfx/allocation_hook.h"

namespace entry {
namespace {

// The image library knows no host; its allocations answer to the host's
// "alloc" fault only through this hook.
bool HostFailsAllocation() { return host::ShouldFail("alloc"); }

}  // namespace

int RunProgram(host::Host& host, const std::string& commandLine) {
  host::SetCurrent(&host);
  gfx::SetAllocationFailureHook(&HostFailsAllocation);
  // WinMain takes a writable string, as the platform's does.
  std::vector<char> line(commandLine.begin(), commandLine.end());
  line.push_back('\0');
  const int code = WinMain(GetModuleHandleA(nullptr), nullptr, line.data(), SW_SHOWDEFAULT);
  gfx::SetAllocationFailureHook(nullptr);
  host::SetCurrent(nullptr);
  return code;
}

std::string CommandLine(int argc, char** argv) {
  std::string line;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) line += ' ';
    const std::string arg = argv[i];
    line += arg.find_first_of(" \t") == std::string::npos ? arg : "\"" + arg + "\"";
  }
  return line;
}

}  // namespace entry

// command_line.h — the Linux entry's own options.
//
// Provides: entry::ParseArguments (--help and --version print and end with
// 0 before a window opens; --record FILE and --replay FILE choose how the
// program runs; anything else is unknown: usage and 2) and the texts it
// prints. The game itself reads no command line.
// Depends on: the C++ standard library only.
#pragma once

#include <string>

namespace entry {

enum class Launch { Run, Help, Version, Unknown };

struct Arguments {
  Launch launch = Launch::Run;
  std::string unknown;  // the first argument not understood
  std::string recordPath;  // --record FILE: write the session there
  std::string replayPath;  // --replay FILE: show that session instead of playing
};

Arguments ParseArguments(int argc, const char* const* argv);
std::string UsageText();
std::string VersionText();

}  // namespace entry

// command_line.cpp — --help, --version and nothing else.
#include "entry/command_line.h"

#include <cstring>

#ifndef VELMORA_VERSION
#define VELMORA_VERSION "unknown"
#endif

namespace entry {

Arguments ParseArguments(int argc, const char* const* argv) {
  Arguments a;
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i] ? argv[i] : "";
    if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
      a.launch = Launch::Help;
      return a;
    }
    if (std::strcmp(arg, "--version") == 0) {
      a.launch = Launch::Version;
      return a;
    }
    if (a.launch == Launch::Run) {
      a.launch = Launch::Unknown;
      a.unknown = arg;
    }
  }
  return a;
}

std::string UsageText() {
  return "Usage: velmora [-h | --help | --version]\n"
         "\n"
         "Velmora, a mirror puzzle game. Started without options it opens its window\n"
         "and reads its five WAV files from the working directory.\n"
         "\n"
         "Controls: Space or a double click starts a game; the arrow keys, the d-pad or\n"
         "the left stick step; Escape or the gamepad's Back button quits; Alt+Enter or\n"
         "F11 toggles fullscreen.\n"
         "\n"
         "Environment: SDL_AUDIODRIVER=dummy plays without sound; VELMORA_DEBUG_OUTPUT=1\n"
         "prints the image library's messages.\n"
         "\n"
         "  -h, --help  print this and exit\n"
         "  --version   print the version and exit\n";
}

std::string VersionText() { return std::string("velmora ") + VELMORA_VERSION + "\n"; }

}  // namespace entry

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
    const bool record = std::strcmp(arg, "--record") == 0;
    if (record || std::strcmp(arg, "--replay") == 0) {
      std::string& path = record ? a.recordPath : a.replayPath;
      if (i + 1 < argc && argv[i + 1] != nullptr && argv[i + 1][0] != '\0' && path.empty()) {
        path = argv[++i];
        continue;
      }
      if (a.launch == Launch::Run) {
        a.launch = Launch::Unknown;
        a.unknown = std::string(arg) + (path.empty() ? " (needs a FILE)" : " (given twice)");
      }
      continue;
    }
    if (a.launch == Launch::Run) {
      a.launch = Launch::Unknown;
      a.unknown = arg;
    }
  }
  if (a.launch == Launch::Run && !a.recordPath.empty() && !a.replayPath.empty()) {
    a.launch = Launch::Unknown;
    a.unknown = "--record with --replay";
  }
  return a;
}

std::string UsageText() {
  return "Usage: velmora [-h | --help | --version | --record FILE | --replay FILE]\n"
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
         "  -h, --help     print this and exit\n"
         "  --version      print the version and exit\n"
         "  --record FILE  play, writing everything the game takes in (keys, clicks,\n"
         "                 times) to FILE: attach it to a bug report\n"
         "  --replay FILE  show a recorded game again at its pace (Tab or F: faster,\n"
         "                 Escape: stop)\n";
}

std::string VersionText() { return std::string("velmora ") + VELMORA_VERSION + "\n"; }

}  // namespace entry

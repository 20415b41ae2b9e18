// diagnostics.h — why the program ended, in words, for standard error.
//
// Provides: entry::DiagnosticLines: when the program ends non-zero, one
// line for each reason the entry can know (no display, a part of SDL that
// did not start, no audio output, a file that could not be opened, the last
// SDL error), each with its fix where there is one. The program itself
// shows nothing for these and returns its code; the lines are the Linux
// entry's (printed, and shown in a dialog to a player without a terminal).
// Depends on: the C++ standard library only.
#pragma once

#include <string>
#include <vector>

namespace entry {

struct EndFindings {
  bool noDisplay = false;
  std::string failedSubsystem;  // SDL's part that did not start ("events", "timer")
  bool noAudio = false;
  std::string audioError;   // the host's words for the failed audio output
  std::string fileName;     // the last file that could not be opened, if any
  std::string fileFolder;   // the folder it was looked for in
  std::string fileReason;
  std::string systemError;  // the host's last error (SDL_GetError), if any
};

std::vector<std::string> DiagnosticLines(int exitCode, const EndFindings& findings);

}  // namespace entry

// diagnostics.cpp — the texts of the start-up diagnostics.
#include "entry/diagnostics.h"

namespace entry {

std::vector<std::string> DiagnosticLines(int exitCode, const EndFindings& f) {
  std::vector<std::string> lines;
  if (exitCode == 0) return lines;
  if (f.noDisplay) {
    lines.push_back("velmora: cannot open a display" + (f.systemError.empty() ? "" : " (" + f.systemError + ")") +
                    "; start it from a desktop session, or set DISPLAY (X11) or WAYLAND_DISPLAY");
    return lines;  // nothing else ran
  }
  if (!f.failedSubsystem.empty()) {
    lines.push_back("velmora: SDL's " + f.failedSubsystem + " subsystem did not start" +
                    (f.systemError.empty() ? "" : " (" + f.systemError + ")"));
    return lines;
  }
  if (f.noAudio) {
    lines.push_back("velmora: no audio output" + (f.audioError.empty() ? "" : " (" + f.audioError + ")") +
                    "; to play without sound: SDL_AUDIODRIVER=dummy velmora");
  }
  if (!f.fileName.empty()) {
    lines.push_back("velmora: cannot open " + f.fileName + " in " + (f.fileFolder.empty() ? "?" : f.fileFolder) +
                    (f.fileReason.empty() ? "" : " (" + f.fileReason + ")") +
                    "; start the game from the folder that holds its WAV files (the installed launcher "
                    "'velmora' does)");
  }
  if (lines.empty() && !f.systemError.empty()) {
    lines.push_back("velmora: ended with exit code " + std::to_string(exitCode) + "; SDL said: " + f.systemError);
  }
  if (lines.empty()) lines.push_back("velmora: ended with exit code " + std::to_string(exitCode));
  return lines;
}

}  // namespace entry

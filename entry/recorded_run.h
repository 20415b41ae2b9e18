// recorded_run.h — running the program while recording it, and showing a
// recording again.
//
// Provides: entry::RunRecording (the program on a host, every answer it
// takes from the host written to a session file as it runs, closed with the
// exit code) and entry::RunReplaying (a session answered to the program
// again while a real host shows it at the recorded pace; Tab or F speeds it
// up, Escape stops). Either logs a hash of every presented frame to the file
// named by VELMORA_FRAME_HASHES, the switch the recording tests compare by.
// Depends on: entry/run_program.h, host/record.
#pragma once

#include <string>

#include "host/host.h"

namespace entry {

// The program's exit code; -1 with `error` set when the file cannot be made.
// `hostName` goes in the session's header.
int RunRecording(host::Host& host, const std::string& path, const std::string& hostName, std::string* error);

// The recorded program's exit code; -1 with `error` set when the file cannot
// be read or the program leaves the recorded path (the error names the line).
int RunReplaying(host::Host& window, const std::string& path, std::string* error);

}  // namespace entry

// replay_options.h — the command line of velmora-replay.
//
// Provides: ReplayOptions and ParseReplayOptions for
//   velmora-replay --out DIR [--time SECONDS] [--until MS] [--profile NAME]
//                  [--fault CALL[:N]]... [--frames all|none|T1,T2,...]
//                  [--cwd DIR] [--record FILE] SCRIPT
//   velmora-replay --out DIR --session FILE [--until MS] [--frames ...] [--cwd DIR]
// and the usage text.
// Depends on: host/run_options.h (the values every run option shares).
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "host/run_options.h"

namespace replay {

// The calendar time a run starts at unless --time says otherwise: fixed, so
// runs repeat.
constexpr int64_t kDefaultCalendarTime = 1700000000;

enum class FrameChoice { All, None, Listed };

struct ReplayOptions {
  bool help = false;
  std::string outDir;
  int64_t calendarTime = kDefaultCalendarTime;
  std::optional<uint64_t> untilMs;
  std::optional<std::string> profile;
  std::vector<host::Fault> faults;
  FrameChoice frames = FrameChoice::All;
  std::set<uint64_t> frameTicks;  // with FrameChoice::Listed
  std::optional<std::string> cwd;
  std::string script;
  std::optional<std::string> session;  // a recorded session instead of a script
  std::optional<std::string> record;   // write the script's run as a session
};

const char* ReplayUsage();

// False with `error` set on a bad command line.
bool ParseReplayOptions(const std::vector<std::string>& args, ReplayOptions* options, std::string* error);

}  // namespace replay

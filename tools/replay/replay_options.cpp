// replay_options.cpp — parsing velmora-replay's command line.
#include "tools/replay/replay_options.h"

#include <charconv>

#include "host/run_options.h"

namespace replay {

const char* ReplayUsage() {
  return "usage: velmora-replay --out DIR [--time SECONDS] [--until MS] [--profile NAME]\n"
         "                      [--fault CALL[:N]]... [--frames all|none|T1,T2,...] [--cwd DIR]\n"
         "                      [--record FILE] SCRIPT\n"
         "       velmora-replay --out DIR --session FILE [--until MS] [--frames ...] [--cwd DIR]\n"
         "\n"
         "Runs the whole game under the headless host (virtual time) until it exits or\n"
         "until the virtual time limit, and writes to DIR:\n"
         "  trace.jsonl       one JSON object per game tick\n"
         "  frames/tick-N.png the frames presented by the chosen ticks\n"
         "  audio.wav         the mixed sound output\n"
         "  dialogs.jsonl     every message box (text and caption, UTF-8 and hex bytes)\n"
         "  exit-code         the program's exit code (absent when --until stopped it)\n"
         "  frame-hashes.txt  one line per presented frame: N MS WIDTHxHEIGHT HASH\n"
         "\n"
         "  --time SECONDS    calendar time at start (default 1700000000)\n"
         "  --until MS        stop at this virtual time: what is due before MS runs, nothing\n"
         "                    due at or after it does\n"
         "  --profile NAME    Direct3D capability profile (an unknown name lists the known ones)\n"
         "  --fault CALL[:N]  make the named platform call fail at its N-th call (default 1)\n"
         "  --frames WHICH    all (default), none, or a comma-separated list of tick numbers\n"
         "  --cwd DIR         working directory of the program (default: the tool's folder)\n"
         "  --session FILE    replay a recorded session (velmora --record FILE) instead of a\n"
         "                    script; its calendar time, profile and faults are the recorded\n"
         "                    ones. Exit 3 when the program leaves the recorded path\n"
         "  --record FILE     write the script's run as a recorded session\n"
         "\n"
         "SCRIPT: one event a line, '#' starts a comment:\n"
         "  at MS key NAME down|up    NAME: left right up down space escape\n"
         "  at MS click X Y\n"
         "  at MS dblclick X Y\n"
         "  at MS close\n";
}

namespace {

template <typename T>
bool Number(const std::string& text, T* out) {
  if (text.empty()) return false;
  T value{};
  const auto r = std::from_chars(text.data(), text.data() + text.size(), value);
  if (r.ec != std::errc() || r.ptr != text.data() + text.size()) return false;
  *out = value;
  return true;
}

bool ParseFrames(const std::string& value, ReplayOptions* o) {
  if (value == "all") {
    o->frames = FrameChoice::All;
    return true;
  }
  if (value == "none") {
    o->frames = FrameChoice::None;
    return true;
  }
  o->frames = FrameChoice::Listed;
  o->frameTicks.clear();
  size_t start = 0;
  while (start <= value.size()) {
    const size_t comma = value.find(',', start);
    const std::string item = value.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    uint64_t tick = 0;
    if (!Number(item, &tick)) return false;
    o->frameTicks.insert(tick);
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return true;
}

// One option's value, read into the options; false with the reason when it
// is not a value the option takes.
bool TakeValue(const std::string& a, const std::string& v, ReplayOptions* o, std::string* error) {
  if (a == "--out") {
    o->outDir = v;
  } else if (a == "--time") {
    const auto seconds = host::ParseCalendarTime(v);
    if (!seconds) {
      *error = "--time takes whole seconds since 1970, up to the year 9999";
      return false;
    }
    o->calendarTime = *seconds;
  } else if (a == "--until") {
    uint64_t ms = 0;
    if (!Number(v, &ms)) {
      *error = "--until takes milliseconds";
      return false;
    }
    o->untilMs = ms;
  } else if (a == "--profile") {
    o->profile = host::ParseProfileName(v);
    if (!o->profile) {
      *error = "--profile takes a profile name (letters and digits)";
      return false;
    }
  } else if (a == "--fault") {
    auto fault = host::ParseFault(v);
    if (!fault) {
      *error = "--fault takes CALL or CALL:N: a call name (letters, digits, '.', '_') and N from 1 to 1000000";
      return false;
    }
    o->faults.push_back(std::move(*fault));
  } else if (a == "--frames") {
    if (!ParseFrames(v, o)) {
      *error = "--frames takes all, none or tick numbers separated by commas";
      return false;
    }
  } else if (a == "--session") {
    o->session = v;
  } else if (a == "--record") {
    o->record = v;
  } else {
    o->cwd = v;
  }
  return true;
}

// What the options ask for together: an output folder, and either a script
// or a recorded session (which brings its own set-up).
bool CheckTogether(const ReplayOptions& o, std::string* error) {
  if (o.outDir.empty()) {
    *error = "--out DIR is required";
    return false;
  }
  if (o.session) {
    const bool setUp = o.calendarTime != kDefaultCalendarTime || o.profile || !o.faults.empty();
    if (!o.script.empty() || setUp || o.record) {
      *error = "--session replays what was recorded: no SCRIPT, --time, --profile, --fault or --record with it";
      return false;
    }
  } else if (o.script.empty()) {
    *error = "a SCRIPT (or --session FILE) is required";
    return false;
  }
  return true;
}

}  // namespace

bool ParseReplayOptions(const std::vector<std::string>& args, ReplayOptions* o, std::string* error) {
  *o = ReplayOptions();
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--help" || a == "-h") {
      o->help = true;
      return true;
    }
    const bool takesValue = a == "--out" || a == "--time" || a == "--until" || a == "--profile" ||
                            a == "--fault" || a == "--frames" || a == "--cwd" || a == "--session" || a == "--record";
    if (takesValue) {
      if (i + 1 >= args.size()) {
        *error = a + " needs a value";
        return false;
      }
      if (!TakeValue(a, args[++i], o, error)) return false;
    } else if (a.size() > 1 && a[0] == '-') {
      *error = "unknown option " + a;
      return false;
    } else if (o->script.empty()) {
      o->script = a;
    } else {
      *error = "only one SCRIPT may be given";
      return false;
    }
  }
  return CheckTogether(*o, error);
}

}  // namespace replay

// Fuzz target: velmora-replay's script and command-line parsing, and the
// JSON escaping of the message-box texts it writes, on arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/replay/replay_options.h"
#include "tools/replay/replay_script.h"
#include "tools/replay/replay_trace.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::vector<replay::ScriptEvent> events;
  std::string error;
  if (replay::ParseReplayScript(text, &events, &error)) {
    for (const replay::ScriptEvent& e : events) {
      if (e.x < 0 || e.x > 0xFFFF || e.y < 0 || e.y > 0xFFFF) __builtin_trap();
    }
  }
  // The same bytes as a command line, split at NULs.
  std::vector<std::string> args;
  size_t start = 0;
  for (size_t i = 0; i <= size; ++i) {
    if (i == size || data[i] == 0) {
      args.push_back(text.substr(start, i - start));
      start = i + 1;
    }
  }
  replay::ReplayOptions options;
  replay::ParseReplayOptions(args, &options, &error);
  for (const auto& fault : options.faults) {
    if (fault.nth < 1 || fault.call.empty()) __builtin_trap();
  }
  const std::string json = replay::JsonString(text);
  for (unsigned char c : json) {
    if (c < 0x20) __builtin_trap();  // control bytes must come out escaped
  }
  return 0;
}

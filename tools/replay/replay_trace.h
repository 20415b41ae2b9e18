// replay_trace.h — the JSON lines a headless run writes.
//
// Provides: TickRecord (what one trace line holds) and its formatting as
// one line of trace.jsonl; the dialog line of dialogs.jsonl; JSON string
// escaping and hex dumps.
// Depends on: the C++ standard library only.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace replay {

struct TickRecord {
  uint64_t tick = 0;
  uint64_t ms = 0;  // virtual time at which the tick began
  int titleShown = 0;
  float walker[2] = {};
  float partner[2] = {};
  float stranger[2] = {};
  float gems[5][3] = {};  // x, y, taken
  float blocks[10][2] = {};
  int score = 0;
  int clearTicks = 0;
  int missTicks = 0;
  std::vector<std::pair<std::string, std::string>> cues;  // [cue, op]
};

std::string FormatTickLine(const TickRecord& record);

// A JSON string literal, quotes included.
std::string JsonString(const std::string& text);
// Lower-case hex of every byte, no separators.
std::string HexBytes(const std::string& bytes);

// {"text": ..., "textHex": ..., "caption": ... or null, "captionHex": ... or null, "flags": N}
std::string FormatDialogLine(const std::string& textUtf8, const std::string& textBytes,
                             const std::optional<std::string>& captionUtf8,
                             const std::optional<std::string>& captionBytes, uint32_t flags);

}  // namespace replay

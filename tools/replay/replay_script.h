// replay_script.h — the input script of a headless run.
//
// Provides: ParseReplayScript, which reads one event a line ("#" starts a
// comment): "at MS key NAME down|up" (NAME: left, right, up, down, space,
// escape), "at MS click X Y", "at MS dblclick X Y", "at MS close"; and the
// key table mapping each NAME to its host key.
// Depends on: host/host.h (the key numbering) only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/host.h"

namespace replay {

enum class EventKind { Key, Click, DoubleClick, Close };

struct ScriptEvent {
  uint64_t ms = 0;
  EventKind kind = EventKind::Close;
  host::Key key = host::Key::None;  // Key
  bool down = false;
  int x = 0;  // Click, DoubleClick: client pixel
  int y = 0;
  int line = 0;  // where it was written, for messages
};

struct KeyName {
  const char* name;
  host::Key key;
};
// left, right, up, down, space, escape.
const std::vector<KeyName>& KeyNames();

// Parses a whole script. On an error returns false and sets `error` to
// "line N: what is wrong"; `events` then holds nothing useful.
bool ParseReplayScript(const std::string& text, std::vector<ScriptEvent>* events, std::string* error);

}  // namespace replay

// replay_script.cpp — parsing of replay scripts.
#include "tools/replay/replay_script.h"

#include <charconv>
#include <sstream>

namespace replay {

const std::vector<KeyName>& KeyNames() {
  static const std::vector<KeyName> names = {
      {"left", host::Key::Left}, {"right", host::Key::Right}, {"up", host::Key::Up},
      {"down", host::Key::Down}, {"space", host::Key::Space}, {"escape", host::Key::Escape},
  };
  return names;
}

namespace {

// Whole decimal number, no sign, no trailing characters, within `max`.
bool ParseNumber(const std::string& word, uint64_t max, uint64_t* out) {
  if (word.empty()) return false;
  uint64_t value = 0;
  const auto result = std::from_chars(word.data(), word.data() + word.size(), value);
  if (result.ec != std::errc() || result.ptr != word.data() + word.size() || value > max) return false;
  *out = value;
  return true;
}

bool Fail(int line, const std::string& what, std::string* error) {
  *error = "line " + std::to_string(line) + ": " + what;
  return false;
}

}  // namespace

bool ParseReplayScript(const std::string& text, std::vector<ScriptEvent>* events, std::string* error) {
  events->clear();
  std::istringstream lines(text);
  std::string raw;
  int lineNo = 0;
  // Virtual times of a day at most: keeps sums with the clock far from overflow.
  constexpr uint64_t kMaxMs = 1000ull * 60 * 60 * 24 * 365;
  while (std::getline(lines, raw)) {
    ++lineNo;
    const auto hash = raw.find('#');
    if (hash != std::string::npos) raw.erase(hash);
    std::istringstream words(raw);
    std::vector<std::string> w;
    for (std::string word; words >> word;) w.push_back(word);
    if (w.empty()) continue;

    ScriptEvent e;
    e.line = lineNo;
    if (w[0] != "at") return Fail(lineNo, "expected \"at MS ...\"", error);
    if (w.size() < 3 || !ParseNumber(w[1], kMaxMs, &e.ms)) return Fail(lineNo, "bad time", error);
    const std::string& verb = w[2];
    if (verb == "key") {
      if (w.size() != 5) return Fail(lineNo, "expected \"key NAME down|up\"", error);
      const KeyName* key = nullptr;
      for (const KeyName& k : KeyNames()) {
        if (w[3] == k.name) key = &k;
      }
      if (key == nullptr) return Fail(lineNo, "unknown key \"" + w[3] + "\"", error);
      if (w[4] != "down" && w[4] != "up") return Fail(lineNo, "expected down or up", error);
      e.kind = EventKind::Key;
      e.key = key->key;
      e.down = w[4] == "down";
    } else if (verb == "click" || verb == "dblclick") {
      uint64_t x = 0, y = 0;
      // Client coordinates of a message are 16-bit.
      if (w.size() != 5 || !ParseNumber(w[3], 0xFFFF, &x) || !ParseNumber(w[4], 0xFFFF, &y)) {
        return Fail(lineNo, "expected \"" + verb + " X Y\"", error);
      }
      e.kind = verb == "click" ? EventKind::Click : EventKind::DoubleClick;
      e.x = static_cast<int>(x);
      e.y = static_cast<int>(y);
    } else if (verb == "close") {
      if (w.size() != 3) return Fail(lineNo, "\"close\" takes nothing", error);
      e.kind = EventKind::Close;
    } else {
      return Fail(lineNo, "unknown event \"" + verb + "\"", error);
    }
    events->push_back(e);
  }
  return true;
}

}  // namespace replay

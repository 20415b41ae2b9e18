// session.cpp — writing, reading and unfolding recorded sessions.
#include "host/record/session.h"

#include <charconv>
#include <cstdio>
#include <limits>

namespace host::record {

namespace {

constexpr uint64_t kMaxRepeatCount = 1000000000ull;
constexpr size_t kMaxLineBytes = 8192;
constexpr int64_t kMaxCoordinate = 1 << 20;

struct AnswerName {
  DialogAnswer answer;
  const char* name;
};
constexpr AnswerName kAnswers[] = {
    {DialogAnswer::Ok, "ok"},       {DialogAnswer::Cancel, "cancel"}, {DialogAnswer::Abort, "abort"},
    {DialogAnswer::Retry, "retry"}, {DialogAnswer::Ignore, "ignore"}, {DialogAnswer::Yes, "yes"},
    {DialogAnswer::No, "no"},
};

struct EventName {
  EventType type;
  const char* name;
};
constexpr EventName kEvents[] = {
    {EventType::KeyDown, "kd"},   {EventType::KeyUp, "ku"},    {EventType::MouseDown, "md"},
    {EventType::MouseUp, "mu"},   {EventType::MouseMove, "mm"}, {EventType::Close, "close"},
    {EventType::Expose, "expose"},
};

const char* AnswerText(DialogAnswer a) {
  for (const AnswerName& n : kAnswers) {
    if (n.answer == a) return n.name;
  }
  return "ok";
}

bool IsKeyEvent(EventType t) { return t == EventType::KeyDown || t == EventType::KeyUp; }
bool IsMouseEvent(EventType t) {
  return t == EventType::MouseDown || t == EventType::MouseUp || t == EventType::MouseMove;
}

std::string EventLine(const Event& e, int64_t delta) {
  std::string line = "e " + std::to_string(delta) + " ";
  for (const EventName& n : kEvents) {
    if (n.type == e.type) line += n.name;
  }
  if (IsKeyEvent(e.type)) {
    line += " " + std::to_string(static_cast<int>(e.key)) + " " + std::to_string(e.mods);
    if (e.repeat) line += " r";
  } else if (IsMouseEvent(e.type)) {
    line += " " + std::to_string(e.x) + " " + std::to_string(e.y);
  }
  return line;
}

bool IsTokenByte(unsigned char c) { return c > 0x20 && c < 0x7F && c != '%' && c != '#'; }

}  // namespace

const char* KindName(Kind kind) {
  switch (kind) {
    case Kind::Clock: return "a clock read";
    case Kind::Calendar: return "a calendar time read";
    case Kind::Wait: return "a wait for events";
    case Kind::Poll: return "an event poll";
    case Kind::Keys: return "a keyboard state read";
    case Kind::Audio: return "opening the audio output";
    case Kind::Silent: return "asking for a silent output";
    case Kind::BufferFrames: return "asking the audio latency";
    case Kind::Desktop: return "asking the desktop size";
    case Kind::DeviceProfile: return "asking the device profile";
    case Kind::Profile: return "a profile value read";
    case Kind::Window: return "creating the window";
    case Kind::Dialog: return "a message box";
    case Kind::Frame: return "presenting a frame";
    case Kind::End: return "the end of the program";
  }
  return "?";
}

std::string EscapeToken(const std::string& text) {
  if (text.empty()) return "%";
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : text) {
    if (IsTokenByte(c)) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

bool UnescapeToken(const std::string& token, std::string* text) {
  text->clear();
  if (token == "%") return true;
  if (token.empty()) return false;
  auto hex = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  for (size_t i = 0; i < token.size(); ++i) {
    const auto c = static_cast<unsigned char>(token[i]);
    if (c != '%') {
      if (!IsTokenByte(c)) return false;
      *text += static_cast<char>(c);
      continue;
    }
    if (i + 2 >= token.size()) return false;
    const int hi = hex(token[i + 1]), lo = hex(token[i + 2]);
    if (hi < 0 || lo < 0) return false;
    *text += static_cast<char>(hi * 16 + lo);
    i += 2;
  }
  return true;
}

// --- writing ----------------------------------------------------------------

void SessionWriter::Begin(const std::vector<std::string>& comments) {
  Write(std::string(kSessionMagic) + " " + std::to_string(kSessionVersion));
  for (const std::string& c : comments) {
    std::string safe = c;
    for (char& ch : safe) {
      if (ch == '\n' || ch == '\r') ch = ' ';
    }
    Write("# " + safe);
  }
  Flush(true);
}

void SessionWriter::Write(const std::string& line) {
  if (file_ == nullptr || failed_) return;
  if (std::fputs(line.c_str(), file_) < 0 || std::fputc('\n', file_) == EOF) failed_ = true;
  bytes_ += line.size() + 1;
}

// Records go out through here: a line equal to the one `period` lines back
// continues a repeated stretch, which is written as "r PERIOD COUNT" when it
// breaks (or at a flush) instead of line by line.
void SessionWriter::Emit(std::string line) {
  if (period_ > 0) {
    if (line == history_[history_.size() - static_cast<size_t>(period_)]) {
      partial_.push_back(line);
      if (partial_.size() == static_cast<size_t>(period_)) {
        ++periods_;
        partial_.clear();
      }
    } else {
      EndRun();
    }
  }
  if (period_ == 0) {
    const int most = std::min<int>(kMaxRepeatPeriod, static_cast<int>(history_.size()));
    for (int k = 1; k <= most; ++k) {
      if (line != history_[history_.size() - static_cast<size_t>(k)]) continue;
      period_ = k;
      partial_.push_back(line);
      if (k == 1) {
        periods_ = 1;
        partial_.clear();
      }
      break;
    }
    if (period_ == 0) Write(line);
  }
  history_.push_back(std::move(line));
  if (history_.size() > static_cast<size_t>(kMaxRepeatPeriod)) history_.pop_front();
}

void SessionWriter::EndRun() {
  if (periods_ > 0) {
    const std::string repeat = "r " + std::to_string(period_) + " " + std::to_string(periods_);
    // The last period_ lines of the history are the period turned round by
    // the partial lines, which begin it.
    const size_t k = static_cast<size_t>(period_), m = partial_.size();
    std::vector<std::string> pattern(partial_);
    for (size_t j = m; j < k; ++j) pattern.push_back(history_[history_.size() - k + (j - m)]);
    size_t literal = 0;
    for (const std::string& l : pattern) literal += l.size() + 1;
    if (literal * periods_ <= repeat.size() + 1) {
      for (uint64_t n = 0; n < periods_; ++n) {
        for (const std::string& l : pattern) Write(l);
      }
    } else {
      Write(repeat);
    }
  }
  for (const std::string& l : partial_) Write(l);
  partial_.clear();
  periods_ = 0;
  period_ = 0;
}

void SessionWriter::Flush(bool force) {
  if (force || clock_ >= lastCutMs_ + 1000) {
    EndRun();
    lastCutMs_ = clock_;
  }
  if (file_ != nullptr && !failed_ && std::fflush(file_) != 0) failed_ = true;
}

void SessionWriter::Clock(uint64_t nowMs) {
  const int64_t delta = static_cast<int64_t>(nowMs) - static_cast<int64_t>(clock_);
  clock_ = nowMs;
  Emit("t " + std::to_string(delta));
}

void SessionWriter::Calendar(int64_t seconds) { Emit("c " + std::to_string(seconds)); }
void SessionWriter::Wait(bool ready) { Emit(ready ? "w 1" : "w 0"); }

void SessionWriter::Poll(const Event* event) {
  if (event == nullptr) {
    Emit("p");
    return;
  }
  Emit(EventLine(*event, static_cast<int64_t>(event->timeMs) - static_cast<int64_t>(clock_)));
}

void SessionWriter::Keys(const uint8_t keys[kKeyCount]) {
  std::string line = "k";
  for (int i = 0; i < kKeyCount; ++i) {
    if (keys[i] == 0) continue;
    line += ' ';
    line += std::to_string(i);
    if (keys[i] != 0x80) {
      line += '=';
      line += std::to_string(keys[i]);
    }
  }
  Emit(line);
}

void SessionWriter::Audio(bool opened) { Emit(opened ? "a 1" : "a 0"); }
void SessionWriter::Silent(bool silent) { Emit(silent ? "q 1" : "q 0"); }
void SessionWriter::BufferFrames(int frames) { Emit("b " + std::to_string(frames)); }
void SessionWriter::Desktop(int width, int height) {
  Emit("d " + std::to_string(width) + " " + std::to_string(height));
}
void SessionWriter::DeviceProfile(const std::string& name) { Emit("v " + EscapeToken(name)); }

void SessionWriter::Profile(const std::string& section, const std::string& key,
                            const std::optional<std::string>& value) {
  std::string line = "i " + EscapeToken(section) + " " + EscapeToken(key) + " ";
  if (value) {
    line += '=';
    line += EscapeToken(*value);
  } else {
    line += '-';
  }
  Emit(line);
}

void SessionWriter::Window(bool created) { Emit(created ? "n 1" : "n 0"); }
void SessionWriter::Dialog(DialogAnswer answer) { Emit(std::string("m ") + AnswerText(answer)); }

void SessionWriter::Frame(uint64_t hash) {
  char text[24];
  std::snprintf(text, sizeof text, "h %016llx", static_cast<unsigned long long>(hash));
  Emit(text);
}

void SessionWriter::Fault(const std::string& call, int nth) {
  // Not part of the ordered stream: written at once, the stretch held back first.
  EndRun();
  Write("f " + EscapeToken(call) + " " + std::to_string(nth));
}

void SessionWriter::End(int exitCode) {
  EndRun();
  Write("end " + std::to_string(exitCode));
  Flush(true);
}

// --- reading ----------------------------------------------------------------

namespace {

bool ParseInt(const std::string& word, int64_t lo, int64_t hi, int64_t* out) {
  if (word.empty()) return false;
  int64_t value = 0;
  const char* first = word.data();
  const char* last = first + word.size();
  if (*first == '+') return false;
  const auto r = std::from_chars(first, last, value);
  if (r.ec != std::errc() || r.ptr != last || value < lo || value > hi) return false;
  *out = value;
  return true;
}

bool ParseHash(const std::string& word, uint64_t* out) {
  if (word.size() != 16) return false;
  for (char c : word) {
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  const auto r = std::from_chars(word.data(), word.data() + word.size(), *out, 16);
  return r.ec == std::errc() && r.ptr == word.data() + word.size();
}

bool ParseFlag(const std::vector<std::string>& w, int64_t* out) {
  return w.size() == 2 && ParseInt(w[1], 0, 1, out);
}

bool ParseEvent(const std::vector<std::string>& w, Record* r) {
  if (w.size() < 3) return false;
  int64_t delta = 0;
  if (!ParseInt(w[1], -static_cast<int64_t>(kMaxClockMs), static_cast<int64_t>(kMaxClockMs), &delta)) return false;
  Event e;
  const EventName* type = nullptr;
  for (const EventName& n : kEvents) {
    if (w[2] == n.name) type = &n;
  }
  if (type == nullptr) return false;
  e.type = type->type;
  int64_t a = 0, b = 0;
  if (IsKeyEvent(e.type)) {
    const bool repeat = w.size() == 6 && w[5] == "r" && e.type == EventType::KeyDown;
    if (w.size() != 5 && !repeat) return false;
    if (!ParseInt(w[3], 0, kKeyCount - 1, &a) || !ParseInt(w[4], 0, std::numeric_limits<uint32_t>::max(), &b)) {
      return false;
    }
    e.key = static_cast<Key>(a);
    e.mods = static_cast<uint32_t>(b);
    e.repeat = repeat;
  } else if (IsMouseEvent(e.type)) {
    if (w.size() != 5 || !ParseInt(w[3], -kMaxCoordinate, kMaxCoordinate, &a) ||
        !ParseInt(w[4], -kMaxCoordinate, kMaxCoordinate, &b)) {
      return false;
    }
    e.x = static_cast<int>(a);
    e.y = static_cast<int>(b);
  } else if (w.size() != 3) {
    return false;
  }
  r->value = delta;
  r->event = e;
  return true;
}

bool ParseKeys(const std::vector<std::string>& w, Record* r) {
  int last = -1;
  for (size_t i = 1; i < w.size(); ++i) {
    const auto eq = w[i].find('=');
    int64_t key = 0, value = 0x80;
    if (!ParseInt(w[i].substr(0, eq), 0, kKeyCount - 1, &key)) return false;
    if (eq != std::string::npos && !ParseInt(w[i].substr(eq + 1), 1, 255, &value)) return false;
    if (key <= last) return false;  // in key order, each once
    last = static_cast<int>(key);
    r->keys.emplace_back(static_cast<uint8_t>(key), static_cast<uint8_t>(value));
  }
  return true;
}

bool ParseProfile(const std::vector<std::string>& w, Record* r) {
  if (w.size() != 4 || !UnescapeToken(w[1], &r->name) || !UnescapeToken(w[2], &r->key)) return false;
  if (w[3] == "-") return true;
  std::string value;
  if (w[3].size() < 2 || w[3][0] != '=' || !UnescapeToken(w[3].substr(1), &value)) return false;
  r->text = value;
  return true;
}

bool ParseAnswer(const std::vector<std::string>& w, Record* r) {
  if (w.size() != 2) return false;
  for (const AnswerName& n : kAnswers) {
    if (w[1] == n.name) {
      r->answer = n.answer;
      return true;
    }
  }
  return false;
}

struct Verb {
  const char* word;
  Kind kind;
  const char* shape;  // for messages
};
constexpr Verb kVerbs[] = {
    {"t", Kind::Clock, "t DELTA"},          {"c", Kind::Calendar, "c SECONDS"},
    {"w", Kind::Wait, "w 0|1"},             {"p", Kind::Poll, "p"},
    {"e", Kind::Poll, "e DELTA TYPE ..."},  {"k", Kind::Keys, "k [KEY[=VALUE]]..."},
    {"a", Kind::Audio, "a 0|1"},            {"q", Kind::Silent, "q 0|1"},
    {"b", Kind::BufferFrames, "b FRAMES"},  {"d", Kind::Desktop, "d WIDTH HEIGHT"},
    {"v", Kind::DeviceProfile, "v NAME"},   {"i", Kind::Profile, "i SECTION KEY =VALUE|-"},
    {"n", Kind::Window, "n 0|1"},           {"m", Kind::Dialog, "m ANSWER"},
    {"h", Kind::Frame, "h HASH (16 hex digits)"},
    {"end", Kind::End, "end CODE"},
};

// One record line; false when its words do not fit its verb.
bool ParseRecord(const Verb& verb, const std::vector<std::string>& w, Record* r) {
  r->kind = verb.kind;
  const int64_t kInt = std::numeric_limits<int32_t>::max();
  switch (verb.kind) {
    case Kind::Clock:
      return w.size() == 2 &&
             ParseInt(w[1], -static_cast<int64_t>(kMaxClockMs), static_cast<int64_t>(kMaxClockMs), &r->value);
    case Kind::Calendar:
      return w.size() == 2 && ParseInt(w[1], std::numeric_limits<int64_t>::min(),
                                       std::numeric_limits<int64_t>::max(), &r->value);
    case Kind::Poll:
      return w[0] == "p" ? w.size() == 1 : ParseEvent(w, r);
    case Kind::Keys:
      return ParseKeys(w, r);
    case Kind::Wait:
    case Kind::Audio:
    case Kind::Silent:
    case Kind::Window:
      return ParseFlag(w, &r->value);
    case Kind::BufferFrames:
      return w.size() == 2 && ParseInt(w[1], 0, kInt, &r->value);
    case Kind::Desktop:
      return w.size() == 3 && ParseInt(w[1], 0, kInt, &r->value) && ParseInt(w[2], 0, kInt, &r->value2);
    case Kind::DeviceProfile:
      return w.size() == 2 && UnescapeToken(w[1], &r->name);
    case Kind::Profile:
      return ParseProfile(w, r);
    case Kind::Dialog:
      return ParseAnswer(w, r);
    case Kind::Frame:
      return w.size() == 2 && ParseHash(w[1], &r->hash);
    case Kind::End:
      return w.size() == 2 && ParseInt(w[1], -kInt - 1, kInt, &r->value);
  }
  return false;
}

bool Fail(int line, const std::string& what, std::string* error) {
  *error = "line " + std::to_string(line) + ": " + what;
  return false;
}

std::vector<std::string> Words(const std::string& line) {
  std::vector<std::string> w;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    size_t j = i;
    while (j < line.size() && line[j] != ' ' && line[j] != '\t') ++j;
    if (j > i) w.push_back(line.substr(i, j - i));
    i = j;
  }
  return w;
}

bool ParseHeader(const std::string& line, Session* s, std::string* error) {
  const std::vector<std::string> w = Words(line);
  int64_t version = 0;
  if (w.size() != 2 || w[0] != kSessionMagic || !ParseInt(w[1], 1, std::numeric_limits<int32_t>::max(), &version)) {
    return Fail(1, std::string("not a recorded session (expected \"") + kSessionMagic + " " +
                       std::to_string(kSessionVersion) + "\")", error);
  }
  if (version > kSessionVersion) {
    return Fail(1, "format version " + std::to_string(version) + " is newer than this program reads (" +
                       std::to_string(kSessionVersion) + "); replay it with a newer velmora", error);
  }
  s->version = static_cast<int>(version);
  return true;
}

}  // namespace

bool ParseSession(const std::string& text, Session* s, std::string* error) {
  *s = Session{};
  error->clear();
  uint64_t records = 0;  // unfolded so far, saturating: what a repeat may reach back to
  size_t at = 0;
  int lineNo = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) {
      // A line without its end: the writer was stopped mid-line.
      s->note = "line " + std::to_string(lineNo + 1) + " is cut short and was left out";
      break;
    }
    std::string line = text.substr(at, end - at);
    at = end + 1;
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() > kMaxLineBytes) return Fail(lineNo, "line too long", error);
    if (lineNo == 1) {
      if (!ParseHeader(line, s, error)) return false;
      continue;
    }
    if (line.empty()) continue;
    if (line[0] == '#') {
      if (s->entries.empty()) s->comments.push_back(line.size() > 2 ? line.substr(2) : "");
      continue;
    }
    const std::vector<std::string> w = Words(line);
    if (w.empty()) continue;
    if (s->exitCode) return Fail(lineNo, "nothing may follow \"end\"", error);
    if (w[0] == "f") {
      std::string name;
      int64_t nth = 0;
      if (w.size() != 3 || !UnescapeToken(w[1], &name) || name.empty() ||
          !ParseInt(w[2], 1, std::numeric_limits<int32_t>::max(), &nth)) {
        return Fail(lineNo, "expected \"f CALL N\"", error);
      }
      s->faults[name].insert(static_cast<int>(nth));
      continue;
    }
    Session::Entry entry;
    entry.record.line = lineNo;
    if (w[0] == "r") {
      int64_t period = 0, count = 0;
      if (w.size() != 3 || !ParseInt(w[1], 1, kMaxRepeatPeriod, &period) ||
          !ParseInt(w[2], 1, static_cast<int64_t>(kMaxRepeatCount), &count)) {
        return Fail(lineNo, "expected \"r PERIOD COUNT\" (PERIOD 1 to " + std::to_string(kMaxRepeatPeriod) + ")",
                    error);
      }
      if (static_cast<uint64_t>(period) > records) {
        return Fail(lineNo, "repeats " + std::to_string(period) + " records, but only " + std::to_string(records) +
                                " come before it", error);
      }
      entry.repeatPeriod = static_cast<int>(period);
      entry.repeatCount = static_cast<uint64_t>(count);
      records = std::min<uint64_t>(records + static_cast<uint64_t>(period * count), kMaxRepeatCount);
      s->entries.push_back(std::move(entry));
      continue;
    }
    const Verb* verb = nullptr;
    for (const Verb& v : kVerbs) {
      if (w[0] == v.word) verb = &v;
    }
    if (verb == nullptr) return Fail(lineNo, "unknown record \"" + w[0].substr(0, 40) + "\"", error);
    if (!ParseRecord(*verb, w, &entry.record)) return Fail(lineNo, std::string("expected \"") + verb->shape + "\"", error);
    if (verb->kind == Kind::End) s->exitCode = static_cast<int>(entry.record.value);
    records = std::min<uint64_t>(records + 1, kMaxRepeatCount);
    s->entries.push_back(std::move(entry));
  }
  s->lines = lineNo;
  if (lineNo == 0) return Fail(1, "the file is empty", error);
  return true;
}

// --- unfolding --------------------------------------------------------------

bool SessionCursor::Next(Record* out, std::string* error) {
  error->clear();
  Record raw;
  if (repeatLeft_ > 0) {
    raw = ring_[ring_.size() - static_cast<size_t>(session_.entries[index_ - 1].repeatPeriod)];
    --repeatLeft_;
    line_ = repeatLine_;
  } else {
    for (;;) {
      if (index_ >= session_.entries.size()) {
        line_ = session_.lines;
        return false;
      }
      const Session::Entry& e = session_.entries[index_++];
      if (e.repeatPeriod == 0) {
        raw = e.record;
        line_ = e.record.line;
        break;
      }
      if (ring_.size() < static_cast<size_t>(e.repeatPeriod)) {
        return Fail(e.record.line, "a repeat reaches back past the first record", error);
      }
      repeatLeft_ = e.repeatCount * static_cast<uint64_t>(e.repeatPeriod);
      repeatLine_ = e.record.line;
      raw = ring_[ring_.size() - static_cast<size_t>(e.repeatPeriod)];
      --repeatLeft_;
      line_ = repeatLine_;
      break;
    }
  }
  ring_.push_back(raw);
  if (ring_.size() > static_cast<size_t>(kMaxRepeatPeriod)) ring_.pop_front();

  *out = raw;
  out->line = line_;
  if (raw.kind == Kind::Clock || raw.event) {
    const int64_t at = static_cast<int64_t>(clock_) + raw.value;
    if (at < 0 || at > static_cast<int64_t>(kMaxClockMs)) {
      return Fail(line_, at < 0 ? "the clock goes below 0" : "the clock passes a year", error);
    }
    if (raw.kind == Kind::Clock) {
      clock_ = static_cast<uint64_t>(at);
      out->value = at;
    } else {
      out->event->timeMs = static_cast<uint64_t>(at);
    }
  }
  return true;
}

}  // namespace host::record

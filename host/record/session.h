// session.h — a recorded session: everything a run took from its host, in
// the order the program asked for it, as versioned plain text.
//
// Provides: SessionWriter (turns host answers into lines, written as the
// program runs: clock reads as deltas, repeated stretches folded into one
// repeat line), ParseSession (reads a whole file, rejecting anything it does
// not understand with "line N: ..."), and SessionCursor (hands the records
// back in order, with repeats unfolded and deltas resolved to absolute
// values). docs/RECORDING.md describes the format.
// Depends on: host/host.h, the C++ standard library.
#pragma once

#include <cstdint>
#include <cstdio>
#include <deque>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "host/host.h"

namespace host::record {

constexpr int kSessionVersion = 1;
constexpr const char* kSessionMagic = "velmora-session";
// Longest stretch one repeat line may fold, in records.
constexpr int kMaxRepeatPeriod = 8;
// Clock values beyond a year of milliseconds are not a session.
constexpr uint64_t kMaxClockMs = 1000ull * 60 * 60 * 24 * 365;

// One answer of the host, by the call that asked for it.
enum class Kind {
  Clock,          // NowMs
  Calendar,       // CalendarTime
  Wait,           // WaitEvent
  Poll,           // PollEvent (with or without an event)
  Keys,           // KeyboardState
  Audio,          // OpenAudio
  Silent,         // SilentAudioOutput
  BufferFrames,   // AudioBufferFrames
  Desktop,        // DesktopSize
  DeviceProfile,  // DeviceProfile
  Profile,        // ProfileValue
  Window,         // CreateWindow
  Dialog,         // MessageBox
  Frame,          // Present: a hash of the frame, so a replay can tell it stays on the recorded run
  End,            // the program's exit code
};

// A record in resolved form: times absolute, as the host returned them.
struct Record {
  Kind kind = Kind::Clock;
  int line = 0;                 // where it was written (a repeat's own line)
  int64_t value = 0;            // Clock ms, Calendar s, 0/1 answers, BufferFrames, Desktop width, End code
  uint64_t hash = 0;            // Frame
  int64_t value2 = 0;           // Desktop height
  std::optional<Event> event;   // Poll
  std::vector<std::pair<uint8_t, uint8_t>> keys;  // Keys: every non-zero byte, by key
  DialogAnswer answer = DialogAnswer::Ok;         // Dialog
  std::string name;             // DeviceProfile; Profile section
  std::string key;              // Profile key
  std::optional<std::string> text;  // Profile value
};

const char* KindName(Kind kind);  // what the program asked, in words

// Writes a session to an open file. Every call appends one record; lines
// reach the file at once except the tail of a stretch that may still be
// repeated, which waits for Flush (at most one second of play is held).
class SessionWriter {
 public:
  // `file` stays the caller's; nothing is written before Begin.
  explicit SessionWriter(std::FILE* file) : file_(file) {}
  // The version line and `comments` as "# " lines.
  void Begin(const std::vector<std::string>& comments);

  void Clock(uint64_t nowMs);
  void Calendar(int64_t seconds);
  void Wait(bool ready);
  void Poll(const Event* event);  // null: no event
  void Keys(const uint8_t keys[kKeyCount]);
  void Audio(bool opened);
  void Silent(bool silent);
  void BufferFrames(int frames);
  void Desktop(int width, int height);
  void DeviceProfile(const std::string& name);
  void Profile(const std::string& section, const std::string& key, const std::optional<std::string>& value);
  void Window(bool created);
  void Dialog(DialogAnswer answer);
  void Frame(uint64_t hash);
  // The n-th (1-based) fault question of `call` was answered yes.
  void Fault(const std::string& call, int nth);
  void End(int exitCode);

  // Writes what is held back once a second of clock has passed since the
  // last time (always with `force`), then hands everything to the file.
  void Flush(bool force = false);
  bool Failed() const { return failed_; }
  uint64_t BytesWritten() const { return bytes_; }

 private:
  void Emit(std::string line);
  void Write(const std::string& line);
  void EndRun();

  std::FILE* file_;
  bool failed_ = false;
  uint64_t bytes_ = 0;
  uint64_t clock_ = 0;        // last clock value written
  uint64_t lastCutMs_ = 0;    // clock when held lines were last written out
  std::deque<std::string> history_;  // the last kMaxRepeatPeriod lines, unfolded
  int period_ = 0;            // of the stretch being repeated, 0 when none
  std::vector<std::string> partial_;  // lines of an unfinished period
  uint64_t periods_ = 0;      // whole periods repeated and not yet written
};

struct Session {
  int version = kSessionVersion;
  std::vector<std::string> comments;  // the "# " lines of the header
  struct Entry {
    Record record;     // in written form: Clock a delta, an event's time relative to the clock
    int repeatPeriod = 0;    // a repeat line: the last `repeatPeriod` records again,
    uint64_t repeatCount = 0;  // `repeatCount` times
  };
  std::vector<Entry> entries;
  // Fault answers: call name -> which of its questions were answered yes.
  std::map<std::string, std::set<int>> faults;
  std::optional<int> exitCode;  // absent: the run never ended (killed, crashed)
  int lines = 0;                // lines read
  std::string note;             // a harmless oddity met while reading (a cut last line)
};

// Reads a whole session. On an error returns false with `error` as
// "line N: what is wrong".
bool ParseSession(const std::string& text, Session* session, std::string* error);

// Hands a parsed session's records back in order, resolved.
class SessionCursor {
 public:
  explicit SessionCursor(const Session& session) : session_(session) {}
  // False at the end (with `error` empty) or on a record that cannot be
  // resolved (a clock outside its range; `error` names the line).
  bool Next(Record* out, std::string* error);
  // The line of the last record handed out (or of the last line at the end).
  int Line() const { return line_; }
  uint64_t ClockMs() const { return clock_; }

 private:
  const Session& session_;
  size_t index_ = 0;
  uint64_t repeatLeft_ = 0;  // records still to unfold from the current repeat
  int repeatLine_ = 0;
  std::deque<Record> ring_;  // the last kMaxRepeatPeriod records, written form
  uint64_t clock_ = 0;
  int line_ = 0;
};

// Text tokens (profile names and values, fault names) in a line: bytes
// that would break a line or a word as %XX, and the empty string as "%".
std::string EscapeToken(const std::string& text);
bool UnescapeToken(const std::string& token, std::string* text);

}  // namespace host::record

// Fuzz target: recorded sessions from arbitrary bytes. Parsing refuses or
// accepts without crashing; an accepted session unfolds (repeats bounded
// here) into records whose values stay in their documented ranges; and
// what is accepted, written out again record by record, reads back the same.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "host/record/session.h"

namespace {

using host::record::Kind;
using host::record::Record;

void Rewrite(host::record::SessionWriter& w, const Record& r) {
  switch (r.kind) {
    case Kind::Clock: w.Clock(static_cast<uint64_t>(r.value)); break;
    case Kind::Calendar: w.Calendar(r.value); break;
    case Kind::Wait: w.Wait(r.value != 0); break;
    case Kind::Poll: w.Poll(r.event ? &*r.event : nullptr); break;
    case Kind::Keys: {
      uint8_t keys[host::kKeyCount] = {};
      for (const auto& [k, v] : r.keys) keys[k] = v;
      w.Keys(keys);
      break;
    }
    case Kind::Audio: w.Audio(r.value != 0); break;
    case Kind::Silent: w.Silent(r.value != 0); break;
    case Kind::BufferFrames: w.BufferFrames(static_cast<int>(r.value)); break;
    case Kind::Desktop: w.Desktop(static_cast<int>(r.value), static_cast<int>(r.value2)); break;
    case Kind::DeviceProfile: w.DeviceProfile(r.name); break;
    case Kind::Profile: w.Profile(r.name, r.key, r.text); break;
    case Kind::Window: w.Window(r.value != 0); break;
    case Kind::Dialog: w.Dialog(r.answer); break;
    case Kind::Frame: w.Frame(r.hash); break;
    case Kind::End: w.End(static_cast<int>(r.value)); break;
  }
}

bool SameAnswer(const Record& a, const Record& b) {
  return a.kind == b.kind && a.value == b.value && a.hash == b.hash && a.value2 == b.value2 && a.keys == b.keys && a.answer == b.answer &&
         a.name == b.name && a.key == b.key && a.text == b.text && a.event.has_value() == b.event.has_value() &&
         (!a.event || (a.event->type == b.event->type && a.event->timeMs == b.event->timeMs &&
                       a.event->key == b.event->key && a.event->mods == b.event->mods &&
                       a.event->repeat == b.event->repeat && a.event->x == b.event->x && a.event->y == b.event->y));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  host::record::Session session;
  std::string error;
  if (!host::record::ParseSession(text, &session, &error)) {
    if (error.rfind("line ", 0) != 0) __builtin_trap();  // every refusal names its line
    return 0;
  }
  std::FILE* f = std::tmpfile();
  if (f == nullptr) return 0;
  std::vector<Record> records;
  {
    host::record::SessionWriter writer(f);
    writer.Begin({});
    host::record::SessionCursor cursor(session);
    Record r;
    while (records.size() < 20000 && cursor.Next(&r, &error)) {
      if (r.kind == Kind::Clock && (r.value < 0 || static_cast<uint64_t>(r.value) > host::record::kMaxClockMs)) {
        __builtin_trap();
      }
      if (r.line < 1 || r.line > session.lines) __builtin_trap();
      records.push_back(r);
      Rewrite(writer, r);
    }
    writer.Flush(true);
  }
  std::rewind(f);
  std::string again;
  char buf[4096];
  for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) again.append(buf, n);
  std::fclose(f);
  host::record::Session reread;
  if (!host::record::ParseSession(again, &reread, &error)) __builtin_trap();
  host::record::SessionCursor cursor(reread);
  Record r;
  for (const Record& want : records) {
    if (!cursor.Next(&r, &error) || !SameAnswer(r, want)) __builtin_trap();
  }
  return 0;
}

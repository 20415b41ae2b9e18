// recorded_run.cpp — the recording wrappers around a program run.
#include "entry/recorded_run.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <memory>
#include <sstream>

#include "entry/command_line.h"
#include "entry/run_program.h"
#include "host/record/frame_hashes.h"
#include "host/record/recording_host.h"
#include "host/record/replay_pacer.h"
#include "host/record/replaying_host.h"
#include "host/record/session.h"

namespace entry {

namespace {

// The test switch: a frame log when VELMORA_FRAME_HASHES names a file.
std::unique_ptr<host::record::FrameHashLog> FrameLogFromEnvironment() {
  const char* path = std::getenv("VELMORA_FRAME_HASHES");
  if (path == nullptr || *path == '\0') return nullptr;
  auto log = std::make_unique<host::record::FrameHashLog>();
  if (!log->Open(path)) {
    std::fprintf(stderr, "velmora: VELMORA_FRAME_HASHES: cannot write %s\n", path);
    return nullptr;
  }
  return log;
}

std::vector<std::string> HeaderComments(const std::string& hostName) {
  std::string version = VersionText();
  while (!version.empty() && version.back() == '\n') version.pop_back();
  char when[32] = "?";
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  if (gmtime_r(&now, &utc) != nullptr) std::strftime(when, sizeof when, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return {version + " on the " + hostName + " host, recorded " + when,
          "replay: velmora-replay --out DIR --session FILE, or velmora --replay FILE"};
}

}  // namespace

int RunRecording(host::Host& host, const std::string& path, const std::string& hostName, std::string* error) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) {
    *error = "cannot write " + path;
    return -1;
  }
  auto frames = FrameLogFromEnvironment();
  host::record::RecordingHost recorder(host, file, HeaderComments(hostName));
  recorder.SetFrameLog(frames.get());
  const int code = RunProgram(recorder, "");
  recorder.End(code);
  const bool failed = recorder.WriteFailed();
  if (std::fclose(file) != 0 || failed) std::fprintf(stderr, "velmora: %s: the recording is incomplete\n", path.c_str());
  return code;
}

int RunReplaying(host::Host& window, const std::string& path, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = "cannot read " + path;
    return -1;
  }
  std::ostringstream text;
  text << in.rdbuf();
  host::record::Session session;
  if (!host::record::ParseSession(text.str(), &session, error)) {
    *error = path + ": " + *error;
    return -1;
  }
  if (!session.note.empty()) std::fprintf(stderr, "velmora: %s: %s\n", path.c_str(), session.note.c_str());
  auto frames = FrameLogFromEnvironment();
  host::record::ReplayingHost replaying(window, session);
  host::record::ReplayPacer pacer(window, [] { std::exit(0); });
  replaying.SetFrameLog(frames.get());
  replaying.OnClock([&pacer](uint64_t ms) { pacer.At(ms); });
  replaying.OnStop([&path](const std::string& why, bool ranOut) {
    std::fprintf(stderr, "velmora: %s: %s\n", path.c_str(), why.c_str());
    std::exit(ranOut ? 0 : 3);
  });
  const int code = RunProgram(replaying, "");
  const std::string differs = replaying.Finish(code);
  if (!differs.empty()) {
    *error = path + ": " + differs;
    return -1;
  }
  return code;
}

}  // namespace entry

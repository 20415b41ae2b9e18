// program_run.h — runs the whole program (WinMain) under the headless host
// in a child process, since the game's state is process-wide, and brings
// back what it showed and returned.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/headless/headless_host.h"

struct ProgramSetup {
  // The host of the run; a plain HeadlessHost when not set.
  std::function<std::unique_ptr<host::HeadlessHost>()> makeHost;
  // Scripted input, faults, calendar time... applied before WinMain.
  std::function<void(host::HeadlessHost&)> configure;
  // Working directory of the run; the test's own when empty.
  std::string cwd;
  // Operations whose call counts to bring back.
  std::vector<std::string> counted;
  // Runs in the child after WinMain returns; its text comes back as `report`.
  std::function<std::string(host::HeadlessHost&)> examine;
};

struct ShownBox {
  std::string text;                    // bytes as passed (Shift-JIS)
  std::optional<std::string> caption;  // absent for a null caption
  uint32_t flags = 0;
};

struct ProgramResult {
  bool finished = false;  // the child ran to its end
  int exitCode = 0;
  std::vector<ShownBox> boxes;
  uint64_t frames = 0;
  uint64_t endMs = 0;
  std::map<std::string, int> counts;
  std::string report;
};

ProgramResult RunProgram(const ProgramSetup& setup);

// A folder holding copies of the five WAV files of the test's folder,
// except those named in `missing`; removed by the destructor.
class WavFolder {
 public:
  explicit WavFolder(const std::vector<std::string>& missing);
  ~WavFolder();
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

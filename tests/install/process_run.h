// Running the game's commands as a player would, for the install,
// start-up and release tests: shell commands with their output, and
// programs started in an environment of the test's choosing, timed, with
// standard output and error kept apart.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace install_test {

struct Output {
  int status = -1;   // exit status, -1 when it did not exit normally
  std::string text;  // standard output and error together
};

// Runs `command` with /bin/sh.
Output Shell(const std::string& command);
// `s` quoted for the shell.
std::string Quote(const std::string& s);

// The environment of this process with `changes` applied: a value sets the
// variable, nullopt removes it.
using EnvChanges = std::map<std::string, std::optional<std::string>>;

class Process {
 public:
  // Starts `path` with `args` in `cwd`; standard output and error go to
  // files of their own in `scratch`.
  Process(const std::string& path, const std::vector<std::string>& args, const std::string& cwd,
          const EnvChanges& changes, const std::string& scratch);
  ~Process();  // kills it if it still runs
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  pid_t pid() const { return pid_; }
  // Waits up to `ms` for the end; false (and the process killed) on time-out.
  bool Wait(int ms);
  int status() const { return status_; }  // exit status; -1 if killed or not ended
  double seconds() const { return seconds_; }  // from start to end
  std::string out() const;
  std::string err() const;

 private:
  pid_t pid_ = -1;
  int status_ = -1;
  double seconds_ = 0;
  std::string outPath_, errPath_;
  std::chrono::steady_clock::time_point start_;
};

// VELMORA_REQUIRE_ALL=1: a test that would skip for want of a tool fails.
bool RequireAll();

}  // namespace install_test

// Skips the test with `reason`, printed; fails it instead under
// VELMORA_REQUIRE_ALL=1.
#define SKIP_UNLESS_REQUIRED(reason)                                                     \
  do {                                                                                   \
    const std::string why_ = (reason);                                                   \
    std::printf("skipped: %s\n", why_.c_str());                                          \
    if (install_test::RequireAll()) FAIL() << why_ << " (VELMORA_REQUIRE_ALL=1)";        \
    GTEST_SKIP() << why_;                                                                \
  } while (0)

#include "tests/install/process_run.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <thread>

extern char** environ;

namespace install_test {

namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

}  // namespace

Output Shell(const std::string& command) {
  Output out;
  FILE* p = popen((command + " 2>&1").c_str(), "r");
  if (!p) return out;
  char buffer[4096];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, p)) > 0;) out.text.append(buffer, n);
  const int status = pclose(p);
  out.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return out;
}

std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

Process::Process(const std::string& path, const std::vector<std::string>& args, const std::string& cwd,
                 const EnvChanges& changes, const std::string& scratch) {
  static int serial = 0;
  const std::string stem = scratch + "/process-" + std::to_string(getpid()) + "-" + std::to_string(++serial);
  outPath_ = stem + ".out";
  errPath_ = stem + ".err";
  // Everything the child needs is made before fork.
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    const std::string name = entry.substr(0, entry.find('='));
    if (changes.count(name) == 0) env.push_back(entry);
  }
  for (const auto& [name, value] : changes) {
    if (value) env.push_back(name + "=" + *value);
  }
  std::vector<char*> envp, argv{const_cast<char*>(path.c_str())};
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  start_ = std::chrono::steady_clock::now();
  pid_ = fork();
  if (pid_ == 0) {
    const int o = open(outPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int e = open(errPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int in = open("/dev/null", O_RDONLY);
    if (o < 0 || e < 0 || in < 0 || dup2(in, 0) < 0 || dup2(o, 1) < 0 || dup2(e, 2) < 0) _exit(125);
    if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(126);
    execve(path.c_str(), argv.data(), envp.data());
    _exit(127);
  }
}

Process::~Process() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  std::remove(outPath_.c_str());
  std::remove(errPath_.c_str());
}

bool Process::Wait(int ms) {
  if (pid_ <= 0) return false;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  for (;;) {
    int status = 0;
    const pid_t r = waitpid(pid_, &status, WNOHANG);
    if (r == pid_) {
      seconds_ = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
      status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      pid_ = -1;
      return true;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
      seconds_ = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
      pid_ = -1;
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

std::string Process::out() const { return ReadFile(outPath_); }
std::string Process::err() const { return ReadFile(errPath_); }

bool RequireAll() {
  const char* v = std::getenv("VELMORA_REQUIRE_ALL");
  return v != nullptr && v[0] != '\0' && v[0] != '0';
}

}  // namespace install_test

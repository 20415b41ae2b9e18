// program_run.cpp — WinMain in a forked child, results through a pipe.
#include "tests/app/program_run.h"

#include <sys/wait.h>
#include <unistd.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "entry/run_program.h"
#include "platform/win32/message_box_style.h"

namespace {

// Reports carry whole frames: these loops work on raw pointers, since this
// file compiles unoptimised with the rest of the tests' own code.
std::string Hex(const std::string& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  if (bytes.empty()) return "-";
  std::string out(bytes.size() * 2, '0');
  const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
  char* o = out.data();
  for (size_t i = 0, n = bytes.size(); i < n; ++i) {
    o[2 * i] = kDigits[in[i] >> 4];
    o[2 * i + 1] = kDigits[in[i] & 15];
  }
  return out;
}

int Nibble(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return 0;
}

std::string Unhex(const std::string& hex) {
  if (hex == "-") return "";
  std::string out(hex.size() / 2, '\0');
  const char* in = hex.data();
  char* o = out.data();
  for (size_t i = 0, n = out.size(); i < n; ++i) o[i] = static_cast<char>(Nibble(in[2 * i]) << 4 | Nibble(in[2 * i + 1]));
  return out;
}

void WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n <= 0) return;
    done += static_cast<size_t>(n);
  }
}

[[noreturn]] void RunChild(const ProgramSetup& setup, int fd) {
  std::unique_ptr<host::HeadlessHost> h = setup.makeHost ? setup.makeHost() : std::make_unique<host::HeadlessHost>();
  h->KeepFrames(false);
  if (setup.configure) setup.configure(*h);
  if (!setup.cwd.empty() && chdir(setup.cwd.c_str()) != 0) _exit(90);
  const int code = entry::RunProgram(*h, "");

  std::ostringstream out;
  out << "exit " << code << "\n";
  for (const host::MessageBoxRequest& m : h->MessageBoxes()) {
    out << "box " << Hex(m.textBytes) << " " << (m.captionBytes ? Hex(*m.captionBytes) : "null") << " "
        << platform::MessageBoxStyleOf(m) << "\n";
  }
  out << "frames " << h->FrameCount() << "\n";
  out << "end " << h->NowMs() << "\n";
  for (const std::string& name : setup.counted) out << "count " << name << " " << h->CallCount(name) << "\n";
  if (setup.examine) out << "report " << Hex(setup.examine(*h)) << "\n";
  WriteAll(fd, out.str());
  close(fd);
  // Skip the test binary's own exit handlers: the parent owns them.
  _exit(0);
}

}  // namespace

ProgramResult RunProgram(const ProgramSetup& setup) {
  ProgramResult result;
  int fds[2];
  if (pipe(fds) != 0) return result;
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid < 0) return result;
  if (pid == 0) {
    close(fds[0]);
    RunChild(setup, fds[1]);
  }
  close(fds[1]);
  std::string text;
  char buffer[4096];
  for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<size_t>(n));
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  result.finished = WIFEXITED(status) && WEXITSTATUS(status) == 0;

  std::istringstream lines(text);
  for (std::string kind; lines >> kind;) {
    if (kind == "exit") {
      lines >> result.exitCode;
    } else if (kind == "box") {
      std::string textHex, captionHex;
      ShownBox box;
      lines >> textHex >> captionHex >> box.flags;
      box.text = Unhex(textHex);
      if (captionHex != "null") box.caption = Unhex(captionHex);
      result.boxes.push_back(box);
    } else if (kind == "frames") {
      lines >> result.frames;
    } else if (kind == "end") {
      lines >> result.endMs;
    } else if (kind == "count") {
      std::string name;
      int count = 0;
      lines >> name >> count;
      result.counts[name] = count;
    } else if (kind == "report") {
      std::string hex;
      lines >> hex;
      result.report = Unhex(hex);
    }
  }
  return result;
}

WavFolder::WavFolder(const std::vector<std::string>& missing) {
  namespace fs = std::filesystem;
  char pattern[] = "/tmp/velmora-wavs-XXXXXX";
  const char* made = mkdtemp(pattern);
  path_ = made ? made : "";
  for (const char* name : {"bgm.wav", "get.wav", "clear.wav", "over.wav", "start.wav"}) {
    bool skip = false;
    for (const std::string& m : missing) skip = skip || m == name;
    std::error_code ec;
    if (!skip && !path_.empty()) fs::copy_file(name, fs::path(path_) / name, ec);
  }
}

WavFolder::~WavFolder() {
  std::error_code ec;
  if (!path_.empty()) std::filesystem::remove_all(path_, ec);
}

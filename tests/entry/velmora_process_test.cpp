// The desktop program as a process: its options, and what it says on
// standard error when it cannot start. Runs ./velmora from the test's
// folder (the build puts both in bin/) on SDL's dummy video and audio.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/require_all.h"

namespace {

struct Outcome {
  int status = -1;  // exit status, or -1 when it did not exit
  std::string out, err;
};

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

Outcome RunVelmora(const std::vector<std::string>& args, const std::string& cwd) {
  const std::string program = std::filesystem::absolute("velmora").string();
  const std::string dir = ::testing::TempDir();
  const std::string outPath = dir + "/velmora_out.txt", errPath = dir + "/velmora_err.txt";
  pid_t child = fork();
  if (child == 0) {
    int o = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int e = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (o < 0 || e < 0 || dup2(o, 1) < 0 || dup2(e, 2) < 0 || chdir(cwd.c_str()) != 0) _exit(91);
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(92);
  }
  Outcome r;
  int status = 0;
  if (waitpid(child, &status, 0) == child && WIFEXITED(status)) r.status = WEXITSTATUS(status);
  r.out = Slurp(outPath);
  r.err = Slurp(errPath);
  return r;
}

class VelmoraProcess : public ::testing::Test {
 protected:
  void SetUp() override {
    if (access("velmora", X_OK) != 0) VELMORA_SKIP() << "the game was not built (no SDL host)";
  }
};

TEST_F(VelmoraProcess, HelpAndVersionPrintAndEndWithZeroUnknownOptionsWithTwo) {
  const std::string here = std::filesystem::current_path().string();
  Outcome help = RunVelmora({"--help"}, here);
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("Usage: velmora"), std::string::npos) << help.out;
  EXPECT_TRUE(help.err.empty()) << help.err;
  Outcome version = RunVelmora({"--version"}, here);
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out.rfind("velmora ", 0), 0u) << version.out;
  Outcome bad = RunVelmora({"--fullscreen"}, here);
  EXPECT_EQ(bad.status, 2);
  EXPECT_NE(bad.err.find("unknown option '--fullscreen'"), std::string::npos) << bad.err;
  EXPECT_NE(bad.err.find("Usage: velmora"), std::string::npos) << bad.err;
  EXPECT_TRUE(bad.out.empty());
}

TEST_F(VelmoraProcess, StartedInAnEmptyFolderItNamesTheWavFileAndTheFolderInOneLine) {
  const std::filesystem::path empty = std::filesystem::path(::testing::TempDir()) / "velmora-empty-folder";
  std::filesystem::create_directories(empty);
  const std::string folder = std::filesystem::canonical(empty).string();
  Outcome r = RunVelmora({}, folder);
  EXPECT_EQ(r.status, 255);  // WinMain's -1
  EXPECT_EQ(r.out, "");
  std::vector<std::string> lines;
  std::istringstream in(r.err);
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("velmora: ", 0) == 0) lines.push_back(line);
  }
  ASSERT_EQ(lines.size(), 1u) << r.err;
  EXPECT_NE(lines[0].find("cannot open bgm.wav in " + folder + " (No such file or directory)"), std::string::npos)
      << lines[0];
  // The program shows no message box: the host would print one it cannot show.
  EXPECT_EQ(r.err.find("Error:"), std::string::npos) << r.err;
}

}  // namespace

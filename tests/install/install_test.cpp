// cmake --install into a scratch DESTDIR: the exact list of files, the
// desktop entry and metainfo accepted by their validators, and the launcher,
// started from an unrelated folder after the whole tree has been moved,
// showing the VELMORA window and ending with 0 on Escape.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

// Last: Xlib's macros would break the headers above.
#include "tests/e2e/xvfb_session.h"
#include "tests/support/require_all.h"
#include <X11/keysym.h>

namespace {

namespace fs = std::filesystem;

const std::string kId = VELMORA_APP_ID;

struct Output {
  int status = -1;
  std::string text;  // standard output and error together
};

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

std::string ReadAll(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

// A scratch folder of its own for each test, removed afterwards.
class Installed : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    root_ = fs::temp_directory_path() / ("velmora-install-" + std::to_string(getpid()) + "-" + info->name());
    fs::remove_all(root_);
    fs::create_directories(root_);
  }
  void TearDown() override { fs::remove_all(root_); }

  // cmake --install with prefix /usr under DESTDIR=<root>/stage.
  fs::path Install() {
    const fs::path stage = root_ / "stage";
    const Output r = Shell("DESTDIR=" + Quote(stage.string()) + " " + Quote(VELMORA_CMAKE) + " --install " +
                         Quote(VELMORA_BUILD_DIR) + " --prefix /usr");
    EXPECT_EQ(r.status, 0) << r.text;
    return stage / "usr";
  }

  fs::path root_;
};

TEST_F(Installed, LaysOutExactlyTheGamesFiles) {
  const fs::path usr = Install();
  std::set<std::string> found;
  for (const auto& e : fs::recursive_directory_iterator(usr))
    if (!e.is_directory()) found.insert(fs::relative(e.path(), usr).string());
  std::set<std::string> expected = {
      "bin/velmora",
      "libexec/velmora/velmora",
      "share/applications/" + kId + ".desktop",
      "share/metainfo/" + kId + ".metainfo.xml",
      "share/man/man6/velmora.6",
      "share/doc/velmora/README.md",
      "share/doc/velmora/LICENSE",
      "share/doc/velmora/copyright",
  };
  for (const char* cue : {"bgm", "get", "clear", "over", "start"}) expected.insert(std::string("share/velmora/") + cue + ".wav");
  for (int size : {16, 24, 32, 48, 64, 128, 256}) {
    const std::string dir = std::to_string(size) + "x" + std::to_string(size);
    expected.insert("share/icons/hicolor/" + dir + "/apps/" + kId + ".png");
  }
  EXPECT_EQ(found, expected);

  for (const char* program : {"bin/velmora", "libexec/velmora/velmora"}) {
    struct stat st {};
    ASSERT_EQ(stat((usr / program).c_str(), &st), 0) << program;
    EXPECT_TRUE(st.st_mode & S_IXOTH) << program << " is executable by everyone";
  }
  // The cues are the committed ones, byte for byte.
  const fs::path assets = fs::path(std::getenv("VELMORA_SOURCE_DIR")) / "assets";
  for (const char* cue : {"bgm.wav", "get.wav", "clear.wav", "over.wav", "start.wav"})
    EXPECT_TRUE(ReadAll(usr / "share/velmora" / cue) == ReadAll(assets / cue)) << cue;
  // Each icon is a PNG of the size its folder names.
  for (int size : {16, 24, 32, 48, 64, 128, 256}) {
    const std::string dir = std::to_string(size) + "x" + std::to_string(size);
    const std::string png = ReadAll(usr / "share/icons/hicolor" / dir / "apps" / (kId + ".png"));
    ASSERT_GE(png.size(), 24u) << dir;
    EXPECT_EQ(png.substr(1, 3), "PNG") << dir;
    auto be32 = [&](size_t o) {
      return uint32_t(uint8_t(png[o])) << 24 | uint32_t(uint8_t(png[o + 1])) << 16 | uint32_t(uint8_t(png[o + 2])) << 8 |
             uint32_t(uint8_t(png[o + 3]));
    };
    EXPECT_EQ(be32(16), uint32_t(size)) << dir;
    EXPECT_EQ(be32(20), uint32_t(size)) << dir;
  }
}

TEST_F(Installed, DesktopEntryAndMetainfoPassTheirValidators) {
  const fs::path usr = Install();
  if (Shell("command -v desktop-file-validate").status != 0 || Shell("command -v appstreamcli").status != 0)
    VELMORA_SKIP() << "desktop-file-utils or appstream is not installed (see scripts/setup.sh)";
  const Output desktop = Shell("desktop-file-validate " + Quote((usr / "share/applications" / (kId + ".desktop")).string()));
  EXPECT_EQ(desktop.status, 0) << desktop.text;
  EXPECT_EQ(desktop.text, "") << "no hints or warnings";
  const Output meta =
      Shell("appstreamcli validate --no-net " + Quote((usr / "share/metainfo" / (kId + ".metainfo.xml")).string()));
  EXPECT_EQ(meta.status, 0) << meta.text;
  std::printf("desktop-file-validate: %s\nappstreamcli validate --no-net:\n%s", desktop.text.empty() ? "(no output)" : desktop.text.c_str(),
              meta.text.c_str());
  // The entry names the icon and the metainfo the entry by the same id.
  const std::string entry = ReadAll(usr / "share/applications" / (kId + ".desktop"));
  EXPECT_NE(entry.find("\nIcon=" + kId + "\n"), std::string::npos);
  EXPECT_NE(entry.find("\nExec=velmora\n"), std::string::npos);
  const std::string xml = ReadAll(usr / "share/metainfo" / (kId + ".metainfo.xml"));
  EXPECT_NE(xml.find("<launchable type=\"desktop-id\">" + kId + ".desktop</launchable>"), std::string::npos);
  EXPECT_NE(xml.find("<binary>velmora</binary>"), std::string::npos);
}

// The launcher, reached through a symbolic link from another folder, enters
// the data folder next to its own tree and hands the program its arguments
// untouched; without the data folder it says so instead of starting.
TEST_F(Installed, LauncherFindsItsTreeAndPassesArgumentsThrough) {
  const fs::path usr = Install();
  const fs::path tree = root_ / "elsewhere" / "tree";
  fs::create_directories(tree / "bin");
  fs::create_directories(tree / "libexec/velmora");
  fs::create_directories(tree / "share/velmora");
  fs::copy_file(usr / "bin/velmora", tree / "bin/velmora");
  const fs::path fake = tree / "libexec/velmora/velmora";
  std::ofstream(fake) << "#!/bin/sh\npwd\nfor a in \"$@\"; do printf '[%s]\\n' \"$a\"; done\n";
  fs::permissions(fake, fs::perms::owner_all);
  fs::create_directories(root_ / "links");
  fs::create_symlink(tree / "bin/velmora", root_ / "links/velmora");

  const Output r = Shell("cd / && " + Quote((root_ / "links/velmora").string()) + " 'two words' --help '' '$HOME'");
  EXPECT_EQ(r.status, 0) << r.text;
  EXPECT_EQ(r.text, fs::canonical(tree / "share/velmora").string() + "\n[two words]\n[--help]\n[]\n[$HOME]\n");

  std::ofstream(fake) << "#!/bin/sh\nexit 7\n";
  EXPECT_EQ(Shell(Quote((tree / "bin/velmora").string())).status, 7) << "the program's exit code comes back";

  fs::remove_all(tree / "share/velmora");
  const Output missing = Shell(Quote((tree / "bin/velmora").string()));
  EXPECT_NE(missing.status, 0);
  EXPECT_NE(missing.text.find("cannot enter the data folder"), std::string::npos) << missing.text;
}

TEST_F(Installed, MovedTreeStartsFromAnotherFolderAndQuitsOnEscape) {
  XTest xtest;
  if (!xtest.Load()) VELMORA_SKIP() << "libXtst.so.6 is not installed (see scripts/setup.sh)";
  Install();
  // Nothing in the tree may depend on where it was installed.
  const fs::path moved = root_ / "moved";
  fs::rename(root_ / "stage", moved);
  const fs::path launcher = moved / "usr/bin/velmora";
  const fs::path somewhere = root_ / "somewhere";
  fs::create_directories(somewhere);

  XvfbSession x;
  if (!x.Start()) VELMORA_SKIP() << "Xvfb is not available";
  Display* d = x.display();

  const pid_t game = StartProgram(x.name(), launcher.string(), somewhere.string());
  ASSERT_GT(game, 0);
  const Window w = WaitForWindow(d, "VELMORA", 20000);
  // The launcher replaced itself with the program, started in the data folder.
  std::error_code ec;
  const fs::path cwd = fs::read_symlink("/proc/" + std::to_string(game) + "/cwd", ec);
  const fs::path exe = fs::read_symlink("/proc/" + std::to_string(game) + "/exe", ec);
  if (!w) WaitForExit(game, nullptr, 0);
  ASSERT_NE(w, 0u) << "no VELMORA window appeared";
  EXPECT_EQ(cwd, fs::canonical(moved / "usr/share/velmora"));
  EXPECT_EQ(exe, fs::canonical(moved / "usr/libexec/velmora/velmora"));
  XWindowAttributes a;
  XGetWindowAttributes(d, w, &a);
  EXPECT_EQ(a.width, 800);
  EXPECT_EQ(a.height, 640);

  XSetInputFocus(d, w, RevertToParent, CurrentTime);
  XSync(d, False);
  xtest.Press(d, XK_Escape, true);
  xtest.Press(d, XK_Escape, false);
  int status = 0;
  ASSERT_TRUE(WaitForExit(game, &status, 10000)) << "Escape did not end the program";
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace

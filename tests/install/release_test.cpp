// scripts/release.sh on this build: the Debian package (its layout, and
// lintian without errors), the relocatable tarball (unpacked in a scratch
// folder, started from another one under Xvfb, it shows the title card),
// the browser zip (every served file of build/web) and SHA256SUMS.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "tests/install/process_run.h"
// Last: Xlib's macros would break the headers above.
#include "tests/e2e/xvfb_session.h"
#include <X11/keysym.h>

namespace {

namespace fs = std::filesystem;
using install_test::Output;
using install_test::Quote;
using install_test::Shell;

const std::string kVersion = VELMORA_VERSION;

bool Have(const char* tool) { return Shell(std::string("command -v ") + tool).status == 0; }

std::string ReadAll(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

// The interpreter the build found; an empty one leaves the script to PATH.
std::string Python() { return *VELMORA_PYTHON ? VELMORA_PYTHON : "python3"; }

fs::path SourceDir() { return fs::path(std::getenv("VELMORA_SOURCE_DIR")); }

// The browser build beside this one, when there is one.
fs::path WebBuild() { return SourceDir() / "build/web"; }
bool HaveWebBuild() { return fs::exists(WebBuild() / "velmora.html"); }

// One release for every test here: packing takes a while.
class Release : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    out_ = new fs::path(fs::temp_directory_path() / ("velmora-release-" + std::to_string(getpid())));
    fs::remove_all(*out_);
    const std::string web = HaveWebBuild() ? "--web " + Quote(WebBuild().string()) : "--no-web";
    packed_ = new Output(Shell("VELMORA_PYTHON=" + Quote(Python()) + " bash " + Quote((SourceDir() / "scripts/release.sh").string()) + " --no-build --build " +
                               Quote(VELMORA_BUILD_DIR) + " " + web + " --out " + Quote(out_->string())));
    std::printf("%s", packed_->text.c_str());
  }
  static void TearDownTestSuite() {
    fs::remove_all(*out_);
    delete out_;
    delete packed_;
  }
  void SetUp() override {
    ASSERT_EQ(packed_->status, 0) << packed_->text;
    if (!Have("dpkg-deb")) SKIP_UNLESS_REQUIRED("dpkg-deb is not installed; cpack needs it for the package");
  }

  static fs::path Deb() { return *out_ / ("velmora_" + kVersion + "-1_amd64.deb"); }
  static fs::path Tarball() { return *out_ / ("velmora-" + kVersion + "-linux-x86_64.tar.gz"); }
  static fs::path Zip() { return *out_ / ("velmora-" + kVersion + "-web.zip"); }

  static fs::path* out_;
  static Output* packed_;
};

fs::path* Release::out_ = nullptr;
Output* Release::packed_ = nullptr;

TEST_F(Release, ChecksumsCoverEveryArtefact) {
  const Output check = Shell("cd " + Quote(out_->string()) + " && sha256sum -c SHA256SUMS");
  EXPECT_EQ(check.status, 0) << check.text;
  std::string expected = Deb().filename().string() + ": OK\n" + Tarball().filename().string() + ": OK\n";
  if (HaveWebBuild()) expected += Zip().filename().string() + ": OK\n";
  EXPECT_EQ(check.text, expected);
  for (const auto& e : fs::directory_iterator(*out_))
    std::printf("artefact %s: %ju bytes\n", e.path().filename().c_str(), static_cast<uintmax_t>(e.file_size()));
}

TEST_F(Release, DebianPackageFollowsDebianConventionsAndPassesLintian) {
  const Output files = Shell("dpkg-deb -c " + Quote(Deb().string()));
  ASSERT_EQ(files.status, 0) << files.text;
  for (const char* path : {"./usr/games/velmora", "./usr/libexec/velmora/velmora", "./usr/share/man/man6/velmora.6.gz",
                           "./usr/share/doc/velmora/changelog.Debian.gz", "./usr/share/doc/velmora/README.md.gz",
                           "./usr/share/doc/velmora/copyright", "./usr/share/velmora/bgm.wav"}) {
    EXPECT_NE(files.text.find(std::string(path) + "\n"), std::string::npos) << path << " missing:\n" << files.text;
  }
  EXPECT_EQ(files.text.find("./usr/bin/"), std::string::npos) << "games go to /usr/games";
  EXPECT_EQ(files.text.find("velmora.6\n"), std::string::npos) << "the manual page is compressed";
  EXPECT_EQ(Shell("dpkg-deb -f " + Quote(Deb().string()) + " Version").text, kVersion + "-1\n");
  EXPECT_EQ(Shell("dpkg-deb -f " + Quote(Deb().string()) + " Section").text, "games\n");

  if (!Have("lintian")) SKIP_UNLESS_REQUIRED("lintian is not installed (see scripts/setup.sh)");
  const Output lint = Shell("lintian --tag-display-limit 0 " + Quote(Deb().string()));
  std::printf("lintian:\n%s", lint.text.empty() ? "(no output)\n" : lint.text.c_str());
  EXPECT_EQ(lint.text.find("E: "), std::string::npos) << lint.text;
  EXPECT_EQ(lint.status, 0) << lint.text;
}

TEST_F(Release, TarballUnpackedAnywhereShowsTheTitleCardFromAnotherFolder) {
  const fs::path root = *out_ / "unpacked";
  fs::create_directories(root / "elsewhere");
  const Output untar = Shell("tar -xzf " + Quote(Tarball().string()) + " -C " + Quote(root.string()));
  ASSERT_EQ(untar.status, 0) << untar.text;
  // The tree names what it needs of the system.
  const std::string readme = ReadAll(root / "velmora/README.txt");
  EXPECT_NE(readme.find("velmora/bin/velmora"), std::string::npos) << readme;
  EXPECT_NE(readme.find("libSDL2-2.0.so.0"), std::string::npos) << readme;

  XTest xtest;
  if (!xtest.Load()) SKIP_UNLESS_REQUIRED("libXtst.so.6 is not installed (see scripts/setup.sh)");
  XvfbSession x;
  if (!x.Start()) SKIP_UNLESS_REQUIRED("Xvfb is not installed (see scripts/setup.sh)");
  Display* d = x.display();
  const pid_t game = StartProgram(x.name(), (root / "velmora/bin/velmora").string(), (root / "elsewhere").string());
  ASSERT_GT(game, 0);
  const Window w = WaitForWindow(d, "VELMORA", 20000);
  if (!w) WaitForExit(game, nullptr, 0);
  ASSERT_NE(w, 0u) << "no VELMORA window";
  // The title card, drawn into the 792 x 616 board with the white margin
  // on the right (8 pixels) and at the bottom (24) of the client area.
  WindowPixels shot;
  for (int tries = 0; tries < 50; ++tries) {
    shot = CaptureWindow(d, w);
    if (shot.width == 800 && shot.height == 640 && shot.At(400, 300) != 0xFFFFFF && shot.At(400, 300) != 0) break;
    usleep(100000);
  }
  ASSERT_EQ(shot.width, 800);
  ASSERT_EQ(shot.height, 640);
  int marginNotWhite = 0, boardWhite = 0;
  for (int y = 0; y < 640; ++y) {
    for (int x0 = 0; x0 < 800; ++x0) {
      const bool margin = x0 >= 792 || y >= 616;
      if (margin && shot.At(x0, y) != 0xFFFFFF) ++marginNotWhite;
      if (!margin && shot.At(x0, y) == 0xFFFFFF) ++boardWhite;
    }
  }
  EXPECT_EQ(marginNotWhite, 0);
  EXPECT_LT(boardWhite, 792 * 616 / 2) << "the board is mostly drawn";

  xtest.Tap(d, w, XK_Escape);
  int status = 0;
  ASSERT_TRUE(WaitForExit(game, &status, 10000)) << "Escape did not end the program";
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST_F(Release, BrowserZipHoldsEveryServedFile) {
  if (!HaveWebBuild()) SKIP_UNLESS_REQUIRED("no browser build in " + WebBuild().string() + " (cmake --preset web)");
  if (!Have("unzip")) SKIP_UNLESS_REQUIRED("unzip is not installed (see scripts/setup.sh)");
  const Output list = Shell("unzip -Z1 " + Quote(Zip().string()));
  ASSERT_EQ(list.status, 0) << list.text;
  // What the page loads, and nothing of the build's own files.
  for (const char* name : {"velmora.html", "velmora.js", "velmora.wasm"})
    EXPECT_NE(list.text.find(std::string("velmora/") + name + "\n"), std::string::npos) << name << ":\n" << list.text;
  for (const char* name : {"CMakeCache.txt", "Makefile", "compile_commands.json", ".a\n"})
    EXPECT_EQ(list.text.find(name), std::string::npos) << name;
  // Each file the same bytes as in the build.
  const fs::path unpacked = *out_ / "web";
  ASSERT_EQ(Shell("unzip -q " + Quote(Zip().string()) + " -d " + Quote(unpacked.string())).status, 0);
  for (const auto& e : fs::recursive_directory_iterator(unpacked / "velmora")) {
    if (!e.is_regular_file()) continue;
    const fs::path rel = fs::relative(e.path(), unpacked / "velmora");
    EXPECT_TRUE(ReadAll(e.path()) == ReadAll(WebBuild() / rel)) << rel;
  }
}

}  // namespace

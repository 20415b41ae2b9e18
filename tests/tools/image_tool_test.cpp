// velmora-image: the command line, its exit codes, and the suite run that
// decides whether the library reads the common formats — every valid PNG
// and JPEG fixture converts to the expected pixels, every corrupt one is
// refused with exit code 1.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "gfx/gfx.h"
#include "tests/gfx/image_fixtures.h"
#include "tests/gfx/memory_surface.h"
#include "tools/image/image_tool.h"

namespace {

namespace fs = std::filesystem;
using namespace image_fixtures;

struct Result {
  int code;
  std::string out, err;
};

Result RunTool(std::vector<std::string> args) {
  args.insert(args.begin(), "velmora-image");
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  std::ostringstream out, err;
  const int code = image_tool::Run(int(argv.size()), argv.data(), out, err);
  return {code, out.str(), err.str()};
}

class ImageTool : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() / ("velmora-image-tool-" + std::to_string(::getpid()));
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }

  // Converts every fixture of a folder to TGA (lossless, with alpha) and
  // compares the result with the fixture's reference.
  void ConvertFolder(const std::string& folder, int* good, int* bad) {
    for (const Entry& e : Manifest(folder)) {
      SCOPED_TRACE(folder + "/" + e.file);
      const std::string out = (folder_ / (e.file + ".tga")).string();
      const Result r = RunTool({"convert", (DataFolder() / folder / e.file).string(), out});
      if (e.Refused()) {
        EXPECT_EQ(r.code, 1);
        // The library's own message and a reason in words, never a bare code.
        EXPECT_NE(r.err.find("velmora-image: reading " + (DataFolder() / folder / e.file).string() + " failed: "),
                  std::string::npos)
            << r.err;
        EXPECT_NE(r.err.find("(not an image file the library reads"), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find("0x"), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find("D3DX: "), std::string::npos) << r.err;
        EXPECT_FALSE(fs::exists(out));
        ++*bad;
        continue;
      }
      ASSERT_EQ(r.code, 0) << r.err;
      const std::vector<BYTE> bytes = ReadBytes(out);
      gfxtest::MemorySurface surface(e.width, e.height, D3DFMT_A8R8G8B8, 4);
      ASSERT_EQ(D3DXLoadSurfaceFromFileInMemory(&surface, nullptr, nullptr, bytes.data(), UINT(bytes.size()),
                                                nullptr, D3DX_FILTER_NONE, 0, nullptr),
                S_OK);
      EXPECT_EQ(CompareWithReference(folder, e, [&](UINT x, UINT y) { return surface.Pixel32(x, y); }), "");
      ++*good;
    }
  }

  fs::path folder_;
};

TEST_F(ImageTool, EveryValidPngOfTheSuiteConvertsToItsPixelsAndEveryCorruptOneIsRefused) {
  int good = 0, bad = 0;
  ConvertFolder("png", &good, &bad);
  EXPECT_GE(good, 80);
  EXPECT_GE(bad, 20);
}

TEST_F(ImageTool, EveryJpegConvertsAndTruncatedOnesAreRefused) {
  int good = 0, bad = 0;
  ConvertFolder("jpeg", &good, &bad);
  EXPECT_GE(good, 25);
  EXPECT_GE(bad, 4);
}

TEST_F(ImageTool, InfoPrintsOneLinePerFileAndFailsOnABadOne) {
  const std::string dds = (DataFolder() / "dds" / "mips3.dds").string();
  const std::string png = (DataFolder() / "png" / "gen-c4-d16.png").string();
  Result r = RunTool({"info", dds, png});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, dds + ": 8x6, depth 1, 3 levels, A8R8G8B8, DDS, texture\n" + png +
                       ": 13x11, depth 1, 1 level, A8L8, PNG, texture\n");
  r = RunTool({"info", (DataFolder() / "dds" / "cube.dds").string(), (folder_ / "missing.png").string()});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.out.find("cube texture"), std::string::npos);
  const std::string missing = (folder_ / "missing.png").string();
  EXPECT_NE(r.err.find("velmora-image: reading " + missing + " failed: Failed to open file '" + missing +
                       "': No such file or directory (not an image file the library reads, or it cannot be read)\n"),
            std::string::npos)
      << r.err;
}

TEST_F(ImageTool, AFailedWriteSaysWhatTheLibrarySaidAndWhy) {
  // A folder where the file should go: the library cannot create it.
  const std::string in = (DataFolder() / "png" / "gen-c6-d8.png").string();
  const std::string out = (folder_ / "taken.bmp").string();
  fs::create_directories(out);
  const Result r = RunTool({"convert", in, out});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("velmora-image: writing " + out + " failed: Failed to create file '" + out + "': "),
            std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("(the library could not do it)\n"), std::string::npos) << r.err;
  // Messages of the read that succeeded are not repeated.
  EXPECT_EQ(r.err.find("reading"), std::string::npos) << r.err;
}

// The header of a PNG whose last IDAT carries a wrong CRC reads well; the
// file does not load, and both commands say which chunk is wrong.
TEST_F(ImageTool, APngWithABrokenChunkIsDescribedButFailsInfoAndConvert) {
  std::vector<BYTE> png = ReadBytes(DataFolder() / "png" / "gen-c6-d8.png");
  size_t lastIdat = 0;
  for (size_t at = 8; at + 12 <= png.size();) {
    const size_t length = size_t{png[at]} << 24 | size_t{png[at + 1]} << 16 | size_t{png[at + 2]} << 8 | png[at + 3];
    if (std::memcmp(&png[at + 4], "IDAT", 4) == 0) lastIdat = at;
    at += 12 + length;
  }
  ASSERT_NE(lastIdat, 0u);
  const size_t idatLength = size_t{png[lastIdat + 2]} << 8 | png[lastIdat + 3];
  png[lastIdat + 8 + idatLength + 3] ^= 0x01;  // the CRC's last byte
  const std::string bad = (folder_ / "bad-crc.png").string();
  std::ofstream(bad, std::ios::binary).write(reinterpret_cast<const char*>(png.data()), std::streamsize(png.size()));

  Result r = RunTool({"info", bad});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.out.find(bad + ": "), std::string::npos) << "the header's description still comes first";
  EXPECT_NE(r.err.find("failed: PNG: CRC error in chunk IDAT"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("does not load"), std::string::npos) << r.err;
  r = RunTool({"convert", bad, (folder_ / "out.bmp").string()});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("failed: PNG: CRC error in chunk IDAT"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(folder_ / "out.bmp"));
}

TEST_F(ImageTool, ConvertResizesReformatsAndWritesMipChains) {
  const std::string in = (DataFolder() / "png" / "gen-c6-d8.png").string();
  const std::string dds = (folder_ / "out.dds").string();
  Result r = RunTool({"convert", in, dds, "--format", "DXT5", "--size", "16x8", "--filter", "box", "--mips", "0"});
  ASSERT_EQ(r.code, 0) << r.err;
  r = RunTool({"info", dds});
  EXPECT_EQ(r.out, dds + ": 16x8, depth 1, 5 levels, DXT5, DDS, texture\n");
  const std::string ppm = (folder_ / "out.PPM").string();
  r = RunTool({"convert", dds, ppm});
  ASSERT_EQ(r.code, 0) << r.err;
  r = RunTool({"info", ppm});
  EXPECT_EQ(r.out, ppm + ": 16x8, depth 1, 1 level, R8G8B8, PPM, texture\n");
}

TEST_F(ImageTool, UsageErrorsExitWithTwo) {
  const std::string in = (DataFolder() / "png" / "gen-c6-d8.png").string();
  const std::string out = (folder_ / "x.png").string();
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {},
           {"info"},
           {"frobnicate", in},
           {"convert", in},
           {"convert", in, (folder_ / "x.gif").string()},
           {"convert", in, (folder_ / "noext").string()},
           {"convert", in, out, "--format", "RGB24"},
           {"convert", in, out, "--size", "0x5"},
           {"convert", in, out, "--size", "12"},
           {"convert", in, out, "--filter", "cubic"},
           {"convert", in, out, "--mips", "-1"},
           {"convert", in, out, "--mips"},
           {"convert", in, out, "--bogus", "1"},
       }) {
    const Result r = RunTool(args);
    EXPECT_EQ(r.code, 2) << (args.empty() ? std::string("(none)") : args[0]);
    EXPECT_NE(r.err.find("usage:"), std::string::npos);
  }
  EXPECT_EQ(RunTool({"--help"}).code, 0);
  EXPECT_FALSE(fs::exists(out));
}

}  // namespace

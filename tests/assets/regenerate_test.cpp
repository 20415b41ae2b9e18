// Running the generator again gives the committed assets byte for byte.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <set>

#include "asset_files.h"

namespace assets_test {
namespace {

namespace fs = std::filesystem;

TEST(Regenerate, GeneratorReproducesEveryCommittedFile) {
  fs::path dir = fs::temp_directory_path() / ("velmora-assetgen-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  std::string cmd = std::string("\"") + VELMORA_ASSETGEN + "\" --out \"" + dir.string() + "\"";
  ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;

  std::set<std::string> generated, committed;
  for (const auto& e : fs::directory_iterator(dir)) generated.insert(e.path().filename().string());
  for (const auto& e : fs::directory_iterator(AssetDir()))
    if (e.path().filename() != "CMakeLists.txt") committed.insert(e.path().filename().string());
  EXPECT_EQ(generated, committed);
  for (const std::string& name : generated) {
    Bytes fresh = ReadFile((dir / name).string()), kept = ReadAsset(name);
    EXPECT_EQ(fresh.size(), kept.size()) << name;
    EXPECT_TRUE(fresh == kept) << name << " differs from the committed file";
  }
  fs::remove_all(dir);
}

}  // namespace
}  // namespace assets_test

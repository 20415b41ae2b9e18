// The process entries' shared pieces: the command line they hand WinMain and
// the check of a device profile named from outside.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "entry/device_profile.h"
#include "entry/run_program.h"

namespace {

std::string Joined(std::vector<std::string> args) {
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  return entry::CommandLine(static_cast<int>(argv.size()), argv.data());
}

TEST(EntryCommandLine, ArgumentsAfterTheProgramNameQuotedWhenBlank) {
  EXPECT_EQ(Joined({"velmora"}), "");
  EXPECT_EQ(Joined({"velmora", "-a", "b"}), "-a b");
  EXPECT_EQ(Joined({"velmora", "two words", "tab\there", ""}), "\"two words\" \"tab\there\" ");
}

TEST(EntryDeviceProfile, KnownNamesPassAndAnUnknownOneListsThem) {
  std::string error;
  for (const char* name : {"default", "pow2", "noblend", "untransformed", "nomipmap"}) {
    EXPECT_TRUE(entry::CheckDeviceProfile(name, &error)) << name;
  }
  EXPECT_TRUE(error.empty());
  for (const char* name : {"", "pow3", "DEFAULT"}) {
    error.clear();
    EXPECT_FALSE(entry::CheckDeviceProfile(name, &error)) << name;
    EXPECT_NE(error.find("\"" + std::string(name) + "\""), std::string::npos) << error;
    EXPECT_NE(error.find("known profiles: default, pow2,"), std::string::npos) << error;
    EXPECT_NE(error.find("nomipmap"), std::string::npos) << error;
  }
}

}  // namespace

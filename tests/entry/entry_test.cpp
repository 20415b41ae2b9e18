// The process entries' shared pieces: the command line they hand WinMain and
// the check of a device profile named from outside.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "entry/command_line.h"
#include "entry/device_profile.h"
#include "entry/diagnostics.h"
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
    std::string quoted = "\"";  // built by appending: GCC 12 misreads "x" + std::string at -O2
    quoted.append(name).append("\"");
    EXPECT_NE(error.find(quoted), std::string::npos) << error;
    EXPECT_NE(error.find("known profiles: default, pow2,"), std::string::npos) << error;
    EXPECT_NE(error.find("nomipmap"), std::string::npos) << error;
  }
}

entry::Arguments Parse(std::vector<const char*> argv) {
  return entry::ParseArguments(static_cast<int>(argv.size()), argv.data());
}

TEST(EntryArguments, HelpAndVersionWinAnythingElseIsUnknown) {
  EXPECT_EQ(Parse({"velmora"}).launch, entry::Launch::Run);
  EXPECT_EQ(Parse({"velmora", "--help"}).launch, entry::Launch::Help);
  EXPECT_EQ(Parse({"velmora", "-h"}).launch, entry::Launch::Help);
  EXPECT_EQ(Parse({"velmora", "--version"}).launch, entry::Launch::Version);
  EXPECT_EQ(Parse({"velmora", "--bogus", "--help"}).launch, entry::Launch::Help);
  const entry::Arguments a = Parse({"velmora", "-x", "y"});
  EXPECT_EQ(a.launch, entry::Launch::Unknown);
  EXPECT_EQ(a.unknown, "-x");
  EXPECT_EQ(Parse({"velmora", ""}).launch, entry::Launch::Unknown);  // even an empty one
  EXPECT_NE(entry::UsageText().find("--version"), std::string::npos);
  EXPECT_EQ(entry::VersionText().rfind("velmora 1.", 0), 0u) << entry::VersionText();
}

TEST(EntryDiagnostics, OneLineEachWithItsFixAndNothingOnSuccess) {
  entry::EndFindings f;
  f.noAudio = true;
  f.audioError = "No available audio device";
  f.fileName = "bgm.wav";
  f.fileFolder = "/tmp/empty";
  f.fileReason = "No such file or directory";
  f.systemError = "ignored while there are reasons";
  EXPECT_TRUE(entry::DiagnosticLines(0, f).empty());
  auto lines = entry::DiagnosticLines(-1, f);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_NE(lines[0].find("no audio output (No available audio device)"), std::string::npos) << lines[0];
  EXPECT_NE(lines[0].find("SDL_AUDIODRIVER=dummy"), std::string::npos) << lines[0];
  EXPECT_NE(lines[1].find("cannot open bgm.wav in /tmp/empty (No such file or directory)"), std::string::npos)
      << lines[1];
  for (const std::string& l : lines) EXPECT_EQ(l.find('\n'), std::string::npos);

  entry::EndFindings display;
  display.noDisplay = true;
  display.systemError = "No available video device";
  lines = entry::DiagnosticLines(1, display);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find("cannot open a display (No available video device)"), std::string::npos) << lines[0];
  EXPECT_NE(lines[0].find("DISPLAY"), std::string::npos);

  entry::EndFindings events;
  events.failedSubsystem = "events";
  events.systemError = "Couldn't open input device";
  events.noAudio = true;  // nothing after SDL's start ran
  lines = entry::DiagnosticLines(1, events);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], "velmora: SDL's events subsystem did not start (Couldn't open input device)");

  entry::EndFindings sdlOnly;
  sdlOnly.systemError = "Couldn't create renderer";
  lines = entry::DiagnosticLines(-1, sdlOnly);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find("exit code -1; SDL said: Couldn't create renderer"), std::string::npos) << lines[0];
  lines = entry::DiagnosticLines(-1, entry::EndFindings{});
  ASSERT_EQ(lines.size(), 1u);  // never silent
}

}  // namespace

// What every host shares: message box buttons, the fault plan, and the run
// options as the replay tool, the page and the desktop program read them.
#include <gtest/gtest.h>

#include <string>

#include "host/dialog_buttons.h"
#include "host/fault_plan.h"
#include "host/run_options.h"

namespace {

using host::DialogAnswer;
using host::DialogButtons;

std::string Labels(DialogButtons buttons) {
  std::string labels;
  for (const host::DialogButton& b : host::DialogButtonsOf(buttons)) labels += std::string(b.label) + "|";
  return labels;
}

TEST(DialogButtons, EveryChoiceLeftToRightWithItsAnswers) {
  EXPECT_EQ(Labels(DialogButtons::Ok), "OK|");
  EXPECT_EQ(Labels(DialogButtons::OkCancel), "OK|Cancel|");
  EXPECT_EQ(Labels(DialogButtons::AbortRetryIgnore), "Abort|Retry|Ignore|");
  EXPECT_EQ(Labels(DialogButtons::YesNoCancel), "Yes|No|Cancel|");
  EXPECT_EQ(Labels(DialogButtons::YesNo), "Yes|No|");
  EXPECT_EQ(Labels(DialogButtons::RetryCancel), "Retry|Cancel|");
  const auto arc = host::DialogButtonsOf(DialogButtons::AbortRetryIgnore);
  EXPECT_EQ(arc[0].answer, DialogAnswer::Abort);
  EXPECT_EQ(arc[1].answer, DialogAnswer::Retry);
  EXPECT_EQ(arc[2].answer, DialogAnswer::Ignore);
  // A corrupted choice still gets a box that can be dismissed.
  EXPECT_EQ(Labels(static_cast<DialogButtons>(99)), "OK|");
}

TEST(DialogButtons, DefaultIsTheRequestedButtonOrTheFirst) {
  host::MessageBoxRequest r;
  r.buttons = DialogButtons::YesNoCancel;
  r.defaultButton = 2;
  EXPECT_EQ(host::DefaultButtonIndex(r), 2u);
  EXPECT_EQ(host::DefaultAnswer(r), DialogAnswer::Cancel);
  r.defaultButton = 3;  // the box has three buttons
  EXPECT_EQ(host::DefaultButtonIndex(r), 0u);
  EXPECT_EQ(host::DefaultAnswer(r), DialogAnswer::Yes);
  r.defaultButton = -1;
  EXPECT_EQ(host::DefaultAnswer(r), DialogAnswer::Yes);
  r.buttons = DialogButtons::RetryCancel;
  r.defaultButton = 1;
  EXPECT_EQ(host::DefaultAnswer(r), DialogAnswer::Cancel);
}

TEST(FaultPlan, FailsOnlyThePlannedCallsOfEachName) {
  host::FaultPlan plan(host::FaultPlan::Counting::Always);
  plan.FailAt("host.OpenAudio", 2);
  plan.FailAt("host.OpenAudio", 4);
  plan.FailAt("alloc", 0);  // not a call number: ignored
  std::string pattern;
  for (int i = 0; i < 5; ++i) pattern += plan.ShouldFail("host.OpenAudio") ? 'F' : '.';
  EXPECT_EQ(pattern, ".F.F.");
  EXPECT_EQ(plan.CallCount("host.OpenAudio"), 5);
  EXPECT_FALSE(plan.ShouldFail("alloc"));
  EXPECT_FALSE(plan.ShouldFail("host.OpenAudioX")) << "names match whole";
  EXPECT_EQ(plan.CallCount("alloc"), 1);
  EXPECT_EQ(plan.CallCount("never"), 0);
  EXPECT_FALSE(plan.ShouldFail(nullptr));
}

TEST(FaultPlan, APlayersPlanCountsNothingUntilAFaultIsPlanned) {
  host::FaultPlan plan;
  EXPECT_FALSE(plan.ShouldFail("alloc"));
  EXPECT_EQ(plan.CallCount("alloc"), 0);
  plan.Add({{"alloc", 2}, {"mmioOpenA", 1}});
  EXPECT_FALSE(plan.ShouldFail("alloc"));
  EXPECT_TRUE(plan.ShouldFail("alloc"));
  EXPECT_TRUE(plan.ShouldFail("mmioOpenA"));
  EXPECT_EQ(plan.CallCount("alloc"), 2);
}

TEST(RunOptions, FaultIsACallNameWithAnOptionalCount) {
  EXPECT_EQ(host::ParseFault("alloc"), (host::Fault{"alloc", 1}));
  EXPECT_EQ(host::ParseFault("IDirect3D9.CreateDevice.HAL:3"), (host::Fault{"IDirect3D9.CreateDevice.HAL", 3}));
  EXPECT_EQ(host::ParseFault("host.Audio_Device:1000000"), (host::Fault{"host.Audio_Device", 1000000}));
  EXPECT_EQ(host::ParseFault(std::string(64, 'x')), (host::Fault{std::string(64, 'x'), 1}));
  for (const char* bad : {"", ":3", "alloc:", "alloc:0", "alloc:-1", "alloc:1000001", "alloc:3:4", "alloc:+3",
                          "al loc", "alloc;rm", "alloc:99999999999999999999", "alloc,mmioOpenA"}) {
    EXPECT_FALSE(host::ParseFault(bad)) << bad;
  }
  EXPECT_FALSE(host::ParseFault(std::string(65, 'x')));
  EXPECT_FALSE(host::ParseFault(std::string("al\0loc", 6)));
}

TEST(RunOptions, FaultListIsAllOrNothing) {
  const auto list = host::ParseFaultList("host.AudioDeviceLost:2,host.OpenAudio:2,alloc");
  ASSERT_TRUE(list);
  ASSERT_EQ(list->size(), 3u);
  EXPECT_EQ((*list)[0], (host::Fault{"host.AudioDeviceLost", 2}));
  EXPECT_EQ((*list)[2], (host::Fault{"alloc", 1}));
  EXPECT_TRUE(host::ParseFaultList("") && host::ParseFaultList("")->empty());
  EXPECT_FALSE(host::ParseFaultList("alloc,,mmioOpenA"));
  EXPECT_FALSE(host::ParseFaultList(",alloc"));
  EXPECT_FALSE(host::ParseFaultList("alloc,mmioOpenA:0"));
}

TEST(RunOptions, CalendarTimeAndProfileName) {
  EXPECT_EQ(host::ParseCalendarTime("0"), 0);
  EXPECT_EQ(host::ParseCalendarTime("1700000000"), 1700000000);
  EXPECT_EQ(host::ParseCalendarTime("253402300799"), 253402300799);  // 9999-12-31 23:59:59
  for (const char* bad : {"", "253402300800", "-1", "+5", "1e9", "12 ", "0x10", "9999999999999999999999"}) {
    EXPECT_FALSE(host::ParseCalendarTime(bad)) << bad;
  }
  EXPECT_EQ(host::ParseProfileName("pow2").value_or("?"), "pow2");
  EXPECT_EQ(host::ParseProfileName(std::string(64, 'a')).value_or("?"), std::string(64, 'a'));
  for (const char* bad : {"", "pow-2", "../x", "a b", "pow2\n"}) EXPECT_FALSE(host::ParseProfileName(bad)) << bad;
  EXPECT_FALSE(host::ParseProfileName(std::string(65, 'a')));
}

}  // namespace

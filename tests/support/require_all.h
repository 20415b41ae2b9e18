// require_all.h — a test that cannot run on this machine (no Xvfb, no
// libXtst, no virtual joystick, ...) skips and says why; where
// VELMORA_REQUIRE_ALL=1 (CI) the same reason fails it instead, so that no
// test passes there by not running.
//
//   if (!x.Start()) VELMORA_SKIP() << "Xvfb is not available";
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

namespace velmora_test {

inline bool RequireAll() {
  const char* v = std::getenv("VELMORA_REQUIRE_ALL");
  return v != nullptr && std::strcmp(v, "1") == 0;
}

inline ::testing::TestPartResult::Type SkipOrFailure() {
  return RequireAll() ? ::testing::TestPartResult::kFatalFailure : ::testing::TestPartResult::kSkip;
}

inline const char* SkipOrFailureText() {
  return RequireAll() ? "VELMORA_REQUIRE_ALL=1: this test must run, but it cannot; missing:" : "";
}

}  // namespace velmora_test

// Returns from the test (or its SetUp) like GTEST_SKIP; the streamed reason
// ends up in the skip or the failure.
#define VELMORA_SKIP()                                                                                \
  return ::testing::internal::AssertHelper(::velmora_test::SkipOrFailure(), __FILE__, __LINE__,    \
                                           ::velmora_test::SkipOrFailureText()) = ::testing::Message()

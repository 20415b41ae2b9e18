// run_options.h — the options that set up a run, read one way wherever
// they come from: velmora-replay's command line, the page address of the
// browser build, the desktop program's environment.
//
// Provides, each checking its text as the untrusted input it is:
//   ParseCalendarTime  whole seconds since 1970, digits only, at most the
//                      last second of the year 9999;
//   ParseProfileName   a Direct3D capability profile's name: letters and
//                      digits, at most 64 (whether it is known is the
//                      platform's to say);
//   ParseFault         CALL[:N]: make the named platform call fail at its
//                      N-th call (1 to 1000000, default 1); CALL is
//                      letters, digits, '.' and '_', at most 64;
//   ParseFaultList     CALL[:N] items separated by commas (the environment's
//                      form), all or nothing.
// Depends on: the C++ standard library only.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace host {

struct Fault {
  std::string call;
  int nth = 1;
  bool operator==(const Fault&) const = default;
};

std::optional<int64_t> ParseCalendarTime(std::string_view text);
std::optional<std::string> ParseProfileName(std::string_view text);
std::optional<Fault> ParseFault(std::string_view text);
std::optional<std::vector<Fault>> ParseFaultList(std::string_view text);

}  // namespace host

// page_query.h — what the page address may ask of a run.
//
// Provides: the parameters of the address' query that the browser host
// reads, each checked as the untrusted text it is:
//   time=SECONDS        the calendar time at start (seeds the round), whole
//                       seconds since 1970, digits only, at most year 9999;
//   d3d-profile=NAME    the Direct3D capability profile (letters and digits);
//   fault=CALL[:N]      make the named platform call fail at its N-th call
//                       (default 1); repeatable.
// Each value is read by the run options' parsers (host/run_options.h), as
// velmora-replay's and the desktop program's are.
// Depends on: host/run_options.h, so it is checked natively.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/run_options.h"

namespace host::web {

// Every value of parameter `name` in `query` ("?a=1&b=2", the "?" optional),
// in order, exactly as written (no percent-decoding: no value here needs it).
std::vector<std::string_view> QueryValues(std::string_view query, std::string_view name);

std::optional<int64_t> CalendarTimeFromQuery(std::string_view query);
std::optional<std::string> DeviceProfileFromQuery(std::string_view query);

using Fault = host::Fault;
// The well-formed fault requests; malformed ones are left out.
std::vector<Fault> FaultsFromQuery(std::string_view query);

}  // namespace host::web

// page_query.cpp — the page address' parameters, read strictly.
#include "host/web/page_query.h"

namespace host::web {

std::vector<std::string_view> QueryValues(std::string_view query, std::string_view name) {
  std::vector<std::string_view> values;
  if (!query.empty() && query.front() == '?') query.remove_prefix(1);
  while (!query.empty()) {
    const size_t amp = query.find('&');
    const std::string_view pair = query.substr(0, amp);
    query = amp == std::string_view::npos ? std::string_view() : query.substr(amp + 1);
    const size_t eq = pair.find('=');
    if (eq == std::string_view::npos || pair.substr(0, eq) != name) continue;
    values.push_back(pair.substr(eq + 1));
  }
  return values;
}

std::optional<int64_t> CalendarTimeFromQuery(std::string_view query) {
  const auto values = QueryValues(query, "time");
  if (values.empty()) return std::nullopt;
  return ParseCalendarTime(values.front());
}

std::optional<std::string> DeviceProfileFromQuery(std::string_view query) {
  const auto values = QueryValues(query, "d3d-profile");
  if (values.empty()) return std::nullopt;
  return ParseProfileName(values.front());
}

std::vector<Fault> FaultsFromQuery(std::string_view query) {
  std::vector<Fault> faults;
  for (std::string_view value : QueryValues(query, "fault")) {
    if (auto fault = ParseFault(value)) faults.push_back(std::move(*fault));
  }
  return faults;
}

}  // namespace host::web

// page_query.cpp — the page address' parameters, read strictly.
#include "host/web/page_query.h"

namespace host::web {
namespace {

constexpr size_t kMaxNameLength = 64;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLetterOrDigit(char c) { return IsDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// Digits only, no sign, at most `limit`.
std::optional<int64_t> ReadNumber(std::string_view digits, int64_t limit) {
  if (digits.empty() || digits.size() > 18) return std::nullopt;
  int64_t value = 0;
  for (char c : digits) {
    if (!IsDigit(c)) return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (value > limit) return std::nullopt;
  return value;
}

}  // namespace

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
  constexpr int64_t kLastSecondOf9999 = 253402300799;
  const auto values = QueryValues(query, "time");
  if (values.empty()) return std::nullopt;
  return ReadNumber(values.front(), kLastSecondOf9999);
}

std::optional<std::string> DeviceProfileFromQuery(std::string_view query) {
  const auto values = QueryValues(query, "d3d-profile");
  if (values.empty()) return std::nullopt;
  const std::string_view name = values.front();
  if (name.empty() || name.size() > kMaxNameLength) return std::nullopt;
  for (char c : name) {
    if (!IsLetterOrDigit(c)) return std::nullopt;
  }
  return std::string(name);
}

std::vector<Fault> FaultsFromQuery(std::string_view query) {
  std::vector<Fault> faults;
  for (std::string_view value : QueryValues(query, "fault")) {
    Fault fault;
    const size_t colon = value.find(':');
    const std::string_view call = value.substr(0, colon);
    if (call.empty() || call.size() > kMaxNameLength) continue;
    bool ok = true;
    for (char c : call) ok = ok && (IsLetterOrDigit(c) || c == '.' || c == '_');
    if (!ok) continue;
    if (colon != std::string_view::npos) {
      const auto nth = ReadNumber(value.substr(colon + 1), 1000000);
      if (!nth || *nth < 1) continue;
      fault.nth = static_cast<int>(*nth);
    }
    fault.call = std::string(call);
    faults.push_back(std::move(fault));
  }
  return faults;
}

}  // namespace host::web

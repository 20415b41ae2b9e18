// run_options.cpp — the run options' values, read strictly.
#include "host/run_options.h"

namespace host {
namespace {

constexpr size_t kMaxNameLength = 64;
constexpr int64_t kLastSecondOf9999 = 253402300799;
constexpr int64_t kMaxNth = 1000000;

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

bool IsCallName(std::string_view call) {
  if (call.empty() || call.size() > kMaxNameLength) return false;
  for (char c : call) {
    if (!IsLetterOrDigit(c) && c != '.' && c != '_') return false;
  }
  return true;
}

}  // namespace

std::optional<int64_t> ParseCalendarTime(std::string_view text) { return ReadNumber(text, kLastSecondOf9999); }

std::optional<std::string> ParseProfileName(std::string_view text) {
  if (text.empty() || text.size() > kMaxNameLength) return std::nullopt;
  for (char c : text) {
    if (!IsLetterOrDigit(c)) return std::nullopt;
  }
  return std::string(text);
}

std::optional<Fault> ParseFault(std::string_view text) {
  const size_t colon = text.find(':');
  const std::string_view call = text.substr(0, colon);
  if (!IsCallName(call)) return std::nullopt;
  Fault fault;
  fault.call = std::string(call);
  if (colon != std::string_view::npos) {
    const auto nth = ReadNumber(text.substr(colon + 1), kMaxNth);
    if (!nth || *nth < 1) return std::nullopt;
    fault.nth = static_cast<int>(*nth);
  }
  return fault;
}

std::optional<std::vector<Fault>> ParseFaultList(std::string_view text) {
  std::vector<Fault> faults;
  while (!text.empty()) {
    const size_t comma = text.find(',');
    const auto fault = ParseFault(text.substr(0, comma));
    if (!fault) return std::nullopt;
    faults.push_back(*fault);
    text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
  }
  return faults;
}

}  // namespace host

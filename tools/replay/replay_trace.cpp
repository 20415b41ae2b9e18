// replay_trace.cpp — formatting of trace and dialog lines.
#include "tools/replay/replay_trace.h"

#include <cmath>
#include <cstdio>

namespace replay {

namespace {

// Positions hold whole numbers; anything else is shown exactly enough to
// notice.
std::string Number(float value) {
  char buffer[64];
  if (std::isfinite(value) && value == std::trunc(value) && std::fabs(value) < 1e9f) {
    std::snprintf(buffer, sizeof buffer, "%lld", static_cast<long long>(value));
  } else if (std::isfinite(value)) {
    std::snprintf(buffer, sizeof buffer, "%.9g", static_cast<double>(value));
  } else {
    return "null";  // JSON has no NaN or infinity
  }
  return buffer;
}

// Built by appending: GCC 12 misreports `"literal" + std::string` chains in optimised builds.
std::string Pair(const float v[2]) {
  std::string out(1, '[');
  out += Number(v[0]);
  out += ", ";
  out += Number(v[1]);
  out += ']';
  return out;
}

}  // namespace

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20) {
          char buffer[8];
          std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
          out += buffer;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

std::string HexBytes(const std::string& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (unsigned char c : bytes) {
    out += kDigits[c >> 4];
    out += kDigits[c & 15];
  }
  return out;
}

std::string FormatTickLine(const TickRecord& r) {
  std::string line = "{\"tick\": " + std::to_string(r.tick) + ", \"ms\": " + std::to_string(r.ms) +
                     ", \"titleShown\": " + std::to_string(r.titleShown) + ", \"walker\": " + Pair(r.walker) +
                     ", \"partner\": " + Pair(r.partner) + ", \"stranger\": " + Pair(r.stranger) + ", \"gems\": [";
  for (int i = 0; i < 5; ++i) {
    if (i > 0) line += ", ";
    line += '[';
    line += Number(r.gems[i][0]);
    line += ", ";
    line += Number(r.gems[i][1]);
    line += ", ";
    line += Number(r.gems[i][2]);
    line += ']';
  }
  line += "], \"blocks\": [";
  for (int i = 0; i < 10; ++i) {
    if (i > 0) line += ", ";
    line += Pair(r.blocks[i]);
  }
  line += "], \"score\": " + std::to_string(r.score) + ", \"clearTicks\": " + std::to_string(r.clearTicks) +
          ", \"missTicks\": " + std::to_string(r.missTicks) + ", \"cues\": [";
  for (size_t i = 0; i < r.cues.size(); ++i) {
    if (i > 0) line += ", ";
    line += '[';
    line += JsonString(r.cues[i].first);
    line += ", ";
    line += JsonString(r.cues[i].second);
    line += ']';
  }
  return line + "]}";
}

std::string FormatDialogLine(const std::string& textUtf8, const std::string& textBytes,
                             const std::optional<std::string>& captionUtf8,
                             const std::optional<std::string>& captionBytes, uint32_t flags) {
  return "{\"text\": " + JsonString(textUtf8) + ", \"textHex\": " + JsonString(HexBytes(textBytes)) +
         ", \"caption\": " + (captionUtf8 ? JsonString(*captionUtf8) : "null") +
         ", \"captionHex\": " + (captionBytes ? JsonString(HexBytes(*captionBytes)) : "null") +
         ", \"flags\": " + std::to_string(flags) + "}";
}

}  // namespace replay

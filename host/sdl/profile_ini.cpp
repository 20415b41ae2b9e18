// profile_ini.cpp — reading the user's profile.
#include "host/sdl/profile_ini.h"

#include <cstdlib>
#include <sstream>

namespace host::sdl {
namespace {

std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t\r");
  if (b == std::string::npos) return std::string();
  size_t e = s.find_last_not_of(" \t\r");
  return s.substr(b, e - b + 1);
}

std::string Lower(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

}  // namespace

std::string ProfilePath() {
  if (const char* p = std::getenv("VELMORA_PROFILE"); p && *p) return p;
  if (const char* x = std::getenv("XDG_CONFIG_HOME"); x && *x) return std::string(x) + "/velmora/win.ini";
  if (const char* h = std::getenv("HOME"); h && *h) return std::string(h) + "/.config/velmora/win.ini";
  return std::string();
}

std::optional<std::string> ReadProfileValue(const std::string& iniText, const std::string& section,
                                            const std::string& key) {
  std::istringstream in(iniText);
  std::string line, current;
  const std::string wantSection = Lower(section), wantKey = Lower(key);
  while (std::getline(in, line)) {
    line = Trim(line);
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    if (line[0] == '[') {
      size_t close = line.find(']');
      current = close == std::string::npos ? std::string() : Lower(Trim(line.substr(1, close - 1)));
      continue;
    }
    size_t eq = line.find('=');
    if (eq == std::string::npos || current != wantSection) continue;
    if (Lower(Trim(line.substr(0, eq))) == wantKey) return Trim(line.substr(eq + 1));
  }
  return std::nullopt;
}

}  // namespace host::sdl

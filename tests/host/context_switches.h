// How often the calling thread has given up the processor by itself (each
// wait that slept): a host that wakes needlessly shows up here.
#pragma once

#include <cstdlib>
#include <fstream>
#include <string>

inline long VoluntarySwitches() {
  std::ifstream status("/proc/thread-self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("voluntary_ctxt_switches:", 0) == 0) return std::atol(line.c_str() + 24);
  }
  return -1;
}

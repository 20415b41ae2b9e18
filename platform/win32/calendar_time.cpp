// calendar_time.cpp — the C library's calendar time, read from the host.
//
// The game seeds its random generator from time(NULL). Defining time here
// makes that call read the host's calendar time, so that headless runs with
// a set start time deal the same rounds. With no host it is the real clock
// (read without time() itself, which this file replaces).
#include <ctime>

#include "host/host.h"

// glibc declares time() as not throwing in C++; musl (the browser build's C
// library) declares it plainly, and the definition must match.
#if defined(__GLIBC__)
#define VELMORA_TIME_NOEXCEPT noexcept
#else
#define VELMORA_TIME_NOEXCEPT
#endif

extern "C" time_t time(time_t* out) VELMORA_TIME_NOEXCEPT {
  time_t now;
  if (host::Host* h = host::Current()) {
    now = static_cast<time_t>(h->CalendarTime());
  } else {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    now = ts.tv_sec;
  }
  if (out != nullptr) *out = now;
  return now;
}

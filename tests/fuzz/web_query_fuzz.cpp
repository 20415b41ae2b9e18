// Fuzz target: the run options on arbitrary bytes, as the browser host reads
// them from the page address' query (seed time, device profile, fault
// requests) and the desktop program from its environment (a fault list).
// Whatever comes out must satisfy the promises the hosts rely on.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "host/run_options.h"
#include "host/web/page_query.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view query(reinterpret_cast<const char*>(data), size);
  if (auto t = host::web::CalendarTimeFromQuery(query)) {
    if (*t < 0 || *t > 253402300799) __builtin_trap();
  }
  if (auto profile = host::web::DeviceProfileFromQuery(query)) {
    if (profile->empty() || profile->size() > 64) __builtin_trap();
  }
  for (const host::web::Fault& f : host::web::FaultsFromQuery(query)) {
    if (f.call.empty() || f.call.size() > 64 || f.nth < 1) __builtin_trap();
    for (char c : f.call) {
      if (c == '&' || c == '=' || c == ':' || c == '\0') __builtin_trap();
    }
  }
  if (auto faults = host::ParseFaultList(query)) {
    for (const host::Fault& f : *faults) {
      if (f.call.empty() || f.call.size() > 64 || f.nth < 1 || f.nth > 1000000) __builtin_trap();
      if (f.call.find_first_of(",:") != std::string::npos) __builtin_trap();
    }
  }
  return 0;
}

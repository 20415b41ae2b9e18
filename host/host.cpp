// host.cpp — the process-wide current host.
#include "host/host.h"

namespace host {
namespace {
Host* g_current = nullptr;
}

Host* Current() { return g_current; }
void SetCurrent(Host* h) { g_current = h; }
bool ShouldFail(const char* call) { return g_current != nullptr && g_current->ShouldFail(call); }

uint64_t Fingerprint(const Image& image) {
  uint64_t h = 1469598103934665603ull;
  auto mix = [&](uint64_t v) {
    h ^= v;
    h *= 1099511628211ull;
  };
  mix(static_cast<uint64_t>(image.width));
  mix(static_cast<uint64_t>(image.height));
  mix(static_cast<uint64_t>(image.hotspotX));
  mix(static_cast<uint64_t>(image.hotspotY));
  for (uint32_t p : image.argb) mix(p);
  return h;
}

}  // namespace host

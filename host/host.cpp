// host.cpp — the process-wide current host.
#include "host/host.h"

namespace host {
namespace {
Host* g_current = nullptr;
}

Host* Current() { return g_current; }
void SetCurrent(Host* h) { g_current = h; }
bool ShouldFail(const char* call) { return g_current != nullptr && g_current->ShouldFail(call); }

}  // namespace host

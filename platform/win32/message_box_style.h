// message_box_style.h — MessageBoxA's style bits and answers in host terms.
//
// Provides: the MB_ type, icon and default-button bits as the host's
// request fields and back (the back way is how tests and the replay tool
// record what the program asked for), and a host answer as the ID* value
// MessageBoxA returns.
// Depends on: windows.h, host/host.h.
#pragma once

#include <windows.h>

#include "host/host.h"

namespace platform {

void DescribeMessageBoxStyle(UINT uType, host::MessageBoxRequest* request);
UINT MessageBoxStyleOf(const host::MessageBoxRequest& request);
int MessageBoxResult(host::DialogAnswer answer);

}  // namespace platform

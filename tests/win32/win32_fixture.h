// A headless host made current, and a clean Windows platform, per test.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "host/headless/headless_host.h"
#include "platform/win32/resource_registry.h"
#include "platform/win32/win32_state.h"

class Win32Test : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::ResetWin32State();
    host::SetCurrent(&host_);
    platform::ResetWin32State();
  }
  void TearDown() override {
    platform::ResetWin32State();
    host::SetCurrent(nullptr);
  }

  // Registers a class whose procedure records every message it sees, then
  // passes it on to DefWindowProcA.
  HWND MakeWindow(const char* className, UINT style, int w = 800, int h = 640) {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.style = style;
    wc.lpfnWndProc = &Win32Test::RecordingProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszClassName = className;
    EXPECT_NE(RegisterClassExA(&wc), 0);
    HWND hwnd = CreateWindowExA(0, className, className, WS_OVERLAPPEDWINDOW, 0, 0, w, h, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
    EXPECT_NE(hwnd, nullptr);
    Seen().clear();
    return hwnd;
  }

  static std::vector<MSG>& Seen() {
    static std::vector<MSG> seen;
    return seen;
  }

  static LRESULT CALLBACK RecordingProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    MSG m{};
    m.hwnd = hwnd;
    m.message = msg;
    m.wParam = wp;
    m.lParam = lp;
    Seen().push_back(m);
    if (msg == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcA(hwnd, msg, wp, lp);
  }

  // Takes every message now in the queue (without waiting on the host).
  std::vector<MSG> DrainQueue() {
    std::vector<MSG> out;
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
      out.push_back(m);
      // A second empty look would wait; one look per call keeps time still.
    }
    return out;
  }

  host::HeadlessHost host_;
};

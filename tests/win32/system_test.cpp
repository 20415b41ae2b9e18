// Profile values, debugger output, COM initialisation, the calendar time and
// tick count from the host, module handles, local memory.
#include <objbase.h>

#include <ctime>

#include "tests/win32/win32_fixture.h"

namespace {

class SystemTest : public Win32Test {};

TEST_F(SystemTest, ProfileIntegersAreReadAsThePlatformReadsThem) {
  EXPECT_EQ(GetProfileIntA("Direct3D", "debug", 0), 0u);  // absent: the default
  EXPECT_EQ(GetProfileIntA("Direct3D", "debug", 7), 7u);
  host_.SetProfileValue("Direct3D", "debug", "3");
  EXPECT_EQ(GetProfileIntA("Direct3D", "debug", 0), 3u);
  EXPECT_EQ(GetProfileIntA("DIRECT3D", "DEBUG", 0), 3u);  // names ignore case
  host_.SetProfileValue("Direct3D", "debug", "  12abc");
  EXPECT_EQ(GetProfileIntA("Direct3D", "debug", 0), 12u);
  host_.SetProfileValue("Direct3D", "debug", "-5");
  EXPECT_EQ(GetProfileIntA("Direct3D", "debug", 9), 0u);
  host_.SetProfileValue("Direct3D", "debug", "none");
  EXPECT_EQ(GetProfileIntA("Direct3D", "debug", 9), 0u);  // present but no digits
  host_.SetProfileValue("Direct3D", "debug", "99999999999");
  EXPECT_EQ(GetProfileIntA("Direct3D", "debug", 0), 0xFFFFFFFFu);
  EXPECT_EQ(GetProfileIntA(nullptr, "debug", 4), 4u);
}

TEST_F(SystemTest, DebuggerOutputAlwaysReachesTheHost) {
  OutputDebugStringA("D3DX: one\r\n");
  OutputDebugStringA(nullptr);
  OutputDebugStringA("two");
  EXPECT_EQ(host_.DebugText(), "D3DX: one\r\ntwo");
}

TEST_F(SystemTest, ComInitialisationIsCounted) {
  EXPECT_EQ(CoInitialize(nullptr), S_OK);
  EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), RPC_E_CHANGED_MODE);
  CoUninitialize();
  CoUninitialize();
  host_.FailAt("CoInitialize", host_.CallCount("CoInitialize") + 1);
  EXPECT_EQ(CoInitialize(nullptr), E_OUTOFMEMORY);
  EXPECT_EQ(CoInitialize(nullptr), S_OK);
  CoUninitialize();
  EXPECT_EQ(CoInitialize(reinterpret_cast<LPVOID>(1)), E_INVALIDARG);
}

TEST_F(SystemTest, CalendarTimeAndTickCountFollowTheVirtualClock) {
  host_.SetCalendarTime(1234567890);
  EXPECT_EQ(time(nullptr), 1234567890);
  Sleep(5000);
  time_t out = 0;
  EXPECT_EQ(time(&out), 1234567895);
  EXPECT_EQ(out, 1234567895);
  EXPECT_EQ(GetTickCount(), 5000u);
  // With no host, the real clock.
  host::SetCurrent(nullptr);
  time_t real = time(nullptr);
  EXPECT_GT(real, 1600000000);
  host::SetCurrent(&host_);
}

TEST_F(SystemTest, ModuleHandlesAndGuids) {
  HMODULE self = GetModuleHandleA(nullptr);
  EXPECT_NE(self, nullptr);
  EXPECT_EQ(GetModuleHandleA(nullptr), self);
  EXPECT_EQ(GetModuleHandleA("no-such-module.dll"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
  EXPECT_EQ(GetModuleHandleA("win32_test"), self);
  EXPECT_EQ(GetModuleHandleA("WIN32_TEST.EXE"), self);
  EXPECT_NE(GUID_NULL, IID_IUnknown);
  EXPECT_EQ(IID_IUnknown.Data4[0], 0xC0);
  EXPECT_EQ(IID_IUnknown.Data4[7], 0x46);
}

TEST_F(SystemTest, LastErrorAndLocalMemory) {
  SetLastError(1814);
  EXPECT_EQ(GetLastError(), 1814u);
  void* p = LocalAlloc(LPTR, 16);
  ASSERT_NE(p, nullptr);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(static_cast<uint8_t*>(p)[i], 0);
  EXPECT_EQ(LocalFree(p), nullptr);
  EXPECT_EQ(LocalFree(nullptr), nullptr);
  EXPECT_EQ(LocalAlloc(0x2 /* movable */, 16), nullptr);
}

}  // namespace

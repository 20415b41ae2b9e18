// Window classes and windows: registration rules, creation messages, the
// host window, rectangles and centring, destruction.
#include "tests/win32/win32_fixture.h"

namespace {

class WindowTest : public Win32Test {};

TEST_F(WindowTest, ClassRegistrationRules) {
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = &Win32Test::RecordingProc;
  wc.lpszClassName = "VELMORA";
  ATOM atom = RegisterClassExA(&wc);
  EXPECT_NE(atom, 0);
  // Class names do not depend on case.
  wc.lpszClassName = "velmora";
  EXPECT_EQ(RegisterClassExA(&wc), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_ALREADY_EXISTS));
  WNDCLASSEXA bad = wc;
  bad.lpszClassName = "Other";
  bad.cbSize = 48;  // the 32-bit record size is not this build's record
  EXPECT_EQ(RegisterClassExA(&bad), 0);
  bad.cbSize = sizeof bad;
  bad.lpfnWndProc = nullptr;
  EXPECT_EQ(RegisterClassExA(&bad), 0);
  EXPECT_EQ(RegisterClassExA(nullptr), 0);
  // A window can be made from the class atom too.
  HWND byAtom = CreateWindowExA(0, MAKEINTRESOURCEA(atom), "t", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  EXPECT_NE(byAtom, nullptr);
  EXPECT_EQ(CreateWindowExA(0, "NoSuchClass", "t", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CANNOT_FIND_WND_CLASS));
}

TEST_F(WindowTest, CreationSendsNcCreateThenCreateAndMakesTheHostWindow) {
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = &Win32Test::RecordingProc;
  wc.lpszClassName = "VELMORA";
  ASSERT_NE(RegisterClassExA(&wc), 0);
  Seen().clear();
  int param = 7;
  HWND hwnd = CreateWindowExA(0, "VELMORA", "VELMORA", WS_OVERLAPPEDWINDOW, 0, 0, 800, 640, nullptr, nullptr,
                              nullptr, &param);
  ASSERT_NE(hwnd, nullptr);
  ASSERT_GE(Seen().size(), 2u);
  EXPECT_EQ(Seen()[0].message, static_cast<UINT>(WM_NCCREATE));
  EXPECT_EQ(Seen()[1].message, static_cast<UINT>(WM_CREATE));
  // The record carries the creation parameter (the pointer is only valid
  // during the call, so compare what was seen then).
  EXPECT_TRUE(host_.WindowExists());
  EXPECT_EQ(host_.WindowTitle(), "VELMORA");
  EXPECT_FALSE(host_.WindowVisible());  // not shown until asked
  EXPECT_TRUE(IsWindow(hwnd));
}

LRESULT CALLBACK RefusingProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_CREATE) return -1;
  return DefWindowProcA(hwnd, msg, wp, lp);
}

TEST_F(WindowTest, ProcedureRefusingCreationLeavesNoWindow) {
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = RefusingProc;
  wc.lpszClassName = "Refuse";
  ASSERT_NE(RegisterClassExA(&wc), 0);
  EXPECT_EQ(CreateWindowExA(0, "Refuse", "x", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr), nullptr);
  EXPECT_FALSE(host_.WindowExists());
}

TEST_F(WindowTest, CentringOnA1024x768DesktopPutsTheWindowAt112x64) {
  HWND hwnd = MakeWindow("VELMORA", CS_DBLCLKS);
  RECT d, w;
  ASSERT_TRUE(GetWindowRect(GetDesktopWindow(), &d));
  EXPECT_EQ(d.right, 1024);
  EXPECT_EQ(d.bottom, 768);
  ASSERT_TRUE(GetWindowRect(hwnd, &w));
  int width = w.right - w.left, height = w.bottom - w.top;
  EXPECT_EQ(width, 800);
  EXPECT_EQ(height, 640);
  ASSERT_TRUE(SetWindowPos(hwnd, HWND_TOP, (d.right - width) / 2, (d.bottom - height) / 2, width, height,
                           SWP_SHOWWINDOW));
  ASSERT_TRUE(GetWindowRect(hwnd, &w));
  EXPECT_EQ(w.left, 112);
  EXPECT_EQ(w.top, 64);
  EXPECT_EQ(w.right, 912);
  EXPECT_EQ(w.bottom, 704);
  EXPECT_TRUE(host_.WindowVisible());
  int hx, hy, hw, hh;
  host_.WindowRect(&hx, &hy, &hw, &hh);
  EXPECT_EQ(hx, 112);
  EXPECT_EQ(hy, 64);
  EXPECT_EQ(hw, 800);
  EXPECT_EQ(hh, 640);
  RECT c;
  ASSERT_TRUE(GetClientRect(hwnd, &c));
  EXPECT_EQ(c.right, 800);
  EXPECT_EQ(c.bottom, 640);
}

TEST_F(WindowTest, SmallerDesktopGivesNegativeCentre) {
  host_.SetDesktopSize(640, 480);
  HWND hwnd = MakeWindow("VELMORA", 0);
  RECT d, w;
  GetWindowRect(GetDesktopWindow(), &d);
  GetWindowRect(hwnd, &w);
  SetWindowPos(hwnd, nullptr, (d.right - 800) / 2, (d.bottom - 640) / 2, 800, 640, SWP_SHOWWINDOW);
  GetWindowRect(hwnd, &w);
  EXPECT_EQ(w.left, -80);
  EXPECT_EQ(w.top, -80);
}

TEST_F(WindowTest, SetWindowPosHonoursNoMoveAndNoSize) {
  HWND hwnd = MakeWindow("VELMORA", 0);
  SetWindowPos(hwnd, nullptr, 10, 20, 300, 200, SWP_NOSIZE);
  RECT w;
  GetWindowRect(hwnd, &w);
  EXPECT_EQ(w.left, 10);
  EXPECT_EQ(w.right, 810);
  SetWindowPos(hwnd, nullptr, 99, 99, 300, 200, SWP_NOMOVE);
  GetWindowRect(hwnd, &w);
  EXPECT_EQ(w.left, 10);
  EXPECT_EQ(w.top, 20);
  EXPECT_EQ(w.right, 310);
  EXPECT_EQ(w.bottom, 220);
}

TEST_F(WindowTest, ShowWindowReportsPreviousVisibility) {
  HWND hwnd = MakeWindow("VELMORA", 0);
  EXPECT_FALSE(ShowWindow(hwnd, SW_SHOW));
  EXPECT_TRUE(host_.WindowVisible());
  EXPECT_TRUE(ShowWindow(hwnd, SW_SHOW));
  EXPECT_TRUE(UpdateWindow(hwnd));
  EXPECT_TRUE(ShowWindow(hwnd, SW_HIDE));
  EXPECT_FALSE(host_.WindowVisible());
}

TEST_F(WindowTest, DestroySendsDestroyOnceAndInvalidatesTheHandle) {
  HWND hwnd = MakeWindow("VELMORA", 0);
  ASSERT_TRUE(DestroyWindow(hwnd));
  ASSERT_EQ(Seen().size(), 2u);
  EXPECT_EQ(Seen()[0].message, static_cast<UINT>(WM_DESTROY));
  EXPECT_EQ(Seen()[1].message, static_cast<UINT>(WM_NCDESTROY));
  EXPECT_FALSE(IsWindow(hwnd));
  EXPECT_FALSE(host_.WindowExists());
  EXPECT_FALSE(DestroyWindow(hwnd));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
  RECT r;
  EXPECT_FALSE(GetWindowRect(hwnd, &r));
  EXPECT_FALSE(ShowWindow(hwnd, SW_SHOW));
  EXPECT_EQ(SendMessageA(hwnd, WM_USER, 0, 0), 0);
}

TEST_F(WindowTest, StockBrushesAreDistinctAndStable) {
  EXPECT_NE(GetStockObject(BLACK_BRUSH), nullptr);
  EXPECT_EQ(GetStockObject(BLACK_BRUSH), GetStockObject(BLACK_BRUSH));
  EXPECT_NE(GetStockObject(BLACK_BRUSH), GetStockObject(WHITE_BRUSH));
  EXPECT_EQ(GetStockObject(99), nullptr);
  RECT r;
  SetRect(&r, 0, 0, 10, 10);
  EXPECT_TRUE(PtInRect(&r, POINT{0, 0}));
  EXPECT_FALSE(PtInRect(&r, POINT{10, 5}));  // right and bottom are outside
}

TEST_F(WindowTest, FailingHostWindowFailsCreation) {
  host_.FailAt("host.CreateWindow");
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = &Win32Test::RecordingProc;
  wc.lpszClassName = "VELMORA";
  RegisterClassExA(&wc);
  EXPECT_EQ(CreateWindowExA(0, "VELMORA", "x", 0, 0, 0, 800, 640, nullptr, nullptr, nullptr, nullptr), nullptr);
}

}  // namespace

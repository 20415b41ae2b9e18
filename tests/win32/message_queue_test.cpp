// The message queue: retrieval order, timers that never pile up, timer
// replacement, the close box, double clicks, key messages with repeat, the
// idle wait, and a long virtual session.
#include <algorithm>
#include <chrono>
#include <cstdio>

#include "tests/win32/win32_fixture.h"

namespace {

class MessageQueueTest : public Win32Test {};

std::vector<UINT> Kinds(const std::vector<MSG>& msgs) {
  std::vector<UINT> out;
  for (const MSG& m : msgs) out.push_back(m.message);
  return out;
}

TEST_F(MessageQueueTest, PostedThenQuitThenInputThenOneDueTimer) {
  HWND hwnd = MakeWindow("VELMORA", 0);
  host_.SetKeyRepeat(0, 0);
  ASSERT_NE(SetTimer(hwnd, 1, 100, nullptr), 0u);
  host_.ScheduleKey(50, host::Key::Escape, true);
  host_.AdvanceTo(350);  // three periods went by
  PostMessageA(hwnd, WM_USER, 1, 2);
  PostQuitMessage(3);
  std::vector<MSG> msgs = DrainQueue();
  ASSERT_EQ(Kinds(msgs), (std::vector<UINT>{WM_USER, WM_QUIT, WM_KEYDOWN, WM_TIMER}));
  EXPECT_EQ(msgs[0].hwnd, hwnd);
  EXPECT_EQ(msgs[0].wParam, 1u);
  EXPECT_EQ(msgs[1].hwnd, nullptr);
  EXPECT_EQ(msgs[1].wParam, 3u);
  EXPECT_EQ(msgs[2].wParam, static_cast<WPARAM>(VK_ESCAPE));
  EXPECT_EQ(msgs[2].time, 50u);
  EXPECT_EQ(msgs[3].wParam, 1u);  // the timer's identifier
  EXPECT_EQ(msgs[3].lParam, 0);
}

TEST_F(MessageQueueTest, TimerYieldsOneMessageAcrossALongSleep) {
  HWND hwnd = MakeWindow("VELMORA", 0);
  SetTimer(hwnd, 1, 500, nullptr);
  Sleep(5000);  // ten periods
  std::vector<MSG> msgs = DrainQueue();
  ASSERT_EQ(Kinds(msgs), (std::vector<UINT>{WM_TIMER}));
  // The next one comes a full period after the one just taken, not at once.
  Sleep(499);
  MSG m;
  EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
  Sleep(1);
  EXPECT_EQ(Kinds(DrainQueue()), (std::vector<UINT>{WM_TIMER}));
}

TEST_F(MessageQueueTest, PeekWithoutRemoveLeavesTheTimerDue) {
  HWND hwnd = MakeWindow("VELMORA", 0);
  SetTimer(hwnd, 9, 100, nullptr);
  Sleep(100);
  MSG m;
  ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(m.message, static_cast<UINT>(WM_TIMER));
  ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.message, static_cast<UINT>(WM_TIMER));
  EXPECT_EQ(m.wParam, 9u);
}

TEST_F(MessageQueueTest, SettingATimerAgainReplacesItAndRestartsItsPeriod) {
  HWND hwnd = MakeWindow("VELMORA", 0);
  SetTimer(hwnd, 1, 500, nullptr);
  Sleep(400);
  SetTimer(hwnd, 1, 500, nullptr);  // now due at 900, not at 500
  Sleep(100);
  MSG m;
  EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
  Sleep(399);
  EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
  Sleep(1);
  EXPECT_EQ(Kinds(DrainQueue()), (std::vector<UINT>{WM_TIMER}));
  // Replacement changes the period too, and there is still only one timer.
  SetTimer(hwnd, 1, 200, nullptr);
  Sleep(1000);
  EXPECT_EQ(DrainQueue().size(), 1u);
  // Another identifier is another timer; KillTimer ends one.
  SetTimer(hwnd, 2, 200, nullptr);
  Sleep(200);
  EXPECT_EQ(DrainQueue().size(), 2u);
  EXPECT_TRUE(KillTimer(hwnd, 1));
  EXPECT_FALSE(KillTimer(hwnd, 1));
  Sleep(200);
  std::vector<MSG> left = DrainQueue();
  ASSERT_EQ(left.size(), 1u);
  EXPECT_EQ(left[0].wParam, 2u);
}

TEST_F(MessageQueueTest, TimersBelowTheMinimumAreRaisedAndBadWindowsRefused) {
  HWND hwnd = MakeWindow("VELMORA", 0);
  SetTimer(hwnd, 1, 1, nullptr);
  Sleep(9);
  MSG m;
  EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
  Sleep(1);
  EXPECT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(SetTimer(reinterpret_cast<HWND>(0x1234), 1, 100, nullptr), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
}

int g_procCalls = 0;
void CALLBACK CountingTimerProc(HWND, UINT msg, UINT_PTR, DWORD) {
  if (msg == WM_TIMER) ++g_procCalls;
}

TEST_F(MessageQueueTest, ThreadTimerWithProcedureIsCalledByDispatch) {
  g_procCalls = 0;
  UINT_PTR id = SetTimer(nullptr, 0, 100, CountingTimerProc);
  ASSERT_NE(id, 0u);
  Sleep(100);
  MSG m;
  ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.message, static_cast<UINT>(WM_TIMER));
  EXPECT_EQ(m.wParam, id);
  DispatchMessageA(&m);
  EXPECT_EQ(g_procCalls, 1);
  EXPECT_TRUE(KillTimer(nullptr, id));
}

// The program's loop: take, translate, dispatch; set the cursor when idle.
int RunLoop(HWND hwnd, HCURSOR idleCursor, int maxPasses = 100000) {
  (void)hwnd;
  MSG msg{};
  for (int pass = 0; pass < maxPasses && msg.message != WM_QUIT; ++pass) {
    if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    } else {
      SetCursor(idleCursor);
    }
  }
  return msg.message == WM_QUIT ? static_cast<int>(msg.wParam) : -99;
}

TEST_F(MessageQueueTest, CloseBoxReachesDestroyAndTheQuitMessage) {
  HWND hwnd = MakeWindow("VELMORA", CS_DBLCLKS);
  ShowWindow(hwnd, SW_SHOW);
  host_.ScheduleClose(1500);
  EXPECT_EQ(RunLoop(hwnd, nullptr), 0);
  std::vector<UINT> kinds = Kinds(Seen());
  auto close = std::find(kinds.begin(), kinds.end(), static_cast<UINT>(WM_CLOSE));
  auto destroy = std::find(kinds.begin(), kinds.end(), static_cast<UINT>(WM_DESTROY));
  ASSERT_NE(close, kinds.end());
  ASSERT_NE(destroy, kinds.end());
  EXPECT_LT(close, destroy);
  EXPECT_FALSE(IsWindow(hwnd));
  EXPECT_FALSE(host_.WindowExists());
  // The idle loop waited on the host instead of spinning through time.
  EXPECT_EQ(host_.NowMs(), 1500u);
}

TEST_F(MessageQueueTest, DoubleClickReplacesTheSecondPressOnlyWithCsDblclks) {
  MakeWindow("VELMORA", CS_DBLCLKS);
  host_.ScheduleDoubleClick(100, 300, 200);
  Sleep(1000);
  std::vector<MSG> msgs = DrainQueue();
  std::vector<UINT> presses;
  for (const MSG& m : msgs) {
    if (m.message == WM_LBUTTONDOWN || m.message == WM_LBUTTONDBLCLK) {
      presses.push_back(m.message);
      EXPECT_EQ(LOWORD(m.lParam), 300);
      EXPECT_EQ(HIWORD(m.lParam), 200);
      EXPECT_EQ(m.wParam, static_cast<WPARAM>(MK_LBUTTON));
    }
  }
  EXPECT_EQ(presses, (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONDBLCLK}));

  platform::ResetWin32State();
  MakeWindow("Plain", 0);
  host_.ScheduleDoubleClick(2000, 300, 200);
  Sleep(2000);
  presses.clear();
  for (const MSG& m : DrainQueue()) {
    if (m.message == WM_LBUTTONDOWN || m.message == WM_LBUTTONDBLCLK) presses.push_back(m.message);
  }
  EXPECT_EQ(presses, (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONDOWN}));
}

TEST_F(MessageQueueTest, SlowOrDistantSecondPressOrAThirdPressIsAPlainPress) {
  HWND hwnd = MakeWindow("VELMORA", CS_DBLCLKS);
  (void)hwnd;
  host_.ScheduleClick(100, 10, 10);
  host_.ScheduleClick(100 + GetDoubleClickTime() + 1, 10, 10);  // too late
  host_.ScheduleClick(2000, 10, 10);
  host_.ScheduleClick(2050, 13, 10);  // outside the 4 x 4 box
  host_.ScheduleClick(4000, 50, 50);
  host_.ScheduleClick(4050, 50, 50);  // double
  host_.ScheduleClick(4100, 50, 50);  // third: starts a new pair
  Sleep(5000);
  std::vector<UINT> presses;
  for (const MSG& m : DrainQueue()) {
    if (m.message == WM_LBUTTONDOWN || m.message == WM_LBUTTONDBLCLK) presses.push_back(m.message);
  }
  EXPECT_EQ(presses, (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONDOWN, WM_LBUTTONDOWN, WM_LBUTTONDOWN,
                                        WM_LBUTTONDOWN, WM_LBUTTONDBLCLK, WM_LBUTTONDOWN}));
}

TEST_F(MessageQueueTest, KeyMessagesCarryScanCodeRepeatAndTransitionBits) {
  MakeWindow("VELMORA", 0);
  host_.SetKeyRepeat(500, 100);
  host_.ScheduleKey(0, host::Key::Left, true);  // extended arrow key
  host_.ScheduleKey(1000, host::Key::Left, false);
  Sleep(2000);  // the program is busy: repeats wait in one message
  std::vector<MSG> msgs = DrainQueue();
  ASSERT_EQ(Kinds(msgs), (std::vector<UINT>{WM_KEYDOWN, WM_KEYDOWN, WM_KEYUP}));
  auto l = [&](int i) { return static_cast<uint32_t>(msgs[i].lParam); };
  EXPECT_EQ(msgs[0].wParam, static_cast<WPARAM>(VK_LEFT));
  EXPECT_EQ(l(0) & 0xFFFF, 1u);
  EXPECT_EQ((l(0) >> 16) & 0xFF, 0x4Bu);
  EXPECT_TRUE(l(0) & (1u << 24));
  EXPECT_FALSE(l(0) & (1u << 30));  // first press: key was up
  EXPECT_EQ(l(1) & 0xFFFF, 5u);     // repeats at 500, 600, 700, 800, 900
  EXPECT_TRUE(l(1) & (1u << 30));
  EXPECT_TRUE(l(2) & (1u << 30));
  EXPECT_TRUE(l(2) & (1u << 31));
}

TEST_F(MessageQueueTest, RepeatsReadPromptlyArriveOneByOne) {
  MakeWindow("VELMORA", 0);
  host_.SetKeyRepeat(500, 100);
  host_.ScheduleKey(0, host::Key::Space, true);
  int downs = 0;
  for (int t = 0; t < 800; t += 10) {
    Sleep(10);
    for (const MSG& m : DrainQueue()) {
      if (m.message == WM_KEYDOWN) {
        ++downs;
        EXPECT_EQ(static_cast<uint32_t>(m.lParam) & 0xFFFF, 1u);
      }
    }
  }
  EXPECT_EQ(downs, 1 + 4);  // the press, then repeats at 500, 600, 700, 800
}

TEST_F(MessageQueueTest, TranslateMessagePostsCharacters) {
  MakeWindow("VELMORA", 0);
  host_.SetKeyRepeat(0, 0);
  host_.ScheduleKey(0, host::Key::A, true);
  Sleep(1);
  MSG m;
  ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
  ASSERT_EQ(m.message, static_cast<UINT>(WM_KEYDOWN));
  EXPECT_TRUE(TranslateMessage(&m));
  ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.message, static_cast<UINT>(WM_CHAR));
  EXPECT_EQ(m.wParam, static_cast<WPARAM>('a'));
  // Shift as the key's own event carried it, not as the keyboard is when
  // the message is translated.
  host_.ScheduleKeyState(10, host::Key::LeftShift, true);
  host_.ScheduleKey(10, host::Key::B, true);
  host_.ScheduleKeyState(20, host::Key::LeftShift, false);
  Sleep(30);
  ASSERT_TRUE(PeekMessageA(&m, nullptr, WM_KEYDOWN, WM_KEYDOWN, PM_REMOVE));
  EXPECT_TRUE(TranslateMessage(&m));
  ASSERT_TRUE(PeekMessageA(&m, nullptr, WM_CHAR, WM_CHAR, PM_REMOVE));
  EXPECT_EQ(m.wParam, static_cast<WPARAM>('B'));
  MSG notKey{};
  notKey.message = WM_TIMER;
  EXPECT_FALSE(TranslateMessage(&notKey));
}

TEST_F(MessageQueueTest, IdlePeekWaitsForTheNextTimerOnlyOnTheSecondEmptyLook) {
  HWND hwnd = MakeWindow("VELMORA", 0);
  SetTimer(hwnd, 1, 500, nullptr);
  MSG m;
  EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(host_.NowMs(), 0u);  // the first empty look returns at once
  EXPECT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.message, static_cast<UINT>(WM_TIMER));
  EXPECT_EQ(host_.NowMs(), 500u);
}

TEST_F(MessageQueueTest, FiltersAndGetMessage) {
  HWND hwnd = MakeWindow("VELMORA", 0);
  PostMessageA(hwnd, WM_USER + 5, 0, 0);
  PostMessageA(nullptr, WM_USER + 6, 0, 0);
  MSG m;
  // Thread messages only.
  ASSERT_TRUE(PeekMessageA(&m, reinterpret_cast<HWND>(-1), 0, 0, PM_REMOVE));
  EXPECT_EQ(m.message, static_cast<UINT>(WM_USER + 6));
  // Range that excludes what is there.
  EXPECT_FALSE(PeekMessageA(&m, nullptr, WM_KEYDOWN, WM_KEYUP, PM_REMOVE));
  EXPECT_EQ(GetMessageA(&m, nullptr, 0, 0), TRUE);
  EXPECT_EQ(m.message, static_cast<UINT>(WM_USER + 5));
  PostQuitMessage(4);
  EXPECT_EQ(GetMessageA(&m, nullptr, 0, 0), FALSE);
  EXPECT_EQ(m.wParam, 4u);
  EXPECT_FALSE(PostMessageA(reinterpret_cast<HWND>(0x999), WM_USER, 0, 0));
}

TEST_F(MessageQueueTest, MouseMessagesLetTheClassPickTheCursorFirst) {
  HWND hwnd = MakeWindow("VELMORA", 0);
  host_.ScheduleClick(10, 5, 5);
  Sleep(100);
  uint64_t before = host_.CursorChanges();
  std::vector<MSG> msgs = DrainQueue();
  ASSERT_FALSE(msgs.empty());
  bool sawSetCursor = false;
  for (const MSG& m : Seen()) sawSetCursor |= m.message == WM_SETCURSOR && m.hwnd == hwnd;
  EXPECT_TRUE(sawSetCursor);
  EXPECT_EQ(host_.CursorChanges(), before + 1);  // the class arrow, once
  EXPECT_EQ(host_.CurrentCursor(), nullptr);
}

TEST_F(MessageQueueTest, TenMinuteVirtualSessionOfTimersAndSleeps) {
  HWND hwnd = MakeWindow("VELMORA", CS_DBLCLKS);
  SetTimer(hwnd, 1, 500, nullptr);
  for (uint64_t t = 1000; t < 600000; t += 7000) {
    host_.ScheduleKey(t, host::Key::Space, true);
    host_.ScheduleKey(t + 1200, host::Key::Space, false);
    host_.ScheduleDoubleClick(t + 3000, 100, 100);
  }
  host_.ScheduleClose(600000);
  auto start = std::chrono::steady_clock::now();
  MSG msg{};
  int ticks = 0, keys = 0;
  uint64_t lastTick = 0;
  bool tooClose = false;
  while (msg.message != WM_QUIT) {
    if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_TIMER) {
        ++ticks;
        if (ticks > 1 && host_.NowMs() - lastTick < 500) tooClose = true;
        lastTick = host_.NowMs();
        if (ticks % 20 == 0) Sleep(5000);  // a 5-second pause inside a tick
      }
      if (msg.message == WM_KEYDOWN) ++keys;
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }
  double wallMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  std::printf("ten-minute virtual session: %d ticks, %d key messages, %.1f ms wall time\n", ticks, keys, wallMs);
  RecordProperty("wall_ms", static_cast<int>(wallMs));
  EXPECT_EQ(host_.NowMs(), 600000u);
  EXPECT_FALSE(tooClose);  // never two timer messages within one period
  // Without pauses 1199 ticks; each pause costs nine periods.
  EXPECT_GT(ticks, 800);
  EXPECT_LT(ticks, 1200);
  EXPECT_GT(keys, 86);  // one press per scripted key, plus its repeats
}

}  // namespace

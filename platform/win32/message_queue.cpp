// message_queue.cpp — the thread's message queue and the window procedures'
// default handling.
//
// Provides: PeekMessageA, GetMessageA, TranslateMessage, DispatchMessageA,
// DefWindowProcA, SendMessageA, PostMessageA, PostQuitMessage, Sleep,
// GetTickCount, GetDoubleClickTime.
// Depends on: the host (events, clock, waiting), windows, timers, cursors.
//
// Retrieval order is the platform's: posted messages, then the quit message,
// then input (keys, mouse, the close box), then a due timer. Host events are
// turned into input messages when the queue is read or the thread sleeps;
// they wait there until the program asks. A PeekMessageA that finds the
// queue empty twice in a row, with no time gone by in between, waits on the
// host for the next event or timer instead of spinning; the loop above sees
// the same answers, only later.
#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <deque>
#include <thread>

#include "host/host.h"
#include "platform/win32/host_keys.h"
#include "platform/win32/win32_internal.h"

namespace platform::detail {
namespace {

constexpr UINT kDoubleClickTimeMs = 500;
constexpr int kDoubleClickHalfBox = 2;  // the double-click box is 4 x 4 pixels
constexpr uint64_t kMaxIdleWaitMs = 1000;
constexpr WORD kMaxRepeatCount = 0xFFFF;

// An input message with the modifier state its key event carried.
struct InputMsg {
  MSG msg;
  bool shift = false;
};

struct QueueState {
  std::deque<MSG> posted;
  std::deque<InputMsg> input;
  bool shiftOfLastKey = false;  // as of the last key message taken
  bool quitPending = false;
  int quitCode = 0;
  // Double-click tracking: the last press that could start a double click.
  bool havePress = false;
  uint64_t pressTime = 0;
  int pressX = 0, pressY = 0;
  HWND pressWindow = nullptr;
  bool buttonDown = false;
  POINT cursor = {0, 0};  // last pointer position, client coordinates
  bool lastPeekEmpty = false;
  uint64_t lastEmptyPeekMs = 0;
};

QueueState& Queue() {
  static QueueState state;
  return state;
}

bool InFilter(const MSG& m, HWND hwnd, UINT lo, UINT hi) {
  if (hwnd == reinterpret_cast<HWND>(-1)) {
    if (m.hwnd != nullptr) return false;
  } else if (hwnd != nullptr && m.hwnd != hwnd) {
    return false;
  }
  if (lo == 0 && hi == 0) return true;
  return m.message >= lo && m.message <= hi;
}

const MSG& MsgOf(const MSG& m) { return m; }
const MSG& MsgOf(const InputMsg& m) { return m.msg; }

template <typename Item>
bool TakeFrom(std::deque<Item>& q, HWND hwnd, UINT lo, UINT hi, bool remove, MSG* out, Item* taken = nullptr) {
  for (auto it = q.begin(); it != q.end(); ++it) {
    if (!InFilter(MsgOf(*it), hwnd, lo, hi)) continue;
    *out = MsgOf(*it);
    if (taken) *taken = *it;
    if (remove) q.erase(it);
    return true;
  }
  return false;
}

LPARAM KeyLParam(int scancode, WORD repeat, bool wasDown, bool released) {
  uint32_t l = repeat;
  l |= static_cast<uint32_t>(scancode & 0x7F) << 16;
  if (scancode & 0x80) l |= 1u << 24;  // extended key
  if (wasDown) l |= 1u << 30;
  if (released) l |= 1u << 31;
  return static_cast<LPARAM>(l);
}

POINT ScreenPoint(HWND hwnd, int x, int y) {
  POINT p{x, y};
  if (Window* w = FindWindowByHandle(hwnd)) {
    p.x += w->rect.left;
    p.y += w->rect.top;
  }
  return p;
}

void PushInput(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, uint64_t time, int x, int y,
               bool shift = false) {
  MSG m{};
  m.hwnd = hwnd;
  m.message = message;
  m.wParam = wParam;
  m.lParam = lParam;
  m.time = static_cast<DWORD>(time);
  m.pt = ScreenPoint(hwnd, x, y);
  Queue().input.push_back(InputMsg{m, shift});
}

// A key as WM_KEYDOWN or WM_KEYUP. Auto-repeat while the program is busy
// adds to the waiting message's repeat count instead of queueing more.
void TranslateKey(HWND hwnd, const host::Event& e) {
  auto& st = Queue();
  const bool down = e.type == host::EventType::KeyDown;
  const int vk = platform::VkFromHostKey(e.key, (e.mods & host::kModNumLock) != 0);
  const int dik = platform::DikFromHostKey(e.key);
  if (vk == 0 && dik == 0) return;
  if (down && e.repeat && !st.input.empty()) {
    MSG& last = st.input.back().msg;
    if (last.message == WM_KEYDOWN && last.wParam == static_cast<WPARAM>(vk) &&
        (static_cast<uint32_t>(last.lParam) & (1u << 30))) {
      uint32_t l = static_cast<uint32_t>(last.lParam);
      WORD count = static_cast<WORD>(l & 0xFFFF);
      if (count < kMaxRepeatCount) ++count;
      last.lParam = static_cast<LPARAM>((l & 0xFFFF0000u) | count);
      return;
    }
  }
  const LPARAM l = down ? KeyLParam(dik, 1, e.repeat, false) : KeyLParam(dik, 1, true, true);
  PushInput(hwnd, down ? WM_KEYDOWN : WM_KEYUP, static_cast<WPARAM>(vk & 0xFF), l, e.timeMs, st.cursor.x,
            st.cursor.y, (e.mods & host::kModShift) != 0);
}

// Only the latest position of a run of moves matters.
void TranslateMouseMove(HWND hwnd, const host::Event& e) {
  auto& st = Queue();
  st.cursor = POINT{e.x, e.y};
  LPARAM l = MAKELPARAM(e.x, e.y);
  WPARAM keys = st.buttonDown ? MK_LBUTTON : 0;
  if (!st.input.empty() && st.input.back().msg.message == WM_MOUSEMOVE) {
    MSG& last = st.input.back().msg;
    last.lParam = l;
    last.wParam = keys;
    last.time = static_cast<DWORD>(e.timeMs);
    last.pt = ScreenPoint(hwnd, e.x, e.y);
    return;
  }
  PushInput(hwnd, WM_MOUSEMOVE, keys, l, e.timeMs, e.x, e.y);
}

// A press is a double click when the class asks for them and it follows the
// last press in time and place; a third press starts a new pair.
void TranslateMouseDown(HWND hwnd, const host::Event& e) {
  auto& st = Queue();
  Window* w = FindWindowByHandle(hwnd);
  st.cursor = POINT{e.x, e.y};
  st.buttonDown = true;
  bool dbl = w && (w->cls.style & CS_DBLCLKS) && st.havePress && st.pressWindow == hwnd &&
             e.timeMs >= st.pressTime && e.timeMs - st.pressTime <= GetDoubleClickTime() &&
             std::abs(e.x - st.pressX) <= kDoubleClickHalfBox && std::abs(e.y - st.pressY) <= kDoubleClickHalfBox;
  if (dbl) {
    st.havePress = false;
  } else {
    st.havePress = true;
    st.pressTime = e.timeMs;
    st.pressX = e.x;
    st.pressY = e.y;
    st.pressWindow = hwnd;
  }
  PushInput(hwnd, dbl ? WM_LBUTTONDBLCLK : WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(e.x, e.y), e.timeMs, e.x, e.y);
}

void TranslateEvent(const host::Event& e) {
  auto& st = Queue();
  HWND hwnd = HostWindow();
  if (hwnd == nullptr) return;  // no window to receive it
  switch (e.type) {
    case host::EventType::KeyDown:
    case host::EventType::KeyUp:
      TranslateKey(hwnd, e);
      return;
    case host::EventType::MouseMove:
      TranslateMouseMove(hwnd, e);
      return;
    case host::EventType::MouseDown:
      TranslateMouseDown(hwnd, e);
      return;
    case host::EventType::MouseUp:
      st.cursor = POINT{e.x, e.y};
      st.buttonDown = false;
      PushInput(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(e.x, e.y), e.timeMs, e.x, e.y);
      return;
    case host::EventType::Close:
      // The close box: the window procedure decides; by default it destroys.
      PushInput(hwnd, WM_CLOSE, 0, 0, e.timeMs, st.cursor.x, st.cursor.y);
      return;
    case host::EventType::Expose:
      // The host shows the last presented frame again by itself.
      return;
  }
}

bool IsMouseMessage(UINT m) { return m >= WM_MOUSEMOVE && m <= WM_RBUTTONUP; }

// One pass over the queue in the platform's order.
bool TakeMessage(MSG* out, HWND hwnd, UINT lo, UINT hi, bool remove) {
  auto& st = Queue();
  if (TakeFrom(st.posted, hwnd, lo, hi, remove, out)) return true;
  if (st.quitPending && (hwnd == nullptr || hwnd == reinterpret_cast<HWND>(-1)) &&
      ((lo == 0 && hi == 0) || (lo <= WM_QUIT && WM_QUIT <= hi))) {
    *out = MSG{};
    out->message = WM_QUIT;
    out->wParam = static_cast<WPARAM>(static_cast<intptr_t>(st.quitCode));
    out->time = static_cast<DWORD>(NowMs());
    if (remove) st.quitPending = false;
    return true;
  }
  InputMsg taken;
  if (TakeFrom(st.input, hwnd, lo, hi, remove, out, &taken)) {
    if (out->message == WM_KEYDOWN || out->message == WM_KEYUP) st.shiftOfLastKey = taken.shift;
    if (remove && IsMouseMessage(out->message) && FindWindowByHandle(out->hwnd)) {
      // The pointer is over the client: the window picks the cursor first.
      SendMessageA(out->hwnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(out->hwnd),
                   MAKELPARAM(HTCLIENT, out->message));
    }
    return true;
  }
  bool timerInRange = (lo == 0 && hi == 0) || (lo <= WM_TIMER && WM_TIMER <= hi);
  if (timerInRange && TakeDueTimer(hwnd, remove, NowMs(), out)) {
    out->pt = ScreenPoint(out->hwnd, st.cursor.x, st.cursor.y);
    return true;
  }
  return false;
}

// Blocks until the host has an event or a timer matching `hwnd` is due.
void WaitForWork(HWND hwnd, uint64_t capMs) {
  host::Host* h = host::Current();
  uint64_t now = NowMs();
  uint64_t deadline = NextTimerDue(hwnd);
  if (deadline > now + capMs) deadline = now + capMs;
  if (deadline <= now) return;
  if (h) {
    h->WaitEvent(deadline);
  } else {
    std::this_thread::sleep_for(std::chrono::milliseconds(deadline - now));
  }
}

}  // namespace

uint64_t NowMs() {
  if (host::Host* h = host::Current()) return h->NowMs();
  static const auto start = std::chrono::steady_clock::now();
  return static_cast<uint64_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count());
}

void PumpHostEvents() {
  host::Host* h = host::Current();
  if (h == nullptr) return;
  host::Event e;
  while (h->PollEvent(&e)) TranslateEvent(e);
}

void RemoveMessagesFor(HWND hwnd) {
  auto& st = Queue();
  for (auto it = st.posted.begin(); it != st.posted.end();) {
    it = it->hwnd == hwnd ? st.posted.erase(it) : it + 1;
  }
  for (auto it = st.input.begin(); it != st.input.end();) {
    it = it->msg.hwnd == hwnd ? st.input.erase(it) : it + 1;
  }
  if (st.pressWindow == hwnd) st.havePress = false;
}

void ResetQueue() { Queue() = QueueState{}; }

}  // namespace platform::detail

using platform::detail::FindWindowByHandle;

extern "C" {

BOOL WINAPI PeekMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax, UINT wRemoveMsg) {
  if (lpMsg == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  auto& st = platform::detail::Queue();
  bool remove = (wRemoveMsg & PM_REMOVE) != 0;
  platform::detail::PumpHostEvents();
  if (platform::detail::TakeMessage(lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, remove)) {
    st.lastPeekEmpty = false;
    return TRUE;
  }
  uint64_t now = platform::detail::NowMs();
  if (st.lastPeekEmpty && st.lastEmptyPeekMs == now) {
    // Second empty look in a row with no time gone by: the caller is
    // spinning, and nothing will change until the host has an event or a
    // timer comes due, so wait for that.
    platform::detail::WaitForWork(hWnd, platform::detail::kMaxIdleWaitMs);
    platform::detail::PumpHostEvents();
    if (platform::detail::TakeMessage(lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, remove)) {
      st.lastPeekEmpty = false;
      return TRUE;
    }
  }
  st.lastPeekEmpty = true;
  st.lastEmptyPeekMs = platform::detail::NowMs();
  return FALSE;
}

BOOL WINAPI GetMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax) {
  if (lpMsg == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return -1;
  }
  for (;;) {
    platform::detail::PumpHostEvents();
    if (platform::detail::TakeMessage(lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, true)) {
      return lpMsg->message == WM_QUIT ? FALSE : TRUE;
    }
    platform::detail::WaitForWork(hWnd, platform::detail::kMaxIdleWaitMs);
  }
}

BOOL WINAPI TranslateMessage(const MSG* lpMsg) {
  if (lpMsg == nullptr) return FALSE;
  if (lpMsg->message != WM_KEYDOWN && lpMsg->message != WM_KEYUP && lpMsg->message != WM_SYSKEYDOWN &&
      lpMsg->message != WM_SYSKEYUP) {
    return FALSE;
  }
  if (lpMsg->message == WM_KEYDOWN) {
    // Characters of the keys that have one regardless of layout details;
    // Shift as the key's own event found it.
    bool shift = platform::detail::Queue().shiftOfLastKey;
    int vk = static_cast<int>(lpMsg->wParam & 0xFF);
    int ch = 0;
    if (vk >= 'A' && vk <= 'Z') ch = shift ? vk : vk - 'A' + 'a';
    else if (vk >= '0' && vk <= '9' && !shift) ch = vk;
    else if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD9) ch = '0' + vk - VK_NUMPAD0;
    else if (vk == VK_SPACE || vk == VK_RETURN || vk == VK_ESCAPE || vk == VK_BACK || vk == VK_TAB) ch = vk;
    if (ch != 0) {
      MSG c = *lpMsg;
      c.message = WM_CHAR;
      c.wParam = static_cast<WPARAM>(ch);
      platform::detail::Queue().posted.push_front(c);
    }
  }
  return TRUE;
}

LRESULT WINAPI DispatchMessageA(const MSG* lpMsg) {
  if (lpMsg == nullptr) return 0;
  if (lpMsg->message == WM_TIMER && lpMsg->lParam != 0) {
    auto proc = reinterpret_cast<TIMERPROC>(lpMsg->lParam);
    proc(lpMsg->hwnd, WM_TIMER, lpMsg->wParam, GetTickCount());
    return 0;
  }
  if (lpMsg->hwnd == nullptr) return 0;  // thread messages have no procedure
  platform::detail::Window* w = FindWindowByHandle(lpMsg->hwnd);
  if (w == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  return w->cls.proc(lpMsg->hwnd, lpMsg->message, lpMsg->wParam, lpMsg->lParam);
}

LRESULT WINAPI DefWindowProcA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  (void)wParam;
  switch (Msg) {
    case WM_NCCREATE:
      return TRUE;
    case WM_CLOSE:
      DestroyWindow(hWnd);
      return 0;
    case WM_SETCURSOR: {
      platform::detail::Window* w = FindWindowByHandle(hWnd);
      if (w && LOWORD(lParam) == HTCLIENT && w->cls.cursor) {
        SetCursor(w->cls.cursor);
        return TRUE;
      }
      return FALSE;
    }
    case WM_ERASEBKGND:
      return TRUE;
    default:
      return 0;
  }
}

LRESULT WINAPI SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  platform::detail::Window* w = FindWindowByHandle(hWnd);
  if (w == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  return w->cls.proc(hWnd, Msg, wParam, lParam);
}

BOOL WINAPI PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  if (hWnd != nullptr && FindWindowByHandle(hWnd) == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  MSG m{};
  m.hwnd = hWnd;
  m.message = Msg;
  m.wParam = wParam;
  m.lParam = lParam;
  m.time = static_cast<DWORD>(platform::detail::NowMs());
  platform::detail::Queue().posted.push_back(m);
  return TRUE;
}

VOID WINAPI PostQuitMessage(int nExitCode) {
  auto& st = platform::detail::Queue();
  st.quitPending = true;
  st.quitCode = nExitCode;
}

VOID WINAPI Sleep(DWORD dwMilliseconds) {
  if (host::Host* h = host::Current()) {
    h->SleepMs(dwMilliseconds);
    platform::detail::PumpHostEvents();
  } else {
    std::this_thread::sleep_for(std::chrono::milliseconds(dwMilliseconds));
  }
}

DWORD WINAPI GetTickCount(void) { return static_cast<DWORD>(platform::detail::NowMs()); }

UINT WINAPI GetDoubleClickTime(void) { return platform::detail::kDoubleClickTimeMs; }

}  // extern "C"

// timers.cpp — SetTimer and KillTimer, and the due timers the queue hands out.
//
// A timer is a flag, not a message: when it comes due it yields one WM_TIMER
// the next time the queue has nothing else, and then waits for its next
// period after the moment it was taken. So timer messages never pile up
// while the thread sleeps or is busy. Setting a timer again for the same
// window and identifier replaces it and restarts its period.
// Depends on: the clock (host or process), windows (for handle checks).
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <vector>

#include "platform/win32/win32_internal.h"

namespace platform::detail {
namespace {

constexpr UINT kMaxElapse = 0x7FFFFFFF;
constexpr UINT_PTR kFirstThreadTimerId = 0x7FFE;

struct Timer {
  HWND hwnd = nullptr;
  UINT_PTR id = 0;
  uint64_t period = 0;
  uint64_t nextDue = 0;
  TIMERPROC proc = nullptr;
};

struct TimerState {
  std::vector<Timer> timers;  // in order of creation
  UINT_PTR nextThreadId = kFirstThreadTimerId;
};

TimerState& Timers() {
  static TimerState state;
  return state;
}

bool Matches(const Timer& t, HWND filter) {
  if (filter == nullptr) return true;
  if (filter == reinterpret_cast<HWND>(-1)) return t.hwnd == nullptr;
  return t.hwnd == filter;
}

}  // namespace

void KillTimersOf(HWND hwnd) {
  auto& timers = Timers().timers;
  timers.erase(std::remove_if(timers.begin(), timers.end(), [&](const Timer& t) { return t.hwnd == hwnd; }),
               timers.end());
}

void ResetTimers() {
  Timers().timers.clear();
  Timers().nextThreadId = kFirstThreadTimerId;
}

uint64_t NextTimerDue(HWND filter) {
  uint64_t best = std::numeric_limits<uint64_t>::max();
  for (const Timer& t : Timers().timers) {
    if (Matches(t, filter)) best = std::min(best, t.nextDue);
  }
  return best;
}

bool TakeDueTimer(HWND filter, bool remove, uint64_t now, MSG* msg) {
  Timer* due = nullptr;
  for (Timer& t : Timers().timers) {
    if (!Matches(t, filter) || t.nextDue > now) continue;
    if (due == nullptr || t.nextDue < due->nextDue) due = &t;
  }
  if (due == nullptr) return false;
  msg->hwnd = due->hwnd;
  msg->message = WM_TIMER;
  msg->wParam = due->id;
  msg->lParam = reinterpret_cast<LPARAM>(due->proc);
  msg->time = static_cast<DWORD>(now);
  if (remove) {
    // Next due at the first period boundary after now: one message however
    // many periods went by.
    uint64_t missed = (now - due->nextDue) / due->period + 1;
    due->nextDue += missed * due->period;
  }
  return true;
}

}  // namespace platform::detail

extern "C" {

UINT_PTR WINAPI SetTimer(HWND hWnd, UINT_PTR nIDEvent, UINT uElapse, TIMERPROC lpTimerFunc) {
  using platform::detail::Timer;
  if (hWnd != nullptr && platform::detail::FindWindowByHandle(hWnd) == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  uint64_t period = std::clamp<UINT>(uElapse, USER_TIMER_MINIMUM, platform::detail::kMaxElapse);
  uint64_t now = platform::detail::NowMs();
  auto& st = platform::detail::Timers();
  for (Timer& t : st.timers) {
    if (t.hwnd == hWnd && t.id == nIDEvent && (hWnd != nullptr || nIDEvent != 0)) {
      t.period = period;
      t.nextDue = now + period;
      t.proc = lpTimerFunc;
      return hWnd != nullptr ? (nIDEvent != 0 ? nIDEvent : 1) : nIDEvent;
    }
  }
  Timer t;
  t.hwnd = hWnd;
  t.period = period;
  t.nextDue = now + period;
  t.proc = lpTimerFunc;
  if (hWnd != nullptr) {
    t.id = nIDEvent;
  } else {
    // A thread timer gets an identifier of its own that no live one uses.
    for (;;) {
      UINT_PTR id = st.nextThreadId++;
      if (id == 0) continue;
      bool used = std::any_of(st.timers.begin(), st.timers.end(),
                              [&](const Timer& o) { return o.hwnd == nullptr && o.id == id; });
      if (!used) {
        t.id = id;
        break;
      }
    }
  }
  st.timers.push_back(t);
  if (hWnd == nullptr) return t.id;
  return nIDEvent != 0 ? nIDEvent : 1;
}

BOOL WINAPI KillTimer(HWND hWnd, UINT_PTR uIDEvent) {
  auto& timers = platform::detail::Timers().timers;
  for (auto it = timers.begin(); it != timers.end(); ++it) {
    if (it->hwnd == hWnd && it->id == uIDEvent) {
      timers.erase(it);
      return TRUE;
    }
  }
  SetLastError(ERROR_INVALID_PARAMETER);
  return FALSE;
}

}  // extern "C"

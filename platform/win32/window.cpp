// window.cpp — window classes and windows.
//
// Provides: RegisterClassExA, CreateWindowExA, ShowWindow, UpdateWindow,
// DestroyWindow, IsWindow, GetDesktopWindow, GetWindowRect, GetClientRect,
// SetWindowPos, GetStockObject, PtInRect, SetRect.
// Depends on: the host (the first top-level window becomes the host's one
// real window; the desktop is the host's desktop).
//
// Our windows have no frame: the outer rectangle is the client rectangle,
// and the host shows the logical 800 x 640 client letterboxed into whatever
// size the real window has.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "host/host.h"
#include "platform/win32/win32_internal.h"

namespace platform::detail {
namespace {

constexpr uintptr_t kFirstWindowHandle = 0x10020;
constexpr uintptr_t kHandleStep = 4;
constexpr ATOM kFirstAtom = 0xC000;
constexpr int kDefaultWidth = 640;
constexpr int kDefaultHeight = 480;

struct WindowState {
  std::map<std::string, WindowClass> classes;  // by lower-case name
  ATOM nextAtom = kFirstAtom;
  std::map<uintptr_t, std::unique_ptr<Window>> windows;
  uintptr_t nextHandle = kFirstWindowHandle;
  HWND hostWindow = nullptr;
};

WindowState& Windows() {
  static WindowState state;
  return state;
}

std::string Lower(const char* s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

const WindowClass* FindClass(LPCSTR name) {
  auto& st = Windows();
  if (name == nullptr) return nullptr;
  if (IS_INTRESOURCE(name)) {
    ATOM atom = static_cast<ATOM>(reinterpret_cast<uintptr_t>(name));
    for (const auto& [key, cls] : st.classes) {
      if (cls.atom == atom) return &cls;
    }
    return nullptr;
  }
  auto it = st.classes.find(Lower(name));
  return it == st.classes.end() ? nullptr : &it->second;
}

void HostShow(Window* w) {
  if (w->onHost && host::Current()) host::Current()->ShowWindow(w->visible);
}

}  // namespace

Window* FindWindowByHandle(HWND hwnd) {
  auto& st = Windows();
  auto it = st.windows.find(reinterpret_cast<uintptr_t>(hwnd));
  return it == st.windows.end() ? nullptr : it->second.get();
}

HWND HostWindow() { return Windows().hostWindow; }

HWND DesktopWindowHandle() { return reinterpret_cast<HWND>(static_cast<uintptr_t>(0x10010)); }

void ResetWindows() {
  auto& st = Windows();
  if (st.hostWindow != nullptr && host::Current()) host::Current()->DestroyWindow();
  st.windows.clear();
  st.classes.clear();
  st.nextAtom = kFirstAtom;
  st.hostWindow = nullptr;
}

}  // namespace platform::detail

using platform::detail::FindWindowByHandle;
using platform::detail::Windows;
using platform::detail::Window;
using platform::detail::WindowClass;

extern "C" {

ATOM WINAPI RegisterClassExA(const WNDCLASSEXA* wc) {
  if (wc == nullptr || wc->cbSize != sizeof(WNDCLASSEXA) || wc->lpfnWndProc == nullptr ||
      wc->lpszClassName == nullptr || IS_INTRESOURCE(wc->lpszClassName) || wc->lpszClassName[0] == '\0' ||
      wc->cbClsExtra < 0 || wc->cbWndExtra < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  auto& st = Windows();
  std::string key = platform::detail::Lower(wc->lpszClassName);
  if (st.classes.count(key) != 0) {
    SetLastError(ERROR_CLASS_ALREADY_EXISTS);
    return 0;
  }
  if (st.nextAtom == 0) {  // atom space used up
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return 0;
  }
  WindowClass cls;
  cls.name = wc->lpszClassName;
  cls.atom = st.nextAtom++;
  cls.style = wc->style;
  cls.proc = wc->lpfnWndProc;
  cls.instance = wc->hInstance;
  cls.icon = wc->hIcon;
  cls.iconSmall = wc->hIconSm;
  cls.cursor = wc->hCursor;
  cls.background = wc->hbrBackground;
  ATOM atom = cls.atom;
  st.classes.emplace(key, std::move(cls));
  return atom;
}

HWND WINAPI CreateWindowExA(DWORD dwExStyle, LPCSTR lpClassName, LPCSTR lpWindowName, DWORD dwStyle, int X, int Y,
                            int nWidth, int nHeight, HWND hWndParent, HMENU hMenu, HINSTANCE hInstance,
                            LPVOID lpParam) {
  const WindowClass* cls = platform::detail::FindClass(lpClassName);
  if (cls == nullptr) {
    SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
    return nullptr;
  }
  if (hWndParent != nullptr && FindWindowByHandle(hWndParent) == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  auto& st = Windows();
  auto owned = std::make_unique<Window>();
  Window* w = owned.get();
  w->handle = reinterpret_cast<HWND>(st.nextHandle);
  st.nextHandle += platform::detail::kHandleStep;
  w->cls = *cls;
  w->title = lpWindowName ? lpWindowName : "";
  w->style = dwStyle;
  if (X == CW_USEDEFAULT) X = Y = 0;
  if (nWidth == CW_USEDEFAULT) {
    nWidth = platform::detail::kDefaultWidth;
    nHeight = platform::detail::kDefaultHeight;
  }
  nWidth = std::max(0, nWidth);
  nHeight = std::max(0, nHeight);
  w->rect = RECT{X, Y, static_cast<LONG>(int64_t{X} + nWidth), static_cast<LONG>(int64_t{Y} + nHeight)};
  st.windows.emplace(reinterpret_cast<uintptr_t>(w->handle), std::move(owned));

  // The first top-level window is the one the host shows.
  if (st.hostWindow == nullptr && hWndParent == nullptr && (dwStyle & WS_CHILD) == 0 && host::Current()) {
    if (!host::Current()->CreateWindow(platform::detail::ShiftJisToUtf8(w->title.c_str()), X, Y, nWidth,
                                       nHeight)) {
      st.windows.erase(reinterpret_cast<uintptr_t>(w->handle));
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return nullptr;
    }
    w->onHost = true;
    st.hostWindow = w->handle;
    const host::Image* icon = platform::detail::IconImage(cls->icon ? cls->icon : cls->iconSmall);
    if (icon) host::Current()->SetIcon(icon);
  }

  HWND hwnd = w->handle;
  CREATESTRUCTA cs{lpParam, hInstance, hMenu, hWndParent, nHeight, nWidth, Y, X,
                   static_cast<LONG>(dwStyle), lpWindowName, lpClassName, dwExStyle};
  LPARAM csParam = reinterpret_cast<LPARAM>(&cs);
  // A procedure that refuses creation gets its window destroyed again.
  if (SendMessageA(hwnd, WM_NCCREATE, 0, csParam) == 0 || FindWindowByHandle(hwnd) == nullptr ||
      SendMessageA(hwnd, WM_CREATE, 0, csParam) == -1 || FindWindowByHandle(hwnd) == nullptr) {
    if (FindWindowByHandle(hwnd)) DestroyWindow(hwnd);
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (dwStyle & WS_VISIBLE) ShowWindow(hwnd, SW_SHOW);
  return hwnd;
}

BOOL WINAPI ShowWindow(HWND hWnd, int nCmdShow) {
  Window* w = FindWindowByHandle(hWnd);
  if (w == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  BOOL wasVisible = w->visible ? TRUE : FALSE;
  w->visible = nCmdShow != SW_HIDE;
  if (w->visible) w->style |= WS_VISIBLE;
  else w->style &= ~static_cast<DWORD>(WS_VISIBLE);
  platform::detail::HostShow(w);
  return wasVisible;
}

BOOL WINAPI UpdateWindow(HWND hWnd) {
  // Nothing is painted through GDI here: the client shows presented frames.
  if (FindWindowByHandle(hWnd) == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  return TRUE;
}

BOOL WINAPI DestroyWindow(HWND hWnd) {
  Window* w = FindWindowByHandle(hWnd);
  if (w == nullptr || w->destroying) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  w->destroying = true;
  if (w->visible) {
    w->visible = false;
    platform::detail::HostShow(w);
  }
  SendMessageA(hWnd, WM_DESTROY, 0, 0);
  SendMessageA(hWnd, WM_NCDESTROY, 0, 0);
  platform::detail::KillTimersOf(hWnd);
  platform::detail::RemoveMessagesFor(hWnd);
  auto& st = Windows();
  if (st.hostWindow == hWnd) {
    st.hostWindow = nullptr;
    if (host::Current()) host::Current()->DestroyWindow();
  }
  st.windows.erase(reinterpret_cast<uintptr_t>(hWnd));
  return TRUE;
}

BOOL WINAPI IsWindow(HWND hWnd) {
  return (FindWindowByHandle(hWnd) != nullptr || hWnd == platform::detail::DesktopWindowHandle()) ? TRUE : FALSE;
}

HWND WINAPI GetDesktopWindow(void) { return platform::detail::DesktopWindowHandle(); }

BOOL WINAPI GetWindowRect(HWND hWnd, LPRECT lpRect) {
  if (lpRect == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (hWnd == platform::detail::DesktopWindowHandle()) {
    int width = 1024, height = 768;
    if (host::Current()) host::Current()->DesktopSize(&width, &height);
    *lpRect = RECT{0, 0, width, height};
    return TRUE;
  }
  Window* w = FindWindowByHandle(hWnd);
  if (w == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  *lpRect = w->rect;
  return TRUE;
}

BOOL WINAPI GetClientRect(HWND hWnd, LPRECT lpRect) {
  RECT r;
  if (!GetWindowRect(hWnd, &r)) return FALSE;
  *lpRect = RECT{0, 0, r.right - r.left, r.bottom - r.top};
  return TRUE;
}

BOOL WINAPI SetWindowPos(HWND hWnd, HWND hWndInsertAfter, int X, int Y, int cx, int cy, UINT uFlags) {
  (void)hWndInsertAfter;  // one top-level window: the Z order has nothing to arrange
  Window* w = FindWindowByHandle(hWnd);
  if (w == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  LONG x = w->rect.left, y = w->rect.top;
  LONG width = w->rect.right - w->rect.left, height = w->rect.bottom - w->rect.top;
  if ((uFlags & SWP_NOMOVE) == 0) {
    x = X;
    y = Y;
  }
  if ((uFlags & SWP_NOSIZE) == 0) {
    width = std::max(0, cx);
    height = std::max(0, cy);
  }
  w->rect = RECT{x, y, static_cast<LONG>(int64_t{x} + width), static_cast<LONG>(int64_t{y} + height)};
  if (w->onHost && host::Current() && (uFlags & (SWP_NOMOVE | SWP_NOSIZE)) != (SWP_NOMOVE | SWP_NOSIZE)) {
    host::Current()->MoveWindow(x, y, width, height);
  }
  if (uFlags & SWP_SHOWWINDOW) ShowWindow(hWnd, SW_SHOW);
  else if (uFlags & SWP_HIDEWINDOW) ShowWindow(hWnd, SW_HIDE);
  return TRUE;
}

HGDIOBJ WINAPI GetStockObject(int i) {
  // Distinct, stable handles for the stock brushes; nothing draws with them.
  static int brushes[NULL_BRUSH + 1];
  if (i < WHITE_BRUSH || i > NULL_BRUSH) return nullptr;
  return &brushes[i];
}

BOOL WINAPI PtInRect(const RECT* lprc, POINT pt) {
  if (lprc == nullptr) return FALSE;
  return (pt.x >= lprc->left && pt.x < lprc->right && pt.y >= lprc->top && pt.y < lprc->bottom) ? TRUE : FALSE;
}

BOOL WINAPI SetRect(LPRECT lprc, int xLeft, int yTop, int xRight, int yBottom) {
  if (lprc == nullptr) return FALSE;
  *lprc = RECT{xLeft, yTop, xRight, yBottom};
  return TRUE;
}

}  // extern "C"

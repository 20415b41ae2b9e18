// cursor_icon.cpp — LoadCursorA, LoadIconA and SetCursor.
//
// Cursors and icons come from the module's group resources (the platform's
// real layouts, decoded by icon_decoder) or are the system's own (the arrow,
// the application icon). Loading the same one again gives the same handle,
// as shared cursors do. SetCursor reaches the host only when the cursor
// changes, since the game's message loop sets it on every idle pass.
// Depends on: resources (FindResourceA ...), the host.
#include <windows.h>

#include <list>
#include <map>
#include <string>
#include <tuple>

#include "host/host.h"
#include "platform/win32/icon_decoder.h"
#include "platform/win32/win32_internal.h"

namespace platform::detail {
namespace {

struct CursorObject {
  bool system = false;  // the host's own arrow or icon: no picture of ours
  host::Image image;
};

struct CursorState {
  std::list<CursorObject> objects;  // stable addresses: handles point at them
  // (module, kind, name) -> handle; names as "#n" or the string.
  std::map<std::tuple<HINSTANCE, bool, std::string>, HICON> cache;
  bool haveCurrent = false;
  HCURSOR current = nullptr;
  host::Image hidden;  // SetCursor(NULL): a cursor with nothing to see
};

CursorState& Cursors() {
  static CursorState state;
  return state;
}

CursorObject* FromHandle(HICON h) {
  for (CursorObject& o : Cursors().objects) {
    if (reinterpret_cast<HICON>(&o) == h) return &o;
  }
  return nullptr;
}

std::string NameKey(LPCSTR name) {
  if (IS_INTRESOURCE(name)) {
    std::string key(1, '#');
    key += std::to_string(reinterpret_cast<uintptr_t>(name));
    return key;
  }
  std::string s(name);
  for (char& c : s) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return s;
}

bool IsSystemCursorId(uintptr_t id) {
  return (id >= 32512 && id <= 32516) || (id >= 32640 && id <= 32651);
}

HICON Load(HINSTANCE module, LPCSTR name, bool cursor) {
  if (name == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto& st = Cursors();
  auto key = std::make_tuple(module, cursor, NameKey(name));
  if (auto it = st.cache.find(key); it != st.cache.end()) return it->second;

  CursorObject obj;
  if (module == nullptr) {
    // The system's cursors and icons; the host draws them.
    uintptr_t id = reinterpret_cast<uintptr_t>(name);
    bool known = IS_INTRESOURCE(name) && (cursor ? IsSystemCursorId(id) : (id >= 32512 && id <= 32518));
    if (!known) {
      SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
      return nullptr;
    }
    obj.system = true;
  } else {
    HRSRC group = FindResourceA(module, name, cursor ? RT_GROUP_CURSOR : RT_GROUP_ICON);
    if (group == nullptr) return nullptr;  // FindResourceA set the error
    HGLOBAL groupData = LoadResource(module, group);
    const auto* groupBytes = static_cast<const uint8_t*>(LockResource(groupData));
    std::vector<GroupEntry> entries;
    if (groupBytes == nullptr || !ParseIconGroup(groupBytes, SizeofResource(module, group), cursor, &entries)) {
      SetLastError(ERROR_INVALID_DATA);
      return nullptr;
    }
    int pick = PickGroupEntry(entries, cursor);
    HRSRC image = FindResourceA(module, MAKEINTRESOURCEA(entries[static_cast<size_t>(pick)].id),
                                cursor ? RT_CURSOR : RT_ICON);
    if (image == nullptr) return nullptr;
    const auto* imageBytes = static_cast<const uint8_t*>(LockResource(LoadResource(module, image)));
    if (imageBytes == nullptr || !DecodeIconImage(imageBytes, SizeofResource(module, image), cursor, &obj.image)) {
      SetLastError(ERROR_INVALID_DATA);
      return nullptr;
    }
    if (!cursor) {
      // Icons have no hotspot; the platform puts it in the middle.
      obj.image.hotspotX = obj.image.width / 2;
      obj.image.hotspotY = obj.image.height / 2;
    }
  }
  st.objects.push_back(std::move(obj));
  HICON h = reinterpret_cast<HICON>(&st.objects.back());
  st.cache.emplace(key, h);
  return h;
}

}  // namespace

const host::Image* CursorImage(HCURSOR cursor) {
  CursorObject* o = FromHandle(cursor);
  return (o == nullptr || o->system) ? nullptr : &o->image;
}

const host::Image* IconImage(HICON icon) { return CursorImage(icon); }

void ResetCursors() {
  auto& st = Cursors();
  // The host may still show one of the pictures about to go.
  if (host::Current()) {
    host::Current()->SetCursor(nullptr);
    host::Current()->SetIcon(nullptr);
  }
  st.cache.clear();
  st.objects.clear();
  st.haveCurrent = false;
  st.current = nullptr;
}

}  // namespace platform::detail

extern "C" {

HCURSOR WINAPI LoadCursorA(HINSTANCE hInstance, LPCSTR lpCursorName) {
  return platform::detail::Load(hInstance, lpCursorName, true);
}

HICON WINAPI LoadIconA(HINSTANCE hInstance, LPCSTR lpIconName) {
  return platform::detail::Load(hInstance, lpIconName, false);
}

HCURSOR WINAPI SetCursor(HCURSOR hCursor) {
  auto& st = platform::detail::Cursors();
  if (hCursor != nullptr && platform::detail::FromHandle(hCursor) == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  HCURSOR previous = st.current;
  if (st.haveCurrent && hCursor == st.current) return previous;  // unchanged: nothing to tell the host
  st.haveCurrent = true;
  st.current = hCursor;
  if (host::Host* h = host::Current()) {
    if (hCursor == nullptr) {
      st.hidden.width = st.hidden.height = 1;
      st.hidden.argb.assign(1, 0);
      h->SetCursor(&st.hidden);
    } else {
      h->SetCursor(platform::detail::CursorImage(hCursor));
    }
  }
  return previous;
}

}  // extern "C"

// resources.cpp — resources of the program and of registered modules.
//
// Provides: FindResourceA, FindResourceW, FindResourceExA, SizeofResource,
// LoadResource, LockResource, FreeResource, GetModuleHandleA, and the
// registry of resource_registry.h.
// Depends on: text_convert (names are compared as upper-case UTF-8).
//
// Lookup fails as the platform's does, with its last-error codes: a module
// without any resource 1812, no such type 1813, no such name 1814, no such
// language 1815. Without a language the lookup takes language-neutral,
// then US English, then any English, then the first registered.
// Fault-injection names: "LoadResource", "LockResource".
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <list>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

#include "host/host.h"
#include "platform/win32/resource_registry.h"
#include "platform/win32/text_convert.h"
#include "platform/win32/win32_internal.h"

namespace platform::detail {
namespace {

struct ResName {
  bool isInt = false;
  WORD id = 0;
  std::string text;  // upper-case UTF-8
  bool operator==(const ResName& o) const { return isInt == o.isInt && (isInt ? id == o.id : text == o.text); }
};

struct Resource {
  HMODULE module = nullptr;
  ResName type;
  ResName name;
  WORD language = 0;
  std::vector<uint8_t> data;
};

struct Registry {
  std::list<Resource> resources;  // stable addresses: an HRSRC points at one
};

Registry& Reg() {
  static Registry registry;
  return registry;
}

char g_programImage;  // its address is the program's module handle

HMODULE ProgramModule() { return reinterpret_cast<HMODULE>(&g_programImage); }

HMODULE Normalise(HMODULE m) { return m == nullptr ? ProgramModule() : m; }

void Upper(std::string* s) {
  for (char& c : *s) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
}

// "#123" names the number 123.
bool ParseNumberName(const std::string& s, WORD* id) {
  if (s.size() < 2 || s[0] != '#') return false;
  uint32_t v = 0;
  for (size_t i = 1; i < s.size(); ++i) {
    if (s[i] < '0' || s[i] > '9') return false;
    v = v * 10 + static_cast<uint32_t>(s[i] - '0');
    if (v > 0xFFFF) return false;
  }
  *id = static_cast<WORD>(v);
  return true;
}

ResName FromUtf8(std::string text) {
  ResName n;
  if (ParseNumberName(text, &n.id)) {
    n.isInt = true;
    return n;
  }
  Upper(&text);
  n.text = std::move(text);
  return n;
}

ResName NameA(LPCSTR s) {
  if (IS_INTRESOURCE(s)) {
    ResName n;
    n.isInt = true;
    n.id = static_cast<WORD>(reinterpret_cast<uintptr_t>(s));
    return n;
  }
  return FromUtf8(ShiftJisToUtf8(s));
}

ResName NameW(LPCWSTR s) {
  if (IS_INTRESOURCE(s)) {
    ResName n;
    n.isInt = true;
    n.id = static_cast<WORD>(reinterpret_cast<uintptr_t>(s));
    return n;
  }
  size_t len = 0;
  while (s[len] != 0) ++len;
  std::string utf8;
  ConvertText("UTF-16LE", "UTF-8", reinterpret_cast<const char*>(s), len * 2, false, &utf8);
  return FromUtf8(std::move(utf8));
}

bool ValidName(const ResName& n) { return n.isInt ? n.id != 0 : !n.text.empty(); }

// Language-neutral requests take the best language the resource has.
Resource* Find(HMODULE module, const ResName& type, const ResName& name, bool anyLanguage, WORD language) {
  module = Normalise(module);
  bool moduleHas = false, typeHas = false;
  std::vector<Resource*> candidates;
  for (Resource& r : Reg().resources) {
    if (r.module != module) continue;
    moduleHas = true;
    if (!(r.type == type)) continue;
    typeHas = true;
    if (r.name == name) candidates.push_back(&r);
  }
  if (!moduleHas) {
    SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
    return nullptr;
  }
  if (!typeHas) {
    SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
    return nullptr;
  }
  if (candidates.empty()) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  if (!anyLanguage) {
    for (Resource* r : candidates) {
      if (r->language == language) return r;
    }
    SetLastError(ERROR_RESOURCE_LANG_NOT_FOUND);
    return nullptr;
  }
  const WORD preferred[] = {MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL), MAKELANGID(LANG_ENGLISH, SUBLANG_DEFAULT)};
  for (WORD lang : preferred) {
    for (Resource* r : candidates) {
      if (r->language == lang) return r;
    }
  }
  for (Resource* r : candidates) {
    if ((r->language & 0x3FF) == LANG_ENGLISH) return r;
  }
  return candidates.front();
}

Resource* FromHandle(HRSRC h) {
  if (h == nullptr) return nullptr;
  for (Resource& r : Reg().resources) {
    if (reinterpret_cast<HRSRC>(&r) == h) return &r;
  }
  return nullptr;
}

std::string ProgramName() {
  char buf[4096];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return std::string();
  std::string path(buf, static_cast<size_t>(n));
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace
}  // namespace platform::detail

namespace platform {

void RegisterResource(HMODULE module, LPCSTR type, LPCSTR name, WORD language, const void* data, DWORD size) {
  using namespace platform::detail;
  if (type == nullptr || name == nullptr || (data == nullptr && size != 0)) return;
  Resource r;
  r.module = Normalise(module);
  r.type = NameA(type);
  r.name = NameA(name);
  r.language = language;
  if (!ValidName(r.type) || !ValidName(r.name)) return;
  if (size != 0) r.data.assign(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + size);
  for (Resource& existing : Reg().resources) {
    if (existing.module == r.module && existing.type == r.type && existing.name == r.name &&
        existing.language == r.language) {
      existing.data = std::move(r.data);
      return;
    }
  }
  Reg().resources.push_back(std::move(r));
}

void ClearResources() { platform::detail::Reg().resources.clear(); }

}  // namespace platform

extern "C" {

HRSRC WINAPI FindResourceA(HMODULE hModule, LPCSTR lpName, LPCSTR lpType) {
  using namespace platform::detail;
  if (lpName == nullptr || lpType == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return reinterpret_cast<HRSRC>(Find(hModule, NameA(lpType), NameA(lpName), true, 0));
}

HRSRC WINAPI FindResourceW(HMODULE hModule, LPCWSTR lpName, LPCWSTR lpType) {
  using namespace platform::detail;
  if (lpName == nullptr || lpType == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return reinterpret_cast<HRSRC>(Find(hModule, NameW(lpType), NameW(lpName), true, 0));
}

HRSRC WINAPI FindResourceExA(HMODULE hModule, LPCSTR lpType, LPCSTR lpName, WORD wLanguage) {
  using namespace platform::detail;
  if (lpName == nullptr || lpType == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  bool any = wLanguage == MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL);
  return reinterpret_cast<HRSRC>(Find(hModule, NameA(lpType), NameA(lpName), any, wLanguage));
}

DWORD WINAPI SizeofResource(HMODULE hModule, HRSRC hResInfo) {
  (void)hModule;
  platform::detail::Resource* r = platform::detail::FromHandle(hResInfo);
  if (r == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  return static_cast<DWORD>(r->data.size());
}

HGLOBAL WINAPI LoadResource(HMODULE hModule, HRSRC hResInfo) {
  (void)hModule;
  platform::detail::Resource* r = platform::detail::FromHandle(hResInfo);
  if (r == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  if (host::ShouldFail("LoadResource")) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  // The loaded resource is its bytes, as in a mapped program image; an empty
  // resource still loads to a valid pointer.
  static uint8_t empty;
  return r->data.empty() ? static_cast<HGLOBAL>(&empty) : static_cast<HGLOBAL>(r->data.data());
}

LPVOID WINAPI LockResource(HGLOBAL hResData) {
  if (hResData == nullptr) return nullptr;
  if (host::ShouldFail("LockResource")) return nullptr;
  return hResData;
}

BOOL WINAPI FreeResource(HGLOBAL hResData) {
  (void)hResData;  // loaded resources live as long as their module
  return FALSE;
}

HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName) {
  using namespace platform::detail;
  if (lpModuleName == nullptr) return ProgramModule();
  // The program is the only module: match its file name, ".exe" optional.
  std::string want = lpModuleName, have = ProgramName();
  size_t slash = want.find_last_of("/\\");
  if (slash != std::string::npos) want = want.substr(slash + 1);
  Upper(&want);
  Upper(&have);
  auto stripExe = [](std::string s) {
    if (s.size() > 4 && s.compare(s.size() - 4, 4, ".EXE") == 0) s.resize(s.size() - 4);
    return s;
  };
  if (!have.empty() && stripExe(want) == stripExe(have)) return ProgramModule();
  SetLastError(ERROR_MOD_NOT_FOUND);
  return nullptr;
}

}  // extern "C"

// file_access.cpp — whole-file reads and writes, and UTF-16 file names.
// Depends on: gfx/load/file_access.h, gfx/gfx.h, gfx/debug_report.h.
#include "gfx/load/file_access.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "gfx/debug_report.h"
#include "gfx/gfx.h"

namespace gfx {
namespace {

struct FileClose {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileClose>;

constexpr long kMaxFileBytes = 0x7FFFFFFF;

void PutUtf8(std::string* out, char32_t c) {
  if (c < 0x80) {
    out->push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (c >> 6)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (c >> 12)));
    out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (c >> 18)));
    out->push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

}  // namespace

std::string WideToUtf8(LPCWSTR text) {
  std::string out;
  for (size_t i = 0; text[i] != 0; ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (char32_t(text[i + 1]) - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    PutUtf8(&out, c);
  }
  return out;
}

HRESULT ReadWholeFile(const char* path, std::vector<BYTE>* bytes) {
  File file(std::fopen(path, "rb"));
  if (!file) {
    DebugReport(0, "Failed to open file '%s': %s", path, std::strerror(errno));
    return D3DXERR_INVALIDDATA;
  }
  long length = -1;
  if (std::fseek(file.get(), 0, SEEK_END) == 0) length = std::ftell(file.get());
  if (length < 0 || std::fseek(file.get(), 0, SEEK_SET) != 0) {
    DebugReport(0, "Failed to read file '%s'", path);
    return D3DXERR_INVALIDDATA;
  }
  if (length > kMaxFileBytes) {
    DebugReport(0, "File '%s' is too large", path);
    return D3DXERR_INVALIDDATA;
  }
  try {
    bytes->resize(static_cast<size_t>(length));
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  if (length > 0 && std::fread(bytes->data(), 1, bytes->size(), file.get()) != bytes->size()) {
    DebugReport(0, "Failed to read file '%s'", path);
    return D3DXERR_INVALIDDATA;
  }
  return S_OK;
}

HRESULT WriteWholeFile(const char* path, const void* bytes, size_t size) {
  File file(std::fopen(path, "wb"));
  if (!file) {
    DebugReport(0, "Failed to create file '%s': %s", path, std::strerror(errno));
    return E_FAIL;
  }
  const bool written = std::fwrite(bytes, 1, size, file.get()) == size;
  const bool closed = std::fclose(file.release()) == 0;
  if (!written || !closed) {
    DebugReport(0, "Failed to write file '%s'", path);
    return E_FAIL;
  }
  return S_OK;
}

}  // namespace gfx

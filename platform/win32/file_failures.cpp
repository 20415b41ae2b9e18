// file_failures.cpp — remembering the last failed open.
#include "platform/win32/file_failures.h"

#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <mutex>

namespace platform {
namespace {

std::mutex& Lock() {
  static std::mutex lock;
  return lock;
}

std::optional<UnopenedFile>& Last() {
  static std::optional<UnopenedFile> last;
  return last;
}

}  // namespace

std::optional<UnopenedFile> LastUnopenedFile() {
  std::lock_guard<std::mutex> hold(Lock());
  return Last();
}

void ClearLastUnopenedFile() {
  std::lock_guard<std::mutex> hold(Lock());
  Last().reset();
}

namespace detail {

void RecordUnopenedFile(const std::string& path, int error) {
  UnopenedFile f;
  f.name = path;
  std::error_code ec;
  std::filesystem::path full = std::filesystem::absolute(path, ec);
  f.folder = ec ? std::string() : full.parent_path().lexically_normal().string();
  if (f.folder.size() > 1 && f.folder.back() == '/') f.folder.pop_back();
  f.reason = std::strerror(error);
  std::lock_guard<std::mutex> hold(Lock());
  Last() = std::move(f);
}

}  // namespace detail
}  // namespace platform

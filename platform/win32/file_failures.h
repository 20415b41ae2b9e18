// file_failures.h — the last file the platform could not open.
//
// Provides: platform::LastUnopenedFile, read back by a process entry that
// wants to say why the program ended (the program itself only sees an
// error code), and its reset for tests. The file calls (mmioOpenA) record
// each failed open.
// Depends on: the C++ standard library only.
#pragma once

#include <optional>
#include <string>

namespace platform {

struct UnopenedFile {
  std::string name;    // as the program named it ('\' turned into '/')
  std::string folder;  // the folder it was looked for in, absolute
  std::string reason;  // the system's words, e.g. "No such file or directory"
};

std::optional<UnopenedFile> LastUnopenedFile();
void ClearLastUnopenedFile();

namespace detail {
// `error` is an errno value.
void RecordUnopenedFile(const std::string& path, int error);
}  // namespace detail

}  // namespace platform

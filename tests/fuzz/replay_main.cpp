// Runs a fuzz target's entry point over every file of a folder, so that the
// inputs that once crashed it stay in the normal test suite. One program
// holds every target's entry point: `fuzz_regress NAME PATH...`.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

// fuzz_entries.h names every target, one VELMORA_FUZZ_ENTRY(name) a line.
#define VELMORA_FUZZ_ENTRY(name) extern "C" int velmora_fuzz_##name(const uint8_t* data, size_t size);
#include "fuzz_entries.h"
#undef VELMORA_FUZZ_ENTRY

namespace {

struct Entry {
  const char* name;
  int (*run)(const uint8_t* data, size_t size);
};

#define VELMORA_FUZZ_ENTRY(name) {#name, velmora_fuzz_##name},
constexpr Entry kEntries[] = {
#include "fuzz_entries.h"
};
#undef VELMORA_FUZZ_ENTRY

}  // namespace

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  const Entry* entry = nullptr;
  for (const Entry& e : kEntries)
    if (argc > 1 && std::strcmp(argv[1], e.name) == 0) entry = &e;
  if (entry == nullptr) {
    std::fprintf(stderr, "usage: %s TARGET PATH...; targets:", argv[0]);
    for (const Entry& e : kEntries) std::fprintf(stderr, " %s", e.name);
    std::fprintf(stderr, "\n");
    return 2;
  }
  int files = 0;
  for (int i = 2; i < argc; ++i) {
    if (!fs::exists(argv[i])) continue;
    std::vector<fs::path> paths;
    if (fs::is_directory(argv[i])) {
      for (const auto& e : fs::recursive_directory_iterator(argv[i]))
        if (e.is_regular_file()) paths.push_back(e.path());
    } else {
      paths.push_back(argv[i]);
    }
    for (const auto& p : paths) {
      std::ifstream in(p, std::ios::binary);
      std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      entry->run(bytes.empty() ? nullptr : bytes.data(), bytes.size());
      ++files;
    }
  }
  // An empty input is always worth one run as well.
  entry->run(nullptr, 0);
  std::printf("replayed %d inputs through %s\n", files, entry->name);
  return 0;
}

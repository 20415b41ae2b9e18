// A whole file read in one call. The tests' own code compiles unoptimised,
// where copying a file through a stream iterator costs a call per byte
// (a second for every few megabytes).
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <vector>

namespace velmora_test {

// The file's bytes; empty when it cannot be opened.
template <typename Container = std::vector<uint8_t>>
Container ReadWholeFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  Container bytes;
  if (!in) return bytes;
  char block[1 << 16];
  while (in.read(block, sizeof block) || in.gcount() > 0) {
    const auto* begin = reinterpret_cast<const typename Container::value_type*>(block);
    bytes.insert(bytes.end(), begin, begin + in.gcount());
  }
  return bytes;
}

}  // namespace velmora_test

// frame_hashes.h — one line per presented frame, to tell two runs' pictures
// apart without keeping them.
//
// Provides: FrameHash (64-bit FNV-1a of a frame's size and colour bytes;
// the unused top byte of each pixel is left out) and FrameHashLog, which
// writes "N MS WIDTHxHEIGHT HASH" for the N-th present at clock MS (the
// last clock value the program read), flushed line by line.
// Depends on: the C++ standard library only.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace host::record {

uint64_t FrameHash(const uint32_t* pixels, int width, int height, int pitchBytes);

class FrameHashLog {
 public:
  FrameHashLog() = default;
  FrameHashLog(const FrameHashLog&) = delete;
  FrameHashLog& operator=(const FrameHashLog&) = delete;
  ~FrameHashLog();
  bool Open(const std::string& path);
  void Add(uint64_t clockMs, const uint32_t* pixels, int width, int height, int pitchBytes);
  uint64_t Count() const { return count_; }

 private:
  std::FILE* file_ = nullptr;
  uint64_t count_ = 0;
};

}  // namespace host::record

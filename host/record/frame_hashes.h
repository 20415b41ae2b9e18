// frame_hashes.h — one line per presented frame, to tell two runs' pictures
// apart without keeping them.
//
// Provides: FrameHash (64-bit FNV-1a of a frame's size and colour bytes;
// the unused top byte of each pixel is left out); FrameHasher, the same
// hash remembering the last frame, so a frame presented again unchanged
// (most presents between two moves) costs a comparison instead of a
// byte-by-byte hash; and FrameHashLog, which writes "N MS WIDTHxHEIGHT
// HASH" for the N-th present at clock MS (the last clock value the program
// read), flushed line by line.
// Depends on: the C++ standard library only.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace host::record {

uint64_t FrameHash(const uint32_t* pixels, int width, int height, int pitchBytes);

class FrameHasher {
 public:
  // FrameHash of the frame; the pixels are compared with the last frame's,
  // never recognised by their address (a program draws into one buffer).
  uint64_t operator()(const uint32_t* pixels, int width, int height, int pitchBytes);

 private:
  bool SameAsLast(const uint32_t* pixels, int width, int height, int pitchBytes) const;

  std::vector<uint32_t> last_;  // tightly packed; empty when nothing is kept
  int width_ = 0, height_ = 0;
  uint64_t hash_ = 0;
};

class FrameHashLog {
 public:
  FrameHashLog() = default;
  FrameHashLog(const FrameHashLog&) = delete;
  FrameHashLog& operator=(const FrameHashLog&) = delete;
  ~FrameHashLog();
  bool Open(const std::string& path);
  // Hashes the frame itself; AddHashed takes one its caller computed.
  void Add(uint64_t clockMs, const uint32_t* pixels, int width, int height, int pitchBytes);
  void AddHashed(uint64_t clockMs, int width, int height, uint64_t hash);
  uint64_t Count() const { return count_; }

 private:
  std::FILE* file_ = nullptr;
  uint64_t count_ = 0;
  FrameHasher hasher_;
};

}  // namespace host::record

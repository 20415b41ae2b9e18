// frame_hashes.cpp — hashing presented frames.
#include "host/record/frame_hashes.h"

#include <cinttypes>
#include <cstring>

namespace host::record {

namespace {
constexpr uint64_t kFnvOffset = 0xcbf29ce484222325ull;
constexpr uint64_t kFnvPrime = 0x100000001b3ull;

uint64_t Mix(uint64_t h, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) {
    h ^= (value >> (8 * i)) & 0xFF;
    h *= kFnvPrime;
  }
  return h;
}
}  // namespace

uint64_t FrameHash(const uint32_t* pixels, int width, int height, int pitchBytes) {
  uint64_t h = Mix(Mix(kFnvOffset, static_cast<uint32_t>(width), 4), static_cast<uint32_t>(height), 4);
  if (pixels == nullptr || width <= 0 || height <= 0 || pitchBytes < width * 4) return h;
  const auto* base = reinterpret_cast<const uint8_t*>(pixels);
  for (int y = 0; y < height; ++y) {
    const auto* row = reinterpret_cast<const uint32_t*>(base + static_cast<size_t>(y) * pitchBytes);
    for (int x = 0; x < width; ++x) h = Mix(h, row[x], 3);
  }
  return h;
}

bool FrameHasher::SameAsLast(const uint32_t* pixels, int width, int height, int pitchBytes) const {
  if (last_.empty() || width != width_ || height != height_) return false;
  const auto* base = reinterpret_cast<const uint8_t*>(pixels);
  const size_t rowBytes = static_cast<size_t>(width) * 4;
  for (int y = 0; y < height; ++y) {
    if (std::memcmp(last_.data() + static_cast<size_t>(y) * width, base + static_cast<size_t>(y) * pitchBytes,
                    rowBytes) != 0) {
      return false;
    }
  }
  return true;
}

uint64_t FrameHasher::operator()(const uint32_t* pixels, int width, int height, int pitchBytes) {
  if (pixels == nullptr || width <= 0 || height <= 0 || pitchBytes < width * 4) {
    last_.clear();
    return FrameHash(pixels, width, height, pitchBytes);
  }
  if (SameAsLast(pixels, width, height, pitchBytes)) return hash_;
  hash_ = FrameHash(pixels, width, height, pitchBytes);
  width_ = width;
  height_ = height;
  last_.resize(static_cast<size_t>(width) * height);
  const auto* base = reinterpret_cast<const uint8_t*>(pixels);
  for (int y = 0; y < height; ++y) {
    std::memcpy(last_.data() + static_cast<size_t>(y) * width, base + static_cast<size_t>(y) * pitchBytes,
                static_cast<size_t>(width) * 4);
  }
  return hash_;
}

FrameHashLog::~FrameHashLog() {
  if (file_ != nullptr) std::fclose(file_);
}

bool FrameHashLog::Open(const std::string& path) {
  if (file_ != nullptr) std::fclose(file_);
  file_ = std::fopen(path.c_str(), "wb");
  count_ = 0;
  return file_ != nullptr;
}

void FrameHashLog::Add(uint64_t clockMs, const uint32_t* pixels, int width, int height, int pitchBytes) {
  // Without a file only the count is kept: nothing to hash for.
  AddHashed(clockMs, width, height, file_ != nullptr ? hasher_(pixels, width, height, pitchBytes) : 0);
}

void FrameHashLog::AddHashed(uint64_t clockMs, int width, int height, uint64_t hash) {
  ++count_;
  if (file_ == nullptr) return;
  std::fprintf(file_, "%" PRIu64 " %" PRIu64 " %dx%d %016" PRIx64 "\n", count_, clockMs, width, height, hash);
  std::fflush(file_);
}

}  // namespace host::record

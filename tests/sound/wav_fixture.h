// wav_fixture.h — builds RIFF/WAVE files byte by byte for the sound tests,
// the fuzz seeds and the mixer benchmark.
#pragma once

#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace wavfixture {

using Bytes = std::vector<uint8_t>;

inline void Put16(Bytes& b, uint32_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}

inline void Put32(Bytes& b, uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}

inline void PutId(Bytes& b, const char* id) { b.insert(b.end(), id, id + 4); }

// One chunk: identifier, size (the real one unless `statedSize` is given),
// data and the pad byte after odd-sized data.
inline Bytes Chunk(const char* id, const Bytes& data, int64_t statedSize = -1) {
  Bytes b;
  PutId(b, id);
  Put32(b, statedSize >= 0 ? static_cast<uint32_t>(statedSize) : static_cast<uint32_t>(data.size()));
  b.insert(b.end(), data.begin(), data.end());
  if (data.size() % 2 != 0) b.push_back(0);
  return b;
}

// A RIFF form of the given type holding the chunks in order.
inline Bytes Form(const char* type, const std::vector<Bytes>& chunks, const char* riff = "RIFF") {
  Bytes body;
  PutId(body, type);
  for (const auto& c : chunks) body.insert(body.end(), c.begin(), c.end());
  Bytes b;
  PutId(b, riff);
  Put32(b, static_cast<uint32_t>(body.size()));
  b.insert(b.end(), body.begin(), body.end());
  return b;
}

// The data of a PCM "fmt " chunk: 16 bytes, or 18 with cbSize 0.
inline Bytes PcmFormat(int channels, uint32_t rate, int bits, bool withCbSize = false) {
  Bytes b;
  const uint32_t align = static_cast<uint32_t>(channels * bits / 8);
  Put16(b, 1);
  Put16(b, static_cast<uint32_t>(channels));
  Put32(b, rate);
  Put32(b, rate * align);
  Put16(b, align);
  Put16(b, static_cast<uint32_t>(bits));
  if (withCbSize) Put16(b, 0);
  return b;
}

// 16-bit samples, little-endian.
inline Bytes Samples16(const std::vector<int16_t>& s) {
  Bytes b;
  for (int16_t v : s) Put16(b, static_cast<uint16_t>(v));
  return b;
}

// A sine of `hz` at `rate`, `frames` frames of `channels` identical
// channels, peak `amplitude` (of full scale 1.0), 8 or 16 bits.
inline Bytes Sine(uint32_t rate, int channels, int bits, double hz, uint32_t frames, double amplitude) {
  Bytes b;
  const double pi = 3.14159265358979323846;
  for (uint32_t i = 0; i < frames; ++i) {
    const double x = amplitude * std::sin(2.0 * pi * hz * i / rate);
    for (int c = 0; c < channels; ++c) {
      if (bits == 8) {
        b.push_back(static_cast<uint8_t>(std::lround(128.0 + 127.0 * x)));
      } else {
        Put16(b, static_cast<uint16_t>(static_cast<int16_t>(std::lround(32767.0 * x))));
      }
    }
  }
  return b;
}

// The usual file: "fmt " then "data".
inline Bytes Wave(int channels, uint32_t rate, int bits, const Bytes& samples) {
  return Form("WAVE", {Chunk("fmt ", PcmFormat(channels, rate, bits)), Chunk("data", samples)});
}

// A file in the test's temporary folder, removed when the object dies.
class TempFile {
 public:
  explicit TempFile(const Bytes& bytes, const std::string& name = "") {
    static int counter = 0;
    const char* dir = std::getenv("TMPDIR");
    path_ = std::string(dir != nullptr && dir[0] != '\0' ? dir : "/tmp") + "/velmora_wav_" +
            std::to_string(getpid()) + "_" + std::to_string(counter++) + (name.empty() ? ".wav" : "_" + name);
    if (std::FILE* f = std::fopen(path_.c_str(), "wb")) {
      if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
      std::fclose(f);
    }
  }
  ~TempFile() { std::remove(path_.c_str()); }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  const char* path() const { return path_.c_str(); }

 private:
  std::string path_;
};

}  // namespace wavfixture

// ppm_decoder.cpp — portable pixmaps: "P3" (samples as decimal text) and
// "P6" (samples as bytes, two big-endian bytes each when maxval is above
// 255), any maxval from 1 to 65535.
//
// Maxval 255 decodes to R8G8B8; a smaller maxval is scaled to 8 bits (no
// level is lost), a larger one to the 16-bit colour intermediate. Header
// fields are separated by whitespace and "#" comments run to the end of
// their line; exactly one whitespace byte ends the header of a P6 file.
// Depends on: gfx/formats/image_decoders.h, gfx/debug_report.h.
#include <cstdint>

#include "gfx/debug_report.h"
#include "gfx/formats/image_decoders.h"

namespace gfx {
namespace {

bool IsSpace(BYTE c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }
bool IsDigit(BYTE c) { return c >= '0' && c <= '9'; }

class Reader {
 public:
  Reader(const BYTE* data, size_t size, size_t pos) : data_(data), size_(size), pos_(pos) {}

  void SkipComment() {
    while (pos_ < size_ && data_[pos_] != '\n' && data_[pos_] != '\r') ++pos_;
  }

  // Skips whitespace and, when allowed, comments.
  void SkipSpace(bool comments) {
    while (pos_ < size_) {
      if (IsSpace(data_[pos_])) {
        ++pos_;
      } else if (comments && data_[pos_] == '#') {
        while (pos_ < size_ && data_[pos_] != '\n' && data_[pos_] != '\r') ++pos_;
      } else {
        break;
      }
    }
  }

  // A decimal number not above `limit`; false when there is none or it is
  // too large.
  bool Number(uint32_t limit, uint32_t* value) {
    if (pos_ >= size_ || !IsDigit(data_[pos_])) return false;
    uint64_t v = 0;
    while (pos_ < size_ && IsDigit(data_[pos_])) {
      v = v * 10 + (data_[pos_] - '0');
      if (v > limit) return false;
      ++pos_;
    }
    *value = static_cast<uint32_t>(v);
    return true;
  }

  bool AtSpace() const { return pos_ < size_ && IsSpace(data_[pos_]); }
  // A header field ends at whitespace or at a comment.
  bool AtDelimiter() const { return pos_ < size_ && (IsSpace(data_[pos_]) || data_[pos_] == '#'); }
  size_t Position() const { return pos_; }
  void Advance() { ++pos_; }

 private:
  const BYTE* data_;
  size_t size_;
  size_t pos_;
};

HRESULT RefusePpm(const char* why) {
  DebugReport(0, "PPM: %s", why);
  return E_FAIL;
}

// Width, height and maxval, each after whitespace or comments; then a
// comment may follow maxval, and exactly one whitespace byte ends the header.
HRESULT ReadHeader(Reader* reader, uint32_t* width, uint32_t* height, uint32_t* maxval) {
  uint32_t* fields[3] = {width, height, maxval};
  for (uint32_t* field : fields) {
    // The magic number and every field end at whitespace or a comment.
    if (!reader->AtDelimiter()) return RefusePpm("malformed header");
    reader->SkipSpace(true);
    if (!reader->Number(field == maxval ? 65535u : 0xFFFFFFFFu, field)) return RefusePpm("malformed header");
  }
  if (*width == 0 || *height == 0 || *maxval == 0) return RefusePpm("zero width, height or maxval");
  if (reader->AtDelimiter() && !reader->AtSpace()) reader->SkipComment();
  if (!reader->AtSpace()) return RefusePpm("malformed header");
  reader->Advance();
  return S_OK;
}

// Reads every sample, scales it to 8 or 16 bits, and stores the pixels.
class SampleReader {
 public:
  SampleReader(Reader* reader, const BYTE* raw, bool text, uint32_t maxval)
      : reader_(reader), raw_(raw), text_(text), maxval_(maxval), target_(maxval > 255 ? 65535u : 255u) {}

  // One sample scaled to the stored range with rounding; maxval 255 and
  // 65535 pass unchanged.
  HRESULT Next(uint32_t* sample) {
    uint32_t v = 0;
    if (text_) {
      reader_->SkipSpace(false);
      if (!reader_->Number(65535u, &v)) return RefusePpm("malformed or truncated sample");
    } else if (maxval_ > 255) {
      v = (uint32_t{raw_[rawPos_]} << 8) | raw_[rawPos_ + 1];
      rawPos_ += 2;
    } else {
      v = raw_[rawPos_++];
    }
    if (v > maxval_) return RefusePpm("sample above maxval");
    *sample = maxval_ == target_ ? v : static_cast<uint32_t>((uint64_t{v} * target_ + maxval_ / 2) / maxval_);
    return S_OK;
  }

 private:
  Reader* reader_;
  const BYTE* raw_;
  size_t rawPos_ = 0;
  bool text_;
  uint32_t maxval_;
  uint32_t target_;
};

HRESULT ReadPixels(SampleReader* samples, uint64_t pixels, bool wide, BYTE* out) {
  uint32_t channel[3];
  for (uint64_t p = 0; p < pixels; ++p) {
    for (uint32_t& c : channel) {
      const HRESULT hr = samples->Next(&c);
      if (FAILED(hr)) return hr;
    }
    if (wide) {
      BYTE* q = out + p * 6;
      for (int i = 0; i < 3; ++i) {
        q[2 * i] = static_cast<BYTE>(channel[i]);
        q[2 * i + 1] = static_cast<BYTE>(channel[i] >> 8);
      }
    } else {
      BYTE* q = out + p * 3;  // R8G8B8 keeps blue first in memory
      q[0] = static_cast<BYTE>(channel[2]);
      q[1] = static_cast<BYTE>(channel[1]);
      q[2] = static_cast<BYTE>(channel[0]);
    }
  }
  return S_OK;
}

}  // namespace

HRESULT DecodePpm(DecodedImage* image, const BYTE* data, size_t size) {
  if (size < 2 || data[0] != 'P' || (data[1] != '3' && data[1] != '6')) return E_FAIL;
  const bool text = data[1] == '3';
  Reader reader(data, size, 2);
  uint32_t width = 0, height = 0, maxval = 0;
  HRESULT hr = ReadHeader(&reader, &width, &height, &maxval);
  if (FAILED(hr)) return hr;

  const bool wide = maxval > 255;
  const UINT pixelBytes = wide ? 6 : 3;
  if (!DecodedSizeFits(width, height, 1, pixelBytes)) return RefusePpm("image too large");
  const uint64_t samples = uint64_t{width} * height * 3;
  // Every text sample takes at least one digit: refuse early what cannot
  // hold the picture.
  const uint64_t needed = text ? samples : samples * (wide ? 2 : 1);
  if (size - reader.Position() < needed) return RefusePpm("pixel data truncated");

  DescribePicture(image, wide ? kFormatR16G16B16 : D3DFMT_R8G8B8, width, height, width * pixelBytes,
                  width * pixelBytes * height);
  if (!image->loadPixels) return S_OK;
  BYTE* out = AllocatePixels(image, size_t(image->slicePitch));
  if (out == nullptr) return E_OUTOFMEMORY;
  SampleReader sampleReader(&reader, data + reader.Position(), text, maxval);
  return ReadPixels(&sampleReader, samples / 3, wide, out);
}

}  // namespace gfx

// image_decoders.cpp — what the decoders of tries 2-6 share.
// Depends on: gfx/formats/image_decoders.h.
#include "gfx/formats/image_decoders.h"

#include <cstring>

namespace gfx {

D3DFORMAT ReportedFormat(D3DFORMAT format) {
  if (format == kFormatL16A16) return D3DFMT_A8L8;
  if (format == kFormatR16G16B16) return D3DFMT_R8G8B8;
  return format;
}

bool DecodedSizeFits(uint64_t width, uint64_t height, uint64_t depth, uint64_t bytesPerPixel) {
  // Each factor is below 2^32 and the bound below 2^29: test step by step.
  if (width == 0 || height == 0 || depth == 0 || bytesPerPixel == 0) return false;
  uint64_t total = width * bytesPerPixel;
  if (total > kMaxDecodedBytes) return false;
  total *= height;
  if (total > kMaxDecodedBytes) return false;
  total *= depth;
  return total <= kMaxDecodedBytes;
}

bool LooksLikeJpeg(const BYTE* data, size_t size) {
  // Start-of-image marker followed by another marker.
  return size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF;
}

bool LooksLikePng(const BYTE* data, size_t size) {
  return size >= 8 && std::memcmp(data, "\x89PNG\r\n\x1a\n", 8) == 0;
}

}  // namespace gfx

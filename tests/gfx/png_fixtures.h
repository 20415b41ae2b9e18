// png_fixtures.h — the pieces of a PNG file the tests assemble themselves:
// big-endian words, chunks with their CRC, and the zlib stream (libdeflate).
#pragma once

#include <cstdint>
#include <vector>

#include <libdeflate.h>
#include <windows.h>

namespace pngtest {

using Bytes = std::vector<BYTE>;

inline void PutBigEndian(Bytes* out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out->push_back(BYTE(v >> shift));
}

inline void PutChunk(Bytes* out, const char* type, const Bytes& body) {
  PutBigEndian(out, uint32_t(body.size()));
  Bytes typed(type, type + 4);
  typed.insert(typed.end(), body.begin(), body.end());
  out->insert(out->end(), typed.begin(), typed.end());
  PutBigEndian(out, libdeflate_crc32(0, typed.data(), typed.size()));
}

inline Bytes Deflated(const Bytes& raw) {
  libdeflate_compressor* c = libdeflate_alloc_compressor(6);
  Bytes out(libdeflate_zlib_compress_bound(c, raw.size()));
  out.resize(libdeflate_zlib_compress(c, raw.data(), raw.size(), out.data(), out.size()));
  libdeflate_free_compressor(c);
  return out;
}

// The signature and an IHDR of an 8-bit, non-interlaced picture.
inline Bytes Header(uint32_t width, uint32_t height, BYTE colorType) {
  Bytes file = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  Bytes ihdr;
  PutBigEndian(&ihdr, width);
  PutBigEndian(&ihdr, height);
  ihdr.insert(ihdr.end(), {8, colorType, 0, 0, 0});
  PutChunk(&file, "IHDR", ihdr);
  return file;
}

}  // namespace pngtest

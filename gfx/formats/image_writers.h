// image_writers.h — what the image writers share: the picture every
// format but DDS is made from, the byte sink, and one encoder per format.
//
// Provides: gfx::Picture, gfx::Bytes, Put16 / Put32 (little-endian), and the
// encoders: EncodeBmp (BMP and DIB), EncodeTga, EncodePpm, EncodePng,
// EncodeJpeg, EncodeDdsPicture and EncodeDdsLevels. Each sits in the file of
// its format beside that format's reader; image_writers.cpp reads surfaces
// into pictures and chooses the encoder.
// Depends on: gfx/gfx.h.
#pragma once

#include <cstdint>
#include <vector>

#include "gfx/gfx.h"

namespace gfx {

using Bytes = std::vector<BYTE>;

// A picture as A8R8G8B8, rows packed, top row first.
struct Picture {
  UINT width = 0;
  UINT height = 0;
  std::vector<uint32_t> argb;
  bool alpha = false;
  bool grey = false;
};

inline BYTE Channel(uint32_t argb, int shift) { return BYTE(argb >> shift); }

inline void Put16(Bytes* b, uint32_t v) {
  b->push_back(BYTE(v));
  b->push_back(BYTE(v >> 8));
}
inline void Put32(Bytes* b, uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}

// BMP with its file header, or the bare DIB of a bitmap resource.
Bytes EncodeBmp(const Picture& p, bool fileHeader);
Bytes EncodeTga(const Picture& p);
Bytes EncodePpm(const Picture& p);
// E_NOTIMPL in a build without the PNG and JPEG libraries.
HRESULT EncodePng(const Picture& p, Bytes* out);
HRESULT EncodeJpeg(const Picture& p, Bytes* out);
// DDS of a picture already converted to 32 bits.
Bytes EncodeDdsPicture(const Picture& p);
// The DDS of a chain of surfaces of one format (a surface alone, or every
// level of a texture); false in *kept when the format cannot be kept.
HRESULT EncodeDdsLevels(const std::vector<IDirect3DSurface9*>& levels, Bytes* out, bool* kept);

}  // namespace gfx

// image_decoders.h — the decoders of the image loader's tries 2-6: PPM,
// DDS, JPEG, PNG and TGA, and the formats they share.
//
// Provides: one Decode* function per format with the bitmap decoders'
// contract (S_OK, E_FAIL when the bytes are not accepted, E_OUTOFMEMORY;
// on failure the image may hold partial allocations: ClearDecodedImage it),
// the two 16-bit-per-channel intermediates that PNG and PPM decode into,
// and the size bound every decoder refuses to allocate past.
// Every length, count and offset read from the bytes is untrusted.
// Depends on: gfx/formats/decoded_image.h.
#pragma once

#include <cstddef>
#include <cstdint>

#include "gfx/formats/decoded_image.h"

namespace gfx {

// 16-bit luminance then 16-bit alpha (4 bytes), and 16-bit red, green,
// blue (6 bytes), each channel little-endian. Private codes: no device
// format has this layout; callers see them as A8L8 and R8G8B8.
inline constexpr D3DFORMAT kFormatL16A16 = static_cast<D3DFORMAT>(MAKEFOURCC('V', 'L', 'A', '6'));
inline constexpr D3DFORMAT kFormatR16G16B16 = static_cast<D3DFORMAT>(MAKEFOURCC('V', 'R', 'G', '6'));

// The format callers are told about: the intermediates as their 8-bit
// counterparts, every other format as it is.
D3DFORMAT ReportedFormat(D3DFORMAT format);

// A decoded picture larger than this is refused rather than allocated
// (8192 x 8192 at 32 bits fits).
inline constexpr uint64_t kMaxDecodedBytes = uint64_t{1} << 28;

// Whether width x height x depth pixels of `bytesPerPixel` stay within the
// bound (all arithmetic in 64 bits, so no product can wrap).
bool DecodedSizeFits(uint64_t width, uint64_t height, uint64_t depth, uint64_t bytesPerPixel);

HRESULT DecodePpm(DecodedImage* image, const BYTE* data, size_t size);
HRESULT DecodeDds(DecodedImage* image, const BYTE* data, size_t size);
HRESULT DecodeJpeg(DecodedImage* image, const BYTE* data, size_t size);
HRESULT DecodePng(DecodedImage* image, const BYTE* data, size_t size);
HRESULT DecodeTga(DecodedImage* image, const BYTE* data, size_t size);

// Decodes a colour JPEG of exactly width x height straight into `pixels`
// (rows `pitch` bytes apart) as X8R8G8B8, or as A8R8G8B8 with opaque alpha
// when `alpha` is set. E_FAIL, with nothing promised about the memory, when
// the stream is not such a picture or is corrupt.
HRESULT DecodeJpegInto(const BYTE* data, size_t size, UINT width, UINT height, BYTE* pixels, UINT pitch,
                       bool alpha);

// Whether the bytes start like a JPEG or a PNG stream (cheap tests that
// decide whether the library is asked at all).
bool LooksLikeJpeg(const BYTE* data, size_t size);
bool LooksLikePng(const BYTE* data, size_t size);

}  // namespace gfx

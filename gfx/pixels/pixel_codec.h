// pixel_codec.h — per-format readers and writers of pixel rows.
//
// Provides: gfx::Pixel (the working pixel: four floats red, green, blue,
// alpha), gfx::ImageView (one side of a conversion: format, rectangle,
// pitches, palette, colour key, gamma, dither), and the codec operations on
// a view: MakeCodec, ReadRow (with the colour key and gamma decoding) and
// WriteRow (with gamma encoding, numeric-kind conversion and dither).
// Depends on: windows.h, d3d9.h.
#pragma once

#include <cstddef>
#include <vector>

#include <windows.h>
#include <d3d9.h>

namespace gfx {

struct alignas(16) Pixel {
  float r, g, b, a;
};

// Numeric kinds of a format's channels.
enum NumericKind : int {
  kKindNone = 0,
  kKindUnsigned = 1,      // unsigned normalised, 0 to 1
  kKindSignedColour = 2,  // signed colour channels, unsigned alpha
  kKindSigned = 3,        // every channel signed, -1 to 1
  kKindFloat = 4,         // unbounded
};

struct ImageView;
using ReadFn = void (*)(const ImageView& view, const BYTE* src, Pixel* out, UINT width);
using WriteFn = void (*)(const ImageView& view, BYTE* dst, const Pixel* in, UINT width, UINT y, UINT z);

struct ImageView {
  D3DFORMAT format = D3DFMT_UNKNOWN;
  int kind = kKindNone;
  UINT bitsPerPixel = 0;
  BYTE* pixels = nullptr;  // first pixel of the rectangle (read-only for a source)
  UINT rowPitch = 0;
  UINT slicePitch = 0;
  UINT width = 0;
  UINT height = 0;
  UINT depth = 0;
  UINT rowBytes = 0;
  // Block and pair formats only: `pixels` addresses the first block the
  // rectangle touches, and these say where in it the rectangle starts.
  UINT columnOffset = 0;
  UINT rowOffset = 0;

  // Palette formats: 256 working pixels; all 1.0 when none is given.
  bool hasPalette = false;
  const PALETTEENTRY* paletteEntries = nullptr;  // as given, for comparing
  Pixel palette[256];

  bool keyOn = false;
  Pixel key{};

  bool gamma = false;
  bool gammaWork = true;   // cleared when both sides are gamma encoded
  const float* dither = nullptr;  // 32 offsets: row (y mod 4) * 8 + (z mod 4) + (x mod 4)
  bool dithered = false;
  int conversion = kKindNone;  // destination only: the source's kind to convert from

  ReadFn read = nullptr;
  WriteFn write = nullptr;
  mutable std::vector<Pixel> scratch;  // destination row for conversion and gamma
};

// Offsets added before truncation: all 0.5, or the ordered-dither matrix.
extern const float kPlainOffsets[32];
extern const float kDitherOffsets[32];

// Whether a codec exists for the format, and its kind and size.
bool HasCodec(D3DFORMAT format);
int FormatKind(D3DFORMAT format);
UINT FormatBits(D3DFORMAT format);

// Fills the view's kind, bits, row bytes and codec functions; false when the
// format has no codec. Also quantises the colour key when one is in force
// (write it with this codec, read it back).
bool MakeCodec(ImageView* view);

// Reads row y of slice z (relative to the rectangle) into `out`, applying
// the colour key and, when asked, gamma decoding.
void ReadRow(const ImageView& view, UINT y, UINT z, Pixel* out);

// Writes `in` (width pixels) as row y of slice z, after gamma encoding and
// kind conversion when the view asks for them (on a copy: `in` is kept).
void WriteRow(const ImageView& view, UINT y, UINT z, const Pixel* in);

// The same operations on a raw row pointer, for strategies that address
// pixels themselves.
inline const BYTE* RowPointer(const ImageView& view, UINT y, UINT z) {
  return view.pixels + size_t(y) * view.rowPitch + size_t(z) * view.slicePitch;
}

}  // namespace gfx

// decoded_image.h — an image decoded into memory, as the decoders produce it
// and the texture creator consumes it.
//
// Provides: gfx::DecodedImage (format, pixels and palette, owned or borrowed,
// size, rectangle, pitches, load-pixels flag, resource type, file format, and
// chained levels and faces), ClearDecodedImage / DestroyDecodedImage,
// ImageGuard (clears at scope exit), the decoders' shared description and
// allocation steps (DescribePicture, AllocatePixels, AllocatePalette), and the
// library's buffer allocator (AllocateImageBytes / FreeImageBytes) that every
// owned pixel and palette buffer comes from.
// Depends on: windows.h, d3d9.h, gfx/gfx.h.
#pragma once

#include <cstddef>

#include "gfx/gfx.h"

namespace gfx {

// Left, top, right, bottom, front, back: the part of the image in use.
struct ImageBox {
  UINT left = 0;
  UINT top = 0;
  UINT right = 0;
  UINT bottom = 0;
  UINT front = 0;
  UINT back = 0;
};

struct DecodedImage {
  D3DFORMAT format = D3DFMT_UNKNOWN;
  // First byte of the top row. When pixelsOwned is false it points into the
  // caller's input bytes, which must outlive the image; it is never written.
  const BYTE* pixels = nullptr;
  bool pixelsOwned = false;
  // 256 entries (red, green, blue, alpha), or null.
  PALETTEENTRY* palette = nullptr;
  bool paletteOwned = false;
  UINT width = 0;
  UINT height = 0;
  UINT depth = 0;
  ImageBox rect;
  UINT rowPitch = 0;
  UINT slicePitch = 0;
  // When false the decoders fill only the description (format and sizes).
  bool loadPixels = true;
  D3DRESOURCETYPE resourceType = D3DRTYPE_TEXTURE;
  D3DXIMAGE_FILEFORMAT fileFormat = D3DXIFF_BMP;
  // Further mip levels and cube faces, heap-allocated with new and owned.
  DecodedImage* nextLevel = nullptr;
  DecodedImage* nextFace = nullptr;
};

// Frees what the image owns (pixels, palette, chained images) and resets
// every field to its default, keeping only the load-pixels flag.
void ClearDecodedImage(DecodedImage* image);

// Clears a heap-allocated image (made with new) and deletes it.
void DestroyDecodedImage(DecodedImage* image);

// Clears an image (on the stack of a call) when the call leaves, however it
// leaves.
struct ImageGuard {
  explicit ImageGuard(DecodedImage* guarded) : image(guarded) {}
  ImageGuard(const ImageGuard&) = delete;
  ImageGuard& operator=(const ImageGuard&) = delete;
  ~ImageGuard() { ClearDecodedImage(image); }
  DecodedImage* image;
};

// What every decoder writes first: the picture's format and size, its row
// and slice pitches, its depth and resource type. Pixels and palette are
// left as they are.
void DescribePicture(DecodedImage* image, D3DFORMAT format, UINT width, UINT height, UINT rowPitch, UINT slicePitch,
                     UINT depth = 1, D3DRESOURCETYPE type = D3DRTYPE_TEXTURE);

// An owned pixel buffer of `bytes` for the image (zero-filled when asked),
// or null, the image unchanged, when the memory cannot be had.
BYTE* AllocatePixels(DecodedImage* image, size_t bytes, bool zeroed = false);

// An owned palette of 256 entries for the image, each set to `fill`, or
// null, the image unchanged, when the memory cannot be had.
PALETTEENTRY* AllocatePalette(DecodedImage* image, PALETTEENTRY fill);

// The library's own buffers. Returns null when the memory cannot be had
// (or when the allocation hook says so); never throws.
BYTE* AllocateImageBytes(size_t bytes);
// The same, filled with zeros (cheaply for large buffers: fresh pages).
BYTE* AllocateZeroedImageBytes(size_t bytes);
void FreeImageBytes(const void* bytes);

}  // namespace gfx

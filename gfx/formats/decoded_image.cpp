// decoded_image.cpp — clearing and destroying decoded images, and the
// library's buffer allocator.
//
// Fault injection: every buffer the library allocates asks the library's
// allocation hook first, so tests can exercise each out-of-memory path.
// Depends on: gfx/formats/decoded_image.h, gfx/allocation_hook.h.
#include "gfx/formats/decoded_image.h"

#include <cstdlib>

#include "gfx/allocation_hook.h"

namespace gfx {

void ClearDecodedImage(DecodedImage* image) {
  if (image == nullptr) return;
  if (image->pixelsOwned) FreeImageBytes(image->pixels);
  if (image->paletteOwned) FreeImageBytes(image->palette);
  DecodedImage* chained[2] = {image->nextLevel, image->nextFace};
  bool loadPixels = image->loadPixels;
  *image = DecodedImage{};
  image->loadPixels = loadPixels;
  for (DecodedImage* next : chained) DestroyDecodedImage(next);
}

void DestroyDecodedImage(DecodedImage* image) {
  if (image == nullptr) return;
  ClearDecodedImage(image);
  delete image;
}

void DescribePicture(DecodedImage* image, D3DFORMAT format, UINT width, UINT height, UINT rowPitch, UINT slicePitch,
                     UINT depth, D3DRESOURCETYPE type) {
  image->format = format;
  image->width = width;
  image->height = height;
  image->depth = depth;
  image->rowPitch = rowPitch;
  image->slicePitch = slicePitch;
  image->resourceType = type;
}

BYTE* AllocatePixels(DecodedImage* image, size_t bytes, bool zeroed) {
  BYTE* pixels = zeroed ? AllocateZeroedImageBytes(bytes) : AllocateImageBytes(bytes);
  if (pixels == nullptr) return nullptr;
  image->pixels = pixels;
  image->pixelsOwned = true;
  return pixels;
}

PALETTEENTRY* AllocatePalette(DecodedImage* image, PALETTEENTRY fill) {
  auto* palette = reinterpret_cast<PALETTEENTRY*>(AllocateImageBytes(256 * sizeof(PALETTEENTRY)));
  if (palette == nullptr) return nullptr;
  for (UINT i = 0; i < 256; ++i) palette[i] = fill;
  image->palette = palette;
  image->paletteOwned = true;
  return palette;
}

BYTE* AllocateImageBytes(size_t bytes) {
  if (AllocationFails()) return nullptr;
  if (bytes == 0) bytes = 1;  // a valid, freeable pointer for empty images
  return static_cast<BYTE*>(std::malloc(bytes));
}

BYTE* AllocateZeroedImageBytes(size_t bytes) {
  if (AllocationFails()) return nullptr;
  if (bytes == 0) bytes = 1;
  return static_cast<BYTE*>(std::calloc(bytes, 1));
}

void FreeImageBytes(const void* bytes) { std::free(const_cast<void*>(bytes)); }

}  // namespace gfx

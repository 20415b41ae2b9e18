// image_loader.cpp — the decoders in their fixed order (see image_loader.h).
// Every try sees the whole data; before each one the image is cleared, so
// nothing a failed decoder left behind reaches the next.
// Depends on: gfx/image_loader.h, gfx/dib_decoder.h, gfx/debug_report.h.
#include "gfx/image_loader.h"

#include <cstring>

#include "gfx/debug_report.h"
#include "gfx/dib_decoder.h"

namespace gfx {
namespace {

WORD ReadU16(const BYTE* p) { return static_cast<WORD>(p[0] | (p[1] << 8)); }

bool StartsWith(const BYTE* data, size_t size, const char* signature, size_t length) {
  return size >= length && std::memcmp(data, signature, length) == 0;
}

// The formats below are recognised but not decoded here.
HRESULT Unsupported(const char* kind) {
  DebugReport(0, "%s images are not supported", kind);
  return E_FAIL;
}

HRESULT TryPpm(const BYTE* data, size_t size) {
  if (StartsWith(data, size, "P3", 2) || StartsWith(data, size, "P6", 2)) return Unsupported("PPM");
  return E_FAIL;
}

HRESULT TryDds(const BYTE* data, size_t size) {
  if (size >= 128 && StartsWith(data, size, "DDS ", 4)) return Unsupported("DDS");
  return E_FAIL;
}

HRESULT TryJpeg(const BYTE* data, size_t size) {
  // Start-of-image marker followed by another marker.
  if (size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF) return Unsupported("JPEG");
  return E_FAIL;
}

HRESULT TryPng(const BYTE* data, size_t size) {
  if (StartsWith(data, size, "\x89PNG\r\n\x1a\n", 8)) return Unsupported("PNG");
  return E_FAIL;
}

// A TGA file has no signature: its 18-byte header must describe an image
// this reader could take.
HRESULT TryTga(const BYTE* data, size_t size) {
  if (size <= 17) return E_FAIL;
  const BYTE mapType = data[1];
  const BYTE imageType = data[2];
  const BYTE mapEntryBits = data[7];
  const WORD width = ReadU16(data + 12);
  const WORD height = ReadU16(data + 14);
  const BYTE pixelBits = data[16];
  if (mapType > 1) return E_FAIL;
  if (mapType == 1 && mapEntryBits != 15 && mapEntryBits != 16 && mapEntryBits != 24 && mapEntryBits != 32)
    return E_FAIL;
  if ((imageType & ~0x0B) != 0) return E_FAIL;
  bool depthOk = false;
  switch (imageType & 3) {
    case 1:  // colour-mapped
      depthOk = mapType == 1 && pixelBits == 8;
      break;
    case 2:  // true colour
      depthOk = pixelBits == 15 || pixelBits == 16 || pixelBits == 24 || pixelBits == 32;
      break;
    case 3:  // grey
      depthOk = pixelBits == 8;
      break;
    default:
      depthOk = false;
  }
  if (!depthOk || width == 0 || height == 0) return E_FAIL;
  return Unsupported("TGA");
}

struct Decoder {
  D3DXIMAGE_FILEFORMAT fileFormat;
  HRESULT (*decode)(DecodedImage* image, const BYTE* data, size_t size);
};

}  // namespace

void FillImageInfo(const DecodedImage& image, D3DXIMAGE_INFO* info) {
  if (info == nullptr) return;
  UINT levels = 1;
  for (const DecodedImage* level = image.nextLevel; level != nullptr; level = level->nextLevel) ++levels;
  info->Width = image.width;
  info->Height = image.height;
  info->Depth = image.depth;
  info->MipLevels = levels;
  info->Format = image.format;
  info->ResourceType = image.resourceType;
  info->ImageFileFormat = image.fileFormat;
}

HRESULT LoadImageFromMemory(const void* data, size_t size, D3DXIMAGE_INFO* info, DecodedImage* image) {
  if (data == nullptr || size == 0 || image == nullptr) {
    DebugReport(0, "Source image data (pvSrcData or cbSrcData) is invalid");
    return D3DERR_INVALIDCALL;
  }
  const BYTE* bytes = static_cast<const BYTE*>(data);

  static const Decoder kDecoders[] = {
      {D3DXIFF_BMP, DecodeBmpFile},
      {D3DXIFF_PPM, [](DecodedImage*, const BYTE* d, size_t n) { return TryPpm(d, n); }},
      {D3DXIFF_DDS, [](DecodedImage*, const BYTE* d, size_t n) { return TryDds(d, n); }},
      {D3DXIFF_JPG, [](DecodedImage*, const BYTE* d, size_t n) { return TryJpeg(d, n); }},
      {D3DXIFF_PNG, [](DecodedImage*, const BYTE* d, size_t n) { return TryPng(d, n); }},
      {D3DXIFF_TGA, [](DecodedImage*, const BYTE* d, size_t n) { return TryTga(d, n); }},
      {D3DXIFF_DIB, DecodeDib},
  };

  for (const Decoder& decoder : kDecoders) {
    ClearDecodedImage(image);
    if (FAILED(decoder.decode(image, bytes, size))) continue;
    image->fileFormat = decoder.fileFormat;
    // Every image in the chain is used whole.
    for (DecodedImage* face = image; face != nullptr; face = face->nextFace)
      for (DecodedImage* level = face; level != nullptr; level = level->nextLevel)
        level->rect = ImageBox{0, 0, level->width, level->height, 0, level->depth};
    FillImageInfo(*image, info);
    return S_OK;
  }
  ClearDecodedImage(image);
  DebugReport(0, "Unsupported file format");
  return D3DXERR_INVALIDDATA;
}

}  // namespace gfx

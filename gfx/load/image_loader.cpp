// image_loader.cpp — the decoders in their fixed order (see image_loader.h).
// Every try sees the whole data; before each one the image is cleared, so
// nothing a failed decoder left behind reaches the next.
// Depends on: gfx/load/image_loader.h, gfx/formats/dib_decoder.h, gfx/formats/image_decoders.h,
// gfx/debug_report.h.
#include "gfx/load/image_loader.h"

#include "gfx/debug_report.h"
#include "gfx/formats/dib_decoder.h"
#include "gfx/formats/image_decoders.h"

namespace gfx {
namespace {

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
  info->Format = ReportedFormat(image.format);
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
      {D3DXIFF_PPM, DecodePpm}, {D3DXIFF_DDS, DecodeDds}, {D3DXIFF_JPG, DecodeJpeg},
      {D3DXIFF_PNG, DecodePng}, {D3DXIFF_TGA, DecodeTga},
      {D3DXIFF_DIB, DecodeDib},
  };

  for (const Decoder& decoder : kDecoders) {
    ClearDecodedImage(image);
    if (FAILED(decoder.decode(image, bytes, size))) continue;
    for (DecodedImage* face = image; face != nullptr; face = face->nextFace)
      for (DecodedImage* level = face; level != nullptr; level = level->nextLevel)
        level->fileFormat = decoder.fileFormat;
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

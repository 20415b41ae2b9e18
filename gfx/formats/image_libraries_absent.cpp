// image_libraries_absent.cpp — PNG and JPEG in a build without libspng and
// libjpeg-turbo (the browser build).
//
// Provides: DecodePng, DecodeJpeg and DecodeJpegInto that recognise their
// format by its signature and refuse it by name, so the loader's later tries
// and its messages stay as they are elsewhere.
// Depends on: gfx/formats/image_decoders.h, gfx/debug_report.h.
#include "gfx/debug_report.h"
#include "gfx/formats/image_decoders.h"

namespace gfx {

HRESULT DecodeJpeg(DecodedImage*, const BYTE* data, size_t size) {
  if (!LooksLikeJpeg(data, size)) return E_FAIL;
  DebugReport(0, "JPEG images are not supported");
  return E_FAIL;
}

HRESULT DecodeJpegInto(const BYTE*, size_t, UINT, UINT, BYTE*, UINT, bool) { return E_FAIL; }

HRESULT DecodePng(DecodedImage*, const BYTE* data, size_t size) {
  if (!LooksLikePng(data, size)) return E_FAIL;
  DebugReport(0, "PNG images are not supported");
  return E_FAIL;
}

}  // namespace gfx

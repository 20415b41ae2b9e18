// image_libraries_absent.cpp — PNG and JPEG in a build without libspng and
// libjpeg-turbo (the browser build). gfx/CMakeLists.txt builds this file
// instead of the PNG and JPEG readers and writers; nothing else differs.
//
// Provides: DecodePng, DecodeJpeg and DecodeJpegInto that recognise their
// format by its signature and refuse it by name, so the loader's later tries
// and its messages stay as they are elsewhere; EncodePng and EncodeJpeg
// that say the format cannot be written.
// Depends on: gfx/formats/image_decoders.h, gfx/formats/image_writers.h,
// gfx/debug_report.h.
#include "gfx/debug_report.h"
#include "gfx/formats/image_decoders.h"
#include "gfx/formats/image_writers.h"

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

HRESULT EncodePng(const Picture&, Bytes*) {
  DebugReport(0, "PNG files cannot be written by this build");
  return E_NOTIMPL;
}

HRESULT EncodeJpeg(const Picture&, Bytes*) {
  DebugReport(0, "JPEG files cannot be written by this build");
  return E_NOTIMPL;
}

}  // namespace gfx

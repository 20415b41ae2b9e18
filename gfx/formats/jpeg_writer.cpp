// jpeg_writer.cpp — JPEG files through libjpeg-turbo's TurboJPEG API:
// quality 90, 4:2:0 colour or grey, accurate DCT.
// Depends on: gfx/formats/image_writers.h, gfx/debug_report.h, libturbojpeg.
#include <memory>

#include <turbojpeg.h>

#include "gfx/debug_report.h"
#include "gfx/formats/image_writers.h"

namespace gfx {

namespace {

constexpr int kJpegQuality = 90;

}  // namespace

HRESULT EncodeJpeg(const Picture& p, Bytes* out) {
  struct Destroy {
    void operator()(void* h) const { tjDestroy(h); }
  };
  std::unique_ptr<void, Destroy> handle(tjInitCompress());
  if (!handle) return E_OUTOFMEMORY;
  Bytes grey;
  const BYTE* pixels = reinterpret_cast<const BYTE*>(p.argb.data());
  int pitch = int(p.width) * 4;
  if (p.grey) {
    grey.resize(p.argb.size());
    for (size_t i = 0; i < grey.size(); ++i) grey[i] = Channel(p.argb[i], 16);
    pixels = grey.data();
    pitch = int(p.width);
  }
  unsigned char* jpeg = nullptr;
  unsigned long length = 0;
  if (tjCompress2(handle.get(), pixels, int(p.width), pitch, int(p.height), p.grey ? TJPF_GRAY : TJPF_BGRX, &jpeg,
                  &length, p.grey ? TJSAMP_GRAY : TJSAMP_420, kJpegQuality, TJFLAG_ACCURATEDCT) != 0) {
    DebugReport(0, "JPEG: %s", tjGetErrorStr2(handle.get()));
    tjFree(jpeg);
    return E_FAIL;
  }
  out->assign(jpeg, jpeg + length);
  tjFree(jpeg);
  return S_OK;
}

}  // namespace gfx

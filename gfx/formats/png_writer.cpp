// png_writer.cpp — PNG files through libspng: 8-bit RGBA, RGB or grey.
// Depends on: gfx/formats/image_writers.h, gfx/debug_report.h, libspng.
#include <cstdlib>
#include <memory>

#include <spng.h>

#include "gfx/debug_report.h"
#include "gfx/formats/image_writers.h"

namespace gfx {

HRESULT EncodePng(const Picture& p, Bytes* out) {
  const int channels = p.grey ? 1 : p.alpha ? 4 : 3;
  Bytes rows(size_t(p.width) * p.height * channels);
  BYTE* q = rows.data();
  for (uint32_t v : p.argb) {
    if (p.grey) {
      *q++ = Channel(v, 16);
      continue;
    }
    *q++ = Channel(v, 16);
    *q++ = Channel(v, 8);
    *q++ = Channel(v, 0);
    if (p.alpha) *q++ = Channel(v, 24);
  }
  struct Free {
    void operator()(spng_ctx* c) const { spng_ctx_free(c); }
  };
  std::unique_ptr<spng_ctx, Free> ctx(spng_ctx_new(SPNG_CTX_ENCODER));
  if (!ctx) return E_OUTOFMEMORY;
  spng_set_option(ctx.get(), SPNG_ENCODE_TO_BUFFER, 1);
  spng_ihdr ihdr{};
  ihdr.width = p.width;
  ihdr.height = p.height;
  ihdr.bit_depth = 8;
  ihdr.color_type = p.grey ? SPNG_COLOR_TYPE_GRAYSCALE
                           : p.alpha ? SPNG_COLOR_TYPE_TRUECOLOR_ALPHA : SPNG_COLOR_TYPE_TRUECOLOR;
  int r = spng_set_ihdr(ctx.get(), &ihdr);
  if (r == 0) r = spng_encode_image(ctx.get(), rows.data(), rows.size(), SPNG_FMT_PNG, SPNG_ENCODE_FINALIZE);
  if (r != 0) {
    DebugReport(0, "PNG: %s", spng_strerror(r));
    return E_FAIL;
  }
  size_t length = 0;
  void* png = spng_get_png_buffer(ctx.get(), &length, &r);
  if (png == nullptr) {
    DebugReport(0, "PNG: %s", spng_strerror(r));
    return E_FAIL;
  }
  out->assign(static_cast<BYTE*>(png), static_cast<BYTE*>(png) + length);
  std::free(png);
  return S_OK;
}

}  // namespace gfx

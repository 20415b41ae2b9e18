// jpeg_decoder.cpp — JPEG images through libjpeg-turbo's libjpeg API:
// baseline and progressive, any chroma sampling the library takes (4:4:4,
// 4:2:2, 4:2:0, 4:4:0, 4:1:1, 4:1:0 ...), restart markers, grey, and CMYK
// or YCCK (the library turns YCCK into CMYK; Adobe-style inverted CMYK is
// then made RGB here).
// DecodeJpegInto writes a colour picture straight into memory the caller
// holds, such as a locked texture level, with no buffer in between.
//
// Decoded with the library's accurate defaults (slow integer IDCT, smooth
// upsampling) straight into the picture: colour as X8R8G8B8 (the library's
// BGRX output), grey as L8. A warning about the data (a truncated stream,
// a corrupt entropy segment) refuses the file, and progressive files may
// have at most 500 scans, so a few bytes cannot keep the decoder busy.
// Errors leave libjpeg through longjmp back to one frame that holds nothing
// with a destructor; the library's own memory goes with
// jpeg_destroy_decompress, the picture with the decoded image.
// Depends on: gfx/formats/image_decoders.h, gfx/debug_report.h, libjpeg.
#include <csetjmp>
#include <cstdint>
#include <cstdio>

#include <jpeglib.h>

#include "gfx/debug_report.h"
#include "gfx/formats/image_decoders.h"

namespace gfx {
namespace {

constexpr int kMaxScans = 500;

struct ErrorManager {
  jpeg_error_mgr pub;  // first: libjpeg sees a jpeg_error_mgr*
  std::jmp_buf jump;
};

struct Progress {
  jpeg_progress_mgr pub;  // first, as above
  int limit;
};

[[noreturn]] void OnError(j_common_ptr cinfo) {
  char text[JMSG_LENGTH_MAX];
  (*cinfo->err->format_message)(cinfo, text);
  DebugReport(0, "JPEG: %s", text);
  std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}

// Level -1 is a warning about the data: treated as an error. Trace
// messages (levels 0 and up) are dropped.
void OnMessage(j_common_ptr cinfo, int level) {
  if (level < 0) OnError(cinfo);
}

void OnProgress(j_common_ptr cinfo) {
  if (!cinfo->is_decompressor) return;
  const j_decompress_ptr d = reinterpret_cast<j_decompress_ptr>(cinfo);
  if (d->progressive_mode && d->input_scan_number > reinterpret_cast<Progress*>(cinfo->progress)->limit) {
    DebugReport(0, "JPEG: more than %d progressive scans", kMaxScans);
    std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
  }
}

// Inverted CMYK (255 = no ink) to X8R8G8B8, in place: each channel is its
// colour's ink times the black ink, both as stored.
void CmykToBgrx(BYTE* p, size_t count) {
  for (size_t i = 0; i < count; ++i, p += 4) {
    const uint32_t c = p[0], m = p[1], y = p[2], k = p[3];
    p[2] = static_cast<BYTE>((c * k + 127) / 255);
    p[1] = static_cast<BYTE>((m * k + 127) / 255);
    p[0] = static_cast<BYTE>((y * k + 127) / 255);
    p[3] = 255;
  }
}

// Where the rows go when the caller has the memory already (a locked
// texture level).
struct Target {
  BYTE* pixels;
  UINT pitch;
  UINT width, height;
  bool alpha;  // BGRA with opaque alpha rather than BGRX
};

// Everything between setjmp and the last libjpeg call lives in this frame
// and is trivially destructible.
HRESULT Decode(jpeg_decompress_struct* cinfo, ErrorManager* errors, DecodedImage* image, const Target* target,
               const BYTE* data, size_t size) {
  if (setjmp(errors->jump) != 0) return E_FAIL;
  jpeg_mem_src(cinfo, data, static_cast<unsigned long>(size));
  jpeg_read_header(cinfo, TRUE);
  const bool grey = cinfo->jpeg_color_space == JCS_GRAYSCALE;
  const bool cmyk = cinfo->jpeg_color_space == JCS_CMYK || cinfo->jpeg_color_space == JCS_YCCK;
  if (target != nullptr && (grey || cmyk || cinfo->image_width != target->width ||
                            cinfo->image_height != target->height))
    return E_FAIL;
  cinfo->out_color_space = grey ? JCS_GRAYSCALE : cmyk ? JCS_CMYK : (target && target->alpha) ? JCS_EXT_BGRA
                                                                                             : JCS_EXT_BGRX;
  cinfo->dct_method = JDCT_ISLOW;
  cinfo->do_fancy_upsampling = TRUE;
  const UINT width = cinfo->image_width;
  const UINT height = cinfo->image_height;
  const UINT bytes = grey ? 1 : 4;
  // Bounded as a 32-bit picture even when grey: a progressive file keeps
  // every coefficient (2 bytes each) until its last scan.
  if (!DecodedSizeFits(width, height, 1, 4)) {
    DebugReport(0, "JPEG: image too large");
    return E_FAIL;
  }
  DescribePicture(image, grey ? D3DFMT_L8 : D3DFMT_X8R8G8B8, width, height, width * bytes, width * bytes * height);
  if (!image->loadPixels) return S_OK;

  BYTE* out = nullptr;
  UINT pitch = image->rowPitch;
  if (target != nullptr) {
    out = target->pixels;
    pitch = target->pitch;
  } else {
    out = AllocatePixels(image, image->slicePitch);
    if (out == nullptr) return E_OUTOFMEMORY;
  }
  jpeg_start_decompress(cinfo);
  if (cinfo->output_components != static_cast<int>(bytes) || cinfo->output_width != width ||
      cinfo->output_height != height) {
    DebugReport(0, "JPEG: unexpected output layout");
    return E_FAIL;
  }
  while (cinfo->output_scanline < height) {
    JSAMPROW rows[4];
    JDIMENSION count = 0;
    for (; count < 4 && cinfo->output_scanline + count < height; ++count)
      rows[count] = out + size_t(cinfo->output_scanline + count) * pitch;
    if (jpeg_read_scanlines(cinfo, rows, count) == 0) {
      DebugReport(0, "JPEG: no progress reading rows");
      return E_FAIL;
    }
  }
  jpeg_finish_decompress(cinfo);
  if (cmyk) CmykToBgrx(out, size_t(width) * height);
  return S_OK;
}

HRESULT DecodeWith(DecodedImage* image, const Target* target, const BYTE* data, size_t size) {
  jpeg_decompress_struct cinfo{};
  ErrorManager errors{};
  cinfo.err = jpeg_std_error(&errors.pub);
  errors.pub.error_exit = OnError;
  errors.pub.emit_message = OnMessage;
  Progress progress{};
  progress.pub.progress_monitor = OnProgress;
  progress.limit = kMaxScans;
  jpeg_create_decompress(&cinfo);
  cinfo.progress = &progress.pub;
  const HRESULT hr = Decode(&cinfo, &errors, image, target, data, size);
  jpeg_destroy_decompress(&cinfo);
  return hr;
}

}  // namespace

HRESULT DecodeJpeg(DecodedImage* image, const BYTE* data, size_t size) {
  if (!LooksLikeJpeg(data, size)) return E_FAIL;
  return DecodeWith(image, nullptr, data, size);
}

HRESULT DecodeJpegInto(const BYTE* data, size_t size, UINT width, UINT height, BYTE* pixels, UINT pitch,
                       bool alpha) {
  if (!LooksLikeJpeg(data, size) || pixels == nullptr || pitch < uint64_t{width} * 4) return E_FAIL;
  DecodedImage image;
  const Target target{pixels, pitch, width, height, alpha};
  const HRESULT hr = DecodeWith(&image, &target, data, size);
  ClearDecodedImage(&image);
  return hr;
}

}  // namespace gfx

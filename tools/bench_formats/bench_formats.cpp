// bench_formats — decoding a 1024 x 1024 photo-like picture, stored as an
// RGBA PNG and as a 4:2:0 JPEG (both made here at start), into an A8R8G8B8
// texture through the library (BM_DecodePng/velmora, BM_DecodeJpeg/velmora),
// beside the raw libraries alone (libspng to RGBA8, libjpeg-turbo to BGRA)
// and beside stb_image (to RGBA).
//
// The library's figure includes what a caller gets: the managed texture of
// one level, created, filled and released.
#include <benchmark/benchmark.h>
#include <windows.h>
#include <d3d9.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <vector>

#include <spng.h>
#include <turbojpeg.h>

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
#include <stb/stb_image.h>

#include "gfx/gfx.h"
#include "gfx/image_decoders.h"
#include "host/headless/headless_host.h"

namespace {

constexpr int kSide = 1024;

// Smooth shapes, soft edges and sensor-like noise: compresses like a photo
// (neither flat nor pure noise).
std::vector<uint8_t> PhotoLikeRgba() {
  std::vector<uint8_t> rgba(size_t(kSide) * kSide * 4);
  std::mt19937 rng(2026);
  std::normal_distribution<float> noise(0.0f, 3.0f);
  for (int y = 0; y < kSide; ++y) {
    for (int x = 0; x < kSide; ++x) {
      const float fx = float(x) / kSide, fy = float(y) / kSide;
      const float sky = 0.5f + 0.5f * std::sin(fx * 6.0f + fy * 2.0f);
      const float hill = fy > 0.55f + 0.1f * std::sin(fx * 9.0f) ? 1.0f : 0.0f;
      const float disc = std::hypot(fx - 0.7f, fy - 0.3f) < 0.12f ? 1.0f : 0.0f;
      float r = 40 + 120 * sky + 60 * disc - 30 * hill, g = 80 + 90 * sky + 80 * hill, b = 150 + 90 * sky - 100 * hill;
      uint8_t* p = &rgba[(size_t(y) * kSide + x) * 4];
      p[0] = uint8_t(std::clamp(r + noise(rng), 0.0f, 255.0f));
      p[1] = uint8_t(std::clamp(g + noise(rng), 0.0f, 255.0f));
      p[2] = uint8_t(std::clamp(b + noise(rng), 0.0f, 255.0f));
      p[3] = uint8_t(std::clamp(200 + 55 * fx + noise(rng), 0.0f, 255.0f));
    }
  }
  return rgba;
}

struct Files {
  std::vector<uint8_t> png, jpeg;
};

const Files& TestFiles() {
  static const Files files = [] {
    Files f;
    const std::vector<uint8_t> rgba = PhotoLikeRgba();
    spng_ctx* enc = spng_ctx_new(SPNG_CTX_ENCODER);
    spng_set_option(enc, SPNG_ENCODE_TO_BUFFER, 1);
    spng_ihdr ihdr{};
    ihdr.width = kSide;
    ihdr.height = kSide;
    ihdr.bit_depth = 8;
    ihdr.color_type = SPNG_COLOR_TYPE_TRUECOLOR_ALPHA;
    spng_set_ihdr(enc, &ihdr);
    spng_encode_image(enc, rgba.data(), rgba.size(), SPNG_FMT_PNG, SPNG_ENCODE_FINALIZE);
    size_t length = 0;
    int error = 0;
    uint8_t* png = static_cast<uint8_t*>(spng_get_png_buffer(enc, &length, &error));
    f.png.assign(png, png + length);
    std::free(png);
    spng_ctx_free(enc);

    tjhandle tj = tjInitCompress();
    unsigned char* jpeg = nullptr;
    unsigned long jpegLength = 0;
    tjCompress2(tj, rgba.data(), kSide, kSide * 4, kSide, TJPF_RGBA, &jpeg, &jpegLength, TJSAMP_420, 90,
                TJFLAG_ACCURATEDCT);
    f.jpeg.assign(jpeg, jpeg + jpegLength);
    tjFree(jpeg);
    tjDestroy(tj);
    return f;
  }();
  return files;
}

LRESULT CALLBACK BenchWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  return DefWindowProcA(hwnd, msg, wp, lp);
}

void DecodeThroughLibrary(benchmark::State& state, const std::vector<uint8_t>& file) {
  host::HeadlessHost host;
  host::SetCurrent(&host);
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = BenchWindowProc;
  wc.lpszClassName = "BENCHFORMATS";
  RegisterClassExA(&wc);
  HWND window = CreateWindowExA(0, "BENCHFORMATS", "BENCHFORMATS", WS_OVERLAPPEDWINDOW, 0, 0, 64, 64, nullptr,
                                nullptr, nullptr, nullptr);
  IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
  IDirect3DDevice9* device = nullptr;
  D3DPRESENT_PARAMETERS pp{};
  pp.BackBufferCount = 1;
  pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
  pp.Windowed = TRUE;
  if (d3d == nullptr ||
      FAILED(d3d->CreateDevice(0, D3DDEVTYPE_HAL, window, D3DCREATE_MIXED_VERTEXPROCESSING, &pp, &device))) {
    state.SkipWithError("no device");
    if (d3d) d3d->Release();
    host::SetCurrent(nullptr);
    return;
  }
  for (auto _ : state) {
    IDirect3DTexture9* texture = nullptr;
    if (FAILED(D3DXCreateTextureFromFileInMemoryEx(device, file.data(), UINT(file.size()), D3DX_DEFAULT_NONPOW2,
                                                   D3DX_DEFAULT_NONPOW2, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED,
                                                   D3DX_FILTER_NONE, D3DX_FILTER_NONE, 0, nullptr, nullptr,
                                                   &texture))) {
      state.SkipWithError("decode failed");
      break;
    }
    texture->Release();
  }
  device->Release();
  d3d->Release();
  DestroyWindow(window);
  host::SetCurrent(nullptr);
}

void BM_DecodePngVelmora(benchmark::State& state) { DecodeThroughLibrary(state, TestFiles().png); }
void BM_DecodeJpegVelmora(benchmark::State& state) { DecodeThroughLibrary(state, TestFiles().jpeg); }

// The decoders alone, into the image the texture is filled from.
void DecodeImageOnly(benchmark::State& state, const std::vector<uint8_t>& file,
                     HRESULT (*decode)(gfx::DecodedImage*, const BYTE*, size_t)) {
  for (auto _ : state) {
    gfx::DecodedImage image;
    if (FAILED(decode(&image, file.data(), file.size()))) state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(image.pixels);
    gfx::ClearDecodedImage(&image);
  }
}
void BM_DecodePngImage(benchmark::State& state) { DecodeImageOnly(state, TestFiles().png, gfx::DecodePng); }
void BM_DecodePngByRows(benchmark::State& state) { DecodeImageOnly(state, TestFiles().png, gfx::DecodePngByRows); }

void BM_DecodePngSpng(benchmark::State& state) {
  const std::vector<uint8_t>& png = TestFiles().png;
  for (auto _ : state) {
    spng_ctx* ctx = spng_ctx_new(0);
    spng_set_png_buffer(ctx, png.data(), png.size());
    size_t length = 0;
    spng_decoded_image_size(ctx, SPNG_FMT_RGBA8, &length);
    std::vector<uint8_t> out(length);
    if (spng_decode_image(ctx, out.data(), out.size(), SPNG_FMT_RGBA8, 0) != 0) state.SkipWithError("spng failed");
    benchmark::DoNotOptimize(out.data());
    spng_ctx_free(ctx);
  }
}

void BM_DecodeJpegTurbo(benchmark::State& state) {
  const std::vector<uint8_t>& jpeg = TestFiles().jpeg;
  for (auto _ : state) {
    tjhandle tj = tjInitDecompress();
    int w = 0, h = 0, sub = 0, cs = 0;
    tjDecompressHeader3(tj, jpeg.data(), jpeg.size(), &w, &h, &sub, &cs);
    std::vector<uint8_t> out(size_t(w) * h * 4);
    if (tjDecompress2(tj, jpeg.data(), jpeg.size(), out.data(), w, w * 4, h, TJPF_BGRA, TJFLAG_ACCURATEDCT) != 0)
      state.SkipWithError("turbojpeg failed");
    benchmark::DoNotOptimize(out.data());
    tjDestroy(tj);
  }
}

void StbDecode(benchmark::State& state, const std::vector<uint8_t>& file) {
  for (auto _ : state) {
    int w = 0, h = 0, n = 0;
    stbi_uc* out = stbi_load_from_memory(file.data(), int(file.size()), &w, &h, &n, 4);
    if (out == nullptr) state.SkipWithError("stb_image failed");
    benchmark::DoNotOptimize(out);
    stbi_image_free(out);
  }
}
void BM_DecodePngStb(benchmark::State& state) { StbDecode(state, TestFiles().png); }
void BM_DecodeJpegStb(benchmark::State& state) { StbDecode(state, TestFiles().jpeg); }

BENCHMARK(BM_DecodePngVelmora)->Name("BM_DecodePng/velmora")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodePngImage)->Name("BM_DecodePng/velmora_image")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodePngByRows)->Name("BM_DecodePng/velmora_by_rows")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodePngSpng)->Name("BM_DecodePng/spng")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodePngStb)->Name("BM_DecodePng/stb")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeJpegVelmora)->Name("BM_DecodeJpeg/velmora")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeJpegTurbo)->Name("BM_DecodeJpeg/turbo")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeJpegStb)->Name("BM_DecodeJpeg/stb")->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

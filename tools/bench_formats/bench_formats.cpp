// bench_formats — decoding a 1024 x 1024 photo-like picture, stored as an
// RGBA PNG and as a 4:2:0 JPEG (both made here at start), into an A8R8G8B8
// texture through the library (BM_DecodePng/velmora, BM_DecodeJpeg/velmora),
// beside the raw libraries alone (libspng to RGBA8, libjpeg-turbo to BGRA)
// and beside stb_image (to RGBA). BM_DecodePhotoPng does the same with a
// second, photographic picture: RGB without alpha, fractal detail at every
// scale (as foliage or rock), made here as deterministically.
// velmora_image and velmora_by_rows are the library's PNG decoder alone,
// into the image a texture is filled from (whole-stream and libspng's rows);
// velmora_loader fills the texture from that image through the general
// level loader instead of the texture road's direct copy.
//
// The library's figure includes what a caller gets: the managed texture of
// one level, created, filled and released.
#include <benchmark/benchmark.h>
#include <windows.h>
#include <d3d9.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
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
#include "gfx/formats/image_decoders.h"
#include "tools/headless_device/headless_device.h"

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

// Value noise summed over octaves (fractal Brownian motion), in [0, 1].
float Fractal(const std::vector<float>& lattice, int latticeSide, float x, float y) {
  float sum = 0, weight = 0.5f, total = 0;
  for (int octave = 0; octave < 7; ++octave) {
    const float fx = x * float(2 << octave), fy = y * float(2 << octave);
    const int ix = int(fx), iy = int(fy);
    const float tx = fx - float(ix), ty = fy - float(iy);
    auto at = [&](int cx, int cy) {
      return lattice[size_t((cy + octave * 7) % latticeSide) * size_t(latticeSide) + size_t((cx + octave * 13) % latticeSide)];
    };
    const float top = at(ix, iy) + (at(ix + 1, iy) - at(ix, iy)) * tx;
    const float bottom = at(ix, iy + 1) + (at(ix + 1, iy + 1) - at(ix, iy + 1)) * tx;
    sum += weight * (top + (bottom - top) * ty);
    total += weight;
    weight *= 0.55f;
  }
  return sum / total;
}

// A photographic RGB picture: sky above a textured landscape, lit from the
// left, with sensor noise.
std::vector<uint8_t> PhotographicRgb() {
  constexpr int kLattice = 263;
  std::mt19937 rng(1971);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  std::vector<float> lattice(size_t(kLattice) * kLattice);
  for (float& v : lattice) v = unit(rng);
  std::normal_distribution<float> noise(0.0f, 2.0f);
  std::vector<uint8_t> rgb(size_t(kSide) * kSide * 3);
  for (int y = 0; y < kSide; ++y) {
    for (int x = 0; x < kSide; ++x) {
      const float fx = float(x) / kSide, fy = float(y) / kSide;
      const float detail = Fractal(lattice, kLattice, fx, fy);
      const float horizon = 0.35f + 0.15f * Fractal(lattice, kLattice, fx * 0.25f, 0.5f);
      const float light = 0.6f + 0.4f * (1.0f - fx);
      float r, g, b;
      if (fy < horizon) {  // sky with clouds
        const float cloud = std::clamp(detail * 1.6f - 0.5f, 0.0f, 1.0f);
        r = 90 + 120 * cloud + 40 * fy;
        g = 140 + 100 * cloud + 30 * fy;
        b = 210 + 40 * cloud;
      } else {  // ground: grass and rock
        const float rock = std::clamp(detail * 2.2f - 0.9f, 0.0f, 1.0f);
        r = light * (60 + 110 * rock + 60 * detail);
        g = light * (95 + 70 * rock + 70 * detail);
        b = light * (40 + 100 * rock + 30 * detail);
      }
      uint8_t* p = &rgb[(size_t(y) * kSide + x) * 3];
      p[0] = uint8_t(std::clamp(r + noise(rng), 0.0f, 255.0f));
      p[1] = uint8_t(std::clamp(g + noise(rng), 0.0f, 255.0f));
      p[2] = uint8_t(std::clamp(b + noise(rng), 0.0f, 255.0f));
    }
  }
  return rgb;
}

std::vector<uint8_t> EncodePng(const std::vector<uint8_t>& pixels, uint8_t colorType) {
  spng_ctx* enc = spng_ctx_new(SPNG_CTX_ENCODER);
  spng_set_option(enc, SPNG_ENCODE_TO_BUFFER, 1);
  spng_ihdr ihdr{};
  ihdr.width = kSide;
  ihdr.height = kSide;
  ihdr.bit_depth = 8;
  ihdr.color_type = colorType;
  spng_set_ihdr(enc, &ihdr);
  spng_encode_image(enc, pixels.data(), pixels.size(), SPNG_FMT_PNG, SPNG_ENCODE_FINALIZE);
  size_t length = 0;
  int error = 0;
  uint8_t* png = static_cast<uint8_t*>(spng_get_png_buffer(enc, &length, &error));
  std::vector<uint8_t> file(png, png + length);
  std::free(png);
  spng_ctx_free(enc);
  return file;
}

struct Files {
  std::vector<uint8_t> png, jpeg, photo;
};

const Files& TestFiles() {
  static const Files files = [] {
    Files f;
    const std::vector<uint8_t> rgba = PhotoLikeRgba();
    f.png = EncodePng(rgba, SPNG_COLOR_TYPE_TRUECOLOR_ALPHA);
    f.photo = EncodePng(PhotographicRgb(), SPNG_COLOR_TYPE_TRUECOLOR);
    if (const char* dump = std::getenv("BENCH_FORMATS_DUMP")) {  // to look at the pictures
      std::FILE* out = std::fopen(dump, "wb");
      if (out != nullptr) {
        std::fwrite(f.photo.data(), 1, f.photo.size(), out);
        std::fclose(out);
      }
    }

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

// Runs `fill(device)` once an iteration on a headless device; a fill that
// fails ends the benchmark with an error.
template <typename Fill>
void OnDevice(benchmark::State& state, Fill fill) {
  headless::HeadlessDevice headless(nullptr, {64, 64});
  IDirect3DDevice9* device = headless.Device();
  if (device == nullptr) {
    state.SkipWithError("no device");
    return;
  }
  for (auto _ : state) {
    if (!fill(device)) {
      state.SkipWithError("decode failed");
      break;
    }
  }
}

void DecodeThroughLibrary(benchmark::State& state, const std::vector<uint8_t>& file) {
  OnDevice(state, [&](IDirect3DDevice9* device) {
    IDirect3DTexture9* texture = nullptr;
    if (FAILED(D3DXCreateTextureFromFileInMemoryEx(device, file.data(), UINT(file.size()), D3DX_DEFAULT_NONPOW2,
                                                   D3DX_DEFAULT_NONPOW2, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED,
                                                   D3DX_FILTER_NONE, D3DX_FILTER_NONE, 0, nullptr, nullptr,
                                                   &texture))) {
      return false;
    }
    texture->Release();
    return true;
  });
}

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
// The PNG benchmarks run on either picture.
using FileOf = const std::vector<uint8_t>& (*)();
const std::vector<uint8_t>& PhotoLikePng() { return TestFiles().png; }
const std::vector<uint8_t>& PhotographicPng() { return TestFiles().photo; }

void BM_DecodePngVelmora(benchmark::State& state, FileOf file) { DecodeThroughLibrary(state, file()); }
void BM_DecodePngImage(benchmark::State& state, FileOf file) { DecodeImageOnly(state, file(), gfx::DecodePng); }
void BM_DecodePngByRows(benchmark::State& state, FileOf file) {
  DecodeImageOnly(state, file(), gfx::DecodePngByRows);
}

// The same texture filled through the general level loader (every pixel
// through the working form): the road an RGB picture took before the
// direct row copy.
void BM_DecodePngLoader(benchmark::State& state, FileOf file) {
  const std::vector<uint8_t>& png = file();
  OnDevice(state, [&](IDirect3DDevice9* device) {
    gfx::DecodedImage image;
    IDirect3DTexture9* texture = nullptr;
    IDirect3DSurface9* level = nullptr;
    bool done = SUCCEEDED(gfx::DecodePng(&image, png.data(), png.size())) &&
                SUCCEEDED(device->CreateTexture(image.width, image.height, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED,
                                                &texture, nullptr)) &&
                SUCCEEDED(texture->GetSurfaceLevel(0, &level));
    if (done) {
      const RECT whole{0, 0, LONG(image.width), LONG(image.height)};
      done = SUCCEEDED(D3DXLoadSurfaceFromMemory(level, nullptr, nullptr, image.pixels, image.format, image.rowPitch,
                                                 nullptr, &whole, D3DX_FILTER_NONE, 0));
    }
    if (level != nullptr) level->Release();
    if (texture != nullptr) texture->Release();
    gfx::ClearDecodedImage(&image);
    return done;
  });
}

void BM_DecodePngSpng(benchmark::State& state, FileOf file) {
  const std::vector<uint8_t>& png = file();
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
void BM_DecodePngStb(benchmark::State& state, FileOf file) { StbDecode(state, file()); }
void BM_DecodeJpegStb(benchmark::State& state) { StbDecode(state, TestFiles().jpeg); }

#define VELMORA_PNG_BENCHMARKS(prefix, file)                                                       \
  BENCHMARK_CAPTURE(BM_DecodePngVelmora, velmora, file)->Name(prefix "/velmora")->Unit(benchmark::kMillisecond); \
  BENCHMARK_CAPTURE(BM_DecodePngImage, image, file)->Name(prefix "/velmora_image")->Unit(benchmark::kMillisecond); \
  BENCHMARK_CAPTURE(BM_DecodePngLoader, loader, file)                                                \
      ->Name(prefix "/velmora_loader")                                                               \
      ->Unit(benchmark::kMillisecond);                                                               \
  BENCHMARK_CAPTURE(BM_DecodePngByRows, rows, file)                                                  \
      ->Name(prefix "/velmora_by_rows")                                                              \
      ->Unit(benchmark::kMillisecond);                                                               \
  BENCHMARK_CAPTURE(BM_DecodePngSpng, spng, file)->Name(prefix "/spng")->Unit(benchmark::kMillisecond); \
  BENCHMARK_CAPTURE(BM_DecodePngStb, stb, file)->Name(prefix "/stb")->Unit(benchmark::kMillisecond)
VELMORA_PNG_BENCHMARKS("BM_DecodePng", PhotoLikePng);
VELMORA_PNG_BENCHMARKS("BM_DecodePhotoPng", PhotographicPng);
BENCHMARK(BM_DecodeJpegVelmora)->Name("BM_DecodeJpeg/velmora")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeJpegTurbo)->Name("BM_DecodeJpeg/turbo")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeJpegStb)->Name("BM_DecodeJpeg/stb")->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

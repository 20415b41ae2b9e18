// bench_resample — full mip chains through D3DXLoadSurfaceFromMemory with
// the triangle filter and mirror bits, each level straight from the
// full-size picture, as texture creation builds them:
//   BM_MipChain/np2    one 792 x 640 P8 picture into 10 A8R8G8B8 levels
//                      (792 x 640 ... 1 x 1)
//   BM_MipChain/pow2   the same picture into 11 levels (1024 x 1024 ... 1 x 1)
//   BM_MipChain/cells  six 88 x 88 P8 pictures into 8 levels each
//                      (128 x 128 ... 1 x 1)
// BM_MipChainPeer/... runs the same jobs through stb_image_resize (v0.97,
// triangle filter, reflected edges) from RGBA pixels.
// Depends on: gfx (the library), tests/gfx/memory_surface.h (a surface in
// plain memory, so no device work is timed), stb_image_resize.h.
#define STB_IMAGE_RESIZE_IMPLEMENTATION
#define STBIR_ASSERT(x)  // that version asserts on some triangle downscales
#include <stb/stb_image_resize.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "gfx/gfx.h"
#include "tests/gfx/memory_surface.h"

namespace {

struct Picture {
  UINT width, height;
  std::vector<BYTE> indices;      // P8
  PALETTEENTRY palette[256];
  std::vector<BYTE> rgba;         // the same picture for the peer
};

// A picture with smooth areas and hard edges, like the game's art.
Picture MakePicture(UINT width, UINT height, UINT seed) {
  Picture p{width, height, {}, {}, {}};
  for (int i = 0; i < 256; ++i) {
    p.palette[i] = PALETTEENTRY{BYTE(i * 7 + seed), BYTE(255 - i), BYTE(i * 3), 255};
  }
  p.indices.resize(size_t(width) * height);
  p.rgba.resize(size_t(width) * height * 4);
  for (UINT y = 0; y < height; ++y) {
    for (UINT x = 0; x < width; ++x) {
      BYTE index = ((x / 22 + y / 22 + seed) % 3 == 0) ? BYTE((x + y) & 0xFF) : BYTE((x * y / 97 + seed) & 0xFF);
      p.indices[size_t(y) * width + x] = index;
      BYTE* q = &p.rgba[(size_t(y) * width + x) * 4];
      q[0] = p.palette[index].peRed;
      q[1] = p.palette[index].peGreen;
      q[2] = p.palette[index].peBlue;
      q[3] = 255;
    }
  }
  return p;
}

std::vector<std::pair<UINT, UINT>> Levels(UINT width, UINT height) {
  std::vector<std::pair<UINT, UINT>> levels;
  for (;;) {
    levels.emplace_back(width, height);
    if (width == 1 && height == 1) break;
    width = std::max(1u, width / 2);
    height = std::max(1u, height / 2);
  }
  return levels;
}

struct Job {
  std::vector<Picture> pictures;
  std::vector<std::pair<UINT, UINT>> levels;
};

Job MakeJob(int which) {
  Job job;
  if (which == 2) {
    for (UINT i = 0; i < 6; ++i) job.pictures.push_back(MakePicture(88, 88, i));
    job.levels = Levels(128, 128);
  } else {
    job.pictures.push_back(MakePicture(792, 640, 1));
    job.levels = which == 0 ? Levels(792, 640) : Levels(1024, 1024);
  }
  return job;
}

const char* const kNames[] = {"np2", "pow2", "cells"};

void BM_MipChain(benchmark::State& state, int which) {
  Job job = MakeJob(which);
  std::vector<std::unique_ptr<gfxtest::MemorySurface>> surfaces;
  for (auto [w, h] : job.levels) surfaces.push_back(std::make_unique<gfxtest::MemorySurface>(w, h, D3DFMT_A8R8G8B8, 4));
  const DWORD filter = D3DX_FILTER_TRIANGLE | D3DX_FILTER_MIRROR;
  for (auto _ : state) {
    for (const Picture& p : job.pictures) {
      RECT rect{0, 0, LONG(p.width), LONG(p.height)};
      for (auto& surface : surfaces) {
        HRESULT hr = D3DXLoadSurfaceFromMemory(surface.get(), nullptr, nullptr, p.indices.data(), D3DFMT_P8, p.width,
                                               p.palette, &rect, filter, 0);
        if (FAILED(hr)) state.SkipWithError("level load failed");
      }
    }
    benchmark::ClobberMemory();
  }
}

void BM_MipChainPeer(benchmark::State& state, int which) {
  Job job = MakeJob(which);
  std::vector<std::vector<BYTE>> outputs;
  for (auto [w, h] : job.levels) outputs.emplace_back(size_t(w) * h * 4);
  for (auto _ : state) {
    for (const Picture& p : job.pictures) {
      for (size_t i = 0; i < job.levels.size(); ++i) {
        auto [w, h] = job.levels[i];
        stbir_resize_uint8_generic(p.rgba.data(), int(p.width), int(p.height), int(p.width * 4), outputs[i].data(),
                                   int(w), int(h), int(w * 4), 4, STBIR_ALPHA_CHANNEL_NONE, 0, STBIR_EDGE_REFLECT,
                                   STBIR_FILTER_TRIANGLE, STBIR_COLORSPACE_LINEAR, nullptr);
      }
    }
    benchmark::ClobberMemory();
  }
}

}  // namespace

int main(int argc, char** argv) {
  for (int which = 0; which < 3; ++which) {
    benchmark::RegisterBenchmark((std::string("BM_MipChain/") + kNames[which]).c_str(), BM_MipChain, which)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark((std::string("BM_MipChainPeer/") + kNames[which]).c_str(), BM_MipChainPeer, which)
        ->Unit(benchmark::kMillisecond);
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

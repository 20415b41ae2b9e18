// bench_device — the game's 89-draw frame through the software Direct3D
// device (per capability profile), against the same frame composed by
// SDL2's software renderer and by pixman from the same pictures.
//
//   BM_GameFrame/device               default profile
//   BM_GameFrame/device_pow2          power-of-two textures
//   BM_GameFrame/device_noblend       alpha test instead of blending
//   BM_GameFrame/device_untransformed untransformed vertices, pixel matrix
//   BM_GameFrame/sdl_software         SDL_CreateSoftwareRenderer, BLEND, nearest
//   BM_GameFrame/pixman               PIXMAN_OP_OVER on premultiplied images
//   BM_Sprites/device/N               N blended 88 x 88 sprites at random
//   BM_Sprites/pixman/N               positions (N = 100, 1000, 10000), the
//                                     same pictures and positions both ways
#include <SDL.h>
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cstdio>
#include <memory>

#include "host/headless/headless_host.h"
#include "tools/bench_device/frame_scene.h"

namespace {

using benchdevice::kFrameHeight;
using benchdevice::kFrameWidth;

void DeviceFrameBench(benchmark::State& state, const char* profile) {
  host::HeadlessHost host;
  host::SetCurrent(&host);
  {
    benchdevice::DeviceFrame frame(&host, profile);
    if (!frame.ok()) {
      state.SkipWithError("device set-up failed");
    } else {
      for (auto _ : state) {
        frame.Render();
        benchmark::ClobberMemory();
      }
    }
  }
  host::SetCurrent(nullptr);
}

constexpr uint32_t kSpriteSeed = 2024;

void DeviceSpritesBench(benchmark::State& state) {
  host::HeadlessHost host;
  host::SetCurrent(&host);
  {
    benchdevice::DeviceFrame frame(&host, "default");
    if (!frame.ok()) {
      state.SkipWithError("device set-up failed");
    } else {
      const auto draws = benchdevice::RandomSprites(frame.scene(), static_cast<int>(state.range(0)), kSpriteSeed);
      for (auto _ : state) {
        frame.Render(draws);
        benchmark::ClobberMemory();
      }
      state.SetItemsProcessed(state.iterations() * state.range(0));
    }
  }
  host::SetCurrent(nullptr);
}

void SdlFrameBench(benchmark::State& state) {
  const benchdevice::Scene scene = benchdevice::MakeScene(false);
  SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
  SDL_Surface* target = SDL_CreateRGBSurfaceWithFormat(0, kFrameWidth, kFrameHeight, 32, SDL_PIXELFORMAT_ARGB8888);
  SDL_Renderer* renderer = target ? SDL_CreateSoftwareRenderer(target) : nullptr;
  if (renderer == nullptr) {
    state.SkipWithError(SDL_GetError());
    if (target) SDL_FreeSurface(target);
    return;
  }
  std::vector<SDL_Texture*> textures;
  for (const auto& p : scene.images) {
    SDL_Texture* t =
        SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STATIC, p.width, p.height);
    SDL_UpdateTexture(t, nullptr, p.argb.data(), p.width * 4);
    SDL_SetTextureBlendMode(t, SDL_BLENDMODE_BLEND);
    textures.push_back(t);
  }
  for (auto _ : state) {
    SDL_SetRenderDrawColor(renderer, 255, 255, 255, 255);
    SDL_RenderClear(renderer);
    for (const auto& d : scene.draws) {
      const SDL_Rect src{d.left, d.top, d.right - d.left, d.bottom - d.top};
      const SDL_Rect dst{d.x, d.y, d.right - d.left, d.bottom - d.top};
      SDL_RenderCopy(renderer, textures[d.image], &src, &dst);
    }
    SDL_RenderPresent(renderer);
    benchmark::ClobberMemory();
  }
  for (SDL_Texture* t : textures) SDL_DestroyTexture(t);
  SDL_DestroyRenderer(renderer);
  SDL_FreeSurface(target);
}

// The scene's pictures as premultiplied pixman images over an x8r8g8b8
// frame cleared to white, as the device's frame is.
class PixmanFrame {
 public:
  explicit PixmanFrame(const benchdevice::Scene& scene) : frame_(static_cast<size_t>(kFrameWidth) * kFrameHeight) {
    for (const auto& p : scene.images) {
      std::vector<uint32_t> px(p.argb.size());
      for (size_t i = 0; i < px.size(); ++i) {
        const uint32_t c = p.argb[i], a = c >> 24;
        auto mul = [&](int shift) { return ((((c >> shift) & 0xFF) * a + 127) / 255) << shift; };
        px[i] = (a << 24) | mul(16) | mul(8) | mul(0);
      }
      premultiplied_.push_back(std::move(px));
      images_.push_back(pixman_image_create_bits(PIXMAN_a8r8g8b8, p.width, p.height, premultiplied_.back().data(),
                                                 p.width * 4));
    }
    dst_ = pixman_image_create_bits(PIXMAN_x8r8g8b8, kFrameWidth, kFrameHeight, frame_.data(), kFrameWidth * 4);
  }
  PixmanFrame(const PixmanFrame&) = delete;
  PixmanFrame& operator=(const PixmanFrame&) = delete;
  ~PixmanFrame() {
    pixman_image_unref(dst_);
    for (pixman_image_t* i : images_) pixman_image_unref(i);
  }
  void Render(const std::vector<benchdevice::Draw>& draws) {
    pixman_fill(frame_.data(), kFrameWidth, 32, 0, 0, kFrameWidth, kFrameHeight, 0xFFFFFFFFu);
    for (const auto& d : draws) {
      pixman_image_composite32(PIXMAN_OP_OVER, images_[d.image], nullptr, dst_, d.left, d.top, 0, 0, d.x, d.y,
                               d.right - d.left, d.bottom - d.top);
    }
    benchmark::DoNotOptimize(frame_.data());
  }

 private:
  std::vector<uint32_t> frame_;
  std::vector<std::vector<uint32_t>> premultiplied_;
  std::vector<pixman_image_t*> images_;
  pixman_image_t* dst_ = nullptr;
};

void PixmanFrameBench(benchmark::State& state) {
  const benchdevice::Scene scene = benchdevice::MakeScene(false);
  PixmanFrame frame(scene);
  for (auto _ : state) {
    frame.Render(scene.draws);
    benchmark::ClobberMemory();
  }
}

void PixmanSpritesBench(benchmark::State& state) {
  const benchdevice::Scene scene = benchdevice::MakeScene(false);
  const auto draws = benchdevice::RandomSprites(scene, static_cast<int>(state.range(0)), kSpriteSeed);
  PixmanFrame frame(scene);
  for (auto _ : state) {
    frame.Render(draws);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::RegisterBenchmark("BM_GameFrame/device", DeviceFrameBench, "default")->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("BM_GameFrame/device_pow2", DeviceFrameBench, "pow2")->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("BM_GameFrame/device_noblend", DeviceFrameBench, "noblend")
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("BM_GameFrame/device_untransformed", DeviceFrameBench, "untransformed")
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("BM_GameFrame/sdl_software", SdlFrameBench)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("BM_GameFrame/pixman", PixmanFrameBench)->Unit(benchmark::kMillisecond);
  for (int n : {100, 1000, 10000}) {
    benchmark::RegisterBenchmark("BM_Sprites/device", DeviceSpritesBench)->Arg(n)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_Sprites/pixman", PixmanSpritesBench)->Arg(n)->Unit(benchmark::kMillisecond);
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

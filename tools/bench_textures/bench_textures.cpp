// bench_textures — how long start-up spends turning the twelve bitmaps of
// the asset table into textures and sprites, on a device that keeps their
// sizes ("default") and on one that needs powers of two ("pow2").
//
// The bitmaps are synthetic, with the game's sizes, depths and colour tables,
// registered as resources under the game's numbers; each iteration makes the
// twelve texture and sprite pairs with the game's arguments, then releases
// them (untimed).
#include <benchmark/benchmark.h>
#include <windows.h>
#include <d3d9.h>

#include <string>
#include <vector>

#include "gfx/gfx.h"
#include "gfx/sprite/sprite.h"
#include "host/headless/headless_host.h"
#include "platform/win32/resource_registry.h"
#include "platform/win32/win32_state.h"
#include "tests/gfx/texture_bitmaps.h"

namespace {

LRESULT CALLBACK BenchWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  return DefWindowProcA(hwnd, msg, wp, lp);
}

void BM_AssetTable(benchmark::State& state, const char* profile) {
  host::HeadlessHost host;
  host::SetCurrent(&host);
  host.SetDeviceProfile(profile);
  platform::ResetWin32State();
  platform::ClearResources();
  for (const texture_test::GameBitmap& g : texture_test::kGameBitmaps) {
    const texture_test::Bitmap b = texture_test::MakeBitmap(g.width, g.height, g.bits, false, g.clrUsed);
    platform::RegisterResource(nullptr, MAKEINTRESOURCEA(2), MAKEINTRESOURCEA(g.resource), 0x0411, b.bytes.data(),
                               static_cast<DWORD>(b.bytes.size()));
  }
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = BenchWindowProc;
  wc.lpszClassName = "BENCHTEXTURES";
  RegisterClassExA(&wc);
  HWND window = CreateWindowExA(0, "BENCHTEXTURES", "BENCHTEXTURES", WS_OVERLAPPEDWINDOW, 0, 0, 800, 640, nullptr,
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

  IDirect3DTexture9* textures[12] = {};
  ID3DXSprite* sprites[12] = {};
  for (auto _ : state) {
    for (int i = 0; i < 12; ++i) {
      const texture_test::GameBitmap& g = texture_test::kGameBitmaps[i];
      HRESULT hr = D3DXCreateTextureFromResourceExA(
          device, nullptr, MAKEINTRESOURCEA(g.resource), g.width, g.height, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED,
          D3DX_FILTER_TRIANGLE | D3DX_FILTER_MIRROR, D3DX_FILTER_TRIANGLE | D3DX_FILTER_MIRROR, 0xFF000000, nullptr,
          nullptr, &textures[i]);
      if (SUCCEEDED(hr)) hr = D3DXCreateSprite(device, &sprites[i]);
      if (FAILED(hr)) {
        state.SkipWithError("texture or sprite creation failed");
        break;
      }
    }
    state.PauseTiming();
    for (int i = 0; i < 12; ++i) {
      if (sprites[i]) sprites[i]->Release();
      if (textures[i]) textures[i]->Release();
      sprites[i] = nullptr;
      textures[i] = nullptr;
    }
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * 12);

  device->Release();
  d3d->Release();
  platform::ClearResources();
  platform::ResetWin32State();
  host::SetCurrent(nullptr);
}

BENCHMARK_CAPTURE(BM_AssetTable, default, "default")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_AssetTable, pow2, "pow2")->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

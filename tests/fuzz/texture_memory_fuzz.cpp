// Fuzz target: texture creation from an image held in memory, end to end on
// the headless software device (image recognition, decoding, colour key and
// palette reductions, format choice, level filling and the mip generator).
// The first byte picks the request's options; the rest is the image.
#include <windows.h>
#include <d3d9.h>

#include <cstddef>
#include <cstdint>

#include "gfx/gfx.h"
#include "gfx/load/image_loader.h"
#include "tests/fuzz/fuzz_device.h"


extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  IDirect3DDevice9* device = fuzz_support::Device();
  if (device == nullptr) return 0;
  const uint8_t options = data[0];
  ++data;
  --size;

  // Keep pictures small enough that one input stays cheap.
  gfx::DecodedImage probe;
  probe.loadPixels = false;
  D3DXIMAGE_INFO info{};
  if (FAILED(gfx::LoadImageFromMemory(data, size, &info, &probe))) return 0;
  gfx::ClearDecodedImage(&probe);
  if (info.Width > 512 || info.Height > 512) return 0;

  static const D3DFORMAT kFormats[4] = {D3DFMT_UNKNOWN, D3DFMT_A8R8G8B8, D3DFMT_P8, D3DFMT_X8R8G8B8};
  static const D3DPOOL kPools[4] = {D3DPOOL_MANAGED, D3DPOOL_DEFAULT, D3DPOOL_SYSTEMMEM, D3DPOOL_SCRATCH};
  static const DWORD kFilters[4] = {D3DX_FILTER_TRIANGLE | D3DX_FILTER_MIRROR, D3DX_FILTER_NONE, D3DX_FILTER_BOX,
                                    D3DX_DEFAULT};
  PALETTEENTRY palette[256];
  IDirect3DTexture9* texture = nullptr;
  HRESULT hr = D3DXCreateTextureFromFileInMemoryEx(
      device, data, static_cast<UINT>(size), D3DX_DEFAULT, D3DX_DEFAULT, (options >> 6) & 1 ? 1 : 0, 0,
      kFormats[options & 3], kPools[(options >> 2) & 3], kFilters[(options >> 4) & 3], D3DX_DEFAULT,
      (options & 0x80) ? 0xFF000000 : 0, &info, (options & 0x40) ? palette : nullptr, &texture);
  if (SUCCEEDED(hr) && texture != nullptr) texture->Release();
  return 0;
}

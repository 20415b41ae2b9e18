// Fuzz target: DDS headers through the texture road. The input's first
// byte picks the request's options, the next 124 bytes are the header after
// "DDS " (its size field always 124, so the fields behind it are reached),
// and the rest is the pixel data. Textures made are saved back as DDS and
// the result decoded again.
#include <cstdint>
#include <cstring>
#include <vector>

#include "gfx/gfx.h"
#include "tests/fuzz/fuzz_device.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 + 124) return 0;
  IDirect3DDevice9* device = fuzz_support::Device();
  if (device == nullptr) return 0;
  const uint8_t options = data[0];
  std::vector<BYTE> file(4 + size - 1);
  std::memcpy(file.data(), "DDS ", 4);
  std::memcpy(file.data() + 4, data + 1, size - 1);
  file[4] = 124, file[5] = file[6] = file[7] = 0;

  D3DXIMAGE_INFO info{};
  if (FAILED(D3DXGetImageInfoFromFileInMemory(file.data(), UINT(file.size()), &info))) return 0;
  if (info.Width > 1024 || info.Height > 1024) return 0;
  static const D3DFORMAT kFormats[4] = {D3DFMT_UNKNOWN, D3DFMT_A8R8G8B8, D3DFMT_DXT1, D3DFMT_A16B16G16R16};
  IDirect3DTexture9* texture = nullptr;
  HRESULT hr = D3DXCreateTextureFromFileInMemoryEx(device, file.data(), UINT(file.size()), D3DX_DEFAULT_NONPOW2,
                                                   D3DX_DEFAULT_NONPOW2, (options >> 2) & 1 ? 1 : 0, 0,
                                                   kFormats[options & 3], D3DPOOL_MANAGED,
                                                   (options >> 3) & 1 ? D3DX_FILTER_NONE : D3DX_FILTER_BOX,
                                                   D3DX_DEFAULT, 0, &info, nullptr, &texture);
  if (FAILED(hr) || texture == nullptr) return 0;
  ID3DXBuffer* saved = nullptr;
  if (SUCCEEDED(D3DXSaveTextureToFileInMemory(&saved, D3DXIFF_DDS, texture, nullptr))) {
    D3DXIMAGE_INFO again{};
    if (FAILED(D3DXGetImageInfoFromFileInMemory(saved->GetBufferPointer(), saved->GetBufferSize(), &again))) __builtin_trap();
    saved->Release();
  }
  texture->Release();
  return 0;
}

// Texture creation under injected faults: whichever call fails, the caller's
// slot stays untouched, every object made on the way is released (the
// device's reference count comes back), and a call that survives a fault by
// another road still yields the right pixels.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gfx/gfx.h"
#include "tests/gfx/texture_bitmaps.h"
#include "tests/gfx/texture_device.h"

namespace texture_test {
namespace {

struct FaultCase {
  const char* call;
  D3DPOOL pool;
};

class TextureFaults : public DeviceTest, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(TextureFaults, EveryFailingCallLeavesNothingBehind) {
  StartDevice("default");
  const FaultCase fault = GetParam();
  Bitmap b = MakeBitmap(40, 24, 8, /*keyedPixels=*/true);
  Register(2, 111, b.bytes);
  auto create = [&](IDirect3DTexture9** texture) {
    return D3DXCreateTextureFromResourceExA(device_, nullptr, MAKEINTRESOURCEA(111), 40, 24, 0, 0, D3DFMT_A8R8G8B8,
                                            fault.pool, kGameFilter, kGameFilter, 0xFF000000, nullptr, nullptr,
                                            texture);
  };
  const ULONG refs = DeviceRefs();

  // How often one clean call asks for the operation.
  int before = host_.CallCount(fault.call);
  IDirect3DTexture9* texture = nullptr;
  ASSERT_EQ(create(&texture), S_OK);
  texture->Release();
  const int calls = host_.CallCount(fault.call) - before;
  ASSERT_GT(calls, 0) << fault.call << " is never asked for";

  int failures = 0;
  for (int k = 0; k < calls; ++k) {
    host_.FailAt(fault.call, host_.CallCount(fault.call) + k + 1);
    IDirect3DTexture9* sentinel = reinterpret_cast<IDirect3DTexture9*>(0x5150);
    texture = sentinel;
    const HRESULT hr = create(&texture);
    if (FAILED(hr)) {
      ++failures;
      EXPECT_EQ(texture, sentinel) << fault.call << " #" << k + 1;
    } else if (fault.pool == D3DPOOL_MANAGED) {
      // Survived (the level loader works on a copy when a lock fails).
      std::vector<uint32_t> top;
      UINT w = 0, h = 0;
      ASSERT_TRUE(ReadLevel(texture, 0, &top, &w, &h));
      int mismatches = 0;
      for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 40; ++x) mismatches += top[size_t(y) * 40 + x] != b.KeyedArgbAt(x, y);
      EXPECT_EQ(mismatches, 0) << fault.call << " #" << k + 1;
      texture->Release();
    } else {
      texture->Release();
    }
    EXPECT_EQ(DeviceRefs(), refs) << fault.call << " #" << k + 1;
  }
  // Nothing stands in for a texture that cannot be made. (An allocation of
  // a resampling strategy may fail and let the next strategy do the job.)
  if (std::string(fault.call) == "IDirect3DDevice9.CreateTexture") {
    EXPECT_EQ(failures, calls);
    EXPECT_NE(host_.DebugText().find("D3DX: Failed trying to create texture"), std::string::npos);
  }
}

INSTANTIATE_TEST_SUITE_P(Calls, TextureFaults,
                         ::testing::Values(FaultCase{"IDirect3DDevice9.CreateTexture", D3DPOOL_MANAGED},
                                           FaultCase{"IDirect3DDevice9.CreateTexture", D3DPOOL_DEFAULT},
                                           FaultCase{"alloc", D3DPOOL_MANAGED},
                                           FaultCase{"IDirect3DSurface9.LockRect", D3DPOOL_MANAGED},
                                           FaultCase{"IDirect3DSurface9.LockRect", D3DPOOL_DEFAULT}));

}  // namespace
}  // namespace texture_test

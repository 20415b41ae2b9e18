// texture_device.h — a headless host, a window and a software Direct3D 9
// device on a chosen capability profile, for the texture and sprite tests.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>
#include <d3d9.h>

#include <optional>
#include <string>
#include <vector>

#include "host/headless/headless_host.h"
#include "gfx/formats/frame_png.h"
#include "gfx/gfx.h"
#include "platform/win32/resource_registry.h"
#include "platform/win32/win32_state.h"
#include "tests/gfx/host_allocation_faults.h"
#include "tools/headless_device/headless_device.h"

namespace texture_test {

// The filter the game loads its pictures with.
inline constexpr DWORD kGameFilter = D3DX_FILTER_TRIANGLE | D3DX_FILTER_MIRROR;  // 0x70004

class DeviceTest : public ::testing::Test {
 protected:
  // Brings up host, window and device; a failure ends the test.
  void StartDevice(const std::string& profile) {
    host::SetCurrent(&host_);
    host_.SetDeviceProfile(profile);
    platform::ResetWin32State();
    headless_.emplace(&host_);
    ASSERT_EQ(headless_->Result(), S_OK);
    window_ = headless_->Window();
    d3d_ = headless_->Direct3D();
    device_ = headless_->Device();
  }

  void TearDown() override {
    headless_.reset();
    device_ = nullptr;
    d3d_ = nullptr;
    platform::ClearResources();
    platform::ResetWin32State();
    host::SetCurrent(nullptr);
  }

  // The device's reference count, read without changing it.
  ULONG DeviceRefs() {
    device_->AddRef();
    return device_->Release();
  }

  void Register(WORD type, WORD number, const std::vector<BYTE>& bytes) {
    platform::RegisterResource(nullptr, MAKEINTRESOURCEA(type), MAKEINTRESOURCEA(number), 0x0411, bytes.data(),
                               static_cast<DWORD>(bytes.size()));
  }

  // Where test pictures go: beside the test binary.
  static std::string OutputPath(const std::string& name) { return name; }

  host::HeadlessHost host_;
  HostAllocationFaults allocationFaults_;
  std::optional<headless::HeadlessDevice> headless_;
  HWND window_ = nullptr;
  IDirect3D9* d3d_ = nullptr;
  IDirect3DDevice9* device_ = nullptr;
};

// Reads one level of a texture as rows of A8R8G8B8 (or any 32-bit) pixels.
inline bool ReadLevel(IDirect3DTexture9* texture, UINT level, std::vector<uint32_t>* out, UINT* width,
                      UINT* height) {
  D3DSURFACE_DESC desc{};
  if (FAILED(texture->GetLevelDesc(level, &desc))) return false;
  D3DLOCKED_RECT locked{};
  if (FAILED(texture->LockRect(level, &locked, nullptr, D3DLOCK_READONLY))) return false;
  out->assign(size_t(desc.Width) * desc.Height, 0);
  for (UINT y = 0; y < desc.Height; ++y)
    std::memcpy(out->data() + size_t(y) * desc.Width, static_cast<const BYTE*>(locked.pBits) + size_t(y) * locked.Pitch,
                size_t(desc.Width) * 4);
  texture->UnlockRect(level);
  *width = desc.Width;
  *height = desc.Height;
  return true;
}

}  // namespace texture_test

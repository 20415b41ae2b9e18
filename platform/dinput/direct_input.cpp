// direct_input.cpp — DirectInput 8: the system keyboard, immediate mode.
//
// Provides: DirectInput8Create, IDirectInput8A (CreateDevice for
// GUID_SysKeyboard), IDirectInputDevice8A (SetDataFormat,
// SetCooperativeLevel, Acquire, Unacquire, GetDeviceState, GetCapabilities,
// Poll), the GUIDs and c_dfDIKeyboard.
// Depends on: the host's keyboard state (global where the display allows,
// so a background device sees keys while another window is in front; the
// keys are only read, never taken from other programs), IsWindow.
//
// Methods for effects, action maps, buffered data, enumeration and control
// panels answer DIERR_UNSUPPORTED: the program uses none of them.
//
// Fault-injection names: "DirectInput8Create" (DIERR_OUTOFMEMORY),
// "IDirectInput8.CreateDevice" (DIERR_DEVICENOTREG),
// "IDirectInputDevice8.SetDataFormat" (DIERR_INVALIDPARAM),
// "IDirectInputDevice8.SetCooperativeLevel" (E_HANDLE),
// "IDirectInputDevice8.Acquire" (DIERR_OTHERAPPHASPRIO),
// "IDirectInputDevice8.GetDeviceState" (DIERR_INPUTLOST; the device is then
// no longer acquired, as after a real loss).
#include <com_object.h>
#include <dinput.h>

#include <atomic>
#include <cstring>
#include <new>
#include <vector>

#include "host/host.h"
#include "platform/win32/host_keys.h"

extern "C" {
const GUID IID_IDirectInput8A = {0xBF798030, 0x483A, 0x4DA2, {0xAA, 0x99, 0x5D, 0x64, 0xED, 0x36, 0x97, 0x00}};
const GUID IID_IDirectInputDevice8A = {0x54D41080, 0xDC15, 0x4833, {0xA4, 0x1B, 0x74, 0x8F, 0x73, 0xA3, 0x81, 0x79}};
const GUID GUID_SysKeyboard = {0x6F1D2B61, 0xD5A0, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID GUID_SysMouse = {0x6F1D2B60, 0xD5A0, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID GUID_Key = {0x55728220, 0xD33C, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
}

namespace {

constexpr int kKeys = 256;

// The predefined keyboard format: 256 optional one-byte buttons of type
// GUID_Key, key n at offset n.
struct KeyboardObjects {
  DIOBJECTDATAFORMAT objects[kKeys];
  KeyboardObjects() {
    for (int n = 0; n < kKeys; ++n) {
      objects[n] = DIOBJECTDATAFORMAT{&GUID_Key, static_cast<DWORD>(n),
                                      DIDFT_OPTIONAL | DIDFT_BUTTON | DIDFT_MAKEINSTANCE(n), 0};
    }
  }
};
KeyboardObjects g_keyboardObjects;

}  // namespace

extern "C" const DIDATAFORMAT c_dfDIKeyboard = {sizeof(DIDATAFORMAT), sizeof(DIOBJECTDATAFORMAT), DIDF_RELAXIS, kKeys,
                                                kKeys, g_keyboardObjects.objects};

namespace platform {
namespace {

class DirectInput;

class KeyboardDevice final : public ComObject<IDirectInputDevice8A, IID_IDirectInputDevice8A> {
 public:
  explicit KeyboardDevice(DirectInput* parent);


  HRESULT STDMETHODCALLTYPE GetCapabilities(LPDIDEVCAPS caps) override {
    if (caps == nullptr || caps->dwSize != sizeof(DIDEVCAPS)) return DIERR_INVALIDPARAM;
    std::memset(caps, 0, sizeof *caps);
    caps->dwSize = sizeof(DIDEVCAPS);
    caps->dwFlags = DIDC_ATTACHED;
    caps->dwDevType = DI8DEVTYPE_KEYBOARD | (DI8DEVTYPEKEYBOARD_PCENH << 8);
    caps->dwButtons = 128;
    return DI_OK;
  }
  HRESULT STDMETHODCALLTYPE EnumObjects(LPDIENUMDEVICEOBJECTSCALLBACKA, LPVOID, DWORD) override {
    return DIERR_UNSUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE GetProperty(REFGUID, LPDIPROPHEADER) override { return DIERR_UNSUPPORTED; }
  HRESULT STDMETHODCALLTYPE SetProperty(REFGUID, LPCDIPROPHEADER) override { return DIERR_UNSUPPORTED; }

  HRESULT STDMETHODCALLTYPE Acquire() override {
    if (!formatSet_) return DIERR_INVALIDPARAM;  // no data format yet
    if (acquired_) return S_FALSE;
    if (host::ShouldFail("IDirectInputDevice8.Acquire")) return DIERR_OTHERAPPHASPRIO;
    acquired_ = true;
    return DI_OK;
  }
  HRESULT STDMETHODCALLTYPE Unacquire() override {
    if (!acquired_) return DI_NOEFFECT;
    acquired_ = false;
    return DI_OK;
  }

  HRESULT STDMETHODCALLTYPE GetDeviceState(DWORD cbData, LPVOID lpvData) override {
    if (lpvData == nullptr || cbData != dataSize_ || !formatSet_) return DIERR_INVALIDPARAM;
    if (!acquired_) return DIERR_NOTACQUIRED;
    if (host::ShouldFail("IDirectInputDevice8.GetDeviceState")) {
      acquired_ = false;
      return DIERR_INPUTLOST;
    }
    uint8_t hostKeys[host::kKeyCount] = {};
    if (host::Host* h = host::Current()) h->KeyboardState(hostKeys);
    uint8_t keys[kKeys];
    platform::DikStateFromHostState(hostKeys, keys);
    auto* out = static_cast<uint8_t*>(lpvData);
    std::memset(out, 0, cbData);
    for (int key = 0; key < kKeys; ++key) {
      if (offsets_[key] >= 0) out[offsets_[key]] = (keys[key] & 0x80) ? 0x80 : 0;
    }
    return DI_OK;
  }

  HRESULT STDMETHODCALLTYPE GetDeviceData(DWORD, LPDIDEVICEOBJECTDATA, LPDWORD, DWORD) override {
    return DIERR_NOTBUFFERED;  // no buffer size was ever set
  }

  HRESULT STDMETHODCALLTYPE SetDataFormat(LPCDIDATAFORMAT df) override {
    if (acquired_) return DIERR_ACQUIRED;
    if (df == nullptr || df->dwSize != sizeof(DIDATAFORMAT) || df->dwObjSize != sizeof(DIOBJECTDATAFORMAT) ||
        df->dwDataSize == 0 || df->dwDataSize % 4 != 0 || df->dwDataSize > 0x10000 ||
        (df->dwNumObjs != 0 && df->rgodf == nullptr) || df->dwNumObjs > 0x10000) {
      return DIERR_INVALIDPARAM;
    }
    if (host::ShouldFail("IDirectInputDevice8.SetDataFormat")) return DIERR_INVALIDPARAM;
    // Each object names a key (by instance, or the next free one) and the
    // byte where its state goes.
    int offsets[kKeys];
    std::fill(offsets, offsets + kKeys, -1);
    std::vector<bool> used(df->dwDataSize, false);
    int nextAny = 0;
    for (DWORD i = 0; i < df->dwNumObjs; ++i) {
      const DIOBJECTDATAFORMAT& o = df->rgodf[i];
      if (o.pguid != nullptr && *o.pguid != GUID_Key) {
        if (o.dwType & DIDFT_OPTIONAL) continue;
        return DIERR_INVALIDPARAM;  // a keyboard has nothing but keys
      }
      if ((o.dwType & DIDFT_BUTTON) == 0 && (o.dwType & 0xFF) != DIDFT_ALL) {
        if (o.dwType & DIDFT_OPTIONAL) continue;
        return DIERR_INVALIDPARAM;
      }
      if (o.dwOfs >= df->dwDataSize || used[o.dwOfs]) return DIERR_INVALIDPARAM;
      int key;
      if ((o.dwType & DIDFT_INSTANCEMASK) == DIDFT_ANYINSTANCE) {
        while (nextAny < kKeys && offsets[nextAny] >= 0) ++nextAny;
        if (nextAny >= kKeys) return DIERR_INVALIDPARAM;
        key = nextAny;
      } else {
        key = DIDFT_GETINSTANCE(o.dwType);
        if (key >= kKeys || offsets[key] >= 0) {
          if (o.dwType & DIDFT_OPTIONAL) continue;
          return DIERR_INVALIDPARAM;
        }
      }
      offsets[key] = static_cast<int>(o.dwOfs);
      used[o.dwOfs] = true;
    }
    std::copy(offsets, offsets + kKeys, offsets_);
    dataSize_ = df->dwDataSize;
    formatSet_ = true;
    return DI_OK;
  }

  HRESULT STDMETHODCALLTYPE SetEventNotification(HANDLE) override { return DIERR_UNSUPPORTED; }

  HRESULT STDMETHODCALLTYPE SetCooperativeLevel(HWND hwnd, DWORD flags) override {
    if (acquired_) return DIERR_ACQUIRED;
    bool exclusive = flags & DISCL_EXCLUSIVE, nonexclusive = flags & DISCL_NONEXCLUSIVE;
    bool foreground = flags & DISCL_FOREGROUND, background = flags & DISCL_BACKGROUND;
    if (exclusive == nonexclusive || foreground == background ||
        (flags & ~static_cast<DWORD>(0x1F)) != 0) {
      return DIERR_INVALIDPARAM;
    }
    // Only a non-exclusive device may listen in the background: an exclusive
    // background keyboard would take the keys from every other program.
    if (exclusive && background) return DIERR_UNSUPPORTED;
    if (hwnd == nullptr || !IsWindow(hwnd)) return E_HANDLE;
    if (host::ShouldFail("IDirectInputDevice8.SetCooperativeLevel")) return E_HANDLE;
    window_ = hwnd;
    level_ = flags;
    return DI_OK;
  }

  HRESULT STDMETHODCALLTYPE GetObjectInfo(LPDIDEVICEOBJECTINSTANCEA, DWORD, DWORD) override {
    return DIERR_UNSUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE GetDeviceInfo(LPDIDEVICEINSTANCEA) override { return DIERR_UNSUPPORTED; }
  HRESULT STDMETHODCALLTYPE RunControlPanel(HWND, DWORD) override { return DIERR_UNSUPPORTED; }
  HRESULT STDMETHODCALLTYPE Initialize(HINSTANCE, DWORD, REFGUID rguid) override {
    return rguid == GUID_SysKeyboard ? S_FALSE : DIERR_DEVICENOTREG;  // already initialised
  }
  HRESULT STDMETHODCALLTYPE CreateEffect(REFGUID, LPCDIEFFECT, LPDIRECTINPUTEFFECT* out, LPUNKNOWN) override {
    if (out) *out = nullptr;
    return DIERR_UNSUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE EnumEffects(LPDIENUMEFFECTSCALLBACKA, LPVOID, DWORD) override { return DI_OK; }
  HRESULT STDMETHODCALLTYPE GetEffectInfo(LPDIEFFECTINFOA, REFGUID) override { return DIERR_UNSUPPORTED; }
  HRESULT STDMETHODCALLTYPE GetForceFeedbackState(LPDWORD) override { return DIERR_UNSUPPORTED; }
  HRESULT STDMETHODCALLTYPE SendForceFeedbackCommand(DWORD) override { return DIERR_UNSUPPORTED; }
  HRESULT STDMETHODCALLTYPE EnumCreatedEffectObjects(LPDIENUMCREATEDEFFECTOBJECTSCALLBACK, LPVOID, DWORD) override {
    return DI_OK;  // there are none
  }
  HRESULT STDMETHODCALLTYPE Escape(LPDIEFFESCAPE) override { return DIERR_UNSUPPORTED; }
  HRESULT STDMETHODCALLTYPE Poll() override {
    if (!acquired_) return DIERR_NOTACQUIRED;
    return DI_NOEFFECT;  // the keyboard is not a polled device
  }
  HRESULT STDMETHODCALLTYPE SendDeviceData(DWORD, LPCDIDEVICEOBJECTDATA, LPDWORD, DWORD) override {
    return DIERR_UNSUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE EnumEffectsInFile(LPCSTR, LPDIENUMEFFECTSINFILECALLBACK, LPVOID, DWORD) override {
    return DIERR_UNSUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE WriteEffectToFile(LPCSTR, DWORD, LPCDIFILEEFFECT, DWORD) override {
    return DIERR_UNSUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE BuildActionMap(LPDIACTIONFORMATA, LPCSTR, DWORD) override { return DIERR_UNSUPPORTED; }
  HRESULT STDMETHODCALLTYPE SetActionMap(LPDIACTIONFORMATA, LPCSTR, DWORD) override { return DIERR_UNSUPPORTED; }
  HRESULT STDMETHODCALLTYPE GetImageInfo(LPDIDEVICEIMAGEINFOHEADERA) override { return DIERR_UNSUPPORTED; }

 private:
  ~KeyboardDevice() override;

  DirectInput* parent_;
  bool formatSet_ = false;
  bool acquired_ = false;
  DWORD dataSize_ = 0;
  int offsets_[kKeys] = {};
  HWND window_ = nullptr;
  DWORD level_ = 0;
};

class DirectInput final : public ComObject<IDirectInput8A, IID_IDirectInput8A> {
 public:

  HRESULT STDMETHODCALLTYPE CreateDevice(REFGUID rguid, LPDIRECTINPUTDEVICE8A* out, LPUNKNOWN outer) override {
    if (out == nullptr) return DIERR_INVALIDPARAM;
    *out = nullptr;
    if (outer != nullptr) return DIERR_NOAGGREGATION;
    if (rguid != GUID_SysKeyboard) return DIERR_DEVICENOTREG;  // the keyboard is the only device
    if (host::ShouldFail("IDirectInput8.CreateDevice")) return DIERR_DEVICENOTREG;
    auto* device = new (std::nothrow) KeyboardDevice(this);
    if (device == nullptr) return DIERR_OUTOFMEMORY;
    *out = device;
    return DI_OK;
  }
  HRESULT STDMETHODCALLTYPE EnumDevices(DWORD, LPDIENUMDEVICESCALLBACKA, LPVOID, DWORD) override {
    return DIERR_UNSUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE GetDeviceStatus(REFGUID rguid) override {
    return rguid == GUID_SysKeyboard ? DI_OK : DIERR_DEVICENOTREG;
  }
  HRESULT STDMETHODCALLTYPE RunControlPanel(HWND, DWORD) override { return DIERR_UNSUPPORTED; }
  HRESULT STDMETHODCALLTYPE Initialize(HINSTANCE hinst, DWORD version) override {
    if (hinst == nullptr) return DIERR_INVALIDPARAM;
    if (version < 0x0800) return DIERR_OLDDIRECTINPUTVERSION;
    if (version > 0x0800) return DIERR_BETADIRECTINPUTVERSION;
    return DI_OK;
  }
  HRESULT STDMETHODCALLTYPE FindDevice(REFGUID, LPCSTR, LPGUID) override { return DIERR_UNSUPPORTED; }
  HRESULT STDMETHODCALLTYPE EnumDevicesBySemantics(LPCSTR, LPDIACTIONFORMATA, LPDIENUMDEVICESBYSEMANTICSCBA, LPVOID,
                                                   DWORD) override {
    return DIERR_UNSUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE ConfigureDevices(LPDICONFIGUREDEVICESCALLBACK, LPDICONFIGUREDEVICESPARAMSA, DWORD,
                                             LPVOID) override {
    return DIERR_UNSUPPORTED;
  }

 private:
  ~DirectInput() override = default;
};

// A device keeps its DirectInput object alive.
KeyboardDevice::KeyboardDevice(DirectInput* parent) : parent_(parent) {
  parent_->AddRef();
  std::fill(offsets_, offsets_ + kKeys, -1);
}

KeyboardDevice::~KeyboardDevice() { parent_->Release(); }


}  // namespace
}  // namespace platform

extern "C" HRESULT WINAPI DirectInput8Create(HINSTANCE hinst, DWORD dwVersion, REFIID riidltf, LPVOID* ppvOut,
                                             LPUNKNOWN punkOuter) {
  if (ppvOut == nullptr) return DIERR_INVALIDPARAM;
  *ppvOut = nullptr;
  if (punkOuter != nullptr) return DIERR_NOAGGREGATION;
  if (hinst == nullptr) return DIERR_INVALIDPARAM;
  if (dwVersion < 0x0800) return DIERR_OLDDIRECTINPUTVERSION;
  if (dwVersion > 0x0800) return DIERR_BETADIRECTINPUTVERSION;
  if (riidltf != IID_IDirectInput8A && riidltf != IID_IUnknown) return DIERR_NOINTERFACE;
  if (host::ShouldFail("DirectInput8Create")) return DIERR_OUTOFMEMORY;
  auto* di = new (std::nothrow) platform::DirectInput();
  if (di == nullptr) return DIERR_OUTOFMEMORY;
  *ppvOut = static_cast<IDirectInput8A*>(di);
  return DI_OK;
}

// DirectInput keyboard: creation arguments and their result codes, the
// game's set-up sequence, acquire codes, the key state by DirectInput code
// (arrows and keypad arrows apart), custom data formats, fault injection.
#include <dinput.h>
#include <gtest/gtest.h>

#include "host/headless/headless_host.h"
#include "platform/win32/win32_state.h"

namespace {

class KeyboardDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host::SetCurrent(&host_);
    platform::ResetWin32State();
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = "VELMORA";
    RegisterClassExA(&wc);
    window_ = CreateWindowExA(0, "VELMORA", "VELMORA", WS_OVERLAPPEDWINDOW, 0, 0, 800, 640, nullptr, nullptr,
                              nullptr, nullptr);
    ASSERT_NE(window_, nullptr);
  }
  void TearDown() override {
    if (device_) device_->Release();
    if (input_) input_->Release();
    platform::ResetWin32State();
    host::SetCurrent(nullptr);
  }

  // The game's sequence, stopping at the first failure.
  HRESULT InitKeyboard() {
    HRESULT hr = DirectInput8Create(GetModuleHandleA(nullptr), DIRECTINPUT_VERSION, IID_IDirectInput8A,
                                    reinterpret_cast<void**>(&input_), nullptr);
    if (FAILED(hr)) return hr;
    hr = input_->CreateDevice(GUID_SysKeyboard, &device_, nullptr);
    if (FAILED(hr)) return hr;
    hr = device_->SetDataFormat(&c_dfDIKeyboard);
    if (FAILED(hr)) return hr;
    hr = device_->SetCooperativeLevel(window_, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND);
    if (FAILED(hr)) return hr;
    device_->Acquire();
    return 0;
  }

  host::HeadlessHost host_;
  HWND window_ = nullptr;
  IDirectInput8A* input_ = nullptr;
  IDirectInputDevice8A* device_ = nullptr;
};

TEST_F(KeyboardDeviceTest, GameSequenceSucceedsAndAcquireReportsAlreadyAcquired) {
  ASSERT_EQ(InitKeyboard(), 0);
  EXPECT_EQ(device_->Acquire(), S_FALSE);  // already acquired
  EXPECT_EQ(device_->Unacquire(), DI_OK);
  EXPECT_EQ(device_->Unacquire(), DI_NOEFFECT);
  EXPECT_EQ(device_->Acquire(), DI_OK);
  DIDEVCAPS caps{};
  caps.dwSize = sizeof caps;
  EXPECT_EQ(device_->GetCapabilities(&caps), DI_OK);
  EXPECT_EQ(caps.dwDevType & 0xFF, static_cast<DWORD>(DI8DEVTYPE_KEYBOARD));
}

TEST_F(KeyboardDeviceTest, KeyboardFormatIsTheDocumentedOne) {
  EXPECT_EQ(c_dfDIKeyboard.dwDataSize, 256u);
  EXPECT_EQ(c_dfDIKeyboard.dwNumObjs, 256u);
  EXPECT_EQ(c_dfDIKeyboard.dwSize, sizeof(DIDATAFORMAT));
  for (DWORD n = 0; n < 256; ++n) {
    const DIOBJECTDATAFORMAT& o = c_dfDIKeyboard.rgodf[n];
    ASSERT_EQ(*o.pguid, GUID_Key);
    ASSERT_EQ(o.dwOfs, n);
    ASSERT_EQ(o.dwType, DIDFT_OPTIONAL | DIDFT_BUTTON | DIDFT_MAKEINSTANCE(n));
  }
  // The identifiers the game names.
  EXPECT_EQ(IID_IDirectInput8A.Data1, 0xBF798030u);
  EXPECT_EQ(GUID_SysKeyboard.Data1, 0x6F1D2B61u);
}

TEST_F(KeyboardDeviceTest, StateIsIndexedByDirectInputCodeWithKeypadArrowsApart) {
  ASSERT_EQ(InitKeyboard(), 0);
  host_.ScheduleKeyState(0, host::Key::Left, true);
  host_.ScheduleKeyState(0, host::Key::Keypad8, true);
  host_.AdvanceTo(1);
  uint8_t keys[256];
  ASSERT_EQ(device_->GetDeviceState(sizeof keys, keys), DI_OK);
  EXPECT_EQ(keys[DIK_LEFT], 0x80);
  EXPECT_EQ(keys[0xCB], 0x80);
  EXPECT_EQ(keys[DIK_NUMPAD8], 0x80);
  EXPECT_EQ(keys[DIK_UP], 0);  // the keypad's up arrow is not the arrow key
  EXPECT_EQ(keys[DIK_NUMPAD4], 0);
  int held = 0;
  for (uint8_t k : keys) held += k != 0;
  EXPECT_EQ(held, 2);
  // A key pressed and released between two reads leaves no trace.
  host_.ScheduleKeyState(10, host::Key::Right, true);
  host_.ScheduleKeyState(20, host::Key::Right, false);
  host_.AdvanceTo(30);
  ASSERT_EQ(device_->GetDeviceState(sizeof keys, keys), DI_OK);
  EXPECT_EQ(keys[DIK_RIGHT], 0);
  // Keys typed into the window count too (the device listens in the background either way).
  host_.ScheduleKey(40, host::Key::Down, true);
  host_.AdvanceTo(40);
  ASSERT_EQ(device_->GetDeviceState(sizeof keys, keys), DI_OK);
  EXPECT_EQ(keys[DIK_DOWN], 0x80);
}

TEST_F(KeyboardDeviceTest, StateNeedsAcquisitionAndTheRightSize) {
  ASSERT_EQ(InitKeyboard(), 0);
  uint8_t keys[256];
  EXPECT_EQ(device_->GetDeviceState(255, keys), DIERR_INVALIDPARAM);
  EXPECT_EQ(device_->GetDeviceState(256, nullptr), DIERR_INVALIDPARAM);
  device_->Unacquire();
  EXPECT_EQ(device_->GetDeviceState(256, keys), DIERR_NOTACQUIRED);
  // Settings change only while unacquired.
  EXPECT_EQ(device_->SetDataFormat(&c_dfDIKeyboard), DI_OK);
  device_->Acquire();
  EXPECT_EQ(device_->SetDataFormat(&c_dfDIKeyboard), DIERR_ACQUIRED);
  EXPECT_EQ(device_->SetCooperativeLevel(window_, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND), DIERR_ACQUIRED);
}

TEST_F(KeyboardDeviceTest, CreationArgumentsAreChecked) {
  void* out = reinterpret_cast<void*>(0x1);
  HMODULE self = GetModuleHandleA(nullptr);
  EXPECT_EQ(DirectInput8Create(nullptr, 0x0800, IID_IDirectInput8A, &out, nullptr), DIERR_INVALIDPARAM);
  EXPECT_EQ(out, nullptr);  // cleared on failure
  EXPECT_EQ(DirectInput8Create(self, 0x0700, IID_IDirectInput8A, &out, nullptr), DIERR_OLDDIRECTINPUTVERSION);
  EXPECT_EQ(DirectInput8Create(self, 0x0900, IID_IDirectInput8A, &out, nullptr), DIERR_BETADIRECTINPUTVERSION);
  EXPECT_EQ(DirectInput8Create(self, 0x0800, GUID_SysKeyboard, &out, nullptr), DIERR_NOINTERFACE);
  EXPECT_EQ(DirectInput8Create(self, 0x0800, IID_IDirectInput8A, nullptr, nullptr), DIERR_INVALIDPARAM);
  IUnknown* outer = reinterpret_cast<IUnknown*>(0x10);
  EXPECT_EQ(DirectInput8Create(self, 0x0800, IID_IDirectInput8A, &out, outer), DIERR_NOAGGREGATION);

  ASSERT_EQ(DirectInput8Create(self, 0x0800, IID_IDirectInput8A, reinterpret_cast<void**>(&input_), nullptr), DI_OK);
  EXPECT_EQ(input_->CreateDevice(GUID_SysMouse, &device_, nullptr), DIERR_DEVICENOTREG);
  EXPECT_EQ(device_, nullptr);
  EXPECT_EQ(input_->CreateDevice(GUID_SysKeyboard, nullptr, nullptr), DIERR_INVALIDPARAM);
  ASSERT_EQ(input_->CreateDevice(GUID_SysKeyboard, &device_, nullptr), DI_OK);
  // Acquire needs a data format first.
  EXPECT_EQ(device_->Acquire(), DIERR_INVALIDPARAM);
}

TEST_F(KeyboardDeviceTest, CooperativeLevelsAreChecked) {
  ASSERT_EQ(DirectInput8Create(GetModuleHandleA(nullptr), 0x0800, IID_IDirectInput8A,
                               reinterpret_cast<void**>(&input_), nullptr),
            DI_OK);
  ASSERT_EQ(input_->CreateDevice(GUID_SysKeyboard, &device_, nullptr), DI_OK);
  EXPECT_EQ(device_->SetCooperativeLevel(window_, DISCL_NONEXCLUSIVE), DIERR_INVALIDPARAM);
  EXPECT_EQ(device_->SetCooperativeLevel(window_, DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE | DISCL_BACKGROUND),
            DIERR_INVALIDPARAM);
  EXPECT_EQ(device_->SetCooperativeLevel(window_, DISCL_EXCLUSIVE | DISCL_BACKGROUND), DIERR_UNSUPPORTED);
  EXPECT_EQ(device_->SetCooperativeLevel(nullptr, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND), E_HANDLE);
  EXPECT_EQ(device_->SetCooperativeLevel(reinterpret_cast<HWND>(0x4444), DISCL_NONEXCLUSIVE | DISCL_BACKGROUND),
            E_HANDLE);
  EXPECT_EQ(device_->SetCooperativeLevel(window_, 0x0A), DI_OK);
  EXPECT_EQ(device_->SetCooperativeLevel(window_, DISCL_EXCLUSIVE | DISCL_FOREGROUND), DI_OK);
}

TEST_F(KeyboardDeviceTest, CustomFormatPutsChosenKeysAtChosenOffsets) {
  ASSERT_EQ(InitKeyboard(), 0);
  device_->Unacquire();
  DIOBJECTDATAFORMAT objs[2] = {{&GUID_Key, 0, DIDFT_BUTTON | DIDFT_MAKEINSTANCE(DIK_LEFT), 0},
                                {&GUID_Key, 1, DIDFT_BUTTON | DIDFT_MAKEINSTANCE(DIK_SPACE), 0}};
  DIDATAFORMAT df = {sizeof(DIDATAFORMAT), sizeof(DIOBJECTDATAFORMAT), 0, 4, 2, objs};
  ASSERT_EQ(device_->SetDataFormat(&df), DI_OK);
  ASSERT_EQ(device_->Acquire(), DI_OK);
  host_.ScheduleKeyState(0, host::Key::Space, true);
  host_.AdvanceTo(1);
  uint8_t state[4] = {9, 9, 9, 9};
  ASSERT_EQ(device_->GetDeviceState(4, state), DI_OK);
  EXPECT_EQ(state[0], 0);
  EXPECT_EQ(state[1], 0x80);
  EXPECT_EQ(state[2], 0);
  device_->Unacquire();
  // Two objects at one offset, or an offset past the data, are refused.
  objs[1].dwOfs = 0;
  EXPECT_EQ(device_->SetDataFormat(&df), DIERR_INVALIDPARAM);
  objs[1].dwOfs = 4;
  EXPECT_EQ(device_->SetDataFormat(&df), DIERR_INVALIDPARAM);
  df.dwSize = 4;
  EXPECT_EQ(device_->SetDataFormat(&df), DIERR_INVALIDPARAM);
  EXPECT_EQ(device_->SetDataFormat(nullptr), DIERR_INVALIDPARAM);
}

TEST_F(KeyboardDeviceTest, EachSetUpCallCanBeMadeToFail) {
  const char* calls[] = {"DirectInput8Create", "IDirectInput8.CreateDevice", "IDirectInputDevice8.SetDataFormat",
                         "IDirectInputDevice8.SetCooperativeLevel"};
  const HRESULT codes[] = {DIERR_OUTOFMEMORY, DIERR_DEVICENOTREG, DIERR_INVALIDPARAM, E_HANDLE};
  for (int i = 0; i < 4; ++i) {
    if (device_) device_->Release();
    if (input_) input_->Release();
    device_ = nullptr;
    input_ = nullptr;
    host_.FailAt(calls[i], host_.CallCount(calls[i]) + 1);
    EXPECT_EQ(InitKeyboard(), codes[i]) << calls[i];
    EXPECT_TRUE(FAILED(codes[i]));
  }
  // Everything works again afterwards.
  if (device_) device_->Release();
  if (input_) input_->Release();
  device_ = nullptr;
  input_ = nullptr;
  EXPECT_EQ(InitKeyboard(), 0);
}

TEST_F(KeyboardDeviceTest, FailedAcquireOrLostStateSkipsTheRead) {
  ASSERT_EQ(InitKeyboard(), 0);
  device_->Unacquire();
  host_.FailAt("IDirectInputDevice8.Acquire", host_.CallCount("IDirectInputDevice8.Acquire") + 1);
  EXPECT_EQ(device_->Acquire(), DIERR_OTHERAPPHASPRIO);
  EXPECT_EQ(device_->Acquire(), DI_OK);
  uint8_t keys[256];
  host_.FailAt("IDirectInputDevice8.GetDeviceState", 1);
  EXPECT_EQ(device_->GetDeviceState(256, keys), DIERR_INPUTLOST);
  // Lost means unacquired: the next poll's Acquire takes it back.
  EXPECT_EQ(device_->Acquire(), DI_OK);
  EXPECT_EQ(device_->GetDeviceState(256, keys), DI_OK);
}

TEST_F(KeyboardDeviceTest, DeviceKeepsItsDirectInputObjectAlive) {
  ASSERT_EQ(InitKeyboard(), 0);
  EXPECT_EQ(input_->Release(), 1u);  // the device still holds it
  input_ = nullptr;
  EXPECT_EQ(device_->AddRef(), 2u);
  EXPECT_EQ(device_->Release(), 1u);
  IUnknown* unknown = nullptr;
  ASSERT_EQ(device_->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)), S_OK);
  unknown->Release();
  EXPECT_EQ(device_->QueryInterface(IID_IDirectInput8A, reinterpret_cast<void**>(&unknown)), E_NOINTERFACE);
  EXPECT_EQ(device_->Release(), 0u);  // frees the device, then the object
  device_ = nullptr;
}

}  // namespace

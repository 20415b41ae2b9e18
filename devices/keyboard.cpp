// keyboard.cpp — InitKeyboard and the keyboard release.
#include "devices/keyboard.h"

IDirectInput8A* directInput = nullptr;
IDirectInputDevice8A* keyboardDevice = nullptr;

HRESULT InitKeyboard(HWND window) {
  HRESULT hr = DirectInput8Create(GetModuleHandleA(nullptr), DIRECTINPUT_VERSION, IID_IDirectInput8A,
                                  reinterpret_cast<LPVOID*>(&directInput), nullptr);
  if (FAILED(hr)) return hr;
  hr = directInput->CreateDevice(GUID_SysKeyboard, &keyboardDevice, nullptr);
  if (FAILED(hr)) return hr;
  hr = keyboardDevice->SetDataFormat(&c_dfDIKeyboard);
  if (FAILED(hr)) return hr;
  // Background and non-exclusive: the arrows work while another window is in
  // front, and other programs still get the keys.
  hr = keyboardDevice->SetCooperativeLevel(window, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND);
  if (FAILED(hr)) return hr;
  // Not tested: every tick acquires again before it reads.
  keyboardDevice->Acquire();
  return 0;
}

void ReleaseKeyboard() {
  if (keyboardDevice != nullptr) keyboardDevice->Unacquire();
  if (keyboardDevice != nullptr) {
    keyboardDevice->Release();
    keyboardDevice = nullptr;
  }
  if (directInput != nullptr) {
    directInput->Release();
    directInput = nullptr;
  }
}

// keyboard.h — the system keyboard through DirectInput 8.
//
// Provides: directInput and keyboardDevice, InitKeyboard (a non-exclusive
// background device with the 256-byte keyboard format) and ReleaseKeyboard,
// the first half of ReleaseGraphicsAndInput. The poll itself is a step of
// the game tick: Acquire, and on 0 or 1 one GetDeviceState of 256 bytes.
// Depends on: windows.h, dinput.h.
#pragma once

#include <windows.h>
#include <dinput.h>

extern IDirectInput8A* directInput;
extern IDirectInputDevice8A* keyboardDevice;

// 0 on success, else the first failing call's result; objects created before
// a failure stay in their globals.
HRESULT InitKeyboard(HWND window);

// Unacquire, then release the device and the DirectInput object; each pointer
// tested and set to null.
void ReleaseKeyboard();

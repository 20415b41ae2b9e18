// dom_keys.cpp — the standard keyboard by its physical codes. The arrow keys
// and the numeric keypad's arrows keep different codes, as on the platform.
#include "host/web/dom_keys.h"

#include <cstddef>

namespace host::web {
namespace {

struct Entry {
  std::string_view code;
  int vk;
  int dik;
};

constexpr Entry kKeys[] = {
    {"Escape", 0x1B, 0x01},       {"Digit1", '1', 0x02},         {"Digit2", '2', 0x03},
    {"Digit3", '3', 0x04},        {"Digit4", '4', 0x05},         {"Digit5", '5', 0x06},
    {"Digit6", '6', 0x07},        {"Digit7", '7', 0x08},         {"Digit8", '8', 0x09},
    {"Digit9", '9', 0x0A},        {"Digit0", '0', 0x0B},         {"Minus", 0xBD, 0x0C},
    {"Equal", 0xBB, 0x0D},        {"Backspace", 0x08, 0x0E},     {"Tab", 0x09, 0x0F},
    {"KeyQ", 'Q', 0x10},          {"KeyW", 'W', 0x11},           {"KeyE", 'E', 0x12},
    {"KeyR", 'R', 0x13},          {"KeyT", 'T', 0x14},           {"KeyY", 'Y', 0x15},
    {"KeyU", 'U', 0x16},          {"KeyI", 'I', 0x17},           {"KeyO", 'O', 0x18},
    {"KeyP", 'P', 0x19},          {"BracketLeft", 0xDB, 0x1A},   {"BracketRight", 0xDD, 0x1B},
    {"Enter", 0x0D, 0x1C},        {"ControlLeft", 0x11, 0x1D},   {"KeyA", 'A', 0x1E},
    {"KeyS", 'S', 0x1F},          {"KeyD", 'D', 0x20},           {"KeyF", 'F', 0x21},
    {"KeyG", 'G', 0x22},          {"KeyH", 'H', 0x23},           {"KeyJ", 'J', 0x24},
    {"KeyK", 'K', 0x25},          {"KeyL", 'L', 0x26},           {"Semicolon", 0xBA, 0x27},
    {"Quote", 0xDE, 0x28},        {"Backquote", 0xC0, 0x29},     {"ShiftLeft", 0x10, 0x2A},
    {"Backslash", 0xDC, 0x2B},    {"KeyZ", 'Z', 0x2C},           {"KeyX", 'X', 0x2D},
    {"KeyC", 'C', 0x2E},          {"KeyV", 'V', 0x2F},           {"KeyB", 'B', 0x30},
    {"KeyN", 'N', 0x31},          {"KeyM", 'M', 0x32},           {"Comma", 0xBC, 0x33},
    {"Period", 0xBE, 0x34},       {"Slash", 0xBF, 0x35},         {"ShiftRight", 0x10, 0x36},
    {"NumpadMultiply", 0x6A, 0x37}, {"AltLeft", 0x12, 0x38},     {"Space", 0x20, 0x39},
    {"CapsLock", 0x14, 0x3A},     {"F1", 0x70, 0x3B},            {"F2", 0x71, 0x3C},
    {"F3", 0x72, 0x3D},           {"F4", 0x73, 0x3E},            {"F5", 0x74, 0x3F},
    {"F6", 0x75, 0x40},           {"F7", 0x76, 0x41},            {"F8", 0x77, 0x42},
    {"F9", 0x78, 0x43},           {"F10", 0x79, 0x44},           {"NumLock", 0x90, 0x45},
    {"ScrollLock", 0x91, 0x46},   {"NumpadSubtract", 0x6D, 0x4A}, {"NumpadAdd", 0x6B, 0x4E},
    {"IntlBackslash", 0xE2, 0x56}, {"F11", 0x7A, 0x57},          {"F12", 0x7B, 0x58},
    {"NumpadEnter", 0x0D, 0x9C},  {"ControlRight", 0x11, 0x9D},  {"NumpadDivide", 0x6F, 0xB5},
    {"PrintScreen", 0x2C, 0xB7},  {"AltRight", 0x12, 0xB8},      {"Pause", 0x13, 0xC5},
    {"Home", 0x24, 0xC7},         {"ArrowUp", 0x26, 0xC8},       {"PageUp", 0x21, 0xC9},
    {"ArrowLeft", 0x25, 0xCB},    {"ArrowRight", 0x27, 0xCD},    {"End", 0x23, 0xCF},
    {"ArrowDown", 0x28, 0xD0},    {"PageDown", 0x22, 0xD1},      {"Insert", 0x2D, 0xD2},
    {"Delete", 0x2E, 0xD3},       {"MetaLeft", 0x5B, 0xDB},      {"MetaRight", 0x5C, 0xDC},
    {"ContextMenu", 0x5D, 0xDD},
};

// The keypad keys that are digits with Num Lock on and movement keys with
// it off: DirectInput code, digit, movement key.
struct Keypad {
  std::string_view code;
  int dik;
  int digitVk;
  int moveVk;
};

constexpr Keypad kKeypad[] = {
    {"Numpad7", 0x47, 0x67, 0x24}, {"Numpad8", 0x48, 0x68, 0x26}, {"Numpad9", 0x49, 0x69, 0x21},
    {"Numpad4", 0x4B, 0x64, 0x25}, {"Numpad5", 0x4C, 0x65, 0x0C}, {"Numpad6", 0x4D, 0x66, 0x27},
    {"Numpad1", 0x4F, 0x61, 0x23}, {"Numpad2", 0x50, 0x62, 0x28}, {"Numpad3", 0x51, 0x63, 0x22},
    {"Numpad0", 0x52, 0x60, 0x2D}, {"NumpadDecimal", 0x53, 0x6E, 0x2E},
};

}  // namespace

DomKey DomKeyFromCode(std::string_view code, std::string_view key) {
  for (const Entry& e : kKeys) {
    if (e.code == code) return DomKey{e.vk, e.dik};
  }
  for (const Keypad& k : kKeypad) {
    if (k.code != code) continue;
    // With Num Lock on the key types a digit or the decimal separator.
    const bool typesCharacter = key.size() == 1 && key[0] != ' ';
    return DomKey{typesCharacter ? k.digitVk : k.moveVk, k.dik};
  }
  return DomKey{};
}

}  // namespace host::web

// host_keys.cpp — the standard keyboard, key by key. The arrow keys and
// the numeric keypad's arrows keep different codes, as on the platform.
#include "platform/win32/host_keys.h"

#include <array>
#include <cstddef>

namespace platform {
namespace {

// Host key (HID usage) -> DirectInput code; 0 for none.
constexpr std::array<uint8_t, host::kKeyCount> MakeDikTable() {
  struct Pair {
    int from, to;
  };
  constexpr Pair pairs[] = {
      {4, 0x1E},   {5, 0x30},   {6, 0x2E},   {7, 0x20},   {8, 0x12},   {9, 0x21},   {10, 0x22},  {11, 0x23},
      {12, 0x17},  {13, 0x24},  {14, 0x25},  {15, 0x26},  {16, 0x32},  {17, 0x31},  {18, 0x18},  {19, 0x19},
      {20, 0x10},  {21, 0x13},  {22, 0x1F},  {23, 0x14},  {24, 0x16},  {25, 0x2F},  {26, 0x11},  {27, 0x2D},
      {28, 0x15},  {29, 0x2C},                                                     // A..Z
      {30, 0x02},  {31, 0x03},  {32, 0x04},  {33, 0x05},  {34, 0x06},  {35, 0x07},  {36, 0x08},  {37, 0x09},
      {38, 0x0A},  {39, 0x0B},                                                     // 1..9, 0
      {40, 0x1C},  {41, 0x01},  {42, 0x0E},  {43, 0x0F},  {44, 0x39},  {45, 0x0C},  {46, 0x0D},  {47, 0x1A},
      {48, 0x1B},  {49, 0x2B},  {50, 0x2B},  {51, 0x27},  {52, 0x28},  {53, 0x29},  {54, 0x33},  {55, 0x34},
      {56, 0x35},  {57, 0x3A},                                                     // punctuation, Caps Lock
      {58, 0x3B},  {59, 0x3C},  {60, 0x3D},  {61, 0x3E},  {62, 0x3F},  {63, 0x40},  {64, 0x41},  {65, 0x42},
      {66, 0x43},  {67, 0x44},  {68, 0x57},  {69, 0x58},                           // F1..F12
      {70, 0xB7},  {71, 0x46},  {72, 0xC5},  {73, 0xD2},  {74, 0xC7},  {75, 0xC9},  {76, 0xD3},  {77, 0xCF},
      {78, 0xD1},  {79, 0xCD},  {80, 0xCB},  {81, 0xD0},  {82, 0xC8},              // editing keys, arrows
      {83, 0x45},  {84, 0xB5},  {85, 0x37},  {86, 0x4A},  {87, 0x4E},  {88, 0x9C},  {89, 0x4F},  {90, 0x50},
      {91, 0x51},  {92, 0x4B},  {93, 0x4C},  {94, 0x4D},  {95, 0x47},  {96, 0x48},  {97, 0x49},  {98, 0x52},
      {99, 0x53},                                                                  // numeric keypad
      {100, 0x56}, {101, 0xDD}, {102, 0xDE}, {103, 0x8D}, {104, 0x64}, {105, 0x65}, {106, 0x66},
      {127, 0xA0}, {128, 0xB0}, {129, 0xAE}, {133, 0xB3},
      {135, 0x73}, {136, 0x70}, {137, 0x7D}, {138, 0x79}, {139, 0x7B},             // Japanese keys
      {224, 0x1D}, {225, 0x2A}, {226, 0x38}, {227, 0xDB}, {228, 0x9D}, {229, 0x36}, {230, 0xB8}, {231, 0xDC},
  };
  std::array<uint8_t, host::kKeyCount> table{};
  for (const Pair& p : pairs) table[static_cast<size_t>(p.from)] = static_cast<uint8_t>(p.to);
  return table;
}

constexpr std::array<uint8_t, host::kKeyCount> kDik = MakeDikTable();

}  // namespace

int DikFromHostKey(host::Key key) { return kDik[static_cast<size_t>(key)]; }

void DikStateFromHostState(const uint8_t hostKeys[host::kKeyCount], uint8_t dik[256]) {
  for (int i = 0; i < 256; ++i) dik[i] = 0;
  for (size_t k = 0; k < kDik.size(); ++k) {
    if (kDik[k] != 0 && (hostKeys[k] & 0x80)) dik[kDik[k]] = 0x80;
  }
}

int VkFromHostKey(host::Key key, bool numLock) {
  const int sc = static_cast<int>(key);
  if (sc >= 4 && sc <= 29) return 'A' + (sc - 4);
  if (sc >= 30 && sc <= 38) return '1' + (sc - 30);
  if (sc == 39) return '0';
  if (sc >= 58 && sc <= 69) return 0x70 + (sc - 58);    // F1..F12
  if (sc >= 104 && sc <= 115) return 0x7C + (sc - 104);  // F13..F24
  if (sc >= 89 && sc <= 99) {
    // Keypad: digits with Num Lock on, movement keys with it off.
    static constexpr std::array<int, 11> digits = {0x61, 0x62, 0x63, 0x64, 0x65, 0x66,
                                                   0x67, 0x68, 0x69, 0x60, 0x6E};
    static constexpr std::array<int, 11> moves = {0x23, 0x28, 0x22, 0x25, 0x0C, 0x27,
                                                  0x24, 0x26, 0x21, 0x2D, 0x2E};
    return numLock ? digits[static_cast<size_t>(sc - 89)] : moves[static_cast<size_t>(sc - 89)];
  }
  switch (sc) {
    case 40: return 0x0D;  // Return
    case 41: return 0x1B;  // Escape
    case 42: return 0x08;  // Backspace
    case 43: return 0x09;  // Tab
    case 44: return 0x20;  // Space
    case 45: return 0xBD;  // -
    case 46: return 0xBB;  // =
    case 47: return 0xDB;  // [
    case 48: return 0xDD;  // ]
    case 49: case 50: return 0xDC;  // backslash
    case 51: return 0xBA;  // ;
    case 52: return 0xDE;  // '
    case 53: return 0xC0;  // `
    case 54: return 0xBC;  // ,
    case 55: return 0xBE;  // .
    case 56: return 0xBF;  // /
    case 57: return 0x14;  // Caps Lock
    case 70: return 0x2C;  // Print Screen
    case 71: return 0x91;  // Scroll Lock
    case 72: return 0x13;  // Pause
    case 73: return 0x2D;
    case 74: return 0x24;
    case 75: return 0x21;
    case 76: return 0x2E;
    case 77: return 0x23;
    case 78: return 0x22;
    case 79: return 0x27;  // Right
    case 80: return 0x25;  // Left
    case 81: return 0x28;  // Down
    case 82: return 0x26;  // Up
    case 83: return 0x90;  // Num Lock
    case 84: return 0x6F;  // keypad /
    case 85: return 0x6A;  // keypad *
    case 86: return 0x6D;  // keypad -
    case 87: return 0x6B;  // keypad +
    case 88: return 0x0D;  // keypad Enter
    case 100: return 0xE2;  // the 102nd key
    case 101: return 0x5D;  // Application
    case 224: case 228: return 0x11;  // Ctrl
    case 225: case 229: return 0x10;  // Shift
    case 226: case 230: return 0x12;  // Alt
    case 227: return 0x5B;
    case 231: return 0x5C;
    default: return 0;
  }
}

}  // namespace platform

// key_mapping.cpp — the standard keyboard, key by key.
#include "host/sdl/key_mapping.h"

#include <array>
#include <cstddef>

namespace host::sdl {
namespace {

// evdev code -> HID usage, for the keys of a standard and a Japanese keyboard.
constexpr std::array<uint8_t, 256> MakeEvdevTable() {
  struct Pair {
    int from, to;
  };
  constexpr Pair pairs[] = {
      {1, 41},    {2, 30},    {3, 31},    {4, 32},    {5, 33},    {6, 34},    {7, 35},    {8, 36},
      {9, 37},    {10, 38},   {11, 39},   {12, 45},   {13, 46},   {14, 42},   {15, 43},   {16, 20},
      {17, 26},   {18, 8},    {19, 21},   {20, 23},   {21, 28},   {22, 24},   {23, 12},   {24, 18},
      {25, 19},   {26, 47},   {27, 48},   {28, 40},   {29, 224},  {30, 4},    {31, 22},   {32, 7},
      {33, 9},    {34, 10},   {35, 11},   {36, 13},   {37, 14},   {38, 15},   {39, 51},   {40, 52},
      {41, 53},   {42, 225},  {43, 49},   {44, 29},   {45, 27},   {46, 6},    {47, 25},   {48, 5},
      {49, 17},   {50, 16},   {51, 54},   {52, 55},   {53, 56},   {54, 229},  {55, 85},   {56, 226},
      {57, 44},   {58, 57},   {59, 58},   {60, 59},   {61, 60},   {62, 61},   {63, 62},   {64, 63},
      {65, 64},   {66, 65},   {67, 66},   {68, 67},   {69, 83},   {70, 71},   {71, 95},   {72, 96},
      {73, 97},   {74, 86},   {75, 92},   {76, 93},   {77, 94},   {78, 87},   {79, 89},   {80, 90},
      {81, 91},   {82, 98},   {83, 99},   {86, 100},  {87, 68},   {88, 69},   {89, 135},  {92, 138},
      {93, 136},  {94, 139},  {95, 133},  {96, 88},   {97, 228},  {98, 84},   {99, 70},   {100, 230},
      {102, 74},  {103, 82},  {104, 75},  {105, 80},  {106, 79},  {107, 77},  {108, 81},  {109, 78},
      {110, 73},  {111, 76},  {113, 127}, {114, 129}, {115, 128}, {116, 102}, {117, 103}, {119, 72},
      {121, 133}, {124, 137}, {125, 227}, {126, 231}, {127, 101}, {183, 104}, {184, 105}, {185, 106},
  };
  std::array<uint8_t, 256> table{};
  for (const Pair& p : pairs) table[static_cast<size_t>(p.from)] = static_cast<uint8_t>(p.to);
  return table;
}

constexpr std::array<uint8_t, 256> kEvdev = MakeEvdevTable();

}  // namespace

Key KeyFromSdlScancode(int scancode) {
  // SDL's scancodes below 256 are the HID usages themselves; the rest are
  // media keys outside the keyboard page.
  if (scancode <= 0 || scancode >= kKeyCount) return Key::None;
  return static_cast<Key>(scancode);
}

Key KeyFromEvdev(int code) {
  if (code <= 0 || code >= 256) return Key::None;
  return static_cast<Key>(kEvdev[static_cast<size_t>(code)]);
}

}  // namespace host::sdl

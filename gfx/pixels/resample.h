// resample.h — converting and resampling one image view into another.
//
// Provides: the triangle weight lists, and DispatchConversion, which checks
// the filter word, makes both codecs and runs the resampling strategies in
// their fixed order (raw copy, same-size conversion, none, point, box 2-D and
// 3-D, linear 2-D and 3-D, triangle 2-D and 3-D) until one takes the job.
// Each source row is read once and each destination row written once.
// Depends on: gfx/pixels/pixel_codec.h, gfx/debug_report.h.
#pragma once

#include <vector>

#include "gfx/pixels/pixel_codec.h"

namespace gfx {

struct WeightPair {
  UINT index;    // destination index
  float weight;
};

// For each source index j, pairs[first[j]] .. pairs[first[j + 1]] in the
// order the destination indices are met.
struct WeightList {
  std::vector<UINT> first;
  std::vector<WeightPair> pairs;
};

// The triangle (tent) weights of one axis from source size s to destination
// size d; `wrap` carries the tents' outer halves to the opposite edge instead
// of folding them back (mirror). False when s or d is 0 or memory runs out.
bool BuildTriangleWeights(UINT s, UINT d, bool wrap, WeightList* list);

// Filter word bits.
constexpr DWORD kFilterKindMask = 0xFFFF;
constexpr DWORD kFilterMirrorU = 0x10000;
constexpr DWORD kFilterMirrorV = 0x20000;
constexpr DWORD kFilterMirrorW = 0x40000;
constexpr DWORD kFilterDither = 0x80000;
constexpr DWORD kFilterSrgbIn = 0x100000;
constexpr DWORD kFilterSrgbOut = 0x200000;
constexpr DWORD kFilterInvalidBits = 0xFFC00000;

// The strategies in the order they are tried.
enum class Strategy {
  None = 0,
  RawCopy,
  SameSize,
  Unfiltered,
  Point,
  Box2D,
  Box3D,
  Linear2D,
  Linear3D,
  Triangle2D,
  Triangle3D,
};

// Converts `src` into `dest` under `filter` (0xFFFFFFFF is not accepted
// here: callers map it first). The views carry format, pixels, pitches and
// size; palettes, key and gamma are set up here from the filter word.
// `used`, when not null, receives the strategy that did the job.
HRESULT DispatchConversion(ImageView* dest, ImageView* src, DWORD filter, Strategy* used = nullptr);

}  // namespace gfx

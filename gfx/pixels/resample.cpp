// resample.cpp — the dispatcher and the resampling strategies.
//
// All arithmetic on pixels is single-precision float in the working form.
// The triangle strategies keep the order of every float operation that the
// weight lists imply (weight = wx * wy, then weight * pixel added to the
// accumulator, channel by channel); the four channels of a working pixel are
// processed together in one SSE register, which changes no result. The gfx
// library is compiled without floating-point contraction for the same reason.
// Depends on: gfx/pixels/resample.h, gfx/debug_report.h.
#include "gfx/pixels/resample.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

#include <emmintrin.h>

#include "gfx/pixels/block_codec.h"
#include "gfx/debug_report.h"
#include "gfx/gfx.h"

namespace gfx {
namespace {

// An aligned, uninitialised array of working pixels that never throws.
struct PixelBuffer {
  Pixel* data = nullptr;
  size_t size = 0;
  PixelBuffer() = default;
  PixelBuffer(const PixelBuffer&) = delete;
  PixelBuffer& operator=(const PixelBuffer&) = delete;
  ~PixelBuffer() { ::operator delete[](data, std::align_val_t{16}, std::nothrow); }
  bool Allocate(size_t n) {
    if (n > (SIZE_MAX / sizeof(Pixel))) return false;
    data = static_cast<Pixel*>(::operator new[](n * sizeof(Pixel), std::align_val_t{16}, std::nothrow));
    size = data ? n : 0;
    return data != nullptr;
  }
  void Zero() { std::memset(static_cast<void*>(data), 0, size * sizeof(Pixel)); }
};

bool SamePalette(const ImageView& a, const ImageView& b) {
  return std::memcmp(a.palette, b.palette, sizeof(a.palette)) == 0;
}

bool IsPaletteFormat(D3DFORMAT f) { return f == D3DFMT_P8 || f == D3DFMT_A8P8; }

// --- 1: raw copy ------------------------------------------------------------
bool RawCopy(const ImageView& dest, const ImageView& src) {
  if (dest.format != src.format || src.keyOn || dest.width != src.width || dest.height != src.height ||
      dest.depth != src.depth || dest.gamma != src.gamma) {
    return false;
  }
  if (IsPaletteFormat(src.format) && !SamePalette(dest, src)) return false;
  // Nothing to move for an empty rectangle, whose views may hold no pixels.
  if (src.rowBytes == 0) return true;
  for (UINT z = 0; z < src.depth; ++z) {
    for (UINT y = 0; y < src.height; ++y) {
      std::memmove(const_cast<BYTE*>(RowPointer(dest, y, z)), RowPointer(src, y, z), src.rowBytes);
    }
  }
  return true;
}

// --- 2: same size -----------------------------------------------------------
bool SameSize(const ImageView& dest, const ImageView& src) {
  if (dest.width != src.width || dest.height != src.height || dest.depth != src.depth) return false;
  PixelBuffer row;
  if (!row.Allocate(src.width)) return false;
  for (UINT z = 0; z < src.depth; ++z) {
    for (UINT y = 0; y < src.height; ++y) {
      ReadRow(src, y, z, row.data);
      WriteRow(dest, y, z, row.data);
    }
  }
  return true;
}

// --- 3: none ----------------------------------------------------------------
bool Unfiltered(const ImageView& dest, const ImageView& src, DWORD kind) {
  if (kind != D3DX_FILTER_NONE) return false;
  PixelBuffer in, out;
  if (!in.Allocate(src.width) || !out.Allocate(dest.width)) return false;
  const UINT w = std::min(dest.width, src.width);
  for (UINT z = 0; z < dest.depth; ++z) {
    for (UINT y = 0; y < dest.height; ++y) {
      out.Zero();
      if (z < src.depth && y < src.height) {
        ReadRow(src, y, z, in.data);
        std::copy(in.data, in.data + w, out.data);
      }
      WriteRow(dest, y, z, out.data);
    }
  }
  return true;
}

// --- 4: point ---------------------------------------------------------------
bool HasArea(const ImageView& v) { return v.width != 0 && v.height != 0 && v.depth != 0; }

bool PointFilter(const ImageView& dest, const ImageView& src, DWORD kind) {
  if (kind != D3DX_FILTER_POINT || !HasArea(src) || !HasArea(dest)) return false;
  const uint64_t stepX = (uint64_t{src.width} << 16) / dest.width;
  const uint64_t stepY = (uint64_t{src.height} << 16) / dest.height;
  const uint64_t stepZ = (uint64_t{src.depth} << 16) / dest.depth;
  PixelBuffer in, out;
  if (!in.Allocate(src.width) || !out.Allocate(dest.width)) return false;
  std::vector<UINT> columns;
  try {
    columns.resize(dest.width);
  } catch (...) {
    return false;
  }
  for (UINT x = 0; x < dest.width; ++x) columns[x] = static_cast<UINT>((x * stepX) >> 16);
  bool haveRow = false;
  UINT rowY = 0, rowZ = 0;
  for (UINT z = 0; z < dest.depth; ++z) {
    const UINT sz = static_cast<UINT>((z * stepZ) >> 16);
    for (UINT y = 0; y < dest.height; ++y) {
      const UINT sy = static_cast<UINT>((y * stepY) >> 16);
      if (!haveRow || sy != rowY || sz != rowZ) {
        ReadRow(src, sy, sz, in.data);
        haveRow = true;
        rowY = sy;
        rowZ = sz;
      }
      for (UINT x = 0; x < dest.width; ++x) out.data[x] = in.data[columns[x]];
      WriteRow(dest, y, z, out.data);
    }
  }
  return true;
}

// --- 5, 6: box --------------------------------------------------------------
bool Halves(UINT s, UINT d) { return d == s / 2 || (s == 1 && d == 1); }

bool BoxFilter(const ImageView& dest, const ImageView& src, DWORD kind, bool threeD) {
  if (kind != D3DX_FILTER_BOX) return false;
  if (!Halves(src.width, dest.width) || !Halves(src.height, dest.height)) return false;
  if (threeD ? !Halves(src.depth, dest.depth) : (src.depth != 1 || dest.depth != 1)) return false;
  PixelBuffer rows, out;
  if (!rows.Allocate(size_t{src.width} * 4) || !out.Allocate(dest.width)) return false;
  Pixel* r[4] = {rows.data, rows.data + src.width, rows.data + 2 * size_t{src.width},
                 rows.data + 3 * size_t{src.width}};
  const UINT slices = threeD ? 2 : 1;
  const __m128 scale = _mm_set1_ps(threeD ? 0.125f : 0.25f);
  for (UINT z = 0; z < dest.depth; ++z) {
    for (UINT y = 0; y < dest.height; ++y) {
      for (UINT s = 0; s < slices; ++s) {
        const UINT sz = src.depth == 1 ? 0 : 2 * z + s;
        const UINT sy0 = src.height == 1 ? 0 : 2 * y;
        const UINT sy1 = src.height == 1 ? 0 : 2 * y + 1;
        ReadRow(src, sy0, sz, r[2 * s]);
        ReadRow(src, sy1, sz, r[2 * s + 1]);
      }
      for (UINT x = 0; x < dest.width; ++x) {
        const UINT x0 = src.width == 1 ? 0 : 2 * x;
        const UINT x1 = src.width == 1 ? 0 : 2 * x + 1;
        __m128 sum = _mm_add_ps(_mm_add_ps(_mm_load_ps(&r[0][x0].r), _mm_load_ps(&r[0][x1].r)),
                                _mm_add_ps(_mm_load_ps(&r[1][x0].r), _mm_load_ps(&r[1][x1].r)));
        if (threeD) {
          __m128 back = _mm_add_ps(_mm_add_ps(_mm_load_ps(&r[2][x0].r), _mm_load_ps(&r[2][x1].r)),
                                   _mm_add_ps(_mm_load_ps(&r[3][x0].r), _mm_load_ps(&r[3][x1].r)));
          sum = _mm_add_ps(sum, back);
        }
        _mm_store_ps(&out.data[x].r, _mm_mul_ps(sum, scale));
      }
      WriteRow(dest, y, z, out.data);
    }
  }
  return true;
}

// --- 7, 8: linear -----------------------------------------------------------
struct Taps {
  UINT i0, i1;
  float w0, w1;
};

Taps LinearTaps(UINT i, UINT s, UINT d, bool wrap) {
  float o = (static_cast<float>(i) + 0.5f) * static_cast<float>(s) / static_cast<float>(d) + 0.5f;
  float r = std::floor(o);
  int64_t ri = static_cast<int64_t>(r);
  auto fix = [&](int64_t t) -> UINT {
    if (t < 0) return wrap ? s - 1 : 0;
    if (t >= int64_t{s}) return wrap ? 0 : s - 1;
    return static_cast<UINT>(t);
  };
  return Taps{fix(ri - 1), fix(ri), r + 1.0f - o, o - r};
}

// A few decoded rows, looked up by (row, slice): the linear filter needs at
// most four at a time and moves through the source in order.
class RowCache {
 public:
  bool Init(const ImageView* src) {
    src_ = src;
    return buffer_.Allocate(size_t{src->width} * kSlots);
  }
  const Pixel* Get(UINT y, UINT z) {
    for (int i = 0; i < kSlots; ++i) {
      if (valid_[i] && y_[i] == y && z_[i] == z) {
        age_[i] = ++clock_;
        return buffer_.data + size_t(i) * src_->width;
      }
    }
    int victim = 0;
    for (int i = 1; i < kSlots; ++i) {
      if (age_[i] < age_[victim]) victim = i;
    }
    Pixel* row = buffer_.data + size_t(victim) * src_->width;
    ReadRow(*src_, y, z, row);
    valid_[victim] = true;
    y_[victim] = y;
    z_[victim] = z;
    age_[victim] = ++clock_;
    return row;
  }

 private:
  static constexpr int kSlots = 8;
  const ImageView* src_ = nullptr;
  PixelBuffer buffer_;
  bool valid_[kSlots] = {};
  UINT y_[kSlots] = {};
  UINT z_[kSlots] = {};
  uint64_t age_[kSlots] = {};
  uint64_t clock_ = 0;
};

bool LinearFilter(const ImageView& dest, const ImageView& src, DWORD filter, bool threeD) {
  if ((filter & 0xFF) != D3DX_FILTER_LINEAR || !HasArea(src) || !HasArea(dest)) return false;
  if (!threeD && (src.depth != 1 || dest.depth != 1)) return false;
  const bool wrapU = !(filter & kFilterMirrorU), wrapV = !(filter & kFilterMirrorV),
             wrapW = !(filter & kFilterMirrorW);
  RowCache cache;
  PixelBuffer out;
  std::vector<Taps> xt;
  try {
    xt.resize(dest.width);
  } catch (...) {
    return false;
  }
  if (!cache.Init(&src) || !out.Allocate(dest.width)) return false;
  for (UINT x = 0; x < dest.width; ++x) xt[x] = LinearTaps(x, src.width, dest.width, wrapU);
  for (UINT z = 0; z < dest.depth; ++z) {
    const Taps zt = threeD ? LinearTaps(z, src.depth, dest.depth, wrapW) : Taps{0, 0, 1.0f, 0.0f};
    for (UINT y = 0; y < dest.height; ++y) {
      const Taps yt = LinearTaps(y, src.height, dest.height, wrapV);
      const UINT slices = threeD ? 2 : 1;
      for (UINT x = 0; x < dest.width; ++x) _mm_store_ps(&out.data[x].r, _mm_setzero_ps());
      for (UINT s = 0; s < slices; ++s) {
        const UINT sz = s == 0 ? zt.i0 : zt.i1;
        const __m128 wz = _mm_set1_ps(s == 0 ? zt.w0 : zt.w1);
        const Pixel* a = cache.Get(yt.i0, sz);
        const Pixel* b = cache.Get(yt.i1, sz);
        const __m128 wy0 = _mm_set1_ps(yt.w0), wy1 = _mm_set1_ps(yt.w1);
        for (UINT x = 0; x < dest.width; ++x) {
          const Taps& t = xt[x];
          const __m128 wx0 = _mm_set1_ps(t.w0), wx1 = _mm_set1_ps(t.w1);
          __m128 top = _mm_add_ps(_mm_mul_ps(_mm_load_ps(&a[t.i0].r), wx0), _mm_mul_ps(_mm_load_ps(&a[t.i1].r), wx1));
          __m128 bottom =
              _mm_add_ps(_mm_mul_ps(_mm_load_ps(&b[t.i0].r), wx0), _mm_mul_ps(_mm_load_ps(&b[t.i1].r), wx1));
          __m128 v = _mm_add_ps(_mm_mul_ps(top, wy0), _mm_mul_ps(bottom, wy1));
          if (threeD) v = _mm_mul_ps(v, wz);
          _mm_store_ps(&out.data[x].r, _mm_add_ps(_mm_load_ps(&out.data[x].r), v));
        }
      }
      WriteRow(dest, y, z, out.data);
    }
  }
  return true;
}

// --- 9, 10: triangle ----------------------------------------------------------
void ClampRow(Pixel* row, UINT width, int kind) {
  __m128 lo, hi;
  switch (kind) {
    case kKindUnsigned:
      lo = _mm_setzero_ps();
      hi = _mm_set1_ps(1.0f);
      break;
    case kKindSignedColour:
      lo = _mm_setr_ps(-1.0f, -1.0f, -1.0f, 0.0f);
      hi = _mm_set1_ps(1.0f);
      break;
    case kKindSigned:
      lo = _mm_set1_ps(-1.0f);
      hi = _mm_set1_ps(1.0f);
      break;
    default:
      return;
  }
  for (UINT x = 0; x < width; ++x) {
    __m128 v = _mm_load_ps(&row[x].r);
    _mm_store_ps(&row[x].r, _mm_min_ps(_mm_max_ps(v, lo), hi));
  }
}

// Where the accumulation reads source pixel x of the current row: a decoded
// row, or (a P8 row with no key or gamma work, whose decoded pixel is just
// its palette entry) the palette entry of the row's byte, which spares the
// decoding pass and gives the very same values.
struct DecodedRow {
  const Pixel* pixels;
  __m128 At(UINT x) const { return _mm_load_ps(&pixels[x].r); }
};
struct PaletteRow {
  const BYTE* indices;
  const Pixel* palette;
  __m128 At(UINT x) const { return _mm_load_ps(&palette[indices[x]].r); }
};

// The weights one source row's accumulation needs: each entry's x weight
// broadcast to four lanes, and per accumulator row its y weight (and the
// slice's z weight). A term's weight is (wx * wy) (* wz), multiplied in that
// order in every lane, which is the scalar product exactly.
struct RowWeights {
  const Pixel* x;   // per entry, all four lanes the same
  __m128 y[4];
  __m128 z;
};

// Adds one source row into N accumulator rows: for every destination column
// c, acc[q][c] += weight(q, e) * pixel[source[e]] over c's entries in order.
// Each accumulator's sum is one serial chain of additions, so G columns are
// walked side by side (their chains are independent) for as many entries as
// all of them have; each column then finishes its own remaining entries.
template <int N, bool kThreeD, typename Row>
inline void AddTerm(__m128* sum, const RowWeights& w, const Row& row, const UINT* source, UINT e) {
  const __m128 px = row.At(source[e]);
  const __m128 wx = _mm_load_ps(&w.x[e].r);
  for (int q = 0; q < N; ++q) {
    __m128 weight = _mm_mul_ps(wx, w.y[q]);
    if (kThreeD) weight = _mm_mul_ps(weight, w.z);
    sum[q] = _mm_add_ps(sum[q], _mm_mul_ps(weight, px));
  }
}

template <int N, int G, bool kThreeD, typename Row>
void AccumulateColumns(Pixel* const* acc, const RowWeights& w, const Row& row, const UINT* first, const UINT* source,
                       UINT c) {
  __m128 sum[G][N];
  UINT common = UINT_MAX;
  for (int g = 0; g < G; ++g) {
    for (int q = 0; q < N; ++q) sum[g][q] = _mm_load_ps(&acc[q][c + g].r);
    common = std::min(common, first[c + g + 1] - first[c + g]);
  }
  for (UINT k = 0; k < common; ++k) {
    for (int g = 0; g < G; ++g) AddTerm<N, kThreeD>(sum[g], w, row, source, first[c + g] + k);
  }
  for (int g = 0; g < G; ++g) {
    for (UINT e = first[c + g] + common; e < first[c + g + 1]; ++e) AddTerm<N, kThreeD>(sum[g], w, row, source, e);
    for (int q = 0; q < N; ++q) _mm_store_ps(&acc[q][c + g].r, sum[g][q]);
  }
}

template <int N, bool kThreeD, typename Row>
void AccumulateRows(Pixel* const* acc, const RowWeights& w, const Row& row, const UINT* first, const UINT* source,
                    UINT width) {
  constexpr int G = N == 1 ? 4 : (N == 2 ? 2 : 1);
  UINT c = 0;
  for (; c + G <= width; c += G) AccumulateColumns<N, G, kThreeD>(acc, w, row, first, source, c);
  // The last columns together too: in the small levels they are all there
  // is, each with a long chain of terms.
  switch (width - c) {
    case 3: AccumulateColumns<N, 3, kThreeD>(acc, w, row, first, source, c); break;
    case 2: AccumulateColumns<N, 2, kThreeD>(acc, w, row, first, source, c); break;
    case 1: AccumulateColumns<N, 1, kThreeD>(acc, w, row, first, source, c); break;
    default: break;
  }
}

template <bool kThreeD, typename Row>
void AccumulateRows(UINT n, Pixel* const* acc, const RowWeights& w, const Row& row, const UINT* first,
                    const UINT* source, UINT width) {
  switch (n) {
    case 1: AccumulateRows<1, kThreeD>(acc, w, row, first, source, width); break;
    case 2: AccumulateRows<2, kThreeD>(acc, w, row, first, source, width); break;
    case 3: AccumulateRows<3, kThreeD>(acc, w, row, first, source, width); break;
    default: AccumulateRows<4, kThreeD>(acc, w, row, first, source, width); break;
  }
}

template <typename Row>
void AccumulateRows(bool threeD, UINT n, Pixel* const* acc, const RowWeights& w, const Row& row, const UINT* first,
                    const UINT* source, UINT width) {
  if (threeD) {
    AccumulateRows<true>(n, acc, w, row, first, source, width);
  } else {
    AccumulateRows<false>(n, acc, w, row, first, source, width);
  }
}

// The x list turned around: for every destination column, its source
// pixels and (broadcast) weights in source order. Each accumulator then
// gathers its terms in a register, in exactly the order the pixel-by-pixel
// loop would add them.
struct ColumnEntries {
  std::vector<UINT> first, source;
  std::vector<Pixel> weight;

  void Build(const WeightList& xl, UINT srcWidth, UINT destWidth) {
    first.assign(size_t{destWidth} + 1, 0);
    source.resize(xl.pairs.size());
    weight.resize(xl.pairs.size());
    for (const WeightPair& p : xl.pairs) ++first[p.index + 1];
    for (UINT c = 0; c < destWidth; ++c) first[c + 1] += first[c];
    std::vector<UINT> fill(first.begin(), first.end() - 1);
    for (UINT x = 0; x < srcWidth; ++x) {
      for (UINT p = xl.first[x]; p < xl.first[x + 1]; ++p) {
        const UINT e = fill[xl.pairs[p].index]++;
        source[e] = x;
        const float w = xl.pairs[p].weight;
        weight[e] = Pixel{w, w, w, w};
      }
    }
  }
};

// Accumulation rows of the destination (slice, row)s still awaiting source
// rows, with the count of contributions each still awaits; written rows are
// reused.
class AccumulatorPool {
 public:
  AccumulatorPool(const ImageView& dest, const WeightList& yl, const WeightList& zl)
      : width_(dest.width), height_(dest.height) {
    const size_t rows = size_t{dest.height} * dest.depth;
    std::vector<UINT> rowCount(dest.height, 0), sliceCount(dest.depth, 0);
    for (const WeightPair& p : yl.pairs) ++rowCount[p.index];
    for (const WeightPair& p : zl.pairs) ++sliceCount[p.index];
    pending_.resize(rows);
    for (UINT s = 0; s < dest.depth; ++s) {
      for (UINT r = 0; r < dest.height; ++r) pending_[size_t(s) * dest.height + r] = uint64_t{sliceCount[s]} * rowCount[r];
    }
    active_.assign(rows, nullptr);
  }

  Pixel* Row(UINT slice, UINT row) const { return active_[size_t(slice) * height_ + row]; }

  // A zeroed row for (slice, row) unless it has one; false without memory.
  bool Activate(UINT slice, UINT row) {
    Pixel*& slot = active_[size_t(slice) * height_ + row];
    if (slot != nullptr) return true;
    if (!free_.empty()) {
      slot = free_.back();
      free_.pop_back();
    } else {
      auto buffer = std::make_unique<PixelBuffer>();
      if (!buffer->Allocate(width_)) return false;
      slot = buffer->data;
      storage_.push_back(std::move(buffer));
    }
    std::memset(static_cast<void*>(slot), 0, size_t{width_} * sizeof(Pixel));
    return true;
  }

  // Counts one contribution to (slice, row) as done; after the last, the
  // row is clamped and written and its storage freed for reuse.
  void Contributed(const ImageView& dest, int kind, UINT slice, UINT row) {
    const size_t slot = size_t(slice) * height_ + row;
    if (--pending_[slot] != 0) return;
    ClampRow(active_[slot], width_, kind);
    WriteRow(dest, row, slice, active_[slot]);
    free_.push_back(active_[slot]);
    active_[slot] = nullptr;
  }

 private:
  UINT width_, height_;
  std::vector<uint64_t> pending_;
  std::vector<Pixel*> active_;
  std::vector<std::unique_ptr<PixelBuffer>> storage_;
  std::vector<Pixel*> free_;
};

// Does any index appear twice in entry j of the list? Then the loops must
// keep pixel-major order to add in the same sequence.
bool HasRepeats(const WeightList& l, UINT j) {
  for (UINT a = l.first[j]; a < l.first[j + 1]; ++a) {
    for (UINT b = a + 1; b < l.first[j + 1]; ++b) {
      if (l.pairs[a].index == l.pairs[b].index) return true;
    }
  }
  return false;
}

// One source row into the accumulators of slice weight `zw`, column by
// column, up to four destination rows sharing each pixel load.
template <typename Row>
void AccumulateByColumns(AccumulatorPool& pool, const ColumnEntries& columns, const Row& row, const WeightList& yl,
                         UINT i, const WeightPair& zw, bool threeD, UINT width) {
  for (UINT yp = yl.first[i]; yp < yl.first[i + 1];) {
    const UINT n = std::min<UINT>(4, yl.first[i + 1] - yp);
    Pixel* acc[4];
    RowWeights weights{columns.weight.data(), {}, _mm_set1_ps(zw.weight)};
    for (UINT q = 0; q < n; ++q) {
      const WeightPair& yw = yl.pairs[yp + q];
      acc[q] = pool.Row(zw.index, yw.index);
      weights.y[q] = _mm_set1_ps(yw.weight);
    }
    AccumulateRows(threeD, n, acc, weights, row, columns.first.data(), columns.source.data(), width);
    yp += n;
  }
}

// The same in the plain pixel-major order, for lists with repeated indices.
void AccumulateByPixels(AccumulatorPool& pool, const Pixel* in, UINT srcWidth, const WeightList& xl,
                        const WeightList& yl, UINT i, const WeightPair& zw, bool threeD) {
  for (UINT x = 0; x < srcWidth; ++x) {
    const __m128 px = _mm_load_ps(&in[x].r);
    for (UINT yp = yl.first[i]; yp < yl.first[i + 1]; ++yp) {
      const WeightPair& yw = yl.pairs[yp];
      Pixel* acc = pool.Row(zw.index, yw.index);
      for (UINT p = xl.first[x]; p < xl.first[x + 1]; ++p) {
        float w = xl.pairs[p].weight * yw.weight;
        if (threeD) w = w * zw.weight;
        float* a = &acc[xl.pairs[p].index].r;
        _mm_store_ps(a, _mm_add_ps(_mm_load_ps(a), _mm_mul_ps(_mm_set1_ps(w), px)));
      }
    }
  }
}

bool TriangleFilter(const ImageView& dest, const ImageView& src, DWORD filter, bool threeD) {
  if (!threeD && (src.depth != 1 || dest.depth != 1)) return false;
  try {
    WeightList xl, yl, zl;
    if (!BuildTriangleWeights(src.width, dest.width, !(filter & kFilterMirrorU), &xl) ||
        !BuildTriangleWeights(src.height, dest.height, !(filter & kFilterMirrorV), &yl)) {
      return false;
    }
    if (threeD) {
      if (!BuildTriangleWeights(src.depth, dest.depth, !(filter & kFilterMirrorW), &zl)) return false;
    } else {
      zl.first = {0, 1};
      zl.pairs = {WeightPair{0, 1.0f}};
    }
    AccumulatorPool pool(dest, yl, zl);
    ColumnEntries columns;
    columns.Build(xl, src.width, dest.width);
    PixelBuffer in;
    if (!in.Allocate(src.width)) return false;

    for (UINT k = 0; k < src.depth; ++k) {
      for (UINT i = 0; i < src.height; ++i) {
        // Every destination row this source row touches gets an accumulator.
        for (UINT zp = zl.first[k]; zp < zl.first[k + 1]; ++zp) {
          for (UINT yp = yl.first[i]; yp < yl.first[i + 1]; ++yp) {
            if (!pool.Activate(zl.pairs[zp].index, yl.pairs[yp].index)) return false;
          }
        }
        const bool repeats = HasRepeats(yl, i) || (threeD && HasRepeats(zl, k));
        // A P8 row with no key or gamma work reads as its palette entries.
        const bool paletteRow = src.format == D3DFMT_P8 && !src.keyOn && !(src.gamma && src.gammaWork) && !repeats;
        if (!paletteRow) ReadRow(src, i, k, in.data);
        for (UINT zp = zl.first[k]; zp < zl.first[k + 1]; ++zp) {
          const WeightPair& zw = zl.pairs[zp];
          if (repeats) {
            AccumulateByPixels(pool, in.data, src.width, xl, yl, i, zw, threeD);
          } else if (paletteRow) {
            const PaletteRow row{RowPointer(src, i, k), src.palette};
            AccumulateByColumns(pool, columns, row, yl, i, zw, threeD, dest.width);
          } else {
            const DecodedRow row{in.data};
            AccumulateByColumns(pool, columns, row, yl, i, zw, threeD, dest.width);
          }
        }
        // Write every destination row whose last contribution this was.
        for (UINT zp = zl.first[k]; zp < zl.first[k + 1]; ++zp) {
          for (UINT yp = yl.first[i]; yp < yl.first[i + 1]; ++yp) {
            pool.Contributed(dest, src.kind, zl.pairs[zp].index, yl.pairs[yp].index);
          }
        }
      }
    }
    // Rows no source row reached (not possible with complete lists) stay
    // unwritten; the lists cover every destination index.
    return true;
  } catch (...) {
    return false;
  }
}

// floor(v) as an integer for the finite, moderate values of a weight list,
// without a library call.
inline int64_t FloorToInt(float v) {
  int64_t t = static_cast<int64_t>(v);
  if (static_cast<float>(t) > v) --t;
  return t;
}

}  // namespace

bool BuildTriangleWeights(UINT s, UINT d, bool wrap, WeightList* list) {
  if (s == 0 || d == 0 || list == nullptr) return false;
  try {
    list->first.assign(size_t{s} + 1, 0);
    list->pairs.clear();
    const float scale = static_cast<float>(d) / static_cast<float>(s);
    const float half = 0.5f / scale;
    const float fd = static_cast<float>(d);
    const float fs = static_cast<float>(s);
    // Each source pixel's tent spans about 2 * scale + 2 destination pixels.
    list->pairs.reserve(size_t(s) * (size_t(2.0f * scale) + 3));
    int64_t cur = 0;
    float w = 0.0f;
    auto emit = [&] {
      if (w > 0.00001f) list->pairs.push_back(WeightPair{static_cast<UINT>(cur), w});
    };
    for (UINT j = 0; j < s; ++j) {
      list->first[j] = static_cast<UINT>(list->pairs.size());
      for (int k = 0; k < 2; ++k) {
        const float a = static_cast<float>(j) + static_cast<float>(k) - 0.5f;
        float lo = a * scale;
        float hi = lo + scale;
        if (!wrap) {
          if (lo < 0.0f) lo = 0.0f;
          if (hi > fd) hi = fd;
        }
        for (int64_t t = FloorToInt(lo); static_cast<float>(t) < hi; ++t) {
          int64_t u = t < 0 ? t + d : (t >= int64_t{d} ? t - d : t);
          if (u != cur) {
            emit();
            w = 0.0f;
            cur = u;
          }
          const float ft = static_cast<float>(t);
          const float v = std::max(ft, lo);
          const float m = std::min(ft + 1.0f, hi);
          float b = (v + m) * half - a;
          if (!wrap) {
            if (a < 0.0f) b = 1.0f;
            if (a + 1.0f >= fs) b = 0.0f;
          }
          w += (m - v) * (k == 0 ? b : 1.0f - b);
        }
      }
      emit();
      w = 0.0f;
    }
    list->first[s] = static_cast<UINT>(list->pairs.size());
    return true;
  } catch (...) {
    return false;
  }
}

namespace {

// Step 1: the filter word's kind and reserved bits.
bool FilterValid(DWORD filter) {
  const DWORD kind = filter & kFilterKindMask;
  return kind >= D3DX_FILTER_NONE && kind <= D3DX_FILTER_BOX && (filter & kFilterInvalidBits) == 0;
}

// Step 2: gamma flags and dither table of the two sides.
void SetGammaAndDither(ImageView* dest, ImageView* src, DWORD filter) {
  src->gamma = (filter & kFilterSrgbIn) != 0;
  dest->gamma = (filter & kFilterSrgbOut) != 0;
  dest->dither = (filter & kFilterDither) ? kDitherOffsets : kPlainOffsets;
  dest->dithered = (filter & kFilterDither) != 0;
  src->dither = kPlainOffsets;
}

// Block and pair formats of one size and place are copied block by block.
bool CopyWholeBlocks(const ImageView& dest, const ImageView& src) {
  const bool blocks = IsBlockCodecFormat(src.format) || IsBlockCodecFormat(dest.format);
  if (!blocks || src.format != dest.format || src.keyOn || src.width != dest.width || src.height != dest.height ||
      src.depth != 1 || dest.depth != 1 || src.gamma != dest.gamma || src.columnOffset != dest.columnOffset ||
      src.rowOffset != dest.rowOffset) {
    return false;
  }
  const BlockShape shape = BlockShapeOf(src.format);
  const UINT blocksX = (src.columnOffset + src.width + shape.width - 1) / shape.width;
  const UINT blocksY = (src.rowOffset + src.height + shape.height - 1) / shape.height;
  for (UINT by = 0; by < blocksY; ++by) {
    std::memmove(dest.pixels + size_t(by) * dest.rowPitch, src.pixels + size_t(by) * src.rowPitch,
                 size_t(blocksX) * shape.bytes);
  }
  return true;
}

// A block or pair picture decoded to working pixels (see block_codec.h).
struct BlockStage {
  D3DFORMAT format = D3DFMT_UNKNOWN;
  BYTE* blocks = nullptr;
  UINT pitch = 0, blocksX = 0, blocksY = 0;
  size_t stride = 0;
  std::vector<Pixel> pixels;
};

// A staged view points into the stage, which dies with the conversion: put
// back what the caller described on the way out.
class ViewRestore {
 public:
  explicit ViewRestore(ImageView* v)
      : view_(v), format_(v->format), pixels_(v->pixels), rowPitch_(v->rowPitch), columnOffset_(v->columnOffset),
        rowOffset_(v->rowOffset) {}
  ViewRestore(const ViewRestore&) = delete;
  ViewRestore& operator=(const ViewRestore&) = delete;
  ~ViewRestore() {
    view_->format = format_;
    view_->pixels = pixels_;
    view_->rowPitch = rowPitch_;
    view_->columnOffset = columnOffset_;
    view_->rowOffset = rowOffset_;
  }

 private:
  ImageView* view_;
  D3DFORMAT format_;
  BYTE* pixels_;
  UINT rowPitch_, columnOffset_, rowOffset_;
};

// Decodes the view's blocks into `s` and points the view at the working
// pixels, as a plain A32B32G32R32F picture.
bool StageBlocks(ImageView* view, BlockStage* s) {
  const BlockShape shape = BlockShapeOf(view->format);
  s->format = view->format;
  s->blocks = view->pixels;
  s->pitch = view->rowPitch;
  s->blocksX = UINT((uint64_t(view->columnOffset) + view->width + shape.width - 1) / shape.width);
  s->blocksY = UINT((uint64_t(view->rowOffset) + view->height + shape.height - 1) / shape.height);
  s->stride = size_t(s->blocksX) * shape.width;
  try {
    s->pixels.resize(s->stride * s->blocksY * shape.height);
  } catch (...) {
    return false;
  }
  view->format = D3DFMT_A32B32G32R32F;
  if (s->pixels.empty()) {
    // An empty rectangle: nothing to decode, and no pixel to point at.
    s->blocksX = s->blocksY = 0;
    view->pixels = nullptr;
  } else {
    DecodeBlocks(s->format, s->blocks, s->pitch, s->blocksX, s->blocksY, s->pixels.data(), s->stride);
    view->pixels = reinterpret_cast<BYTE*>(s->pixels.data() + view->rowOffset * s->stride + view->columnOffset);
  }
  view->rowPitch = UINT(s->stride * sizeof(Pixel));
  view->columnOffset = view->rowOffset = 0;
  return true;
}

// The key becomes what a block of that colour decodes to.
void QuantiseBlockKey(ImageView* src) {
  Pixel block[16], back[16];
  std::fill(block, block + 16, src->key);
  BYTE encoded[16];
  EncodeBlocks(src->format, encoded, 16, 1, 1, block, BlockShapeOf(src->format).width);
  DecodeBlocks(src->format, encoded, 16, 1, 1, back, BlockShapeOf(src->format).width);
  src->key = back[0];
}

// Step 3 and 4: codecs, the conversion kind, gamma work and scratch row.
HRESULT PrepareCodecs(ImageView* dest, ImageView* src, bool srcBlocks, bool destBlocks) {
  if (!MakeCodec(dest) || !MakeCodec(src)) {
    DebugReport(0, "Unsupported image format");
    return E_FAIL;
  }
  // Staged pictures hold unsigned colour, whatever their working form.
  if (srcBlocks) src->kind = kKindUnsigned;
  if (destBlocks) dest->kind = kKindUnsigned;
  dest->conversion = (src->kind != dest->kind && dest->kind != kKindFloat) ? src->kind : kKindNone;
  const bool bothGamma = src->gamma && dest->gamma;
  src->gammaWork = dest->gammaWork = !bothGamma;
  if (dest->conversion != kKindNone || (dest->gamma && dest->gammaWork)) {
    try {
      dest->scratch.resize(dest->width);
    } catch (...) {
      return E_OUTOFMEMORY;
    }
  }
  return S_OK;
}

// Step 5: the first strategy that takes the job does it.
Strategy RunStrategies(const ImageView& dest, const ImageView& src, DWORD filter) {
  const DWORD low = filter & 0xFF;
  if (RawCopy(dest, src)) return Strategy::RawCopy;
  if (SameSize(dest, src)) return Strategy::SameSize;
  if (Unfiltered(dest, src, low)) return Strategy::Unfiltered;
  if (PointFilter(dest, src, low)) return Strategy::Point;
  if (BoxFilter(dest, src, low, false)) return Strategy::Box2D;
  if (BoxFilter(dest, src, low, true)) return Strategy::Box3D;
  if (LinearFilter(dest, src, filter, false)) return Strategy::Linear2D;
  if (LinearFilter(dest, src, filter, true)) return Strategy::Linear3D;
  if (TriangleFilter(dest, src, filter, false)) return Strategy::Triangle2D;
  if (TriangleFilter(dest, src, filter, true)) return Strategy::Triangle3D;
  return Strategy::None;
}

}  // namespace

HRESULT DispatchConversion(ImageView* dest, ImageView* src, DWORD filter, Strategy* used) {
  if (!FilterValid(filter)) {
    DebugReport(0, "Invalid image filter");
    return D3DERR_INVALIDCALL;
  }
  SetGammaAndDither(dest, src, filter);
  if (CopyWholeBlocks(*dest, *src)) {
    if (used != nullptr) *used = Strategy::RawCopy;
    return S_OK;
  }

  const bool srcBlocks = IsBlockCodecFormat(src->format);
  const bool destBlocks = IsBlockCodecFormat(dest->format);
  BlockStage srcStage, destStage;
  ViewRestore restoreSrc(src), restoreDest(dest);
  if (srcBlocks) {
    if (src->keyOn) QuantiseBlockKey(src);
    // Blocks are staged one slice deep: no device here makes volume
    // textures, so a deeper block image has nowhere to come from or go.
    if (src->depth != 1 || !StageBlocks(src, &srcStage)) {
      DebugReport(0, "Unsupported image format");
      return E_FAIL;
    }
  }
  if (destBlocks && (dest->depth != 1 || !StageBlocks(dest, &destStage))) {
    DebugReport(0, "Unsupported image format");
    return E_FAIL;
  }
  const HRESULT prepared = PrepareCodecs(dest, src, srcBlocks, destBlocks);
  if (FAILED(prepared)) return prepared;

  const Strategy done = RunStrategies(*dest, *src, filter);
  if (used != nullptr) *used = done;
  if (done == Strategy::None) {
    DebugReport(0, "No suitable image filter found");
    return E_FAIL;
  }
  if (destBlocks) {
    EncodeBlocks(destStage.format, destStage.blocks, destStage.pitch, destStage.blocksX, destStage.blocksY,
                 destStage.pixels.data(), destStage.stride);
  }
  return S_OK;
}

}  // namespace gfx

// block_codec.cpp — DXT1-DXT5 blocks and packed YUV / RGBG pixel pairs.
//
// DXT colours are 5:6:5 endpoints with two interpolated colours (or one and
// transparent black in DXT1's three-colour mode); DXT2/DXT3 carry explicit
// 4-bit alpha, DXT4/DXT5 interpolated 8-bit alpha; DXT2 and DXT4 store
// colour premultiplied by alpha. The encoder takes the bounding box of the
// block's colours as endpoints and the nearest palette entry per pixel:
// quick, and exact for blocks of one or two colours.
// YUV pairs use the BT.601 studio-range matrices; RGBG and GRGB share red
// and blue across a pair and keep green per pixel.
// Depends on: block_codec.h, gfx/byte_order.h.
#include "gfx/pixels/block_codec.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "gfx/byte_order.h"

namespace gfx {
namespace {

bool IsDxt(D3DFORMAT f) {
  return f == D3DFMT_DXT1 || f == D3DFMT_DXT2 || f == D3DFMT_DXT3 || f == D3DFMT_DXT4 || f == D3DFMT_DXT5;
}

// std::max(lo, v) answers lo for a NaN v.
float Clamp01(float v) { return std::min(std::max(0.0f, v), 1.0f); }

BYTE ToByte(float v01) { return static_cast<BYTE>(Clamp01(v01) * 255.0f + 0.5f); }

void Write16(BYTE* p, uint16_t v) {
  p[0] = BYTE(v);
  p[1] = BYTE(v >> 8);
}

Pixel From565(uint16_t v) {
  return Pixel{float(v >> 11) / 31.0f, float((v >> 5) & 63) / 63.0f, float(v & 31) / 31.0f, 1.0f};
}

uint16_t To565(const Pixel& p) {
  return static_cast<uint16_t>(uint16_t(Clamp01(p.r) * 31.0f + 0.5f) << 11 | uint16_t(Clamp01(p.g) * 63.0f + 0.5f) << 5 |
                               uint16_t(Clamp01(p.b) * 31.0f + 0.5f));
}

Pixel Mix(const Pixel& a, const Pixel& b, float wa, float wb, float div) {
  return Pixel{(a.r * wa + b.r * wb) / div, (a.g * wa + b.g * wb) / div, (a.b * wa + b.b * wb) / div, 1.0f};
}

// The four colours of a colour block; `threeColour` selects DXT1's mode
// with transparent black as the fourth.
void ColourPalette(uint16_t c0, uint16_t c1, bool allowThree, Pixel out[4]) {
  out[0] = From565(c0);
  out[1] = From565(c1);
  if (c0 > c1 || !allowThree) {
    out[2] = Mix(out[0], out[1], 2, 1, 3);
    out[3] = Mix(out[0], out[1], 1, 2, 3);
  } else {
    out[2] = Mix(out[0], out[1], 1, 1, 2);
    out[3] = Pixel{0, 0, 0, 0};
  }
}

void DecodeColourBlock(const BYTE* b, bool dxt1, Pixel px[16]) {
  Pixel palette[4];
  ColourPalette(Read16(b), Read16(b + 2), dxt1, palette);
  uint32_t bits = uint32_t(b[4]) | uint32_t(b[5]) << 8 | uint32_t(b[6]) << 16 | uint32_t(b[7]) << 24;
  for (int i = 0; i < 16; ++i) {
    const Pixel& c = palette[(bits >> (2 * i)) & 3];
    px[i].r = c.r;
    px[i].g = c.g;
    px[i].b = c.b;
    if (dxt1) px[i].a = c.a;
  }
}

float Distance2(const Pixel& a, const Pixel& b) {
  float dr = a.r - b.r, dg = a.g - b.g, db = a.b - b.b;
  return dr * dr + dg * dg + db * db;
}

void EncodeColourBlock(BYTE* b, bool dxt1, const Pixel px[16]) {
  bool transparent[16];
  bool anyTransparent = false;
  for (int i = 0; i < 16; ++i) {
    transparent[i] = dxt1 && !(px[i].a >= 0.5f);
    anyTransparent |= transparent[i];
  }
  // Endpoints: the two colours of the block farthest apart.
  Pixel lo{0, 0, 0, 1}, hi{0, 0, 0, 1};
  float widest = -1.0f;
  for (int i = 0; i < 16; ++i) {
    if (transparent[i]) continue;
    const Pixel a{Clamp01(px[i].r), Clamp01(px[i].g), Clamp01(px[i].b), 1};
    for (int j = i; j < 16; ++j) {
      if (transparent[j]) continue;
      const Pixel other{Clamp01(px[j].r), Clamp01(px[j].g), Clamp01(px[j].b), 1};
      const float d = Distance2(a, other);
      if (d > widest) {
        widest = d;
        hi = a;
        lo = other;
      }
    }
  }
  uint16_t c0 = To565(hi), c1 = To565(lo);
  if (anyTransparent) {
    if (c0 > c1) std::swap(c0, c1);  // three-colour mode
  } else if (c0 < c1) {
    std::swap(c0, c1);
  }
  Pixel palette[4];
  ColourPalette(c0, c1, dxt1, palette);
  const bool threeColour = dxt1 && c0 <= c1;
  uint32_t bits = 0;
  for (int i = 0; i < 16; ++i) {
    uint32_t index = 3;
    if (!transparent[i]) {
      const Pixel p{Clamp01(px[i].r), Clamp01(px[i].g), Clamp01(px[i].b), 1};
      float best = INFINITY;
      for (uint32_t k = 0; k < (threeColour ? 3u : 4u); ++k) {
        float d = Distance2(p, palette[k]);
        if (d < best) {
          best = d;
          index = k;
        }
      }
    }
    bits |= index << (2 * i);
  }
  Write16(b, c0);
  Write16(b + 2, c1);
  for (int i = 0; i < 4; ++i) b[4 + i] = BYTE(bits >> (8 * i));
}

void DecodeExplicitAlpha(const BYTE* b, Pixel px[16]) {
  for (int i = 0; i < 16; ++i) px[i].a = float((b[i / 2] >> (4 * (i & 1))) & 15) / 15.0f;
}

void EncodeExplicitAlpha(BYTE* b, const Pixel px[16]) {
  for (int i = 0; i < 8; ++i) b[i] = 0;
  for (int i = 0; i < 16; ++i) b[i / 2] |= BYTE(uint32_t(Clamp01(px[i].a) * 15.0f + 0.5f) << (4 * (i & 1)));
}

void AlphaPalette(BYTE a0, BYTE a1, float out[8]) {
  out[0] = a0 / 255.0f;
  out[1] = a1 / 255.0f;
  if (a0 > a1) {
    for (int i = 2; i < 8; ++i) out[i] = float((8 - i) * a0 + (i - 1) * a1) / 7.0f / 255.0f;
  } else {
    for (int i = 2; i < 6; ++i) out[i] = float((6 - i) * a0 + (i - 1) * a1) / 5.0f / 255.0f;
    out[6] = 0.0f;
    out[7] = 1.0f;
  }
}

void DecodeInterpolatedAlpha(const BYTE* b, Pixel px[16]) {
  float palette[8];
  AlphaPalette(b[0], b[1], palette);
  uint64_t bits = 0;
  for (int i = 0; i < 6; ++i) bits |= uint64_t(b[2 + i]) << (8 * i);
  for (int i = 0; i < 16; ++i) px[i].a = palette[(bits >> (3 * i)) & 7];
}

void EncodeInterpolatedAlpha(BYTE* b, const Pixel px[16]) {
  BYTE lo = 255, hi = 0;
  for (int i = 0; i < 16; ++i) {
    BYTE a = ToByte(px[i].a);
    lo = std::min(lo, a);
    hi = std::max(hi, a);
  }
  float palette[8];
  AlphaPalette(hi, lo, palette);
  const int count = hi > lo ? 8 : 2;
  uint64_t bits = 0;
  for (int i = 0; i < 16; ++i) {
    const float a = Clamp01(px[i].a);
    int best = 0;
    for (int k = 1; k < count; ++k) {
      if (std::fabs(palette[k] - a) < std::fabs(palette[best] - a)) best = k;
    }
    bits |= uint64_t(best) << (3 * i);
  }
  b[0] = hi;
  b[1] = lo;
  for (int i = 0; i < 6; ++i) b[2 + i] = BYTE(bits >> (8 * i));
}

void DecodeDxtBlock(D3DFORMAT f, const BYTE* b, Pixel px[16]) {
  for (int i = 0; i < 16; ++i) px[i].a = 1.0f;
  if (f == D3DFMT_DXT1) {
    DecodeColourBlock(b, true, px);
    return;
  }
  if (f == D3DFMT_DXT2 || f == D3DFMT_DXT3) {
    DecodeExplicitAlpha(b, px);
  } else {
    DecodeInterpolatedAlpha(b, px);
  }
  DecodeColourBlock(b + 8, false, px);
  if (f == D3DFMT_DXT2 || f == D3DFMT_DXT4) {
    for (int i = 0; i < 16; ++i) {
      const float a = px[i].a;
      if (a > 0.0f) {
        px[i].r = std::min(px[i].r / a, 1.0f);
        px[i].g = std::min(px[i].g / a, 1.0f);
        px[i].b = std::min(px[i].b / a, 1.0f);
      } else {
        px[i].r = px[i].g = px[i].b = 0.0f;
      }
    }
  }
}

void EncodeDxtBlock(D3DFORMAT f, BYTE* b, const Pixel in[16]) {
  if (f == D3DFMT_DXT1) {
    EncodeColourBlock(b, true, in);
    return;
  }
  Pixel px[16];
  for (int i = 0; i < 16; ++i) px[i] = in[i];
  if (f == D3DFMT_DXT2 || f == D3DFMT_DXT4) {
    for (int i = 0; i < 16; ++i) {
      const float a = Clamp01(px[i].a);
      px[i].r = Clamp01(px[i].r) * a;
      px[i].g = Clamp01(px[i].g) * a;
      px[i].b = Clamp01(px[i].b) * a;
    }
  }
  if (f == D3DFMT_DXT2 || f == D3DFMT_DXT3) {
    EncodeExplicitAlpha(b, px);
  } else {
    EncodeInterpolatedAlpha(b, px);
  }
  EncodeColourBlock(b + 8, false, px);
}

// --- pairs -------------------------------------------------------------------
// Byte positions of (first shared, first own, second shared, second own).
struct PairLayout {
  int shared0, own0, shared1, own1;
  bool yuv;
};

PairLayout PairOf(D3DFORMAT f) {
  switch (f) {
    case D3DFMT_UYVY:  // U Y0 V Y1
      return {0, 1, 2, 3, true};
    case D3DFMT_YUY2:  // Y0 U Y1 V
      return {1, 0, 3, 2, true};
    case D3DFMT_R8G8_B8G8:  // R G0 B G1
      return {0, 1, 2, 3, false};
    default:  // G8R8_G8B8: G0 R G1 B
      return {1, 0, 3, 2, false};
  }
}

Pixel FromYuv(float y, float u, float v) {
  const float c = y - 16.0f, d = u - 128.0f, e = v - 128.0f;
  return Pixel{Clamp01((1.164383f * c + 1.596027f * e) / 255.0f),
               Clamp01((1.164383f * c - 0.391762f * d - 0.812968f * e) / 255.0f),
               Clamp01((1.164383f * c + 2.017232f * d) / 255.0f), 1.0f};
}

BYTE Round255(float v) {
  const float c = std::min(std::max(0.0f, v), 255.0f);  // NaN becomes 0
  return static_cast<BYTE>(std::min(c + 0.5f, 255.0f));
}

void DecodePair(D3DFORMAT f, const BYTE* b, Pixel px[2]) {
  const PairLayout l = PairOf(f);
  if (l.yuv) {
    px[0] = FromYuv(b[l.own0], b[l.shared0], b[l.shared1]);
    px[1] = FromYuv(b[l.own1], b[l.shared0], b[l.shared1]);
  } else {
    px[0] = Pixel{b[l.shared0] / 255.0f, b[l.own0] / 255.0f, b[l.shared1] / 255.0f, 1.0f};
    px[1] = Pixel{b[l.shared0] / 255.0f, b[l.own1] / 255.0f, b[l.shared1] / 255.0f, 1.0f};
  }
}

void EncodePair(D3DFORMAT f, BYTE* b, const Pixel in[2]) {
  const PairLayout l = PairOf(f);
  Pixel p[2];
  for (int i = 0; i < 2; ++i) p[i] = Pixel{Clamp01(in[i].r), Clamp01(in[i].g), Clamp01(in[i].b), 1.0f};
  const float r = (p[0].r + p[1].r) * 0.5f, g = (p[0].g + p[1].g) * 0.5f, bl = (p[0].b + p[1].b) * 0.5f;
  if (l.yuv) {
    b[l.own0] = Round255(16.0f + 65.481f * p[0].r + 128.553f * p[0].g + 24.966f * p[0].b);
    b[l.own1] = Round255(16.0f + 65.481f * p[1].r + 128.553f * p[1].g + 24.966f * p[1].b);
    b[l.shared0] = Round255(128.0f - 37.797f * r - 74.203f * g + 112.0f * bl);
    b[l.shared1] = Round255(128.0f + 112.0f * r - 93.786f * g - 18.214f * bl);
  } else {
    b[l.shared0] = ToByte(r);
    b[l.own0] = ToByte(p[0].g);
    b[l.shared1] = ToByte(bl);
    b[l.own1] = ToByte(p[1].g);
  }
}

}  // namespace

bool IsBlockCodecFormat(D3DFORMAT f) {
  return IsDxt(f) || f == D3DFMT_UYVY || f == D3DFMT_YUY2 || f == D3DFMT_R8G8_B8G8 || f == D3DFMT_G8R8_G8B8;
}

BlockShape BlockShapeOf(D3DFORMAT f) {
  if (f == D3DFMT_DXT1) return {4, 4, 8};
  if (IsDxt(f)) return {4, 4, 16};
  return {2, 1, 4};
}

void DecodeBlocks(D3DFORMAT format, const BYTE* blocks, UINT pitch, UINT blocksX, UINT blocksY, Pixel* out,
                  size_t stride) {
  const BlockShape s = BlockShapeOf(format);
  Pixel px[16];
  for (UINT by = 0; by < blocksY; ++by) {
    const BYTE* row = blocks + size_t(by) * pitch;
    for (UINT bx = 0; bx < blocksX; ++bx) {
      const BYTE* b = row + size_t(bx) * s.bytes;
      if (IsDxt(format)) {
        DecodeDxtBlock(format, b, px);
      } else {
        DecodePair(format, b, px);
      }
      for (UINT y = 0; y < s.height; ++y)
        for (UINT x = 0; x < s.width; ++x)
          out[(size_t(by) * s.height + y) * stride + size_t(bx) * s.width + x] = px[y * s.width + x];
    }
  }
}

void EncodeBlocks(D3DFORMAT format, BYTE* blocks, UINT pitch, UINT blocksX, UINT blocksY, const Pixel* in,
                  size_t stride) {
  const BlockShape s = BlockShapeOf(format);
  Pixel px[16];
  for (UINT by = 0; by < blocksY; ++by) {
    BYTE* row = blocks + size_t(by) * pitch;
    for (UINT bx = 0; bx < blocksX; ++bx) {
      for (UINT y = 0; y < s.height; ++y)
        for (UINT x = 0; x < s.width; ++x)
          px[y * s.width + x] = in[(size_t(by) * s.height + y) * stride + size_t(bx) * s.width + x];
      BYTE* b = row + size_t(bx) * s.bytes;
      if (IsDxt(format)) {
        EncodeDxtBlock(format, b, px);
      } else {
        EncodePair(format, b, px);
      }
    }
  }
}

}  // namespace gfx

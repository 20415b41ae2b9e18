// Tests of the texture size, level and format rules with capabilities given
// directly, so every capability bit and limit can be tried.
#include "gfx/load/format_rules.h"

#include <gtest/gtest.h>

#include <set>

namespace {

D3DCAPS9 Caps(DWORD textureCaps, DWORD aspect = 0, DWORD maxSize = 8192) {
  D3DCAPS9 caps{};
  caps.TextureCaps = textureCaps | D3DPTEXTURECAPS_MIPMAP | D3DPTEXTURECAPS_MIPCUBEMAP | D3DPTEXTURECAPS_MIPVOLUMEMAP;
  caps.MaxTextureWidth = caps.MaxTextureHeight = maxSize;
  caps.MaxVolumeExtent = 2048;
  caps.MaxTextureAspectRatio = aspect;
  return caps;
}

struct Size {
  UINT w, h, d, levels;
  bool operator==(const Size&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Size& s) {
  return os << s.w << "x" << s.h << "x" << s.d << " levels " << s.levels;
}

Size Settle(const D3DCAPS9* caps, UINT w, UINT h, UINT levels, DWORD usage = 0, D3DFORMAT format = D3DFMT_A8R8G8B8,
            D3DRESOURCETYPE type = D3DRTYPE_TEXTURE, UINT d = 1) {
  gfx::ApplySizeRules(caps, &w, &h, &d, &levels, usage, format, type);
  return Size{w, h, d, levels};
}

TEST(SizeRules, PowerOfTwoCap) {
  const D3DCAPS9 pow2 = Caps(D3DPTEXTURECAPS_POW2), free = Caps(0);
  EXPECT_EQ(Settle(&pow2, 88, 88, 0), (Size{128, 128, 1, 8}));
  EXPECT_EQ(Settle(&free, 88, 88, 0), (Size{88, 88, 1, 7}));
  // The game's other bitmaps.
  EXPECT_EQ(Settle(&pow2, 440, 88, 0), (Size{512, 128, 1, 10}));
  EXPECT_EQ(Settle(&pow2, 880, 88, 0), (Size{1024, 128, 1, 11}));
  EXPECT_EQ(Settle(&pow2, 792, 640, 0), (Size{1024, 1024, 1, 11}));
  EXPECT_EQ(Settle(&free, 880, 88, 0), (Size{880, 88, 1, 10}));
  EXPECT_EQ(Settle(&free, 616, 88, 0), (Size{616, 88, 1, 10}));
  EXPECT_EQ(Settle(&free, 352, 88, 0), (Size{352, 88, 1, 9}));
  EXPECT_EQ(Settle(&free, 792, 640, 0), (Size{792, 640, 1, 10}));
}

TEST(SizeRules, NonPowerOfTwoConditional) {
  const D3DCAPS9 both = Caps(D3DPTEXTURECAPS_POW2 | D3DPTEXTURECAPS_NONPOW2CONDITIONAL);
  EXPECT_EQ(Settle(&both, 88, 88, 1), (Size{88, 88, 1, 1}));
  EXPECT_EQ(Settle(&both, 88, 88, 0), (Size{128, 128, 1, 8}));
  const D3DCAPS9 conditionalOnly = Caps(D3DPTEXTURECAPS_NONPOW2CONDITIONAL);
  EXPECT_EQ(Settle(&conditionalOnly, 88, 88, 0), (Size{88, 88, 1, 1}));
  EXPECT_EQ(Settle(&conditionalOnly, 64, 32, 0), (Size{64, 32, 1, 7}));
}

TEST(SizeRules, SquareOnlyAndAspectRatio) {
  const D3DCAPS9 square = Caps(D3DPTEXTURECAPS_SQUAREONLY);
  EXPECT_EQ(Settle(&square, 880, 88, 0).w, 88u);
  const D3DCAPS9 squarePow2 = Caps(D3DPTEXTURECAPS_SQUAREONLY | D3DPTEXTURECAPS_POW2);
  EXPECT_EQ(Settle(&squarePow2, 880, 88, 0), (Size{128, 128, 1, 8}));
  const D3DCAPS9 aspect = Caps(0, 8);
  EXPECT_EQ(Settle(&aspect, 880, 88, 0), (Size{704, 88, 1, 10}));
  EXPECT_EQ(Settle(&aspect, 88, 880, 0), (Size{88, 704, 1, 10}));
  const D3DCAPS9 aspectPow2 = Caps(D3DPTEXTURECAPS_POW2, 8);
  EXPECT_EQ(Settle(&aspectPow2, 880, 88, 0), (Size{1024, 128, 1, 11}));
  const D3DCAPS9 small = Caps(0, 0, 256);
  EXPECT_EQ(Settle(&small, 880, 88, 0), (Size{256, 88, 1, 9}));
}

TEST(SizeRules, SpecialSizesAndLevelCounts) {
  const D3DCAPS9 free = Caps(0);
  EXPECT_EQ(Settle(&free, 0xFFFFFFFF, 0xFFFFFFFF, 0), (Size{256, 256, 1, 9}));
  EXPECT_EQ(Settle(nullptr, 0, 5, 1), (Size{1, 5, 1, 1}));
  EXPECT_EQ(Settle(&free, 0xFFFFFFFF, 40, 1), (Size{40, 40, 1, 1}));
  EXPECT_EQ(Settle(&free, 88, 88, 3).levels, 3u);
  EXPECT_EQ(Settle(&free, 88, 88, 20).levels, 7u);
  const D3DCAPS9 pow2 = Caps(D3DPTEXTURECAPS_POW2);
  EXPECT_EQ(Settle(&pow2, 88, 88, 20).levels, 8u);
  EXPECT_EQ(Settle(&free, 88, 88, 0, D3DUSAGE_AUTOGENMIPMAP).levels, 0u);
  EXPECT_EQ(Settle(&free, 88, 88, 3, D3DUSAGE_AUTOGENMIPMAP).levels, 0u);
  EXPECT_EQ(Settle(&free, 88, 88, 1, D3DUSAGE_AUTOGENMIPMAP).levels, 1u);
  D3DCAPS9 noMips = Caps(0);
  noMips.TextureCaps &= ~D3DPTEXTURECAPS_MIPMAP;
  EXPECT_EQ(Settle(&noMips, 88, 88, 0).levels, 1u);
}

TEST(SizeRules, BlockFormatsCubesAndVolumes) {
  const D3DCAPS9 free = Caps(0), pow2 = Caps(D3DPTEXTURECAPS_POW2);
  EXPECT_EQ(Settle(&free, 6, 6, 1, 0, D3DFMT_DXT1), (Size{8, 8, 1, 1}));
  EXPECT_EQ(Settle(&pow2, 6, 6, 1, 0, D3DFMT_DXT5), (Size{8, 8, 1, 1}));
  EXPECT_EQ(Settle(nullptr, 0xFFFFFFFD, 1, 1, 0, D3DFMT_DXT1).w, 0xFFFFFFFCu);  // never wraps to 0
  // A cube takes the larger side; the texture power-of-two cap is not its.
  EXPECT_EQ(Settle(&pow2, 40, 88, 0, 0, D3DFMT_A8R8G8B8, D3DRTYPE_CUBETEXTURE), (Size{88, 88, 1, 7}));
  const D3DCAPS9 cubePow2 = Caps(D3DPTEXTURECAPS_CUBEMAP_POW2);
  EXPECT_EQ(Settle(&cubePow2, 40, 88, 0, 0, D3DFMT_A8R8G8B8, D3DRTYPE_CUBETEXTURE), (Size{128, 128, 1, 8}));
  const D3DCAPS9 volumePow2 = Caps(D3DPTEXTURECAPS_VOLUMEMAP_POW2);
  EXPECT_EQ(Settle(&volumePow2, 3, 5, 0, 0, D3DFMT_A8R8G8B8, D3DRTYPE_VOLUMETEXTURE, 33), (Size{4, 8, 64, 7}));
  EXPECT_EQ(Settle(&free, 4000, 4, 0, 0, D3DFMT_A8R8G8B8, D3DRTYPE_VOLUMETEXTURE, 0), (Size{2048, 4, 1, 12}));
}

std::set<D3DFORMAT> All(std::initializer_list<D3DFORMAT> except) {
  std::set<D3DFORMAT> s;
  for (const auto& row : gfx::FormatTable()) s.insert(row.format);
  for (D3DFORMAT f : except) s.erase(f);
  return s;
}

D3DFORMAT Closest(D3DFORMAT wanted, const std::set<D3DFORMAT>& supported) {
  return gfx::ClosestFormatAmong(gfx::LookupFormat(wanted),
                                 [&](D3DFORMAT f) { return supported.count(f) != 0; });
}

TEST(ClosestFormat, SubstitutesForA8R8G8B8RankInOrder) {
  std::set<D3DFORMAT> s = All({D3DFMT_A8R8G8B8});
  const D3DFORMAT ranking[] = {D3DFMT_A8B8G8R8,   D3DFMT_A16B16G16R16, D3DFMT_A2B10G10R10, D3DFMT_A2R10G10B10,
                               D3DFMT_A1R5G5B5,   D3DFMT_A4R4G4B4,     D3DFMT_A8R3G3B2,    D3DFMT_X8R8G8B8};
  for (D3DFORMAT expected : ranking) {
    EXPECT_EQ(Closest(D3DFMT_A8R8G8B8, s), expected);
    s.erase(expected);
  }
  EXPECT_EQ(Closest(D3DFMT_A8R8G8B8, All({})), D3DFMT_A8R8G8B8);
}

TEST(ClosestFormat, ClassesAndRefusals) {
  // Palettised asks may be served by colour; signed only by signed.
  EXPECT_EQ(Closest(D3DFMT_P8, All({D3DFMT_P8, D3DFMT_A8P8})), D3DFMT_A8R8G8B8);
  // V16U16 is only wider (16), X8L8V8U8 adds a channel (256).
  EXPECT_EQ(Closest(D3DFMT_V8U8, All({D3DFMT_V8U8})), D3DFMT_V16U16);
  EXPECT_EQ(Closest(D3DFMT_V8U8, All({D3DFMT_V8U8, D3DFMT_V16U16})), D3DFMT_X8L8V8U8);
  EXPECT_EQ(Closest(D3DFMT_V8U8, {D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8}), D3DFMT_UNKNOWN);
  EXPECT_EQ(Closest(D3DFMT_L8, {D3DFMT_X8R8G8B8, D3DFMT_A8L8}), D3DFMT_X8R8G8B8);
  // Equal distance: fewer bits win.
  EXPECT_EQ(Closest(D3DFMT_L8, {D3DFMT_A8R8G8B8, D3DFMT_A8L8}), D3DFMT_A8L8);
  // A candidate lacking every channel the wanted format has is no match.
  EXPECT_EQ(Closest(D3DFMT_A8, {D3DFMT_X8R8G8B8, D3DFMT_R5G6B5}), D3DFMT_UNKNOWN);
  // Rows that may not be offered are taken only when asked for by name.
  EXPECT_EQ(Closest(D3DFMT_R8G8B8, {D3DFMT_R8G8B8, D3DFMT_X8R8G8B8}), D3DFMT_R8G8B8);
  EXPECT_EQ(Closest(D3DFMT_X8R8G8B8, {D3DFMT_R8G8B8}), D3DFMT_UNKNOWN);
  // An unknown format reads as A8R8G8B8 and is never offered.
  const gfx::FormatRow unknown = gfx::LookupFormat(static_cast<D3DFORMAT>(12345));
  EXPECT_EQ(unknown.bits, 32);
  EXPECT_FALSE(unknown.substitute);
  EXPECT_EQ(Closest(static_cast<D3DFORMAT>(12345), All({})), D3DFMT_A8R8G8B8);
  // With no device every row passes.
  EXPECT_EQ(gfx::FindClosestDeviceFormat(nullptr, 0, D3DRTYPE_TEXTURE, gfx::LookupFormat(D3DFMT_R8G8B8)),
            D3DFMT_R8G8B8);
}

TEST(Requirements, ArgumentChecks) {
  UINT w = 88, h = 88, levels = 0;
  D3DFORMAT format = D3DFMT_A8R8G8B8;
  EXPECT_EQ(D3DXCheckTextureRequirements(nullptr, &w, &h, &levels, 0, &format, D3DPOOL_MANAGED), D3DERR_INVALIDCALL);
  EXPECT_EQ(w, 88u);  // nothing written back on failure
}

}  // namespace

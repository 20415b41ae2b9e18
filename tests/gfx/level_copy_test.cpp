// The texture road's direct level copy against the general level loader:
// every row copy it takes on (R8G8B8 widened to X8R8G8B8 or A8R8G8B8, the
// plain copy, X8R8G8B8 into A8R8G8B8) must leave exactly the bytes the
// loader leaves, at every width and pitch; and a colour key, a filter, a
// gamma flag or a size change must leave the work to the loader.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "gfx/gfx.h"
#include "gfx/formats/image_decoders.h"
#include "gfx/pixels/level_copy.h"
#include "tests/gfx/memory_surface.h"
#include "tests/gfx/png_fixtures.h"
#include "tests/gfx/texture_device.h"

namespace {

using gfxtest::MemorySurface;
using pngtest::Bytes;

// A decoded picture of random bytes whose rows are `extra` bytes longer
// than its pixels.
struct Source {
  Bytes bytes;
  gfx::DecodedImage image;

  Source(D3DFORMAT format, UINT bytesPerPixel, UINT width, UINT height, UINT extra, uint32_t seed) {
    const UINT pitch = width * bytesPerPixel + extra;
    bytes.resize(size_t(pitch) * height);
    std::mt19937 rng(seed);
    for (BYTE& b : bytes) b = BYTE(rng());
    image.format = format;
    image.pixels = bytes.data();
    image.width = width;
    image.height = height;
    image.depth = 1;
    image.rect = gfx::ImageBox{0, 0, width, height, 0, 1};
    image.rowPitch = pitch;
    image.slicePitch = UINT(bytes.size());
  }
};

HRESULT LoadGenerally(MemorySurface* surface, const gfx::DecodedImage& image, DWORD filter, D3DCOLOR key) {
  const RECT all{0, 0, LONG(image.width), LONG(image.height)};
  return D3DXLoadSurfaceFromMemory(surface, nullptr, nullptr, image.pixels, image.format, image.rowPitch, nullptr,
                                   &all, filter, key);
}

struct Conversion {
  D3DFORMAT from;
  UINT fromBytes;
  D3DFORMAT to;
};

TEST(LevelCopy, EveryRowCopyLeavesTheLoadersBytes) {
  const Conversion conversions[] = {{D3DFMT_R8G8B8, 3, D3DFMT_X8R8G8B8},
                                    {D3DFMT_R8G8B8, 3, D3DFMT_A8R8G8B8},
                                    {D3DFMT_X8R8G8B8, 4, D3DFMT_A8R8G8B8},
                                    {D3DFMT_A8R8G8B8, 4, D3DFMT_A8R8G8B8},
                                    {D3DFMT_R8G8B8, 3, D3DFMT_R8G8B8}};
  int cases = 0;
  for (const Conversion& c : conversions) {
    const UINT toBytes = c.to == D3DFMT_R8G8B8 ? 3 : 4;
    // Widths either side of every step of a four- or sixteen-byte loop.
    for (UINT width : {1u, 2u, 3u, 4u, 5u, 6u, 7u, 8u, 9u, 10u, 13u, 17u, 31u, 64u}) {
      for (UINT height : {1u, 3u}) {
        for (UINT sourceExtra : {0u, 1u, 7u}) {
          for (UINT destExtra : {0u, 12u}) {
            for (DWORD filter : {DWORD(D3DX_FILTER_NONE), DWORD(D3DX_FILTER_NONE | D3DX_FILTER_DITHER)}) {
              SCOPED_TRACE(testing::Message() << "format " << c.from << " to " << c.to << ", " << width << " x "
                                              << height << ", extra " << sourceExtra << "/" << destExtra
                                              << ", filter " << filter);
              Source src(c.from, c.fromBytes, width, height, sourceExtra, width * 131 + height + sourceExtra);
              MemorySurface direct(width, height, c.to, toBytes), general(width, height, c.to, toBytes);
              direct.PadRows(destExtra);
              general.PadRows(destExtra);
              HRESULT copied = E_FAIL;
              ASSERT_TRUE(gfx::CopyLevelDirectly(&direct, src.image, filter, 0, &copied));
              EXPECT_EQ(copied, S_OK);
              ASSERT_EQ(LoadGenerally(&general, src.image, filter, 0), S_OK);
              ASSERT_TRUE(direct.Contents() == general.Contents()) << "bytes differ";
              EXPECT_EQ(direct.locks, 1);
              EXPECT_EQ(direct.unlocks, 1);
              ++cases;
            }
          }
        }
      }
    }
  }
  EXPECT_EQ(cases, 5 * 14 * 2 * 3 * 2 * 2);
}

TEST(LevelCopy, KeyFilterGammaSizeOrFormatLeaveTheWorkToTheLoader) {
  Source src(D3DFMT_R8G8B8, 3, 5, 3, 1, 9);
  struct Refused {
    const char* why;
    UINT width, height;
    D3DFORMAT to;
    DWORD filter;
    D3DCOLOR key;
  };
  const Refused refused[] = {
      {"colour key", 5, 3, D3DFMT_A8R8G8B8, D3DX_FILTER_NONE, 0xFF112233},
      {"point filter", 5, 3, D3DFMT_A8R8G8B8, D3DX_FILTER_POINT, 0},
      {"triangle filter", 5, 3, D3DFMT_X8R8G8B8, D3DX_FILTER_TRIANGLE, 0},
      {"gamma", 5, 3, D3DFMT_X8R8G8B8, D3DX_FILTER_NONE | D3DX_FILTER_SRGB_IN, 0},
      {"reserved filter bits", 5, 3, D3DFMT_X8R8G8B8, D3DX_FILTER_NONE | 0x80000000u, 0},
      {"wider level", 6, 3, D3DFMT_X8R8G8B8, D3DX_FILTER_NONE, 0},
      {"shorter level", 5, 2, D3DFMT_X8R8G8B8, D3DX_FILTER_NONE, 0},
      {"16-bit level", 5, 3, D3DFMT_R5G6B5, D3DX_FILTER_NONE, 0},
  };
  for (const Refused& r : refused) {
    SCOPED_TRACE(r.why);
    MemorySurface surface(r.width, r.height, r.to, r.to == D3DFMT_R5G6B5 ? 2 : 4);
    HRESULT copied = 12345;
    EXPECT_FALSE(gfx::CopyLevelDirectly(&surface, src.image, r.filter, r.key, &copied));
    EXPECT_EQ(copied, 12345);
    EXPECT_EQ(surface.locks, 0);
  }
  // A locked-out level is the loader's to report.
  MemorySurface locked(5, 3, D3DFMT_X8R8G8B8, 4);
  locked.failLock = true;
  HRESULT copied = S_OK;
  EXPECT_FALSE(gfx::CopyLevelDirectly(&locked, src.image, D3DX_FILTER_NONE, 0, &copied));
}

// --- Through the texture road -------------------------------------------------

// An RGB PNG of unfiltered rows.
Bytes RgbPng(UINT width, UINT height, const Bytes& rgb) {
  Bytes file = pngtest::Header(width, height, 2);
  Bytes rows;
  for (UINT y = 0; y < height; ++y) {
    rows.push_back(0);
    rows.insert(rows.end(), rgb.begin() + long(y) * width * 3, rgb.begin() + long(y + 1) * width * 3);
  }
  pngtest::PutChunk(&file, "IDAT", pngtest::Deflated(rows));
  pngtest::PutChunk(&file, "IEND", {});
  return file;
}

class LevelCopyTexture : public texture_test::DeviceTest {};

TEST_F(LevelCopyTexture, RgbPngFillsTheTextureAsTheLoaderWithOrWithoutKey) {
  StartDevice("default");
  constexpr D3DCOLOR kKey = 0xFF204060;
  for (UINT width : {1u, 7u, 13u}) {
    for (D3DFORMAT format : {D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_UNKNOWN}) {
      for (D3DCOLOR key : {D3DCOLOR(0), kKey}) {
        SCOPED_TRACE(testing::Message() << "width " << width << ", format " << format << ", key " << key);
        const UINT height = 3;
        // Random colours, every third pixel the key's.
        Bytes rgb(size_t(width) * height * 3);
        std::mt19937 rng(width);
        for (size_t i = 0; i < rgb.size(); i += 3) {
          const bool keyed = (i / 3) % 3 == 0;
          rgb[i] = keyed ? 0x20 : BYTE(rng());
          rgb[i + 1] = keyed ? 0x40 : BYTE(rng());
          rgb[i + 2] = keyed ? 0x60 : BYTE(rng());
        }
        const Bytes file = RgbPng(width, height, rgb);
        IDirect3DTexture9* texture = nullptr;
        ASSERT_EQ(D3DXCreateTextureFromFileInMemoryEx(device_, file.data(), UINT(file.size()), D3DX_DEFAULT_NONPOW2,
                                                      D3DX_DEFAULT_NONPOW2, 1, 0, format, D3DPOOL_MANAGED,
                                                      D3DX_FILTER_NONE, D3DX_FILTER_NONE, key, nullptr, nullptr,
                                                      &texture),
                  S_OK);
        D3DSURFACE_DESC desc{};
        texture->GetLevelDesc(0, &desc);
        std::vector<uint32_t> level;
        UINT w = 0, h = 0;
        ASSERT_TRUE(texture_test::ReadLevel(texture, 0, &level, &w, &h));
        texture->Release();
        ASSERT_EQ(w, width);
        ASSERT_EQ(h, height);

        // The general loader, from the decoder's own picture, into a level
        // of the format the texture was given.
        gfx::DecodedImage image;
        gfx::ImageGuard guard(&image);
        ASSERT_EQ(gfx::DecodePng(&image, file.data(), file.size()), S_OK);
        ASSERT_EQ(image.format, D3DFMT_R8G8B8);
        MemorySurface general(width, height, desc.Format, 4);
        ASSERT_EQ(LoadGenerally(&general, image, D3DX_FILTER_NONE, key), S_OK);
        for (UINT y = 0; y < height; ++y) {
          for (UINT x = 0; x < width; ++x) {
            ASSERT_EQ(level[size_t(y) * width + x], general.Pixel32(x, y)) << "at " << x << ", " << y;
          }
        }
        // A keyed pixel is cleared (alpha stays opaque where the level has
        // none); unkeyed, it keeps its colour.
        const uint32_t cleared = desc.Format == D3DFMT_A8R8G8B8 ? 0u : 0xFF000000u;
        EXPECT_EQ(level[0], key != 0 ? cleared : 0xFF204060u);
      }
    }
  }
}

}  // namespace

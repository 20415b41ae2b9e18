// The decoders of PNG, JPEG, TGA, PPM and DDS files against fixtures made by
// independent encoders (tests/data/images, see make_fixtures.py there):
// every good file loads through the file-in-memory road to its reference
// picture, every corrupt one is refused without a crash, and each decoder
// describes its images as callers expect.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "gfx/gfx.h"
#include "tests/gfx/image_fixtures.h"
#include "tests/gfx/memory_surface.h"

namespace {

using namespace image_fixtures;

// Loads a file through D3DXLoadSurfaceFromFileInMemory into an A8R8G8B8
// surface of its own size, with no filtering.
HRESULT LoadPicture(const std::vector<BYTE>& bytes, gfxtest::MemorySurface* surface, D3DXIMAGE_INFO* info) {
  return D3DXLoadSurfaceFromFileInMemory(surface, nullptr, nullptr, bytes.data(), UINT(bytes.size()), nullptr,
                                         D3DX_FILTER_NONE, 0, info);
}

// Checks every file of a folder; returns how many good and bad files it saw.
void CheckFolder(const std::string& folder, int* goodCount, int* badCount) {
  const std::vector<Entry> entries = Manifest(folder);
  ASSERT_FALSE(entries.empty()) << "no manifest in " << (DataFolder() / folder);
  for (const Entry& e : entries) {
    SCOPED_TRACE(folder + "/" + e.file);
    const std::vector<BYTE> bytes = ReadBytes(DataFolder() / folder / e.file);
    ASSERT_FALSE(bytes.empty());
    if (e.Refused()) {
      gfxtest::MemorySurface surface(4, 4, D3DFMT_A8R8G8B8, 4);
      EXPECT_EQ(LoadPicture(bytes, &surface, nullptr), D3DXERR_INVALIDDATA);
      D3DXIMAGE_INFO info{};
      // The description alone may pass (it does not decode), but must not crash.
      (void)D3DXGetImageInfoFromFileInMemory(bytes.data(), UINT(bytes.size()), &info);
      ++*badCount;
      continue;
    }
    D3DXIMAGE_INFO described{};
    ASSERT_EQ(D3DXGetImageInfoFromFileInMemory(bytes.data(), UINT(bytes.size()), &described), S_OK);
    EXPECT_EQ(described.Width, e.width);
    EXPECT_EQ(described.Height, e.height);

    gfxtest::MemorySurface surface(e.width, e.height, D3DFMT_A8R8G8B8, 4);
    D3DXIMAGE_INFO info{};
    ASSERT_EQ(LoadPicture(bytes, &surface, &info), S_OK);
    EXPECT_EQ(info.Format, described.Format);
    EXPECT_EQ(CompareWithReference(folder, e, [&](UINT x, UINT y) { return surface.Pixel32(x, y); }), "");
    ++*goodCount;
  }
}

TEST(ImageFormats, PngSuiteAndGeneratedPngsDecodeOrAreRefused) {
  int good = 0, bad = 0;
  CheckFolder("png", &good, &bad);
  EXPECT_GE(good, 80);
  EXPECT_GE(bad, 20);
}

TEST(ImageFormats, JpegsOfEverySubsamplingGreyAndProgressiveDecode) {
  int good = 0, bad = 0;
  CheckFolder("jpeg", &good, &bad);
  EXPECT_GE(good, 25);
  EXPECT_GE(bad, 4);
}

TEST(ImageFormats, TgaEveryDepthMapAndOrigin) {
  int good = 0, bad = 0;
  CheckFolder("tga", &good, &bad);
  EXPECT_GE(good, 60);
  EXPECT_GE(bad, 3);
}

TEST(ImageFormats, PpmTextAndRawEveryMaxval) {
  int good = 0, bad = 0;
  CheckFolder("ppm", &good, &bad);
  EXPECT_GE(good, 15);
  EXPECT_GE(bad, 8);
}

TEST(ImageFormats, DdsFormatsChainsCubesAndVolumes) {
  int good = 0, bad = 0;
  CheckFolder("dds", &good, &bad);
  EXPECT_GE(good, 15);
  EXPECT_GE(bad, 6);
}

D3DXIMAGE_INFO Describe(const std::string& path) {
  const std::vector<BYTE> bytes = ReadBytes(DataFolder() / path);
  D3DXIMAGE_INFO info{};
  EXPECT_EQ(D3DXGetImageInfoFromFileInMemory(bytes.data(), UINT(bytes.size()), &info), S_OK) << path;
  return info;
}

TEST(ImageFormats, DescriptionsNameFormatLevelsTypeAndFileFormat) {
  struct Case {
    const char* path;
    D3DFORMAT format;
    UINT depth, levels;
    D3DRESOURCETYPE type;
    D3DXIMAGE_FILEFORMAT file;
  } cases[] = {
      {"png/gen-c6-d8.png", D3DFMT_A8R8G8B8, 1, 1, D3DRTYPE_TEXTURE, D3DXIFF_PNG},
      {"png/gen-c2-d8.png", D3DFMT_R8G8B8, 1, 1, D3DRTYPE_TEXTURE, D3DXIFF_PNG},
      {"png/gen-c2-d16.png", D3DFMT_R8G8B8, 1, 1, D3DRTYPE_TEXTURE, D3DXIFF_PNG},  // 48-bit intermediate
      {"png/gen-c4-d16.png", D3DFMT_A8L8, 1, 1, D3DRTYPE_TEXTURE, D3DXIFF_PNG},    // 16-bit grey + alpha
      {"png/gen-c0-d16.png", D3DFMT_L16, 1, 1, D3DRTYPE_TEXTURE, D3DXIFF_PNG},
      {"png/gen-c6-d16.png", D3DFMT_A16B16G16R16, 1, 1, D3DRTYPE_TEXTURE, D3DXIFF_PNG},
      {"png/gen-c3-d8-trns.png", D3DFMT_P8, 1, 1, D3DRTYPE_TEXTURE, D3DXIFF_PNG},
      {"png/gen-c0-d8-trns.png", D3DFMT_A8L8, 1, 1, D3DRTYPE_TEXTURE, D3DXIFF_PNG},
      {"jpeg/pil-420.jpg", D3DFMT_X8R8G8B8, 1, 1, D3DRTYPE_TEXTURE, D3DXIFF_JPG},
      {"jpeg/pil-grey.jpg", D3DFMT_L8, 1, 1, D3DRTYPE_TEXTURE, D3DXIFF_JPG},
      {"tga/tc32-raw-bottom.tga", D3DFMT_A8R8G8B8, 1, 1, D3DRTYPE_TEXTURE, D3DXIFF_TGA},
      {"tga/tc16a0-rle-top.tga", D3DFMT_X1R5G5B5, 1, 1, D3DRTYPE_TEXTURE, D3DXIFF_TGA},
      {"tga/cm24-rle-top.tga", D3DFMT_P8, 1, 1, D3DRTYPE_TEXTURE, D3DXIFF_TGA},
      {"ppm/p6-max255.ppm", D3DFMT_R8G8B8, 1, 1, D3DRTYPE_TEXTURE, D3DXIFF_PPM},
      {"ppm/p3-max65535.ppm", D3DFMT_R8G8B8, 1, 1, D3DRTYPE_TEXTURE, D3DXIFF_PPM},
      {"dds/mips3.dds", D3DFMT_A8R8G8B8, 1, 3, D3DRTYPE_TEXTURE, D3DXIFF_DDS},
      {"dds/im-dxt5.dds", D3DFMT_DXT5, 1, 1, D3DRTYPE_TEXTURE, D3DXIFF_DDS},
      {"dds/cube.dds", D3DFMT_A8R8G8B8, 1, 1, D3DRTYPE_CUBETEXTURE, D3DXIFF_DDS},
      {"dds/volume.dds", D3DFMT_A8R8G8B8, 3, 1, D3DRTYPE_VOLUMETEXTURE, D3DXIFF_DDS},
      {"dds/a32b32g32r32f.dds", D3DFMT_A32B32G32R32F, 1, 1, D3DRTYPE_TEXTURE, D3DXIFF_DDS},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    const D3DXIMAGE_INFO info = Describe(c.path);
    EXPECT_EQ(info.Format, c.format);
    EXPECT_EQ(info.Depth, c.depth);
    EXPECT_EQ(info.MipLevels, c.levels);
    EXPECT_EQ(info.ResourceType, c.type);
    EXPECT_EQ(info.ImageFileFormat, c.file);
  }
}

TEST(ImageFormats, SurfaceRectangleMustLieInsideThePicture) {
  const std::vector<BYTE> bytes = ReadBytes(DataFolder() / "ppm/p6-max255.ppm");
  gfxtest::MemorySurface surface(4, 4, D3DFMT_A8R8G8B8, 4);
  const RECT outside{0, 0, 8, 5};
  EXPECT_EQ(D3DXLoadSurfaceFromFileInMemory(&surface, nullptr, nullptr, bytes.data(), UINT(bytes.size()), &outside,
                                            D3DX_FILTER_NONE, 0, nullptr),
            D3DERR_INVALIDCALL);
  const RECT inside{3, 1, 7, 5};
  EXPECT_EQ(D3DXLoadSurfaceFromFileInMemory(&surface, nullptr, nullptr, bytes.data(), UINT(bytes.size()), &inside,
                                            D3DX_FILTER_NONE, 0, nullptr),
            S_OK);
}

}  // namespace

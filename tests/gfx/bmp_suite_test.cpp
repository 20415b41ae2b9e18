// Real bitmaps: every good file of the reference set decodes and converts to
// A8R8G8B8 through the level loader to the picture of its reference PNG
// (exact for 8-bit channels, within 1 for the 5- and 6-bit ones).
// The set is committed under tests/data/bmpsuite (see its README for where
// it comes from); a missing set is a failure, not a skip.
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#include <stb/stb_image.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "gfx/formats/dib_decoder.h"
#include "gfx/gfx.h"
#include "tests/gfx/memory_surface.h"
#include "tests/support/read_file.h"

namespace {

namespace fs = std::filesystem;

fs::path SuiteFolder() {
  const char* source = std::getenv("VELMORA_SOURCE_DIR");
  if (source == nullptr) return {};
  return fs::path(source) / "tests" / "data" / "bmpsuite";
}

std::vector<BYTE> ReadFile(const fs::path& p) {
  return velmora_test::ReadWholeFile<std::vector<BYTE>>(p);
}

TEST(BmpSuite, EveryGoodFileMatchesItsReference) {
  const fs::path folder = SuiteFolder();
  ASSERT_TRUE(!folder.empty() && fs::exists(folder / "expected.txt"))
      << "reference bitmaps not found (expected at $VELMORA_SOURCE_DIR/tests/data/bmpsuite)";
  std::ifstream list(folder / "expected.txt");
  std::string line;
  int checked = 0;
  while (std::getline(list, line)) {
    std::istringstream fields(line);
    std::string bmpName, pngName;
    if (!(fields >> bmpName >> pngName)) continue;
    SCOPED_TRACE(bmpName);
    std::vector<BYTE> bytes = ReadFile(folder / bmpName);
    ASSERT_FALSE(bytes.empty());

    gfx::DecodedImage image;
    ASSERT_EQ(gfx::DecodeBmpFile(&image, bytes.data(), bytes.size()), S_OK);

    int w = 0, h = 0, n = 0;
    stbi_uc* ref = stbi_load((folder / pngName).string().c_str(), &w, &h, &n, 4);
    ASSERT_NE(ref, nullptr) << pngName;
    ASSERT_EQ(image.width, UINT(w));
    ASSERT_EQ(image.height, UINT(h));

    gfxtest::MemorySurface surface(image.width, image.height, D3DFMT_A8R8G8B8, 4);
    RECT srcRect{0, 0, LONG(image.width), LONG(image.height)};
    ASSERT_EQ(D3DXLoadSurfaceFromMemory(&surface, nullptr, nullptr, image.pixels, image.format, image.rowPitch,
                                        image.palette, &srcRect, D3DX_FILTER_NONE, 0),
              S_OK);

    // Channels of fewer than 8 bits may round differently from the
    // reference's bit replication.
    const bool narrow = image.format == D3DFMT_X1R5G5B5 || image.format == D3DFMT_R5G6B5;
    const int tolerance = narrow ? 1 : 0;
    int mismatches = 0;
    for (int y = 0; y < h && mismatches < 5; ++y) {
      for (int x = 0; x < w && mismatches < 5; ++x) {
        const uint32_t got = surface.Pixel32(UINT(x), UINT(y));
        const stbi_uc* want = ref + (size_t(y) * w + x) * 4;
        const int channels[4][2] = {{int(got >> 16 & 0xFF), want[0]},
                                    {int(got >> 8 & 0xFF), want[1]},
                                    {int(got & 0xFF), want[2]},
                                    {int(got >> 24), want[3]}};
        for (const auto& c : channels) {
          if (std::abs(c[0] - c[1]) > tolerance) {
            ADD_FAILURE() << "pixel " << x << "," << y << std::hex << " got 0x" << got << " want " << int(want[0])
                          << " " << int(want[1]) << " " << int(want[2]) << " " << int(want[3]);
            ++mismatches;
            break;
          }
        }
      }
    }
    stbi_image_free(ref);
    gfx::ClearDecodedImage(&image);
    ++checked;
  }
  // Every pair listed must have been checked: a short read of the list would
  // otherwise pass quietly.
  EXPECT_EQ(checked, 26);
}

}  // namespace

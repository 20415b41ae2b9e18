// The PNG decoder's whole-stream path (libdeflate and the unfiltering here)
// against libspng's row-by-row decoding, which it must match byte for byte:
// on every PNG kept under tests/, and on pictures made here with each
// filter, pixel size, IDAT split and transparency, including files the
// fast path must hand back (bad checksums, stray bytes, unknown filters).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include <libdeflate.h>

#include "gfx/gfx.h"
#include "gfx/formats/image_decoders.h"
#include "tests/gfx/png_fixtures.h"
#include "tests/support/read_file.h"

namespace {

using namespace pngtest;

struct StreamDecoded {
  HRESULT hr = E_FAIL;
  D3DFORMAT format = D3DFMT_UNKNOWN;
  UINT width = 0, height = 0, rowPitch = 0;
  Bytes pixels, palette;
};

StreamDecoded Decode(HRESULT (*decoder)(gfx::DecodedImage*, const BYTE*, size_t), const Bytes& file) {
  gfx::DecodedImage image;
  StreamDecoded d;
  d.hr = decoder(&image, file.data(), file.size());
  if (SUCCEEDED(d.hr)) {
    d.format = image.format;
    d.width = image.width;
    d.height = image.height;
    d.rowPitch = image.rowPitch;
    d.pixels.assign(image.pixels, image.pixels + image.slicePitch);
    if (image.palette != nullptr) {
      const BYTE* p = reinterpret_cast<const BYTE*>(image.palette);
      d.palette.assign(p, p + 256 * sizeof(PALETTEENTRY));
    }
  }
  gfx::ClearDecodedImage(&image);
  return d;
}

// Both roads agree on the outcome and, when it succeeds, on every byte.
void ExpectSameAsByRows(const Bytes& file) {
  const StreamDecoded whole = Decode(gfx::DecodePng, file);
  const StreamDecoded rows = Decode(gfx::DecodePngByRows, file);
  ASSERT_EQ(SUCCEEDED(whole.hr), SUCCEEDED(rows.hr));
  if (FAILED(rows.hr)) return;
  EXPECT_EQ(whole.format, rows.format);
  EXPECT_EQ(whole.width, rows.width);
  EXPECT_EQ(whole.height, rows.height);
  EXPECT_EQ(whole.rowPitch, rows.rowPitch);
  EXPECT_TRUE(whole.pixels == rows.pixels) << "pixels differ";
  EXPECT_TRUE(whole.palette == rows.palette) << "palettes differ";
}

TEST(PngWholeStream, EveryPngInTheTestsDecodesAsBefore) {
  const char* source = std::getenv("VELMORA_SOURCE_DIR");
  ASSERT_NE(source, nullptr);
  int files = 0, decoded = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(std::filesystem::path(source) / "tests")) {
    if (!entry.is_regular_file()) continue;
    const Bytes bytes = velmora_test::ReadWholeFile<Bytes>(entry.path());
    if (!gfx::LooksLikePng(bytes.data(), bytes.size())) continue;
    SCOPED_TRACE(entry.path().string());
    ExpectSameAsByRows(bytes);
    ++files;
    decoded += SUCCEEDED(Decode(gfx::DecodePng, bytes).hr);
  }
  // The fixtures hold over a hundred PNGs, most of them good.
  EXPECT_GT(files, 100);
  EXPECT_GT(decoded, 60);
}

// --- Pictures made here ------------------------------------------------------

struct Picture {
  uint32_t width = 0, height = 0;
  BYTE colorType = 6;
  Bytes filtered;  // rows, each led by its filter byte
  Bytes plte, trns;
  int idatParts = 1;
  Bytes afterStream;  // bytes appended after the zlib stream
};

Bytes Encode(const Picture& p) {
  Bytes file = Header(p.width, p.height, p.colorType);
  if (!p.plte.empty()) PutChunk(&file, "PLTE", p.plte);
  if (!p.trns.empty()) PutChunk(&file, "tRNS", p.trns);
  Bytes stream = Deflated(p.filtered);
  stream.insert(stream.end(), p.afterStream.begin(), p.afterStream.end());
  const size_t part = stream.size() / size_t(p.idatParts) + 1;
  for (size_t at = 0; at < stream.size(); at += part) {
    PutChunk(&file, "IDAT", Bytes(stream.begin() + long(at), stream.begin() + long(std::min(stream.size(), at + part))));
  }
  PutChunk(&file, "tEXt", Bytes{'C', 0, 'x'});
  PutChunk(&file, "IEND", {});
  return file;
}

int Channels(BYTE colorType) {
  switch (colorType) {
    case 0: case 3: return 1;
    case 4: return 2;
    case 2: return 3;
    default: return 4;
  }
}

// Random samples (so every predictor sees every case), rows cycling through
// the five filters starting at `firstFilter`.
Picture Random(BYTE colorType, uint32_t width, uint32_t height, int firstFilter, uint32_t seed) {
  Picture p;
  p.width = width;
  p.height = height;
  p.colorType = colorType;
  std::mt19937 rng(seed);
  const size_t rowBytes = size_t(width) * size_t(Channels(colorType));
  for (uint32_t y = 0; y < height; ++y) {
    p.filtered.push_back(BYTE((firstFilter + int(y)) % 5));
    for (size_t i = 0; i < rowBytes; ++i) p.filtered.push_back(BYTE(rng() % 7 == 0 ? rng() : rng() % 3));
  }
  if (colorType == 3) {
    for (int i = 0; i < 3 * 200; ++i) p.plte.push_back(BYTE(rng()));
  }
  return p;
}

TEST(PngWholeStream, EveryFilterAndPixelSizeMatchesLibspng) {
  for (BYTE colorType : {0, 2, 3, 4, 6}) {
    for (int firstFilter = 0; firstFilter < 5; ++firstFilter) {
      for (uint32_t width : {1u, 2u, 7u, 33u}) {
        SCOPED_TRACE(testing::Message() << "colour type " << int(colorType) << ", first filter " << firstFilter
                                        << ", width " << width);
        const Bytes file = Encode(Random(colorType, width, 9, firstFilter, width * 31 + colorType));
        const StreamDecoded whole = Decode(gfx::DecodePng, file);
        ASSERT_EQ(whole.hr, S_OK);
        ExpectSameAsByRows(file);
      }
    }
  }
}

TEST(PngWholeStream, TransparencySplitStreamsAndPalettesMatchLibspng) {
  Picture grey = Random(0, 20, 6, 1, 5);
  grey.trns = {0, 1};  // grey level 1 is clear
  Picture colour = Random(2, 20, 6, 2, 6);
  colour.trns = {0, 2, 0, 0, 0, 1};
  Picture indexed = Random(3, 20, 6, 4, 7);
  indexed.trns = {0, 128, 255};
  Picture split = Random(6, 40, 10, 3, 8);
  split.idatParts = 7;
  for (const Picture& p : {grey, colour, indexed, split}) {
    const Bytes file = Encode(p);
    ASSERT_EQ(Decode(gfx::DecodePng, file).hr, S_OK);
    ExpectSameAsByRows(file);
  }
  // Transparency widens the pixels: the grey picture has alpha now, and the
  // level-1 samples are the clear ones.
  const StreamDecoded greyOut = Decode(gfx::DecodePng, Encode(grey));
  EXPECT_EQ(greyOut.format, D3DFMT_A8L8);
}

TEST(PngWholeStream, FilesTheFastPathCannotJudgeAreJudgedByLibspng) {
  // An unknown filter type, bytes after the zlib stream, a stream that is
  // one row short: each is decided exactly as libspng decides it.
  Picture badFilter = Random(6, 8, 4, 0, 9);
  badFilter.filtered[2 * (8 * 4 + 1)] = 5;
  Picture stray = Random(2, 8, 4, 0, 10);
  stray.afterStream = {1, 2, 3};
  Picture shortStream = Random(6, 8, 4, 0, 11);
  shortStream.filtered = Bytes(shortStream.filtered.begin(), shortStream.filtered.end() - (8 * 4 + 1));
  for (const Picture& p : {badFilter, stray, shortStream}) ExpectSameAsByRows(Encode(p));
  EXPECT_EQ(Decode(gfx::DecodePng, Encode(badFilter)).hr, E_FAIL);
  EXPECT_EQ(Decode(gfx::DecodePng, Encode(shortStream)).hr, E_FAIL);

  // A damaged checksum refuses the file, in the image data (libspng alone
  // missed one on the last IDAT chunk) or after it.
  const Bytes good = Encode(Random(6, 8, 4, 0, 12));
  for (const char* type : {"IDAT", "tEXt"}) {
    Bytes damaged = good;
    const auto at = std::search(damaged.begin(), damaged.end(), type, type + 4);
    ASSERT_NE(at, damaged.end());
    const uint32_t length = uint32_t(at[-4]) << 24 | uint32_t(at[-3]) << 16 | uint32_t(at[-2]) << 8 | at[-1];
    at[4 + long(length)] ^= 0x40;  // first byte of the checksum
    EXPECT_EQ(Decode(gfx::DecodePng, damaged).hr, E_FAIL) << type;
    ExpectSameAsByRows(damaged);
  }
}

}  // namespace

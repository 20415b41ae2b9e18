// Files that other decoders read and ours once read wrongly: a PNG whose
// chunks carry a wrong CRC (the last IDAT included), 16-bit TGAs whose
// attribute bits are not alpha, DDS records with stale unused masks, and a
// DX10 DDS that leaves its array size 0.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "gfx/formats/image_decoders.h"
#include "host/headless/headless_host.h"
#include "tests/gfx/image_fixtures.h"

namespace {

using namespace image_fixtures;

class DecoderEdges : public ::testing::Test {
 protected:
  void SetUp() override { host::SetCurrent(&host_); }
  void TearDown() override {
    gfx::ClearDecodedImage(&image_);
    host::SetCurrent(nullptr);
  }
  using Decoder = HRESULT (*)(gfx::DecodedImage*, const BYTE*, size_t);
  HRESULT Decode(Decoder decode, const std::vector<BYTE>& bytes) {
    gfx::ClearDecodedImage(&image_);
    image_ = gfx::DecodedImage{};
    image_.loadPixels = true;
    said_ = host_.DebugText().size();
    return decode(&image_, bytes.data(), bytes.size());
  }
  std::string Said() const { return host_.DebugText().substr(said_); }
  std::vector<BYTE> Pixels() const {
    return std::vector<BYTE>(image_.pixels, image_.pixels + size_t(image_.slicePitch));
  }

  host::HeadlessHost host_;
  gfx::DecodedImage image_{};
  size_t said_ = 0;
};

uint32_t Big32(const std::vector<BYTE>& b, size_t at) {
  return uint32_t{b[at]} << 24 | uint32_t{b[at + 1]} << 16 | uint32_t{b[at + 2]} << 8 | b[at + 3];
}

// Offset of every chunk of a PNG, in order.
std::vector<size_t> Chunks(const std::vector<BYTE>& png) {
  std::vector<size_t> at;
  for (size_t p = 8; p + 12 <= png.size(); p += 12 + Big32(png, p)) at.push_back(p);
  return at;
}

std::string ChunkType(const std::vector<BYTE>& png, size_t at) {
  return std::string(reinterpret_cast<const char*>(&png[at + 4]), 4);
}

TEST_F(DecoderEdges, PngWithAWrongCrcInAnyChunkIsRefusedNamingTheChunk) {
  // Interlaced, with tRNS: several IDAT chunks would be best, but every
  // chunk of the file is tried in turn, the last IDAT and IEND included.
  const std::vector<BYTE> good = ReadBytes(DataFolder() / "png" / "gen-c3-d8-trns.png");
  ASSERT_EQ(Decode(gfx::DecodePng, good), S_OK) << Said();
  const std::vector<BYTE> picture = Pixels();
  const std::vector<size_t> chunks = Chunks(good);
  ASSERT_GE(chunks.size(), 5u) << "IHDR PLTE tRNS IDAT IEND";
  size_t lastIdat = 0;
  for (size_t at : chunks) {
    if (ChunkType(good, at) == "IDAT") lastIdat = at;
  }
  ASSERT_NE(lastIdat, 0u);
  for (size_t at : chunks) {
    const std::string type = ChunkType(good, at);
    SCOPED_TRACE(type);
    std::vector<BYTE> bad = good;
    bad[at + 8 + Big32(good, at) + 1] ^= 0x40;  // one bit of the CRC
    EXPECT_EQ(Decode(gfx::DecodePng, bad), E_FAIL);
    EXPECT_NE(Said().find("PNG: CRC error in chunk " + type), std::string::npos) << Said();
  }
  // A broken CRC is not a broken picture: the same bytes with the right one decode alike.
  ASSERT_EQ(Decode(gfx::DecodePng, good), S_OK);
  EXPECT_EQ(Pixels(), picture);
  // The header alone (no pixels asked for) is still described.
  std::vector<BYTE> bad = good;
  bad[lastIdat + 8 + Big32(good, lastIdat)] ^= 0x01;
  gfx::ClearDecodedImage(&image_);
  image_ = gfx::DecodedImage{};
  image_.loadPixels = false;
  EXPECT_EQ(gfx::DecodePng(&image_, bad.data(), bad.size()), S_OK);
}

// A 16-bit true-colour TGA of `pixels` (raw, top-down), with the
// descriptor's alpha-bit count `alphaBits` and, when `attributeType` >= 0, a
// TGA 2.0 extension area and footer saying so.
std::vector<BYTE> Tga16(const std::vector<uint16_t>& pixels, int alphaBits, int attributeType) {
  std::vector<BYTE> t(18, 0);
  t[2] = 2;
  t[12] = static_cast<BYTE>(pixels.size());
  t[14] = 1;
  t[16] = 16;
  t[17] = static_cast<BYTE>(0x20 | alphaBits);
  for (uint16_t p : pixels) {
    t.push_back(static_cast<BYTE>(p));
    t.push_back(static_cast<BYTE>(p >> 8));
  }
  if (attributeType < 0) return t;
  const uint32_t extension = static_cast<uint32_t>(t.size());
  std::vector<BYTE> area(495, 0);
  area[0] = 495 & 0xFF;
  area[1] = 495 >> 8;
  area[494] = static_cast<BYTE>(attributeType);
  t.insert(t.end(), area.begin(), area.end());
  for (int i = 0; i < 4; ++i) t.push_back(static_cast<BYTE>(extension >> (8 * i)));
  for (int i = 0; i < 4; ++i) t.push_back(0);
  const char signature[] = "TRUEVISION-XFILE.";
  t.insert(t.end(), signature, signature + sizeof signature);
  return t;
}

std::vector<uint16_t> Stored(const std::vector<BYTE>& pixels) {
  std::vector<uint16_t> v;
  for (size_t i = 0; i + 1 < pixels.size(); i += 2) v.push_back(static_cast<uint16_t>(pixels[i] | pixels[i + 1] << 8));
  return v;
}

TEST_F(DecoderEdges, Tga16AttributeBitsAreAlphaOnlyWhereTheFileMeansIt) {
  const std::vector<uint16_t> clear = {0x7C00, 0x03E0, 0x001F};  // red, green, blue; no attribute bit
  const std::vector<uint16_t> mixed = {0xFC00, 0x03E0, 0x801F};  // green transparent
  struct Case {
    const char* what;
    std::vector<uint16_t> pixels;
    int alphaBits, attributeType;
    D3DFORMAT format;
    std::vector<uint16_t> want;  // as stored, X formats compared without the top bit
  };
  const Case cases[] = {
      {"no footer, every attribute bit clear: opaque", clear, 1, -1, D3DFMT_A1R5G5B5, {0xFC00, 0x83E0, 0x801F}},
      {"no footer, one bit set: the bits are alpha", mixed, 1, -1, D3DFMT_A1R5G5B5, mixed},
      {"no alpha bits in the descriptor", clear, 0, -1, D3DFMT_X1R5G5B5, clear},
      {"extension: no alpha (0)", mixed, 1, 0, D3DFMT_X1R5G5B5, {0x7C00, 0x03E0, 0x001F}},
      {"extension: undefined, ignore (1)", clear, 1, 1, D3DFMT_X1R5G5B5, clear},
      {"extension: undefined, keep (2)", mixed, 1, 2, D3DFMT_X1R5G5B5, {0x7C00, 0x03E0, 0x001F}},
      {"extension: useful alpha (3), all clear stays transparent", clear, 1, 3, D3DFMT_A1R5G5B5, clear},
      {"extension: useful alpha (3)", mixed, 1, 3, D3DFMT_A1R5G5B5, mixed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_EQ(Decode(gfx::DecodeTga, Tga16(c.pixels, c.alphaBits, c.attributeType)), S_OK) << Said();
    EXPECT_EQ(image_.format, c.format);
    std::vector<uint16_t> got = Stored(Pixels());
    if (c.format == D3DFMT_X1R5G5B5) {
      for (uint16_t& p : got) p &= 0x7FFF;
    }
    EXPECT_EQ(got, c.want);
  }
  // A footer that points past the data is no extension area: the guess applies.
  std::vector<BYTE> broken = Tga16(clear, 1, 0);
  broken[broken.size() - 26 + 3] = 0x7F;
  ASSERT_EQ(Decode(gfx::DecodeTga, broken), S_OK);
  EXPECT_EQ(image_.format, D3DFMT_A1R5G5B5);
  EXPECT_EQ(Stored(Pixels()), (std::vector<uint16_t>{0xFC00, 0x83E0, 0x801F}));
}

void Put32(std::vector<BYTE>* b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b->at(at + i) = static_cast<BYTE>(v >> (8 * i));
}

TEST_F(DecoderEdges, DdsMasksTheFlagsDoNotNameAreIgnored) {
  struct Case {
    const char* file;
    size_t mask;  // file offset of a mask the record does not use
  };
  // File offsets: 80 flags, 88 bit count, 92 red, 96 green, 100 blue, 104 alpha.
  const Case cases[] = {{"a8l8.dds", 96}, {"a8l8.dds", 100}, {"l8.dds", 96}, {"l8.dds", 104}, {"a8.dds", 92},
                        {"a8.dds", 100}, {"x8r8g8b8.dds", 104}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.file) + " mask at " + std::to_string(c.mask));
    const std::vector<BYTE> good = ReadBytes(DataFolder() / "dds" / c.file);
    ASSERT_EQ(Decode(gfx::DecodeDds, good), S_OK) << Said();
    const D3DFORMAT format = image_.format;
    const std::vector<BYTE> picture = Pixels();
    std::vector<BYTE> stale = good;
    Put32(&stale, c.mask, 0x0000FF00);
    ASSERT_EQ(Decode(gfx::DecodeDds, stale), S_OK) << Said();
    EXPECT_EQ(image_.format, format);
    EXPECT_EQ(Pixels(), picture);
  }
  // A mask the record does use still decides: luminance in green is no L8.
  std::vector<BYTE> wrong = ReadBytes(DataFolder() / "dds" / "l8.dds");
  Put32(&wrong, 92, 0xF0);
  EXPECT_EQ(Decode(gfx::DecodeDds, wrong), E_FAIL);
}

TEST_F(DecoderEdges, Dx10DdsWithArraySizeZeroIsOneTexture) {
  const std::vector<BYTE> good = ReadBytes(DataFolder() / "dds" / "dx10-bgra.dds");
  ASSERT_EQ(Decode(gfx::DecodeDds, good), S_OK) << Said();
  const std::vector<BYTE> picture = Pixels();
  std::vector<BYTE> zero = good;
  Put32(&zero, 128 + 12, 0);
  ASSERT_EQ(Decode(gfx::DecodeDds, zero), S_OK) << Said();
  EXPECT_EQ(Pixels(), picture);
  std::vector<BYTE> array = good;
  Put32(&array, 128 + 12, 2);
  EXPECT_EQ(Decode(gfx::DecodeDds, array), E_FAIL);
  EXPECT_NE(Said().find("texture arrays are not supported"), std::string::npos) << Said();
}

}  // namespace

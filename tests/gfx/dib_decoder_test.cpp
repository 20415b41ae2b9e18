// Tests of the DIB and BMP-file decoders: layouts, row order, pitches,
// palettes, run-length data, bit fields, and hostile sizes and offsets.
#include "gfx/formats/dib_decoder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "host/headless/headless_host.h"
#include "tests/gfx/host_allocation_faults.h"

namespace {

void Put16(std::vector<BYTE>& b, size_t at, uint16_t v) {
  if (b.size() < at + 2) b.resize(at + 2);
  b[at] = BYTE(v);
  b[at + 1] = BYTE(v >> 8);
}
void Put32(std::vector<BYTE>& b, size_t at, uint32_t v) {
  if (b.size() < at + 4) b.resize(at + 4);
  for (int i = 0; i < 4; ++i) b[at + i] = BYTE(v >> (8 * i));
}

// A DIB with a 40-byte header, `colours` table entries and the given rows
// (already in stored order and padded by the caller).
std::vector<BYTE> InfoDib(int32_t width, int32_t height, uint16_t bits, uint32_t compression, uint32_t clrUsed,
                          const std::vector<uint32_t>& table, const std::vector<BYTE>& pixelBytes) {
  std::vector<BYTE> b(40, 0);
  Put32(b, 0, 40);
  Put32(b, 4, uint32_t(width));
  Put32(b, 8, uint32_t(height));
  Put16(b, 12, 1);
  Put16(b, 14, bits);
  Put32(b, 16, compression);
  Put32(b, 32, clrUsed);
  for (uint32_t c : table) Put32(b, b.size(), c);  // blue, green, red, reserved
  b.insert(b.end(), pixelBytes.begin(), pixelBytes.end());
  return b;
}

// 4-bit pixels, one nibble per pixel value v(x, storedRow), rows padded to 4.
std::vector<BYTE> Pack4(int width, int rows, int (*value)(int x, int row)) {
  const int stride = ((width + 1) / 2 + 3) & ~3;
  std::vector<BYTE> out(size_t(stride) * rows, 0);
  for (int r = 0; r < rows; ++r)
    for (int x = 0; x < width; ++x)
      out[size_t(r) * stride + x / 2] |= BYTE((value(x, r) & 15) << ((x & 1) ? 0 : 4));
  return out;
}

std::vector<uint32_t> SixteenColours() {
  std::vector<uint32_t> t;
  for (uint32_t i = 0; i < 16; ++i) t.push_back((i * 16) << 16 | (i * 8) << 8 | (255 - i));
  return t;
}

struct Decoded {
  HRESULT hr;
  gfx::DecodedImage image;
  Decoded() = default;
  Decoded(const Decoded&) = delete;
  ~Decoded() { gfx::ClearDecodedImage(&image); }
};

void Decode(Decoded* d, const std::vector<BYTE>& bytes, bool file = false) {
  d->hr = file ? gfx::DecodeBmpFile(&d->image, bytes.data(), bytes.size())
               : gfx::DecodeDib(&d->image, bytes.data(), bytes.size());
}

std::vector<BYTE> WithFileHeader(const std::vector<BYTE>& dib, uint32_t offBits) {
  std::vector<BYTE> f = {'B', 'M'};
  Put32(f, 2, uint32_t(dib.size() + 14));
  Put32(f, 6, 0);
  Put32(f, 10, offBits);
  f.insert(f.end(), dib.begin(), dib.end());
  return f;
}

TEST(DibDecoder, FourBitBottomUpGameBitmap) {
  auto value = [](int x, int row) { return (x + 3 * row) % 16; };
  auto dib = InfoDib(88, 88, 4, BI_RGB, 0, SixteenColours(), Pack4(88, 88, value));
  Decoded d;
  Decode(&d, dib);
  ASSERT_EQ(d.hr, S_OK);
  EXPECT_EQ(d.image.format, D3DFMT_P8);
  EXPECT_EQ(d.image.width, 88u);
  EXPECT_EQ(d.image.height, 88u);
  EXPECT_EQ(d.image.depth, 1u);
  EXPECT_EQ(d.image.rowPitch, 88u);
  EXPECT_TRUE(d.image.pixelsOwned);
  // Row 0 is the last stored row.
  for (int y = 0; y < 88; ++y)
    for (int x = 0; x < 88; ++x) ASSERT_EQ(d.image.pixels[y * 88 + x], value(x, 87 - y)) << x << "," << y;
  ASSERT_NE(d.image.palette, nullptr);
  for (int i = 0; i < 16; ++i) {
    EXPECT_EQ(d.image.palette[i].peRed, BYTE(i * 16));
    EXPECT_EQ(d.image.palette[i].peGreen, BYTE(i * 8));
    EXPECT_EQ(d.image.palette[i].peBlue, BYTE(255 - i));
    EXPECT_EQ(d.image.palette[i].peFlags, 255);
  }
  for (int i = 16; i < 256; ++i) {
    EXPECT_EQ(d.image.palette[i].peRed, 255);
    EXPECT_EQ(d.image.palette[i].peBlue, 255);
    EXPECT_EQ(d.image.palette[i].peFlags, 255);
  }
}

TEST(DibDecoder, TopDownMatchesBottomUp) {
  auto value = [](int x, int row) { return (x * 7 + row) % 16; };
  auto flipped = [](int x, int row) { return (x * 7 + (87 - row)) % 16; };
  Decoded up, down;
  Decode(&up, InfoDib(88, 88, 4, BI_RGB, 0, SixteenColours(), Pack4(88, 88, value)));
  Decode(&down, InfoDib(88, -88, 4, BI_RGB, 0, SixteenColours(), Pack4(88, 88, flipped)));
  ASSERT_EQ(up.hr, S_OK);
  ASSERT_EQ(down.hr, S_OK);
  EXPECT_EQ(0, std::memcmp(up.image.pixels, down.image.pixels, 88 * 88));

  // 8-bit top-down rows are used in place.
  std::vector<BYTE> rows(4 * 3);
  for (size_t i = 0; i < rows.size(); ++i) rows[i] = BYTE(i);
  auto dib = InfoDib(3, -3, 8, BI_RGB, 2, {0x000000, 0xFFFFFF}, rows);
  Decoded inPlace;
  Decode(&inPlace, dib);
  ASSERT_EQ(inPlace.hr, S_OK);
  EXPECT_FALSE(inPlace.image.pixelsOwned);
  EXPECT_EQ(inPlace.image.pixels, dib.data() + 40 + 8);
  EXPECT_EQ(inPlace.image.rowPitch, 4u);
}

TEST(DibDecoder, RowPitches) {
  Decoded wide;
  Decode(&wide, InfoDib(792, 2, 8, BI_RGB, 1, {0}, std::vector<BYTE>(792 * 2)));
  ASSERT_EQ(wide.hr, S_OK);
  EXPECT_EQ(wide.image.rowPitch, 792u);
  Decoded narrow;
  Decode(&narrow, InfoDib(3, 2, 8, BI_RGB, 1, {0}, std::vector<BYTE>(8)));
  ASSERT_EQ(narrow.hr, S_OK);
  EXPECT_EQ(narrow.image.rowPitch, 4u);
  Decoded rgb;
  Decode(&rgb, InfoDib(5, 1, 24, BI_RGB, 0, {}, std::vector<BYTE>(15)));
  ASSERT_EQ(rgb.hr, S_OK);
  EXPECT_EQ(rgb.image.format, D3DFMT_R8G8B8);
  EXPECT_EQ(rgb.image.rowPitch, 16u);
}

TEST(DibDecoder, TruncatedTableOrRowsFail) {
  auto full = InfoDib(3, 2, 8, BI_RGB, 4, {1, 2, 3, 4}, std::vector<BYTE>(8, 1));
  Decoded ok;
  Decode(&ok, full);
  EXPECT_EQ(ok.hr, S_OK);

  // The last row may lack its fill byte...
  auto noFill = full;
  noFill.pop_back();
  Decoded lacksFill;
  Decode(&lacksFill, noFill);
  EXPECT_EQ(lacksFill.hr, S_OK);
  // ...but not a pixel.
  auto shortRow = noFill;
  shortRow.pop_back();
  Decoded missing;
  Decode(&missing, shortRow);
  EXPECT_EQ(missing.hr, E_FAIL);

  // A colour table cut by the end of the data.
  std::vector<BYTE> cut(full.begin(), full.begin() + 40 + 10);
  Decoded table;
  Decode(&table, cut);
  EXPECT_EQ(table.hr, E_FAIL);
}

TEST(DibDecoder, ThirtyTwoBitAlphaDecidesFormat) {
  std::vector<BYTE> px = {1, 2, 3, 0, 4, 5, 6, 0};
  Decoded x8;
  Decode(&x8, InfoDib(2, 1, 32, BI_RGB, 0, {}, px));
  ASSERT_EQ(x8.hr, S_OK);
  EXPECT_EQ(x8.image.format, D3DFMT_X8R8G8B8);
  px[7] = 9;
  Decoded a8;
  Decode(&a8, InfoDib(2, 1, 32, BI_RGB, 0, {}, px));
  ASSERT_EQ(a8.hr, S_OK);
  EXPECT_EQ(a8.image.format, D3DFMT_A8R8G8B8);
}

TEST(DibDecoder, CoreHeaderReadsThreeByteEntries) {
  std::vector<BYTE> b(12, 0);
  Put32(b, 0, 12);
  Put16(b, 4, 2);
  Put16(b, 6, 1);
  Put16(b, 8, 1);
  Put16(b, 10, 8);
  for (int i = 0; i < 256; ++i) {  // blue, green, red
    b.push_back(BYTE(i));
    b.push_back(BYTE(i + 1));
    b.push_back(BYTE(i + 2));
  }
  b.insert(b.end(), {7, 200, 0, 0});
  Decoded d;
  Decode(&d, b);
  ASSERT_EQ(d.hr, S_OK);
  EXPECT_EQ(d.image.format, D3DFMT_P8);
  EXPECT_EQ(d.image.pixels[0], 7);
  EXPECT_EQ(d.image.pixels[1], 200);
  EXPECT_EQ(d.image.palette[7].peRed, 9);
  EXPECT_EQ(d.image.palette[7].peGreen, 8);
  EXPECT_EQ(d.image.palette[7].peBlue, 7);
  EXPECT_EQ(d.image.palette[200].peRed, 202);
}

TEST(DibDecoder, DescriptionOnlyAllocatesNothing) {
  Decoded d;
  d.image.loadPixels = false;
  Decode(&d, InfoDib(88, 88, 4, BI_RGB, 0, SixteenColours(), Pack4(88, 88, [](int, int) { return 1; })));
  ASSERT_EQ(d.hr, S_OK);
  EXPECT_EQ(d.image.format, D3DFMT_P8);
  EXPECT_EQ(d.image.width, 88u);
  EXPECT_EQ(d.image.pixels, nullptr);
  EXPECT_EQ(d.image.palette, nullptr);
}

TEST(DibDecoder, CompressionMessagesAndRejections) {
  host::HeadlessHost h;
  host::SetCurrent(&h);
  h.SetProfileValue("Direct3D", "debug", "0");
  Decoded jpeg, png, seven;
  Decode(&jpeg, InfoDib(1, 1, 24, BI_JPEG, 0, {}, {0, 0, 0, 0}));
  Decode(&png, InfoDib(1, 1, 24, BI_PNG, 0, {}, {0, 0, 0, 0}));
  Decode(&seven, InfoDib(1, 1, 24, 7, 0, {}, {0, 0, 0, 0}));
  EXPECT_EQ(jpeg.hr, E_FAIL);
  EXPECT_EQ(png.hr, E_FAIL);
  EXPECT_EQ(seven.hr, E_FAIL);
  EXPECT_NE(h.DebugText().find("D3DX: LoadBMP: JPEG compression not supported\r\n"), std::string::npos);
  EXPECT_NE(h.DebugText().find("D3DX: LoadBMP: PNG compression not supported\r\n"), std::string::npos);
  host::SetCurrent(nullptr);
}

TEST(DibDecoder, PlanesAndTableAreCheckedBeforeTheCompressionIsNamed) {
  host::HeadlessHost h;
  host::SetCurrent(&h);
  h.SetProfileValue("Direct3D", "debug", "0");
  for (DWORD compression : {DWORD{BI_JPEG}, DWORD{BI_PNG}}) {
    auto planes = InfoDib(1, 1, 24, compression, 0, {}, {0, 0, 0, 0});
    Put16(planes, 12, 0);
    Decoded noPlanes, pastTable;
    Decode(&noPlanes, planes);
    // A table of 200 entries cannot fit in four bytes of data.
    Decode(&pastTable, InfoDib(1, 1, 8, compression, 200, {}, {0, 0, 0, 0}));
    EXPECT_EQ(noPlanes.hr, E_FAIL);
    EXPECT_EQ(pastTable.hr, E_FAIL);
  }
  EXPECT_EQ(h.DebugText().find("compression not supported"), std::string::npos) << h.DebugText();
  host::SetCurrent(nullptr);
}

TEST(DibDecoder, RunLengthWithEveryIndexedBitCount) {
  // RLE8 runs and RLE4 nibble runs fill one index per byte whatever the
  // stored bit count says.
  struct Case {
    uint16_t bits;
    DWORD compression;
    std::vector<BYTE> rle;
    std::vector<BYTE> row;
  };
  const Case cases[] = {
      {1, BI_RLE8, {2, 1, 2, 0, 0, 1}, {1, 1, 0, 0}},
      {4, BI_RLE8, {3, 7, 1, 2, 0, 1}, {7, 7, 7, 2}},
      {1, BI_RLE4, {4, 0x10, 0, 1}, {1, 0, 1, 0}},
      {8, BI_RLE4, {4, 0x9A, 0, 1}, {9, 10, 9, 10}},
  };
  for (const Case& c : cases) {
    Decoded d;
    Decode(&d, InfoDib(4, 1, c.bits, c.compression, 16, std::vector<uint32_t>(16, 0), c.rle));
    ASSERT_EQ(d.hr, S_OK) << c.bits << " bits, compression " << c.compression;
    EXPECT_EQ(d.image.format, D3DFMT_P8);
    EXPECT_EQ(std::vector<BYTE>(d.image.pixels, d.image.pixels + 4), c.row);
  }
}

TEST(DibDecoder, HostileHeadersAreRefused) {
  const std::vector<BYTE> px(64, 0);
  struct Case {
    const char* what;
    std::vector<BYTE> bytes;
  };
  std::vector<Case> cases;
  cases.push_back({"zero width", InfoDib(0, 4, 8, BI_RGB, 1, {0}, px)});
  cases.push_back({"zero height", InfoDib(4, 0, 8, BI_RGB, 1, {0}, px)});
  cases.push_back({"negative width", InfoDib(-4, 4, 8, BI_RGB, 1, {0}, px)});
  cases.push_back({"most negative height", InfoDib(4, std::numeric_limits<int32_t>::min(), 8, BI_RGB, 1, {0}, px)});
  cases.push_back({"huge width", InfoDib(0x7FFFFFFF, 1, 32, BI_RGB, 0, {}, px)});
  cases.push_back({"huge colour count", InfoDib(4, 4, 8, BI_RGB, 0xFFFFFFFF, {0}, px)});
  cases.push_back({"width x height wraps 32 bits", InfoDib(0x10000, 0x10000, 8, BI_RGB, 1, {0}, px)});
  cases.push_back({"two-bit pixels", InfoDib(4, 4, 2, BI_RGB, 1, {0}, px)});
  for (uint16_t bits : {16, 24, 32}) {
    cases.push_back({"RLE8 with 16/24/32-bit pixels", InfoDib(4, 4, bits, BI_RLE8, 0, {}, {0, 1})});
    cases.push_back({"RLE4 with 16/24/32-bit pixels", InfoDib(4, 4, bits, BI_RLE4, 0, {}, {0, 1})});
  }
  auto planes = InfoDib(4, 4, 8, BI_RGB, 1, {0}, px);
  Put16(planes, 12, 2);
  cases.push_back({"two planes", planes});
  auto header = InfoDib(4, 4, 8, BI_RGB, 1, {0}, px);
  Put32(header, 0, 20);
  cases.push_back({"header size 20", header});
  auto tooBig = InfoDib(4, 4, 8, BI_RGB, 1, {0}, {});
  Put32(tooBig, 0, 1000);
  cases.push_back({"header larger than data", tooBig});
  cases.push_back({"three bytes", {40, 0, 0}});
  for (auto& c : cases) {
    Decoded d;
    Decode(&d, c.bytes);
    EXPECT_EQ(d.hr, E_FAIL) << c.what;
  }
}

TEST(DibDecoder, ColourCountAbove256KeepsThePalette) {
  std::vector<uint32_t> table(300);
  for (size_t i = 0; i < table.size(); ++i) table[i] = uint32_t(i & 0xFF) << 16;
  Decoded d;
  Decode(&d, InfoDib(4, 1, 8, BI_RGB, 300, table, {255, 0, 1, 2}));
  ASSERT_EQ(d.hr, S_OK);
  EXPECT_EQ(d.image.palette[255].peRed, 255);
  EXPECT_EQ(d.image.palette[1].peRed, 1);
}

TEST(DibDecoder, RunLengthEightBit) {
  // Row 0 (bottom): run of 3 x 5, literal 9 8 7 (padded), end of line;
  // row 1: delta right 1, run of 2 x 4, end of picture.
  std::vector<BYTE> rle = {3, 5, 0, 3, 9, 8, 7, 0, 0, 0, 0, 2, 1, 0, 2, 4, 0, 1};
  Decoded d;
  Decode(&d, InfoDib(6, 3, 8, BI_RLE8, 10, std::vector<uint32_t>(10, 0), rle));
  ASSERT_EQ(d.hr, S_OK);
  const BYTE* top = d.image.pixels;  // destination row 0 = stored row 2
  const BYTE* mid = top + d.image.rowPitch;
  const BYTE* bottom = mid + d.image.rowPitch;
  EXPECT_EQ(std::vector<BYTE>(bottom, bottom + 6), (std::vector<BYTE>{5, 5, 5, 9, 8, 7}));
  EXPECT_EQ(std::vector<BYTE>(mid, mid + 6), (std::vector<BYTE>{0, 4, 4, 0, 0, 0}));
  EXPECT_EQ(std::vector<BYTE>(top, top + 6), (std::vector<BYTE>(6, 0)));
}

TEST(DibDecoder, RunLengthFourBit) {
  // Run of 5 pixels alternating 1 and 2; literal of 3 nibbles 3 4 5.
  std::vector<BYTE> rle = {5, 0x12, 0, 3, 0x34, 0x50, 0, 1};
  Decoded d;
  Decode(&d, InfoDib(8, 1, 4, BI_RLE4, 16, std::vector<uint32_t>(16, 0), rle));
  ASSERT_EQ(d.hr, S_OK);
  EXPECT_EQ(std::vector<BYTE>(d.image.pixels, d.image.pixels + 8), (std::vector<BYTE>{1, 2, 1, 2, 1, 3, 4, 5}));
}

TEST(DibDecoder, RunLengthOutsideTheBufferOrDataFails) {
  auto table = std::vector<uint32_t>(4, 0);
  struct Case {
    const char* what;
    std::vector<BYTE> rle;
    HRESULT expected;
  };
  const Case cases[] = {
      {"run past the row", {9, 1, 0, 1}, E_FAIL},
      {"literal past the data", {0, 5, 1, 2}, E_FAIL},
      {"delta below the picture then a run", {0, 2, 0, 9, 1, 1}, E_FAIL},
      {"no end mark", {2, 1}, E_FAIL},
      {"end of line past the last row", {0, 0, 0, 0, 0, 0}, S_OK},
      {"delta cut short", {0, 2, 1}, E_FAIL},
  };
  for (const Case& c : cases) {
    Decoded d;
    Decode(&d, InfoDib(4, 2, 8, BI_RLE8, 4, table, c.rle));
    EXPECT_EQ(d.hr, c.expected) << c.what;
  }
}

TEST(DibDecoder, BitFieldsAfterPlainHeader) {
  // 16-bit 5-6-5 with its masks right after a 40-byte header, then a
  // two-entry colour table that the pixels must follow.
  std::vector<BYTE> b = InfoDib(2, 1, 16, BI_BITFIELDS, 2, {}, {});
  Put32(b, 40, 0xF800);
  Put32(b, 44, 0x07E0);
  Put32(b, 48, 0x001F);
  Put32(b, 52, 0x11111111);
  Put32(b, 56, 0x22222222);
  Put16(b, 60, 0xF800);
  Put16(b, 62, 0x001F);
  Decoded d;
  Decode(&d, b);
  ASSERT_EQ(d.hr, S_OK);
  EXPECT_EQ(d.image.format, D3DFMT_R5G6B5);
  uint16_t first = uint16_t(d.image.pixels[0] | d.image.pixels[1] << 8);
  EXPECT_EQ(first, 0xF800);
  // Masks cut off by the end of the data fail.
  std::vector<BYTE> cut(b.begin(), b.begin() + 48);
  Decoded c;
  Decode(&c, cut);
  EXPECT_EQ(c.hr, E_FAIL);
}

std::vector<BYTE> V5BitFields(uint16_t bits, uint32_t r, uint32_t g, uint32_t b, uint32_t a,
                              const std::vector<BYTE>& px, int32_t width) {
  std::vector<BYTE> h(124, 0);
  Put32(h, 0, 124);
  Put32(h, 4, uint32_t(width));
  Put32(h, 8, 1);
  Put16(h, 12, 1);
  Put16(h, 14, bits);
  Put32(h, 16, BI_BITFIELDS);
  Put32(h, 40, r);
  Put32(h, 44, g);
  Put32(h, 48, b);
  Put32(h, 52, a);
  h.insert(h.end(), px.begin(), px.end());
  return h;
}

TEST(DibDecoder, KnownMaskSets) {
  struct Case {
    uint16_t bits;
    uint32_t r, g, b, a;
    D3DFORMAT format;
  };
  const Case cases[] = {
      {16, 0xE0, 0x1C, 0x3, 0xFF00, D3DFMT_A8R3G3B2},     {16, 0xF00, 0xF0, 0xF, 0xF000, D3DFMT_A4R4G4B4},
      {16, 0xF00, 0xF0, 0xF, 0, D3DFMT_X4R4G4B4},          {16, 0x7C00, 0x3E0, 0x1F, 0x8000, D3DFMT_A1R5G5B5},
      {16, 0xFF, 0xFF, 0xFF, 0xFF00, D3DFMT_A8L8},         {16, 0xFFFF, 0xFFFF, 0xFFFF, 0, D3DFMT_L16},
      {24, 0xFF0000, 0xFF00, 0xFF, 0, D3DFMT_R8G8B8},      {32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000, D3DFMT_A8B8G8R8},
      {32, 0xFFFF, 0xFFFF0000, 0, 0, D3DFMT_G16R16},       {32, 0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000, D3DFMT_A2R10G10B10},
      {32, 0x3FF, 0xFFC00, 0x3FF00000, 0xC0000000, D3DFMT_A2B10G10R10},
  };
  for (const Case& c : cases) {
    Decoded d;
    Decode(&d, V5BitFields(c.bits, c.r, c.g, c.b, c.a, std::vector<BYTE>(c.bits / 8, 0), 1));
    EXPECT_EQ(d.hr, S_OK);
    EXPECT_EQ(d.image.format, c.format) << std::hex << c.r;
  }
  // A mask wider than the pixel is refused.
  Decoded wide;
  Decode(&wide, V5BitFields(16, 0x1F0000, 0x7E0, 0x1F, 0, {0, 0}, 1));
  EXPECT_EQ(wide.hr, E_FAIL);
}

TEST(DibDecoder, ShiftedMaskReadsOneByteOn) {
  // Red in the top byte: the pixel x B G R read from one byte on is B G R x'.
  std::vector<BYTE> px = {0x00, 0x10, 0x20, 0x30, 0x00, 0x40, 0x50, 0x60};
  Decoded d;
  Decode(&d, V5BitFields(32, 0xFF000000, 0xFF0000, 0xFF00, 0, px, 2));
  ASSERT_EQ(d.hr, S_OK);
  EXPECT_EQ(d.image.format, D3DFMT_X8R8G8B8);
  EXPECT_EQ(d.image.pixels[0], 0x10);  // blue
  EXPECT_EQ(d.image.pixels[1], 0x20);  // green
  EXPECT_EQ(d.image.pixels[2], 0x30);  // red
  EXPECT_EQ(d.image.pixels[4], 0x40);
  EXPECT_EQ(d.image.pixels[6], 0x60);
}

TEST(DibDecoder, GenericMasksDecodeToFloats) {
  // 16-bit 4-4-4-4 in an unusual order: red high, alpha low.
  std::vector<BYTE> px = {0x3F, 0xC0};  // 0xC03F: red 0xC, green 0x0, blue 0x3, alpha 0xF
  Decoded d;
  Decode(&d, V5BitFields(16, 0xF000, 0x0F00, 0x00F0, 0x000F, px, 1));
  ASSERT_EQ(d.hr, S_OK);
  EXPECT_EQ(d.image.format, D3DFMT_A32B32G32R32F);
  EXPECT_EQ(d.image.rowPitch, 16u);
  float f[4];
  std::memcpy(f, d.image.pixels, 16);
  EXPECT_FLOAT_EQ(f[0], 12.0f / 15.0f);
  EXPECT_FLOAT_EQ(f[1], 0.0f);
  EXPECT_FLOAT_EQ(f[2], 3.0f / 15.0f);
  EXPECT_FLOAT_EQ(f[3], 1.0f);
  // No colour masks at all: colour reads 0, a missing alpha 1.
  Decoded none;
  Decode(&none, V5BitFields(16, 0, 0, 0, 0xFF00, {0, 0x80}, 1));
  ASSERT_EQ(none.hr, S_OK);
  std::memcpy(f, none.image.pixels, 16);
  EXPECT_EQ(f[0], 0.0f);
  EXPECT_FLOAT_EQ(f[3], 128.0f / 255.0f);
}

TEST(BmpFileDecoder, HeaderChecks) {
  auto dib = InfoDib(2, 1, 8, BI_RGB, 1, {0x00FF0000}, {0, 0, 0, 0});
  auto file = WithFileHeader(dib, 14 + 44);
  Decoded ok;
  Decode(&ok, file, true);
  EXPECT_EQ(ok.hr, S_OK);
  auto badMagic = file;
  badMagic[1] = 'A';
  Decoded magic;
  Decode(&magic, badMagic, true);
  EXPECT_EQ(magic.hr, E_FAIL);
  auto big = file;
  Put32(big, 2, uint32_t(file.size() + 1));
  Decoded size;
  Decode(&size, big, true);
  EXPECT_EQ(size.hr, E_FAIL);
  Decoded tiny;
  Decode(&tiny, std::vector<BYTE>(file.begin(), file.begin() + 13), true);
  EXPECT_EQ(tiny.hr, E_FAIL);
}

TEST(BmpFileDecoder, StoredOffsetUsedWhenItLiesPastTheTable) {
  // Colour table ends at 44; four gap bytes; pixels 1 2 at 48.
  auto dib = InfoDib(2, 1, 8, BI_RGB, 1, {0}, {0xEE, 0xEE, 0xEE, 0xEE, 1, 2, 0, 0});
  Decoded gap;
  Decode(&gap, WithFileHeader(dib, 14 + 48), true);
  ASSERT_EQ(gap.hr, S_OK);
  EXPECT_EQ(gap.image.pixels[0], 1);
  EXPECT_EQ(gap.image.pixels[1], 2);
  // An offset inside the colour table, or beyond the data, is not used.
  Decoded early, late;
  Decode(&early, WithFileHeader(dib, 14 + 40), true);
  Decode(&late, WithFileHeader(dib, 14 + 1000), true);
  ASSERT_EQ(early.hr, S_OK);
  ASSERT_EQ(late.hr, S_OK);
  EXPECT_EQ(early.image.pixels[0], 0xEE);
  EXPECT_EQ(late.image.pixels[0], 0xEE);
  // A stored offset inside the data whose rows would run past it falls back
  // to the bits right after the table.
  Decoded past;
  Decode(&past, WithFileHeader(dib, 14 + 51), true);
  ASSERT_EQ(past.hr, S_OK);
  EXPECT_EQ(past.image.pixels[0], 0xEE);
  EXPECT_EQ(past.image.pixels[1], 0xEE);
  // Rows that fit neither from the offset nor after the table still fail.
  auto shortDib = InfoDib(2, 2, 8, BI_RGB, 1, {0}, {1, 2, 0, 0, 3});
  Decoded neither;
  Decode(&neither, WithFileHeader(shortDib, 14 + 46), true);
  EXPECT_EQ(neither.hr, E_FAIL);
}

TEST(DecodedImage, AllocationFaultsGiveOutOfMemory) {
  host::HeadlessHost h;
  host::SetCurrent(&h);
  HostAllocationFaults routed;
  auto dib = InfoDib(88, 88, 4, BI_RGB, 0, SixteenColours(), Pack4(88, 88, [](int, int) { return 0; }));
  for (int nth = 1; nth <= 2; ++nth) {
    h.FailAt("alloc", h.CallCount("alloc") + nth);
    Decoded d;
    Decode(&d, dib);
    EXPECT_EQ(d.hr, E_OUTOFMEMORY) << "allocation " << nth;
  }
  host::SetCurrent(nullptr);
}

TEST(DecodedImage, ClearFreesChainsAndKeepsTheLoadFlag) {
  gfx::DecodedImage image;
  image.loadPixels = false;
  image.pixels = gfx::AllocateImageBytes(16);
  image.pixelsOwned = true;
  image.nextLevel = new gfx::DecodedImage;
  image.nextLevel->palette = reinterpret_cast<PALETTEENTRY*>(gfx::AllocateImageBytes(1024));
  image.nextLevel->paletteOwned = true;
  image.nextLevel->nextFace = new gfx::DecodedImage;
  gfx::ClearDecodedImage(&image);  // leaks show under the address sanitizer
  EXPECT_EQ(image.pixels, nullptr);
  EXPECT_EQ(image.nextLevel, nullptr);
  EXPECT_FALSE(image.loadPixels);
}

}  // namespace

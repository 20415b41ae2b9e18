// Texture creation from bitmap resources and from memory: sizes and level
// counts against the device, level contents, colour key and palette, format
// choice, resource lookup and failure paths.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gfx/gfx.h"
#include "gfx/sprite/sprite.h"
#include "tests/gfx/sprite_test_support.h"
#include "tests/gfx/texture_bitmaps.h"
#include "tests/gfx/texture_device.h"

namespace texture_test {
namespace {

constexpr D3DCOLOR kGameKey = 0xFF000000;

class TextureCreate : public DeviceTest {
 protected:
  // The game's call for a registered bitmap.
  HRESULT CreateGame(WORD number, UINT width, UINT height, IDirect3DTexture9** texture,
                     PALETTEENTRY* palette = nullptr, D3DXIMAGE_INFO* info = nullptr) {
    return D3DXCreateTextureFromResourceExA(device_, nullptr, MAKEINTRESOURCEA(number), width, height, 0, 0,
                                            D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, kGameFilter, kGameFilter, kGameKey,
                                            info, palette, texture);
  }

  HRESULT CreateFromBytes(const std::vector<BYTE>& bytes, UINT width, UINT height, UINT levels, D3DFORMAT format,
                          D3DPOOL pool, DWORD filter, DWORD mipFilter, D3DCOLOR key, IDirect3DTexture9** texture,
                          PALETTEENTRY* palette = nullptr, D3DXIMAGE_INFO* info = nullptr, DWORD usage = 0) {
    return D3DXCreateTextureFromFileInMemoryEx(device_, bytes.data(), static_cast<UINT>(bytes.size()), width, height,
                                               levels, usage, format, pool, filter, mipFilter, key, info, palette,
                                               texture);
  }

  std::vector<uint32_t> Level(IDirect3DTexture9* texture, UINT level, UINT* w = nullptr, UINT* h = nullptr) {
    std::vector<uint32_t> pixels;
    UINT lw = 0, lh = 0;
    EXPECT_TRUE(ReadLevel(texture, level, &pixels, &lw, &lh));
    if (w) *w = lw;
    if (h) *h = lh;
    return pixels;
  }
};

TEST_F(TextureCreate, GameBitmapOnDefaultDeviceKeepsItsSizeWithSevenExactLevels) {
  StartDevice("default");
  Bitmap b = MakeBitmap(88, 88, 4);
  Register(2, 111, b.bytes);
  IDirect3DTexture9* texture = nullptr;
  ASSERT_EQ(CreateGame(111, 88, 88, &texture), S_OK);
  ASSERT_NE(texture, nullptr);
  EXPECT_EQ(texture->GetLevelCount(), 7u);
  D3DSURFACE_DESC desc{};
  ASSERT_EQ(texture->GetLevelDesc(0, &desc), S_OK);
  EXPECT_EQ(desc.Width, 88u);
  EXPECT_EQ(desc.Height, 88u);
  EXPECT_EQ(desc.Format, D3DFMT_A8R8G8B8);
  EXPECT_EQ(desc.Pool, D3DPOOL_MANAGED);

  // The top level is the bitmap through its palette, pixel for pixel.
  UINT w = 0, h = 0;
  std::vector<uint32_t> top = Level(texture, 0, &w, &h);
  int mismatches = 0;
  for (int y = 0; y < 88; ++y)
    for (int x = 0; x < 88; ++x) mismatches += top[size_t(y) * 88 + x] != b.KeyedArgbAt(x, y);
  EXPECT_EQ(mismatches, 0);

  const UINT sizes[7] = {88, 44, 22, 11, 5, 2, 1};
  for (UINT i = 0; i < 7; ++i) {
    ASSERT_EQ(texture->GetLevelDesc(i, &desc), S_OK);
    EXPECT_EQ(desc.Width, sizes[i]) << "level " << i;
    EXPECT_EQ(desc.Height, sizes[i]) << "level " << i;
  }
  texture->Release();
}

TEST_F(TextureCreate, GameBitmapOnPow2DeviceStretchesToEightLevelsEachFromTheFullPicture) {
  StartDevice("pow2");
  Bitmap b = MakeBitmap(88, 88, 4);
  Register(2, 111, b.bytes);
  IDirect3DTexture9* texture = nullptr;
  ASSERT_EQ(CreateGame(111, 88, 88, &texture), S_OK);
  EXPECT_EQ(texture->GetLevelCount(), 8u);
  D3DSURFACE_DESC desc{};
  ASSERT_EQ(texture->GetLevelDesc(0, &desc), S_OK);
  EXPECT_EQ(desc.Width, 128u);
  EXPECT_EQ(desc.Height, 128u);

  // Every level must equal the full 88 x 88 picture resampled straight to
  // that level's size: a single-level texture of that size asked for
  // directly is made exactly that way.
  for (UINT level : {0u, 3u, 7u}) {
    const UINT size = 128u >> level;
    IDirect3DTexture9* direct = nullptr;
    ASSERT_EQ(CreateFromBytes(b.bytes, size, size, 1, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, kGameFilter, kGameFilter,
                              kGameKey, &direct),
              S_OK);
    EXPECT_EQ(Level(texture, level), Level(direct, 0)) << "level " << level;
    direct->Release();
  }

  // A chain built level from level differs: the straight road is taken.
  IDirect3DTexture9* cascade = nullptr;
  ASSERT_EQ(CreateGame(111, 88, 88, &cascade), S_OK);
  ASSERT_EQ(D3DXFilterTexture(cascade, nullptr, 0, D3DX_FILTER_BOX), S_OK);
  EXPECT_NE(Level(texture, 3), Level(cascade, 3));
  cascade->Release();
  texture->Release();
}

TEST_F(TextureCreate, DigitStripLevelsHalveEachSideDownToOne) {
  StartDevice("default");
  Bitmap b = MakeBitmap(880, 88, 4);
  Register(2, 118, b.bytes);
  IDirect3DTexture9* texture = nullptr;
  ASSERT_EQ(CreateGame(118, 880, 88, &texture), S_OK);
  ASSERT_EQ(texture->GetLevelCount(), 10u);
  const UINT widths[10] = {880, 440, 220, 110, 55, 27, 13, 6, 3, 1};
  const UINT heights[10] = {88, 44, 22, 11, 5, 2, 1, 1, 1, 1};
  for (UINT i = 0; i < 10; ++i) {
    D3DSURFACE_DESC desc{};
    ASSERT_EQ(texture->GetLevelDesc(i, &desc), S_OK);
    EXPECT_EQ(desc.Width, widths[i]) << "level " << i;
    EXPECT_EQ(desc.Height, heights[i]) << "level " << i;
  }
  std::vector<uint32_t> top = Level(texture, 0);
  int mismatches = 0;
  for (int y = 0; y < 88; ++y)
    for (int x = 0; x < 880; ++x) mismatches += top[size_t(y) * 880 + x] != b.KeyedArgbAt(x, y);
  EXPECT_EQ(mismatches, 0);
  texture->Release();
}

TEST_F(TextureCreate, RcdataResourceIsFoundWhenNoBitmapExists) {
  StartDevice("default");
  Bitmap b = MakeBitmap(88, 88, 8);
  Register(10, 300, b.bytes);
  IDirect3DTexture9* texture = nullptr;
  ASSERT_EQ(CreateGame(300, 88, 88, &texture), S_OK);
  std::vector<uint32_t> top = Level(texture, 0);
  EXPECT_EQ(top[0], b.KeyedArgbAt(0, 0));
  EXPECT_EQ(top[87 * 88 + 87], b.KeyedArgbAt(87, 87));
  texture->Release();
}

TEST_F(TextureCreate, MissingResourceReportsTheSystemTextAndFails) {
  StartDevice("default");
  Register(2, 111, MakeBitmap(8, 8, 4).bytes);  // the module has resources, not this one
  IDirect3DTexture9* texture = reinterpret_cast<IDirect3DTexture9*>(0x1234);
  EXPECT_EQ(CreateGame(999, 88, 88, &texture), D3DXERR_INVALIDDATA);
  EXPECT_EQ(texture, reinterpret_cast<IDirect3DTexture9*>(0x1234));
  const std::string text = host_.DebugText();
  EXPECT_NE(text.find("D3DX: The specified resource"), std::string::npos) << text;
  EXPECT_NE(text.find("cannot be found in the image file.\r\n"), std::string::npos) << text;
}

TEST_F(TextureCreate, WideNamesFindStringResources) {
  StartDevice("default");
  Bitmap b = MakeBitmap(16, 8, 4);
  platform::RegisterResource(nullptr, MAKEINTRESOURCEA(2), "WALKER", 0x0411, b.bytes.data(),
                             static_cast<DWORD>(b.bytes.size()));
  IDirect3DTexture9* texture = nullptr;
  ASSERT_EQ(D3DXCreateTextureFromResourceExW(device_, nullptr, u"walker", D3DX_DEFAULT_NONPOW2, D3DX_DEFAULT_NONPOW2,
                                             1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, kGameFilter, kGameFilter,
                                             kGameKey, nullptr, nullptr, &texture),
            S_OK);
  D3DSURFACE_DESC desc{};
  ASSERT_EQ(texture->GetLevelDesc(0, &desc), S_OK);
  EXPECT_EQ(desc.Width, 16u);
  EXPECT_EQ(desc.Height, 8u);
  texture->Release();
}

TEST_F(TextureCreate, KeyedBlackEntryBecomesTransparentWhileWhiteFillersStay) {
  StartDevice("default");
  Bitmap b = MakeBitmap(32, 32, 4);
  b.table[3] = RGBQUAD{0, 0, 0, 0};  // pure black in the table
  for (int x = 0; x < 32; ++x) b.indices[5 * 32 + x] = 3;
  Store(b);
  PALETTEENTRY palette[256];
  for (PALETTEENTRY& e : palette) e = PALETTEENTRY{1, 2, 3, 4};
  IDirect3DTexture9* texture = nullptr;
  ASSERT_EQ(CreateFromBytes(b.bytes, D3DX_DEFAULT_NONPOW2, D3DX_DEFAULT_NONPOW2, 1, D3DFMT_A8R8G8B8,
                            D3DPOOL_MANAGED, kGameFilter, kGameFilter, kGameKey, &texture, palette),
            S_OK);
  // The caller receives the keyed palette.
  EXPECT_EQ(palette[3].peRed | palette[3].peGreen | palette[3].peBlue | palette[3].peFlags, 0);
  EXPECT_EQ(palette[0].peRed, 0x01);
  EXPECT_EQ(palette[0].peBlue, 0x02);
  EXPECT_EQ(palette[0].peFlags, 255);
  for (int i = 16; i < 256; ++i) {
    ASSERT_EQ(palette[i].peRed & palette[i].peGreen & palette[i].peBlue & palette[i].peFlags, 255) << i;
  }
  std::vector<uint32_t> top = Level(texture, 0);
  for (int x = 0; x < 32; ++x) EXPECT_EQ(top[5 * 32 + x], 0u) << x;
  EXPECT_EQ(top[6 * 32], b.KeyedArgbAt(0, 6));
  EXPECT_EQ(top[6 * 32] >> 24, 0xFFu);
  texture->Release();
}

TEST_F(TextureCreate, JpegCompressedBitmapReportsBothMessagesAndFails) {
  StartDevice("default");
  Bitmap b = MakeBitmap(8, 8, 8);
  b.compression = BI_JPEG;
  Store(b);
  Register(2, 200, b.bytes);
  IDirect3DTexture9* texture = nullptr;
  EXPECT_EQ(CreateGame(200, 8, 8, &texture), D3DXERR_INVALIDDATA);
  EXPECT_EQ(texture, nullptr);
  const std::string text = host_.DebugText();
  const size_t jpeg = text.find("D3DX: LoadBMP: JPEG compression not supported\r\n");
  const size_t unsupported = text.find("D3DX: Unsupported file format\r\n");
  ASSERT_NE(jpeg, std::string::npos) << text;
  ASSERT_NE(unsupported, std::string::npos) << text;
  EXPECT_LT(jpeg, unsupported);
}

TEST_F(TextureCreate, BitmapResourcesPassTheOtherFormatTestsSilently) {
  StartDevice("default");
  for (const GameBitmap& g : kGameBitmaps) {
    Bitmap b = MakeBitmap(g.width, g.height, g.bits, false, g.clrUsed);
    D3DXIMAGE_INFO info{};
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(CreateFromBytes(b.bytes, g.width, g.height, 1, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, kGameFilter,
                              kGameFilter, kGameKey, &texture, nullptr, &info),
              S_OK)
        << g.resource;
    EXPECT_EQ(info.ImageFileFormat, D3DXIFF_DIB);
    EXPECT_EQ(info.Format, D3DFMT_P8);
    EXPECT_EQ(info.Width, UINT(g.width));
    EXPECT_EQ(info.Height, UINT(g.height));
    EXPECT_EQ(info.Depth, 1u);
    EXPECT_EQ(info.MipLevels, 1u);
    EXPECT_EQ(info.ResourceType, D3DRTYPE_TEXTURE);
    texture->Release();
  }
  EXPECT_EQ(host_.DebugText(), "");
}

TEST_F(TextureCreate, BitmapFileIsRecognisedByItsHeader) {
  StartDevice("default");
  Bitmap b = MakeBitmap(8, 4, 8);
  std::vector<BYTE> file{'B', 'M'};
  PutU32(file, static_cast<uint32_t>(14 + b.bytes.size()));
  PutU32(file, 0);
  PutU32(file, static_cast<uint32_t>(14 + 40 + 1024));
  file.insert(file.end(), b.bytes.begin(), b.bytes.end());
  D3DXIMAGE_INFO info{};
  IDirect3DTexture9* texture = nullptr;
  ASSERT_EQ(CreateFromBytes(file, 0, 0, 1, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, kGameFilter, kGameFilter, 0, &texture,
                            nullptr, &info),
            S_OK);
  EXPECT_EQ(info.ImageFileFormat, D3DXIFF_BMP);
  D3DSURFACE_DESC desc{};
  ASSERT_EQ(texture->GetLevelDesc(0, &desc), S_OK);
  EXPECT_EQ(desc.Width, 8u);  // size 0 means the picture's, raised to a power of two
  EXPECT_EQ(desc.Height, 4u);
  texture->Release();
}

TEST_F(TextureCreate, FilterNoneSendsLaterLevelsThroughTheMipGenerator) {
  StartDevice("default");
  Bitmap b = MakeBitmap(88, 88, 4);
  IDirect3DTexture9* texture = nullptr;
  ASSERT_EQ(CreateFromBytes(b.bytes, 88, 88, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, D3DX_FILTER_NONE, kGameFilter,
                            kGameKey, &texture),
            S_OK);
  ASSERT_EQ(texture->GetLevelCount(), 7u);
  // Level 1 is level 0 (the picture itself) reduced with the triangle
  // filter, not the picture's top-left corner copied with no filter.
  IDirect3DTexture9* reduced = nullptr;
  ASSERT_EQ(CreateFromBytes(b.bytes, 44, 44, 1, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, kGameFilter, kGameFilter,
                            kGameKey, &reduced),
            S_OK);
  std::vector<uint32_t> level1 = Level(texture, 1);
  EXPECT_EQ(level1, Level(reduced, 0));
  std::vector<uint32_t> corner(44 * 44);
  for (int y = 0; y < 44; ++y)
    for (int x = 0; x < 44; ++x) corner[size_t(y) * 44 + x] = b.KeyedArgbAt(x, y);
  EXPECT_NE(level1, corner);
  reduced->Release();
  texture->Release();
}

TEST_F(TextureCreate, FilterTextureChecksItsSourceLevel) {
  StartDevice("default");
  IDirect3DTexture9* texture = nullptr;
  ASSERT_EQ(device_->CreateTexture(8, 8, 4, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr), S_OK);
  EXPECT_EQ(D3DXFilterTexture(nullptr, nullptr, 0, D3DX_DEFAULT), D3DERR_INVALIDCALL);
  EXPECT_EQ(D3DXFilterTexture(texture, nullptr, 4, D3DX_DEFAULT), D3DERR_INVALIDCALL);
  EXPECT_NE(host_.DebugText().find("D3DX: uSrcLevel larger than num Mip level in the texture\r\n"), std::string::npos);
  EXPECT_EQ(D3DXFilterTexture(texture, nullptr, 3, D3DX_DEFAULT), S_OK);  // nothing below the last level
  EXPECT_EQ(D3DXFilterTexture(texture, nullptr, D3DX_DEFAULT, D3DX_DEFAULT), S_OK);
  texture->Release();
}

TEST_F(TextureCreate, UnknownFormatFollowsTheImageAndItsKey) {
  StartDevice("default");
  D3DSURFACE_DESC desc{};
  IDirect3DTexture9* texture = nullptr;

  // No pure black in the tile palette: nothing keyed, no alpha needed.
  Bitmap tiles = MakeBitmap(16, 16, 4);
  ASSERT_EQ(CreateFromBytes(tiles.bytes, 16, 16, 1, D3DFMT_UNKNOWN, D3DPOOL_MANAGED, kGameFilter, kGameFilter,
                            kGameKey, &texture),
            S_OK);
  texture->GetLevelDesc(0, &desc);
  EXPECT_EQ(desc.Format, D3DFMT_X8R8G8B8);
  texture->Release();

  // The common palette's black entry is keyed: the texture needs alpha.
  Bitmap common = MakeBitmap(16, 16, 8);
  ASSERT_EQ(CreateFromBytes(common.bytes, 16, 16, 1, D3DFMT_UNKNOWN, D3DPOOL_MANAGED, kGameFilter, kGameFilter,
                            kGameKey, &texture),
            S_OK);
  texture->GetLevelDesc(0, &desc);
  EXPECT_EQ(desc.Format, D3DFMT_A8R8G8B8);
  texture->Release();

  // Asking for P8 without a palette pointer gives a direct-colour texture.
  ASSERT_EQ(CreateFromBytes(tiles.bytes, 16, 16, 1, D3DFMT_P8, D3DPOOL_MANAGED, kGameFilter, kGameFilter, 0,
                            &texture),
            S_OK);
  texture->GetLevelDesc(0, &desc);
  EXPECT_EQ(desc.Format, D3DFMT_X8R8G8B8);
  texture->Release();
}

// A 2 x 2 bottom-up BI_RGB bitmap of direct colour whose top-left pixel is
// black; `pixel` writes one stored pixel from (red, green, blue).
std::vector<BYTE> DirectColourBitmap(int bits, void (*pixel)(std::vector<BYTE>&, BYTE, BYTE, BYTE)) {
  std::vector<BYTE> row0, row1;  // top row, bottom row
  pixel(row0, 0, 0, 0);
  pixel(row0, 255, 0, 0);
  pixel(row1, 0, 255, 0);
  pixel(row1, 0, 0, 255);
  while (row0.size() % 4) row0.push_back(0);
  while (row1.size() % 4) row1.push_back(0);
  std::vector<BYTE> out;
  PutU32(out, 40);
  PutU32(out, 2);
  PutU32(out, 2);
  PutU16(out, 1);
  PutU16(out, static_cast<uint32_t>(bits));
  PutU32(out, BI_RGB);
  PutU32(out, static_cast<uint32_t>(row0.size() * 2));
  for (int i = 0; i < 4; ++i) PutU32(out, 0);
  out.insert(out.end(), row1.begin(), row1.end());
  out.insert(out.end(), row0.begin(), row0.end());
  return out;
}

TEST_F(TextureCreate, KeyedDirectColourImagesAskForAnAlphaFormat) {
  StartDevice("default");
  struct Case {
    const char* name;
    int bits;
    void (*pixel)(std::vector<BYTE>&, BYTE, BYTE, BYTE);
    D3DFORMAT expected;
  };
  const Case cases[] = {
      {"24-bit", 24, [](std::vector<BYTE>& o, BYTE r, BYTE g, BYTE b) { o.insert(o.end(), {b, g, r}); },
       D3DFMT_A8R8G8B8},
      {"X8R8G8B8", 32, [](std::vector<BYTE>& o, BYTE r, BYTE g, BYTE b) { o.insert(o.end(), {b, g, r, 0}); },
       D3DFMT_A8R8G8B8},
      {"X1R5G5B5", 16,
       [](std::vector<BYTE>& o, BYTE r, BYTE g, BYTE b) { PutU16(o, ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3)); },
       D3DFMT_A1R5G5B5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<BYTE> bytes = DirectColourBitmap(c.bits, c.pixel);
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(CreateFromBytes(bytes, 2, 2, 1, D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_FILTER_NONE, D3DX_FILTER_NONE,
                              kGameKey, &texture),
              S_OK);
    D3DSURFACE_DESC desc{};
    texture->GetLevelDesc(0, &desc);
    EXPECT_EQ(desc.Format, c.expected);
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY), S_OK);
    const BYTE* top = static_cast<const BYTE*>(locked.pBits);
    const BYTE* bottom = top + locked.Pitch;
    if (c.expected == D3DFMT_A8R8G8B8) {
      EXPECT_EQ(top[3], 0) << "the keyed black is transparent";
      EXPECT_EQ(top[7], 255);
      EXPECT_EQ(bottom[3], 255);
      EXPECT_EQ(bottom[7], 255);
    } else {
      EXPECT_EQ(top[1] & 0x80, 0) << "the keyed black is transparent";
      EXPECT_EQ(top[3] & 0x80, 0x80);
      EXPECT_EQ(bottom[1] & 0x80, 0x80);
    }
    texture->UnlockRect(0);
    texture->Release();
  }
}

TEST_F(TextureCreate, KeyedSixteenBitPerChannelRgbAsksForAnAlphaFormatToo) {
  StartDevice("default");
  // A 2 x 1 P6 of 16-bit samples: black, then white.
  std::string ppm = "P6\n2 1\n65535\n";
  ppm.append(6, '\0');
  ppm.append(6, '\xFF');
  const std::vector<BYTE> bytes(ppm.begin(), ppm.end());
  IDirect3DTexture9* texture = nullptr;
  ASSERT_EQ(CreateFromBytes(bytes, 2, 1, 1, D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_FILTER_NONE, D3DX_FILTER_NONE,
                            kGameKey, &texture),
            S_OK);
  D3DSURFACE_DESC desc{};
  texture->GetLevelDesc(0, &desc);
  EXPECT_EQ(desc.Format, D3DFMT_A8R8G8B8);
  const std::vector<uint32_t> pixels = Level(texture, 0);
  ASSERT_EQ(pixels.size(), 2u);
  EXPECT_EQ(pixels[0], 0x00000000u) << "the keyed black is transparent";
  EXPECT_EQ(pixels[1], 0xFFFFFFFFu);
  texture->Release();
}

TEST_F(TextureCreate, AFilterWithReservedBitsIsRefusedOnEveryRoad) {
  StartDevice("default");
  const std::vector<BYTE> bytes =
      DirectColourBitmap(32, [](std::vector<BYTE>& o, BYTE r, BYTE g, BYTE b) { o.insert(o.end(), {b, g, r, 0}); });
  // X8R8G8B8 at the image's own size is copied as it stands; R5G6B5 goes
  // through the level loader. Either way the word is checked.
  for (D3DFORMAT format : {D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8, D3DFMT_R5G6B5}) {
    SCOPED_TRACE(format);
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(CreateFromBytes(bytes, 2, 2, 1, format, D3DPOOL_MANAGED, D3DX_FILTER_NONE, D3DX_FILTER_NONE, 0, &texture),
              S_OK);
    texture->Release();
    texture = nullptr;
    for (DWORD reserved : {0x00400000u, 0x80000000u}) {
      const size_t before = host_.DebugText().size();
      EXPECT_EQ(CreateFromBytes(bytes, 2, 2, 1, format, D3DPOOL_MANAGED, D3DX_FILTER_NONE | reserved, D3DX_FILTER_NONE,
                                0, &texture),
                D3DERR_INVALIDCALL);
      EXPECT_EQ(texture, nullptr);
      EXPECT_NE(host_.DebugText().find("Invalid image filter", before), std::string::npos);
    }
  }
}

TEST_F(TextureCreate, GreyRampPaletteIsReadAsLuminance) {
  StartDevice("default");
  Bitmap b = MakeBitmap(16, 16, 8);
  for (int i = 0; i < 256; ++i) b.table[i] = RGBQUAD{BYTE(i), BYTE(i), BYTE(i), 0};
  for (int i = 0; i < 256; ++i) b.indices[i] = BYTE(i);
  Store(b);
  D3DXIMAGE_INFO info{};
  IDirect3DTexture9* texture = nullptr;
  ASSERT_EQ(CreateFromBytes(b.bytes, 16, 16, 1, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, D3DX_FILTER_NONE, kGameFilter, 0,
                            &texture, nullptr, &info),
            S_OK);
  EXPECT_EQ(info.Format, D3DFMT_P8);  // the file's own description
  std::vector<uint32_t> top = Level(texture, 0);
  EXPECT_EQ(top[0], 0xFF000000u);
  EXPECT_EQ(top[0x80], 0xFF808080u);
  EXPECT_EQ(top[255], 0xFFFFFFFFu);
  texture->Release();
}

TEST_F(TextureCreate, DefaultPoolIsFilledThroughAStagingTexture) {
  StartDevice("default");
  Bitmap b = MakeBitmap(24, 24, 4);
  const ULONG refs = DeviceRefs();
  IDirect3DTexture9* texture = nullptr;
  ASSERT_EQ(CreateFromBytes(b.bytes, 24, 24, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, kGameFilter, kGameFilter, kGameKey,
                            &texture),
            S_OK);
  D3DSURFACE_DESC desc{};
  ASSERT_EQ(texture->GetLevelDesc(0, &desc), S_OK);
  EXPECT_EQ(desc.Pool, D3DPOOL_DEFAULT);
  // A default-pool texture cannot be locked: draw it to look at it.
  ID3DXSprite* sprite = nullptr;
  ASSERT_EQ(D3DXCreateSprite(device_, &sprite), S_OK);
  ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFFFFFF, 1.0f, 0), S_OK);
  ASSERT_EQ(device_->BeginScene(), S_OK);
  ASSERT_EQ(sprite->Draw(texture, nullptr, nullptr, nullptr, 0.0f, nullptr, 0xFFFFFFFF), S_OK);
  ASSERT_EQ(device_->EndScene(), S_OK);
  sprite->Release();
  const auto& frame = PresentFrame(device_, host_);
  int mismatches = 0;
  for (int y = 0; y < 24; ++y)
    for (int x = 0; x < 24; ++x) mismatches += FramePixel(frame, x, y) != (b.KeyedArgbAt(x, y) & 0xFFFFFF);
  EXPECT_EQ(mismatches, 0);
  texture->Release();
  EXPECT_EQ(DeviceRefs(), refs);  // the staging texture is gone too
}

TEST_F(TextureCreate, BadArgumentsAreNamed) {
  StartDevice("default");
  Bitmap b = MakeBitmap(8, 8, 4);
  IDirect3DTexture9* texture = nullptr;
  EXPECT_EQ(D3DXCreateTextureFromFileInMemoryEx(nullptr, b.bytes.data(), 10, 0, 0, 0, 0, D3DFMT_UNKNOWN,
                                                D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0, nullptr, nullptr,
                                                &texture),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(D3DXCreateTextureFromFileInMemoryEx(device_, nullptr, 10, 0, 0, 0, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED,
                                                D3DX_DEFAULT, D3DX_DEFAULT, 0, nullptr, nullptr, &texture),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(D3DXCreateTextureFromFileInMemoryEx(device_, b.bytes.data(), 0, 0, 0, 0, 0, D3DFMT_UNKNOWN,
                                                D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0, nullptr, nullptr,
                                                &texture),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(D3DXCreateTextureFromFileInMemoryEx(device_, b.bytes.data(), 10, 0, 0, 0, 0, D3DFMT_UNKNOWN,
                                                D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0, nullptr, nullptr,
                                                nullptr),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(texture, nullptr);
  const std::string text = host_.DebugText();
  EXPECT_NE(text.find("D3DX: pDevice pointer is invalid"), std::string::npos);
  EXPECT_NE(text.find("D3DX: pvSrcData pointer is invalid"), std::string::npos);
  EXPECT_NE(text.find("D3DX: cbSrcData value is invalid"), std::string::npos);
  EXPECT_NE(text.find("D3DX: Texture pointer is invalid"), std::string::npos);

  // Bytes that no decoder takes.
  const std::vector<BYTE> junk(64, 0x5A);
  EXPECT_EQ(CreateFromBytes(junk, 0, 0, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0, &texture),
            D3DXERR_INVALIDDATA);
  EXPECT_EQ(texture, nullptr);
}

}  // namespace
}  // namespace texture_test

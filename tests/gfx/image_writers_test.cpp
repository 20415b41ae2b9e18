// The image writers and the file roads on the headless software device:
// every lossless writer's file reads back to exactly the pixels written,
// JPEG to nearly them, DDS keeps a texture's format and whole mip chain,
// and the A and W file entries reach the same files.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "gfx/formats/decoded_image.h"
#include "gfx/formats/frame_png.h"
#include "gfx/formats/image_decoders.h"
#include "gfx/gfx.h"
#include "tests/gfx/memory_surface.h"
#include "tests/gfx/texture_device.h"
#include "tests/support/read_file.h"

namespace {

using texture_test::DeviceTest;

class ImageWriters : public DeviceTest {
 protected:
  void SetUp() override { StartDevice("default"); }

  // A managed texture of one level filled with the given pixels.
  IDirect3DTexture9* MakeTexture(UINT w, UINT h, D3DFORMAT format, const std::vector<uint32_t>& argb) {
    IDirect3DTexture9* texture = nullptr;
    EXPECT_EQ(device_->CreateTexture(w, h, 1, 0, format, D3DPOOL_MANAGED, &texture, nullptr), S_OK);
    IDirect3DSurface9* surface = nullptr;
    EXPECT_EQ(texture->GetSurfaceLevel(0, &surface), S_OK);
    const RECT rect{0, 0, LONG(w), LONG(h)};
    EXPECT_EQ(D3DXLoadSurfaceFromMemory(surface, nullptr, nullptr, argb.data(), D3DFMT_A8R8G8B8, w * 4, nullptr,
                                        &rect, D3DX_FILTER_NONE, 0),
              S_OK);
    surface->Release();
    return texture;
  }

  // Saves level 0 of a texture in memory and loads it back as A8R8G8B8.
  std::vector<uint32_t> RoundTrip(IDirect3DTexture9* texture, D3DXIMAGE_FILEFORMAT format, UINT w, UINT h,
                                  D3DXIMAGE_INFO* info) {
    IDirect3DSurface9* surface = nullptr;
    EXPECT_EQ(texture->GetSurfaceLevel(0, &surface), S_OK);
    ID3DXBuffer* buffer = nullptr;
    EXPECT_EQ(D3DXSaveSurfaceToFileInMemory(&buffer, format, surface, nullptr, nullptr), S_OK);
    surface->Release();
    std::vector<uint32_t> out(size_t(w) * h);
    if (buffer == nullptr) return out;
    gfxtest::MemorySurface back(w, h, D3DFMT_A8R8G8B8, 4);
    EXPECT_EQ(D3DXLoadSurfaceFromFileInMemory(&back, nullptr, nullptr, buffer->GetBufferPointer(),
                                              buffer->GetBufferSize(), nullptr, D3DX_FILTER_NONE, 0, info),
              S_OK);
    buffer->Release();
    for (UINT y = 0; y < h; ++y)
      for (UINT x = 0; x < w; ++x) out[size_t(y) * w + x] = back.Pixel32(x, y);
    return out;
  }
};

TEST_F(ImageWriters, LosslessWritersReadBackExactlyWithAndWithoutAlpha) {
  const UINT w = 13, h = 7;
  std::mt19937 rng(7);
  std::vector<uint32_t> argb(size_t(w) * h);
  for (uint32_t& p : argb) p = rng();
  std::vector<uint32_t> opaque = argb;
  for (uint32_t& p : opaque) p |= 0xFF000000u;

  IDirect3DTexture9* withAlpha = MakeTexture(w, h, D3DFMT_A8R8G8B8, argb);
  IDirect3DTexture9* without = MakeTexture(w, h, D3DFMT_X8R8G8B8, argb);
  struct Case {
    D3DXIMAGE_FILEFORMAT format;
    D3DXIMAGE_FILEFORMAT readAs;
    bool keepsAlpha;
  } cases[] = {{D3DXIFF_BMP, D3DXIFF_BMP, true}, {D3DXIFF_PNG, D3DXIFF_PNG, true}, {D3DXIFF_TGA, D3DXIFF_TGA, true},
               {D3DXIFF_DDS, D3DXIFF_DDS, true}, {D3DXIFF_PPM, D3DXIFF_PPM, false}, {D3DXIFF_DIB, D3DXIFF_DIB, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(int(c.format));
    D3DXIMAGE_INFO info{};
    EXPECT_EQ(RoundTrip(withAlpha, c.format, w, h, &info), c.keepsAlpha ? argb : opaque);
    EXPECT_EQ(info.ImageFileFormat, c.readAs);
    EXPECT_EQ(info.Width, w);
    EXPECT_EQ(info.Height, h);
    EXPECT_EQ(RoundTrip(without, c.format, w, h, &info), opaque);
  }
  withAlpha->Release();
  without->Release();
}

TEST_F(ImageWriters, GreySurfacesAreWrittenAsGrey) {
  const UINT w = 9, h = 5;
  std::vector<uint32_t> argb(size_t(w) * h);
  for (size_t i = 0; i < argb.size(); ++i) {
    const uint32_t v = uint32_t(i * 5) & 0xFF;
    argb[i] = 0xFF000000u | v << 16 | v << 8 | v;
  }
  IDirect3DTexture9* texture = MakeTexture(w, h, D3DFMT_L8, argb);
  for (D3DXIMAGE_FILEFORMAT format : {D3DXIFF_PNG, D3DXIFF_TGA, D3DXIFF_JPG}) {
    SCOPED_TRACE(int(format));
    D3DXIMAGE_INFO info{};
    const std::vector<uint32_t> back = RoundTrip(texture, format, w, h, &info);
    EXPECT_EQ(info.Format, D3DFMT_L8);
    if (format != D3DXIFF_JPG) {
      EXPECT_EQ(back, argb);
    }
  }
  texture->Release();
}

TEST_F(ImageWriters, JpegIsCloseToTheSourceAndReadsAsX8R8G8B8) {
  const UINT w = 64, h = 48;
  std::vector<uint32_t> argb(size_t(w) * h);
  for (UINT y = 0; y < h; ++y)
    for (UINT x = 0; x < w; ++x) argb[size_t(y) * w + x] = 0xFF000000u | (x * 4) << 16 | (y * 5) << 8 | 0x80;
  IDirect3DTexture9* texture = MakeTexture(w, h, D3DFMT_A8R8G8B8, argb);
  D3DXIMAGE_INFO info{};
  const std::vector<uint32_t> back = RoundTrip(texture, D3DXIFF_JPG, w, h, &info);
  EXPECT_EQ(info.Format, D3DFMT_X8R8G8B8);
  EXPECT_EQ(info.ImageFileFormat, D3DXIFF_JPG);
  double total = 0;
  for (size_t i = 0; i < argb.size(); ++i)
    for (int shift = 0; shift < 24; shift += 8)
      total += std::abs(int((argb[i] >> shift) & 0xFF) - int((back[i] >> shift) & 0xFF));
  EXPECT_LT(total / (argb.size() * 3), 2.0);
  texture->Release();
}

// DDS keeps the texture's own format and every level, byte for byte.
TEST_F(ImageWriters, DdsHoldsTheWholeMipChainInTheTexturesFormat) {
  for (D3DFORMAT format : {D3DFMT_A8R8G8B8, D3DFMT_R5G6B5, D3DFMT_DXT1, D3DFMT_DXT5, D3DFMT_A16B16G16R16F}) {
    SCOPED_TRACE(int(format));
    IDirect3DTexture9* texture = nullptr;
    // Scratch textures hold formats the device cannot sample.
    ASSERT_EQ(device_->CreateTexture(16, 8, 0, 0, format, D3DPOOL_SCRATCH, &texture, nullptr), S_OK);
    const UINT levels = texture->GetLevelCount();
    ASSERT_EQ(levels, 5u);
    for (UINT i = 0; i < levels; ++i) {
      D3DLOCKED_RECT locked{};
      ASSERT_EQ(texture->LockRect(i, &locked, nullptr, 0), S_OK);
      D3DSURFACE_DESC desc{};
      texture->GetLevelDesc(i, &desc);
      const UINT rows = (format == D3DFMT_DXT1 || format == D3DFMT_DXT5) ? (desc.Height + 3) / 4 : desc.Height;
      for (UINT y = 0; y < rows; ++y)
        for (INT b = 0; b < locked.Pitch; ++b)
          static_cast<BYTE*>(locked.pBits)[size_t(y) * locked.Pitch + b] = BYTE(i * 31 + y * 7 + b);
      texture->UnlockRect(i);
    }
    ID3DXBuffer* buffer = nullptr;
    ASSERT_EQ(D3DXSaveTextureToFileInMemory(&buffer, D3DXIFF_DDS, texture, nullptr), S_OK);
    D3DXIMAGE_INFO info{};
    ASSERT_EQ(D3DXGetImageInfoFromFileInMemory(buffer->GetBufferPointer(), buffer->GetBufferSize(), &info), S_OK);
    EXPECT_EQ(info.Format, format);
    EXPECT_EQ(info.MipLevels, levels);
    EXPECT_EQ(info.Width, 16u);
    EXPECT_EQ(info.Height, 8u);

    IDirect3DTexture9* loaded = nullptr;
    ASSERT_EQ(D3DXCreateTextureFromFileInMemoryEx(device_, buffer->GetBufferPointer(), buffer->GetBufferSize(),
                                                  D3DX_DEFAULT_NONPOW2, D3DX_DEFAULT_NONPOW2, 0, 0, format,
                                                  D3DPOOL_SCRATCH, D3DX_FILTER_NONE, D3DX_FILTER_NONE, 0, nullptr,
                                                  nullptr, &loaded),
              S_OK);
    ASSERT_EQ(loaded->GetLevelCount(), levels);
    for (UINT i = 0; i < levels; ++i) {
      D3DLOCKED_RECT a{}, b{};
      D3DSURFACE_DESC desc{};
      texture->GetLevelDesc(i, &desc);
      ASSERT_EQ(texture->LockRect(i, &a, nullptr, D3DLOCK_READONLY), S_OK);
      ASSERT_EQ(loaded->LockRect(i, &b, nullptr, D3DLOCK_READONLY), S_OK);
      const bool blocks = format == D3DFMT_DXT1 || format == D3DFMT_DXT5;
      const UINT rows = blocks ? (desc.Height + 3) / 4 : desc.Height;
      const UINT rowBytes = blocks ? (desc.Width + 3) / 4 * (format == D3DFMT_DXT1 ? 8 : 16)
                                   : desc.Width * (format == D3DFMT_A16B16G16R16F ? 8 : format == D3DFMT_R5G6B5 ? 2 : 4);
      for (UINT y = 0; y < rows; ++y)
        EXPECT_EQ(std::memcmp(static_cast<BYTE*>(a.pBits) + size_t(y) * a.Pitch,
                              static_cast<BYTE*>(b.pBits) + size_t(y) * b.Pitch, rowBytes),
                  0)
            << "level " << i << " row " << y;
      texture->UnlockRect(i);
      loaded->UnlockRect(i);
    }
    loaded->Release();
    buffer->Release();
    texture->Release();
  }
}

TEST_F(ImageWriters, RectanglesAndBadRequestsAreChecked) {
  const UINT w = 8, h = 6;
  std::vector<uint32_t> argb(size_t(w) * h);
  for (size_t i = 0; i < argb.size(); ++i) argb[i] = 0xFF000000u | uint32_t(i);
  IDirect3DTexture9* texture = MakeTexture(w, h, D3DFMT_A8R8G8B8, argb);
  IDirect3DSurface9* surface = nullptr;
  ASSERT_EQ(texture->GetSurfaceLevel(0, &surface), S_OK);
  ID3DXBuffer* buffer = nullptr;
  const RECT part{2, 1, 5, 4};
  ASSERT_EQ(D3DXSaveSurfaceToFileInMemory(&buffer, D3DXIFF_PNG, surface, nullptr, &part), S_OK);
  D3DXIMAGE_INFO info{};
  gfxtest::MemorySurface back(3, 3, D3DFMT_A8R8G8B8, 4);
  ASSERT_EQ(D3DXLoadSurfaceFromFileInMemory(&back, nullptr, nullptr, buffer->GetBufferPointer(),
                                            buffer->GetBufferSize(), nullptr, D3DX_FILTER_NONE, 0, &info),
            S_OK);
  EXPECT_EQ(info.Width, 3u);
  EXPECT_EQ(back.Pixel32(0, 0), argb[1 * w + 2]);
  EXPECT_EQ(back.Pixel32(2, 2), argb[3 * w + 4]);
  buffer->Release();

  const RECT outside{0, 0, 9, 6};
  const RECT empty{3, 3, 3, 4};
  buffer = nullptr;
  EXPECT_EQ(D3DXSaveSurfaceToFileInMemory(&buffer, D3DXIFF_PNG, surface, nullptr, &outside), D3DERR_INVALIDCALL);
  EXPECT_EQ(D3DXSaveSurfaceToFileInMemory(&buffer, D3DXIFF_BMP, surface, nullptr, &empty), D3DERR_INVALIDCALL);
  EXPECT_EQ(D3DXSaveSurfaceToFileInMemory(&buffer, D3DXIFF_HDR, surface, nullptr, nullptr), D3DERR_INVALIDCALL);
  EXPECT_EQ(D3DXSaveSurfaceToFileInMemory(nullptr, D3DXIFF_PNG, surface, nullptr, nullptr), D3DERR_INVALIDCALL);
  EXPECT_EQ(D3DXSaveSurfaceToFileInMemory(&buffer, D3DXIFF_PNG, nullptr, nullptr, nullptr), D3DERR_INVALIDCALL);
  EXPECT_EQ(buffer, nullptr);
  surface->Release();
  texture->Release();
}

TEST_F(ImageWriters, FileEntriesAAndWReachTheSameFiles) {
  const std::filesystem::path folder = std::filesystem::temp_directory_path() / "velmora-image-writers";
  std::filesystem::create_directories(folder);
  const std::string utf8 = (folder / "bild-\xC3\xA4\xF0\x9F\x98\x80.png").string();  // a-umlaut, an emoji
  std::u16string wide;
  for (char c : (folder / "bild-").string()) wide.push_back(char16_t(static_cast<unsigned char>(c)));
  wide += u"\u00E4\U0001F600.png";

  const UINT w = 5, h = 4;
  std::vector<uint32_t> argb(size_t(w) * h, 0x80402010u);
  IDirect3DTexture9* texture = MakeTexture(w, h, D3DFMT_A8R8G8B8, argb);
  ASSERT_EQ(D3DXSaveTextureToFileW(reinterpret_cast<LPCWSTR>(wide.c_str()), D3DXIFF_PNG, texture, nullptr), S_OK);
  ASSERT_TRUE(std::filesystem::exists(utf8));

  D3DXIMAGE_INFO info{};
  ASSERT_EQ(D3DXGetImageInfoFromFileA(utf8.c_str(), &info), S_OK);
  EXPECT_EQ(info.ImageFileFormat, D3DXIFF_PNG);
  EXPECT_EQ(info.Format, D3DFMT_A8R8G8B8);
  D3DXIMAGE_INFO wideInfo{};
  ASSERT_EQ(D3DXGetImageInfoFromFileW(reinterpret_cast<LPCWSTR>(wide.c_str()), &wideInfo), S_OK);
  EXPECT_EQ(wideInfo.Width, w);

  IDirect3DTexture9* loaded = nullptr;
  ASSERT_EQ(D3DXCreateTextureFromFileW(device_, reinterpret_cast<LPCWSTR>(wide.c_str()), &loaded), S_OK);
  D3DSURFACE_DESC desc{};
  loaded->GetLevelDesc(0, &desc);
  EXPECT_EQ(desc.Width, 8u);  // the default raises the size to a power of two
  loaded->Release();
  loaded = nullptr;
  ASSERT_EQ(D3DXCreateTextureFromFileExA(device_, utf8.c_str(), D3DX_DEFAULT_NONPOW2, D3DX_DEFAULT_NONPOW2, 1, 0,
                                         D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, D3DX_FILTER_NONE, D3DX_DEFAULT, 0, &info,
                                         nullptr, &loaded),
            S_OK);
  std::vector<uint32_t> pixels;
  UINT lw = 0, lh = 0;
  ASSERT_TRUE(texture_test::ReadLevel(loaded, 0, &pixels, &lw, &lh));
  EXPECT_EQ(pixels, argb);
  loaded->Release();

  gfxtest::MemorySurface surface(w, h, D3DFMT_A8R8G8B8, 4);
  EXPECT_EQ(D3DXLoadSurfaceFromFileA(&surface, nullptr, nullptr, utf8.c_str(), nullptr, D3DX_FILTER_NONE, 0, nullptr),
            S_OK);
  EXPECT_EQ(surface.Pixel32(4, 3), argb[0]);

  // Missing files and names.
  const std::string missing = (folder / "missing.png").string();
  loaded = nullptr;
  EXPECT_EQ(D3DXCreateTextureFromFileA(device_, missing.c_str(), &loaded), D3DXERR_INVALIDDATA);
  EXPECT_EQ(loaded, nullptr);
  EXPECT_EQ(D3DXGetImageInfoFromFileA(nullptr, &info), D3DERR_INVALIDCALL);
  EXPECT_EQ(D3DXLoadSurfaceFromFileW(&surface, nullptr, nullptr, nullptr, nullptr, D3DX_FILTER_NONE, 0, nullptr),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(D3DXSaveTextureToFileA((folder / "no-such-folder" / "x.png").string().c_str(), D3DXIFF_PNG, texture,
                                   nullptr),
            E_FAIL);
  texture->Release();
  std::filesystem::remove_all(folder);
}

}  // namespace

namespace {

// A JPEG loaded into a one-level texture with no filtering is decoded
// straight into the level: the pixels must be those of the usual road, and
// a corrupt file must fail the same way, reported once.
TEST_F(ImageWriters, JpegDecodedIntoTheTextureMatchesTheUsualRoad) {
  const char* source = std::getenv("VELMORA_SOURCE_DIR");
  const std::filesystem::path folder = std::filesystem::path(source ? source : ".") / "tests/data/images/jpeg";
  for (const char* name : {"pil-420.jpg", "go-video-001.q50.410.jpeg", "im-odd-411.jpg"}) {
    SCOPED_TRACE(name);
    const std::vector<BYTE> bytes = velmora_test::ReadWholeFile<std::vector<BYTE>>(folder / name);
    ASSERT_FALSE(bytes.empty());
    D3DXIMAGE_INFO info{};
    ASSERT_EQ(D3DXGetImageInfoFromFileInMemory(bytes.data(), UINT(bytes.size()), &info), S_OK);
    gfxtest::MemorySurface usual(info.Width, info.Height, D3DFMT_A8R8G8B8, 4);
    ASSERT_EQ(D3DXLoadSurfaceFromFileInMemory(&usual, nullptr, nullptr, bytes.data(), UINT(bytes.size()), nullptr,
                                              D3DX_FILTER_NONE, 0, nullptr),
              S_OK);
    for (D3DFORMAT format : {D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8}) {
      IDirect3DTexture9* texture = nullptr;
      D3DXIMAGE_INFO got{};
      ASSERT_EQ(D3DXCreateTextureFromFileInMemoryEx(device_, bytes.data(), UINT(bytes.size()), D3DX_DEFAULT_NONPOW2,
                                                    D3DX_DEFAULT_NONPOW2, 1, 0, format, D3DPOOL_MANAGED,
                                                    D3DX_FILTER_NONE, D3DX_FILTER_NONE, 0, &got, nullptr, &texture),
                S_OK);
      EXPECT_EQ(got.Format, D3DFMT_X8R8G8B8);
      std::vector<uint32_t> pixels;
      UINT w = 0, h = 0;
      ASSERT_TRUE(texture_test::ReadLevel(texture, 0, &pixels, &w, &h));
      ASSERT_EQ(w, info.Width);
      size_t differing = 0;
      for (UINT y = 0; y < h; ++y)
        for (UINT x = 0; x < w; ++x) {
          const uint32_t want = format == D3DFMT_A8R8G8B8 ? usual.Pixel32(x, y) : usual.Pixel32(x, y) & 0xFFFFFF;
          const uint32_t have = format == D3DFMT_A8R8G8B8 ? pixels[size_t(y) * w + x] : pixels[size_t(y) * w + x] & 0xFFFFFF;
          differing += want != have;
        }
      EXPECT_EQ(differing, 0u);
      texture->Release();
    }
  }
  const std::vector<BYTE> bad = velmora_test::ReadWholeFile<std::vector<BYTE>>(folder / "xtr-truncated-half.jpg");
  const size_t before = host_.DebugText().size();
  IDirect3DTexture9* texture = nullptr;
  EXPECT_EQ(D3DXCreateTextureFromFileInMemoryEx(device_, bad.data(), UINT(bad.size()), D3DX_DEFAULT_NONPOW2,
                                                D3DX_DEFAULT_NONPOW2, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED,
                                                D3DX_FILTER_NONE, D3DX_FILTER_NONE, 0, nullptr, nullptr, &texture),
            D3DXERR_INVALIDDATA);
  EXPECT_EQ(texture, nullptr);
  const std::string said = host_.DebugText().substr(before);
  EXPECT_EQ(said, "D3DX: JPEG: Premature end of JPEG file\r\nD3DX: Unsupported file format\r\n");
}

std::vector<BYTE> JpegFixture(const char* name) {
  const char* source = std::getenv("VELMORA_SOURCE_DIR");
  const std::filesystem::path folder = std::filesystem::path(source ? source : ".") / "tests/data/images/jpeg";
  return velmora_test::ReadWholeFile<std::vector<BYTE>>(folder / name);
}

// The decode-into-level shortcut answers as the usual order would: a
// reserved filter bit is refused, and a corrupt body is the decoder's error
// even when the texture could not have been made either.
TEST_F(ImageWriters, JpegShortcutGivesTheAnswersOfTheUsualOrder) {
  const std::vector<BYTE> good = JpegFixture("pil-420.jpg"), bad = JpegFixture("xtr-truncated-half.jpg");
  ASSERT_FALSE(good.empty());
  ASSERT_FALSE(bad.empty());
  auto create = [&](const std::vector<BYTE>& bytes, DWORD filter, IDirect3DTexture9** texture) {
    return D3DXCreateTextureFromFileInMemoryEx(device_, bytes.data(), UINT(bytes.size()), D3DX_DEFAULT_NONPOW2,
                                               D3DX_DEFAULT_NONPOW2, 1, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, filter,
                                               D3DX_FILTER_NONE, 0, nullptr, nullptr, texture);
  };
  IDirect3DTexture9* texture = nullptr;
  const size_t before = host_.DebugText().size();
  EXPECT_EQ(create(good, D3DX_FILTER_NONE | 0x00400000u, &texture), D3DERR_INVALIDCALL);
  EXPECT_EQ(texture, nullptr);
  EXPECT_NE(host_.DebugText().find("Invalid image filter", before), std::string::npos);

  const char* kCreate = "IDirect3DDevice9.CreateTexture";
  host_.FailAt(kCreate, host_.CallCount(kCreate) + 1);
  EXPECT_EQ(create(bad, D3DX_FILTER_NONE, &texture), D3DXERR_INVALIDDATA);
  EXPECT_EQ(texture, nullptr);
  host_.FailAt(kCreate, host_.CallCount(kCreate) + 1);
  const HRESULT refused = create(good, D3DX_FILTER_NONE, &texture);
  EXPECT_TRUE(FAILED(refused) && refused != D3DXERR_INVALIDDATA) << std::hex << refused;
  EXPECT_EQ(texture, nullptr);
  ASSERT_EQ(create(good, D3DX_FILTER_NONE, &texture), S_OK);
  texture->Release();
}

// Frames kept by the tools: an RGB PNG of exactly the frame's colours
// (alpha dropped, rows read at the given pitch), refused for bad arguments
// and for a file that cannot be written.
TEST(FramePng, KeepsTheFramesColoursAtAnyPitchAndRefusesBadArguments) {
  // Three pixels a row and a pitch of four: the fourth is padding, never read.
  const uint32_t frame[8] = {0xFFFF0000, 0x0000FF00, 0x800000FF, 0xDEADBEEF,
                             0x00FFFFFF, 0xFF102030, 0x00000000, 0xDEADBEEF};
  const std::string path = ::testing::TempDir() + "/frame.png";
  ASSERT_TRUE(gfx::WriteFramePng(path, frame, 3, 2, 16));
  const std::vector<BYTE> bytes = velmora_test::ReadWholeFile<std::vector<BYTE>>(path);
  gfx::DecodedImage image;
  gfx::ImageGuard guard(&image);
  ASSERT_EQ(gfx::DecodePng(&image, bytes.data(), bytes.size()), S_OK);
  EXPECT_EQ(image.format, D3DFMT_R8G8B8);
  ASSERT_EQ(image.width, 3u);
  ASSERT_EQ(image.height, 2u);
  for (UINT y = 0; y < 2; ++y) {
    for (UINT x = 0; x < 3; ++x) {
      const BYTE* p = image.pixels + y * image.rowPitch + x * 3;
      const uint32_t rgb = uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
      EXPECT_EQ(rgb, frame[y * 4 + x] & 0xFFFFFF) << x << ", " << y;
    }
  }
  std::remove(path.c_str());

  gfx::Bytes png;
  EXPECT_FALSE(gfx::FramePngBytes(nullptr, 2, 2, 8, &png));
  EXPECT_FALSE(gfx::FramePngBytes(frame, 2, 2, 4, &png));  // pitch shorter than a row
  EXPECT_FALSE(gfx::FramePngBytes(frame, 0, 2, 8, &png));
  EXPECT_FALSE(gfx::FramePngBytes(frame, 2, -1, 8, &png));
  EXPECT_FALSE(gfx::WriteFramePng(::testing::TempDir() + "/no such folder/frame.png", frame, 2, 2, 16));
}

}  // namespace

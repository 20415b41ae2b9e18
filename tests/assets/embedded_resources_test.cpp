// The assets as the game meets them: compiled into the program through the
// manifest, found by number, and turned into its cursor and icon.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>

#include "asset_files.h"
#include "host/headless/headless_host.h"

namespace assets_test {
namespace {

class EmbeddedResources : public ::testing::Test {
 protected:
  void SetUp() override { host::SetCurrent(&host_); }
  void TearDown() override { host::SetCurrent(nullptr); }
  host::HeadlessHost host_;
};

TEST_F(EmbeddedResources, EveryManifestEntryIsFoundWithItsFileBytes) {
  std::vector<ManifestLine> lines = ReadManifest();
  ASSERT_EQ(lines.size(), 16u);
  for (const ManifestLine& m : lines) {
    SCOPED_TRACE(m.file);
    HRSRC r = FindResourceA(nullptr, MAKEINTRESOURCEA(m.number), MAKEINTRESOURCEA(m.type));
    ASSERT_NE(r, nullptr);
    Bytes file = ReadAsset(m.file);
    ASSERT_EQ(SizeofResource(nullptr, r), file.size());
    const void* data = LockResource(LoadResource(nullptr, r));
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(std::memcmp(data, file.data(), file.size()), 0);
  }
  // numbers that are not the game's are not there
  EXPECT_EQ(FindResourceA(nullptr, MAKEINTRESOURCEA(122), MAKEINTRESOURCEA(2)), nullptr);
  EXPECT_EQ(FindResourceA(nullptr, MAKEINTRESOURCEA(111), MAKEINTRESOURCEA(3)), nullptr);
}

TEST_F(EmbeddedResources, GameCursorLoadsWithItsMaskAndHotspot) {
  HCURSOR c = LoadCursorA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(110));
  ASSERT_NE(c, nullptr);
  SetCursor(c);
  const host::Image* img = host_.CurrentCursor();
  ASSERT_NE(img, nullptr);
  EXPECT_EQ(img->width, 32);
  EXPECT_EQ(img->height, 32);
  EXPECT_EQ(img->hotspotX, 0);
  EXPECT_EQ(img->hotspotY, 0);
  ASSERT_EQ(img->argb.size(), 1024u);
  int clear = 0, navy = 0;
  for (uint32_t p : img->argb) {
    clear += (p >> 24) == 0;
    navy += p == 0xFF000080u;
  }
  EXPECT_EQ(clear, 397);
  EXPECT_GT(navy, 400);
  EXPECT_EQ(img->argb[0] >> 24, 0xFFu) << "the hotspot pixel is part of the shape";
}

TEST_F(EmbeddedResources, ApplicationIconLoadsOpaqueAtFullSize) {
  HICON icon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(123));
  ASSERT_NE(icon, nullptr);
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = DefWindowProcA;
  wc.hIcon = icon;
  wc.lpszClassName = "VELMORA_ASSETS";
  ASSERT_NE(RegisterClassExA(&wc), 0);
  HWND w = CreateWindowExA(0, "VELMORA_ASSETS", "VELMORA", 0, 0, 0, 800, 640, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(w, nullptr);
  const host::Image* img = host_.CurrentIcon();
  ASSERT_NE(img, nullptr);
  EXPECT_EQ(img->width, 128);
  EXPECT_EQ(img->height, 128);
  for (uint32_t p : img->argb) ASSERT_EQ(p >> 24, 0xFFu);
  DestroyWindow(w);
}

}  // namespace
}  // namespace assets_test

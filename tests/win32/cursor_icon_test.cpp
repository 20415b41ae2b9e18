// Cursors and icons: groups and images decoded from resources in the
// platform's layouts, the choice among entries, shared handles, SetCursor
// reaching the host only on a change, and hostile image bytes.
#include "platform/win32/icon_decoder.h"
#include "tests/win32/icon_bytes.h"
#include "tests/win32/win32_fixture.h"

namespace {

using icon_bytes::Entry;

class CursorIconTest : public Win32Test {
 protected:
  void SetUp() override {
    Win32Test::SetUp();
    platform::ClearResources();
  }
  void TearDown() override {
    platform::ClearResources();
    Win32Test::TearDown();
  }
  void Register(LPCSTR type, int id, const std::vector<uint8_t>& bytes) {
    platform::RegisterResource(nullptr, type, MAKEINTRESOURCEA(id), 0x0411, bytes.data(),
                               static_cast<DWORD>(bytes.size()));
  }
};

// The game's cursor shape: 32 x 32, 16 colours; an arrow-ish triangle of
// colour 1 (red), the rest transparent.
std::vector<uint8_t> GameCursorImage() {
  std::vector<uint32_t> palette(16, 0);
  palette[1] = 0xFF0000;
  palette[2] = 0x00FF00;
  return icon_bytes::Image(
      true, 32, 32, 4, palette, [](int x, int y) { return x <= y ? (y == 31 ? 2u : 1u) : 0u; },
      [](int x, int y) { return x > y; }, 3, 4);
}

TEST_F(CursorIconTest, CursorGroupIsDecodedWithHotspotColoursAndMask) {
  std::vector<uint8_t> image = GameCursorImage();
  EXPECT_EQ(image.size(), 748u);  // the layout's exact size for 32 x 32 x 4
  std::vector<uint8_t> group = icon_bytes::Group(true, {{32, 32, 4, static_cast<uint32_t>(image.size()), 1}});
  EXPECT_EQ(group.size(), 20u);
  Register(RT_CURSOR, 1, image);
  Register(RT_GROUP_CURSOR, 110, group);

  HCURSOR c = LoadCursorA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(110));
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(LoadCursorA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(110)), c);  // shared
  SetCursor(c);
  const host::Image* img = host_.CurrentCursor();
  ASSERT_NE(img, nullptr);
  EXPECT_EQ(img->width, 32);
  EXPECT_EQ(img->height, 32);
  EXPECT_EQ(img->hotspotX, 3);
  EXPECT_EQ(img->hotspotY, 4);
  EXPECT_EQ(img->argb[0], 0xFFFF0000u);            // (0, 0): opaque red, top row first
  EXPECT_EQ(img->argb[1] >> 24, 0u);               // (1, 0): transparent
  EXPECT_EQ(img->argb[31 * 32 + 5], 0xFF00FF00u);  // bottom row is green
}

TEST_F(CursorIconTest, SetCursorReachesTheHostOnlyWhenItChanges) {
  Register(RT_CURSOR, 1, GameCursorImage());
  Register(RT_GROUP_CURSOR, 110, icon_bytes::Group(true, {{32, 32, 4, 748, 1}}));
  HCURSOR game = LoadCursorA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(110));
  HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
  ASSERT_NE(arrow, nullptr);
  EXPECT_NE(arrow, game);
  uint64_t before = host_.CursorChanges();
  SetCursor(game);
  for (int i = 0; i < 1000; ++i) EXPECT_EQ(SetCursor(game), game);
  EXPECT_EQ(host_.CursorChanges(), before + 1);
  EXPECT_EQ(SetCursor(arrow), game);
  EXPECT_EQ(host_.CurrentCursor(), nullptr);  // the system arrow
  EXPECT_EQ(host_.CursorChanges(), before + 2);
  EXPECT_EQ(SetCursor(reinterpret_cast<HCURSOR>(0x77)), nullptr);  // not a cursor
  EXPECT_EQ(host_.CursorChanges(), before + 2);
}

TEST_F(CursorIconTest, IconGroupPicksTheLargestAndDecodesEightBit) {
  std::vector<uint32_t> palette(256, 0);
  palette[7] = 0x123456;
  auto big = icon_bytes::Image(
      false, 48, 48, 8, palette, [](int, int) { return 7u; }, [](int x, int) { return x == 0; });
  auto small = icon_bytes::Image(
      false, 16, 16, 8, palette, [](int, int) { return 0u; }, [](int, int) { return false; });
  Register(RT_ICON, 2, big);
  Register(RT_ICON, 3, small);
  Register(RT_GROUP_ICON, 123,
           icon_bytes::Group(false, {{16, 16, 8, static_cast<uint32_t>(small.size()), 3},
                                     {48, 48, 8, static_cast<uint32_t>(big.size()), 2}}));
  HICON icon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(123));
  ASSERT_NE(icon, nullptr);
  // Making the window shows the class icon on the host.
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = DefWindowProcA;
  wc.hIcon = icon;
  wc.lpszClassName = "VELMORA";
  RegisterClassExA(&wc);
  ASSERT_NE(CreateWindowExA(0, "VELMORA", "VELMORA", 0, 0, 0, 800, 640, nullptr, nullptr, nullptr, nullptr), nullptr);
  const host::Image* img = host_.CurrentIcon();
  ASSERT_NE(img, nullptr);
  EXPECT_EQ(img->width, 48);
  EXPECT_EQ(img->argb[1], 0xFF123456u);
  EXPECT_EQ(img->argb[0] >> 24, 0u);
}

TEST_F(CursorIconTest, ThirtyTwoBitImagesUseTheirAlpha) {
  auto img32 = icon_bytes::Image(
      false, 4, 4, 32, {}, [](int x, int) { return x == 0 ? 0x80FF0000u : 0xFF0000FFu; },
      [](int, int) { return true; });  // the mask is ignored when alpha exists
  host::Image out;
  ASSERT_TRUE(platform::detail::DecodeIconImage(img32.data(), img32.size(), false, &out));
  EXPECT_EQ(out.argb[0], 0x80FF0000u);
  EXPECT_EQ(out.argb[1], 0xFF0000FFu);
}

TEST_F(CursorIconTest, MissingOrBrokenGroupsFailWithAnError) {
  EXPECT_EQ(LoadCursorA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(110)), nullptr);
  EXPECT_EQ(GetLastError(), 1812u);
  Register(RT_GROUP_CURSOR, 110, icon_bytes::Group(true, {{32, 32, 4, 748, 1}}));
  EXPECT_EQ(LoadCursorA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(110)), nullptr);  // image 1 missing
  EXPECT_EQ(GetLastError(), 1813u);
  std::vector<uint8_t> image = GameCursorImage();
  image.resize(200);  // cut short
  Register(RT_CURSOR, 1, image);
  EXPECT_EQ(LoadCursorA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(110)), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_DATA));
  // An icon group is not a cursor group.
  Register(RT_GROUP_ICON, 5, icon_bytes::Group(false, {{16, 16, 8, 10, 9}}));
  Register(RT_GROUP_CURSOR, 5, icon_bytes::Group(false, {{16, 16, 8, 10, 9}}));
  EXPECT_EQ(LoadCursorA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(5)), nullptr);
  // Unknown system cursor.
  EXPECT_EQ(LoadCursorA(nullptr, MAKEINTRESOURCEA(1)), nullptr);
  EXPECT_NE(LoadIconA(nullptr, IDI_APPLICATION), nullptr);
}

TEST(IconDecoder, EveryTruncationIsRejectedAndCountsAreBounded) {
  std::vector<uint8_t> image = GameCursorImage();
  host::Image out;
  for (size_t n = 0; n < image.size(); ++n) {
    EXPECT_FALSE(platform::detail::DecodeIconImage(image.data(), n, true, &out)) << n;
  }
  EXPECT_TRUE(platform::detail::DecodeIconImage(image.data(), image.size(), true, &out));
  // A colour count above what the bit depth allows.
  std::vector<uint8_t> bad = image;
  bad[4 + 32] = 17;
  EXPECT_FALSE(platform::detail::DecodeIconImage(bad.data(), bad.size(), true, &out));
  // Huge width.
  bad = image;
  bad[4 + 7] = 0x40;
  EXPECT_FALSE(platform::detail::DecodeIconImage(bad.data(), bad.size(), true, &out));
  // A group claiming more entries than it holds.
  std::vector<uint8_t> group = icon_bytes::Group(true, {{32, 32, 4, 748, 1}});
  group[4] = 2;
  std::vector<platform::detail::GroupEntry> entries;
  EXPECT_FALSE(platform::detail::ParseIconGroup(group.data(), group.size(), true, &entries));
}

TEST(IconDecoder, CursorPickPrefersThirtyTwoThenDepth) {
  using platform::detail::GroupEntry;
  std::vector<GroupEntry> e = {{48, 48, 32, 0, 1}, {32, 32, 4, 0, 2}, {32, 32, 8, 0, 3}, {16, 16, 32, 0, 4}};
  EXPECT_EQ(platform::detail::PickGroupEntry(e, true), 2);
  EXPECT_EQ(platform::detail::PickGroupEntry(e, false), 0);
  EXPECT_EQ(platform::detail::PickGroupEntry({}, true), -1);
}

}  // namespace

// The browser host's browser-free parts: key codes, canvas size, pointer
// mapping, pixel order and the seed time from the page address.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "host/web/dom_keys.h"
#include "host/web/page_layout.h"
#include "host/web/page_query.h"

namespace {

using host::web::CalendarTimeFromQuery;
using host::web::ClientPointFromCss;
using host::web::DeviceProfileFromQuery;
using host::web::KeyFromDomCode;
constexpr auto DomKeyFromCode = KeyFromDomCode;
using host::web::FaultsFromQuery;
using host::web::SharpCanvasSize;

TEST(DomKeys, GameKeysAndEveryFamilyMapToTheHostsKeys) {
  using host::Key;
  struct Want {
    const char* code;
    Key key;
  };
  for (const Want& w : {Want{"ArrowLeft", Key::Left}, Want{"ArrowRight", Key::Right}, Want{"ArrowUp", Key::Up},
                        Want{"ArrowDown", Key::Down}, Want{"Space", Key::Space}, Want{"Escape", Key::Escape},
                        Want{"KeyA", Key::A}, Want{"KeyZ", Key::Z}, Want{"Digit1", Key::Digit1},
                        Want{"Digit9", Key::Digit9}, Want{"Digit0", Key::Digit0}, Want{"F1", Key::F1},
                        Want{"F12", Key::F12}, Want{"Numpad1", Key::Keypad1}, Want{"Numpad9", Key::Keypad9},
                        Want{"Numpad0", Key::Keypad0}, Want{"NumpadDecimal", Key::KeypadPeriod},
                        Want{"ShiftLeft", Key::LeftShift}, Want{"ShiftRight", Key::RightShift},
                        Want{"Enter", Key::Return}, Want{"NumpadEnter", Key::KeypadEnter}}) {
    EXPECT_EQ(DomKeyFromCode(w.code), w.key) << w.code;
  }
  // The keypad's arrows are keypad keys, apart from the arrow keys.
  EXPECT_NE(DomKeyFromCode("Numpad8"), Key::Up);
}

TEST(DomKeys, UnknownAndMalformedCodesAreNoKey) {
  for (const char* code : {"", "Lang1", "arrowleft", "Key", "Keya", "KeyAA", "Digit", "Digit10", "F0", "F13", "F1x",
                           "Numpad", "Numpad10", "F", "F-1"}) {
    EXPECT_EQ(DomKeyFromCode(code), host::Key::None) << code;
  }
}

TEST(SharpCanvas, LargestWholeFactorThatFitsNeverBelowOne) {
  auto s = SharpCanvasSize(1700, 1400, 1.0);
  EXPECT_EQ(s.factor, 2);
  EXPECT_DOUBLE_EQ(s.cssWidth, 1600);
  EXPECT_DOUBLE_EQ(s.cssHeight, 1280);
  // Height decides here: 1279 is less than two client heights.
  EXPECT_EQ(SharpCanvasSize(4000, 1279, 1.0).factor, 1);
  // Too small for one: shown at one (the page scrolls) rather than blurred.
  s = SharpCanvasSize(300, 200, 1.0);
  EXPECT_EQ(s.factor, 1);
  EXPECT_DOUBLE_EQ(s.cssWidth, 800);
}

TEST(SharpCanvas, CountsDevicePixelsOnHighDensityScreens) {
  // 1000 x 800 CSS pixels at 1.5: 1500 x 1200 device pixels, room for one
  // whole factor of 1, shown 533.3 CSS pixels wide.
  auto s = SharpCanvasSize(1000, 800, 1.5);
  EXPECT_EQ(s.factor, 1);
  EXPECT_NEAR(s.cssWidth * 1.5, 800, 1e-9);
  s = SharpCanvasSize(1000, 800, 2.0);
  EXPECT_EQ(s.factor, 2);
  EXPECT_DOUBLE_EQ(s.cssWidth, 800);
  // Nonsense from the page counts as an ordinary screen and area.
  for (double bad : {0.0, -1.0, std::nan("")}) {
    s = SharpCanvasSize(1700, 1400, bad);
    EXPECT_EQ(s.factor, 2) << bad;
  }
  EXPECT_EQ(SharpCanvasSize(std::nan(""), 900, 1.0).factor, 1);
  EXPECT_EQ(SharpCanvasSize(1e300, 1e300, 1.0).factor, 64);
}

TEST(ClientPoint, ScalesBackAndRefusesPointsOutside) {
  auto p = ClientPointFromCss(0, 0, 1600, 1280);
  ASSERT_TRUE(p);
  EXPECT_EQ(p->x, 0);
  EXPECT_EQ(p->y, 0);
  p = ClientPointFromCss(1599.9, 1279.9, 1600, 1280);
  ASSERT_TRUE(p);
  EXPECT_EQ(p->x, 799);
  EXPECT_EQ(p->y, 639);
  p = ClientPointFromCss(177, 3, 1600, 1280);  // two CSS pixels per client pixel
  ASSERT_TRUE(p);
  EXPECT_EQ(p->x, 88);
  EXPECT_EQ(p->y, 1);
  EXPECT_FALSE(ClientPointFromCss(1600, 10, 1600, 1280));
  EXPECT_FALSE(ClientPointFromCss(-1, 10, 1600, 1280));
  EXPECT_FALSE(ClientPointFromCss(10, 10, 0, 1280));
  EXPECT_FALSE(ClientPointFromCss(std::nan(""), 10, 800, 640));
}

TEST(PixelOrder, XrgbRowsBecomeOpaqueRgbaWithThePitchSkipped) {
  // Two rows of two pixels, each row padded to 12 bytes; the X byte is junk.
  const uint32_t rows[] = {0xAA102030, 0x00405060, 0xDEADBEEF, 0x55FF0001, 0x12000000, 0xDEADBEEF};
  uint8_t out[16] = {};
  host::web::XrgbToRgba(rows, 2, 2, 12, out);
  const uint8_t want[16] = {0x10, 0x20, 0x30, 0xFF, 0x40, 0x50, 0x60, 0xFF,
                            0xFF, 0x00, 0x01, 0xFF, 0x00, 0x00, 0x00, 0xFF};
  for (int i = 0; i < 16; ++i) EXPECT_EQ(out[i], want[i]) << i;
}

TEST(QueryTime, ReadsTheTimeParameterOnly) {
  EXPECT_EQ(CalendarTimeFromQuery("?time=1700000000"), 1700000000);
  EXPECT_EQ(CalendarTimeFromQuery("time=0"), 0);
  EXPECT_EQ(CalendarTimeFromQuery("?debug-output=1&time=42&x=y"), 42);
  EXPECT_EQ(CalendarTimeFromQuery("?showtime=5&time=6"), 6);  // a name ending in "time" is another name
  EXPECT_EQ(CalendarTimeFromQuery("?time=253402300799"), 253402300799);
  EXPECT_FALSE(CalendarTimeFromQuery(""));
  EXPECT_FALSE(CalendarTimeFromQuery("?"));
  EXPECT_FALSE(CalendarTimeFromQuery("?times=5"));
}

TEST(QueryTime, RefusesWhatIsNotAPlainNumberOfSeconds) {
  for (const char* bad : {"?time=", "?time=-5", "?time=+5", "?time=12a", "?time=1e9", "?time= 5", "?time=0x10",
                          "?time=253402300800", "?time=99999999999999999999999", "?time=%31"}) {
    EXPECT_FALSE(CalendarTimeFromQuery(bad)) << bad;
  }
}

TEST(QueryFaults, NamedCallsWithAnOptionalCountEveryOtherFormLeftOut) {
  const auto faults = FaultsFromQuery(
      "?fault=IDirect3D9.CreateDevice.HAL&time=1&fault=alloc:3&fault=a:0&fault=b:-1&fault=:2&fault=c:&fault=d%2E"
      "&fault=mmioOpenA:1000001&fault=host.OpenAudio:7");
  ASSERT_EQ(faults.size(), 3u);
  EXPECT_EQ(faults[0].call, "IDirect3D9.CreateDevice.HAL");
  EXPECT_EQ(faults[0].nth, 1);
  EXPECT_EQ(faults[1].call, "alloc");
  EXPECT_EQ(faults[1].nth, 3);
  EXPECT_EQ(faults[2].call, "host.OpenAudio");
  EXPECT_EQ(faults[2].nth, 7);
  EXPECT_TRUE(FaultsFromQuery("?fault=" + std::string(65, 'x')).empty());
}

TEST(QueryProfile, LettersAndDigitsOnly) {
  EXPECT_EQ(DeviceProfileFromQuery("?d3d-profile=pow2"), "pow2");
  EXPECT_EQ(DeviceProfileFromQuery("?d3d-profile=nosuch"), "nosuch");  // the entry reports unknown names
  EXPECT_FALSE(DeviceProfileFromQuery("?d3d-profile="));
  EXPECT_FALSE(DeviceProfileFromQuery("?d3d-profile=../x"));
  EXPECT_FALSE(DeviceProfileFromQuery("?d3d-profile=a<b"));
  EXPECT_FALSE(DeviceProfileFromQuery("?profile=pow2"));
}

}  // namespace

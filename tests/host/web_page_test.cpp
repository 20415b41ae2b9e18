// The browser host's browser-free parts: key codes, canvas size, pointer
// mapping and the seed time from the page address.
#include <gtest/gtest.h>

#include <algorithm>
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
using host::web::kMinFillAtFactorOne;

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

TEST(SharpCanvas, WholeFactorsOfTwoAndMoreAreKept) {
  auto s = SharpCanvasSize(1700, 1400, 1.0);
  EXPECT_EQ(s.factor, 2);
  EXPECT_TRUE(s.whole);
  EXPECT_DOUBLE_EQ(s.cssWidth, 1600);
  EXPECT_DOUBLE_EQ(s.cssHeight, 1280);
  // Just under three client widths: two fills 67 % of the room and stays.
  s = SharpCanvasSize(2399, 5000, 1.0);
  EXPECT_EQ(s.factor, 2);
  EXPECT_TRUE(s.whole);
  EXPECT_GE(s.cssWidth / 2399, 2.0 / 3);
  EXPECT_EQ(SharpCanvasSize(1e300, 1e300, 1.0).factor, 64);
}

TEST(SharpCanvas, FactorOneOnlyWhereItFillsTheRoomElseSmoothFill) {
  // Height decides: 700 is 1.09 client heights, and one fills 91 % of it.
  auto s = SharpCanvasSize(4000, 700, 1.0);
  EXPECT_EQ(s.factor, 1);
  EXPECT_TRUE(s.whole);
  EXPECT_DOUBLE_EQ(s.cssWidth, 800);
  // 1.46 client heights of room: one would leave a third empty, so the
  // canvas fills the height, smoothed, prescale still one.
  s = SharpCanvasSize(4000, 934.4, 1.0);
  EXPECT_EQ(s.factor, 1);
  EXPECT_FALSE(s.whole);
  EXPECT_DOUBLE_EQ(s.cssHeight, 934.4);
  EXPECT_DOUBLE_EQ(s.cssWidth, 934.4 * 800 / 640);
  // Either side of 85 % filled (941.2 CSS pixels of room).
  EXPECT_TRUE(SharpCanvasSize(940, 5000, 1.0).whole);
  EXPECT_FALSE(SharpCanvasSize(942, 5000, 1.0).whole);
  // Too small for one: shrunk to fit, never cut off.
  s = SharpCanvasSize(300, 200, 1.0);
  EXPECT_FALSE(s.whole);
  EXPECT_DOUBLE_EQ(s.cssWidth, 250);
  EXPECT_DOUBLE_EQ(s.cssHeight, 200);
}

TEST(SharpCanvas, PhoneScreensAreFilledAndNeverCutOff) {
  struct Phone {
    double w, h, dpr;
  };
  // Portrait at ratios 2 and 3, landscape at 3; the room is the page less
  // the hint line and the touch controls.
  for (const Phone p : {Phone{390, 700, 2}, Phone{390, 700, 3}, Phone{560, 360, 3}, Phone{560, 360, 2}}) {
    const auto s = SharpCanvasSize(p.w, p.h, p.dpr);
    EXPECT_LE(s.cssWidth, p.w + 1e-9) << p.w << "x" << p.h << "@" << p.dpr;
    EXPECT_LE(s.cssHeight, p.h + 1e-9) << p.w << "x" << p.h << "@" << p.dpr;
    EXPECT_GE(std::max(s.cssWidth / p.w, s.cssHeight / p.h), kMinFillAtFactorOne) << p.w << "x" << p.h << "@" << p.dpr;
  }
}

TEST(SharpCanvas, CountsDevicePixelsOnHighDensityScreens) {
  // 1000 x 800 CSS pixels at 1.25: 1250 x 1000 device pixels, room for one
  // whole factor of 1 filling 64 % of the room: filled instead.
  auto s = SharpCanvasSize(1000, 800, 1.25);
  EXPECT_EQ(s.factor, 1);
  EXPECT_FALSE(s.whole);
  EXPECT_DOUBLE_EQ(s.cssWidth, 1000);
  s = SharpCanvasSize(1000, 800, 2.0);
  EXPECT_EQ(s.factor, 2);
  EXPECT_TRUE(s.whole);
  EXPECT_DOUBLE_EQ(s.cssWidth, 800);
  s = SharpCanvasSize(700, 560, 1.2);  // 840 device pixels wide: one fills 95 %
  EXPECT_TRUE(s.whole);
  EXPECT_NEAR(s.cssWidth * 1.2, 800, 1e-9);
  // Nonsense from the page counts as an ordinary screen and area.
  for (double bad : {0.0, -1.0, std::nan("")}) {
    s = SharpCanvasSize(1700, 1400, bad);
    EXPECT_EQ(s.factor, 2) << bad;
  }
  s = SharpCanvasSize(std::nan(""), 900, 1.0);
  EXPECT_EQ(s.factor, 1);
  EXPECT_TRUE(s.whole);
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

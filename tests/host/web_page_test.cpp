// The browser host's browser-free parts: key codes, canvas size, pointer
// mapping, pixel order and the seed time from the page address.
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>
#include <vector>

#include "host/web/dom_keys.h"
#include "host/web/page_layout.h"
#include "host/web/page_query.h"

namespace {

using host::web::CalendarTimeFromQuery;
using host::web::ClientPointFromCss;
using host::web::DeviceProfileFromQuery;
using host::web::DomKeyFromCode;
using host::web::FaultsFromQuery;
using host::web::SharpCanvasSize;

TEST(DomKeys, GameKeysHaveTheirWindowsAndDirectInputCodes) {
  struct Want {
    const char* code;
    int vk, dik;
  };
  for (const Want& w : {Want{"ArrowLeft", 0x25, 0xCB}, Want{"ArrowRight", 0x27, 0xCD}, Want{"ArrowUp", 0x26, 0xC8},
                        Want{"ArrowDown", 0x28, 0xD0}, Want{"Space", 0x20, 0x39}, Want{"Escape", 0x1B, 0x01},
                        Want{"KeyA", 'A', 0x1E}, Want{"KeyZ", 'Z', 0x2C}, Want{"Digit0", '0', 0x0B},
                        Want{"ShiftLeft", 0x10, 0x2A}, Want{"ShiftRight", 0x10, 0x36}, Want{"F12", 0x7B, 0x58}}) {
    const auto k = DomKeyFromCode(w.code, "");
    EXPECT_EQ(k.vk, w.vk) << w.code;
    EXPECT_EQ(k.dik, w.dik) << w.code;
  }
}

TEST(DomKeys, KeypadFollowsNumLockThroughTheKeyItTypes) {
  // Num Lock on: the key types "8"; off: it is an arrow ("ArrowUp").
  EXPECT_EQ(DomKeyFromCode("Numpad8", "8").vk, 0x68);
  EXPECT_EQ(DomKeyFromCode("Numpad8", "ArrowUp").vk, 0x26);
  EXPECT_EQ(DomKeyFromCode("NumpadDecimal", ",").vk, 0x6E);
  EXPECT_EQ(DomKeyFromCode("NumpadDecimal", "Delete").vk, 0x2E);
  // The keypad arrow keeps its own DirectInput code, apart from the arrow key's.
  EXPECT_EQ(DomKeyFromCode("Numpad8", "ArrowUp").dik, 0x48);
  EXPECT_NE(DomKeyFromCode("Numpad8", "ArrowUp").dik, DomKeyFromCode("ArrowUp", "ArrowUp").dik);
}

TEST(DomKeys, UnknownCodesAreNoKeyAndNoTwoKeysShareADirectInputCode) {
  EXPECT_EQ(DomKeyFromCode("", "").dik, 0);
  EXPECT_EQ(DomKeyFromCode("Lang1", "").vk, 0);
  EXPECT_EQ(DomKeyFromCode("arrowleft", "").dik, 0);  // codes are case-sensitive
  const std::vector<std::string> codes = {
      "Escape", "Digit1", "Digit2", "Digit3", "Digit4", "Digit5", "Digit6", "Digit7", "Digit8", "Digit9", "Digit0",
      "Minus", "Equal", "Backspace", "Tab", "KeyQ", "KeyW", "KeyE", "KeyR", "KeyT", "KeyY", "KeyU", "KeyI", "KeyO",
      "KeyP", "BracketLeft", "BracketRight", "Enter", "ControlLeft", "KeyA", "KeyS", "KeyD", "KeyF", "KeyG", "KeyH",
      "KeyJ", "KeyK", "KeyL", "Semicolon", "Quote", "Backquote", "ShiftLeft", "Backslash", "KeyZ", "KeyX", "KeyC",
      "KeyV", "KeyB", "KeyN", "KeyM", "Comma", "Period", "Slash", "ShiftRight", "NumpadMultiply", "AltLeft", "Space",
      "CapsLock", "F1", "F2", "F3", "F4", "F5", "F6", "F7", "F8", "F9", "F10", "NumLock", "ScrollLock",
      "NumpadSubtract", "NumpadAdd", "IntlBackslash", "F11", "F12", "NumpadEnter", "ControlRight", "NumpadDivide",
      "PrintScreen", "AltRight", "Pause", "Home", "ArrowUp", "PageUp", "ArrowLeft", "ArrowRight", "End",
      "ArrowDown", "PageDown", "Insert", "Delete", "MetaLeft", "MetaRight", "ContextMenu", "Numpad0", "Numpad1",
      "Numpad2", "Numpad3", "Numpad4", "Numpad5", "Numpad6", "Numpad7", "Numpad8", "Numpad9", "NumpadDecimal"};
  std::set<int> seen;
  for (const std::string& code : codes) {
    const int dik = DomKeyFromCode(code, "").dik;
    EXPECT_GT(dik, 0) << code;
    EXPECT_LT(dik, 256) << code;
    EXPECT_TRUE(seen.insert(dik).second) << code << " shares DirectInput code " << dik;
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

// Host keys in the platform's terms: virtual-key codes, DirectInput codes
// and the keyboard state array.
#include "platform/win32/host_keys.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <set>

namespace {

using host::Key;
using platform::DikFromHostKey;
using platform::VkFromHostKey;

TEST(HostKeys, ArrowsAndKeypadArrowsKeepDifferentCodes) {
  EXPECT_EQ(DikFromHostKey(Key::Left), 0xCB);
  EXPECT_EQ(DikFromHostKey(Key::Right), 0xCD);
  EXPECT_EQ(DikFromHostKey(Key::Up), 0xC8);
  EXPECT_EQ(DikFromHostKey(Key::Down), 0xD0);
  EXPECT_EQ(DikFromHostKey(Key::Keypad4), 0x4B);
  EXPECT_EQ(DikFromHostKey(Key::Keypad6), 0x4D);
  EXPECT_EQ(DikFromHostKey(Key::Keypad8), 0x48);
  EXPECT_EQ(DikFromHostKey(Key::Keypad2), 0x50);
  EXPECT_EQ(DikFromHostKey(Key::Escape), 0x01);
  EXPECT_EQ(DikFromHostKey(Key::Space), 0x39);
  EXPECT_EQ(DikFromHostKey(Key::KeypadEnter), 0x9C);
  EXPECT_EQ(DikFromHostKey(Key::RightCtrl), 0x9D);
  EXPECT_EQ(DikFromHostKey(Key::None), 0);
}

TEST(HostKeys, TheStandardKeyboardMapsOneToOne) {
  std::set<int> seen;
  for (int k = 4; k <= 99; ++k) {
    if (k == 50) continue;  // the non-US hash key shares the backslash code
    int dik = DikFromHostKey(static_cast<Key>(k));
    ASSERT_NE(dik, 0) << k;
    EXPECT_TRUE(seen.insert(dik).second) << k;
  }
  for (int k = 224; k <= 231; ++k) EXPECT_TRUE(seen.insert(DikFromHostKey(static_cast<Key>(k))).second) << k;
}

TEST(HostKeys, VirtualKeys) {
  EXPECT_EQ(VkFromHostKey(Key::Escape, false), VK_ESCAPE);
  EXPECT_EQ(VkFromHostKey(Key::Space, false), VK_SPACE);
  EXPECT_EQ(VkFromHostKey(Key::A, false), 'A');
  EXPECT_EQ(VkFromHostKey(Key::Digit0, false), '0');
  EXPECT_EQ(VkFromHostKey(Key::Left, false), VK_LEFT);
  EXPECT_EQ(VkFromHostKey(Key::Keypad4, true), VK_NUMPAD4);
  EXPECT_EQ(VkFromHostKey(Key::Keypad4, false), VK_LEFT);
  EXPECT_EQ(VkFromHostKey(Key::F1, false), 0x70);
  EXPECT_EQ(VkFromHostKey(Key::LeftShift, false), 0x10);
  EXPECT_EQ(VkFromHostKey(Key::None, false), 0);
}

TEST(HostKeys, StateArrayMovesEveryHeldKeyToItsDirectInputIndexOnly) {
  uint8_t hostKeys[host::kKeyCount] = {};
  hostKeys[static_cast<int>(Key::Left)] = 0x80;
  hostKeys[static_cast<int>(Key::Keypad8)] = 0x81;  // only bit 0x80 counts
  hostKeys[static_cast<int>(Key::Up)] = 0x7F;
  hostKeys[255] = 0x80;  // no DirectInput code: dropped
  uint8_t dik[256];
  for (uint8_t& b : dik) b = 0x55;
  platform::DikStateFromHostState(hostKeys, dik);
  int held = 0;
  for (uint8_t b : dik) held += b != 0;
  EXPECT_EQ(held, 2);
  EXPECT_EQ(dik[0xCB], 0x80);
  EXPECT_EQ(dik[0x48], 0x80);
  EXPECT_EQ(dik[0xC8], 0);
}

}  // namespace

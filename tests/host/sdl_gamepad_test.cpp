// Gamepads in the desktop host, through SDL's virtual joystick: hot-plug,
// the d-pad and the left stick (with its dead zone) as held arrow keys in
// the keyboard state, A/Start/Back as Space/Escape window messages.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "host/sdl/key_mapping.h"
#include "host/sdl/sdl_host.h"
#include "tests/host/context_switches.h"
#include "tests/support/require_all.h"

namespace {

using host::Key;

TEST(PadArrows, DpadOrStickBeyondTheDeadZone) {
  using host::sdl::ArrowsFromPad;
  using host::sdl::kStickDeadZone;
  host::sdl::PadArrows none;
  auto a = ArrowsFromPad(none, kStickDeadZone, -kStickDeadZone);  // at the edge: nothing
  EXPECT_FALSE(a.left || a.right || a.up || a.down);
  a = ArrowsFromPad(none, kStickDeadZone + 1, -32768);
  EXPECT_TRUE(a.right);
  EXPECT_TRUE(a.up);
  EXPECT_FALSE(a.left || a.down);
  host::sdl::PadArrows dpad;
  dpad.down = true;
  a = ArrowsFromPad(dpad, -32768, 0);
  EXPECT_TRUE(a.down);
  EXPECT_TRUE(a.left);
  EXPECT_FALSE(a.up || a.right);
}

class SdlGamepad : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
  }

  static std::vector<host::Event> Drain(host::SdlHost& h) {
    std::vector<host::Event> out;
    host::Event e;
    while (h.PollEvent(&e)) out.push_back(e);
    return out;
  }

  static bool Held(host::SdlHost& h, Key k) {
    uint8_t keys[host::kKeyCount];
    h.KeyboardState(keys);
    return (keys[static_cast<int>(k)] & 0x80) != 0;
  }
};

TEST_F(SdlGamepad, VirtualPadHoldsArrowsAndPressesSpaceAndEscape) {
  host::SdlHost h;
  ASSERT_TRUE(h.Ok());
  ASSERT_TRUE(h.CreateWindow("VELMORA", 0, 0, 800, 640));
  const int index = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, SDL_CONTROLLER_AXIS_MAX,
                                              SDL_CONTROLLER_BUTTON_MAX, 0);
  if (index < 0) VELMORA_SKIP() << "no virtual joystick: " << SDL_GetError();
  Drain(h);  // the device-added event opens it
  ASSERT_EQ(h.GamepadCount(), 1);
  SDL_Joystick* joy = SDL_JoystickOpen(index);
  ASSERT_NE(joy, nullptr);

  EXPECT_FALSE(Held(h, Key::Left));
  SDL_JoystickSetVirtualButton(joy, SDL_CONTROLLER_BUTTON_DPAD_LEFT, 1);
  EXPECT_TRUE(Held(h, Key::Left));
  EXPECT_FALSE(Held(h, Key::Right));
  SDL_JoystickSetVirtualButton(joy, SDL_CONTROLLER_BUTTON_DPAD_LEFT, 0);
  EXPECT_FALSE(Held(h, Key::Left));
  SDL_JoystickSetVirtualAxis(joy, SDL_CONTROLLER_AXIS_LEFTY, 30000);
  EXPECT_TRUE(Held(h, Key::Down));
  SDL_JoystickSetVirtualAxis(joy, SDL_CONTROLLER_AXIS_LEFTY, 5000);  // inside the dead zone
  EXPECT_FALSE(Held(h, Key::Down));
  // The d-pad moves nothing in the event queue: the game polls the state.
  for (const host::Event& e : Drain(h)) EXPECT_NE(e.type, host::EventType::KeyDown);

  // The virtual device reports a button's state as of each update.
  for (auto [button, down] : {std::pair{SDL_CONTROLLER_BUTTON_A, 1}, std::pair{SDL_CONTROLLER_BUTTON_A, 0},
                              std::pair{SDL_CONTROLLER_BUTTON_START, 1}, std::pair{SDL_CONTROLLER_BUTTON_BACK, 1},
                              std::pair{SDL_CONTROLLER_BUTTON_X, 1}}) {
    SDL_JoystickSetVirtualButton(joy, button, static_cast<Uint8>(down));
    SDL_JoystickUpdate();
  }
  std::vector<std::pair<host::EventType, Key>> keys;
  for (const host::Event& e : Drain(h)) {
    if (e.type == host::EventType::KeyDown || e.type == host::EventType::KeyUp) keys.emplace_back(e.type, e.key);
  }
  using T = host::EventType;
  EXPECT_EQ(keys, (std::vector<std::pair<T, Key>>{
                      {T::KeyDown, Key::Space}, {T::KeyUp, Key::Space}, {T::KeyDown, Key::Space},
                      {T::KeyDown, Key::Escape}}));

  SDL_JoystickClose(joy);
  SDL_JoystickDetachVirtual(index);
  Drain(h);  // unplugged: closed, and holds nothing
  EXPECT_EQ(h.GamepadCount(), 0);
  EXPECT_FALSE(Held(h, Key::Down));
}

// With a pad attached SDL's own wait looks every millisecond; the host's
// looks far less often and still sees the pad's buttons while it waits.
TEST_F(SdlGamepad, WaitingWithAPadAttachedSeesItsButtonsWithoutSpinning) {
  host::SdlHost h;
  ASSERT_TRUE(h.Ok());
  ASSERT_TRUE(h.CreateWindow("VELMORA", 0, 0, 800, 640));
  const int index = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, SDL_CONTROLLER_AXIS_MAX,
                                              SDL_CONTROLLER_BUTTON_MAX, 0);
  if (index < 0) VELMORA_SKIP() << "no virtual joystick: " << SDL_GetError();
  Drain(h);
  ASSERT_EQ(h.GamepadCount(), 1);
  SDL_Joystick* joy = SDL_JoystickOpen(index);
  ASSERT_NE(joy, nullptr);

  const uint64_t start = h.NowMs();
  const long before = VoluntarySwitches();
  EXPECT_FALSE(h.WaitEvent(start + 500));
  EXPECT_GE(h.NowMs(), start + 500);
  EXPECT_LT(VoluntarySwitches() - before, 150) << "a wake-up every millisecond would be 500";

  SDL_JoystickSetVirtualButton(joy, SDL_CONTROLLER_BUTTON_A, 1);
  ASSERT_TRUE(h.WaitEvent(h.NowMs() + 5000));
  host::Event e;
  ASSERT_TRUE(h.PollEvent(&e));
  EXPECT_EQ(e.type, host::EventType::KeyDown);
  EXPECT_EQ(e.key, Key::Space);

  SDL_JoystickClose(joy);
  SDL_JoystickDetachVirtual(index);
  Drain(h);
}

}  // namespace

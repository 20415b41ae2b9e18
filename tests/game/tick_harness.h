// tick_harness.h — runs GameTick on the headless platform with a real
// device and keyboard, recording sprites and an observer of the cues.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "devices/graphics.h"
#include "game/cues.h"
#include "host/headless/headless_host.h"
#include "tests/game/game_fixture.h"
#include "tests/game/recording_sprite.h"
#include "tools/headless_device/headless_device.h"

// The platform is set up once per test binary: the host, the window, the
// device, the keyboard and twelve small textures with recording sprites.
class TickHarness {
 public:
  static TickHarness& Get();

  host::HeadlessHost& host() { return *host_; }
  std::vector<DrawRecord> draws;
  std::vector<std::pair<std::string, std::string>> cues;

  // Clears the logs and leaves the keyboard with no key held.
  void ClearLogs();
  // Holds or releases an arrow key as the keyboard device reports it.
  void HoldKey(int scancode, bool down);
  // Draws of one image, in order.
  std::vector<DrawRecord> DrawsOf(const std::string& image) const;

 private:
  TickHarness();
  std::unique_ptr<host::HeadlessHost> host_;
  std::unique_ptr<headless::HeadlessDevice> device_;
  std::vector<std::unique_ptr<RecordingSprite>> sprites_;
};

// Rule tests of the tick: the blocks and gems parked off the board, the
// figures on their start cells, play on, the logs empty.
class TickTest : public GameStateTest {
 protected:
  void SetUp() override;
  void TearDown() override;
  TickHarness& harness() { return TickHarness::Get(); }
  // Leaves the generator where the stranger will not try a step in the
  // next `ticks` play ticks (each such tick takes one odd value).
  static void HoldStrangerFor(int ticks);
};

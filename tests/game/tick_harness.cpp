// tick_harness.cpp — the shared platform of the tick tests.
#include "tests/game/tick_harness.h"

#include <gtest/gtest.h>

#include "devices/keyboard.h"
#include "devices/main_window.h"
#include "platform/win32/host_keys.h"

namespace {

void RecordCue(Cue cue, CueOperation operation) {
  TickHarness::Get().cues.emplace_back(CueName(cue), CueOperationName(operation));
}

}  // namespace

TickHarness& TickHarness::Get() {
  static TickHarness* harness = new TickHarness();
  return *harness;
}

TickHarness::TickHarness() : host_(new host::HeadlessHost()) {
  host_->KeepFrames(false);
  host_->SetKeyRepeat(0, 0);
  device_ = std::make_unique<headless::HeadlessDevice>(host_.get());
  EXPECT_EQ(device_->Result(), S_OK);
  mainWindow = device_->Window();
  direct3D = device_->Direct3D();
  graphicsDevice = device_->Device();
  for (const AssetRow& row : kAssetTable) {
    EXPECT_EQ(graphicsDevice->CreateTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, row.texture, nullptr), S_OK);
    sprites_.emplace_back(new RecordingSprite(row.role, &draws));
    *row.sprite = sprites_.back().get();
  }
  EXPECT_EQ(InitKeyboard(mainWindow), S_OK);
  cueObserver = RecordCue;
}

void TickHarness::ClearLogs() {
  draws.clear();
  cues.clear();
}

void TickHarness::HoldKey(int scancode, bool down) {
  // The game names keys by DirectInput code; the host by its own.
  host::Key key = host::Key::None;
  for (int k = 1; k < host::kKeyCount && key == host::Key::None; ++k) {
    if (platform::DikFromHostKey(static_cast<host::Key>(k)) == scancode) key = static_cast<host::Key>(k);
  }
  ASSERT_NE(key, host::Key::None) << scancode;
  host_->ScheduleKeyState(host_->NowMs(), key, down);
  host_->AdvanceTo(host_->NowMs());  // delivers what is due now
}

std::vector<DrawRecord> TickHarness::DrawsOf(const std::string& image) const {
  std::vector<DrawRecord> out;
  for (const DrawRecord& d : draws) {
    if (d.image == image) out.push_back(d);
  }
  return out;
}

void TickTest::SetUp() {
  GameStateTest::SetUp();
  titleShown = 0;
  TickHarness& h = harness();
  for (int key : {0xCB, 0xCD, 0xC8, 0xD0}) h.HoldKey(key, false);
  h.ClearLogs();
  HoldStrangerFor(0);
}

void TickTest::TearDown() { harness().ClearLogs(); }

void TickTest::HoldStrangerFor(int ticks) {
  for (uint32_t seed = 1;; ++seed) {
    SeedRandom(seed);
    bool idle = true;
    for (int i = 0; i < ticks && idle; ++i) idle = TakeRandom() % 2 == 1;
    if (idle) {
      SeedRandom(seed);
      return;
    }
  }
}

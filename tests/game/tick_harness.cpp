// tick_harness.cpp — the shared platform of the tick tests.
#include "tests/game/tick_harness.h"

#include <gtest/gtest.h>

#include "devices/keyboard.h"
#include "devices/main_window.h"
#include "platform/win32/host_keys.h"

namespace {

LRESULT CALLBACK PlainWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

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
  host::SetCurrent(host_.get());

  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = PlainWindowProc;
  wc.lpszClassName = "TICKTEST";
  RegisterClassExA(&wc);
  mainWindow = CreateWindowExA(0, "TICKTEST", "TICKTEST", WS_OVERLAPPEDWINDOW, 0, 0, 800, 640, nullptr, nullptr,
                               nullptr, nullptr);
  EXPECT_NE(mainWindow, nullptr);

  direct3D = Direct3DCreate9(D3D_SDK_VERSION);
  EXPECT_NE(direct3D, nullptr);
  D3DPRESENT_PARAMETERS present{};
  present.BackBufferCount = 1;
  present.SwapEffect = D3DSWAPEFFECT_DISCARD;
  present.Windowed = TRUE;
  EXPECT_EQ(direct3D->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, mainWindow, D3DCREATE_MIXED_VERTEXPROCESSING,
                                   &present, &graphicsDevice),
            S_OK);
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

// Start-up and shutdown of the whole program: the failure matrix through
// fault injection (messages compared byte for byte with their captions, exit
// codes, what was created), the centred window, the idle cursor and the ends
// by Escape and by the close box.
#include <gtest/gtest.h>

#include "devices/graphics.h"
#include "devices/sound.h"
#include "tests/app/program_run.h"

namespace {

constexpr uint64_t kCloseAt = 1200;

ProgramSetup ClosingAt(uint64_t ms, std::function<void(host::HeadlessHost&)> more = nullptr) {
  ProgramSetup s;
  s.configure = [ms, more](host::HeadlessHost& h) {
    h.ScheduleClose(ms);
    if (more) more(h);
  };
  return s;
}

ProgramSetup FailingAt(const std::string& call, int nth = 1) {
  return ClosingAt(kCloseAt, [call, nth](host::HeadlessHost& h) { h.FailAt(call, nth); });
}

// Which of the twelve textures and sprites exist, as "1" and "0" in table order.
std::string AssetSlots() {
  std::string textures, sprites;
  for (const AssetRow& row : kAssetTable) {
    textures += *row.texture ? '1' : '0';
    sprites += *row.sprite ? '1' : '0';
  }
  return textures + " " + sprites;
}

// A host that fails one operation the first time `when` holds as it is asked.
class ConditionalFaultHost : public host::HeadlessHost {
 public:
  ConditionalFaultHost(std::string call, std::function<bool()> when) : call_(std::move(call)), when_(std::move(when)) {}
  bool ShouldFail(const char* call) override {
    const bool base = HeadlessHost::ShouldFail(call);
    if (!fired_ && call_ == call && when_()) {
      fired_ = true;
      return true;
    }
    return base;
  }

 private:
  std::string call_;
  std::function<bool()> when_;
  bool fired_ = false;
};

const std::string kDirect3DText = kDirect3DCreateFailedText;
const std::string kHalText = kHalFailedText;
const std::string kRefText = kRefFailedText;
const std::string kTextureText = kTextureFailedText;
const std::string kSpriteText = kSpriteFailedText;

TEST(ShiftJisMessages, BytesOfTheFiveTexts) {
  // "Direct3Dの作成に失敗しました": の = 82 cc, 作成 = 8d ec 90 ac.
  EXPECT_EQ(kDirect3DText.substr(0, 10), std::string("Direct3D\x82\xcc", 10));
  EXPECT_EQ(kDirect3DText.size(), 8u + 10 * 2);
  // Two lines joined by one line feed: "HALモード..." and "REFモード...".
  const size_t lf = kHalText.find('\n');
  ASSERT_NE(lf, std::string::npos);
  EXPECT_EQ(kHalText.find('\n', lf + 1), std::string::npos);
  EXPECT_EQ(kHalText.substr(0, 3), "HAL");
  EXPECT_EQ(kHalText.substr(lf + 1, 3), "REF");
  EXPECT_EQ(kHalText.find('\r'), std::string::npos);
  EXPECT_EQ(kRefText.substr(0, 8), "DIRECT3D");
  EXPECT_EQ(kTextureText.substr(0, 4), "\x83\x65\x83\x4e");  // テク
  EXPECT_EQ(kSpriteText.substr(0, 4), "\x83\x58\x83\x76");   // スプ
  EXPECT_EQ(kTextureText.substr(10), kSpriteText.substr(10)) << "both end in の作成に失敗しました";
}

TEST(Startup, RunsCentredWithTheGameCursorAndEndsByTheCloseBox) {
  ProgramSetup s = ClosingAt(kCloseAt);
  s.examine = [](host::HeadlessHost& h) {
    int x, y, w, hh;
    h.WindowRect(&x, &y, &w, &hh);
    return std::to_string(x) + " " + std::to_string(y) + " " + std::to_string(w) + " " + std::to_string(hh) + " " +
           (h.CurrentCursor() != nullptr ? "cursor" : "arrow") + " " + AssetSlots();
  };
  const ProgramResult r = RunProgram(s);
  ASSERT_TRUE(r.finished);
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_TRUE(r.boxes.empty());
  EXPECT_EQ(r.frames, 2u) << "ticks at 500 and 1000 ms";
  // Released at exit: every slot null again.
  EXPECT_EQ(r.report, "112 64 800 640 cursor 000000000000 000000000000");
}

TEST(Startup, EscapeEndsWithExitCodeZero) {
  ProgramSetup s;
  s.configure = [](host::HeadlessHost& h) { h.ScheduleKey(700, host::Key::Escape, true); };
  const ProgramResult r = RunProgram(s);
  ASSERT_TRUE(r.finished);
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.frames, 1u);
}

TEST(StartupFailure, NoDirect3DObject) {
  ProgramSetup s = FailingAt("Direct3DCreate9");
  s.counted = {"DirectInput8Create"};
  const ProgramResult r = RunProgram(s);
  ASSERT_TRUE(r.finished);
  EXPECT_EQ(r.exitCode, 0);
  ASSERT_EQ(r.boxes.size(), 1u);
  EXPECT_EQ(r.boxes[0].text, kDirect3DText);
  ASSERT_TRUE(r.boxes[0].caption.has_value()) << "an empty caption, not a null one";
  EXPECT_EQ(*r.boxes[0].caption, "");
  EXPECT_EQ(r.boxes[0].flags, static_cast<uint32_t>(MB_OK));
  EXPECT_EQ(r.counts.at("DirectInput8Create"), 0);
  EXPECT_EQ(r.frames, 0u);
}

TEST(StartupFailure, NoHardwareDeviceFallsBackToReferenceWithOneMessage) {
  const ProgramResult r = RunProgram(FailingAt("IDirect3D9.CreateDevice.HAL"));
  ASSERT_TRUE(r.finished);
  EXPECT_EQ(r.exitCode, 0);
  ASSERT_EQ(r.boxes.size(), 1u);
  EXPECT_EQ(r.boxes[0].text, kHalText);
  EXPECT_FALSE(r.boxes[0].caption.has_value()) << "the system's default caption";
  EXPECT_EQ(r.frames, 2u) << "the game runs on the reference device";
}

TEST(StartupFailure, NeitherDeviceGivesTwoMessages) {
  ProgramSetup s = ClosingAt(kCloseAt, [](host::HeadlessHost& h) {
    h.FailAt("IDirect3D9.CreateDevice.HAL");
    h.FailAt("IDirect3D9.CreateDevice.REF");
  });
  const ProgramResult r = RunProgram(s);
  ASSERT_TRUE(r.finished);
  EXPECT_EQ(r.exitCode, 0);
  ASSERT_EQ(r.boxes.size(), 2u);
  EXPECT_EQ(r.boxes[0].text, kHalText);
  EXPECT_EQ(r.boxes[1].text, kRefText);
  EXPECT_FALSE(r.boxes[1].caption.has_value());
  EXPECT_EQ(r.frames, 0u);
}

TEST(StartupFailure, FifthTextureStopsWithFourPairsAndOneTextureMessage) {
  ProgramSetup s = ClosingAt(kCloseAt);
  s.makeHost = [] {
    return std::make_unique<ConditionalFaultHost>("IDirect3DDevice9.CreateTexture",
                                                  [] { return floorSprite != nullptr; });
  };
  s.examine = [](host::HeadlessHost&) { return AssetSlots(); };
  const ProgramResult r = RunProgram(s);
  ASSERT_TRUE(r.finished);
  EXPECT_EQ(r.exitCode, 0);
  ASSERT_EQ(r.boxes.size(), 1u);
  EXPECT_EQ(r.boxes[0].text, kTextureText);
  ASSERT_TRUE(r.boxes[0].caption.has_value());
  EXPECT_EQ(*r.boxes[0].caption, "");
  EXPECT_EQ(r.report, "111100000000 111100000000") << "the created pairs stay; nothing else is made";
}

TEST(StartupFailure, SpriteFailureShowsTheSpriteMessage) {
  ProgramSetup s = ClosingAt(kCloseAt);
  s.makeHost = [] {
    return std::make_unique<ConditionalFaultHost>(
        "alloc", [] { return walkerTexture != nullptr && walkerSprite == nullptr; });
  };
  s.examine = [](host::HeadlessHost&) { return AssetSlots(); };
  const ProgramResult r = RunProgram(s);
  ASSERT_TRUE(r.finished);
  EXPECT_EQ(r.exitCode, 0);
  ASSERT_EQ(r.boxes.size(), 1u);
  EXPECT_EQ(r.boxes[0].text, kSpriteText);
  EXPECT_EQ(r.boxes[0].caption.value_or("null"), "");
  EXPECT_EQ(r.report, "100000000000 000000000000");
}

TEST(StartupFailure, KeyboardFailuresEndSilentlyWithZero) {
  for (const char* call : {"DirectInput8Create", "IDirectInput8.CreateDevice", "IDirectInputDevice8.SetDataFormat",
                           "IDirectInputDevice8.SetCooperativeLevel"}) {
    ProgramSetup s = FailingAt(call);
    s.counted = {"DirectSoundCreate8"};
    const ProgramResult r = RunProgram(s);
    ASSERT_TRUE(r.finished) << call;
    EXPECT_EQ(r.exitCode, 0) << call;
    EXPECT_TRUE(r.boxes.empty()) << call;
    EXPECT_EQ(r.counts.at("DirectSoundCreate8"), 0) << call;
  }
  // A failing first Acquire is not tested: the game runs.
  const ProgramResult r = RunProgram(FailingAt("IDirectInputDevice8.Acquire"));
  EXPECT_EQ(r.frames, 2u);
}

TEST(StartupFailure, SoundDeviceAndPrimaryBufferEndWithMinusOne) {
  for (const char* call : {"DirectSoundCreate8", "IDirectSound8.SetCooperativeLevel", "IDirectSound8.CreateSoundBuffer",
                           "IDirectSoundBuffer.SetFormat"}) {
    ProgramSetup s = FailingAt(call);
    s.counted = {"mmioOpenA"};
    const ProgramResult r = RunProgram(s);
    ASSERT_TRUE(r.finished) << call;
    EXPECT_EQ(r.exitCode, -1) << call;
    EXPECT_TRUE(r.boxes.empty()) << call;
    EXPECT_EQ(r.counts.at("mmioOpenA"), 0) << call;
    EXPECT_EQ(r.frames, 0u);
  }
}

TEST(StartupFailure, MissingFirstCueOpensNoOtherFile) {
  WavFolder folder({"bgm.wav"});
  ProgramSetup s = ClosingAt(kCloseAt);
  s.cwd = folder.path();
  s.counted = {"mmioOpenA"};
  const ProgramResult r = RunProgram(s);
  ASSERT_TRUE(r.finished);
  EXPECT_EQ(r.exitCode, -1);
  EXPECT_TRUE(r.boxes.empty());
  EXPECT_EQ(r.counts.at("mmioOpenA"), 1);
}

TEST(StartupFailure, MissingLastCueEndsAfterFourLoadedAndReleasesThem) {
  WavFolder folder({"start.wav"});
  ProgramSetup s = ClosingAt(kCloseAt);
  s.cwd = folder.path();
  s.counted = {"mmioOpenA", "IDirectSound8.CreateSoundBuffer"};
  s.examine = [](host::HeadlessHost&) {
    const bool released = !bgmBuffer && !getBuffer && !clearBuffer && !overBuffer && !startBuffer;
    return std::string(released ? "released" : "kept");
  };
  const ProgramResult r = RunProgram(s);
  ASSERT_TRUE(r.finished);
  EXPECT_EQ(r.exitCode, -1);
  EXPECT_TRUE(r.boxes.empty());
  EXPECT_EQ(r.counts.at("mmioOpenA"), 5);
  EXPECT_EQ(r.counts.at("IDirectSound8.CreateSoundBuffer"), 5) << "the primary buffer and four cues";
  EXPECT_EQ(r.report, "released");
}

}  // namespace

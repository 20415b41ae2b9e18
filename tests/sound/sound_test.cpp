// The game's sound system: start-up, WAV loading with its accepted and
// refused layouts, every failure path and what it leaves behind, release,
// and the cue rules heard in the captured mix.
#include <dirent.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "devices/main_window.h"
#include "devices/sound.h"
#include "host/headless/headless_host.h"
#include "tests/sound/wav_fixture.h"

namespace {

using namespace wavfixture;

int OpenFileCount() {
  int n = 0;
  if (DIR* d = opendir("/proc/self/fd")) {
    while (readdir(d) != nullptr) ++n;
    closedir(d);
  }
  return n;
}

Bytes Ramp16(size_t n, int first = 1) {
  std::vector<int16_t> s(n);
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<int16_t>(first + static_cast<int>(i));
  return Samples16(s);
}

class SoundSystem : public ::testing::Test {
 protected:
  void SetUp() override {
    host::SetCurrent(&host_);
    mainWindow = reinterpret_cast<HWND>(0x10);
  }
  void TearDown() override {
    ReleaseSound();
    mainWindow = nullptr;
    host::SetCurrent(nullptr);
  }
  void StartDevice() {
    ASSERT_TRUE(InitSound());
    ASSERT_TRUE(CreatePrimaryBuffer());
  }
  // Loads `bytes` as a file into `slot`.
  BOOL Load(IDirectSoundBuffer** slot, const Bytes& bytes) {
    TempFile f(bytes);
    return LoadWave(slot, f.path());
  }
  static Bytes Contents(IDirectSoundBuffer* b) {
    DSBCAPS caps{};
    caps.dwSize = sizeof caps;
    b->GetCaps(&caps);
    void* p1 = nullptr;
    DWORD n1 = 0;
    b->Lock(0, caps.dwBufferBytes, &p1, &n1, nullptr, nullptr, 0);
    Bytes out(static_cast<uint8_t*>(p1), static_cast<uint8_t*>(p1) + n1);
    b->Unlock(p1, n1, nullptr, 0);
    return out;
  }
  std::vector<int16_t> Left(size_t from, size_t to) const {
    std::vector<int16_t> out;
    for (size_t i = from; i < to && 2 * i < host_.Audio().size(); ++i) out.push_back(host_.Audio()[2 * i]);
    return out;
  }
  void FailNext(const char* call) { host_.FailAt(call, host_.CallCount(call) + 1); }
  static size_t FrameAt(uint64_t ms) { return static_cast<size_t>(ms * 44100 / 1000); }

  host::HeadlessHost host_;
};

TEST_F(SoundSystem, StartUpCreatesTheDeviceAndTheSixteenBitStereoPrimary) {
  StartDevice();
  ASSERT_NE(soundDevice, nullptr);
  ASSERT_NE(primaryBuffer, nullptr);
  WAVEFORMATEX f{};
  ASSERT_EQ(primaryBuffer->GetFormat(&f, sizeof f, nullptr), DS_OK);
  EXPECT_EQ(f.wFormatTag, WAVE_FORMAT_PCM);
  EXPECT_EQ(f.nChannels, 2);
  EXPECT_EQ(f.nSamplesPerSec, 44100u);
  EXPECT_EQ(f.wBitsPerSample, 16);
  EXPECT_EQ(f.nBlockAlign, 4);
  EXPECT_EQ(f.nAvgBytesPerSec, 176400u);
  EXPECT_EQ(host_.OpenedAudioFormat().rate, 44100);

  EXPECT_TRUE(ReleaseSound());
  EXPECT_EQ(soundDevice, nullptr);
  EXPECT_EQ(primaryBuffer, nullptr);
  EXPECT_TRUE(ReleaseSound());  // safe twice
}

TEST_F(SoundSystem, StartUpFailuresReturnFalseAndLeaveWhatWasMadeForRelease) {
  FailNext("DirectSoundCreate8");
  EXPECT_FALSE(InitSound());
  EXPECT_EQ(soundDevice, nullptr);
  ReleaseSound();

  FailNext("IDirectSound8.SetCooperativeLevel");
  EXPECT_FALSE(InitSound());
  EXPECT_NE(soundDevice, nullptr);
  ReleaseSound();
  EXPECT_EQ(soundDevice, nullptr);

  ASSERT_TRUE(InitSound());
  FailNext("IDirectSound8.CreateSoundBuffer");
  EXPECT_FALSE(CreatePrimaryBuffer());
  EXPECT_EQ(primaryBuffer, nullptr);
  FailNext("IDirectSoundBuffer.SetFormat");
  EXPECT_FALSE(CreatePrimaryBuffer());
  EXPECT_NE(primaryBuffer, nullptr);
  ReleaseSound();
  EXPECT_EQ(primaryBuffer, nullptr);
  EXPECT_EQ(soundDevice, nullptr);
}

TEST_F(SoundSystem, NoAudioOutputIsNotAFailure) {
  host_.SetAudioAvailable(false);
  StartDevice();
  ASSERT_TRUE(Load(&getBuffer, Wave(1, 22050, 8, Bytes(2205, 200))));
  EXPECT_EQ(getBuffer->Play(0, 0, 0), DS_OK);
}

TEST_F(SoundSystem, LoadsTheSamplesWholeAndInTheirOwnFormat) {
  StartDevice();
  Bytes samples = Ramp16(2 * 1000);
  ASSERT_TRUE(Load(&bgmBuffer, Wave(2, 44100, 16, samples)));
  ASSERT_NE(bgmBuffer, nullptr);
  EXPECT_EQ(Contents(bgmBuffer), samples);
  DSBCAPS caps{};
  caps.dwSize = sizeof caps;
  bgmBuffer->GetCaps(&caps);
  EXPECT_EQ(caps.dwFlags, static_cast<DWORD>(DSBCAPS_STATIC | DSBCAPS_GETCURRENTPOSITION2 | DSBCAPS_LOCSOFTWARE));
  WAVEFORMATEX f{};
  bgmBuffer->GetFormat(&f, sizeof f, nullptr);
  EXPECT_EQ(f.nChannels, 2);
  EXPECT_EQ(f.wBitsPerSample, 16);
}

TEST_F(SoundSystem, FormatChunksOfSixteenEighteenAndMoreBytesLoad) {
  StartDevice();
  Bytes samples(300, 0x80);
  // 16 bytes: no cbSize in the file, read as 0.
  ASSERT_TRUE(Load(&getBuffer, Form("WAVE", {Chunk("fmt ", PcmFormat(1, 22050, 8)), Chunk("data", samples)})));
  ASSERT_TRUE(Load(&clearBuffer, Form("WAVE", {Chunk("fmt ", PcmFormat(1, 22050, 8, true)), Chunk("data", samples)})));
  // cbSize 2 with two extra bytes: 20 bytes, all read, then skipped to data.
  Bytes extended = PcmFormat(1, 22050, 8);
  Put16(extended, 2);
  Put16(extended, 0xBEEF);
  ASSERT_TRUE(Load(&overBuffer, Form("WAVE", {Chunk("fmt ", extended), Chunk("data", samples)})));
  EXPECT_EQ(Contents(overBuffer), samples);
  // An odd-sized fmt chunk is followed by its pad byte.
  Bytes odd = PcmFormat(1, 22050, 8, true);
  odd.push_back(7);
  ASSERT_TRUE(Load(&startBuffer, Form("WAVE", {Chunk("fmt ", odd), Chunk("data", samples)})));
  EXPECT_EQ(Contents(startBuffer), samples);
}

TEST_F(SoundSystem, OtherChunksBetweenFormatAndDataAreSkipped) {
  StartDevice();
  Bytes samples = Ramp16(500);
  Bytes fact;
  Put32(fact, 500);
  Bytes list = {'I', 'N', 'F', 'O', 'I', 'N', 'A', 'M', 3, 0, 0, 0, 'a', 'b', 'c'};  // odd: padded
  ASSERT_TRUE(Load(&bgmBuffer, Form("WAVE", {Chunk("fmt ", PcmFormat(1, 44100, 16)), Chunk("fact", fact),
                                             Chunk("LIST", list), Chunk("data", samples)})));
  EXPECT_EQ(Contents(bgmBuffer), samples);
  // Chunks after the data chunk do not matter.
  ASSERT_TRUE(Load(&getBuffer, Form("WAVE", {Chunk("fmt ", PcmFormat(1, 44100, 16)), Chunk("data", samples),
                                             Chunk("LIST", list)})));
  EXPECT_EQ(Contents(getBuffer), samples);
}

TEST_F(SoundSystem, RefusedLayoutsLeaveTheSlotEmptyAndCloseTheFile) {
  StartDevice();
  const Bytes samples(400, 0x80);
  struct Case {
    const char* what;
    Bytes file;
  };
  const Case cases[] = {
      {"LIST before fmt", Form("WAVE", {Chunk("LIST", Bytes{'I', 'N', 'F', 'O'}), Chunk("fmt ", PcmFormat(1, 8000, 8)),
                                        Chunk("data", samples)})},
      {"AVI form", Form("AVI ", {Chunk("fmt ", PcmFormat(1, 8000, 8)), Chunk("data", samples)})},
      {"RIFX container", Form("WAVE", {Chunk("fmt ", PcmFormat(1, 8000, 8)), Chunk("data", samples)}, "RIFX")},
      {"no data chunk", Form("WAVE", {Chunk("fmt ", PcmFormat(1, 8000, 8)), Chunk("fact", Bytes{0, 0, 0, 0})})},
      {"data outside the form", [&] {
         Bytes b = Form("WAVE", {Chunk("fmt ", PcmFormat(1, 8000, 8))});
         Bytes d = Chunk("data", samples);
         b.insert(b.end(), d.begin(), d.end());
         return b;
       }()},
      {"empty form", Form("WAVE", {})},
      {"empty file", Bytes{}},
      {"text", Bytes{'h', 'e', 'l', 'l', 'o'}},
      {"24-bit samples", Form("WAVE", {Chunk("fmt ", PcmFormat(2, 44100, 24)), Chunk("data", samples)})},
      {"empty data", Form("WAVE", {Chunk("fmt ", PcmFormat(1, 8000, 8)), Chunk("data", Bytes{})})},
  };
  const int openBefore = OpenFileCount();
  for (const Case& c : cases) {
    IDirectSoundBuffer* slot = nullptr;
    EXPECT_FALSE(Load(&slot, c.file)) << c.what;
    EXPECT_EQ(slot, nullptr) << c.what;
    EXPECT_EQ(OpenFileCount(), openBefore) << c.what;
  }
  IDirectSoundBuffer* slot = nullptr;
  EXPECT_FALSE(LoadWave(&slot, "no-such-cue.wav"));
  EXPECT_EQ(slot, nullptr);
  FailNext("mmioOpenA");
  TempFile good(Wave(1, 8000, 8, samples));
  EXPECT_FALSE(LoadWave(&slot, good.path()));
  EXPECT_EQ(slot, nullptr);
  EXPECT_EQ(OpenFileCount(), openBefore);
}

TEST_F(SoundSystem, RefusedBufferAndFailedLockFollowTheirRows) {
  StartDevice();
  TempFile good(Wave(1, 8000, 8, Bytes(400, 0x80)));
  const int openBefore = OpenFileCount();

  FailNext("IDirectSound8.CreateSoundBuffer");
  EXPECT_FALSE(LoadWave(&clearBuffer, good.path()));
  EXPECT_EQ(clearBuffer, nullptr);
  EXPECT_EQ(OpenFileCount(), openBefore);

  // A failed Lock leaves the new buffer in its slot; ReleaseSound takes it.
  FailNext("IDirectSoundBuffer.Lock");
  EXPECT_FALSE(LoadWave(&overBuffer, good.path()));
  ASSERT_NE(overBuffer, nullptr);
  EXPECT_EQ(OpenFileCount(), openBefore);
  EXPECT_TRUE(ReleaseSound());
  EXPECT_EQ(overBuffer, nullptr);
  EXPECT_EQ(soundDevice, nullptr);
}

TEST_F(SoundSystem, AllFiveCuesLoadAndReleaseInOrder) {
  StartDevice();
  IDirectSoundBuffer** slots[] = {&bgmBuffer, &getBuffer, &clearBuffer, &overBuffer, &startBuffer};
  for (IDirectSoundBuffer** slot : slots) ASSERT_TRUE(Load(slot, Wave(1, 22050, 16, Ramp16(100))));
  EXPECT_TRUE(ReleaseSound());
  for (IDirectSoundBuffer** slot : slots) EXPECT_EQ(*slot, nullptr);
  EXPECT_EQ(primaryBuffer, nullptr);
  EXPECT_EQ(soundDevice, nullptr);
}

TEST_F(SoundSystem, ChunkSizesPastTheEndOfTheFileAreNotTrusted) {
  StartDevice();
  // The data chunk claims 1 MiB but the file holds 600 bytes of it: the
  // buffer gets those 600 bytes, not a megabyte of silence after them.
  Bytes samples = Ramp16(300);
  Bytes file = Form("WAVE", {Chunk("fmt ", PcmFormat(1, 44100, 16)), Chunk("data", samples, 1 << 20)});
  ASSERT_TRUE(Load(&bgmBuffer, file));
  DSBCAPS caps{};
  caps.dwSize = sizeof caps;
  bgmBuffer->GetCaps(&caps);
  EXPECT_EQ(caps.dwBufferBytes, 600u);
  EXPECT_EQ(Contents(bgmBuffer), samples);

  // A format chunk claiming nearly 4 GiB: no such block is made (which would
  // take gigabytes and seconds to zero); the load is simply refused.
  Bytes huge = Form("WAVE", {Chunk("fmt ", PcmFormat(1, 44100, 16), 0xFFFFFFF0u), Chunk("data", samples)});
  IDirectSoundBuffer* slot = nullptr;
  EXPECT_FALSE(Load(&slot, huge));
  EXPECT_EQ(slot, nullptr);

  // The same claim on the data chunk, and a RIFF size past the end.
  Bytes hugeData = Form("WAVE", {Chunk("fmt ", PcmFormat(1, 44100, 16)), Chunk("data", samples, 0xFFFFFFFFu)});
  hugeData[4] = hugeData[5] = hugeData[6] = hugeData[7] = 0xFF;
  ASSERT_TRUE(Load(&getBuffer, hugeData));
  EXPECT_EQ(Contents(getBuffer), samples);
}

TEST_F(SoundSystem, EightBitMonoAt22050PlaysConvertedToTheOutput) {
  StartDevice();
  // 441 Hz, half a second: 100 output frames per period at 44100 Hz.
  ASSERT_TRUE(Load(&getBuffer, Wave(1, 22050, 8, Sine(22050, 1, 8, 441, 11025, 0.75))));
  ASSERT_EQ(getBuffer->Play(0, 0, 0), DS_OK);
  host_.SleepMs(700);
  const auto& a = host_.Audio();
  ASSERT_EQ(a.size(), FrameAt(700) * 2);
  int crossings = 0;
  int peak = 0;
  for (size_t i = 1000; i < 21000; ++i) {
    EXPECT_EQ(a[2 * i], a[2 * i + 1]);
    peak = std::max(peak, std::abs(static_cast<int>(a[2 * i])));
    if ((a[2 * (i - 1)] < 0) != (a[2 * i] < 0)) ++crossings;
  }
  EXPECT_EQ(crossings, 400);  // 200 periods over 20000 frames
  EXPECT_NEAR(peak, 0.75 * 127 * 256, 400);
  // Half a second of source is half a second of output, then silence.
  EXPECT_NE(a[2 * (FrameAt(500) - 40)], 0);
  auto tail = Left(FrameAt(500) + 20, FrameAt(700));
  EXPECT_TRUE(std::all_of(tail.begin(), tail.end(), [](int16_t s) { return s == 0; }));
}

TEST_F(SoundSystem, CueRulesAsThePlayerHearsThem) {
  StartDevice();
  // Distinct value ranges tell the cues apart in the mix.
  ASSERT_TRUE(Load(&bgmBuffer, Wave(1, 44100, 16, Ramp16(30000, 1))));
  ASSERT_TRUE(Load(&startBuffer, Wave(1, 44100, 16, Ramp16(30000, -30000))));
  ASSERT_TRUE(Load(&getBuffer, Wave(1, 44100, 16, Samples16(std::vector<int16_t>(4410, 0)))));
  ASSERT_TRUE(Load(&clearBuffer, Wave(1, 44100, 16, Samples16(std::vector<int16_t>(44100, 0)))));

  // Title music loops from start-up; StartGame at 200 ms stops it.
  startBuffer->Play(0, 0, DSBPLAY_LOOPING);
  host_.SleepMs(200);
  startBuffer->Stop();
  bgmBuffer->Play(0, 0, DSBPLAY_LOOPING);
  // Space during play: the game music does not start over.
  host_.SleepMs(100);
  bgmBuffer->Play(0, 0, DSBPLAY_LOOPING);
  host_.SleepMs(100);
  // Cleared sequence at 400 ms: music stopped, jingle once, 5 s pause,
  // music again from where it stopped.
  bgmBuffer->Stop();
  clearBuffer->Play(0, 0, 0);
  host_.SleepMs(5000);
  bgmBuffer->Play(0, 0, DSBPLAY_LOOPING);
  host_.SleepMs(100);
  // Game over: music stopped, after the pause the title music goes on from
  // where StartGame stopped it.
  bgmBuffer->Stop();
  host_.SleepMs(5000);
  startBuffer->Play(0, 0, DSBPLAY_LOOPING);
  host_.SleepMs(100);

  const size_t t200 = FrameAt(200), t400 = FrameAt(400), t5400 = FrameAt(5400), t5500 = FrameAt(5500),
               t10500 = FrameAt(10500);
  auto title = Left(0, t200);
  EXPECT_EQ(title.front(), -30000);
  EXPECT_EQ(title.back(), static_cast<int16_t>(-30000 + t200 - 1));
  auto game = Left(t200, t400);
  for (size_t i = 0; i < game.size(); ++i) ASSERT_EQ(game[i], static_cast<int16_t>(1 + i)) << i;
  auto pause = Left(t400, t5400);
  EXPECT_TRUE(std::all_of(pause.begin(), pause.end(), [](int16_t s) { return s == 0; }));
  auto resumed = Left(t5400, t5500);
  EXPECT_EQ(resumed.front(), static_cast<int16_t>(1 + (t400 - t200)));
  EXPECT_EQ(resumed.back(), static_cast<int16_t>(t400 - t200 + (t5500 - t5400)));
  auto titleAgain = Left(t10500, t10500 + 10);
  EXPECT_EQ(titleAgain.front(), static_cast<int16_t>(-30000 + t200));
}

TEST_F(SoundSystem, APickupTakenAgainWhilePlayingIsNotRestarted) {
  StartDevice();
  ASSERT_TRUE(Load(&getBuffer, Wave(1, 44100, 16, Ramp16(4410))));  // 100 ms
  getBuffer->Play(0, 0, 0);
  host_.SleepMs(60);
  getBuffer->Play(0, 0, 0);  // a second gem in the next tick
  host_.SleepMs(140);
  auto out = Left(0, FrameAt(200));
  for (size_t i = 0; i < 4410; ++i) ASSERT_EQ(out[i], static_cast<int16_t>(i + 1)) << i;
  auto after = Left(4410, FrameAt(200));
  EXPECT_TRUE(std::all_of(after.begin(), after.end(), [](int16_t s) { return s == 0; }));
  // Once it has ended, the next gem starts it from the beginning.
  getBuffer->Play(0, 0, 0);
  host_.SleepMs(10);
  EXPECT_EQ(Left(FrameAt(200), FrameAt(200) + 1)[0], 1);
}

}  // namespace

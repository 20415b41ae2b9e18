// The game's sound system: start-up, WAV loading with its accepted and
// refused layouts, every failure path and what it leaves behind, release,
// and the cue rules heard in the captured mix.
#include <dirent.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

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

TEST_F(SoundSystem, NoAudioOutputFailsInitSound) {
  host_.SetAudioAvailable(false);
  EXPECT_FALSE(InitSound());
  EXPECT_EQ(soundDevice, nullptr);
  ReleaseSound();
  host_.SetAudioAvailable(true);
  FailNext("host.OpenAudio");
  EXPECT_FALSE(InitSound());
  EXPECT_EQ(soundDevice, nullptr);
}

TEST_F(SoundSystem, TheSilentOutputStillLoadsAndPlays) {
  host_.SetSilentAudio(true);
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
      {"12-bit samples", Form("WAVE", {Chunk("fmt ", PcmFormat(2, 44100, 12)), Chunk("data", samples)})},
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

  // A data chunk claiming the device's largest buffer (and a RIFF size past
  // the end) loads the bytes the file holds.
  Bytes largest = Form("WAVE", {Chunk("fmt ", PcmFormat(1, 44100, 16)), Chunk("data", samples, DSBSIZE_MAX)});
  largest[4] = largest[5] = largest[6] = largest[7] = 0xFF;
  ASSERT_TRUE(Load(&getBuffer, largest));
  EXPECT_EQ(Contents(getBuffer), samples);
}

TEST_F(SoundSystem, DataClaimsBeyondTheLargestBufferAreRefusedByTheDevice) {
  StartDevice();
  Bytes samples = Ramp16(300);
  for (uint32_t claim : {uint32_t{DSBSIZE_MAX} + 1, 0xFFFFFFFFu}) {
    Bytes file = Form("WAVE", {Chunk("fmt ", PcmFormat(1, 44100, 16)), Chunk("data", samples, claim)});
    const int files = OpenFileCount();
    const int created = host_.CallCount("IDirectSound8.CreateSoundBuffer");
    IDirectSoundBuffer* slot = nullptr;
    EXPECT_FALSE(Load(&slot, file)) << claim;
    EXPECT_EQ(slot, nullptr);
    EXPECT_EQ(host_.CallCount("IDirectSound8.CreateSoundBuffer"), created + 1) << "the device is asked and refuses";
    EXPECT_EQ(OpenFileCount(), files);
  }
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

// The data of a "fmt " chunk of any tag; with `extensible` the 22 bytes of
// WAVEFORMATEXTENSIBLE follow (cbSize 22), the sub-format GUID's first
// field being `subTag`.
Bytes AnyFormat(int tag, int channels, uint32_t rate, int bits, bool extensible = false, int subTag = 1,
                uint32_t mask = 0) {
  Bytes b;
  const uint32_t align = static_cast<uint32_t>(channels * bits / 8);
  Put16(b, static_cast<uint32_t>(extensible ? 0xFFFE : tag));
  Put16(b, static_cast<uint32_t>(channels));
  Put32(b, rate);
  Put32(b, rate * align);
  Put16(b, align);
  Put16(b, static_cast<uint32_t>(bits));
  if (extensible) {
    Put16(b, 22);
    Put16(b, static_cast<uint32_t>(bits));
    Put32(b, mask);
    Put32(b, static_cast<uint32_t>(subTag));
    for (uint8_t x : {0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}) b.push_back(x);
  }
  return b;
}

void PutSample(Bytes& b, int bits, bool isFloat, int output) {
  // `output` is the 16-bit value the sample must come out as.
  if (isFloat) {
    const float f = static_cast<float>(output) / 32768.0f;
    uint32_t u;
    std::memcpy(&u, &f, sizeof u);
    Put32(b, u);
  } else if (bits == 24) {
    const uint32_t u = static_cast<uint32_t>(output * 256);
    b.push_back(static_cast<uint8_t>(u));
    b.push_back(static_cast<uint8_t>(u >> 8));
    b.push_back(static_cast<uint8_t>(u >> 16));
  } else if (bits == 32) {
    Put32(b, static_cast<uint32_t>(output * 65536));
  } else {
    Put16(b, static_cast<uint16_t>(output));
  }
}

TEST_F(SoundSystem, PlayersOwnFormatsPlaySampleBySample) {
  struct Case {
    const char* what;
    int tag;
    int channels;
    int bits;
    bool isFloat;
    bool extensible;
  };
  const Case cases[] = {
      {"PCM 24-bit mono", 1, 1, 24, false, false},     {"PCM 24-bit stereo", 1, 2, 24, false, false},
      {"PCM 32-bit stereo", 1, 2, 32, false, false},   {"float mono", 3, 1, 32, true, false},
      {"float stereo", 3, 2, 32, true, false},         {"extensible PCM 24-bit", 1, 2, 24, false, true},
      {"extensible PCM 16-bit", 1, 1, 16, false, true}, {"extensible float", 3, 2, 32, true, true},
  };
  constexpr int kFrames = 1500;
  // Left and right of frame i as the output must show them: both signs,
  // both ends of the range.
  auto left = [](int i) { return i == 0 ? -32768 : (i == 1 ? 32767 : (i * 37) % 65536 - 32768); };
  auto right = [](int i) { return -((i * 53) % 32000) + 7; };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes samples;
    for (int i = 0; i < kFrames; ++i) {
      PutSample(samples, c.bits, c.isFloat, left(i));
      if (c.channels == 2) PutSample(samples, c.bits, c.isFloat, right(i));
    }
    Bytes file = Form("WAVE", {Chunk("fmt ", AnyFormat(c.tag, c.channels, 44100, c.bits, c.extensible, c.tag,
                                                       c.channels == 2 ? 3 : 4)),
                               Chunk("data", samples)});
    StartDevice();
    ASSERT_TRUE(Load(&getBuffer, file));
    ASSERT_EQ(getBuffer->Play(0, 0, 0), DS_OK);
    host_.SleepMs(50);
    const auto& a = host_.Audio();
    ASSERT_GE(a.size(), size_t{2} * (kFrames + 10));
    int wrong = 0;
    for (int i = 0; i < kFrames; ++i) {
      const int l = left(i), r = c.channels == 2 ? right(i) : l;
      if (a[2 * size_t(i)] != l || a[2 * size_t(i) + 1] != r) {
        if (wrong++ < 3) ADD_FAILURE() << "frame " << i << ": " << a[2 * size_t(i)] << " " << a[2 * size_t(i) + 1];
      }
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(a[2 * size_t(kFrames)], 0) << "then silence";
    ReleaseSound();
  }
}

TEST_F(SoundSystem, MoreChannelsAreMixedDownByTheirSpeakers) {
  constexpr int kFrames = 1000;
  // Quad (front and back pairs, no mask): each side is the average of its
  // two speakers, exactly.
  {
    Bytes samples;
    for (int i = 0; i < kFrames; ++i) {
      for (int v : {2 * i, -2 * i, 2 * i + 1000, -2 * i - 3000}) Put16(samples, static_cast<uint16_t>(v));
    }
    StartDevice();
    ASSERT_TRUE(Load(&bgmBuffer, Form("WAVE", {Chunk("fmt ", PcmFormat(4, 44100, 16)), Chunk("data", samples)})));
    ASSERT_EQ(bgmBuffer->Play(0, 0, 0), DS_OK);
    host_.SleepMs(40);
    const auto& a = host_.Audio();
    for (int i = 0; i < kFrames; ++i) {
      ASSERT_EQ(a[2 * size_t(i)], 2 * i + 500) << i;
      ASSERT_EQ(a[2 * size_t(i) + 1], -2 * i - 1500) << i;
    }
    ReleaseSound();
  }
  // 5.1 and 7.1 (float, extensible with the mask): left speakers go left,
  // right ones right, the centre to both at -3 dB, the low-frequency
  // channel nowhere; scaled so that nothing can clip.
  for (int channels : {6, 8}) {
    SCOPED_TRACE(channels);
    const uint32_t mask = channels == 6 ? 0x3F : 0x63F;  // 7.1: plus the side pair
    Bytes samples;
    std::vector<std::array<float, 8>> frames(kFrames);
    for (int i = 0; i < kFrames; ++i) {
      for (int c = 0; c < channels; ++c) {
        frames[i][c] = static_cast<float>(((i * (c + 3) * 131) % 2001) - 1000) / 1000.0f;
        uint32_t u;
        std::memcpy(&u, &frames[i][c], sizeof u);
        Put32(samples, u);
      }
    }
    StartDevice();
    ASSERT_TRUE(Load(&bgmBuffer,
                     Form("WAVE", {Chunk("fmt ", AnyFormat(3, channels, 44100, 32, true, 3, mask)), Chunk("data", samples)})));
    ASSERT_EQ(bgmBuffer->Play(0, 0, 0), DS_OK);
    host_.SleepMs(40);
    const auto& a = host_.Audio();
    const double h = std::sqrt(0.5);
    const double scale = channels == 6 ? 2.0 + h : 3.0 + h;
    for (int i = 0; i < kFrames; ++i) {
      const auto& f = frames[i];
      double l = f[0] + h * f[2] + f[4], r = f[1] + h * f[2] + f[5];
      if (channels == 8) l += f[6], r += f[7];
      EXPECT_NEAR(a[2 * size_t(i)], l / scale * 32768.0, 1.0) << i;
      EXPECT_NEAR(a[2 * size_t(i) + 1], r / scale * 32768.0, 1.0) << i;
    }
    ReleaseSound();
  }
}

TEST_F(SoundSystem, FormatsTheDeviceCannotPlayAreRefusedNotMisread) {
  StartDevice();
  struct Case {
    const char* what;
    Bytes format;
  };
  Bytes shortExtensible = AnyFormat(1, 2, 44100, 16);
  shortExtensible[0] = 0xFE, shortExtensible[1] = 0xFF;
  Bytes claimsMore = shortExtensible;  // cbSize 22 claimed, the bytes absent
  Put16(claimsMore, 22);
  const Case cases[] = {
      {"ADPCM", AnyFormat(2, 1, 44100, 4)},
      {"12-bit PCM", AnyFormat(1, 1, 44100, 12)},
      {"64-bit float", AnyFormat(3, 1, 44100, 64)},
      {"nine channels", AnyFormat(1, 9, 44100, 16)},
      {"99 Hz", AnyFormat(1, 1, 99, 16)},
      {"200001 Hz", AnyFormat(1, 1, 200001, 16)},
      {"extensible without its part", shortExtensible},
      {"extensible claiming a part the file lacks", claimsMore},
      {"extensible ADPCM", AnyFormat(1, 2, 44100, 16, true, 2, 3)},
  };
  for (const Case& c : cases) {
    IDirectSoundBuffer* slot = nullptr;
    EXPECT_FALSE(Load(&slot, Form("WAVE", {Chunk("fmt ", c.format), Chunk("data", Bytes(64, 1))}))) << c.what;
    EXPECT_EQ(slot, nullptr) << c.what;
  }
  // The edges of the rate range play.
  for (uint32_t rate : {100u, 200000u}) {
    IDirectSoundBuffer* slot = nullptr;
    EXPECT_TRUE(Load(&slot, Form("WAVE", {Chunk("fmt ", AnyFormat(1, 1, rate, 16)), Chunk("data", Bytes(64, 1))})));
    if (slot != nullptr) slot->Release();
  }
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

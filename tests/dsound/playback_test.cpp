// Playback rules measured on the mixed output the headless host captures:
// once and looping, Play on a playing buffer, Stop and resume, overlap and
// saturation, playing on while the program sleeps.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/dsound/dsound_fixture.h"

namespace {

using namespace dsoundtest;

class Playback : public DeviceTest {};

TEST_F(Playback, OutputIsTheOpenedFormatAndSilentWhenNothingPlays) {
  EXPECT_EQ(host_.OpenedAudioFormat().rate, 44100);
  EXPECT_EQ(host_.OpenedAudioFormat().channels, 2);
  host_.AdvanceTo(100);
  ASSERT_EQ(CapturedFrames(), FrameAt(100));
  EXPECT_TRUE(std::all_of(host_.Audio().begin(), host_.Audio().end(), [](int16_t s) { return s == 0; }));
}

TEST_F(Playback, OncePlaysToItsEndThenStopsAndTheNextPlayStartsOver) {
  IDirectSoundBuffer* b = Make16(1, 44100, Ramp(1000));
  ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
  host_.AdvanceTo(50);  // 2205 frames: the 1000 samples, then silence
  auto left = Channel(0, CapturedFrames(), 0);
  auto right = Channel(0, CapturedFrames(), 1);
  EXPECT_EQ(left, right);  // mono goes to both sides
  for (size_t i = 0; i < 1000; ++i) ASSERT_EQ(left[i], static_cast<int16_t>(i + 1)) << i;
  for (size_t i = 1000; i < left.size(); ++i) ASSERT_EQ(left[i], 0) << i;
  DWORD status = 1;
  b->GetStatus(&status);
  EXPECT_EQ(status, 0u);

  ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
  host_.AdvanceTo(100);
  auto again = Channel(FrameAt(50), FrameAt(100), 0);
  EXPECT_EQ(again[0], 1);
  EXPECT_EQ(again[999], 1000);
  EXPECT_EQ(again[1000], 0);
}

TEST_F(Playback, LoopingWrapsWithoutAGap) {
  IDirectSoundBuffer* b = Make16(2, 44100, Ramp(2 * 300));  // 300 frames, L odd R even
  ASSERT_EQ(b->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
  host_.AdvanceTo(100);
  auto left = Channel(0, CapturedFrames(), 0);
  auto right = Channel(0, CapturedFrames(), 1);
  ASSERT_EQ(left.size(), FrameAt(100));
  for (size_t i = 0; i < left.size(); ++i) {
    ASSERT_EQ(left[i], static_cast<int16_t>(2 * (i % 300) + 1)) << i;
    ASSERT_EQ(right[i], static_cast<int16_t>(2 * (i % 300) + 2)) << i;
  }
}

TEST_F(Playback, SixteenBitSamplesOfEverySignPlayBackExactly) {
  // Mono and stereo at the output rate, odd lengths, the extremes included.
  uint32_t seed = 99;
  auto random = [&](size_t n) {
    std::vector<int16_t> s(n);
    for (auto& v : s) {
      seed = seed * 1664525u + 1013904223u;
      v = static_cast<int16_t>(seed >> 16);
    }
    s[0] = -32768;
    s[1] = 32767;
    s[2] = -1;
    return s;
  };
  const auto mono = random(1001);
  IDirectSoundBuffer* m = Make16(1, 44100, mono);
  ASSERT_EQ(m->Play(0, 0, 0), DS_OK);
  host_.AdvanceTo(50);
  const auto left = Channel(0, CapturedFrames(), 0);
  ASSERT_GE(left.size(), mono.size());
  for (size_t i = 0; i < mono.size(); ++i) ASSERT_EQ(left[i], mono[i]) << i;

  const auto stereo = random(2 * 503);
  IDirectSoundBuffer* st = Make16(2, 44100, stereo);
  const size_t start = CapturedFrames();
  ASSERT_EQ(st->Play(0, 0, 0), DS_OK);
  host_.AdvanceTo(100);
  const auto l = Channel(start, CapturedFrames(), 0), r = Channel(start, CapturedFrames(), 1);
  ASSERT_GE(l.size(), 503u);
  for (size_t i = 0; i < 503; ++i) {
    ASSERT_EQ(l[i], stereo[2 * i]) << i;
    ASSERT_EQ(r[i], stereo[2 * i + 1]) << i;
  }
}

TEST_F(Playback, PlayOnAPlayingBufferDoesNotRestartIt) {
  IDirectSoundBuffer* b = Make16(1, 44100, Ramp(3000));
  ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
  host_.AdvanceTo(20);  // 882 frames in
  ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
  host_.AdvanceTo(100);
  auto left = Channel(0, CapturedFrames(), 0);
  for (size_t i = 0; i < 3000; ++i) ASSERT_EQ(left[i], static_cast<int16_t>(i + 1)) << i;
  EXPECT_EQ(left[3000], 0);
}

TEST_F(Playback, PlayWithANewLoopingFlagKeepsThePositionButChangesTheEnd) {
  IDirectSoundBuffer* b = Make16(1, 44100, Ramp(1000));
  ASSERT_EQ(b->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
  host_.AdvanceTo(30);  // 1323 frames: one wrap, 323 into the second pass
  ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
  host_.AdvanceTo(80);
  auto left = Channel(0, CapturedFrames(), 0);
  for (size_t i = 0; i < 2000; ++i) ASSERT_EQ(left[i], static_cast<int16_t>(i % 1000 + 1)) << i;
  for (size_t i = 2000; i < left.size(); ++i) ASSERT_EQ(left[i], 0) << i;
}

TEST_F(Playback, StopKeepsThePositionAndPlayResumesThere) {
  // Game music stopped for a jingle goes on where it stopped.
  IDirectSoundBuffer* music = Make16(1, 44100, Ramp(20000));
  ASSERT_EQ(music->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
  host_.AdvanceTo(100);
  ASSERT_EQ(music->Stop(), DS_OK);
  DWORD play = 0;
  music->GetCurrentPosition(&play, nullptr);
  EXPECT_EQ(play, FrameAt(100) * 2);
  host_.AdvanceTo(300);
  ASSERT_EQ(music->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
  host_.AdvanceTo(400);

  auto before = Channel(0, FrameAt(100), 0);
  auto paused = Channel(FrameAt(100), FrameAt(300), 0);
  auto after = Channel(FrameAt(300), FrameAt(400), 0);
  EXPECT_EQ(before.back(), static_cast<int16_t>(FrameAt(100)));
  EXPECT_TRUE(std::all_of(paused.begin(), paused.end(), [](int16_t s) { return s == 0; }));
  EXPECT_EQ(after.front(), static_cast<int16_t>(FrameAt(100) + 1));
  EXPECT_EQ(after.back(), static_cast<int16_t>(FrameAt(100) + after.size()));
}

TEST_F(Playback, BuffersSoundTogetherAndTheSumSaturates) {
  const size_t n = FrameAt(50);
  IDirectSoundBuffer* a = Make16(1, 44100, std::vector<int16_t>(n, 1000));
  IDirectSoundBuffer* b = Make16(1, 44100, std::vector<int16_t>(n, 2500));
  IDirectSoundBuffer* loud = Make16(1, 44100, std::vector<int16_t>(n, 30000));
  IDirectSoundBuffer* low = Make16(1, 44100, std::vector<int16_t>(n, -30000));
  IDirectSoundBuffer* low2 = Make16(1, 44100, std::vector<int16_t>(n, -30000));
  ASSERT_EQ(a->Play(0, 0, 0), DS_OK);
  ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
  host_.AdvanceTo(100);
  ASSERT_EQ(CapturedFrames(), FrameAt(100));
  EXPECT_EQ(Channel(0, 1, 0)[0], 3500);
  EXPECT_EQ(Channel(n - 1, n, 1)[0], 3500);
  EXPECT_EQ(Channel(n, n + 1, 0)[0], 0);

  // 1000 + 2500 + 30000 saturates instead of wrapping to a negative value.
  ASSERT_EQ(loud->Play(0, 0, 0), DS_OK);
  ASSERT_EQ(a->Play(0, 0, 0), DS_OK);
  ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
  host_.AdvanceTo(200);
  EXPECT_EQ(Channel(FrameAt(100), FrameAt(100) + 1, 0)[0], 32767);

  ASSERT_EQ(low->Play(0, 0, 0), DS_OK);
  ASSERT_EQ(low2->Play(0, 0, 0), DS_OK);
  host_.AdvanceTo(300);
  EXPECT_EQ(Channel(FrameAt(200), FrameAt(200) + 1, 0)[0], -32768);
}

TEST_F(Playback, EightBitSilenceIsTheMidpoint) {
  IDirectSoundBuffer* b = Make8(1, 44100, std::vector<uint8_t>(441, 128));
  IDirectSoundBuffer* c = Make8(2, 44100, std::vector<uint8_t>{255, 0, 192, 64});
  ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
  host_.AdvanceTo(10);
  auto out = Channel(0, 441, 0);
  EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](int16_t s) { return s == 0; }));
  ASSERT_EQ(c->Play(0, 0, 0), DS_OK);
  host_.AdvanceTo(20);
  const size_t at = FrameAt(10);
  EXPECT_EQ(Channel(at, at + 1, 0)[0], 127 * 256);
  EXPECT_EQ(Channel(at, at + 1, 1)[0], -128 * 256);
  EXPECT_EQ(Channel(at + 1, at + 2, 0)[0], 64 * 256);
  EXPECT_EQ(Channel(at + 1, at + 2, 1)[0], -64 * 256);
}

TEST_F(Playback, RewritingAPlayingBufferTakesEffectAtUnlock) {
  IDirectSoundBuffer* b = Make16(1, 44100, std::vector<int16_t>(441, 100));
  ASSERT_EQ(b->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
  host_.AdvanceTo(10);
  void* p1 = nullptr;
  void* p2 = nullptr;
  DWORD n1 = 0;
  DWORD n2 = 0;
  ASSERT_EQ(b->Lock(0, 0, &p1, &n1, &p2, &n2, DSBLOCK_ENTIREBUFFER), DS_OK);
  std::fill_n(static_cast<int16_t*>(p1), n1 / 2, static_cast<int16_t>(-7));
  ASSERT_EQ(b->Unlock(p1, n1, p2, n2), DS_OK);
  host_.AdvanceTo(20);
  EXPECT_EQ(Channel(FrameAt(10), FrameAt(10) + 1, 0)[0], -7);
}

TEST_F(Playback, VolumePanAndFrequencyControls) {
  WAVEFORMATEX f = Pcm(1, 44100, 16);
  DSBUFFERDESC d = Static(882 * 2, &f);
  d.dwFlags |= DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLPAN | DSBCAPS_CTRLFREQUENCY;
  IDirectSoundBuffer* b = nullptr;
  ASSERT_EQ(device_->CreateSoundBuffer(&d, &b, nullptr), DS_OK);
  buffers_.push_back(b);
  void* p1 = nullptr;
  DWORD n1 = 0;
  ASSERT_EQ(b->Lock(0, 0, &p1, &n1, nullptr, nullptr, DSBLOCK_ENTIREBUFFER), DS_OK);
  std::fill_n(static_cast<int16_t*>(p1), n1 / 2, static_cast<int16_t>(10000));
  b->Unlock(p1, n1, nullptr, 0);

  EXPECT_EQ(b->SetVolume(1), DSERR_INVALIDPARAM);
  EXPECT_EQ(b->SetPan(10001), DSERR_INVALIDPARAM);
  EXPECT_EQ(b->SetFrequency(50), DSERR_INVALIDPARAM);
  ASSERT_EQ(b->SetVolume(-600), DS_OK);   // about half
  ASSERT_EQ(b->SetPan(DSBPAN_RIGHT), DS_OK);  // left silenced
  ASSERT_EQ(b->SetFrequency(22050), DS_OK);   // twice as long
  DWORD freq = 0;
  b->GetFrequency(&freq);
  EXPECT_EQ(freq, 22050u);
  ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
  host_.AdvanceTo(100);
  const int16_t r = Channel(500, 501, 1)[0];
  EXPECT_NEAR(r, 10000 * 0.501, 30);
  EXPECT_NEAR(Channel(500, 501, 0)[0], 0, 2);
  // 882 source frames at half speed last 1764 output frames.
  EXPECT_NE(Channel(1700, 1701, 1)[0], 0);
  EXPECT_EQ(Channel(1800, 1801, 1)[0], 0);
  ASSERT_EQ(b->SetFrequency(DSBFREQUENCY_ORIGINAL), DS_OK);
  b->GetFrequency(&freq);
  EXPECT_EQ(freq, 44100u);
}

TEST_F(Playback, SoundGoesOnWhileTheProgramSleeps) {
  IDirectSoundBuffer* jingle = Make16(1, 44100, std::vector<int16_t>(44100, 500));
  ASSERT_EQ(jingle->Play(0, 0, 0), DS_OK);
  host_.SleepMs(5000);
  EXPECT_EQ(CapturedFrames(), FrameAt(5000));
  auto out = Channel(0, CapturedFrames(), 0);
  EXPECT_EQ(std::count(out.begin(), out.end(), 500), 44100);
  DWORD status = 1;
  jingle->GetStatus(&status);
  EXPECT_EQ(status, 0u);
}

}  // namespace

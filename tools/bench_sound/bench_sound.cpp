// bench_sound — what the mixer costs per second of output.
//
// BM_Mix/five_cues: the five cue buffers of the game, each in a different
// source format (so four of them go through the resampler), all playing
// looping; one iteration mixes one second (44100 frames) as the headless
// host pulls it. Budget: under 2 ms per second of audio.
#include <dsound.h>

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "host/headless/headless_host.h"

namespace {

struct Cue {
  WORD channels;
  DWORD rate;
  WORD bits;
  double seconds;
};

// Game music, pickup, cleared, missed, title: a spread of the formats a
// cue file may have.
constexpr Cue kCues[] = {
    {2, 44100, 16, 4.0},  // game music
    {1, 22050, 8, 0.3},   // pickup
    {1, 11025, 16, 2.0},  // cleared jingle
    {2, 48000, 16, 2.0},  // missed jingle
    {2, 32000, 8, 4.0},   // title music
};

IDirectSoundBuffer* MakeCue(IDirectSound8* ds, const Cue& c, double hz) {
  WAVEFORMATEX f{};
  f.wFormatTag = WAVE_FORMAT_PCM;
  f.nChannels = c.channels;
  f.nSamplesPerSec = c.rate;
  f.wBitsPerSample = c.bits;
  f.nBlockAlign = static_cast<WORD>(c.channels * c.bits / 8);
  f.nAvgBytesPerSec = c.rate * f.nBlockAlign;
  const DWORD frames = static_cast<DWORD>(c.seconds * c.rate);
  DSBUFFERDESC d{};
  d.dwSize = sizeof d;
  d.dwFlags = DSBCAPS_STATIC | DSBCAPS_GETCURRENTPOSITION2 | DSBCAPS_LOCDEFER;
  d.dwBufferBytes = frames * f.nBlockAlign;
  d.lpwfxFormat = &f;
  IDirectSoundBuffer* b = nullptr;
  if (FAILED(ds->CreateSoundBuffer(&d, &b, nullptr))) return nullptr;
  void* p = nullptr;
  DWORD n = 0;
  b->Lock(0, d.dwBufferBytes, &p, &n, nullptr, nullptr, 0);
  auto* bytes = static_cast<uint8_t*>(p);
  for (DWORD i = 0; i < frames; ++i) {
    const double x = 0.2 * std::sin(2 * 3.14159265358979323846 * hz * i / c.rate);
    for (WORD ch = 0; ch < c.channels; ++ch) {
      const size_t at = (static_cast<size_t>(i) * c.channels + ch) * (c.bits / 8);
      if (c.bits == 8) {
        bytes[at] = static_cast<uint8_t>(std::lround(128 + 127 * x));
      } else {
        const auto v = static_cast<uint16_t>(static_cast<int16_t>(std::lround(32767 * x)));
        bytes[at] = static_cast<uint8_t>(v);
        bytes[at + 1] = static_cast<uint8_t>(v >> 8);
      }
    }
  }
  b->Unlock(p, n, nullptr, 0);
  return b;
}

void BM_MixFiveCues(benchmark::State& state) {
  host::HeadlessHost h;
  h.KeepAudio(false);
  host::SetCurrent(&h);
  IDirectSound8* ds = nullptr;
  if (FAILED(DirectSoundCreate8(nullptr, &ds, nullptr))) {
    state.SkipWithError("no sound device");
    return;
  }
  ds->SetCooperativeLevel(reinterpret_cast<HWND>(1), DSSCL_EXCLUSIVE);
  std::vector<IDirectSoundBuffer*> cues;
  double hz = 220;
  for (const Cue& c : kCues) {
    if (IDirectSoundBuffer* b = MakeCue(ds, c, hz)) {
      b->Play(0, 0, DSBPLAY_LOOPING);
      cues.push_back(b);
    }
    hz *= 1.5;
  }
  uint64_t now = 0;
  for (auto _ : state) {
    now += 1000;
    h.AdvanceTo(now);  // pulls 44100 frames from the mixer
  }
  state.counters["frames_per_iteration"] = 44100;
  for (IDirectSoundBuffer* b : cues) b->Release();
  ds->Release();
  host::SetCurrent(nullptr);
}

}  // namespace

BENCHMARK(BM_MixFiveCues)->Name("BM_Mix/five_cues")->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();

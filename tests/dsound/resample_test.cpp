// Conversion quality: buffers at other rates come out at 44100 Hz (or the
// rate the host asks for) with the right pitch, length and level, without
// images or aliases.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

#include "tests/dsound/dsound_fixture.h"

namespace {

using namespace dsoundtest;

struct Fit {
  double amplitude = 0;  // of the fitted sine at the expected frequency
  double residual = 0;   // rms of what the sine does not explain
};

// Least-squares fit of a sine of `hz` (plus offset) to the samples.
Fit FitSine(const std::vector<int16_t>& y, double hz, double rate) {
  const double w = 2.0 * 3.14159265358979323846 * hz / rate;
  double ss = 0, sc = 0, cc = 0, s1 = 0, c1 = 0, ys = 0, yc = 0, y1 = 0;
  const double n = static_cast<double>(y.size());
  for (size_t i = 0; i < y.size(); ++i) {
    const double s = std::sin(w * i), c = std::cos(w * i), v = y[i] / 32768.0;
    ss += s * s; sc += s * c; cc += c * c; s1 += s; c1 += c;
    ys += v * s; yc += v * c; y1 += v;
  }
  // Solve the 3x3 normal equations by Cramer's rule.
  const double m[3][3] = {{ss, sc, s1}, {sc, cc, c1}, {s1, c1, n}};
  const double r[3] = {ys, yc, y1};
  auto det = [](const double a[3][3]) {
    return a[0][0] * (a[1][1] * a[2][2] - a[1][2] * a[2][1]) - a[0][1] * (a[1][0] * a[2][2] - a[1][2] * a[2][0]) +
           a[0][2] * (a[1][0] * a[2][1] - a[1][1] * a[2][0]);
  };
  double coef[3];
  const double d = det(m);
  for (int k = 0; k < 3; ++k) {
    double t[3][3];
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j) t[i][j] = j == k ? r[i] : m[i][j];
    coef[k] = det(t) / d;
  }
  double err = 0;
  for (size_t i = 0; i < y.size(); ++i) {
    const double e = y[i] / 32768.0 - (coef[0] * std::sin(w * i) + coef[1] * std::cos(w * i) + coef[2]);
    err += e * e;
  }
  return {std::hypot(coef[0], coef[1]), std::sqrt(err / n)};
}

std::vector<int16_t> SineSamples(DWORD rate, int channels, double hz, size_t frames, double amplitude) {
  std::vector<int16_t> s;
  for (size_t i = 0; i < frames; ++i)
    for (int c = 0; c < channels; ++c)
      s.push_back(static_cast<int16_t>(std::lround(32767.0 * amplitude * std::sin(2 * 3.14159265358979323846 * hz * i / rate))));
  return s;
}

class Resample : public DeviceTest {};

TEST_F(Resample, UpsampledToneKeepsPitchLevelAndHasNoImages) {
  // 8 kHz at 22050 Hz: a linear interpolator leaves a strong image at
  // 14050 Hz; the band-limited one must keep it 50 dB down.
  IDirectSoundBuffer* b = Make16(1, 22050, SineSamples(22050, 1, 8000, 22050, 0.5));
  ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
  host_.AdvanceTo(1100);
  auto out = Channel(2000, 42000, 0);
  Fit fit = FitSine(out, 8000, 44100);
  EXPECT_NEAR(fit.amplitude, 0.5, 0.01);
  EXPECT_LT(fit.residual / (fit.amplitude / std::sqrt(2.0)), std::pow(10.0, -50 / 20.0));
  // One second of source is one second of output.
  EXPECT_NE(Channel(44050, 44051, 0)[0], 0);
  auto tail = Channel(44200, 48000, 0);
  EXPECT_TRUE(std::all_of(tail.begin(), tail.end(), [](int16_t s) { return s == 0; }));
}

TEST_F(Resample, OddRatiosStayClean) {
  // 48 kHz stereo and 11025 Hz mono at once, different tones.
  IDirectSoundBuffer* a = Make16(2, 48000, SineSamples(48000, 2, 1000, 48000, 0.3));
  std::vector<uint8_t> eight;
  for (size_t i = 0; i < 11025; ++i)
    eight.push_back(static_cast<uint8_t>(std::lround(128 + 100 * std::sin(2 * 3.14159265358979323846 * 441.0 * i / 11025))));
  IDirectSoundBuffer* b = Make8(1, 11025, eight);
  ASSERT_EQ(a->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
  host_.AdvanceTo(500);
  Fit fa = FitSine(Channel(1000, 20000, 1), 1000, 44100);
  EXPECT_NEAR(fa.amplitude, 0.3, 0.005);
  EXPECT_LT(fa.residual, 0.3 * 0.002);
  ASSERT_EQ(a->Stop(), DS_OK);
  ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
  host_.AdvanceTo(1000);
  Fit fb = FitSine(Channel(FrameAt(500) + 1000, FrameAt(500) + 20000, 0), 441, 44100);
  EXPECT_NEAR(fb.amplitude, 100.0 / 128.0, 0.01);
  // 8-bit quantisation (about -50 dB) bounds this one.
  EXPECT_LT(fb.residual, 0.01);
}

TEST_F(Resample, DownsamplingRemovesWhatTheOutputCannotHold) {
  // 30 kHz cannot exist at 44100 Hz; folding it back would give 14.1 kHz.
  IDirectSoundBuffer* hi = Make16(1, 96000, SineSamples(96000, 1, 30000, 48000, 0.8));
  ASSERT_EQ(hi->Play(0, 0, 0), DS_OK);
  host_.AdvanceTo(400);
  auto out = Channel(1000, 16000, 0);
  double sum = 0;
  for (int16_t s : out) sum += (s / 32768.0) * (s / 32768.0);
  EXPECT_LT(std::sqrt(sum / out.size()), 0.8 / std::sqrt(2.0) * 0.003);

  // A tone inside the band passes at its level.
  ASSERT_EQ(hi->Stop(), DS_OK);
  IDirectSoundBuffer* lo = Make16(1, 96000, SineSamples(96000, 1, 5000, 48000, 0.8));
  ASSERT_EQ(lo->Play(0, 0, 0), DS_OK);
  host_.AdvanceTo(800);
  Fit f = FitSine(Channel(FrameAt(400) + 1000, FrameAt(400) + 16000, 0), 5000, 44100);
  EXPECT_NEAR(f.amplitude, 0.8, 0.01);
}

}  // namespace

// A host that asks the mixer for another output rate (the browser does, to
// mix its 22050 Hz cues without converting them).
class RatedHost : public host::HeadlessHost {
 public:
  explicit RatedHost(int rate) : rate_(rate) {}
  int PreferredAudioRate() override { return rate_; }

 private:
  int rate_;
};

class HostRate : public ::testing::Test {
 protected:
  // Opens a device on a host asking for `rate`, with a 22050 Hz ramp and a
  // 44100 Hz tone above 11025 Hz playing from time 0, and runs 1.2 s.
  void Run(int rate) {
    host_ = std::make_unique<RatedHost>(rate);
    host::SetCurrent(host_.get());
    ASSERT_EQ(DirectSoundCreate8(nullptr, &device_, nullptr), DS_OK);
    ASSERT_EQ(device_->SetCooperativeLevel(reinterpret_cast<HWND>(1), DSSCL_EXCLUSIVE), DS_OK);
    std::vector<int16_t> ramp = Ramp(22050);
    std::vector<int16_t> stereoRamp;
    for (int16_t s : ramp) stereoRamp.insert(stereoRamp.end(), {s, 0});
    ramp_ = Make(2, 22050, stereoRamp);
    std::vector<int16_t> tone = SineSamples(44100, 2, 15000, 44100, 0.8);
    for (size_t i = 0; i < tone.size(); i += 2) tone[i] = 0;  // the tone on the right only
    tone_ = Make(2, 44100, tone);
    ASSERT_EQ(ramp_->Play(0, 0, 0), DS_OK);
    ASSERT_EQ(tone_->Play(0, 0, 0), DS_OK);
    host_->AdvanceTo(1200);
  }
  void TearDown() override {
    if (ramp_) ramp_->Release();
    if (tone_) tone_->Release();
    if (device_) device_->Release();
    host::SetCurrent(nullptr);
  }
  IDirectSoundBuffer* Make(WORD channels, DWORD rate, const std::vector<int16_t>& samples) {
    WAVEFORMATEX f = Pcm(channels, rate, 16);
    DSBUFFERDESC d = Static(static_cast<DWORD>(samples.size() * 2), &f);
    IDirectSoundBuffer* b = nullptr;
    EXPECT_EQ(device_->CreateSoundBuffer(&d, &b, nullptr), DS_OK);
    if (b == nullptr) return nullptr;
    void* p = nullptr;
    DWORD n = 0;
    EXPECT_EQ(b->Lock(0, d.dwBufferBytes, &p, &n, nullptr, nullptr, 0), DS_OK);
    std::memcpy(p, samples.data(), n);
    EXPECT_EQ(b->Unlock(p, n, nullptr, 0), DS_OK);
    return b;
  }
  std::vector<int16_t> Channel(size_t from, size_t to, int channel) const {
    std::vector<int16_t> out;
    const auto& a = host_->Audio();
    for (size_t i = from; i < to && 2 * i + channel < a.size(); ++i) out.push_back(a[2 * i + channel]);
    return out;
  }

  std::unique_ptr<RatedHost> host_;
  IDirectSound8* device_ = nullptr;
  IDirectSoundBuffer* ramp_ = nullptr;
  IDirectSoundBuffer* tone_ = nullptr;
};

TEST_F(HostRate, AtTheSourcesRateSamplesPassUnchangedAndTimeKeeps) {
  Run(22050);
  ASSERT_EQ(host_->OpenedAudioFormat().rate, 22050);
  // 1.2 s of output at 22050 frames a second.
  EXPECT_NEAR(static_cast<double>(host_->Audio().size() / 2), 1.2 * 22050, 2.0);
  // The ramp comes out sample for sample: no filter touched it.
  auto left = Channel(0, 22050, 0);
  ASSERT_EQ(left.size(), 22050u);
  for (size_t i = 0; i < left.size(); ++i) ASSERT_EQ(left[i], static_cast<int16_t>(i + 1)) << "frame " << i;
  // Played once, it has ended after one second, and its position rewound.
  auto after = Channel(22060, 26000, 0);
  EXPECT_TRUE(std::all_of(after.begin(), after.end(), [](int16_t s) { return s == 0; }));
  DWORD play = 1;
  ASSERT_EQ(ramp_->GetCurrentPosition(&play, nullptr), DS_OK);
  EXPECT_EQ(play, 0u);
  // 15 kHz cannot exist at 22050 Hz: the 44100 Hz buffer is band-limited
  // instead of folding back to 7050 Hz.
  auto right = Channel(1000, 20000, 1);
  double sum = 0;
  for (int16_t s : right) sum += (s / 32768.0) * (s / 32768.0);
  EXPECT_LT(std::sqrt(sum / right.size()), 0.8 / std::sqrt(2.0) * 0.003);
  // The primary buffer's size follows the rate (a tenth of a second).
  DSBUFFERDESC d{};
  d.dwSize = sizeof d;
  d.dwFlags = DSBCAPS_PRIMARYBUFFER;
  IDirectSoundBuffer* primary = nullptr;
  ASSERT_EQ(device_->CreateSoundBuffer(&d, &primary, nullptr), DS_OK);
  DSBCAPS caps{};
  caps.dwSize = sizeof caps;
  ASSERT_EQ(primary->GetCaps(&caps), DS_OK);
  EXPECT_EQ(caps.dwBufferBytes, 2205u * 4);
  primary->Release();
}

TEST_F(HostRate, NoPreferenceOrAnUnusableOneMixesAt44100) {
  for (int rate : {0, -1, 1000, 400000}) {
    SCOPED_TRACE(rate);
    Run(rate);
    ASSERT_EQ(host_->OpenedAudioFormat().rate, 44100);
    // The ramp is upsampled: each source frame lasts two output frames.
    EXPECT_NEAR(static_cast<double>(host_->Audio().size() / 2), 1.2 * 44100, 2.0);
    auto left = Channel(20000, 20001, 0);
    EXPECT_NEAR(left[0], 10001, 2);
    TearDown();
    ramp_ = tone_ = nullptr;
    device_ = nullptr;
  }
}

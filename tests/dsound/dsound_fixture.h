// dsound_fixture.h — a sound device on the headless host, and buffers filled
// with known samples, for the device and playback tests.
#pragma once

#include <dsound.h>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "host/headless/headless_host.h"

namespace dsoundtest {

inline WAVEFORMATEX Pcm(WORD channels, DWORD rate, WORD bits) {
  WAVEFORMATEX f{};
  f.wFormatTag = WAVE_FORMAT_PCM;
  f.nChannels = channels;
  f.nSamplesPerSec = rate;
  f.wBitsPerSample = bits;
  f.nBlockAlign = static_cast<WORD>(channels * bits / 8);
  f.nAvgBytesPerSec = rate * f.nBlockAlign;
  return f;
}

inline DSBUFFERDESC Static(DWORD bytes, WAVEFORMATEX* format) {
  DSBUFFERDESC d{};
  d.dwSize = sizeof d;
  d.dwFlags = DSBCAPS_STATIC | DSBCAPS_GETCURRENTPOSITION2 | DSBCAPS_LOCDEFER;
  d.dwBufferBytes = bytes;
  d.lpwfxFormat = format;
  return d;
}

class DeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host::SetCurrent(&host_);
    Configure(host_);
    ASSERT_EQ(DirectSoundCreate8(nullptr, &device_, nullptr), DS_OK);
    ASSERT_EQ(device_->SetCooperativeLevel(reinterpret_cast<HWND>(1), DSSCL_EXCLUSIVE), DS_OK);
  }
  void TearDown() override {
    for (IDirectSoundBuffer* b : buffers_) b->Release();
    if (device_ != nullptr) device_->Release();
    host::SetCurrent(nullptr);
  }
  virtual void Configure(host::HeadlessHost&) {}
  // Makes the next call of the named operation fail.
  void FailNext(const char* call) { host_.FailAt(call, host_.CallCount(call) + 1); }

  // A static buffer holding `samples` (16-bit) or `bytes8` (8-bit).
  IDirectSoundBuffer* Make16(WORD channels, DWORD rate, const std::vector<int16_t>& samples) {
    WAVEFORMATEX f = Pcm(channels, rate, 16);
    return MakeRaw(f, reinterpret_cast<const uint8_t*>(samples.data()), samples.size() * 2);
  }
  IDirectSoundBuffer* Make8(WORD channels, DWORD rate, const std::vector<uint8_t>& samples) {
    WAVEFORMATEX f = Pcm(channels, rate, 8);
    return MakeRaw(f, samples.data(), samples.size());
  }
  IDirectSoundBuffer* MakeRaw(WAVEFORMATEX f, const uint8_t* bytes, size_t size) {
    DSBUFFERDESC d = Static(static_cast<DWORD>(size), &f);
    IDirectSoundBuffer* b = nullptr;
    EXPECT_EQ(device_->CreateSoundBuffer(&d, &b, nullptr), DS_OK);
    if (b == nullptr) return nullptr;
    void* p1 = nullptr;
    void* p2 = nullptr;
    DWORD n1 = 0;
    DWORD n2 = 0;
    EXPECT_EQ(b->Lock(0, static_cast<DWORD>(size), &p1, &n1, &p2, &n2, 0), DS_OK);
    std::memcpy(p1, bytes, n1);
    EXPECT_EQ(b->Unlock(p1, n1, p2, n2), DS_OK);
    buffers_.push_back(b);
    return b;
  }

  // Captured output frames [from, to) of one channel, by output frame index.
  std::vector<int16_t> Channel(size_t from, size_t to, int channel) const {
    std::vector<int16_t> out;
    const auto& a = host_.Audio();
    for (size_t i = from; i < to && 2 * i + channel < a.size(); ++i) out.push_back(a[2 * i + channel]);
    return out;
  }
  size_t CapturedFrames() const { return host_.Audio().size() / 2; }

  host::HeadlessHost host_;
  IDirectSound8* device_ = nullptr;
  std::vector<IDirectSoundBuffer*> buffers_;
};

// Frame index of output time `ms` (the device opened at time 0).
inline size_t FrameAt(uint64_t ms) { return static_cast<size_t>(ms * 44100 / 1000); }

// Samples 1, 2, 3, ... so that the output tells the play position.
inline std::vector<int16_t> Ramp(size_t n, int16_t first = 1) {
  std::vector<int16_t> s(n);
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<int16_t>(first + static_cast<int>(i));
  return s;
}

}  // namespace dsoundtest

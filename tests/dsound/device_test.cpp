// The sound device's objects and result codes: creation, cooperative level,
// the primary buffer, secondary buffer creation rules, locking, status and
// positions, reference counting and injected faults.
#include <mmreg.h>

#include <gtest/gtest.h>

#include "tests/dsound/dsound_fixture.h"

namespace {

using namespace dsoundtest;

TEST(DirectSoundCreate, ArgumentsAndFaults) {
  host::HeadlessHost h;
  host::SetCurrent(&h);
  IDirectSound8* ds = reinterpret_cast<IDirectSound8*>(0x1);
  EXPECT_EQ(DirectSoundCreate8(nullptr, nullptr, nullptr), DSERR_INVALIDPARAM);
  EXPECT_EQ(DirectSoundCreate8(nullptr, &ds, reinterpret_cast<LPUNKNOWN>(&h)), DSERR_NOAGGREGATION);
  EXPECT_EQ(ds, nullptr);
  GUID other = IID_IDirectSound8;
  EXPECT_EQ(DirectSoundCreate8(&other, &ds, nullptr), DSERR_NODRIVER);
  h.FailAt("DirectSoundCreate8", h.CallCount("DirectSoundCreate8") + 1);
  EXPECT_EQ(DirectSoundCreate8(nullptr, &ds, nullptr), DSERR_NODRIVER);
  EXPECT_EQ(ds, nullptr);
  ASSERT_EQ(DirectSoundCreate8(&DSDEVID_DefaultPlayback, &ds, nullptr), DS_OK);
  ASSERT_NE(ds, nullptr);

  // COM identity and counting.
  IDirectSound* base = nullptr;
  ASSERT_EQ(ds->QueryInterface(IID_IDirectSound, reinterpret_cast<void**>(&base)), S_OK);
  EXPECT_EQ(static_cast<IDirectSound*>(ds), base);
  void* none = &h;
  EXPECT_EQ(ds->QueryInterface(IID_IDirectSoundBuffer, &none), E_NOINTERFACE);
  EXPECT_EQ(none, nullptr);
  EXPECT_EQ(base->Release(), 1u);
  EXPECT_EQ(ds->AddRef(), 2u);
  EXPECT_EQ(ds->Release(), 1u);
  EXPECT_EQ(ds->Release(), 0u);
  host::SetCurrent(nullptr);
}

TEST(DirectSoundCreate, WithoutAudioOutputThereIsNoDevice) {
  host::HeadlessHost h;
  host::SetCurrent(&h);
  IDirectSound8* ds = reinterpret_cast<IDirectSound8*>(&h);
  h.SetAudioAvailable(false);
  EXPECT_EQ(DirectSoundCreate8(nullptr, &ds, nullptr), DSERR_NODRIVER);
  EXPECT_EQ(ds, nullptr);
  h.SetAudioAvailable(true);
  h.FailAt("host.OpenAudio", h.CallCount("host.OpenAudio") + 1);
  EXPECT_EQ(DirectSoundCreate8(nullptr, &ds, nullptr), DSERR_NODRIVER);
  EXPECT_EQ(ds, nullptr);
  // The output is free again for the next device.
  ASSERT_EQ(DirectSoundCreate8(nullptr, &ds, nullptr), DS_OK);
  ds->Release();
  host::SetCurrent(nullptr);
}

TEST(DirectSoundCreate, TheSilentOutputPlaysWithTheClock) {
  host::HeadlessHost h;
  h.SetSilentAudio(true);
  host::SetCurrent(&h);
  IDirectSound8* ds = nullptr;
  ASSERT_EQ(DirectSoundCreate8(nullptr, &ds, nullptr), DS_OK);
  ASSERT_EQ(ds->SetCooperativeLevel(reinterpret_cast<HWND>(1), DSSCL_PRIORITY), DS_OK);
  WAVEFORMATEX f = Pcm(1, 44100, 16);
  DSBUFFERDESC d = Static(4410 * 2, &f);  // 100 ms
  IDirectSoundBuffer* b = nullptr;
  ASSERT_EQ(ds->CreateSoundBuffer(&d, &b, nullptr), DS_OK);

  // Played once: the silent sink moves it on with the clock until its end.
  ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
  DWORD status = 0;
  h.AdvanceTo(50);
  DWORD play = 0;
  ASSERT_EQ(b->GetCurrentPosition(&play, nullptr), DS_OK);
  EXPECT_EQ(play, 2205u * 2);
  b->GetStatus(&status);
  EXPECT_EQ(status & DSBSTATUS_PLAYING, static_cast<DWORD>(DSBSTATUS_PLAYING));
  h.AdvanceTo(150);
  b->GetStatus(&status);
  EXPECT_EQ(status & DSBSTATUS_PLAYING, 0u);
  b->GetCurrentPosition(&play, nullptr);
  EXPECT_EQ(play, 0u);

  // Looping: wraps round instead of ending.
  ASSERT_EQ(b->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
  h.AdvanceTo(150 + 130);
  b->GetStatus(&status);
  EXPECT_EQ(status, static_cast<DWORD>(DSBSTATUS_PLAYING | DSBSTATUS_LOOPING | DSBSTATUS_LOCSOFTWARE));
  b->GetCurrentPosition(&play, nullptr);
  EXPECT_EQ(play, static_cast<DWORD>((FrameAt(130) - 4410) * 2));
  EXPECT_TRUE(h.Audio().empty());
  b->Release();
  ds->Release();
  host::SetCurrent(nullptr);
}

class Device : public DeviceTest {};

TEST_F(Device, CooperativeLevelRules) {
  EXPECT_EQ(device_->SetCooperativeLevel(nullptr, DSSCL_NORMAL), DSERR_INVALIDPARAM);
  EXPECT_EQ(device_->SetCooperativeLevel(reinterpret_cast<HWND>(1), 0), DSERR_INVALIDPARAM);
  EXPECT_EQ(device_->SetCooperativeLevel(reinterpret_cast<HWND>(1), 5), DSERR_INVALIDPARAM);
  FailNext("IDirectSound8.SetCooperativeLevel");
  EXPECT_TRUE(FAILED(device_->SetCooperativeLevel(reinterpret_cast<HWND>(1), DSSCL_PRIORITY)));
  EXPECT_EQ(device_->SetCooperativeLevel(reinterpret_cast<HWND>(1), DSSCL_PRIORITY), DS_OK);
}

TEST_F(Device, PlayNeedsACooperativeLevel) {
  IDirectSound8* fresh = nullptr;
  device_->Release();  // this test's own device, without a level
  device_ = nullptr;
  ASSERT_EQ(DirectSoundCreate8(nullptr, &fresh, nullptr), DS_OK);
  WAVEFORMATEX f = Pcm(1, 22050, 8);
  DSBUFFERDESC d = Static(100, &f);
  IDirectSoundBuffer* b = nullptr;
  ASSERT_EQ(fresh->CreateSoundBuffer(&d, &b, nullptr), DS_OK);
  EXPECT_EQ(b->Play(0, 0, 0), DSERR_PRIOLEVELNEEDED);
  ASSERT_EQ(fresh->SetCooperativeLevel(reinterpret_cast<HWND>(1), DSSCL_NORMAL), DS_OK);
  EXPECT_EQ(b->Play(0, 0, 0), DS_OK);
  b->Release();
  fresh->Release();
}

TEST_F(Device, PrimaryBufferIsOneObjectWithASettableFormat) {
  DSBUFFERDESC d{};
  d.dwSize = sizeof d;
  d.dwFlags = DSBCAPS_PRIMARYBUFFER;
  IDirectSoundBuffer* p = nullptr;
  ASSERT_EQ(device_->CreateSoundBuffer(&d, &p, nullptr), DS_OK);
  IDirectSoundBuffer* again = nullptr;
  ASSERT_EQ(device_->CreateSoundBuffer(&d, &again, nullptr), DS_OK);
  EXPECT_EQ(p, again);
  EXPECT_EQ(again->Release(), 1u);

  WAVEFORMATEX f = Pcm(2, 44100, 16);
  f.cbSize = 18;  // ignored for PCM
  EXPECT_EQ(p->SetFormat(&f), DS_OK);
  WAVEFORMATEX got{};
  DWORD written = 0;
  ASSERT_EQ(p->GetFormat(&got, sizeof got, &written), DS_OK);
  EXPECT_EQ(written, sizeof(WAVEFORMATEX));
  EXPECT_EQ(got.nSamplesPerSec, 44100u);
  EXPECT_EQ(got.nAvgBytesPerSec, 176400u);
  EXPECT_EQ(got.cbSize, 0);

  WAVEFORMATEX bad = Pcm(2, 44100, 24);
  EXPECT_EQ(p->SetFormat(&bad), DSERR_BADFORMAT);
  EXPECT_EQ(p->SetFormat(nullptr), DSERR_INVALIDPARAM);
  FailNext("IDirectSoundBuffer.SetFormat");
  EXPECT_TRUE(FAILED(p->SetFormat(&f)));
  ASSERT_EQ(device_->SetCooperativeLevel(reinterpret_cast<HWND>(1), DSSCL_NORMAL), DS_OK);
  EXPECT_EQ(p->SetFormat(&f), DSERR_PRIOLEVELNEEDED);

  // The primary buffer is not written, and plays only looping.
  void* p1 = nullptr;
  DWORD n1 = 0;
  EXPECT_EQ(p->Lock(0, 4, &p1, &n1, nullptr, nullptr, 0), DSERR_PRIOLEVELNEEDED);
  EXPECT_EQ(p->Play(0, 0, 0), DSERR_INVALIDPARAM);
  EXPECT_EQ(p->Play(0, 0, DSBPLAY_LOOPING), DS_OK);

  // A primary description carries neither size nor format.
  d.dwBufferBytes = 1024;
  EXPECT_EQ(device_->CreateSoundBuffer(&d, &again, nullptr), DSERR_INVALIDPARAM);
  EXPECT_EQ(p->Release(), 0u);
}

TEST_F(Device, SecondaryBuffersRefuseWhatTheMixerCannotPlay) {
  struct Case {
    WAVEFORMATEX format;
    HRESULT expected;
  };
  WAVEFORMATEX badTag = Pcm(1, 22050, 16);
  badTag.wFormatTag = 2;  // ADPCM
  WAVEFORMATEX float16 = Pcm(1, 22050, 16);
  float16.wFormatTag = WAVE_FORMAT_IEEE_FLOAT;
  WAVEFORMATEX float32 = Pcm(2, 22050, 32);
  float32.wFormatTag = WAVE_FORMAT_IEEE_FLOAT;
  WAVEFORMATEX float64 = Pcm(1, 22050, 64);
  float64.wFormatTag = WAVE_FORMAT_IEEE_FLOAT;
  WAVEFORMATEX shortExtensible = Pcm(2, 22050, 16);
  shortExtensible.wFormatTag = WAVE_FORMAT_EXTENSIBLE;
  shortExtensible.cbSize = 21;
  WAVEFORMATEX badAlign = Pcm(2, 22050, 16);
  badAlign.nBlockAlign = 2;
  WAVEFORMATEX badRate = Pcm(2, 22050, 16);
  badRate.nAvgBytesPerSec = 1;
  const Case cases[] = {
      {Pcm(1, 100, 8), DS_OK},           {Pcm(2, 200000, 16), DS_OK},     {Pcm(1, 99, 8), DSERR_BADFORMAT},
      {Pcm(1, 200001, 8), DSERR_BADFORMAT}, {Pcm(3, 44100, 16), DS_OK},        {Pcm(8, 44100, 32), DS_OK},
      {Pcm(9, 44100, 16), DSERR_BADFORMAT}, {Pcm(0, 44100, 16), DSERR_BADFORMAT}, {Pcm(2, 44100, 24), DS_OK},
      {Pcm(1, 44100, 4), DSERR_BADFORMAT},  {Pcm(1, 44100, 12), DSERR_BADFORMAT}, {Pcm(1, 44100, 64), DSERR_BADFORMAT},
      {badTag, DSERR_BADFORMAT},            {float32, DS_OK},                     {float16, DSERR_BADFORMAT},
      {float64, DSERR_BADFORMAT},           {shortExtensible, DSERR_INVALIDPARAM}, {badAlign, DSERR_BADFORMAT},
      {badRate, DSERR_BADFORMAT},
  };
  for (const Case& c : cases) {
    WAVEFORMATEX f = c.format;
    DSBUFFERDESC d = Static(4000, &f);
    IDirectSoundBuffer* b = reinterpret_cast<IDirectSoundBuffer*>(0x1);
    HRESULT hr = device_->CreateSoundBuffer(&d, &b, nullptr);
    EXPECT_EQ(hr, c.expected) << f.nChannels << "ch " << f.nSamplesPerSec << "Hz " << f.wBitsPerSample << "bit";
    if (SUCCEEDED(hr)) b->Release();
  }
}

TEST_F(Device, ExtensibleFormatsAreReadByTheirSubFormat) {
  auto extensible = [](WORD channels, WORD bits, WORD valid, DWORD mask, const GUID& sub) {
    WAVEFORMATEXTENSIBLE x{};
    x.Format = Pcm(channels, 48000, bits);
    x.Format.wFormatTag = WAVE_FORMAT_EXTENSIBLE;
    x.Format.cbSize = 22;
    x.Samples.wValidBitsPerSample = valid;
    x.dwChannelMask = mask;
    x.SubFormat = sub;
    return x;
  };
  GUID unknown = KSDATAFORMAT_SUBTYPE_PCM;
  unknown.Data1 = 2;  // ADPCM
  struct Case {
    const char* what;
    WAVEFORMATEXTENSIBLE format;
    HRESULT expected;
  };
  const Case cases[] = {
      {"PCM 24 in 32", extensible(2, 32, 24, 3, KSDATAFORMAT_SUBTYPE_PCM), DS_OK},
      {"float 5.1", extensible(6, 32, 32, 0x3F, KSDATAFORMAT_SUBTYPE_IEEE_FLOAT), DS_OK},
      {"7.1 without a mask", extensible(8, 16, 16, 0, KSDATAFORMAT_SUBTYPE_PCM), DS_OK},
      {"float of 16 bits", extensible(2, 16, 16, 3, KSDATAFORMAT_SUBTYPE_IEEE_FLOAT), DSERR_BADFORMAT},
      {"ADPCM sub-format", extensible(2, 16, 16, 3, unknown), DSERR_BADFORMAT},
      {"more valid bits than the container", extensible(2, 16, 24, 3, KSDATAFORMAT_SUBTYPE_PCM), DSERR_BADFORMAT},
      {"mask of more speakers than channels", extensible(2, 16, 16, 7, KSDATAFORMAT_SUBTYPE_PCM), DSERR_BADFORMAT},
  };
  for (const Case& c : cases) {
    WAVEFORMATEXTENSIBLE x = c.format;
    DSBUFFERDESC d = Static(4800, &x.Format);
    IDirectSoundBuffer* b = nullptr;
    const HRESULT hr = device_->CreateSoundBuffer(&d, &b, nullptr);
    EXPECT_EQ(hr, c.expected) << c.what;
    if (FAILED(hr)) continue;
    // The format comes back whole, with its extensible part.
    WAVEFORMATEXTENSIBLE back{};
    DWORD written = 0;
    EXPECT_EQ(b->GetFormat(&back.Format, sizeof(WAVEFORMATEX), nullptr), DSERR_INVALIDPARAM) << c.what;
    ASSERT_EQ(b->GetFormat(&back.Format, sizeof back, &written), DS_OK) << c.what;
    EXPECT_EQ(written, sizeof back);
    EXPECT_EQ(std::memcmp(&back, &x, sizeof back), 0) << c.what;
    b->Release();
  }
}

TEST_F(Device, SecondaryBufferDescriptionChecks) {
  WAVEFORMATEX f = Pcm(2, 44100, 16);
  IDirectSoundBuffer* b = nullptr;
  DSBUFFERDESC d = Static(DSBSIZE_MAX + 1u, &f);
  EXPECT_EQ(device_->CreateSoundBuffer(&d, &b, nullptr), DSERR_INVALIDPARAM);
  d.dwBufferBytes = DSBSIZE_MIN - 1;
  EXPECT_EQ(device_->CreateSoundBuffer(&d, &b, nullptr), DSERR_INVALIDPARAM);
  d.dwBufferBytes = 400;
  d.lpwfxFormat = nullptr;
  EXPECT_EQ(device_->CreateSoundBuffer(&d, &b, nullptr), DSERR_INVALIDPARAM);
  d.lpwfxFormat = &f;
  d.dwSize = 36;  // neither description size of this build
  EXPECT_EQ(device_->CreateSoundBuffer(&d, &b, nullptr), DSERR_INVALIDPARAM);
  d.dwSize = sizeof d;
  EXPECT_EQ(device_->CreateSoundBuffer(&d, &b, reinterpret_cast<LPUNKNOWN>(device_)), DSERR_NOAGGREGATION);
  EXPECT_EQ(device_->CreateSoundBuffer(nullptr, &b, nullptr), DSERR_INVALIDPARAM);
  EXPECT_EQ(device_->CreateSoundBuffer(&d, nullptr, nullptr), DSERR_INVALIDPARAM);
  d.dwFlags |= DSBCAPS_CTRL3D;
  EXPECT_EQ(device_->CreateSoundBuffer(&d, &b, nullptr), DSERR_UNSUPPORTED);
  d.dwFlags = DSBCAPS_STATIC | DSBCAPS_GLOBALFOCUS | DSBCAPS_STICKYFOCUS;
  EXPECT_EQ(device_->CreateSoundBuffer(&d, &b, nullptr), DSERR_INVALIDPARAM);
  EXPECT_EQ(b, nullptr);

  FailNext("IDirectSound8.CreateSoundBuffer");
  d.dwFlags = DSBCAPS_STATIC;
  EXPECT_TRUE(FAILED(device_->CreateSoundBuffer(&d, &b, nullptr)));
  EXPECT_EQ(b, nullptr);
  d.dwSize = sizeof(DSBUFFERDESC1);  // the older description is accepted too
  ASSERT_EQ(device_->CreateSoundBuffer(&d, &b, nullptr), DS_OK);
  DSBCAPS caps{};
  caps.dwSize = sizeof caps;
  ASSERT_EQ(b->GetCaps(&caps), DS_OK);
  EXPECT_EQ(caps.dwBufferBytes, 400u);
  EXPECT_EQ(caps.dwFlags, static_cast<DWORD>(DSBCAPS_STATIC | DSBCAPS_LOCSOFTWARE));
  b->Release();
}

TEST_F(Device, NewBuffersAreZeroFilledAndLockWrapsInTwoParts) {
  WAVEFORMATEX f = Pcm(1, 44100, 8);
  DSBUFFERDESC d = Static(100, &f);
  IDirectSoundBuffer* b = nullptr;
  ASSERT_EQ(device_->CreateSoundBuffer(&d, &b, nullptr), DS_OK);
  buffers_.push_back(b);

  void* p1 = nullptr;
  void* p2 = reinterpret_cast<void*>(0x1);
  DWORD n1 = 0;
  DWORD n2 = 7;
  ASSERT_EQ(b->Lock(0, 0, &p1, &n1, &p2, &n2, DSBLOCK_ENTIREBUFFER), DS_OK);
  EXPECT_EQ(n1, 100u);
  EXPECT_EQ(p2, nullptr);
  EXPECT_EQ(n2, 0u);
  for (DWORD i = 0; i < n1; ++i) ASSERT_EQ(static_cast<uint8_t*>(p1)[i], 0) << i;
  EXPECT_EQ(b->Unlock(p1, n1, nullptr, 0), DS_OK);

  // From offset 80, 50 bytes: 20 at the end and 30 from the start.
  ASSERT_EQ(b->Lock(80, 50, &p1, &n1, &p2, &n2, 0), DS_OK);
  EXPECT_EQ(n1, 20u);
  EXPECT_EQ(n2, 30u);
  EXPECT_EQ(static_cast<uint8_t*>(p2) + 80, static_cast<uint8_t*>(p1));
  EXPECT_EQ(b->Unlock(p1, n1, p2, n2), DS_OK);

  // Without a second pointer the lock ends at the buffer's end.
  ASSERT_EQ(b->Lock(80, 50, &p1, &n1, nullptr, nullptr, 0), DS_OK);
  EXPECT_EQ(n1, 20u);

  EXPECT_EQ(b->Lock(100, 1, &p1, &n1, &p2, &n2, 0), DSERR_INVALIDPARAM);
  EXPECT_EQ(b->Lock(0, 101, &p1, &n1, &p2, &n2, 0), DSERR_INVALIDPARAM);
  EXPECT_EQ(b->Lock(0, 10, nullptr, &n1, &p2, &n2, 0), DSERR_INVALIDPARAM);
  // Unlock only takes back what lies inside the buffer.
  EXPECT_EQ(b->Unlock(static_cast<uint8_t*>(p1) + 10, 20, nullptr, 0), DSERR_INVALIDPARAM);
  uint8_t foreign[4];
  EXPECT_EQ(b->Unlock(foreign, 4, nullptr, 0), DSERR_INVALIDPARAM);

  FailNext("IDirectSoundBuffer.Lock");
  EXPECT_TRUE(FAILED(b->Lock(0, 10, &p1, &n1, &p2, &n2, 0)));
}

TEST_F(Device, StatusPositionsAndControls) {
  IDirectSoundBuffer* b = Make16(2, 44100, Ramp(2000));  // 1000 frames
  ASSERT_NE(b, nullptr);
  DWORD status = 99;
  ASSERT_EQ(b->GetStatus(&status), DS_OK);
  EXPECT_EQ(status, 0u);
  EXPECT_EQ(b->GetStatus(nullptr), DSERR_INVALIDPARAM);

  ASSERT_EQ(b->SetCurrentPosition(400), DS_OK);
  DWORD play = 0;
  DWORD write = 0;
  ASSERT_EQ(b->GetCurrentPosition(&play, &write), DS_OK);
  EXPECT_EQ(play, 400u);
  EXPECT_EQ(write, 400u);  // stopped: the cursors agree
  EXPECT_EQ(b->SetCurrentPosition(4000), DSERR_INVALIDPARAM);
  EXPECT_EQ(b->GetCurrentPosition(nullptr, nullptr), DSERR_INVALIDPARAM);

  ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
  b->GetCurrentPosition(&play, &write);
  EXPECT_NE(write, play);  // the mixer reads ahead of the play cursor
  EXPECT_EQ(write % 4, 0u);
  b->GetStatus(&status);
  EXPECT_EQ(status, static_cast<DWORD>(DSBSTATUS_PLAYING | DSBSTATUS_LOCSOFTWARE));
  EXPECT_EQ(b->Play(1, 0, 0), DSERR_INVALIDPARAM);
  EXPECT_EQ(b->Play(0, 0, 0x100), DSERR_INVALIDPARAM);

  LONG volume = 0;
  DWORD freq = 0;
  EXPECT_EQ(b->GetVolume(&volume), DSERR_CONTROLUNAVAIL);
  EXPECT_EQ(b->SetFrequency(22050), DSERR_CONTROLUNAVAIL);
  EXPECT_EQ(b->GetFrequency(&freq), DSERR_CONTROLUNAVAIL);
  EXPECT_EQ(b->SetFormat(nullptr), DSERR_INVALIDCALL);

  WAVEFORMATEX got{};
  EXPECT_EQ(b->GetFormat(&got, 10, nullptr), DSERR_INVALIDPARAM);
  ASSERT_EQ(b->GetFormat(&got, sizeof got, nullptr), DS_OK);
  EXPECT_EQ(got.nChannels, 2);
  EXPECT_EQ(got.wBitsPerSample, 16);

  IDirectSoundBuffer8* b8 = nullptr;
  ASSERT_EQ(b->QueryInterface(IID_IDirectSoundBuffer8, reinterpret_cast<void**>(&b8)), S_OK);
  EXPECT_EQ(static_cast<IDirectSoundBuffer*>(b8), b);
  EXPECT_EQ(b8->Release(), 1u);
}

TEST_F(Device, BuffersOutliveTheirDeviceHarmlessly) {
  IDirectSoundBuffer* b = Make16(1, 44100, Ramp(100));
  ASSERT_NE(b, nullptr);
  ASSERT_EQ(b->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
  device_->Release();
  device_ = nullptr;
  DWORD status = 1;
  EXPECT_EQ(b->GetStatus(&status), DS_OK);
  EXPECT_EQ(status, 0u);
  EXPECT_EQ(b->Play(0, 0, 0), DSERR_UNINITIALIZED);
  host_.AdvanceTo(100);  // no one pulls from a closed device
}

}  // namespace

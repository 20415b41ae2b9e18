// direct_sound.cpp — the DirectSound 8 device object.
//
// Provides: DirectSoundCreate8 and IDirectSound8 (cooperative level, the
// primary buffer, static secondary buffers, capabilities, speaker
// configuration). The device opens the host's audio output through its
// mixer; with no output it plays into silence. Releasing the device closes
// the output and stops its buffers.
// Depends on: platform/dsound/sound_buffer.h, host::ShouldFail.
// Fault injection: "DirectSoundCreate8" fails with DSERR_NODRIVER,
// "IDirectSound8.SetCooperativeLevel" with DSERR_GENERIC,
// "IDirectSound8.CreateSoundBuffer" with DSERR_OUTOFMEMORY.
#include <com_object.h>
#include <dsound.h>

#include <cstring>
#include <memory>
#include <new>

#include "platform/dsound/sound_buffer.h"

namespace dsound {
namespace {

constexpr DWORD kSecondaryFlags = DSBCAPS_STATIC | DSBCAPS_LOCHARDWARE | DSBCAPS_LOCSOFTWARE | DSBCAPS_CTRLFREQUENCY |
                                  DSBCAPS_CTRLPAN | DSBCAPS_CTRLVOLUME | DSBCAPS_STICKYFOCUS | DSBCAPS_GLOBALFOCUS |
                                  DSBCAPS_GETCURRENTPOSITION2 | DSBCAPS_LOCDEFER | DSBCAPS_TRUEPLAYPOSITION;
constexpr DWORD kPrimaryFlags = DSBCAPS_PRIMARYBUFFER | DSBCAPS_LOCHARDWARE | DSBCAPS_LOCSOFTWARE |
                                DSBCAPS_STICKYFOCUS | DSBCAPS_GLOBALFOCUS | DSBCAPS_GETCURRENTPOSITION2;
constexpr DWORD kUnsupportedFlags = DSBCAPS_CTRL3D | DSBCAPS_CTRLPOSITIONNOTIFY | DSBCAPS_CTRLFX |
                                    DSBCAPS_MUTE3DATMAXDISTANCE;

class DirectSound8 final : public platform::ComObject<IDirectSound8, IID_IDirectSound, IID_IDirectSound8> {
 public:
  explicit DirectSound8(std::shared_ptr<DeviceCore> core) : core_(std::move(core)) {}

  // The last release stops the mixer; buffers still held play no more.
  void FinalRelease() override {
    core_->released = true;
    core_->mixer.Shutdown();
    delete this;
  }

  HRESULT STDMETHODCALLTYPE CreateSoundBuffer(LPCDSBUFFERDESC desc, LPDIRECTSOUNDBUFFER* out,
                                              LPUNKNOWN outer) override {
    if (host::ShouldFail("IDirectSound8.CreateSoundBuffer")) return DSERR_OUTOFMEMORY;
    if (desc == nullptr || out == nullptr) return DSERR_INVALIDPARAM;
    if (outer != nullptr) return DSERR_NOAGGREGATION;
    if (desc->dwSize != sizeof(DSBUFFERDESC) && desc->dwSize != sizeof(DSBUFFERDESC1)) return DSERR_INVALIDPARAM;
    const DWORD flags = desc->dwFlags;
    if ((flags & kUnsupportedFlags) != 0) return DSERR_UNSUPPORTED;
    if ((flags & DSBCAPS_LOCHARDWARE) != 0 && (flags & DSBCAPS_LOCSOFTWARE) != 0) return DSERR_INVALIDPARAM;
    if ((flags & DSBCAPS_LOCDEFER) != 0 && (flags & (DSBCAPS_LOCHARDWARE | DSBCAPS_LOCSOFTWARE)) != 0)
      return DSERR_INVALIDPARAM;
    if ((flags & DSBCAPS_GLOBALFOCUS) != 0 && (flags & DSBCAPS_STICKYFOCUS) != 0) return DSERR_INVALIDPARAM;

    if ((flags & DSBCAPS_PRIMARYBUFFER) != 0) {
      if ((flags & ~kPrimaryFlags) != 0) return (flags & DSBCAPS_STATIC) != 0 ? DSERR_INVALIDPARAM : DSERR_UNSUPPORTED;
      if (desc->dwBufferBytes != 0 || desc->lpwfxFormat != nullptr) return DSERR_INVALIDPARAM;
      return CreatePrimarySoundBuffer(core_, flags, out);
    }

    if ((flags & ~kSecondaryFlags) != 0) return DSERR_INVALIDPARAM;
    if (desc->lpwfxFormat == nullptr) return DSERR_INVALIDPARAM;
    if (desc->dwBufferBytes < DSBSIZE_MIN || desc->dwBufferBytes > DSBSIZE_MAX) return DSERR_INVALIDPARAM;
    // Only the fixed part of the format is read: PCM has no extra bytes.
    WAVEFORMATEX format{};
    std::memcpy(&format, desc->lpwfxFormat, sizeof format);
    if (HRESULT hr = CheckPcmFormat(format); FAILED(hr)) return hr;
    if (desc->dwBufferBytes < format.nBlockAlign) return DSERR_INVALIDPARAM;
    if ((flags & DSBCAPS_LOCHARDWARE) != 0) return DSERR_INVALIDCALL;  // no hardware voices here
    return CreateSecondarySoundBuffer(core_, flags, desc->dwBufferBytes, format, out);
  }

  HRESULT STDMETHODCALLTYPE GetCaps(LPDSCAPS caps) override {
    if (caps == nullptr || caps->dwSize != sizeof(DSCAPS)) return DSERR_INVALIDPARAM;
    std::memset(caps, 0, sizeof(DSCAPS));
    caps->dwSize = sizeof(DSCAPS);
    caps->dwFlags = DSCAPS_PRIMARYMONO | DSCAPS_PRIMARYSTEREO | DSCAPS_PRIMARY8BIT | DSCAPS_PRIMARY16BIT |
                    DSCAPS_CONTINUOUSRATE | DSCAPS_EMULDRIVER | DSCAPS_SECONDARYMONO | DSCAPS_SECONDARYSTEREO |
                    DSCAPS_SECONDARY8BIT | DSCAPS_SECONDARY16BIT;
    caps->dwMinSecondarySampleRate = DSBFREQUENCY_MIN;
    caps->dwMaxSecondarySampleRate = DSBFREQUENCY_MAX;
    caps->dwPrimaryBuffers = 1;
    return DS_OK;
  }

  HRESULT STDMETHODCALLTYPE DuplicateSoundBuffer(LPDIRECTSOUNDBUFFER, LPDIRECTSOUNDBUFFER* out) override {
    if (out != nullptr) *out = nullptr;
    return DSERR_UNSUPPORTED;
  }

  HRESULT STDMETHODCALLTYPE SetCooperativeLevel(HWND hwnd, DWORD level) override {
    if (host::ShouldFail("IDirectSound8.SetCooperativeLevel")) return DSERR_GENERIC;
    if (hwnd == nullptr || level < DSSCL_NORMAL || level > DSSCL_WRITEPRIMARY) return DSERR_INVALIDPARAM;
    if (level == DSSCL_WRITEPRIMARY) return DSERR_UNSUPPORTED;
    core_->cooperativeLevel = level;
    return DS_OK;
  }

  HRESULT STDMETHODCALLTYPE Compact() override { return core_->cooperativeLevel == 0 ? DSERR_PRIOLEVELNEEDED : DS_OK; }

  HRESULT STDMETHODCALLTYPE GetSpeakerConfig(LPDWORD config) override {
    if (config == nullptr) return DSERR_INVALIDPARAM;
    *config = speakers_;
    return DS_OK;
  }

  HRESULT STDMETHODCALLTYPE SetSpeakerConfig(DWORD config) override {
    if ((config & 0xFF) > DSSPEAKER_SURROUND && (config & 0xFF) != 6 && (config & 0xFF) != 7 && (config & 0xFF) != 8)
      return DSERR_INVALIDPARAM;
    speakers_ = config;
    return DS_OK;
  }

  HRESULT STDMETHODCALLTYPE Initialize(LPCGUID) override { return DSERR_ALREADYINITIALIZED; }

  HRESULT STDMETHODCALLTYPE VerifyCertification(LPDWORD certified) override {
    if (certified == nullptr) return DSERR_INVALIDPARAM;
    *certified = DS_UNCERTIFIED;
    return DS_OK;
  }

 private:
  ~DirectSound8() override = default;

  std::shared_ptr<DeviceCore> core_;
  DWORD speakers_ = DSSPEAKER_STEREO;
};

}  // namespace
}  // namespace dsound

extern "C" HRESULT WINAPI DirectSoundCreate8(LPCGUID pcGuidDevice, LPDIRECTSOUND8* ppDS8, LPUNKNOWN pUnkOuter) {
  if (ppDS8 == nullptr) return DSERR_INVALIDPARAM;
  *ppDS8 = nullptr;
  if (host::ShouldFail("DirectSoundCreate8")) return DSERR_NODRIVER;
  if (pUnkOuter != nullptr) return DSERR_NOAGGREGATION;
  if (pcGuidDevice != nullptr && *pcGuidDevice != GUID_NULL && *pcGuidDevice != DSDEVID_DefaultPlayback &&
      *pcGuidDevice != DSDEVID_DefaultVoicePlayback)
    return DSERR_NODRIVER;
  try {
    auto core = std::make_shared<dsound::DeviceCore>();
    auto* device = new dsound::DirectSound8(core);
    core->mixer.Start();
    *ppDS8 = device;
    return DS_OK;
  } catch (...) {
    return DSERR_OUTOFMEMORY;
  }
}

// sound_buffer.h — the sound device's buffers and the state they share
// with the device.
//
// Provides: dsound::DeviceCore (mixer, cooperative level, primary format),
// the PCM format check, and the factories of the primary buffer and of
// static secondary buffers.
// Depends on: dsound.h, platform/dsound/mixer.h.
#pragma once

#include <dsound.h>

#include <atomic>
#include <memory>

#include "platform/dsound/mixer.h"

namespace dsound {

// Lives as long as the device or any of its buffers.
struct DeviceCore {
  Mixer mixer;
  std::atomic<DWORD> cooperativeLevel{0};
  std::atomic<bool> released{false};  // the device object is gone
  // Under mixer.Acquire():
  WAVEFORMATEX primaryFormat{WAVE_FORMAT_PCM, 2, 44100, 176400, 4, 16, 0};
  IDirectSoundBuffer* primary = nullptr;  // the live primary object, if any
};

// DS_OK for a format the mixer plays: PCM, 1 or 2 channels, 8 or 16 bits,
// DSBFREQUENCY_MIN..DSBFREQUENCY_MAX Hz, with consistent block alignment and
// byte rate; DSERR_BADFORMAT otherwise.
HRESULT CheckPcmFormat(const WAVEFORMATEX& format);

// Returns the device's one primary buffer (a new reference).
HRESULT CreatePrimarySoundBuffer(const std::shared_ptr<DeviceCore>& core, DWORD flags, IDirectSoundBuffer** out);
// Creates a zero-filled secondary buffer; the caller has checked the sizes
// and the format.
HRESULT CreateSecondarySoundBuffer(const std::shared_ptr<DeviceCore>& core, DWORD flags, DWORD bytes,
                                   const WAVEFORMATEX& format, IDirectSoundBuffer** out);

}  // namespace dsound

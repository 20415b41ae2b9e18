// sound_buffer.h — the sound device's buffers and the state they share
// with the device.
//
// Provides: dsound::DeviceCore (mixer, cooperative level, primary format),
// the PCM format check, and the factories of the primary buffer and of
// static secondary buffers.
// Depends on: dsound.h, platform/dsound/mixer.h.
#pragma once

#include <dsound.h>
#include <mmreg.h>

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

// DS_OK for a primary buffer's format: PCM, 1 or 2 channels, 8 or 16 bits,
// DSBFREQUENCY_MIN..DSBFREQUENCY_MAX Hz, with consistent block alignment and
// byte rate; DSERR_BADFORMAT otherwise.
HRESULT CheckPcmFormat(const WAVEFORMATEX& format);

// A static buffer's format as the device reads its samples.
struct BufferFormat {
  WAVEFORMATEXTENSIBLE given{};  // the caller's format (extensible part zero unless the tag says so)
  bool isFloat = false;
  int bytesPerSample = 2;  // container size
  int channels = 1;
  // Weights of each channel in the output's left and right (1 channel: the
  // left weights make the mono voice).
  float left[8] = {};
  float right[8] = {};
};

// Reads and checks a static buffer's format: integer PCM of 8, 16, 24 or
// 32 bits, 32-bit IEEE float, or WAVE_FORMAT_EXTENSIBLE with either as its
// sub-format; 1 to 8 channels (mixed down to stereo by their speaker
// positions); DSBFREQUENCY_MIN..DSBFREQUENCY_MAX Hz; consistent block
// alignment and byte rate. The extensible part is read only when cbSize
// says it is there. DSERR_BADFORMAT for a format it cannot play,
// DSERR_INVALIDPARAM for an extensible format too short to be one.
HRESULT CheckBufferFormat(const WAVEFORMATEX* format, BufferFormat* out);

// Returns the device's one primary buffer (a new reference).
HRESULT CreatePrimarySoundBuffer(const std::shared_ptr<DeviceCore>& core, DWORD flags, IDirectSoundBuffer** out);
// Creates a zero-filled secondary buffer; the caller has checked the sizes
// and the format.
HRESULT CreateSecondarySoundBuffer(const std::shared_ptr<DeviceCore>& core, DWORD flags, DWORD bytes,
                                   const BufferFormat& format, IDirectSoundBuffer** out);

}  // namespace dsound

// sound_buffer.cpp — static secondary buffers and the primary buffer.
//
// A secondary buffer holds the bytes the program locks and writes; on Unlock
// the written range is converted into the voice's float samples, which is
// all the mixer ever reads. Play and Stop only switch the voice on or off:
// Play on a playing buffer keeps its position (only the looping flag
// changes), Stop keeps the position, and a buffer played once rewinds to
// its start when it has played to its end.
//
// Fault injection: "IDirectSoundBuffer.SetFormat" fails with DSERR_GENERIC,
// "IDirectSoundBuffer.Lock" with DSERR_BUFFERLOST.
#include "platform/dsound/sound_buffer.h"
#include "platform/win32/large_buffer.h"

#include <com_object.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <new>
#include <vector>

namespace dsound {
namespace {

constexpr DWORD kPlayFlags = DSBPLAY_LOOPING | DSBPLAY_LOCHARDWARE | DSBPLAY_LOCSOFTWARE | DSBPLAY_TERMINATEBY_TIME |
                             DSBPLAY_TERMINATEBY_DISTANCE | DSBPLAY_TERMINATEBY_PRIORITY;

float Attenuation(LONG hundredthsOfDb) { return static_cast<float>(std::pow(10.0, hundredthsOfDb / 2000.0)); }

class SecondaryBuffer final
    : public platform::ComObject<IDirectSoundBuffer8, IID_IDirectSoundBuffer, IID_IDirectSoundBuffer8> {
 public:
  SecondaryBuffer(std::shared_ptr<DeviceCore> core, DWORD flags, DWORD bytes, const BufferFormat& format)
      : core_(std::move(core)), flags_(flags), bytes_(bytes), layout_(format), format_(format.given.Format),
        data_(bytes, 0) {
    extensible_ = format_.wFormatTag == WAVE_FORMAT_EXTENSIBLE;
    format_.cbSize = extensible_ ? sizeof(WAVEFORMATEXTENSIBLE) - sizeof(WAVEFORMATEX) : 0;
    layout_.given.Format.cbSize = format_.cbSize;
    // Every channel past the first two is mixed down when the bytes are
    // converted, so the voice is mono or stereo.
    voice_.channels = format.channels == 1 ? 1 : 2;
    voice_.frames = bytes / format_.nBlockAlign;
    voice_.samples.resize(static_cast<size_t>(voice_.frames) * voice_.channels);
    voice_.SetStep(format_.nSamplesPerSec, core_->mixer.Rate());
    frequency_ = format_.nSamplesPerSec;
    // The bytes start as zeros: silence for every format but unsigned 8-bit,
    // whose zero is the lowest level. Only that case needs converting.
    if (layout_.bytesPerSample == 1 && !layout_.isFloat) {
      if (layout_.channels <= 2) {
        std::fill(voice_.samples.begin(), voice_.samples.end(), -1.0f);
      } else {
        ConvertFrames(0, voice_.frames);
      }
    }
  }

  void Register() {
    auto lock = core_->mixer.Acquire();
    core_->mixer.AddLocked(&voice_);
  }

  // IUnknown: the last release takes the voice out of the mixer first.
  void FinalRelease() override {
    {
      auto lock = core_->mixer.Acquire();
      core_->mixer.RemoveLocked(&voice_);
    }
    delete this;
  }

  // IDirectSoundBuffer
  HRESULT STDMETHODCALLTYPE GetCaps(LPDSBCAPS caps) override {
    if (caps == nullptr || caps->dwSize != sizeof(DSBCAPS)) return DSERR_INVALIDPARAM;
    caps->dwFlags = (flags_ & ~DSBCAPS_LOCDEFER) | DSBCAPS_LOCSOFTWARE;
    caps->dwBufferBytes = bytes_;
    caps->dwUnlockTransferRate = 0;
    caps->dwPlayCpuOverhead = 0;
    return DS_OK;
  }

  HRESULT STDMETHODCALLTYPE GetCurrentPosition(LPDWORD play, LPDWORD write) override {
    if (play == nullptr && write == nullptr) return DSERR_INVALIDPARAM;
    auto lock = core_->mixer.Acquire();
    const DWORD playByte = std::min(voice_.Frame(), voice_.frames) * format_.nBlockAlign % bytes_;
    DWORD writeByte = playByte;
    if (voice_.playing) {
      // The mixer has already taken about 10 ms beyond the play cursor.
      const DWORD lead = (frequency_ / 100 + 1) * format_.nBlockAlign;
      writeByte = static_cast<DWORD>((uint64_t{playByte} + lead) % bytes_);
      writeByte -= writeByte % format_.nBlockAlign;
    }
    if (play != nullptr) *play = playByte;
    if (write != nullptr) *write = writeByte;
    return DS_OK;
  }

  HRESULT STDMETHODCALLTYPE GetFormat(LPWAVEFORMATEX format, DWORD allocated, LPDWORD written) override {
    if (format == nullptr && written == nullptr) return DSERR_INVALIDPARAM;
    const DWORD size = extensible_ ? sizeof(WAVEFORMATEXTENSIBLE) : sizeof(WAVEFORMATEX);
    if (format != nullptr) {
      if (allocated < size) return DSERR_INVALIDPARAM;
      std::memcpy(format, &layout_.given, size);
    }
    if (written != nullptr) *written = size;
    return DS_OK;
  }

  HRESULT STDMETHODCALLTYPE GetVolume(LPLONG volume) override {
    if (volume == nullptr) return DSERR_INVALIDPARAM;
    if ((flags_ & DSBCAPS_CTRLVOLUME) == 0) return DSERR_CONTROLUNAVAIL;
    *volume = volume_;
    return DS_OK;
  }

  HRESULT STDMETHODCALLTYPE GetPan(LPLONG pan) override {
    if (pan == nullptr) return DSERR_INVALIDPARAM;
    if ((flags_ & DSBCAPS_CTRLPAN) == 0) return DSERR_CONTROLUNAVAIL;
    *pan = pan_;
    return DS_OK;
  }

  HRESULT STDMETHODCALLTYPE GetFrequency(LPDWORD frequency) override {
    if (frequency == nullptr) return DSERR_INVALIDPARAM;
    if ((flags_ & DSBCAPS_CTRLFREQUENCY) == 0) return DSERR_CONTROLUNAVAIL;
    *frequency = frequency_;
    return DS_OK;
  }

  HRESULT STDMETHODCALLTYPE GetStatus(LPDWORD status) override {
    if (status == nullptr) return DSERR_INVALIDPARAM;
    auto lock = core_->mixer.Acquire();
    DWORD s = 0;
    if (voice_.playing) {
      s |= DSBSTATUS_PLAYING;
      if (voice_.looping) s |= DSBSTATUS_LOOPING;
      if ((flags_ & DSBCAPS_LOCDEFER) != 0) s |= DSBSTATUS_LOCSOFTWARE;
    }
    *status = s;
    return DS_OK;
  }

  HRESULT STDMETHODCALLTYPE Initialize(LPDIRECTSOUND, LPCDSBUFFERDESC) override { return DSERR_ALREADYINITIALIZED; }

  HRESULT STDMETHODCALLTYPE Lock(DWORD offset, DWORD bytes, LPVOID* ptr1, LPDWORD bytes1, LPVOID* ptr2,
                                 LPDWORD bytes2, DWORD flags) override {
    if (host::ShouldFail("IDirectSoundBuffer.Lock")) return DSERR_BUFFERLOST;
    if (ptr1 == nullptr || bytes1 == nullptr) return DSERR_INVALIDPARAM;
    if ((flags & DSBLOCK_FROMWRITECURSOR) != 0) GetCurrentPosition(nullptr, &offset);
    if ((flags & DSBLOCK_ENTIREBUFFER) != 0) {
      offset = (flags & DSBLOCK_FROMWRITECURSOR) != 0 ? offset : 0;
      bytes = bytes_;
    }
    if (offset >= bytes_ || bytes == 0 || bytes > bytes_) return DSERR_INVALIDPARAM;
    DWORD first = std::min(bytes, bytes_ - offset);
    DWORD second = bytes - first;
    // Without a second pointer the lock stops at the end of the buffer.
    if (ptr2 == nullptr || bytes2 == nullptr) second = 0;
    *ptr1 = data_.data() + offset;
    *bytes1 = first;
    if (ptr2 != nullptr) *ptr2 = second != 0 ? data_.data() : nullptr;
    if (bytes2 != nullptr) *bytes2 = second;
    return DS_OK;
  }

  HRESULT STDMETHODCALLTYPE Play(DWORD reserved, DWORD priority, DWORD flags) override {
    if (reserved != 0 || (flags & ~kPlayFlags) != 0) return DSERR_INVALIDPARAM;
    if (priority != 0 && (flags_ & DSBCAPS_LOCDEFER) == 0) return DSERR_INVALIDPARAM;
    if ((flags & (DSBPLAY_LOCHARDWARE | DSBPLAY_LOCSOFTWARE)) == (DSBPLAY_LOCHARDWARE | DSBPLAY_LOCSOFTWARE))
      return DSERR_INVALIDPARAM;
    if (core_->released) return DSERR_UNINITIALIZED;
    if (core_->cooperativeLevel == 0) return DSERR_PRIOLEVELNEEDED;
    std::shared_ptr<const Kernel> kernel;
    if (!kernelReady_) kernel = KernelForRate(frequency_, core_->mixer.Rate());  // built outside the mixer's lock
    auto lock = core_->mixer.Acquire();
    if (!kernelReady_) {
      voice_.kernel = std::move(kernel);
      kernelReady_ = true;
    }
    voice_.playing = true;
    voice_.looping = (flags & DSBPLAY_LOOPING) != 0;
    return DS_OK;
  }

  HRESULT STDMETHODCALLTYPE SetCurrentPosition(DWORD position) override {
    if (position >= bytes_) return DSERR_INVALIDPARAM;
    auto lock = core_->mixer.Acquire();
    voice_.position = static_cast<uint64_t>(position / format_.nBlockAlign) << 32;
    return DS_OK;
  }

  HRESULT STDMETHODCALLTYPE SetFormat(LPCWAVEFORMATEX) override {
    if (host::ShouldFail("IDirectSoundBuffer.SetFormat")) return DSERR_GENERIC;
    return DSERR_INVALIDCALL;  // only the primary buffer's format can change
  }

  HRESULT STDMETHODCALLTYPE SetVolume(LONG volume) override {
    if ((flags_ & DSBCAPS_CTRLVOLUME) == 0) return DSERR_CONTROLUNAVAIL;
    if (volume < DSBVOLUME_MIN || volume > DSBVOLUME_MAX) return DSERR_INVALIDPARAM;
    auto lock = core_->mixer.Acquire();
    volume_ = volume;
    UpdateGains();
    return DS_OK;
  }

  HRESULT STDMETHODCALLTYPE SetPan(LONG pan) override {
    if ((flags_ & DSBCAPS_CTRLPAN) == 0) return DSERR_CONTROLUNAVAIL;
    if (pan < DSBPAN_LEFT || pan > DSBPAN_RIGHT) return DSERR_INVALIDPARAM;
    auto lock = core_->mixer.Acquire();
    pan_ = pan;
    UpdateGains();
    return DS_OK;
  }

  HRESULT STDMETHODCALLTYPE SetFrequency(DWORD frequency) override {
    if ((flags_ & DSBCAPS_CTRLFREQUENCY) == 0) return DSERR_CONTROLUNAVAIL;
    if (frequency == DSBFREQUENCY_ORIGINAL) frequency = format_.nSamplesPerSec;
    if (frequency < DSBFREQUENCY_MIN || frequency > DSBFREQUENCY_MAX) return DSERR_INVALIDPARAM;
    auto kernel = KernelForRate(frequency, core_->mixer.Rate());  // built outside the mixer's lock
    auto lock = core_->mixer.Acquire();
    frequency_ = frequency;
    voice_.SetStep(frequency, core_->mixer.Rate());
    voice_.kernel = std::move(kernel);
    kernelReady_ = true;
    return DS_OK;
  }

  HRESULT STDMETHODCALLTYPE Stop() override {
    auto lock = core_->mixer.Acquire();
    voice_.playing = false;
    return DS_OK;
  }

  HRESULT STDMETHODCALLTYPE Unlock(LPVOID ptr1, DWORD bytes1, LPVOID ptr2, DWORD bytes2) override {
    DWORD off1 = 0;
    DWORD off2 = 0;
    if (!Inside(ptr1, bytes1, &off1) || (ptr2 != nullptr && !Inside(ptr2, bytes2, &off2))) return DSERR_INVALIDPARAM;
    auto lock = core_->mixer.Acquire();
    ConvertBytes(off1, bytes1);
    if (ptr2 != nullptr) ConvertBytes(off2, bytes2);
    return DS_OK;
  }

  HRESULT STDMETHODCALLTYPE Restore() override { return DS_OK; }

  // IDirectSoundBuffer8
  HRESULT STDMETHODCALLTYPE SetFX(DWORD, LPDSEFFECTDESC, LPDWORD) override { return DSERR_CONTROLUNAVAIL; }
  HRESULT STDMETHODCALLTYPE AcquireResources(DWORD, DWORD, LPDWORD) override {
    return (flags_ & DSBCAPS_LOCDEFER) != 0 ? DS_OK : DSERR_INVALIDCALL;
  }
  HRESULT STDMETHODCALLTYPE GetObjectInPath(REFGUID, DWORD, REFGUID, LPVOID* object) override {
    if (object == nullptr) return DSERR_INVALIDPARAM;
    *object = nullptr;
    return DSERR_CONTROLUNAVAIL;
  }

 private:
  ~SecondaryBuffer() override = default;

  bool Inside(LPVOID ptr, DWORD bytes, DWORD* offset) const {
    if (ptr == nullptr) return false;
    auto* p = static_cast<const uint8_t*>(ptr);
    const uint8_t* begin = data_.data();
    if (p < begin || p > begin + bytes_) return false;
    *offset = static_cast<DWORD>(p - begin);
    return bytes <= bytes_ - *offset;
  }

  void ConvertBytes(DWORD offset, DWORD bytes) {
    if (bytes == 0) return;
    const uint32_t first = offset / format_.nBlockAlign;
    const uint32_t last = static_cast<uint32_t>((uint64_t{offset} + bytes + format_.nBlockAlign - 1) / format_.nBlockAlign);
    ConvertFrames(first, std::min(last, voice_.frames));
  }

#if defined(__SSE2__)
  // 16-bit mono or stereo frames from `first` on, four at a time; returns
  // the first frame left for the plain loop. Dividing by 32768 is exact, so
  // multiplying by its reciprocal gives the same floats.
  uint32_t Convert16(uint32_t first, uint32_t last) {
    const size_t frames = voice_.frames;
    const uint8_t* d = data_.data();
    float* out = voice_.samples.data();
    const __m128 scale = _mm_set1_ps(1.0f / 32768.0f);
    uint32_t i = first;
    if (voice_.channels == 1) {
      for (; i + 8 <= last; i += 8) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + 2 * size_t{i}));
        const __m128i lo = _mm_srai_epi32(_mm_unpacklo_epi16(v, v), 16);
        const __m128i hi = _mm_srai_epi32(_mm_unpackhi_epi16(v, v), 16);
        _mm_storeu_ps(out + i, _mm_mul_ps(_mm_cvtepi32_ps(lo), scale));
        _mm_storeu_ps(out + i + 4, _mm_mul_ps(_mm_cvtepi32_ps(hi), scale));
      }
    } else {
      for (; i + 4 <= last; i += 4) {
        // Each 32-bit lane holds one frame: left in its low half.
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + 4 * size_t{i}));
        const __m128i left = _mm_srai_epi32(_mm_slli_epi32(v, 16), 16);
        const __m128i right = _mm_srai_epi32(v, 16);
        _mm_storeu_ps(out + i, _mm_mul_ps(_mm_cvtepi32_ps(left), scale));
        _mm_storeu_ps(out + frames + i, _mm_mul_ps(_mm_cvtepi32_ps(right), scale));
      }
    }
    return i;
  }
#endif

  // One sample of the buffer's bytes as -1..1.
  float ReadSample(const uint8_t* p) const {
    if (layout_.isFloat) {
      float f;
      std::memcpy(&f, p, sizeof f);
      if (!(f == f)) return 0.0f;  // NaN
      return f < -1.0f ? -1.0f : (f > 1.0f ? 1.0f : f);
    }
    switch (layout_.bytesPerSample) {
      case 1:
        return (static_cast<int>(p[0]) - 128) / 128.0f;
      case 2:
        return static_cast<int16_t>(static_cast<uint16_t>(p[0] | (p[1] << 8))) / 32768.0f;
      case 3: {
        const uint32_t u = uint32_t{p[0]} << 8 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 24;
        return static_cast<float>(static_cast<int32_t>(u) >> 8) / 8388608.0f;
      }
      default: {
        const uint32_t u = uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
        return static_cast<float>(static_cast<double>(static_cast<int32_t>(u)) / 2147483648.0);
      }
    }
  }

  void ConvertFrames(uint32_t first, uint32_t last) {
    const int in = layout_.channels;
    const size_t frames = voice_.frames;
    const size_t sampleBytes = static_cast<size_t>(layout_.bytesPerSample);
    const uint8_t* d = data_.data();
    float* out = voice_.samples.data();
#if defined(__SSE2__)
    if (!layout_.isFloat && layout_.bytesPerSample == 2 && in <= 2 && format_.nBlockAlign == 2 * in) {
      first = Convert16(first, last);
    }
#endif
    for (size_t i = first; i < last; ++i) {
      const uint8_t* frame = d + i * format_.nBlockAlign;
      if (in <= 2) {
        for (int c = 0; c < in; ++c) out[c * frames + i] = ReadSample(frame + c * sampleBytes);
        continue;
      }
      float l = 0.0f, r = 0.0f;
      for (int c = 0; c < in; ++c) {
        const float v = ReadSample(frame + c * sampleBytes);
        l += layout_.left[c] * v;
        r += layout_.right[c] * v;
      }
      out[i] = l;
      out[frames + i] = r;
    }
  }


  void UpdateGains() {
    const float master = Attenuation(volume_);
    voice_.gainLeft = master * (pan_ > 0 ? Attenuation(-pan_) : 1.0f);
    voice_.gainRight = master * (pan_ < 0 ? Attenuation(pan_) : 1.0f);
  }

  std::shared_ptr<DeviceCore> core_;
  DWORD flags_;
  DWORD bytes_;
  BufferFormat layout_;
  WAVEFORMATEX format_;
  bool extensible_ = false;
  platform::LargeBuffer<uint8_t> data_;
  Voice voice_;
  LONG volume_ = 0;
  LONG pan_ = 0;
  DWORD frequency_ = 0;
  bool kernelReady_ = false;  // game thread only
};

// The primary buffer stands for the device's output; the program can set
// its format and start or stop it, but the mixer always runs in the output
// format and the buffer cannot be written.
class PrimaryBuffer final : public platform::ComObject<IDirectSoundBuffer, IID_IDirectSoundBuffer> {
 public:
  PrimaryBuffer(std::shared_ptr<DeviceCore> core, DWORD flags) : core_(std::move(core)), flags_(flags) {}

  void FinalRelease() override {
    {
      auto lock = core_->mixer.Acquire();
      if (core_->primary == this) core_->primary = nullptr;
    }
    delete this;
  }

  HRESULT STDMETHODCALLTYPE GetCaps(LPDSBCAPS caps) override {
    if (caps == nullptr || caps->dwSize != sizeof(DSBCAPS)) return DSERR_INVALIDPARAM;
    caps->dwFlags = flags_ | DSBCAPS_LOCSOFTWARE;
    caps->dwBufferBytes = static_cast<DWORD>(core_->mixer.Rate() / 10 * kOutputChannels * 2);
    caps->dwUnlockTransferRate = 0;
    caps->dwPlayCpuOverhead = 0;
    return DS_OK;
  }
  HRESULT STDMETHODCALLTYPE GetCurrentPosition(LPDWORD, LPDWORD) override { return DSERR_PRIOLEVELNEEDED; }
  HRESULT STDMETHODCALLTYPE GetFormat(LPWAVEFORMATEX format, DWORD allocated, LPDWORD written) override {
    if (format == nullptr && written == nullptr) return DSERR_INVALIDPARAM;
    if (format != nullptr) {
      if (allocated < sizeof(WAVEFORMATEX)) return DSERR_INVALIDPARAM;
      auto lock = core_->mixer.Acquire();
      *format = core_->primaryFormat;
    }
    if (written != nullptr) *written = sizeof(WAVEFORMATEX);
    return DS_OK;
  }
  HRESULT STDMETHODCALLTYPE GetVolume(LPLONG v) override { return v == nullptr ? DSERR_INVALIDPARAM : DSERR_CONTROLUNAVAIL; }
  HRESULT STDMETHODCALLTYPE GetPan(LPLONG p) override { return p == nullptr ? DSERR_INVALIDPARAM : DSERR_CONTROLUNAVAIL; }
  HRESULT STDMETHODCALLTYPE GetFrequency(LPDWORD f) override {
    return f == nullptr ? DSERR_INVALIDPARAM : DSERR_CONTROLUNAVAIL;
  }
  HRESULT STDMETHODCALLTYPE GetStatus(LPDWORD status) override {
    if (status == nullptr) return DSERR_INVALIDPARAM;
    *status = playing_ ? (DSBSTATUS_PLAYING | DSBSTATUS_LOOPING) : 0;
    return DS_OK;
  }
  HRESULT STDMETHODCALLTYPE Initialize(LPDIRECTSOUND, LPCDSBUFFERDESC) override { return DSERR_ALREADYINITIALIZED; }
  HRESULT STDMETHODCALLTYPE Lock(DWORD, DWORD, LPVOID*, LPDWORD, LPVOID*, LPDWORD, DWORD) override {
    if (host::ShouldFail("IDirectSoundBuffer.Lock")) return DSERR_BUFFERLOST;
    return DSERR_PRIOLEVELNEEDED;  // writing the primary buffer is not offered
  }
  HRESULT STDMETHODCALLTYPE Play(DWORD reserved, DWORD priority, DWORD flags) override {
    if (reserved != 0 || priority != 0 || (flags & DSBPLAY_LOOPING) == 0) return DSERR_INVALIDPARAM;
    playing_ = true;
    return DS_OK;
  }
  HRESULT STDMETHODCALLTYPE SetCurrentPosition(DWORD) override { return DSERR_INVALIDCALL; }
  HRESULT STDMETHODCALLTYPE SetFormat(LPCWAVEFORMATEX format) override {
    if (host::ShouldFail("IDirectSoundBuffer.SetFormat")) return DSERR_GENERIC;
    if (format == nullptr) return DSERR_INVALIDPARAM;
    const DWORD level = core_->cooperativeLevel;
    if (level < DSSCL_PRIORITY) return DSERR_PRIOLEVELNEEDED;
    WAVEFORMATEX copy{};
    std::memcpy(&copy, format, sizeof copy);
    if (HRESULT hr = CheckPcmFormat(copy); FAILED(hr)) return hr;
    copy.cbSize = 0;
    auto lock = core_->mixer.Acquire();
    core_->primaryFormat = copy;
    return DS_OK;
  }
  HRESULT STDMETHODCALLTYPE SetVolume(LONG) override { return DSERR_CONTROLUNAVAIL; }
  HRESULT STDMETHODCALLTYPE SetPan(LONG) override { return DSERR_CONTROLUNAVAIL; }
  HRESULT STDMETHODCALLTYPE SetFrequency(DWORD) override { return DSERR_CONTROLUNAVAIL; }
  HRESULT STDMETHODCALLTYPE Stop() override {
    playing_ = false;
    return DS_OK;
  }
  HRESULT STDMETHODCALLTYPE Unlock(LPVOID, DWORD, LPVOID, DWORD) override { return DSERR_PRIOLEVELNEEDED; }
  HRESULT STDMETHODCALLTYPE Restore() override { return DS_OK; }

 private:
  ~PrimaryBuffer() override = default;

  std::shared_ptr<DeviceCore> core_;
  DWORD flags_;
  std::atomic<bool> playing_{false};
};

}  // namespace

HRESULT CheckPcmFormat(const WAVEFORMATEX& f) {
  if (f.wFormatTag != WAVE_FORMAT_PCM) return DSERR_BADFORMAT;
  if (f.nChannels != 1 && f.nChannels != 2) return DSERR_BADFORMAT;
  if (f.wBitsPerSample != 8 && f.wBitsPerSample != 16) return DSERR_BADFORMAT;
  if (f.nSamplesPerSec < DSBFREQUENCY_MIN || f.nSamplesPerSec > DSBFREQUENCY_MAX) return DSERR_BADFORMAT;
  if (f.nBlockAlign != f.nChannels * f.wBitsPerSample / 8) return DSERR_BADFORMAT;
  if (f.nAvgBytesPerSec != f.nSamplesPerSec * f.nBlockAlign) return DSERR_BADFORMAT;
  return DS_OK;
}

namespace {

// Speaker positions of the channels when the format names none.
DWORD DefaultChannelMask(int channels) {
  constexpr DWORD kFront = SPEAKER_FRONT_LEFT | SPEAKER_FRONT_RIGHT;
  constexpr DWORD kBack = SPEAKER_BACK_LEFT | SPEAKER_BACK_RIGHT;
  switch (channels) {
    case 1:
      return SPEAKER_FRONT_CENTER;
    case 2:
      return kFront;
    case 3:
      return kFront | SPEAKER_FRONT_CENTER;
    case 4:
      return kFront | kBack;
    case 5:
      return kFront | SPEAKER_FRONT_CENTER | kBack;
    case 6:
      return kFront | SPEAKER_FRONT_CENTER | SPEAKER_LOW_FREQUENCY | kBack;
    case 7:
      return kFront | SPEAKER_FRONT_CENTER | SPEAKER_LOW_FREQUENCY | kBack | SPEAKER_BACK_CENTER;
    default:
      return kFront | SPEAKER_FRONT_CENTER | SPEAKER_LOW_FREQUENCY | kBack | SPEAKER_SIDE_LEFT | SPEAKER_SIDE_RIGHT;
  }
}

// Left and right weights of each channel: speakers on the left go left,
// on the right go right, centred ones (and channels the mask leaves without
// a position) to both at -3 dB, the low-frequency channel nowhere. Both
// sides are then scaled by the larger side's total, so channels all at full
// scale cannot clip.
void MixDownWeights(int channels, DWORD mask, BufferFormat* out) {
  constexpr DWORD kLeft = SPEAKER_FRONT_LEFT | SPEAKER_BACK_LEFT | SPEAKER_FRONT_LEFT_OF_CENTER | SPEAKER_SIDE_LEFT |
                          SPEAKER_TOP_FRONT_LEFT | SPEAKER_TOP_BACK_LEFT;
  constexpr DWORD kRight = SPEAKER_FRONT_RIGHT | SPEAKER_BACK_RIGHT | SPEAKER_FRONT_RIGHT_OF_CENTER |
                           SPEAKER_SIDE_RIGHT | SPEAKER_TOP_FRONT_RIGHT | SPEAKER_TOP_BACK_RIGHT;
  constexpr float kHalfPower = 0.70710678f;
  if (channels == 1) {
    out->left[0] = out->right[0] = 1.0f;
    return;
  }
  if (mask == 0) mask = DefaultChannelMask(channels);
  float sumLeft = 0.0f, sumRight = 0.0f;
  for (int c = 0; c < channels; ++c) {
    const DWORD speaker = mask & (~mask + 1);  // the lowest position left
    mask &= mask - 1;
    float l = kHalfPower, r = kHalfPower;
    if (speaker & kLeft) {
      l = 1.0f, r = 0.0f;
    } else if (speaker & kRight) {
      l = 0.0f, r = 1.0f;
    } else if (speaker == SPEAKER_LOW_FREQUENCY) {
      l = r = 0.0f;
    }
    out->left[c] = l;
    out->right[c] = r;
    sumLeft += l;
    sumRight += r;
  }
  const float scale = std::max(sumLeft, sumRight);
  if (channels > 2 && scale > 1.0f) {
    for (int c = 0; c < channels; ++c) {
      out->left[c] /= scale;
      out->right[c] /= scale;
    }
  }
}

}  // namespace

HRESULT CheckBufferFormat(const WAVEFORMATEX* format, BufferFormat* out) {
  if (format == nullptr || out == nullptr) return DSERR_INVALIDPARAM;
  *out = BufferFormat{};
  WAVEFORMATEX& f = out->given.Format;
  std::memcpy(&f, format, sizeof f);
  WORD tag = f.wFormatTag;
  DWORD mask = 0;
  if (tag == WAVE_FORMAT_EXTENSIBLE) {
    if (f.cbSize < sizeof(WAVEFORMATEXTENSIBLE) - sizeof(WAVEFORMATEX)) return DSERR_INVALIDPARAM;
    std::memcpy(&out->given, format, sizeof(WAVEFORMATEXTENSIBLE));
    const WAVEFORMATEXTENSIBLE& x = out->given;
    if (x.SubFormat == KSDATAFORMAT_SUBTYPE_PCM) {
      tag = WAVE_FORMAT_PCM;
    } else if (x.SubFormat == KSDATAFORMAT_SUBTYPE_IEEE_FLOAT) {
      tag = WAVE_FORMAT_IEEE_FLOAT;
    } else {
      return DSERR_BADFORMAT;
    }
    if (x.Samples.wValidBitsPerSample > f.wBitsPerSample) return DSERR_BADFORMAT;
    // A mask naming fewer speakers than channels leaves the rest unplaced;
    // one naming more is not a layout of these channels.
    if (std::popcount(x.dwChannelMask) > f.nChannels) return DSERR_BADFORMAT;
    mask = x.dwChannelMask;
  }
  if (tag == WAVE_FORMAT_PCM) {
    if (f.wBitsPerSample != 8 && f.wBitsPerSample != 16 && f.wBitsPerSample != 24 && f.wBitsPerSample != 32)
      return DSERR_BADFORMAT;
  } else if (tag == WAVE_FORMAT_IEEE_FLOAT) {
    if (f.wBitsPerSample != 32) return DSERR_BADFORMAT;
    out->isFloat = true;
  } else {
    return DSERR_BADFORMAT;
  }
  if (f.nChannels < 1 || f.nChannels > 8) return DSERR_BADFORMAT;
  if (f.nSamplesPerSec < DSBFREQUENCY_MIN || f.nSamplesPerSec > DSBFREQUENCY_MAX) return DSERR_BADFORMAT;
  if (f.nBlockAlign != f.nChannels * f.wBitsPerSample / 8) return DSERR_BADFORMAT;
  if (f.nAvgBytesPerSec != f.nSamplesPerSec * f.nBlockAlign) return DSERR_BADFORMAT;
  out->bytesPerSample = f.wBitsPerSample / 8;
  out->channels = f.nChannels;
  MixDownWeights(f.nChannels, mask, out);
  return DS_OK;
}

HRESULT CreatePrimarySoundBuffer(const std::shared_ptr<DeviceCore>& core, DWORD flags, IDirectSoundBuffer** out) {
  auto lock = core->mixer.Acquire();
  if (core->primary != nullptr) {
    core->primary->AddRef();
    *out = core->primary;
    return DS_OK;
  }
  auto* buffer = new (std::nothrow) PrimaryBuffer(core, flags);
  if (buffer == nullptr) return DSERR_OUTOFMEMORY;
  core->primary = buffer;
  *out = buffer;
  return DS_OK;
}

HRESULT CreateSecondarySoundBuffer(const std::shared_ptr<DeviceCore>& core, DWORD flags, DWORD bytes,
                                   const BufferFormat& format, IDirectSoundBuffer** out) {
  SecondaryBuffer* buffer = nullptr;
  try {
    buffer = new SecondaryBuffer(core, flags, bytes, format);
  } catch (...) {
    return DSERR_OUTOFMEMORY;
  }
  buffer->Register();
  *out = buffer;
  return DS_OK;
}

}  // namespace dsound

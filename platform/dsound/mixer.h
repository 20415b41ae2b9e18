// mixer.h — the software mixer behind the sound device.
//
// Provides: dsound::Voice (one secondary buffer's samples and play state),
// dsound::Mixer (sums every playing voice into the output format, 16-bit
// stereo at 44100 Hz or the rate the host asks for, with windowed-sinc
// resampling and saturation) and the resampling kernels.
// Depends on: host/host.h (AudioSource, the clock), windows.h types.
//
// Threading: the host pulls Mix from its audio thread (SDL) or from its
// virtual clock (headless). Every read or write of a voice's play state or
// samples happens under the mixer's mutex, taken through Acquire().
// On the host's silent output (or when another device already owns the
// output) the mixer plays into silence: Acquire() first moves every voice
// on by the host clock's elapsed time, so buffers still end, loop and
// report positions. A host with no output at all gets no mixer running.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "host/host.h"
#include "platform/win32/large_buffer.h"

namespace dsound {

constexpr int kOutputRate = 44100;  // unless the host asks for another
constexpr int kOutputChannels = 2;
// The output rates a host may ask for; outside them the mixer keeps
// kOutputRate.
constexpr int kMinOutputRate = 8000;
constexpr int kMaxOutputRate = 192000;
constexpr int kPhaseBits = 11;
constexpr int kPhases = 1 << kPhaseBits;

// A polyphase windowed-sinc low-pass, band-limited to the lower of the
// source's and the output's Nyquist frequency. For a position i + phase /
// kPhases, coeffs[phase * taps + t] weighs source frame (i - half + 1 + t);
// every phase sums to 1. Rows are padded with zeros to a multiple of 4 taps
// so they can be summed four at a time.
struct Kernel {
  int half = 0;  // the window reaches `half` frames either side
  int taps = 0;  // row length, >= 2 * half
  std::vector<float> coeffs;
};

// Kernel for a source rate played at `outputRate`, built on first use and
// kept for the process. Null when the two rates are equal (samples are then
// taken as they are).
std::shared_ptr<const Kernel> KernelForRate(DWORD rate, int outputRate);

struct Voice {
  int channels = 1;
  uint32_t frames = 0;
  platform::LargeBuffer<float> samples;  // -1..1, planar: channel c at [c * frames]

  bool playing = false;
  bool looping = false;
  uint64_t position = 0;  // frames, 32.32 fixed point
  uint64_t step = 0;      // source frames per output frame, 32.32
  float gainLeft = 1.0f;
  float gainRight = 1.0f;
  std::shared_ptr<const Kernel> kernel;

  // Sets the step for playing `rate` frames a second at `outputRate`. The
  // kernel is attached separately (it is built outside the mixer's lock,
  // and only once the voice is played).
  void SetStep(DWORD rate, int outputRate);
  uint32_t Frame() const { return static_cast<uint32_t>(position >> 32); }
};

// Adds `frames` output frames of `v` to `acc` (interleaved stereo floats)
// and moves it on; a voice played once stops at its end and rewinds.
void RenderVoice(Voice& v, float* acc, int frames);
// Moves `v` on by `frames` output frames without producing sound.
void AdvanceVoice(Voice& v, uint64_t frames);

class Mixer : public host::AudioSource {
 public:
  Mixer() = default;
  ~Mixer() override;
  Mixer(const Mixer&) = delete;
  Mixer& operator=(const Mixer&) = delete;

  // Opens the host's audio output, or the silent sink when the host chose
  // it (or another device holds the output). False when the host has no
  // output to open: then there is no sound device.
  bool Start();
  // Closes the output; every voice stops. Later calls play into silence.
  void Shutdown();
  bool HasOutput() const { return opened_; }
  // Output frames a second: kOutputRate, or what the host asked for when
  // Start opened its output. Fixed from then on; voices step by it.
  int Rate() const { return rate_; }

  // Takes the mutex (after catching up the silent sink with the clock).
  std::unique_lock<std::mutex> Acquire();
  // Voice registry; the caller holds Acquire().
  void AddLocked(Voice* v);
  void RemoveLocked(Voice* v);

  void Mix(int16_t* out, int frames) override;

 private:
  void MixLocked(int16_t* out, int frames);
  uint64_t ClockFrames() const;

  std::mutex mutex_;
  std::vector<Voice*> voices_;
  std::vector<float> accumulator_;
  bool opened_ = false;
  int rate_ = kOutputRate;
  host::Host* output_ = nullptr;  // the host whose output we opened
  std::atomic<bool> silent_{true};
  uint64_t silentFrames_ = 0;  // output frames the silent sink has played
};

}  // namespace dsound

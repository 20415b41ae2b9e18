// page_audio.h — the browser host's sound blocks, as Web Audio takes them.
//
// Provides: the size of the blocks the page mixes at a given rate; the
// conversion of the mixer's 16-bit frames to the two channels of floats an
// AudioBuffer holds (with the block's peak, which the page reports so the
// browser tests can tell sound from silence); and the count of the frames
// the mixer owes the clock while the page plays nothing (before the first
// gesture, while it is hidden), so the cues keep time.
// Depends on: nothing of the browser, so it is checked natively.
#pragma once

#include <cstdint>

namespace host::web {

// The rate the browser host mixes at: the cues' own, so they need no
// conversion and the page mixes half the frames it would at 44100 Hz.
constexpr int kPageAudioRate = 22050;
// Most frames the page may ask for at once.
constexpr int kMaxPageBlockFrames = 16384;

// Frames of a block of about 186 ms at `rate` (4096 at 22050 Hz), in whole
// render quanta (128 frames) of Web Audio, within 128..kMaxPageBlockFrames.
int PageBlockFrames(int rate);

// Converts `frames` frames of `channels` (1 or 2) interleaved 16-bit samples
// to floats in -1..1 in two planes: the left channel in out[0, frames), the
// right in out[frames, 2 * frames) (a mono frame on both). Returns the
// largest magnitude among the samples, 0..32768.
int ToPageSamples(const int16_t* mixed, int channels, int frames, float* out);

// The frames of sound due by the clock while nobody plays them: from the
// moment Hold is called, `rate` frames a second, less the frames already
// mixed ahead of that moment. The host mixes and drops what Take returns.
class ClockDebt {
 public:
  // Starts counting at `nowMs`; `aheadFrames` were mixed for the time after it.
  void Hold(uint64_t nowMs, int rate, uint64_t aheadFrames);
  // Frames due by `nowMs` and not yet taken (0 before Hold), now counted as
  // taken.
  uint64_t Take(uint64_t nowMs);

 private:
  bool holding_ = false;
  uint64_t sinceMs_ = 0;
  uint64_t rate_ = 0;
  uint64_t taken_ = 0;
};

}  // namespace host::web

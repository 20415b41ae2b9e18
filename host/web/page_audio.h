// page_audio.h — the browser host's sound blocks, as Web Audio takes them.
//
// Provides: the size of the blocks the page mixes at a given rate, and the
// conversion of the mixer's 16-bit frames to the interleaved stereo floats
// the page posts to its audio thread (with the block's peak, which the page
// reports so the browser tests can tell sound from silence).
// Depends on: nothing of the browser, so it is checked natively.
#pragma once

#include <cstdint>

namespace host::web {

// The rate the browser host mixes at: the cues' own, so they need no
// conversion and the page mixes half the frames it would at 44100 Hz.
constexpr int kPageAudioRate = 22050;
// Most frames the page may ask for at once.
constexpr int kMaxPageBlockFrames = 16384;

// Frames of a block of about 93 ms at `rate` (2048 at 22050 Hz), in whole
// render quanta (128 frames) of Web Audio, within 128..kMaxPageBlockFrames.
int PageBlockFrames(int rate);

// Converts `frames` frames of `channels` (1 or 2) interleaved 16-bit samples
// to interleaved stereo floats in -1..1 (a mono frame on both sides) into
// `out` (2 * frames floats). Returns the largest magnitude among the
// samples, 0..32768.
int ToPageSamples(const int16_t* mixed, int channels, int frames, float* out);

}  // namespace host::web

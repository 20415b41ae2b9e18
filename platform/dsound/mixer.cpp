// mixer.cpp — resampling, summing and the host audio hook-up.
#include "platform/dsound/mixer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <numbers>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace dsound {
namespace {

// Half-width of the kernel in source frames when upsampling; widened in
// proportion when downsampling so the transition band keeps its width
// relative to the output, up to a cap that bounds the cost for 200 kHz
// sources. A Kaiser window with beta 6 gives about 60 dB of stop band; with
// 24 taps the transition runs from 0.425 to 0.575 of the lower rate, so
// images and aliases of content below 0.425 land in the stop band.
constexpr int kHalfTaps = 12;
constexpr int kMaxHalfTaps = 48;
constexpr double kBeta = 6.0;

double BesselI0(double x) {
  const double q = x * x / 4.0;
  double sum = 1.0;
  double term = 1.0;
  for (int k = 1; k < 40; ++k) {
    term *= q / (static_cast<double>(k) * k);
    sum += term;
    if (term < sum * 1e-16) break;
  }
  return sum;
}

// Kernels depend on the rate only through the ratio to the output rate,
// which is kept in steps of 1/kRatioSteps (rounded down, so the cut-off never
// rises above the output's Nyquist frequency). Every upsampling rate shares
// one kernel, and at most kRatioSteps kernels ever exist.
constexpr int kRatioSteps = 64;

int RatioKey(DWORD rate, int outputRate) {
  if (rate <= static_cast<DWORD>(outputRate)) return kRatioSteps;
  return std::max(1, static_cast<int>(static_cast<uint64_t>(outputRate) * kRatioSteps / rate));
}

std::shared_ptr<const Kernel> BuildKernel(int key) {
  const double ratio = static_cast<double>(key) / kRatioSteps;
  const int half = std::min(kMaxHalfTaps, static_cast<int>(std::ceil(kHalfTaps / ratio)));
  const int width = 2 * half;
  const int taps = (width + 3) / 4 * 4;
  const double cutoff = 0.5 * ratio;  // cycles per source frame
  const double norm = BesselI0(kBeta);
  auto k = std::make_shared<Kernel>();
  k->half = half;
  k->taps = taps;
  k->coeffs.assign(static_cast<size_t>(kPhases) * taps, 0.0f);
  const double pi = std::numbers::pi;
  std::vector<double> row(width);
  for (int p = 0; p < kPhases; ++p) {
    const double frac = static_cast<double>(p) / kPhases;
    double sum = 0.0;
    for (int t = 0; t < width; ++t) {
      const double x = (t - (half - 1)) - frac;  // distance from the position
      const double arg = 2.0 * cutoff * x;
      const double sinc = std::abs(arg) < 1e-12 ? 1.0 : std::sin(pi * arg) / (pi * arg);
      const double r = x / half;
      const double w = std::abs(r) >= 1.0 ? 0.0 : BesselI0(kBeta * std::sqrt(1.0 - r * r)) / norm;
      row[t] = sinc * w;
      sum += row[t];
    }
    for (int t = 0; t < width; ++t) k->coeffs[static_cast<size_t>(p) * taps + t] = static_cast<float>(row[t] / sum);
  }
  return k;
}

std::atomic<Mixer*> g_outputOwner{nullptr};

// Four lanes at a time; `taps` is a multiple of 4. Separate partial sums
// let the products run in parallel instead of one long dependency chain.
typedef float Lanes __attribute__((vector_size(16)));

inline Lanes Load(const float* p) {
  Lanes v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

inline float Dot(const float* c, const float* s, int taps) {
  Lanes a = {0, 0, 0, 0};
  Lanes b = {0, 0, 0, 0};
  int t = 0;
  for (; t + 8 <= taps; t += 8) {
    a += Load(c + t) * Load(s + t);
    b += Load(c + t + 4) * Load(s + t + 4);
  }
  if (t < taps) a += Load(c + t) * Load(s + t);
  a += b;
  return (a[0] + a[1]) + (a[2] + a[3]);
}

// Both channels of a stereo voice against one row of coefficients.
inline void Dot2(const float* c, const float* l, const float* r, int taps, float* outL, float* outR) {
  Lanes a = {0, 0, 0, 0};
  Lanes b = {0, 0, 0, 0};
  for (int t = 0; t < taps; t += 4) {
    const Lanes w = Load(c + t);
    a += w * Load(l + t);
    b += w * Load(r + t);
  }
  *outL = (a[0] + a[1]) + (a[2] + a[3]);
  *outR = (b[0] + b[1]) + (b[2] + b[3]);
}

}  // namespace

std::shared_ptr<const Kernel> KernelForRate(DWORD rate, int outputRate) {
  if (rate == static_cast<DWORD>(outputRate) || rate == 0 || outputRate <= 0) return nullptr;
  static std::mutex cacheMutex;
  static std::map<int, std::shared_ptr<const Kernel>> cache;
  const int key = RatioKey(rate, outputRate);
  std::lock_guard<std::mutex> lock(cacheMutex);
  auto& slot = cache[key];
  if (!slot) slot = BuildKernel(key);
  return slot;
}

void Voice::SetStep(DWORD rate, int outputRate) {
  step = outputRate > 0 ? (static_cast<uint64_t>(rate) << 32) / static_cast<uint64_t>(outputRate) : 0;
}

namespace {

// One voice's play state for one render, copied into locals so the stores
// into the accumulator cannot force it through memory on every frame.
struct VoiceView {
  uint64_t end;   // buffer length in 32.32 fixed point
  uint64_t step;  // source frames per output frame, 32.32
  int64_t n;      // source frames
  const float* left;
  const float* right;  // the left channel again for a mono voice
  float gainLeft;
  float gainRight;
  bool looping;
  bool stereo;
  const Kernel* k;  // null at the output rate
  int taps;
  int lead;  // taps before the sample the window is centred on
};

VoiceView ViewOf(const Voice& v) {
  VoiceView w;
  w.end = static_cast<uint64_t>(v.frames) << 32;
  w.step = v.step;
  w.n = v.frames;
  w.left = v.samples.data();
  w.stereo = v.channels == 2;
  w.right = w.stereo ? w.left + w.n : w.left;
  w.gainLeft = v.gainLeft;
  w.gainRight = v.gainRight;
  w.looping = v.looping;
  w.k = v.kernel.get();
  w.taps = w.k != nullptr ? w.k->taps : 0;
  w.lead = w.k != nullptr ? w.k->half - 1 : 0;
  return w;
}

// At the output rate: one sample a frame, to the end of the buffer or of the
// request. Returns the next output frame.
inline int MixUnfiltered(const VoiceView& v, uint64_t* at, float* acc, int j, int frames) {
  uint64_t position = *at;
  const int run = static_cast<int>(std::min<uint64_t>(frames - j, (v.end - position + v.step - 1) / v.step));
  for (int e = j + run; j < e; ++j) {
    const int64_t i = static_cast<int64_t>(position >> 32);
    acc[2 * j] += v.left[i] * v.gainLeft;
    acc[2 * j + 1] += v.right[i] * v.gainRight;
    position += v.step;
  }
  *at = position;
  return j;
}

// Resampled, while every position has its whole window inside the buffer.
// Returns the next output frame.
inline int MixInterior(const VoiceView& v, uint64_t* at, float* acc, int j, int frames) {
  uint64_t position = *at;
  const uint64_t limit = static_cast<uint64_t>(v.n - v.taps + v.lead + 1) << 32;
  const int run = static_cast<int>(std::min<uint64_t>(frames - j, (limit - position + v.step - 1) / v.step));
  const float* coeffs = v.k->coeffs.data();
  for (int e = j + run; j < e; ++j) {
    const uint32_t phase = static_cast<uint32_t>(position >> (32 - kPhaseBits)) & (kPhases - 1);
    const float* c = coeffs + static_cast<size_t>(phase) * v.taps;
    const int64_t from = static_cast<int64_t>(position >> 32) - v.lead;
    float l;
    float r;
    if (v.stereo) {
      Dot2(c, v.left + from, v.right + from, v.taps, &l, &r);
    } else {
      l = r = Dot(c, v.left + from, v.taps);
    }
    acc[2 * j] += l * v.gainLeft;
    acc[2 * j + 1] += r * v.gainRight;
    position += v.step;
  }
  *at = position;
  return j;
}

// Resampled near the edges, one frame: a looping voice reads round the end
// of its buffer, a voice played once hears silence outside it.
inline void MixEdgeFrame(const VoiceView& v, uint64_t position, int64_t first, float* out) {
  const uint32_t phase = static_cast<uint32_t>(position >> (32 - kPhaseBits)) & (kPhases - 1);
  const float* c = v.k->coeffs.data() + static_cast<size_t>(phase) * v.taps;
  float l = 0.0f;
  float r = 0.0f;
  for (int t = 0; t < v.taps; ++t) {
    int64_t idx = first + t;
    if (idx < 0 || idx >= v.n) {
      if (!v.looping) continue;
      idx %= v.n;
      if (idx < 0) idx += v.n;
    }
    l += c[t] * v.left[idx];
    r += c[t] * v.right[idx];
  }
  out[0] += l * v.gainLeft;
  out[1] += r * v.gainRight;
}

}  // namespace

void RenderVoice(Voice& voice, float* acc, int frames) {
  if (voice.frames == 0) {
    voice.playing = false;
    return;
  }
  const VoiceView v = ViewOf(voice);
  uint64_t position = voice.position;
  int j = 0;
  while (j < frames) {
    if (position >= v.end) {
      if (!v.looping) {
        voice.playing = false;
        voice.position = 0;
        return;
      }
      position %= v.end;
    }
    if (v.k == nullptr) {
      j = MixUnfiltered(v, &position, acc, j, frames);
      continue;
    }
    const int64_t first = static_cast<int64_t>(position >> 32) - v.lead;
    if (first >= 0 && first + v.taps <= v.n) {
      j = MixInterior(v, &position, acc, j, frames);
      continue;
    }
    MixEdgeFrame(v, position, first, acc + 2 * j);
    position += v.step;
    ++j;
  }
  voice.position = position;
}

void AdvanceVoice(Voice& v, uint64_t frames) {
  if (!v.playing || frames == 0) return;
  if (v.frames == 0) {
    v.playing = false;
    return;
  }
  using u128 = unsigned __int128;
  const u128 end = static_cast<u128>(v.frames) << 32;
  u128 p = static_cast<u128>(v.position) + static_cast<u128>(v.step) * frames;
  if (p >= end) {
    if (v.looping) {
      p %= end;
    } else {
      v.playing = false;
      p = 0;
    }
  }
  v.position = static_cast<uint64_t>(p);
}

Mixer::~Mixer() { Shutdown(); }

uint64_t Mixer::ClockFrames() const {
  host::Host* h = host::Current();
  if (h == nullptr) return 0;
  return h->NowMs() * static_cast<uint64_t>(rate_) / 1000;
}

bool Mixer::Start() {
  host::Host* h = host::Current();
  const int wanted = h != nullptr ? h->PreferredAudioRate() : 0;
  rate_ = wanted >= kMinOutputRate && wanted <= kMaxOutputRate ? wanted : kOutputRate;
  silentFrames_ = ClockFrames();
  if (h == nullptr || h->SilentAudioOutput()) return true;
  Mixer* expected = nullptr;
  if (!g_outputOwner.compare_exchange_strong(expected, this)) return true;  // shares the open output's silence
  host::AudioFormat format;
  format.rate = rate_;
  format.channels = kOutputChannels;
  silent_ = false;  // before the host may start pulling
  opened_ = h->OpenAudio(format, this);
  output_ = h;
  if (!opened_) {
    g_outputOwner = nullptr;
    output_ = nullptr;
    silent_ = true;
  }
  return opened_;
}

void Mixer::Shutdown() {
  if (opened_) {
    // Closing waits for the host's audio thread, so no Mix runs afterwards.
    // A host that is no longer the current one pulls from no one any more.
    if (output_ != nullptr && output_ == host::Current()) output_->CloseAudio();
    output_ = nullptr;
    opened_ = false;
    Mixer* self = this;
    g_outputOwner.compare_exchange_strong(self, nullptr);
  }
  std::lock_guard<std::mutex> lock(mutex_);
  silent_ = true;
  silentFrames_ = UINT64_MAX;  // no catching up once shut down
  for (Voice* v : voices_) v->playing = false;
}

std::unique_lock<std::mutex> Mixer::Acquire() {
  // Read the clock before locking: a host may pull audio from its clock.
  const bool silent = silent_;
  const uint64_t now = silent ? ClockFrames() : 0;
  std::unique_lock<std::mutex> lock(mutex_);
  if (silent && silent_ && silentFrames_ != UINT64_MAX && now > silentFrames_) {
    const uint64_t frames = now - silentFrames_;
    silentFrames_ = now;
    for (Voice* v : voices_) AdvanceVoice(*v, frames);
  }
  return lock;
}

void Mixer::AddLocked(Voice* v) { voices_.push_back(v); }

void Mixer::RemoveLocked(Voice* v) { voices_.erase(std::remove(voices_.begin(), voices_.end(), v), voices_.end()); }

void Mixer::Mix(int16_t* out, int frames) {
  if (out == nullptr || frames <= 0) return;
  std::lock_guard<std::mutex> lock(mutex_);
  MixLocked(out, frames);
}

void Mixer::MixLocked(int16_t* out, int frames) {
  const size_t count = static_cast<size_t>(frames) * kOutputChannels;
  if (accumulator_.size() < count) accumulator_.resize(count);
  float* acc = accumulator_.data();
  std::fill(acc, acc + count, 0.0f);
  for (Voice* v : voices_) {
    if (v->playing) RenderVoice(*v, acc, frames);
  }
  // Saturate instead of wrapping when the sum leaves the 16-bit range, then
  // round half away from zero. The sum is always finite (every sample is
  // within -1..1), so the vector minimum and maximum clamp exactly as the
  // comparisons do, without a branch on each sample's sign.
  size_t i = 0;
#if defined(__SSE2__)
  const __m128 scale = _mm_set1_ps(32768.0f), lo = _mm_set1_ps(-32768.0f), hi = _mm_set1_ps(32767.0f);
  const __m128 half = _mm_set1_ps(0.5f), zero = _mm_setzero_ps();
  auto convert = [&](const float* a) {
    __m128 x = _mm_min_ps(_mm_max_ps(_mm_mul_ps(_mm_loadu_ps(a), scale), lo), hi);
    const __m128 h = _mm_or_ps(half, _mm_and_ps(_mm_cmplt_ps(x, zero), _mm_set1_ps(-0.0f)));  // -0.5 below zero
    return _mm_cvttps_epi32(_mm_add_ps(x, h));
  };
  for (; i + 8 <= count; i += 8) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packs_epi32(convert(acc + i), convert(acc + i + 4)));
  }
#endif
  for (; i < count; ++i) {
    float x = acc[i] * 32768.0f;
    x = x < -32768.0f ? -32768.0f : (x > 32767.0f ? 32767.0f : x);
    out[i] = static_cast<int16_t>(static_cast<int32_t>(x + (x < 0.0f ? -0.5f : 0.5f)));
  }
}

}  // namespace dsound

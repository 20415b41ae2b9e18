#include "sounds.h"

#include "detmath.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <sstream>

namespace assetgen {
namespace {

constexpr double kTau = 2 * std::numbers::pi;

enum class Wave { Pulse, Triangle, Noise, Kick };

struct Note {
  Wave wave = Wave::Pulse;
  double start = 0;     // seconds
  double length = 0;    // seconds the key is held
  double freq = 440;
  double volume = 0.2;
  double pan = 0;       // -1 left .. 1 right
  double duty = 0.5;
  double attack = 0.005, decay = 0.08, sustain = 0.7, release = 0.05;
  double vibrato = 0;   // depth in semitones
  double slide = 0;     // semitones per second
};

double Midi(int n) { return 440.0 * dm::Exp2((n - 69) / 12.0); }

// "C5", "F#4", "Bb3" -> MIDI number; "-" is a rest (-1).
int ParsePitch(const std::string& s) {
  if (s == "-") return -1;
  static const int base[7] = {9, 11, 0, 2, 4, 5, 7};  // A..G
  int n = base[s[0] - 'A'];
  size_t i = 1;
  if (i < s.size() && s[i] == '#') n++, i++;
  else if (i < s.size() && s[i] == 'b') n--, i++;
  int octave = std::stoi(s.substr(i));
  return n + 12 * (octave + 1);
}

struct Step {
  int pitch;
  int sixteenths;
};

// "E5:4 G5:2 -:2" -> steps
std::vector<Step> ParseLine(const std::string& text) {
  std::vector<Step> out;
  std::string spaced = text;
  std::replace(spaced.begin(), spaced.end(), '|', ' ');
  std::istringstream in(spaced);
  std::string tok;
  while (in >> tok) {
    size_t colon = tok.find(':');
    out.push_back({ParsePitch(tok.substr(0, colon)), std::stoi(tok.substr(colon + 1))});
  }
  return out;
}

double PolyBlep(double t, double dt) {
  if (t < dt) {
    t /= dt;
    return t + t - t * t - 1;
  }
  if (t > 1 - dt) {
    t = (t - 1) / dt;
    return t * t + t + t + 1;
  }
  return 0;
}

double Envelope(const Note& n, double t) {
  double level;
  if (t < n.attack) level = t / n.attack;
  else if (t < n.attack + n.decay) level = 1 - (1 - n.sustain) * (t - n.attack) / n.decay;
  else level = n.sustain;
  if (t > n.length) {
    double r = (t - n.length) / n.release;
    level *= r >= 1 ? 0 : (1 - r) * (1 - r);
  }
  return level;
}

class Mixer {
 public:
  Mixer(int rate, double seconds, bool loop)
      : rate_(rate), loop_(loop), left_(size_t(std::llround(seconds * rate)), 0.0), right_(left_.size(), 0.0) {}

  void Add(const Note& n) {
    const long first = std::lround(n.start * rate_);
    const long count = long(std::ceil((n.length + n.release) * rate_));
    const long total = long(left_.size());
    double phase = 0;
    uint32_t lfsr = 1;
    double held = 1;
    const double gl = n.volume * std::sqrt((1 - n.pan) / 2), gr = n.volume * std::sqrt((1 + n.pan) / 2);
    for (long i = 0; i < count; ++i) {
      long at = first + i;
      if (at >= total) {
        if (!loop_) break;
        at %= total;  // a loop's tail sounds over its own beginning
      }
      double t = double(i) / rate_;
      double f = n.freq * dm::Exp2((n.slide * t + n.vibrato * dm::Sin(kTau * 5.5 * t) * std::min(1.0, t * 4)) / 12);
      double dt = f / rate_;
      double v = 0;
      switch (n.wave) {
        case Wave::Pulse:
          // centred on zero: a narrow pulse otherwise carries a large offset
          v = (phase < n.duty ? 1.0 : -1.0) + PolyBlep(phase, dt) - PolyBlep(std::fmod(phase + 1 - n.duty, 1.0), dt) -
              (2 * n.duty - 1);
          break;
        case Wave::Triangle:
          v = 4 * std::abs(phase - 0.5) - 1;
          break;
        case Wave::Noise:
          v = held;
          break;
        case Wave::Kick:
          v = dm::Sin(kTau * phase);
          break;
      }
      phase += dt;
      if (phase >= 1) {
        phase -= 1;
        if (n.wave == Wave::Noise) {
          uint32_t bit = (lfsr ^ (lfsr >> 1)) & 1;
          lfsr = (lfsr >> 1) | (bit << 14);
          held = (lfsr & 1) ? 1.0 : -1.0;
        }
      }
      double e = Envelope(n, t) * v;
      left_[size_t(at)] += e * gl;
      right_[size_t(at)] += e * gr;
    }
  }

  // Smooths the edges a little; for a loop the filter runs round twice so
  // the end flows into the start.
  std::vector<int16_t> Render(int channels, double cutoff) {
    const double a = 1 - dm::Exp(-kTau * cutoff / rate_);
    size_t n = left_.size();
    std::vector<double> l(n), r(n);
    double sl = 0, sr = 0;
    for (int pass = 0; pass < (loop_ ? 2 : 1); ++pass)
      for (size_t i = 0; i < n; ++i) {
        sl += a * (left_[i] - sl);
        sr += a * (right_[i] - sr);
        l[i] = sl, r[i] = sr;
      }
    std::vector<int16_t> out;
    out.reserve(n * size_t(channels));
    auto q = [](double v) { return int16_t(std::lround(dm::Tanh(v) * 30000.0)); };
    for (size_t i = 0; i < n; ++i) {
      if (channels == 1) out.push_back(q((l[i] + r[i]) * 0.5));
      else out.push_back(q(l[i])), out.push_back(q(r[i]));
    }
    return out;
  }

 private:
  int rate_;
  bool loop_;
  std::vector<double> left_, right_;
};

struct Track {
  std::string notes;
  Note style;
  int transpose = 0;
};

// Lays a melody line onto the mixer, one note per step, with the style's
// shape; each note is held for `legato` of its step.
void Sequence(Mixer& m, const Track& tr, double sixteenth, double legato = 0.85) {
  double t = 0;
  for (const Step& s : ParseLine(tr.notes)) {
    if (s.pitch >= 0) {
      Note n = tr.style;
      n.start = t + tr.style.start;
      n.length = s.sixteenths * sixteenth * legato;
      n.freq = Midi(s.pitch + tr.transpose);
      m.Add(n);
    }
    t += s.sixteenths * sixteenth;
  }
}

struct Chord {
  std::string root;  // bass note name, e.g. "A2"
  std::vector<int> tones;  // semitones above the root for the arpeggio
};

std::vector<Chord> Chords(const std::string& names) {
  std::vector<Chord> out;
  std::istringstream in(names);
  std::string c;
  while (in >> c) {
    bool minor = c.back() == 'm';
    std::string root = minor ? c.substr(0, c.size() - 1) : c;
    out.push_back({root + "2", minor ? std::vector<int>{0, 3, 7, 12} : std::vector<int>{0, 4, 7, 12}});
  }
  return out;
}

void Drums(Mixer& m, int bars, double sixteenth, bool full) {
  for (int bar = 0; bar < bars; ++bar)
    for (int s = 0; s < 16; ++s) {
      double t = (bar * 16 + s) * sixteenth;
      if (full && (s == 0 || s == 8 || (s == 10 && bar % 2 == 1))) {
        Note k{Wave::Kick, t, 0.09, 150, 0.6, 0, 0.5, 0.002, 0.12, 0.0, 0.02};
        k.slide = -180;  // the thump: a fast fall of about an octave and a half
        m.Add(k);
      }
      if (full && (s == 4 || s == 12)) m.Add({Wave::Noise, t, 0.08, 3200, 0.16, 0.1, 0.5, 0.001, 0.09, 0.0, 0.02});
      if (s % 2 == 0 && (full || s % 4 == 2))
        m.Add({Wave::Noise, t, 0.02, 12000, full ? 0.05 : 0.035, -0.25, 0.5, 0.001, 0.03, 0.0, 0.01});
    }
}

void BassAndArp(Mixer& m, const std::vector<Chord>& chords, double sixteenth, double arpVolume, bool driving) {
  for (size_t bar = 0; bar < chords.size(); ++bar) {
    int root = ParsePitch(chords[bar].root);
    for (int s = 0; s < 16; s += 2) {
      Note b{Wave::Triangle, (bar * 16 + size_t(s)) * sixteenth, sixteenth * 1.6, Midi(root + (driving && s % 4 == 2 ? 12 : 0)),
             0.42, 0, 0.5, 0.004, 0.1, 0.75, 0.03};
      if (!driving && s % 4 != 0) continue;
      if (!driving) b.length = sixteenth * 3.4;
      m.Add(b);
    }
    for (int s = 0; s < 16; ++s) {
      const std::vector<int>& tones = chords[bar].tones;
      Note a{Wave::Pulse, (bar * 16 + size_t(s)) * sixteenth, sixteenth * 0.6, Midi(root + 24 + tones[size_t(s) % tones.size()]),
             arpVolume, 0.45, 0.125, 0.003, 0.05, 0.5, 0.03};
      m.Add(a);
    }
  }
}

std::vector<int16_t> TitleMusic(int rate) {
  const double sixteenth = 60.0 / 112 / 4;
  const int bars = 8;
  Mixer m(rate, bars * 16 * sixteenth, true);
  Note lead{Wave::Pulse, 0, 0, 0, 0.24, -0.3, 0.25, 0.01, 0.12, 0.65, 0.12};
  lead.vibrato = 0.12;
  Sequence(m, {"E5:4 G5:4 C6:4 G5:4 | A5:6 G5:2 E5:4 C5:4 | F5:4 A5:4 C6:4 A5:4 | G5:6 F5:2 E5:4 D5:4 |"
               "E5:4 G5:4 C6:4 E6:4 | D6:6 C6:2 A5:4 E5:4 | F5:4 A5:2 G5:2 F5:4 D5:4 | G5:4 B4:4 D5:4 G5:2 -:2",
               lead},
           sixteenth);
  // a soft echo of the lead, a dotted eighth behind, on the other side
  Note echo = lead;
  echo.volume = 0.08, echo.pan = 0.5, echo.start = 3 * sixteenth;
  Sequence(m, {"E5:4 G5:4 C6:4 G5:4 | A5:6 G5:2 E5:4 C5:4 | F5:4 A5:4 C6:4 A5:4 | G5:6 F5:2 E5:4 D5:4 |"
               "E5:4 G5:4 C6:4 E6:4 | D6:6 C6:2 A5:4 E5:4 | F5:4 A5:2 G5:2 F5:4 D5:4 | G5:4 B4:4 D5:4 G5:2 -:2",
               echo},
           sixteenth);
  BassAndArp(m, Chords("C Am F G C Am F G"), sixteenth, 0.07, false);
  Drums(m, bars, sixteenth, false);
  return m.Render(2, 7000);
}

std::vector<int16_t> GameMusic(int rate) {
  const double sixteenth = 60.0 / 150 / 4;
  const int bars = 16;
  Mixer m(rate, bars * 16 * sixteenth, true);
  Note lead{Wave::Pulse, 0, 0, 0, 0.22, 0, 0.5, 0.004, 0.08, 0.6, 0.04};
  lead.vibrato = 0.08;
  Sequence(m, {"A4:2 C5:2 E5:2 A5:2 G5:2 E5:2 C5:2 E5:2 | F5:3 E5:1 D5:2 C5:2 A4:4 C5:4 |"
               "G4:2 C5:2 E5:2 G5:2 E5:4 D5:2 C5:2 | D5:3 E5:1 D5:2 B4:2 G4:8 |"
               "A4:2 C5:2 E5:2 A5:2 B5:2 A5:2 G5:2 E5:2 | F5:2 A5:2 C6:4 A5:2 F5:2 E5:2 D5:2 |"
               "D5:2 G5:2 B5:4 A5:2 G5:2 F5:2 D5:2 | E5:4 G#5:4 B5:4 G#5:2 E5:2 |"
               "C6:4 A5:4 F5:4 A5:4 | B5:4 G5:4 D5:4 G5:4 | E5:2 G5:2 B5:2 E6:2 D6:4 B5:4 | C6:6 B5:2 A5:8 |"
               "A5:2 G5:2 F5:2 E5:2 F5:4 A5:4 | G5:2 F5:2 E5:2 D5:2 E5:4 G5:4 | G#5:4 B5:4 E6:4 D6:4 |"
               "B5:2 A5:2 G#5:2 F#5:2 E5:4 -:4",
               lead},
           sixteenth);
  // a quieter harmony a sixth below in the second half
  Note harmony{Wave::Pulse, 16 * 8 * sixteenth, 0, 0, 0.08, 0, 0.25, 0.004, 0.08, 0.6, 0.04};
  Sequence(m, {"A5:4 F5:4 C5:4 F5:4 | G5:4 D5:4 B4:4 D5:4 | B4:4 E5:4 G5:4 G5:4 | E5:8 C5:8 |"
               "C5:8 C5:8 | B4:8 C5:8 | E5:8 G#5:8 | E5:8 -:8",
               harmony},
           sixteenth);
  BassAndArp(m, Chords("Am F C G Am F G E F G Em Am F G E E"), sixteenth, 0.05, true);
  Drums(m, bars, sixteenth, true);
  return m.Render(1, 8000);
}

std::vector<int16_t> Pickup(int rate) {
  Mixer m(rate, 0.24, false);
  m.Add({Wave::Pulse, 0.0, 0.035, Midi(83), 0.55, 0, 0.25, 0.002, 0.02, 0.8, 0.01});
  Note hi{Wave::Pulse, 0.04, 0.09, Midi(88), 0.55, 0, 0.25, 0.002, 0.06, 0.5, 0.07};
  hi.slide = 4;
  m.Add(hi);
  m.Add({Wave::Triangle, 0.04, 0.08, Midi(100), 0.25, 0, 0.5, 0.002, 0.05, 0.4, 0.06});
  return m.Render(1, 12000);
}

std::vector<int16_t> Cleared(int rate) {
  const double e = 60.0 / 160 / 2;  // an eighth at 160 bpm
  Mixer m(rate, 3.0, false);
  Note lead{Wave::Pulse, 0, 0, 0, 0.26, -0.2, 0.25, 0.004, 0.06, 0.7, 0.05};
  Track t{"C5:2 E5:2 G5:2 C6:4 G5:2 C6:4 E6:8 -:4", lead};
  Sequence(m, t, e / 2, 0.9);
  Note second{Wave::Pulse, 0, 0, 0, 0.14, 0.3, 0.5, 0.004, 0.06, 0.7, 0.05};
  Sequence(m, {"G4:2 C5:2 E5:2 G5:4 E5:2 G5:4 C6:8 -:4", second}, e / 2, 0.9);
  for (int root : {48, 52, 55}) m.Add({Wave::Triangle, 14 * e / 2, 0.9, Midi(root), 0.25, 0, 0.5, 0.01, 0.2, 0.6, 0.3});
  m.Add({Wave::Triangle, 0, 12 * e / 2, Midi(36), 0.3, 0, 0.5, 0.01, 0.2, 0.6, 0.08});
  return m.Render(2, 10000);
}

std::vector<int16_t> Missed(int rate) {
  const double q = 0.2;
  Mixer m(rate, 2.6, false);
  Note lead{Wave::Pulse, 0, 0, 0, 0.26, 0, 0.5, 0.004, 0.1, 0.6, 0.06};
  Track t{"G5:2 F#5:2 F5:2 E5:6", lead};
  Sequence(m, t, q / 2, 0.9);
  Note fall{Wave::Pulse, 6 * q / 2 * 2, 0.7, Midi(75), 0.24, 0, 0.5, 0.004, 0.2, 0.7, 0.25};
  fall.slide = -14;
  fall.vibrato = 0.5;
  m.Add(fall);
  m.Add({Wave::Triangle, 0, 0.55, Midi(43), 0.32, 0, 0.5, 0.01, 0.1, 0.7, 0.05});
  m.Add({Wave::Triangle, 0.6, 0.55, Midi(42), 0.32, 0, 0.5, 0.01, 0.1, 0.7, 0.05});
  m.Add({Wave::Triangle, 1.2, 0.9, Midi(36), 0.36, 0, 0.5, 0.01, 0.3, 0.6, 0.3});
  return m.Render(1, 6000);
}

void PutWav16(std::vector<uint8_t>& b, uint32_t v) {
  b.push_back(uint8_t(v));
  b.push_back(uint8_t(v >> 8));
}
void PutWav32(std::vector<uint8_t>& b, uint32_t v) {
  PutWav16(b, v & 0xFFFF);
  PutWav16(b, v >> 16);
}
void PutId(std::vector<uint8_t>& b, const char* id) {
  for (int i = 0; i < 4; ++i) b.push_back(uint8_t(id[i]));
}

}  // namespace

std::vector<uint8_t> WaveBytes(int rate, int channels, const std::vector<int16_t>& samples,
                               const std::vector<std::pair<std::string, std::string>>& info) {
  std::vector<uint8_t> b;
  PutId(b, "RIFF");
  PutWav32(b, 0);
  PutId(b, "WAVE");
  PutId(b, "fmt ");
  PutWav32(b, 16);
  PutWav16(b, 1);
  PutWav16(b, uint32_t(channels));
  PutWav32(b, uint32_t(rate));
  PutWav32(b, uint32_t(rate * channels * 2));
  PutWav16(b, uint32_t(channels * 2));
  PutWav16(b, 16);
  if (!info.empty()) {
    std::vector<uint8_t> list;
    PutId(list, "INFO");
    for (const auto& [id, text] : info) {
      PutId(list, id.c_str());
      PutWav32(list, uint32_t(text.size() + 1));
      list.insert(list.end(), text.begin(), text.end());
      list.push_back(0);
      if ((text.size() + 1) % 2) list.push_back(0);
    }
    PutId(b, "LIST");
    PutWav32(b, uint32_t(list.size()));
    b.insert(b.end(), list.begin(), list.end());
  }
  PutId(b, "data");
  PutWav32(b, uint32_t(samples.size() * 2));
  for (int16_t s : samples) PutWav16(b, uint16_t(s));
  uint32_t form = uint32_t(b.size() - 8);
  for (int i = 0; i < 4; ++i) b[size_t(4 + i)] = uint8_t(form >> (8 * i));
  return b;
}

std::vector<WavFile> MakeSounds() {
  return {
      {"bgm.wav", WaveBytes(22050, 1, GameMusic(22050), {})},
      {"get.wav", WaveBytes(44100, 1, Pickup(44100), {})},
      {"clear.wav", WaveBytes(44100, 2, Cleared(44100), {})},
      {"over.wav", WaveBytes(22050, 1, Missed(22050), {})},
      {"start.wav", WaveBytes(22050, 2, TitleMusic(22050),
                              {{"INAM", "Velmora title theme"}, {"ISFT", "velmora-assetgen"}})},
  };
}

}  // namespace assetgen

// The five cues, synthesised: two looping chiptune tunes, a pickup blip and
// two jingles, each written as a complete RIFF WAVE file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace assetgen {

struct WavFile {
  std::string name;
  std::vector<uint8_t> bytes;
};

std::vector<WavFile> MakeSounds();

// Exposed for the generator's own checks: a 16-bit PCM RIFF WAVE with an
// optional LIST/INFO chunk between "fmt " and "data".
std::vector<uint8_t> WaveBytes(int rate, int channels, const std::vector<int16_t>& interleaved,
                               const std::vector<std::pair<std::string, std::string>>& info);

}  // namespace assetgen

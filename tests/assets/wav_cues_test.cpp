// The five cue files: RIFF layout as the game's loader walks it, formats,
// lengths, and loops that join without a click.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "asset_files.h"

namespace assets_test {
namespace {

struct Wav {
  bool ok = false;
  std::string error;
  uint32_t tag = 0, channels = 0, rate = 0, avgBytes = 0, blockAlign = 0, bits = 0, fmtSize = 0;
  std::vector<std::string> chunks;  // identifiers in file order
  std::vector<std::vector<int16_t>> samples;  // per channel
  double seconds = 0;
};

std::string Id(const Bytes& b, size_t o) { return o + 4 <= b.size() ? std::string(b.begin() + long(o), b.begin() + long(o) + 4) : ""; }

Wav Parse(const Bytes& b) {
  Wav w;
  if (Id(b, 0) != "RIFF" || Id(b, 8) != "WAVE") return w.error = "not RIFF WAVE", w;
  if (U32(b, 4) != b.size() - 8) return w.error = "form size", w;
  size_t p = 12;
  size_t dataAt = 0, dataSize = 0;
  while (p + 8 <= b.size()) {
    std::string id = Id(b, p);
    uint32_t size = U32(b, p + 4);
    if (size > b.size() - p - 8) return w.error = "chunk " + id + " overruns", w;
    w.chunks.push_back(id);
    if (id == "fmt ") {
      w.fmtSize = size;
      w.tag = U16(b, p + 8);
      w.channels = U16(b, p + 10);
      w.rate = U32(b, p + 12);
      w.avgBytes = U32(b, p + 16);
      w.blockAlign = U16(b, p + 20);
      w.bits = U16(b, p + 22);
    }
    if (id == "data") dataAt = p + 8, dataSize = size;
    p += 8 + size + (size & 1);
  }
  if (p != b.size()) return w.error = "trailing bytes", w;
  if (!dataAt || w.bits != 16 || w.channels == 0) return w.error = "no 16-bit data", w;
  size_t frames = dataSize / w.blockAlign;
  w.samples.assign(w.channels, {});
  for (size_t f = 0; f < frames; ++f)
    for (uint32_t c = 0; c < w.channels; ++c) w.samples[c].push_back(int16_t(U16(b, dataAt + f * w.blockAlign + 2 * c)));
  w.seconds = double(frames) / w.rate;
  w.ok = true;
  return w;
}

const char* kCues[] = {"bgm.wav", "get.wav", "clear.wav", "over.wav", "start.wav"};

TEST(WavCues, EachFileIsPcmWithFmtFirstAndADataChunk) {
  for (const char* name : kCues) {
    SCOPED_TRACE(name);
    Wav w = Parse(ReadAsset(name));
    ASSERT_TRUE(w.ok) << w.error;
    ASSERT_FALSE(w.chunks.empty());
    EXPECT_EQ(w.chunks.front(), "fmt ") << "the loader takes the first chunk as the format";
    EXPECT_EQ(w.chunks.back(), "data");
    EXPECT_EQ(w.fmtSize, 16u);
    EXPECT_EQ(w.tag, 1u);
    EXPECT_EQ(w.blockAlign, w.channels * w.bits / 8);
    EXPECT_EQ(w.avgBytes, w.rate * w.blockAlign);
  }
}

TEST(WavCues, FormatsVaryAndOneFileCarriesAListChunkBeforeItsData) {
  std::set<std::pair<uint32_t, uint32_t>> formats;
  int withList = 0;
  size_t total = 0;
  for (const char* name : kCues) {
    Bytes b = ReadAsset(name);
    total += b.size();
    Wav w = Parse(b);
    ASSERT_TRUE(w.ok) << name;
    formats.insert({w.rate, w.channels});
    auto list = std::find(w.chunks.begin(), w.chunks.end(), "LIST");
    if (list != w.chunks.end()) {
      ++withList;
      EXPECT_LT(list - w.chunks.begin(), std::find(w.chunks.begin(), w.chunks.end(), "data") - w.chunks.begin());
    }
  }
  EXPECT_GE(formats.size(), 2u);
  std::set<uint32_t> rates, channels;
  for (auto [r, c] : formats) rates.insert(r), channels.insert(c);
  EXPECT_GE(rates.size(), 2u);
  EXPECT_GE(channels.size(), 2u);
  EXPECT_GE(withList, 1);
  EXPECT_LT(total, size_t(4) << 20);
}

int Peak(const Wav& w) {
  int peak = 0;
  for (const auto& ch : w.samples)
    for (int16_t s : ch) peak = std::max(peak, std::abs(int(s)));
  return peak;
}

TEST(WavCues, LengthsSuitTheirRoles) {
  Wav bgm = Parse(ReadAsset("bgm.wav")), start = Parse(ReadAsset("start.wav")), get = Parse(ReadAsset("get.wav")),
      clear = Parse(ReadAsset("clear.wav")), over = Parse(ReadAsset("over.wav"));
  for (const Wav* m : {&bgm, &start}) {
    EXPECT_GE(m->seconds, 10.0);
    EXPECT_LE(m->seconds, 40.0);
  }
  EXPECT_LT(get.seconds, 0.5) << "a short blip";
  EXPECT_LT(clear.seconds, 5.0) << "ends within the cleared pause";
  EXPECT_LT(over.seconds, 5.0) << "ends within the missed pause";
  for (const Wav* w : {&bgm, &start, &get, &clear, &over}) {
    EXPECT_GT(Peak(*w), 8000) << "audible";
    EXPECT_LT(Peak(*w), 32767) << "not clipped";
  }
}

TEST(WavCues, CuesAreCentredOnZero) {
  // an offset wastes headroom and thumps when a cue starts or stops
  for (const char* name : kCues) {
    Wav w = Parse(ReadAsset(name));
    ASSERT_TRUE(w.ok) << name;
    for (const auto& ch : w.samples) {
      double sum = 0;
      for (int16_t s : ch) sum += s;
      EXPECT_LT(std::abs(sum / double(ch.size())), 330.0) << name;
    }
  }
}

// The largest step between neighbouring samples that the music itself makes,
// ignoring the rarest one percent.
int TypicalStep(const std::vector<int16_t>& s) {
  std::vector<int> d;
  for (size_t i = 1; i < s.size(); ++i) d.push_back(std::abs(s[i] - s[i - 1]));
  std::nth_element(d.begin(), d.begin() + long(d.size() * 99 / 100), d.end());
  return d[d.size() * 99 / 100];
}

TEST(WavCues, LoopsJoinWithoutAJump) {
  for (const char* name : {"bgm.wav", "start.wav"}) {
    Wav w = Parse(ReadAsset(name));
    ASSERT_TRUE(w.ok) << name;
    for (const auto& ch : w.samples) {
      int join = std::abs(ch.back() - ch.front());
      EXPECT_LE(join, TypicalStep(ch)) << name;
      // and the music is still going at the seam, not faded to silence
      int around = 0;
      for (size_t i = ch.size() - 2000; i < ch.size(); ++i) around = std::max(around, std::abs(int(ch[i])));
      EXPECT_GT(around, 1000) << name;
    }
  }
}

TEST(WavCues, OneShotsStartAndEndInSilence) {
  for (const char* name : {"get.wav", "clear.wav", "over.wav"}) {
    Wav w = Parse(ReadAsset(name));
    ASSERT_TRUE(w.ok) << name;
    for (const auto& ch : w.samples) {
      EXPECT_LT(std::abs(ch.front()), 200) << name;
      EXPECT_LT(std::abs(ch.back()), 200) << name;
    }
  }
}

}  // namespace
}  // namespace assets_test

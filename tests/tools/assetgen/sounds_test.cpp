// Checks the generated wave files as a plain RIFF reader sees them (valid 16-bit PCM headers),
// the music's length, loudness and seamless loop, and that a second run writes the same bytes.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/tools/assetgen/generated_data.h"
#include "tools/assetgen/assetgen.h"

namespace {

using assetgen_test::DataDir;

std::vector<unsigned char> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

uint32_t U32(const std::vector<unsigned char>& b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}
uint16_t U16(const std::vector<unsigned char>& b, size_t at) {
  return b[at] | b[at + 1] << 8;
}

// The parts of a wave file a RIFF reader relies on.
struct Wave {
  bool valid = false;
  uint16_t format = 0, channels = 0, bits = 0, block_align = 0;
  uint32_t rate = 0, byte_rate = 0;
  std::vector<int16_t> samples;
};

// Walks the RIFF chunks: "fmt " must come before "data", sizes must stay inside the file.
Wave ReadWave(const std::string& path) {
  Wave w;
  std::vector<unsigned char> b = ReadFile(path);
  if (b.size() < 12 || std::memcmp(b.data(), "RIFF", 4) != 0 ||
      std::memcmp(b.data() + 8, "WAVE", 4) != 0 || U32(b, 4) + 8 != b.size())
    return w;
  bool have_fmt = false;
  for (size_t at = 12; at + 8 <= b.size();) {
    uint32_t size = U32(b, at + 4);
    if (at + 8 + size > b.size()) return w;
    if (std::memcmp(b.data() + at, "fmt ", 4) == 0 && size >= 16) {
      w.format = U16(b, at + 8);
      w.channels = U16(b, at + 10);
      w.rate = U32(b, at + 12);
      w.byte_rate = U32(b, at + 16);
      w.block_align = U16(b, at + 20);
      w.bits = U16(b, at + 22);
      have_fmt = true;
    } else if (std::memcmp(b.data() + at, "data", 4) == 0) {
      if (!have_fmt) return w;
      w.samples.resize(size / 2);
      std::memcpy(w.samples.data(), b.data() + at + 8, w.samples.size() * 2);
      w.valid = true;
    }
    at += 8 + size + (size & 1);
  }
  return w;
}

TEST(Sounds, EveryWaveIsValidSixteenBitPcm) {
  for (const char* name : {"TokenRemoved", "ShowOff", "music", "LostChance"}) {
    Wave w = ReadWave(DataDir() + "/Audio/" + name + ".wav");
    ASSERT_TRUE(w.valid) << name;
    EXPECT_EQ(w.format, 1) << name << ": PCM";
    EXPECT_EQ(w.bits, 16) << name;
    EXPECT_GE(w.channels, 1);
    EXPECT_LE(w.channels, 2);
    EXPECT_EQ(w.block_align, w.channels * 2) << name;
    EXPECT_EQ(w.byte_rate, w.rate * w.block_align) << name;
    EXPECT_GE(w.rate, 11025u);
    EXPECT_LE(w.rate, 44100u);
    ASSERT_FALSE(w.samples.empty()) << name;
  }
}

TEST(Sounds, EffectsAreShortAndStartAndEndInSilence) {
  for (const char* name : {"TokenRemoved", "ShowOff", "LostChance"}) {
    Wave w = ReadWave(DataDir() + "/Audio/" + name + ".wav");
    ASSERT_TRUE(w.valid) << name;
    double seconds = static_cast<double>(w.samples.size()) / w.channels / w.rate;
    EXPECT_GT(seconds, 0.1) << name;
    EXPECT_LT(seconds, 2.0) << name;
    int peak = 0;
    for (int16_t s : w.samples) peak = std::max(peak, std::abs(static_cast<int>(s)));
    EXPECT_GT(peak, 16000) << name << " is too quiet";
    EXPECT_LT(std::abs(w.samples.front()), 400) << name << " starts with a click";
    EXPECT_LT(std::abs(w.samples.back()), 400) << name << " ends with a click";
  }
}

TEST(Sounds, MusicIsALoudSeamlessLoop) {
  Wave w = ReadWave(DataDir() + "/Audio/music.wav");
  ASSERT_TRUE(w.valid);
  EXPECT_EQ(w.rate, 22050u);
  ASSERT_EQ(w.channels, 1);
  double seconds = static_cast<double>(w.samples.size()) / w.rate;
  EXPECT_GE(seconds, 20.0);
  EXPECT_LE(seconds, 40.0);
  // Mastered near full scale: the game plays it 24 dB down.
  int peak = 0;
  double energy = 0;
  for (int16_t s : w.samples) {
    peak = std::max(peak, std::abs(static_cast<int>(s)));
    energy += static_cast<double>(s) * s;
  }
  EXPECT_GT(peak, 29000);
  EXPECT_GT(std::sqrt(energy / w.samples.size()), 5000) << "too quiet on average";
  // The join from the last sample back to the first is no bigger than an ordinary step.
  std::vector<int> steps;
  for (size_t i = 1; i < w.samples.size(); ++i)
    steps.push_back(std::abs(w.samples[i] - w.samples[i - 1]));
  std::sort(steps.begin(), steps.end());
  int typical = steps[steps.size() * 9 / 10];
  int jump = std::abs(w.samples.front() - w.samples.back());
  EXPECT_LE(jump, typical) << "the loop clicks where it wraps";
  // And the slope carries on: the second difference across the join is ordinary too.
  size_t n = w.samples.size();
  int bend = std::abs(w.samples[0] - 2 * w.samples[n - 1] + w.samples[n - 2]);
  EXPECT_LE(bend, typical);
}

// Same input, same bytes: a second run writes identical files.
TEST(Generation, IsDeterministic) {
  std::string pattern = (std::filesystem::temp_directory_path() / "assetgen_XXXXXX").string();
  ASSERT_NE(mkdtemp(pattern.data()), nullptr);
  std::string again = pattern + "/Data";
  std::string error;
  ASSERT_TRUE(assetgen::GenerateData(again, &error)) << error;
  int files = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(DataDir())) {
    if (!entry.is_regular_file()) continue;
    std::string rel = std::filesystem::relative(entry.path(), DataDir()).string();
    EXPECT_EQ(ReadFile(entry.path().string()), ReadFile(again + "/" + rel)) << rel;
    ++files;
  }
  EXPECT_EQ(files, 53);  // 4 sounds and 49 pictures
  std::filesystem::remove_all(pattern);
}

// The build's own Data folder, beside the game, is complete and current.
TEST(Generation, BuildPutsTheSameDataBesideTheGame) {
  const std::string built = ASSETGEN_BUILD_DATA_DIR;
  int files = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(DataDir())) {
    if (!entry.is_regular_file()) continue;
    std::string rel = std::filesystem::relative(entry.path(), DataDir()).string();
    EXPECT_EQ(ReadFile(entry.path().string()), ReadFile(built + "/" + rel)) << rel;
    ++files;
  }
  EXPECT_EQ(files, 53);
}

// A folder that cannot be made is reported, not ignored.
TEST(Generation, ReportsAnUnwritableFolder) {
  std::string error;
  EXPECT_FALSE(assetgen::GenerateData("/proc/no/such/Data", &error));
  EXPECT_FALSE(error.empty());
}

}  // namespace

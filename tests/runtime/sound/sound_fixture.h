// The sound module under test: opened on a headless mixer that the test pulls output from,
// with wave files written into a scratch folder.
#pragma once

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/dsound/dsound.h"
#include "runtime/core/core_data.h"
#include "runtime/core/errors.h"
#include "runtime/sound/sound_state.h"
#include "tessark/sound.h"

using namespace tessark;

namespace sound_test {

constexpr DWORD kRate = 44100;

inline void Put16(std::vector<std::uint8_t>& v, std::uint32_t x) {
  v.push_back(static_cast<std::uint8_t>(x));
  v.push_back(static_cast<std::uint8_t>(x >> 8));
}
inline void Put32(std::vector<std::uint8_t>& v, std::uint32_t x) {
  Put16(v, x & 0xFFFF);
  Put16(v, x >> 16);
}
inline void PutTag(std::vector<std::uint8_t>& v, const char* tag) {
  v.insert(v.end(), tag, tag + 4);
}

// A PCM wave file's bytes: header and data as given.
inline std::vector<std::uint8_t> PcmWave(int channels, int rate, int bits,
                                         const std::vector<std::uint8_t>& data,
                                         std::uint32_t declared_size) {
  std::vector<std::uint8_t> f;
  int align = channels * bits / 8;
  PutTag(f, "RIFF");
  Put32(f, 36 + declared_size);
  PutTag(f, "WAVE");
  PutTag(f, "fmt ");
  Put32(f, 16);
  Put16(f, 1);
  Put16(f, static_cast<std::uint32_t>(channels));
  Put32(f, static_cast<std::uint32_t>(rate));
  Put32(f, static_cast<std::uint32_t>(rate * align));
  Put16(f, static_cast<std::uint32_t>(align));
  Put16(f, static_cast<std::uint32_t>(bits));
  PutTag(f, "data");
  Put32(f, declared_size);
  f.insert(f.end(), data.begin(), data.end());
  return f;
}

inline std::vector<std::uint8_t> Samples16(const std::vector<std::int16_t>& s) {
  std::vector<std::uint8_t> bytes(s.size() * 2);
  std::memcpy(bytes.data(), s.data(), bytes.size());
  return bytes;
}

inline std::vector<std::int16_t> Sine(int frames, double hz, int rate, double amp = 32767) {
  std::vector<std::int16_t> s(static_cast<std::size_t>(frames));
  for (int i = 0; i < frames; ++i) {
    s[static_cast<std::size_t>(i)] =
        static_cast<std::int16_t>(std::lrint(amp * std::sin(2 * M_PI * hz * i / rate)));
  }
  return s;
}

// A ramp: sample i holds i (for reading play positions back from the output).
inline std::vector<std::int16_t> Ramp(int frames) {
  std::vector<std::int16_t> s(static_cast<std::size_t>(frames));
  for (int i = 0; i < frames; ++i) s[static_cast<std::size_t>(i)] = static_cast<std::int16_t>(i);
  return s;
}

class SoundTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = std::filesystem::temp_directory_path() /
              ("sound_test_" + std::to_string(::getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(folder_);
    dsound::testing::SetOutput(Output());
    tessark::CoreDataDefaults();
    tessark::ErrorWordSet(&error_);
    tessark::sound::PassCoreData(tessark::CoreDataGet());
    tessark::sound::SetErrorHandler(&error_);
    tessark::sound::Constructor(nullptr);
  }
  void TearDown() override {
    tessark::sound::Destructor();
    tessark::ErrorWordSet(nullptr);
    dsound::testing::SetOutput(dsound::testing::Output::kDevice);
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  virtual dsound::testing::Output Output() { return dsound::testing::Output::kHeadless; }

  std::string Write(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    std::string path = (folder_ / name).string();
    std::FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    return path;
  }
  // A mono 16-bit PCM file of samples at rate.
  std::string Write16(const std::string& name, const std::vector<std::int16_t>& samples,
                      int rate = kRate, int channels = 1) {
    auto bytes = Samples16(samples);
    return Write(name,
                 PcmWave(channels, rate, 16, bytes, static_cast<std::uint32_t>(bytes.size())));
  }

  // Pulls frames of stereo output.
  std::vector<std::int16_t> Pull(DWORD frames) {
    std::vector<std::int16_t> out(frames * 2);
    dsound::testing::MixerPull(tessark::sound::Device(), out.data(), frames);
    return out;
  }
  static double Peak(const std::vector<std::int16_t>& out, int channel) {
    double peak = 0;
    for (std::size_t i = static_cast<std::size_t>(channel); i < out.size(); i += 2) {
      peak = std::max(peak, std::fabs(static_cast<double>(out[i])));
    }
    return peak;
  }
  // Takes and clears the error word.
  std::int32_t Error() { return std::exchange(error_, 0); }

  tessark::sound::SoundRecord* Entry(std::int32_t id) { return tessark::sound::Find(id); }

  std::filesystem::path folder_;
  std::int32_t error_ = 0;
};

}  // namespace sound_test

// Wave files written and read with libsndfile, for tests that hold the runtime's own decoding
// against it. Tests using it link PkgConfig::SNDFILE.
#pragma once

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cstddef>
#include <string>
#include <vector>

namespace tessark::testing {

// Writes one second of sound, interleaved sample i being sample(i), at path as a wave file of
// the given libsndfile sub-format (float sub-formats hold sample(i) / 32768); the path.
template <typename Sample>
std::string WriteSndfileWave(const std::string& path, int subtype, int channels, int rate,
                             Sample sample) {
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = channels;
  info.format = SF_FORMAT_WAV | subtype;
  SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
  EXPECT_NE(f, nullptr) << sf_strerror(nullptr);
  if (!f) return path;
  std::vector<short> s(static_cast<std::size_t>(rate) * static_cast<std::size_t>(channels));
  for (std::size_t i = 0; i < s.size(); ++i) s[i] = sample(i);
  if (subtype == SF_FORMAT_FLOAT || subtype == SF_FORMAT_DOUBLE) {
    // Floating-point data in -1..1, as programs write it (libsndfile would store the shorts
    // unscaled).
    std::vector<float> scaled(s.begin(), s.end());
    for (float& v : scaled) v /= 32768.0f;
    sf_writef_float(f, scaled.data(), rate);
  } else {
    sf_writef_short(f, s.data(), rate);
  }
  sf_close(f);
  return path;
}

// The file's samples, interleaved, as libsndfile decodes them.
inline std::vector<short> DecodeWithSndfile(const std::string& path) {
  SF_INFO info{};
  SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
  EXPECT_NE(f, nullptr) << sf_strerror(nullptr);
  if (!f) return {};
  std::vector<short> s(static_cast<std::size_t>(info.frames * info.channels));
  sf_readf_short(f, s.data(), info.frames);
  sf_close(f);
  return s;
}

}  // namespace tessark::testing

// Music made at test time: a sine tone written through libsndfile in any format it writes,
// a few notes written as a standard MIDI file, and the measures the tests hear them by.
#pragma once

#include <sndfile.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace music_files {

// Writes seconds of a sine tone of hz as format, in as many channels as amplitudes are given,
// each at its amplitude (of full scale); false when libsndfile cannot write that format here.
inline bool WriteChannelTones(const std::string& path, int format, double seconds, double hz,
                              int rate, const std::vector<double>& amplitudes) {
  const int channels = static_cast<int>(amplitudes.size());
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = channels;
  info.format = format;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  if (!file) return false;
  auto frames = static_cast<std::size_t>(seconds * rate);
  std::vector<float> samples(frames * static_cast<std::size_t>(channels));
  for (std::size_t i = 0; i < frames; ++i) {
    double v = std::sin(2 * M_PI * hz * static_cast<double>(i) / rate);
    for (int c = 0; c < channels; ++c) {
      samples[i * static_cast<std::size_t>(channels) + c] = static_cast<float>(amplitudes[c] * v);
    }
  }
  bool ok = sf_writef_float(file, samples.data(), static_cast<sf_count_t>(frames)) ==
            static_cast<sf_count_t>(frames);
  return sf_close(file) == 0 && ok;
}

// The same tone at amplitude in every one of channels.
inline bool WriteTone(const std::string& path, int format, double seconds, double hz,
                      int rate = 44100, int channels = 1, double amplitude = 0.5) {
  return WriteChannelTones(path, format, seconds, hz, rate,
                           std::vector<double>(static_cast<std::size_t>(channels), amplitude));
}

inline void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return;
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

// A standard MIDI file (format 0, 96 ticks a quarter note at 120 beats a minute): the given
// notes one after another on channel 1 (a piano), each a quarter note (0.5 s) long, then
// rest_seconds of silence before the song ends.
inline std::vector<std::uint8_t> MidiSong(const std::vector<int>& notes, int rest_seconds = 0) {
  std::vector<std::uint8_t> track = {0x00, 0xC0, 0x00};  // program change: piano
  for (int note : notes) {
    auto n = static_cast<std::uint8_t>(note);
    track.insert(track.end(), {0x00, 0x90, n, 0x64});  // note on, velocity 100
    track.insert(track.end(), {0x60, 0x80, n, 0x00});  // 96 ticks later, note off
  }
  if (rest_seconds > 0) {
    // A variable-length delta of 192 ticks a second, then a controller change that is heard
    // as nothing.
    auto ticks = static_cast<std::uint32_t>(rest_seconds) * 192;
    std::vector<std::uint8_t> delta = {static_cast<std::uint8_t>(ticks & 0x7F)};
    for (ticks >>= 7; ticks > 0; ticks >>= 7) {
      delta.insert(delta.begin(), static_cast<std::uint8_t>(0x80 | (ticks & 0x7F)));
    }
    track.insert(track.end(), delta.begin(), delta.end());
    track.insert(track.end(), {0xB0, 0x40, 0x00});  // sustain pedal up
  }
  track.insert(track.end(), {0x00, 0xFF, 0x2F, 0x00});  // end of track
  std::vector<std::uint8_t> file = {'M', 'T', 'h', 'd', 0,  0,   0,   6,   0,
                                    0,   0,   1,   0,   96, 'M', 'T', 'r', 'k'};
  auto size = static_cast<std::uint32_t>(track.size());
  file.insert(file.end(),
              {static_cast<std::uint8_t>(size >> 24), static_cast<std::uint8_t>(size >> 16),
               static_cast<std::uint8_t>(size >> 8), static_cast<std::uint8_t>(size)});
  file.insert(file.end(), track.begin(), track.end());
  return file;
}

// The pitch of one channel of interleaved stereo output, from its upward zero crossings.
inline double Pitch(const std::vector<std::int16_t>& stereo, int rate, int channel = 0) {
  int crossings = 0;
  std::size_t first = 0;
  std::size_t last = 0;
  for (std::size_t i = 2 + static_cast<std::size_t>(channel); i < stereo.size(); i += 2) {
    if (stereo[i - 2] < 0 && stereo[i] >= 0) {
      if (crossings == 0) first = i / 2;
      last = i / 2;
      ++crossings;
    }
  }
  if (crossings < 2) return 0;
  return (crossings - 1) * static_cast<double>(rate) / static_cast<double>(last - first);
}

inline double Peak(const std::vector<std::int16_t>& stereo, int channel = 0) {
  double peak = 0;
  for (std::size_t i = static_cast<std::size_t>(channel); i < stereo.size(); i += 2) {
    peak = std::max(peak, std::fabs(static_cast<double>(stereo[i])));
  }
  return peak;
}

// A scratch folder for one test, removed with it.
class ScratchFolder {
 public:
  explicit ScratchFolder(const std::string& name)
      : path_(std::filesystem::temp_directory_path() / (name + "_" + std::to_string(::getpid()))) {
    std::filesystem::create_directories(path_);
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  std::string operator/(const std::string& file) const { return (path_ / file).string(); }

 private:
  std::filesystem::path path_;
};

}  // namespace music_files

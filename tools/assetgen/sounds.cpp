// The three sound effects and the wave writer. TokenRemoved is a few quick rising bubbles;
// ShowOff a bright arpeggio with a sparkle; LostChance a sagging "wah wah waah". Every sound
// starts and ends at silence. Depends on libsndfile (16-bit PCM wave output) and synth.h.
#include "tools/assetgen/sounds.h"

#include <sndfile.h>

#include <filesystem>
#include <system_error>

#include "tools/assetgen/synth.h"

namespace assetgen {
namespace {

constexpr double kRate = kSampleRate;

// An empty buffer of the given length in seconds.
std::vector<float> Silence(double seconds) {
  return std::vector<float>(static_cast<size_t>(seconds * kRate), 0.0f);
}

// One bubble: a sine whose pitch rises quickly while it dies away.
void Bubble(std::vector<float>& out, double start, double f0, double rise, double length,
            double gain) {
  double phase = 0;
  size_t first = static_cast<size_t>(start * kRate);
  for (size_t i = first; i < out.size(); ++i) {
    double t = (i - first) / kRate;
    if (t >= length) break;
    double f = f0 * (1 + rise * t / length);
    phase += kTau * f / kRate;
    double env = Envelope(t, 0.002, length / 3, length, 0.01);
    out[i] += static_cast<float>(gain * env * std::sin(phase));
  }
}

// A bell-like note: partials at 1, 2 and 3 times the pitch, the upper ones fading faster.
void Bell(std::vector<float>& out, double start, double midi, double length, double gain) {
  double f = NoteHz(midi);
  size_t first = static_cast<size_t>(start * kRate);
  for (size_t i = first; i < out.size(); ++i) {
    double t = (i - first) / kRate;
    if (t >= length) break;
    double env = Envelope(t, 0.003, length / 3, length, 0.03);
    double v = std::sin(kTau * f * t) + 0.45 * std::exp(-t * 9) * std::sin(kTau * 2 * f * t) +
               0.2 * std::exp(-t * 14) * std::sin(kTau * 3.01 * f * t);
    out[i] += static_cast<float>(gain * env * v);
  }
}

// A muted brass note with a falling pitch bend and vibrato.
void Wah(std::vector<float>& out, double start, double midi, double length, double bend,
         double gain) {
  double phase = 0;
  size_t first = static_cast<size_t>(start * kRate);
  for (size_t i = first; i < out.size(); ++i) {
    double t = (i - first) / kRate;
    if (t >= length) break;
    double vibrato = 0.25 * std::sin(kTau * 5.5 * t) * std::min(1.0, t / 0.15);
    double f = NoteHz(midi - bend * t / length + vibrato);
    phase += kTau * f / kRate;
    // The "wah": brightness opens then closes within each note.
    double open = std::sin(3.14159265 * std::min(1.0, t / std::min(length, 0.35)));
    double v = 0;
    for (int h = 1; h <= 6; ++h) {
      double weight = (h == 1 ? 1.0 : open * 0.7 / h);
      v += weight * std::sin(h * phase);
    }
    double env = Envelope(t, 0.02, length * 2, length, 0.06);
    out[i] += static_cast<float>(gain * env * v);
  }
}

}  // namespace

// Three bubbles and a soft click.
std::vector<float> TokenRemovedSound() {
  std::vector<float> s = Silence(0.32);
  Bubble(s, 0.000, 520, 1.6, 0.11, 0.9);
  Bubble(s, 0.050, 780, 1.3, 0.09, 0.7);
  Bubble(s, 0.105, 640, 1.8, 0.12, 0.6);
  Bubble(s, 0.170, 980, 1.2, 0.08, 0.35);
  Noise noise(0x706f70);
  double low = 0;
  for (size_t i = 0; i < 120 && i < s.size(); ++i) {
    low += 0.35 * (noise.Next() - low);
    double env = Envelope(i / kRate, 0.0005, 0.002, 120 / kRate, 0.001);
    s[i] += static_cast<float>(0.4 * env * low);
  }
  Normalise(s, 0.9);
  return s;
}

// A rising major arpeggio over two octaves, ending in a shimmering chord.
std::vector<float> ShowOffSound() {
  std::vector<float> s = Silence(1.1);
  const double notes[] = {72, 76, 79, 84, 88, 91, 96};
  for (int i = 0; i < 7; ++i) Bell(s, i * 0.06, notes[i], 0.5, 0.5);
  for (double n : {84.0, 88.0, 91.0, 96.0}) Bell(s, 0.42, n, 0.66, 0.3);
  // Sparkle: short high pings at fixed pseudo-random points.
  Noise pick(0x5ba4c1e);
  for (int i = 0; i < 10; ++i) {
    double t = 0.3 + 0.06 * i + 0.02 * pick.Next();
    Bell(s, t, 100 + 5 * std::fabs(pick.Next()), 0.12, 0.12);
  }
  Normalise(s, 0.9);
  return s;
}

// Three short falling notes and a long sagging one.
std::vector<float> LostChanceSound() {
  std::vector<float> s = Silence(1.45);
  Wah(s, 0.00, 67, 0.24, 0.3, 0.8);
  Wah(s, 0.26, 66, 0.24, 0.3, 0.8);
  Wah(s, 0.52, 65, 0.24, 0.3, 0.8);
  Wah(s, 0.78, 64, 0.66, 1.5, 0.9);
  Normalise(s, 0.75);
  return s;
}

// Mono 16-bit PCM through libsndfile, clipped to the sample range.
bool WriteWave(const std::string& path, const std::vector<float>& samples, std::string* error) {
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
  if (ec) {
    *error = path + ": cannot create folder: " + ec.message();
    return false;
  }
  SF_INFO info{};
  info.samplerate = kSampleRate;
  info.channels = 1;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  if (file == nullptr) {
    *error = path + ": " + sf_strerror(nullptr);
    return false;
  }
  // Scale by hand (rather than libsndfile's float conversion) so that rounding is fixed.
  std::vector<short> pcm(samples.size());
  for (size_t i = 0; i < samples.size(); ++i) {
    double v = std::clamp(static_cast<double>(samples[i]), -1.0, 1.0) * 32767.0;
    pcm[i] = static_cast<short>(std::lround(v));
  }
  sf_count_t written = sf_write_short(file, pcm.data(), static_cast<sf_count_t>(pcm.size()));
  int closed = sf_close(file);
  if (written != static_cast<sf_count_t>(pcm.size()) || closed != 0) {
    *error = path + ": short write";
    return false;
  }
  return true;
}

// Writes Audio/TokenRemoved.wav, ShowOff.wav, music.wav and LostChance.wav.
bool WriteSounds(const std::string& data_dir, std::string* error) {
  const std::string dir = data_dir + "/Audio/";
  return WriteWave(dir + "TokenRemoved.wav", TokenRemovedSound(), error) &&
         WriteWave(dir + "ShowOff.wav", ShowOffSound(), error) &&
         WriteWave(dir + "music.wav", MusicLoop(), error) &&
         WriteWave(dir + "LostChance.wav", LostChanceSound(), error);
}

}  // namespace assetgen

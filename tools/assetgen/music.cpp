// The music loop: a 32-second kitchen tune in C major at 120 beats a minute (16 bars), a
// marimba melody over an oom-pah bass, off-beat chords and a soft shaker. Notes are rendered
// into a circular buffer, so tails that run past the end continue at the start: the loop's
// end joins its start exactly as the music would continue. Depends on synth.h.
#include <vector>

#include "tools/assetgen/sounds.h"
#include "tools/assetgen/synth.h"

namespace assetgen {
namespace {

constexpr double kRate = kSampleRate;
constexpr double kBeat = 0.5;  // seconds
constexpr int kBars = 16;
constexpr size_t kLength = static_cast<size_t>(kBars * 4 * kBeat * kRate);

// A note in beats from the start of the loop; midi 0 is a rest.
struct Note {
  double beat, beats;
  int midi;
};

// The circular render target.
class Loop {
 public:
  Loop() : samples_(kLength, 0.0) {}

  // Adds voice(t) for t in 0..seconds, starting at `start` seconds, wrapping at the end.
  template <typename Voice>
  void Add(double start, double seconds, Voice voice) {
    size_t first = static_cast<size_t>(start * kRate + 0.5);
    size_t count = static_cast<size_t>(seconds * kRate);
    for (size_t i = 0; i < count; ++i) samples_[(first + i) % kLength] += voice(i / kRate);
  }

  std::vector<double>& samples() { return samples_; }

 private:
  std::vector<double> samples_;
};

// Melody, in eighth notes per bar (8 to a bar).
const int kMelody[][2] = {
    // Bar 1-4: C Am F G
    {76, 2},
    {79, 1},
    {76, 1},
    {72, 2},
    {67, 2},
    {69, 2},
    {72, 1},
    {76, 1},
    {81, 3},
    {79, 1},
    {77, 1},
    {76, 1},
    {77, 1},
    {81, 1},
    {84, 2},
    {81, 2},
    {79, 3},
    {77, 1},
    {76, 1},
    {74, 1},
    {71, 2},
    // Bar 5-8: C Am Dm-G C
    {76, 2},
    {79, 1},
    {76, 1},
    {84, 2},
    {79, 2},
    {81, 1},
    {79, 1},
    {76, 1},
    {72, 1},
    {76, 2},
    {69, 2},
    {74, 1},
    {77, 1},
    {81, 2},
    {79, 1},
    {77, 1},
    {74, 1},
    {71, 1},
    {72, 6},
    {0, 2},
    // Bar 9-12: F G Em Am
    {81, 2},
    {81, 1},
    {84, 1},
    {81, 2},
    {77, 2},
    {79, 2},
    {79, 1},
    {83, 1},
    {86, 2},
    {83, 2},
    {79, 1},
    {76, 1},
    {79, 1},
    {83, 1},
    {88, 2},
    {83, 2},
    {84, 3},
    {83, 1},
    {81, 2},
    {76, 2},
    // Bar 13-16: F G C-Am Dm-G
    {77, 1},
    {81, 1},
    {84, 1},
    {81, 1},
    {77, 2},
    {72, 2},
    {74, 1},
    {79, 1},
    {83, 1},
    {79, 1},
    {86, 2},
    {83, 2},
    {84, 2},
    {79, 2},
    {81, 2},
    {76, 2},
    {77, 1},
    {76, 1},
    {74, 1},
    {71, 1},
    {74, 1},
    {77, 1},
    {79, 2},
};

// Chords by half bar: root (for the bass) and three chord tones.
struct Chord {
  int root, a, b, c;
};
constexpr Chord kC{36, 60, 64, 67}, kAm{33, 57, 60, 64}, kF{41, 57, 60, 65}, kG{43, 59, 62, 67},
    kDm{38, 57, 62, 65}, kEm{40, 59, 64, 67};
const Chord kChords[kBars][2] = {
    {kC, kC}, {kAm, kAm}, {kF, kF},   {kG, kG},   {kC, kC}, {kAm, kAm}, {kDm, kG}, {kC, kC},
    {kF, kF}, {kG, kG},   {kEm, kEm}, {kAm, kAm}, {kF, kF}, {kG, kG},   {kC, kAm}, {kDm, kG},
};

// Marimba: a woody strike (a quickly fading fourth partial) over a warm decaying tone.
double Marimba(double f, double t, double length) {
  double env = Envelope(t, 0.004, 0.45, length, 0.04);
  return env * (std::sin(kTau * f * t) + 0.25 * std::exp(-t * 60) * std::sin(kTau * 4 * f * t) +
                0.12 * std::exp(-t * 8) * std::sin(kTau * 2 * f * t));
}

// A soft flute doubling the melody for sustain, with a gentle vibrato.
double Flute(double f, double t, double length) {
  double env = Envelope(t, 0.05, 3.0, length, 0.08);
  double vib = 1 + 0.004 * std::sin(kTau * 5 * t) * std::min(1.0, t / 0.3);
  return env * (std::sin(kTau * f * vib * t) + 0.15 * std::sin(kTau * 2 * f * vib * t));
}

// A round plucked bass.
double Bass(double f, double t, double length) {
  double env = Envelope(t, 0.006, 0.5, length, 0.05);
  return env * (std::sin(kTau * f * t) + 0.35 * std::sin(kTau * 2 * f * t) +
                0.1 * std::sin(kTau * 3 * f * t));
}

// A short electric-piano chop for the off-beat chords.
double Chop(double f, double t, double length) {
  double env = Envelope(t, 0.004, 0.12, length, 0.03);
  double mod = 0.8 * std::exp(-t * 20) * std::sin(kTau * 2 * f * t);
  return env * std::sin(kTau * f * t + mod);
}

}  // namespace

// Renders, mixes and masters the loop.
std::vector<float> MusicLoop() {
  Loop loop;
  const double beat_s = kBeat;
  // Melody.
  double at = 0;  // in eighths
  for (const auto& n : kMelody) {
    int midi = n[0];
    double len = n[1] * beat_s / 2;
    if (midi > 0) {
      double f = NoteHz(midi);
      double ring = len + 0.35;  // let the marimba ring past the note
      loop.Add(at * beat_s / 2, ring, [=](double t) { return 0.30 * Marimba(f, t, ring); });
      loop.Add(at * beat_s / 2, len, [=](double t) { return 0.13 * Flute(f, t, len); });
    }
    at += n[1];
  }
  // Bass (oom-pah) and chords.
  for (int bar = 0; bar < kBars; ++bar) {
    double bar_start = bar * 4 * beat_s;
    for (int half = 0; half < 2; ++half) {
      const Chord& ch = kChords[bar][half];
      double start = bar_start + half * 2 * beat_s;
      double root = NoteHz(ch.root), fifth = NoteHz(ch.root + 7);
      loop.Add(start, 0.9 * beat_s, [=](double t) { return 0.34 * Bass(root, t, 0.9 * beat_s); });
      loop.Add(start + beat_s, 0.9 * beat_s,
               [=](double t) { return 0.26 * Bass(fifth, t, 0.9 * beat_s); });
      // Chords on the off-beat of each beat.
      for (int k = 0; k < 2; ++k) {
        double t0 = start + k * beat_s + beat_s / 2;
        for (int m : {ch.a, ch.b, ch.c}) {
          double f = NoteHz(m);
          loop.Add(t0, 0.3, [=](double t) { return 0.07 * Chop(f, t, 0.3); });
        }
      }
    }
  }
  // Shaker on every eighth (accented off the beat) and a soft thump on beats 1 and 3.
  for (int e = 0; e < kBars * 8; ++e) {
    double gain = (e % 2) ? 0.04 : 0.022;
    Noise noise(0x5ae4e + e);
    double prev = 0;
    loop.Add(e * beat_s / 2, 0.06, [=](double t) mutable {
      double n = noise.Next();
      double high = n - prev;  // a first difference: a crude high-pass
      prev = n;
      return gain * Envelope(t, 0.003, 0.015, 0.06, 0.01) * high;
    });
  }
  for (int b = 0; b < kBars * 4; b += 2) {
    loop.Add(b * beat_s, 0.18, [](double t) {
      // Pitch falls from 115 Hz to 55 Hz; the phase is the integral of that pitch.
      double phase = kTau * (55 * t + 60 * (1 - std::exp(-t * 30)) / 30);
      return 0.3 * Envelope(t, 0.003, 0.06, 0.18, 0.03) * std::sin(phase);
    });
  }
  // Master: gentle saturation, then the peak at -0.5 dB.
  std::vector<double>& mix = loop.samples();
  double peak = 0;
  for (double v : mix) peak = std::max(peak, std::fabs(v));
  std::vector<float> out(mix.size());
  for (size_t i = 0; i < mix.size(); ++i) {
    out[i] = static_cast<float>(std::tanh(1.6 * mix[i] / peak));
  }
  Normalise(out, 0.944);
  return out;
}

}  // namespace assetgen

// Small synthesis helpers shared by the sound effects and the music: note frequencies,
// envelopes, a fixed-seed noise source and peak normalisation. Header-only, no dependencies.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace assetgen {

constexpr double kTau = 6.28318530717958647692;

// Frequency of a MIDI note number (69 = A 440 Hz).
inline double NoteHz(double midi) {
  return 440.0 * std::pow(2.0, (midi - 69.0) / 12.0);
}

// A percussive envelope: linear attack, exponential decay, and a short linear release that
// ends at exactly zero at `length` seconds, so that no note ever stops with a step.
inline double Envelope(double t, double attack, double decay, double length, double release) {
  if (t < 0 || t >= length) return 0;
  double a = t < attack ? t / attack : std::exp(-(t - attack) / decay);
  double tail = length - t;
  if (tail < release) a *= tail / release;
  return a;
}

// Deterministic white noise in -1..1 (a fixed linear congruential sequence).
class Noise {
 public:
  explicit Noise(uint32_t seed) : state_(seed) {}
  double Next() {
    state_ = state_ * 1664525u + 1013904223u;
    return (state_ >> 8) / 8388608.0 - 1.0;
  }

 private:
  uint32_t state_;
};

// Scales so that the largest magnitude becomes `peak`.
inline void Normalise(std::vector<float>& s, double peak) {
  float most = 0;
  for (float v : s) most = std::max(most, std::fabs(v));
  if (most <= 0) return;
  double k = peak / most;
  for (float& v : s) v = static_cast<float>(v * k);
}

}  // namespace assetgen

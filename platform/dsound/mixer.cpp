// The mixing of every playing voice into the output, and the gain laws: volume and pan in
// hundredths of a decibel (gain 10^(mB/2000), the pan attenuating the opposite side by the
// same law), and 3D placement heard as distance attenuation and panning.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/dsound/mixer.h"

namespace dsound {

namespace {

// A 3D source straight to one side is heard this many decibels quieter in the other ear.
constexpr float kOppositeEarDb = 20.0f;
constexpr float kFracScale = 1.0f / 4294967296.0f;

float GainFromMillibels(LONG mb) {
  if (mb <= DSBVOLUME_MIN) return 0.0f;  // the floor is silence, not -100 dB
  return std::pow(10.0f, static_cast<float>(mb) / 2000.0f);
}

D3DVECTOR Sub(const D3DVECTOR& a, const D3DVECTOR& b) {
  return {a.x - b.x, a.y - b.y, a.z - b.z};
}
float Dot(const D3DVECTOR& a, const D3DVECTOR& b) {
  return a.x * b.x + a.y * b.y + a.z * b.z;
}
D3DVECTOR Cross(const D3DVECTOR& a, const D3DVECTOR& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

// The end of the mix: a soft limiter. Levels up to the knee (-1 dBFS) pass exactly as they
// are; above it the level bends smoothly (same slope at the knee) toward full scale without
// reaching it, so loud overlapping sounds are squeezed instead of clipped flat.
constexpr float kLimiterKnee = 0.89125094f;  // 10^(-1/20)
inline float Limit(float v) {
  const float level = std::fabs(v);
  if (!(level > kLimiterKnee)) return v;
  const float over = (level - kLimiterKnee) / (1.0f - kLimiterKnee);
  return std::copysign(kLimiterKnee + (1.0f - kLimiterKnee) * over / (1.0f + over), v);
}

// One sample of a frame as a float in -1..1.
template <int kBits>
inline float SampleAt(const BYTE* data, DWORD index) {
  if constexpr (kBits == 8) {
    return (static_cast<float>(data[index]) - 128.0f) * (1.0f / 128.0f);
  } else {
    std::int16_t value;
    std::memcpy(&value, data + index * 2, 2);
    return static_cast<float>(value) * (1.0f / 32768.0f);
  }
}

// Adds frames of one voice into out (stereo floats), resampling linearly from its frequency
// to the output rate. A looping voice wraps without a gap (the last frame blends into the
// first); a one-shot voice stops at its end with its cursor back at 0.
template <int kChannels, int kBits>
void MixVoice(Voice& voice, float* out, DWORD frames, DWORD rate, float left, float right) {
  const BYTE* data = voice.data->bytes.data();
  const DWORD count = voice.frames;
  const std::uint64_t end = static_cast<std::uint64_t>(count) << 32;
  const std::uint64_t step = (static_cast<std::uint64_t>(voice.frequency) << 32) / rate;
  std::uint64_t position = voice.position;
  if (position >= end) {
    if (!voice.looping) {
      voice.playing = false;
      voice.position = 0;
      return;
    }
    position %= end;
  }
  for (DWORD i = 0; i < frames; ++i) {
    DWORD index = static_cast<DWORD>(position >> 32);
    DWORD next = index + 1;
    if (next >= count) next = voice.looping ? 0 : index;
    float frac = static_cast<float>(position & 0xFFFFFFFFu) * kFracScale;
    if constexpr (kChannels == 1) {
      float a = SampleAt<kBits>(data, index);
      float b = SampleAt<kBits>(data, next);
      float v = a + (b - a) * frac;
      out[2 * i] += v * left;
      out[2 * i + 1] += v * right;
    } else {
      float al = SampleAt<kBits>(data, index * 2);
      float bl = SampleAt<kBits>(data, next * 2);
      float ar = SampleAt<kBits>(data, index * 2 + 1);
      float br = SampleAt<kBits>(data, next * 2 + 1);
      out[2 * i] += (al + (bl - al) * frac) * left;
      out[2 * i + 1] += (ar + (br - ar) * frac) * right;
    }
    position += step;
    if (position >= end) {
      if (!voice.looping) {
        voice.playing = false;
        position = 0;
        break;
      }
      position %= end;
    }
  }
  voice.position = position;
}

void MixAny(Voice& voice, float* out, DWORD frames, DWORD rate, float left, float right) {
  if (voice.stream) return MixStream(voice, out, frames, rate, left, right);
  bool stereo = voice.format.nChannels == 2;
  bool wide = voice.format.wBitsPerSample == 16;
  if (stereo && wide) MixVoice<2, 16>(voice, out, frames, rate, left, right);
  if (stereo && !wide) MixVoice<2, 8>(voice, out, frames, rate, left, right);
  if (!stereo && wide) MixVoice<1, 16>(voice, out, frames, rate, left, right);
  if (!stereo && !wide) MixVoice<1, 8>(voice, out, frames, rate, left, right);
}

}  // namespace

void GainsFromVolumePan(LONG volume, LONG pan, float* left, float* right) {
  float gain = GainFromMillibels(volume);
  *left = gain * (pan > 0 ? GainFromMillibels(-pan) : 1.0f);
  *right = gain * (pan < 0 ? GainFromMillibels(pan) : 1.0f);
}

void Gains3D(const DS3DLISTENER& listener, const DS3DBUFFER& buffer, DWORD flags, float* left,
             float* right) {
  *left = *right = 1.0f;
  if (buffer.dwMode == DS3DMODE_DISABLE) return;
  // Head-relative positions are already in the listener's frame (x right, y up, z ahead).
  D3DVECTOR relative = buffer.vPosition;
  D3DVECTOR right_axis = {1, 0, 0};
  if (buffer.dwMode != DS3DMODE_HEADRELATIVE) {
    relative = Sub(buffer.vPosition, listener.vPosition);
    right_axis = Cross(listener.vOrientTop, listener.vOrientFront);
    float length = std::sqrt(Dot(right_axis, right_axis));
    if (length > 0) {
      right_axis = {right_axis.x / length, right_axis.y / length, right_axis.z / length};
    }
  }
  float distance = std::sqrt(Dot(relative, relative));
  // Inside the minimum distance a sound is at full level; beyond it each doubling of the
  // distance costs 6 dB at rolloff 1 (steeper with more rolloff), up to the maximum distance.
  float min_distance = std::max(buffer.flMinDistance, 1e-6f);
  float gain = 1.0f;
  if (distance >= buffer.flMaxDistance && (flags & DSBCAPS_MUTE3DATMAXDISTANCE)) {
    gain = 0.0f;
  } else if (distance > min_distance) {
    float d = std::min(distance, std::max(buffer.flMaxDistance, min_distance));
    gain = min_distance / (min_distance + listener.flRolloffFactor * (d - min_distance));
  }
  float side = distance > 0 ? Dot(relative, right_axis) / distance : 0.0f;
  side = std::clamp(side, -1.0f, 1.0f);
  float opposite = std::pow(10.0f, -std::fabs(side) * kOppositeEarDb / 20.0f);
  *left = gain * (side > 0 ? opposite : 1.0f);
  *right = gain * (side < 0 ? opposite : 1.0f);
}

DS3DBUFFER Default3DBuffer() {
  DS3DBUFFER b{};
  b.dwSize = sizeof b;
  b.dwInsideConeAngle = DS3D_DEFAULTCONEANGLE;
  b.dwOutsideConeAngle = DS3D_DEFAULTCONEANGLE;
  b.vConeOrientation = {0, 0, 1};
  b.lConeOutsideVolume = DS3D_DEFAULTCONEOUTSIDEVOLUME;
  b.flMinDistance = DS3D_DEFAULTMINDISTANCE;
  b.flMaxDistance = DS3D_DEFAULTMAXDISTANCE;
  b.dwMode = DS3DMODE_NORMAL;
  return b;
}

DS3DLISTENER DefaultListener() {
  DS3DLISTENER l{};
  l.dwSize = sizeof l;
  l.vOrientFront = {0, 0, 1};
  l.vOrientTop = {0, 1, 0};
  l.flDistanceFactor = DS3D_DEFAULTDISTANCEFACTOR;
  l.flRolloffFactor = DS3D_DEFAULTROLLOFFFACTOR;
  l.flDopplerFactor = DS3D_DEFAULTDOPPLERFACTOR;
  return l;
}

void Mixer::Mix(std::int16_t* out, DWORD frames) {
  std::lock_guard<std::mutex> guard(lock);
  const DWORD block = static_cast<DWORD>(scratch.size() / 2);
  while (frames > 0) {
    DWORD n = std::min(frames, block);
    float* mix = scratch.data();
    std::fill(mix, mix + 2 * n, 0.0f);
    for (Voice* voice : voices) {
      if (!voice->playing || voice->lost || voice->frames == 0) continue;
      float left = voice->gain_left;
      float right = voice->gain_right;
      if (voice->flags & DSBCAPS_CTRL3D) {
        float l3 = 1.0f;
        float r3 = 1.0f;
        Gains3D(listener_active, voice->active, voice->flags, &l3, &r3);
        left *= l3;
        right *= r3;
      }
      MixAny(*voice, mix, n, rate, left, right);
    }
    for (DWORD i = 0; i < 2 * n; ++i) {
      float v = std::clamp(Limit(mix[i]) * 32768.0f, -32768.0f, 32767.0f);
      out[i] = static_cast<std::int16_t>(std::lrint(v));
    }
    out += 2 * n;
    frames -= n;
  }
}

}  // namespace dsound

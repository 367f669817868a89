// The mixer behind the sound device: the voices (one per secondary buffer), the listener, and
// the mixing of all playing voices into stereo output. Shared between the program's thread
// (buffer calls) and SDL's audio thread (Mix); everything here is touched only under `lock`,
// held briefly by the program's thread and for one block by the audio thread. Mixing never
// allocates: the voice list and the scratch block are sized on the program's thread.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/dsound/dsound.h"

namespace dsound {

// The bytes of a buffer, shared by the buffer and its duplicates.
struct SampleData {
  std::vector<BYTE> bytes;
};

// The frames of a streaming buffer: a ring written by a producer and read by the mixer, both
// under the mixer's lock. Counts are frames since the last flush.
struct StreamRing {
  std::vector<std::int16_t> samples;  // capacity frames of `channels` samples
  DWORD capacity = 0;
  DWORD channels = 0;
  std::uint64_t read = 0;   // frames played
  std::uint64_t write = 0;  // frames written
  std::uint32_t epoch = 0;
  bool end = false;      // the producer wrote its last frame
  bool drained = false;  // ... and the mixer has played it
  std::atomic<std::uint32_t> signal{0};
};

// One secondary buffer as the mixer sees it.
struct Voice {
  std::shared_ptr<SampleData> data;
  WAVEFORMATEX format{};
  DWORD flags = 0;
  DWORD frames = 0;  // whole frames in the buffer
  bool playing = false;
  bool looping = false;
  bool lost = false;
  int restore_refusals = 0;
  std::uint64_t position = 0;  // frames, 32.32 fixed point
  LONG volume = 0;
  LONG pan = 0;
  DWORD frequency = 0;
  float gain_left = 1.0f;  // from volume and pan
  float gain_right = 1.0f;
  DS3DBUFFER pending{};                // 3D settings as last set
  DS3DBUFFER active{};                 // 3D settings heard
  std::shared_ptr<StreamRing> stream;  // streaming buffers only; frames = its capacity
};

struct Mixer {
  std::mutex lock;
  std::vector<Voice*> voices;
  DS3DLISTENER listener_pending{};
  DS3DLISTENER listener_active{};
  WAVEFORMATEX primary_format{};
  DWORD rate = 44100;
  std::vector<float> scratch;  // one block of stereo float output
  SDL_AudioDeviceID device = 0;
  bool sdl_audio = false;  // the SDL audio subsystem was initialised for this mixer

  // Mixes frames of stereo 16-bit output; takes the lock.
  void Mix(std::int16_t* out, DWORD frames);
};

// Adds frames of a streaming voice into out (stereo floats), as MixVoice does for static data.
void MixStream(Voice& voice, float* out, DWORD frames, DWORD rate, float left, float right);
// Makes device known to DirectSoundShared until it is deleted.
void DeviceRegister(IDirectSound8* device);
void DeviceUnregister(IDirectSound8* device);

// Gains for left and right from a volume and a pan (hundredths of a decibel).
void GainsFromVolumePan(LONG volume, LONG pan, float* left, float* right);
// Gains a 3D voice gets from its place relative to the listener.
void Gains3D(const DS3DLISTENER& listener, const DS3DBUFFER& buffer, DWORD flags, float* left,
             float* right);
// The defaults a new 3D buffer and the listener start with.
DS3DBUFFER Default3DBuffer();
DS3DLISTENER DefaultListener();

}  // namespace dsound

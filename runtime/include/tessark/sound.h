// Sound: numbered sounds loaded from wave files, played once or looped, with volume, pan,
// speed, 3D placement and a listener, recorded from the default input, and made from or
// handed out as raw data. Ids run from 1 to 22000000. Without a sound device every operation
// returns at once, quietly, with result 0.
#pragma once

#include <cstdint>

namespace tessark {

// Loading: a 2D sound, failures raised; the full form picks 3D and can keep failures quiet.
void SoundLoad(const char* file, std::int32_t id);
void SoundLoad(const char* file, std::int32_t id, std::int32_t is_3d, std::int32_t quiet);
void SoundLoad3D(const char* file, std::int32_t id);

// Playing. The loop window is in bytes of the sound's PCM data; -1 means none.
void SoundPlay(std::int32_t id);
void SoundPlayFrom(std::int32_t id, std::int32_t offset);
void SoundLoop(std::int32_t id);
void SoundLoop(std::int32_t id, std::int32_t loop_start);
void SoundLoop(std::int32_t id, std::int32_t loop_start, std::int32_t loop_end);
void SoundLoop(std::int32_t id, std::int32_t loop_start, std::int32_t loop_end,
               std::int32_t initial_position);
void SoundStop(std::int32_t id);
void SoundPause(std::int32_t id);
void SoundResume(std::int32_t id);
void SoundDelete(std::int32_t id);
void SoundClone(std::int32_t new_id, std::int32_t source_id);

// Settings: volume in percent 0..100, pan -10000..10000, speed in samples a second.
void SoundSetVolume(std::int32_t id, std::int32_t percent);
void SoundSetPan(std::int32_t id, std::int32_t pan);
void SoundSetSpeed(std::int32_t id, std::int32_t rate);

// Queries.
bool SoundExists(std::int32_t id);
bool SoundIs3D(std::int32_t id);
bool SoundPlaying(std::int32_t id);
bool SoundLooping(std::int32_t id);
bool SoundPaused(std::int32_t id);
std::int32_t SoundVolume(std::int32_t id);
std::int32_t SoundPan(std::int32_t id);
std::int32_t SoundSpeed(std::int32_t id);

// 3D: positions in the caller's units (kept as the value x 0.01), angles in degrees.
void SoundSetPosition(std::int32_t id, float x, float y, float z);
float SoundPositionX(std::int32_t id);
float SoundPositionY(std::int32_t id);
float SoundPositionZ(std::int32_t id);
float GetSoundPositionX(std::int32_t id);
float GetSoundPositionY(std::int32_t id);
float GetSoundPositionZ(std::int32_t id);
void ListenerSetPosition(float x, float y, float z);
void ListenerSetAngle(float x, float y, float z);
float ListenerPositionX();
float ListenerPositionY();
float ListenerPositionZ();
float ListenerAngleX();
float ListenerAngleY();
float ListenerAngleZ();
void SoundSetScale(float scale);

// Recording from the default input into a sound, and saving a recording.
void SoundRecordStart(std::int32_t id, std::int32_t duration_ms = 5000);
void SoundRecordStop();
void SoundSave(const char* file, std::int32_t id);

// Sounds made from and handed out as raw PCM data (for memory blocks).
void SoundFromData(std::int32_t id, std::int32_t data_size, const void* data,
                   std::int32_t format_tag, std::int32_t channels, std::int32_t rate,
                   std::int32_t bytes_per_second, std::int32_t block_align,
                   std::int32_t bits_per_sample);

struct SoundDataCopy {
  std::uint8_t format[18];          // the sound's WAVEFORMATEX, as stored
  std::int32_t samples_per_second;  // the sample rate (frames per second)
  std::int32_t bits_per_second;     // bytes per second x 8
  std::int32_t seconds;             // data size / bytes per second
  std::uint8_t* data;               // a new copy of the sound's data (malloc'd)
  std::int32_t size;                // its size in bytes
};
// Mode 1 fills copy from the sound (1 on success); any other mode frees copy->data.
bool SoundToData(std::int32_t mode, std::int32_t id, SoundDataCopy* copy);

}  // namespace tessark

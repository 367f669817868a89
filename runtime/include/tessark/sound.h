/// @file
/// Sound: numbered sounds loaded from wave files, played once or looped, with volume, pan, speed,
/// 3D placement and a listener, recorded from the default input, and made from or handed out as
/// raw data. Ids run from 1 to 22000000. Without a sound device every operation returns at once,
/// quietly, with result 0. Otherwise an operation on an id records error::kSoundIdOutOfRange for
/// an id outside the range and error::kSoundMissing for an id with no sound, and does nothing;
/// queries then answer 0 (false).
#pragma once

#include <cstdint>

namespace tessark {

/// Loads a wave file as a 2D sound; records error::kSoundIdInUse for an id in use and
/// error::kSoundLoadFailed when the file cannot be read as a wave (the id stays free).
void SoundLoad(const char* file, std::int32_t id);
/// As SoundLoad; is_3d 1 makes a 3D sound (mono files only); quiet 1 records no error.
void SoundLoad(const char* file, std::int32_t id, std::int32_t is_3d, std::int32_t quiet);
/// As SoundLoad, as a 3D sound.
void SoundLoad3D(const char* file, std::int32_t id);

// Playing. The loop window is in bytes of the sound's PCM data; -1 means none.
/// Plays the sound once from the start.
void SoundPlay(std::int32_t id);
/// Plays the sound once from byte offset; error::kSoundOffsetOutOfRange outside 0 to 22000000.
void SoundPlayFrom(std::int32_t id, std::int32_t offset);
/// Plays the sound over and over.
void SoundLoop(std::int32_t id);
/// Loops from loop_start to the end.
void SoundLoop(std::int32_t id, std::int32_t loop_start);
/// Loops from loop_start to loop_end.
void SoundLoop(std::int32_t id, std::int32_t loop_start, std::int32_t loop_end);
/// Loops from loop_start to loop_end, starting at initial_position.
void SoundLoop(std::int32_t id, std::int32_t loop_start, std::int32_t loop_end,
               std::int32_t initial_position);
/// Stops the sound.
void SoundStop(std::int32_t id);
/// Pauses the sound where it is.
void SoundPause(std::int32_t id);
/// Goes on playing a paused sound.
void SoundResume(std::int32_t id);
/// Deletes the sound.
void SoundDelete(std::int32_t id);
/// Makes new_id a copy of source_id sharing its data; error::kSoundIdInUse when new_id exists.
/// Note the order: the new id first (SpriteClone takes the existing sprite first).
void SoundClone(std::int32_t new_id, std::int32_t source_id);

/// Sets the volume in percent; error::kSoundVolumeOutOfRange outside 0 to 100.
void SoundSetVolume(std::int32_t id, std::int32_t percent);
/// Sets the pan; error::kSoundPanOutOfRange outside -10000 (left) to 10000 (right).
void SoundSetPan(std::int32_t id, std::int32_t pan);
/// Sets the speed in samples a second; error::kSoundSpeedOutOfRange outside 100 to 100000.
void SoundSetSpeed(std::int32_t id, std::int32_t rate);

// Queries.
/// Whether a sound with this id exists (no error for one that does not).
bool SoundExists(std::int32_t id);
/// Whether the sound is a 3D sound.
bool SoundIs3D(std::int32_t id);
/// Whether the sound is playing.
bool SoundPlaying(std::int32_t id);
/// Whether the sound is looping.
bool SoundLooping(std::int32_t id);
/// Whether the sound is paused.
bool SoundPaused(std::int32_t id);
/// The volume in percent.
std::int32_t SoundVolume(std::int32_t id);
/// The pan, -10000 to 10000.
std::int32_t SoundPan(std::int32_t id);
/// The speed in samples a second.
std::int32_t SoundSpeed(std::int32_t id);

// 3D: positions in the caller's units (kept as the value x 0.01), angles in degrees.
/// Places a 3D sound.
void SoundSetPosition(std::int32_t id, float x, float y, float z);
/// The x the sound was placed at.
float SoundPositionX(std::int32_t id);
/// The y the sound was placed at.
float SoundPositionY(std::int32_t id);
/// The z the sound was placed at.
float SoundPositionZ(std::int32_t id);
/// The 3D buffer's x; 0 for a sound that does not exist (without an error).
float GetSoundPositionX(std::int32_t id);
/// The 3D buffer's y; 0 for a sound that does not exist (without an error).
float GetSoundPositionY(std::int32_t id);
/// The 3D buffer's z; 0 for a sound that does not exist (without an error).
float GetSoundPositionZ(std::int32_t id);
/// Places the listener.
void ListenerSetPosition(float x, float y, float z);
/// Turns the listener.
void ListenerSetAngle(float x, float y, float z);
/// The listener's x.
float ListenerPositionX();
/// The listener's y.
float ListenerPositionY();
/// The listener's z.
float ListenerPositionZ();
/// The listener's angle about x.
float ListenerAngleX();
/// The listener's angle about y.
float ListenerAngleY();
/// The listener's angle about z.
float ListenerAngleZ();
/// Sets every 3D sound's distances: heard fully within scale, not at all beyond scale x 3000.
void SoundSetScale(float scale);

/// Records from the default input into sound id for up to duration_ms; nothing without an input.
void SoundRecordStart(std::int32_t id, std::int32_t duration_ms = 5000);
/// Stops recording.
void SoundRecordStop();
/// Saves a recording as a wave file; error::kSoundNotRecorded for a sound that is not one.
void SoundSave(const char* file, std::int32_t id);

/// Makes sound id from raw PCM data in the given wave format (for memory blocks); the sound
/// errors of SoundLoad when it cannot.
void SoundFromData(std::int32_t id, std::int32_t data_size, const void* data,
                   std::int32_t format_tag, std::int32_t channels, std::int32_t rate,
                   std::int32_t bytes_per_second, std::int32_t block_align,
                   std::int32_t bits_per_sample);

/// A sound's format and a copy of its data, as SoundToData hands them out.
struct SoundDataCopy {
  std::uint8_t format[18];          ///< the sound's WAVEFORMATEX, as stored
  std::int32_t samples_per_second;  ///< the sample rate (frames per second)
  std::int32_t bits_per_second;     ///< bytes per second x 8
  std::int32_t seconds;             ///< data size / bytes per second
  std::uint8_t* data;               ///< a new copy of the sound's data (malloc'd)
  std::int32_t size;                ///< its size in bytes
};
/// Mode 1 fills copy from the sound, false when there is no such sound; any other mode frees
/// copy->data.
bool SoundToData(std::int32_t mode, std::int32_t id, SoundDataCopy* copy);

}  // namespace tessark

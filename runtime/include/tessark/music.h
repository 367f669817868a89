/// @file
/// Music: numbered music played from files (WAV, AIFF, FLAC, Ogg Vorbis, Opus, MP3 and MIDI)
/// or from audio CD tracks, once or looping, paused and resumed, with volume and speed. Music
/// is decoded as it plays, beside the program, and heard through the same output as sounds;
/// a finished music is noticed by the per-frame update inside FrameSync. Ids run from 1 to
/// 22000000.
///
/// Failures raise the music codes named in tessark/errors.h (error::kMusicIdOutOfRange to
/// error::kMusicTrackOutOfRange) and change nothing. Without an audio device every file fails
/// to load with error::kMusicLoadFailed; ErrorDetail then says there is no audio device.
#pragma once

#include <cstdint>

namespace tessark {

/// Loads a music file under id, stopped at its start; raises error::kMusicIdOutOfRange for a bad
/// id, error::kMusicIdInUse for an id in use (the old music stays) and error::kMusicLoadFailed for
/// a file that is missing or cannot be played.
void MusicLoad(const char* file, std::int32_t id);
/// Makes id play audio CD track `track`; raises error::kMusicIdOutOfRange, error::kMusicIdInUse, or
/// error::kMusicTrackOutOfRange for a track outside 1 to 22000000. Without a CD drive the music
/// exists but nothing is heard.
void MusicLoadCdTrack(std::int32_t track, std::int32_t id);
/// Plays the music once from where it stands (from the start once it has finished); a paused
/// music plays on and is no longer paused. Raises error::kMusicIdOutOfRange or
/// error::kMusicMissing for a bad or free id, as every operation on an id below does.
void PlayMusic(std::int32_t id);
/// Plays the music as PlayMusic does and starts it again from the beginning each time it ends.
void MusicLoop(std::int32_t id);
/// Stops the music and rewinds it to its start; looping ends.
void StopMusic(std::int32_t id);
/// Pauses the music where it is.
void PauseMusic(std::int32_t id);
/// Plays a paused music on from where it was paused; a music that has played to its end plays
/// again from its start.
void ResumeMusic(std::int32_t id);
/// Deletes the music and frees its id.
void MusicDelete(std::int32_t id);
/// True when id holds a music; raises error::kMusicIdOutOfRange for an id out of range (a free id
/// raises nothing).
bool MusicExists(std::int32_t id);
/// True while the music plays (false after it has played to its end without looping).
bool MusicPlaying(std::int32_t id);
/// True while the music loops.
bool MusicLooping(std::int32_t id);
/// True while the music is paused.
bool MusicPaused(std::int32_t id);
/// The volume last set in percent (100 for a new music file, 0 for a CD track); 0 on failure.
std::int32_t MusicVolume(std::int32_t id);
/// The speed last set in percent (100 for a new music file, 0 for a CD track); 0 on failure.
std::int32_t MusicSpeed(std::int32_t id);
/// Sets the volume in percent: 100 is full level, each percent below it 0.25 dB quieter,
/// 0 or less silent. For a CD track it sets the system's speaker volume, where there is one.
void SetMusicVolume(std::int32_t id, std::int32_t percent);
/// Sets the speed in percent (200 plays twice as fast, an octave higher) and plays the music;
/// raises error::kMusicSpeedNegative for a negative percentage. Any speed a file's rate allows
/// plays as asked: up to 25.6 MHz divided by the file's rate (58000 percent for 44.1 kHz), down
/// to 100 Hz divided by it (0.23 percent); speeds beyond those play at the nearest one, and 0
/// leaves the speed that was playing.
void SetMusicSpeed(std::int32_t id, std::int32_t percent);
/// The number of tracks on the audio CD in the drive; 0 without one.
std::int32_t MusicCdTrackCount();

}  // namespace tessark

// The decoders behind a graph: a file's audio as 16-bit PCM frames, read in order from a
// position. Each decoder is used by one thread at a time (the graph's worker).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/win32/win_types.h"

namespace dshow {

class Decoder {
 public:
  virtual ~Decoder() = default;
  // The slow part of opening (loading a sound font), done by the worker before the first Read
  // so that the program's thread never waits for it; false when it fails (the file is then
  // over at once).
  virtual bool Prepare() { return true; }
  // Reads up to count frames of channels() interleaved samples; 0 at the end of the file, and
  // also when decoding fails part-way (what was decoded is played, then the file ends).
  virtual long Read(std::int16_t* out, long count) = 0;
  // Moves to a frame; false when the decoder cannot (it then stays where it was).
  virtual bool Seek(std::int64_t frame) = 0;

  int channels() const { return channels_; }  // 1 or 2
  int rate() const { return rate_; }
  // Frames in the file, or -1 while not known.
  std::int64_t frames() const { return frames_; }

 protected:
  int channels_ = 0;
  int rate_ = 0;
  std::int64_t frames_ = -1;
};

// Opens a decoder for the file at path (a native path): MIDI files (a standard MIDI file or
// its RIFF form) through FluidSynth and the sound font, everything else through libsndfile.
// Null with *why set to VFW_E_NOT_FOUND (no such file) or VFW_E_UNSUPPORTED_STREAM.
std::unique_ptr<Decoder> DecoderOpen(const std::string& path, HRESULT* why);

// The sound font MIDI files play with.
void SoundFontSet(const char* path);

}  // namespace dshow

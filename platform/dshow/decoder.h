// The decoders behind a graph: a file's audio as 16-bit PCM frames of one or two channels,
// read in order from a position, at the file's rate or that rate divided by a whole number.
// Each decoder is used by one thread at a time (the graph's worker).
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/win32/win_types.h"

namespace dshow {

// The largest whole number a file's rate is divided by: enough for a 192 kHz file to play
// at more than a hundred times its speed, little enough that one read stays short.
constexpr int kMaxRateDivisor = 256;

class Decoder {
 public:
  virtual ~Decoder() = default;
  // The slow part of opening (loading a sound font), done by the worker before the first Read
  // so that the program's thread never waits for it; false when it fails (the file is then
  // over at once).
  virtual bool Prepare() { return true; }
  // Reads up to count frames of channels() interleaved samples; 0 at the end of the file, and
  // also when decoding fails part-way (what was decoded is played, then the file ends). With
  // a divisor above 1, each frame is the mean of that many frames of the file (a box low-pass
  // ahead of dropping the rate), so the frames come at rate() / divisor.
  long Read(std::int16_t* out, long count);
  // Moves to a frame of the file (not of the divided rate); false when the decoder cannot
  // (it then stays where it was) or when abandon was set while it was on its way (a MIDI
  // file renders from its start; the decoder then stands anywhere until the next seek).
  virtual bool Seek(std::int64_t frame, const std::atomic<bool>& abandon) = 0;
  // The divisor (1 to kMaxRateDivisor) Read uses from now on.
  void SetDivisor(int divisor);

  int channels() const { return channels_; }  // 1 or 2
  int rate() const { return rate_; }
  // Frames in the file, or -1 while not known.
  std::int64_t frames() const { return frames_; }

 protected:
  // Reads up to count frames of the file, channels() interleaved floats in -1..1 each; 0 at
  // the end or on failure.
  virtual long ReadFrames(float* out, long count) = 0;

  int channels_ = 0;
  int rate_ = 0;
  std::int64_t frames_ = -1;

 private:
  int divisor_ = 1;
  std::vector<float> block_;
};

// Opens a decoder for the file at path (a native path): MIDI files (a standard MIDI file or
// its RIFF form) through FluidSynth and the sound font, everything else through libsndfile.
// Null with *why set to VFW_E_NOT_FOUND (no such file) or VFW_E_UNSUPPORTED_STREAM.
std::unique_ptr<Decoder> DecoderOpen(const std::string& path, HRESULT* why);

// The sound font MIDI files play with.
void SoundFontSet(const char* path);

}  // namespace dshow

// The pictures a replay saves when a frame differs from the recording. The recording keeps a
// hash of each frame, not its picture, so the pair saved is what the game showed at the
// differing frame and the last frame that still matched (kept as a copy while replaying: the
// hash copies each frame as it reads it, and a match swaps the copy in).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/replay/replay.h"

namespace replay {

class FramePictures {
 public:
  // Where the frame hash may copy this frame as it hashes it (rows packed without gaps), or
  // null when no picture can be made of it. The copy costs no second pass over the frame.
  std::uint8_t* Candidate(const FrameImage& image);
  // The candidate copy of this frame matched the recording: it becomes the kept one (the
  // buffers swap; nothing is copied).
  void KeepCandidate(std::uint32_t frame);
  // Saves <base>.frame<N>.seen.png and the last match beside it; returns the sentence that
  // names them (or says why not).
  std::string Save(const std::string& base, std::uint32_t frame, const FrameImage& seen) const;

 private:
  std::vector<std::uint8_t> bits_, candidate_bits_;
  FrameImage kept_, candidate_;
  std::uint32_t kept_frame_ = 0;
  bool have_ = false;
};

}  // namespace replay

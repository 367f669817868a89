// The pictures a replay saves when a frame differs from the recording. The recording keeps a
// hash of each frame, not its picture, so the pair saved is what the game showed at the
// differing frame and the last frame that still matched (kept as a copy while replaying).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/replay/replay.h"

namespace replay {

class FramePictures {
 public:
  // Keeps a copy of a frame that matched the recording.
  void KeepMatch(std::uint32_t frame, const FrameImage& image);
  // Saves <base>.frame<N>.seen.png and the last match beside it; returns the sentence that
  // names them (or says why not).
  std::string Save(const std::string& base, std::uint32_t frame, const FrameImage& seen) const;

 private:
  std::vector<std::uint8_t> bits_;
  FrameImage kept_;
  std::uint32_t kept_frame_ = 0;
  bool have_ = false;
};

}  // namespace replay

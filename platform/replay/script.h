// Scripted input for tests: the text form (see script.cpp and docs/replay.md) parsed into the
// items of a recording, one event batch per statement, each tied to its frame.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/replay/replay_file.h"

namespace replay {

struct Script {
  Recording recording;          // events only; Item::frame says when each batch comes
  std::uint32_t end_frame = 0;  // the run ends when this frame ends
};

// A text whose first word (after blank lines and comments) is "frame".
bool LooksLikeScript(const std::uint8_t* data, std::size_t size);

// Returns an empty text, else the first fault with its line ("line 3: unknown action ...").
std::string ParseScript(const std::string& text, Script* out);

}  // namespace replay

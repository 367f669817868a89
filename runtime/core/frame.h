// The core's frame steps, behind the game-facing FrameSync and the refresh calls.
#pragma once

#include <cstdint>

namespace tessark {

// One frame: pacing, the sprite and camera passes and the present block in their order.
void FrameRender();
// The Update entries of the music, sound and video modules.
void MediaUpdate();
// Pump, media update and, in automatic mode, a frame; 1 once the quit message has been seen.
std::int32_t RuntimeRefresh();

}  // namespace tessark

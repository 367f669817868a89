// The runtime's side of record and replay: the launch options start a session when the
// runtime opens and the program's end closes it. The recording itself lives at the stand-ins'
// seam (platform/replay); see docs/replay.md.
#pragma once

#include <cstdint>

#include "runtime/core/launch_options.h"

namespace tessark {

// Before the display is looked for: a replay without waits runs headless, on SDL's dummy
// drivers, unless a video driver was named.
void ReplayPrepare(const LaunchOptions& options);

// Starts recording or replaying as the stored launch options ask, for a window of this size.
// A recording that cannot be used ends the program here with a message and status 2.
void ReplaySessionOpen(std::int32_t width, std::int32_t height);

// Closes the recording, or checks that the replay reached its end; the program's exit status
// (0 when neither, or when all went well).
int ReplaySessionClose();

}  // namespace tessark

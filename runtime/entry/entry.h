// The program entry's work, kept apart from main() itself: the runtime library (shared or static)
// carries EntryRun, and the small entry library holds only the main() that calls it with the
// game's GameMain, so a program links main() without linking anything the runtime is built on.
#pragma once

namespace tessark {

// Parses the launch options, enters the folder that holds Data, checks that a window can be
// opened, opens the runtime and calls game_main. Returns the program's exit code when it cannot
// start; when game_main returns, the program ends there with 0.
int EntryRun(int argc, char** argv, void (*game_main)());

}  // namespace tessark

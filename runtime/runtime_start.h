// The start and stop of the runtime that the program entry and a game's own main share.
#pragma once

namespace tessark {

// Reads the launch options, records the start folder, enters the folder that holds Data, checks
// that a window can be opened and opens the runtime for a centred 640 x 480 window. -1 when the
// runtime is open; otherwise it is not, what went wrong (or the --help text) has been printed,
// and the result is the status the program should end with: 0 after --help, 2 for a bad option,
// 1 when no window can be opened.
int RuntimeStartStatus(int argc, char** argv);

}  // namespace tessark

// The program's launch options: what the entry reads from the command line and the environment
// before the runtime opens. One reader for every option the runtime takes, so a game never has
// to parse them and a game's own arguments reach it untouched.
//
// Each option has an environment variable of the same meaning, for games started by other tools;
// the command line wins where both are given:
//   --record FILE     TESSARK_RECORD=FILE      record this run into FILE
//   --replay FILE     TESSARK_REPLAY=FILE      play FILE back instead of the machine's input
//   --replay-fast     TESSARK_REPLAY_FAST=1    replay without the frame waits
//   --replay-check    TESSARK_REPLAY_CHECK=1   stop at the first frame that differs
//   --scale N         TESSARK_SCALE=N          a window N times the game's size (1 to 8)
//   --help, -h                                 print the options and end
// "--" ends the runtime's options: everything after it is the game's. Anything the runtime does
// not know is the game's too, in its order.
#pragma once

#include <string>
#include <vector>

namespace tessark {

struct LaunchOptions {
  std::string record;  // empty: not recording
  std::string replay;  // empty: not replaying
  bool replay_fast = false;
  bool replay_check = false;
  int scale = 1;  // whole-pixel window scale, 1 to kMaxScale
  bool help = false;
  std::string program;                      // argv[0] as given
  std::vector<std::string> game_arguments;  // what the runtime did not take, in order
};

inline constexpr int kMaxScale = 8;

// Reads argv and the environment into *options. Returns an empty text on success, else what is
// wrong ("--scale needs a whole number from 1 to 8, not \"x\""); *options then holds what was
// read before the fault.
std::string LaunchOptionsParse(int argc, const char* const* argv, LaunchOptions* options);

// The options of this run, as the entry stored them (defaults when nothing was stored, as in a
// program with its own main).
const LaunchOptions& LaunchOptionsGet();
void LaunchOptionsStore(const LaunchOptions& options);

// The option list for --help, naming the program.
std::string LaunchOptionsHelp(const std::string& program);

}  // namespace tessark

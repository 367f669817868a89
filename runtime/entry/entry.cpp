// The program entry's work, called by main() (main.cpp) with the game's GameMain: the runtime
// starts as RuntimeStart does (the launch options, the folder that holds Data, a window that can
// be opened, the runtime open for a centred 640 x 480 window), then the game runs. When the game
// returns, the program ends at once with 0: the runtime is not closed, and static destructors do
// not run either, since the modules' state still refers across modules (a device held by one
// module, its presenter by another) and would be torn down in no particular order.
#include "runtime/entry/entry.h"

#include <cstdio>
#include <cstdlib>

#include "runtime/core/replay_session.h"
#include "runtime/runtime_start.h"

int tessark::EntryRun(int argc, char** argv, void (*game_main)()) {
  int status = RuntimeStartStatus(argc, argv);
  if (status >= 0) return status;
  game_main();
  // A replay that diverged or could not be read ends the program with its own status.
  int replay_status = ReplaySessionClose();
  std::fflush(nullptr);
  std::_Exit(replay_status);
}

// Kettlebrim's main function and frame loop. For now only the start-up calls and the loop that
// keeps the window answering until it is closed; the screens, assets and pot world come later.
#include <tessark/tessark.h>

void GameMain() {
  FrameSyncManual();
  FrameSetRate(60);
  EscapeQuitOff();
  RandomSeed(ClockMillis());

  while (RuntimeRunning()) {
    FrameSync();
  }
}

// Kettlebrim's main function and frame loop. Provisional: the start-up calls and a loop that
// clears the screen and keeps the window answering until it is closed; the screens, assets,
// pot world and music come with the game itself.
#include <tessark/tessark.h>

void GameMain() {
  FrameSyncManual();
  FrameSetRate(60);
  EscapeQuitOff();
  RandomSeed(ClockMillis());

  DisplaySetMode(640, 480, 32);
  MouseShow();
  FrameSyncManual();
  FrameSetRate(60);
  FrameSpritesLast();

  TextSetFont("arial");
  TextSetSize(24);
  TextSetBold();
  TextSetTransparent();

  while (RuntimeRunning()) {
    ScreenClear(0);
    FrameSync();
  }
}

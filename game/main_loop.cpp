// Kettlebrim's main function: start-up in its fixed order, then one loop iteration per frame
// until the player quits from the title screen or the window is closed.
#include <tessark/tessark.h>

#include "game/game.h"

using namespace tessark;

namespace kettlebrim {

GameState g_state;

// Configures the runtime for the game, loads every asset and starts the music.
void GameStartUp() {
  FrameSyncManual();
  FrameSetRate(60);
  EscapeQuitOff();
  RandomSeed(ClockMillis());

  DisplaySetMode(640, 480, 32);
  MouseShow();
  // The frame mode and rate again after the display is set: the game's start-up order makes
  // these calls twice on purpose, so keep both.
  FrameSyncManual();
  FrameSetRate(60);
  FrameSpritesLast();

  TextSetFont("arial");
  TextSetSize(24);
  TextSetBold();
  TextSetTransparent();

  AssetsLoadSounds();
  AssetsLoadImages();

  SoundLoop(kSoundMusic);
}

// One frame: clear, tick the current screen, synchronise. A quit from the title screen leaves
// before the frame is presented.
bool GameFrame() {
  if (!RuntimeRunning()) return false;
  ScreenClear(0);
  if (ScreenTick()) return false;
  FrameSync();
  return true;
}

// Frees the physics world and returns every object to its all-zero start.
void GameStateClear() {
  PotWorldRelease(g_state.pot);
  g_state = GameState{};
}

}  // namespace kettlebrim

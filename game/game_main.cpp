// The game's main function, called by the runtime's entry once the runtime is open.
#include <tessark/tessark.h>

#include "game/game.h"

using namespace tessark;

void GameMain() {
  kettlebrim::GameStartUp();
  while (kettlebrim::GameFrame()) {
  }
}

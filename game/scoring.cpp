// Rules of reward and loss: click points with the chain bonus, the show-off bonus, chances.
#include <tessark/tessark.h>

#include "game/game.h"

using namespace tessark;

namespace kettlebrim {

namespace {
constexpr int kChainBonus = 200;
constexpr int kShowOffBonus = 500;
}  // namespace

// Base points for 3 to 6 tokens, plus n times the chain bonus times the level; else nothing.
int ClickPoints(int n, int chain_bonus, int level) {
  static constexpr int kBase[] = {10, 100, 1000, 10000};
  if (n < 3 || n > 6) return 0;
  return kBase[n - 3] + n * chain_bonus * level;
}

// A scoring click shows its multiplier at the pointer and arms the chain bonus; any other
// click in the pot clears it.
void ScoreClick(GameScreen& game, int n) {
  if (n >= 3 && n <= 6) {
    game.score += ClickPoints(n, game.chain_bonus, game.level);
    const MouseState& mouse = g_state.mouse;
    EffectCreate(g_state.effects, kEffectFadingSprite, mouse.x, mouse.y, 0, -1,
                 kImageMultiplierBase + n, 0, 1, 30, false);
    game.chain_bonus = kChainBonus;
  } else {
    game.chain_bonus = 0;
  }
}

void LoseChance(GameScreen& game) {
  if (--game.chances < 0) {
    game.chances = 0;
    GamePotOut();
  }
}

// A button use: the caption at the pointer, 500 points and a flourish.
void ShowOff(GameScreen& game) {
  const MouseState& mouse = g_state.mouse;
  EffectCreate(g_state.effects, kEffectFadingSprite, mouse.x - 75, mouse.y - 25, 0, -1,
               kImageShowOff, 0, 1, 120, false);
  game.score += kShowOffBonus;
  SoundPlay(kSoundShowOff);
}

}  // namespace kettlebrim

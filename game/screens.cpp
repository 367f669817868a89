// The screen manager, the title screen, the game screen with its phases, counters, cooldowns
// and buttons, and the mouse state that turns button readings into a once-per-press click.
#include <tessark/tessark.h>

#include "game/game.h"

using namespace tessark;

namespace kettlebrim {

namespace {

constexpr int kTitleGuardFrames = 100;
constexpr int kReadyFrames = 140;
constexpr int kGoCaptionFrom = 100;
constexpr int kPotOutFrames = 140;
constexpr int kButtonCooldown = 300;
constexpr int kShakeCooldownAtReset = 600;
constexpr int kShakeFrames = 10;

// A random number from 0 to n - 1.
int RandomBelow(int n) {
  return Rand() % n;
}

void GameReset();

// Title: counts the guard down and reads the buttons.
void TitleUpdate() {
  TitleScreen& title = g_state.title;
  if (title.guard > 0) --title.guard;
  MouseUpdateEdges(g_state.mouse);
}

// The two texts are drawn first; the opaque backdrop pasted after them covers them.
void TitleDraw() {
  std::uint32_t green = ColourRgb(0, 255, 0);
  InkSet(green, green);
  TextPrintAt(200, 200, "Kettlebrim");
  TextPrintAt(200, 300, "Space to Start. Shift+esc to quit");
  ImagePaste(kImageBackdropTitle, 0, 0, 0);
}

void TitleInput() {
  if (KeyEscape() && g_state.title.guard == 0) g_state.screens.quit = true;
  if (MouseClick(g_state.mouse)) ScreenShow(kScreenGame);
}

void GameUpdate() {
  GameScreen& game = g_state.game;
  if (game.shake_offset > 0) --game.shake_offset;
  PotWorldStep(g_state.pot);
  TokensUpdate(g_state.tokens);
  EffectsUpdate(g_state.effects);
  MouseUpdateEdges(g_state.mouse);
  MouseUpdatePosition(g_state.mouse);

  switch (game.phase) {
    case kPhaseReady:
      if (++game.phase_counter > kReadyFrames) GameSetPhase(kPhasePlaying);
      break;
    case kPhasePlaying:
      if (--game.spawn_countdown < 0) {
        game.spawn_countdown = game.spawn_interval;
        int kind = RandomBelow(kKindCount);
        int x = 256 + RandomBelow(128);
        TokensSpawn(g_state.tokens, g_state.pot, x, 0, kind);
      }
      if (game.add_veg_cooldown > 0) --game.add_veg_cooldown;
      if (game.shake_cooldown > 0) --game.shake_cooldown;
      break;
    case kPhasePotOut:
      if (++game.phase_counter > kPotOutFrames) ScreenShow(kScreenTitle);
      break;
    default:
      break;
  }
}

void GameDraw() {
  const GameScreen& game = g_state.game;
  ImagePaste(kImageBackdropGame, 0, 0, 0);
  ImagePaste(kImagePot, 64, 96 - game.shake_offset, 1);
  TokensDraw(g_state.tokens);
  HudDraw(game);
  ImagePaste(game.add_veg_cooldown == 0 ? kImageAddVeg : kImageAddVegFaded, 32, 400, 1);
  ImagePaste(game.shake_cooldown == 0 ? kImageShake : kImageShakeFaded, 420, 400, 1);
  if (game.phase == kPhaseReady) {
    ImagePaste(game.phase_counter < kGoCaptionFrom ? kImageReady : kImageGo, 200, 200, 1);
  } else if (game.phase == kPhasePotOut) {
    ImagePaste(kImagePotOut, 180, 200, 1);
  }
  CursorRingDraw(g_state.mouse);
  EffectsDraw(g_state.effects);
}

// Drops a row of five tokens above the pot, each a little higher by chance.
void AddVeg() {
  for (int i = 0; i < 5; ++i) {
    int kind = RandomBelow(kKindCount);
    int r = RandomBelow(48);
    TokensSpawn(g_state.tokens, g_state.pot, 224 + 48 * i, -64 - r, kind);
  }
}

// Escape returns to the title, but the rest of this input still acts on the game state.
void GameInput() {
  GameScreen& game = g_state.game;
  const MouseState& mouse = g_state.mouse;
  if (KeyEscape()) {
    g_state.title.guard = kTitleGuardFrames;
    ScreenShow(kScreenTitle);
  }
  if (!MouseClick(mouse)) return;
  if (MouseInPot(mouse)) TokensClick(g_state.tokens);
  if (MouseOnShake(mouse) && game.shake_cooldown == 0) {
    PotWorldShake(g_state.tokens);
    game.shake_offset = kShakeFrames;
    game.shake_cooldown = kButtonCooldown;
    ShowOff(game);
  }
  if (MouseOnAddVeg(mouse) && game.add_veg_cooldown == 0) {
    AddVeg();
    game.add_veg_cooldown = kButtonCooldown;
    ShowOff(game);
  }
}

void GameReset() {
  GameScreen& game = g_state.game;
  game.layout = 0;
  game.spawn_countdown = 60;
  game.spawn_interval = 60;
  game.score = 0;
  game.level = 1;
  game.chances = 3;
  game.removed = 0;
  game.add_veg_cooldown = kButtonCooldown;
  game.shake_cooldown = kShakeCooldownAtReset;
  game.shake_offset = 0;
  game.chain_bonus = 0;
  MouseResetEdges(g_state.mouse);
  TokensReset(g_state.tokens);
  EffectsReset(g_state.effects);
  PotWorldBuild(g_state.pot, game.layout);
  GameSetPhase(kPhaseStart);
}

}  // namespace

void ScreenShow(int screen) {
  g_state.screens.current = screen;
  if (screen == kScreenTitle) g_state.title.guard = kTitleGuardFrames;
  if (screen == kScreenGame) GameReset();
}

// Update, draw and input of the current screen; answers the quit flag.
bool ScreenTick() {
  if (g_state.screens.current == kScreenTitle) {
    TitleUpdate();
    TitleDraw();
    TitleInput();
  } else {
    GameUpdate();
    GameDraw();
    GameInput();
  }
  return g_state.screens.quit;
}

// Start deals the first grid, 25 tokens in five columns whose upper rows begin above the pot,
// and moves on to Ready at once.
void GameSetPhase(int phase) {
  GameScreen& game = g_state.game;
  game.phase = phase;
  game.phase_counter = 0;
  if (phase != kPhaseStart) return;
  for (int i = 0; i < 5; ++i) {
    for (int j = 0; j < 5; ++j) {
      TokensSpawn(g_state.tokens, g_state.pot, 224 + 48 * i, 68 - 48 * j, RandomBelow(kKindCount));
    }
  }
  GameSetPhase(kPhaseReady);
}

void GamePotOut() {
  GameSetPhase(kPhasePotOut);
}

// Faster spawning, one more chance and a rising caption.
void GameLevelUp() {
  GameScreen& game = g_state.game;
  ++game.level;
  game.spawn_interval -= 3;
  if (game.spawn_interval < 15) game.spawn_interval = 15;
  ++game.chances;
  EffectCreate(g_state.effects, kEffectFadingSprite, 260, 200, 0, -1, kImageLevelUp, 0, 1, 90,
               false);
}

bool MouseInPot(const MouseState& m) {
  return m.x > 192 && m.x < 450 && m.y > 100 && m.y < 382;
}
bool MouseOnAddVeg(const MouseState& m) {
  return m.x > 32 && m.x < 220 && m.y > 400 && m.y < 464;
}
bool MouseOnShake(const MouseState& m) {
  return m.x > 420 && m.x < 600 && m.y > 400 && m.y < 464;
}

// The buttons are read once per value, so a value is pressed for exactly one update after the
// reading changes to it.
void MouseUpdateEdges(MouseState& mouse) {
  for (int i = 0; i < 3; ++i) {
    mouse.pressed[i] = false;
    int reading = MouseButtons();
    if (reading == i) {
      if (!mouse.held[i]) {
        mouse.pressed[i] = true;
        mouse.held[i] = true;
      }
    } else {
      mouse.held[i] = false;
    }
  }
}

void MouseResetEdges(MouseState& mouse) {
  for (int i = 0; i < 3; ++i) mouse.held[i] = mouse.pressed[i] = false;
}

void MouseUpdatePosition(MouseState& mouse) {
  mouse.x = MouseX();
  mouse.y = MouseY();
}

}  // namespace kettlebrim

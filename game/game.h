// Kettlebrim's state: the seven objects the game is made of, statically allocated and all zero
// when the program starts (the first values that differ from zero are written by the screen
// transitions). Each concern has its own file; this header is what they share.
#pragma once

#include <chipmunk/chipmunk.h>

#include <cstdint>

namespace kettlebrim {

// Screens and phases.
enum Screen : int { kScreenTitle = 0, kScreenGame = 1 };
enum GamePhase : int { kPhaseStart = 0, kPhaseReady = 1, kPhasePlaying = 2, kPhasePotOut = 3 };

// Image slots (the asset catalogue's numbering).
enum ImageSlot : int {
  kImageBackdropGame = 2,
  kImageBackdropTitle = 3,
  kImageAddVeg = 4,
  kImageAddVegFaded = 5,
  kImageShake = 6,
  kImageShakeFaded = 7,
  kImageCursorRing = 8,
  kImagePop = 9,  // 9, 10, 11
  kImageDigitZero = 12,
  kImageComma = 23,
  kImageMultiplierBase = 24,  // + n for n = 3 to 6
  kImagePot = 31,
  kImageLevelUp = 46,
  kImageGo = 47,
  kImagePotOut = 48,
  kImageReady = 49,
  kImageShowOff = 50,
};

// Sound slots.
enum SoundSlot : int {
  kSoundTokenRemoved = 1,
  kSoundShowOff = 2,
  kSoundMusic = 3,
  kSoundLostChance = 4
};

constexpr int kTokenSlots = 200;
constexpr int kCircleSlotsEnd = 100;  // slots 0-99 hold circle kinds, 100-199 square kinds
constexpr int kEffectSlots = 1000;
constexpr int kGridSize = 20;
constexpr int kMaxStaticSegments = 4 + kGridSize * kGridSize;
constexpr int kHoverRadius = 40;
constexpr int kRemovalsPerLevel = 30;
constexpr int kSpriteStamp = 1;

struct ScreenManager {
  bool quit;
  int current;
};

struct TitleScreen {
  int guard;  // frames during which Escape does not quit
};

// Button values 0, 1 and 2: held, and pressed in this update. Value 1 is the left button alone.
struct MouseState {
  int x;
  int y;
  bool held[3];
  bool pressed[3];
};

struct GameScreen {
  int phase;
  int phase_counter;
  int layout;
  int spawn_countdown;
  int spawn_interval;
  int score;
  int level;
  int chances;
  int removed;
  int add_veg_cooldown;
  int shake_cooldown;
  int shake_offset;
  int chain_bonus;
};

// The physics world of the current game. It records every body and shape it makes so that the
// next build can free them all.
struct PotWorld {
  std::int16_t grid[kGridSize * kGridSize];  // row by row: cell (i, j) at j * 20 + i
  cpSpace* space;
  cpBody* static_body;
  cpShape* segments[kMaxStaticSegments];
  int segment_count;
  cpBody* bodies[kTokenSlots];
  cpShape* shapes[kTokenSlots];
  int body_count;
};

enum VegKind : int { kPea = 0, kCarrot, kSweetcorn, kEggPlant, kOnion, kBeetroot, kKindCount };
enum ShapeClass : int { kCircle = 0, kSquare = 1 };

struct Token {
  bool active;
  bool hovered;
  bool marked;
  bool body_created;
  cpBody* body;
  cpShape* shape;
  int kind;
  int x;
  int y;
};

struct TokenPool {
  Token slots[kTokenSlots];
};

struct FrameAnimation {
  int tick;
  int delay;
  bool loop;
  int first_image;
  int frame_count;
  int current_image;
};

enum EffectKind : int { kEffectAnimation = 1, kEffectFadingSprite = 2 };

struct Effect {
  float x, y;
  float vx, vy;
  float ax, ay;
  int alpha;
  int life;
  bool active;
  FrameAnimation animation;
  int kind;
};

struct EffectList {
  Effect slots[kEffectSlots];
};

struct GameState {
  ScreenManager screens;
  TitleScreen title;
  GameScreen game;
  MouseState mouse;
  PotWorld pot;
  TokenPool tokens;
  EffectList effects;
};

// The one game state.
extern GameState g_state;

// Main loop (main_loop.cpp).
void GameStartUp();
bool GameFrame();  // one frame of the loop; false when the loop ends
void GameStateClear();

// Assets (assets.cpp).
void AssetsLoadSounds();
void AssetsLoadImages();

// Screens (screens.cpp).
void ScreenShow(int screen);
bool ScreenTick();
void GameSetPhase(int phase);
void GamePotOut();
void GameLevelUp();
bool MouseInPot(const MouseState& mouse);
bool MouseOnAddVeg(const MouseState& mouse);
bool MouseOnShake(const MouseState& mouse);
void MouseUpdateEdges(MouseState& mouse);
void MouseResetEdges(MouseState& mouse);
void MouseUpdatePosition(MouseState& mouse);
inline bool MouseClick(const MouseState& mouse) {
  return mouse.pressed[1];
}

// Pot world (pot_world.cpp).
void PotWorldBuild(PotWorld& pot, int layout);
void PotWorldRelease(PotWorld& pot);
void PotWorldStep(PotWorld& pot);
void PotWorldCreateBody(PotWorld& pot, int shape_class, int x, int y, cpBody** body,
                        cpShape** shape);
void PotWorldPlace(cpBody* body, int x, int y);
void PotWorldPark(cpBody* body);
void PotWorldShake(TokenPool& pool);

// Tokens (tokens.cpp).
int VegShapeClass(int kind);
int VegImage(int kind, bool hovered);
void TokensReset(TokenPool& pool);
void TokensSpawn(TokenPool& pool, PotWorld& pot, int x, int y, int kind);
void TokensUpdate(TokenPool& pool);
void TokensDraw(const TokenPool& pool);
void TokensClick(TokenPool& pool);
int TokenAngle(const Token& token);

// Scoring (scoring.cpp).
int ClickPoints(int n, int chain_bonus, int level);
void ScoreClick(GameScreen& game, int n);
void LoseChance(GameScreen& game);
void ShowOff(GameScreen& game);

// HUD and effects (hud.cpp).
void NumberWithCommas(const char* in, char* out);
void ImageFontPrint(const char* text, int x, int y);
void HudDraw(const GameScreen& game);
void CursorRingDraw(const MouseState& mouse);
void EffectsReset(EffectList& list);
void EffectCreate(EffectList& list, int kind, int x, int y, int vx, int vy, int first_image,
                  int frame_count, int delay, int life, bool loop);
void EffectsUpdate(EffectList& list);
void EffectsDraw(EffectList& list);
int AnimationStep(FrameAnimation& animation);

}  // namespace kettlebrim

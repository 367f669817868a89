// The token pool: 200 vegetable slots bound to physics bodies, the hover ring around the
// pointer, the matching rule of a click, removal, fall-out and drawing.
#include <tessark/tessark.h>

#include "game/game.h"

using namespace tessark;

namespace kettlebrim {

namespace {

constexpr int kLostBelowY = 480;

struct KindInfo {
  int shape_class;
  int image;
  int hover_image;
};

constexpr KindInfo kKinds[kKindCount] = {
    {kCircle, 40, 41},  // Pea
    {kSquare, 34, 35},  // Carrot
    {kCircle, 44, 45},  // Sweetcorn
    {kCircle, 36, 37},  // EggPlant
    {kSquare, 38, 39},  // Onion
    {kSquare, 32, 33},  // Beetroot
};

// Clears active and parks the body; the slot keeps its body for a later spawn.
void TokenRemove(Token& token) {
  token.active = false;
  PotWorldPark(token.body);
}

}  // namespace

int VegShapeClass(int kind) {
  return kKinds[kind].shape_class;
}
int VegImage(int kind, bool hovered) {
  return hovered ? kKinds[kind].hover_image : kKinds[kind].image;
}

void TokensReset(TokenPool& pool) {
  for (Token& token : pool.slots) {
    token.active = false;
    token.body_created = false;
    token.body = nullptr;
    token.shape = nullptr;
  }
}

// Takes the lowest free slot of the kind's class; a full class drops the spawn.
void TokensSpawn(TokenPool& pool, PotWorld& pot, int x, int y, int kind) {
  if (kind < 0 || kind >= kKindCount) return;
  int first = VegShapeClass(kind) == kCircle ? 0 : kCircleSlotsEnd;
  int last = first + kCircleSlotsEnd;
  for (int s = first; s < last; ++s) {
    Token& token = pool.slots[s];
    if (token.active) continue;
    if (!token.body_created) {
      PotWorldCreateBody(pot, VegShapeClass(kind), x, y, &token.body, &token.shape);
      token.body_created = true;
    }
    token.x = x;
    token.y = y;
    PotWorldPlace(token.body, x, y);
    token.active = true;
    token.kind = kind;
    return;
  }
}

// Hover ring from the pointer of the previous update, then tokens that fell out of the screen.
void TokensUpdate(TokenPool& pool) {
  const MouseState& mouse = g_state.mouse;
  for (Token& token : pool.slots) token.hovered = false;

  if (MouseInPot(mouse)) {
    for (Token& token : pool.slots) {
      if (!token.active || !token.body) continue;
      cpVect p = cpBodyGetPosition(token.body);
      token.x = static_cast<int>(p.x);
      token.y = static_cast<int>(p.y);
      int dx = token.x - mouse.x;
      int dy = token.y - mouse.y;
      int distance = static_cast<int>(MathSqrt(static_cast<float>(dx * dx + dy * dy)));
      if (distance < kHoverRadius) token.hovered = true;
    }
  }

  GameScreen& game = g_state.game;
  for (Token& token : pool.slots) {
    if (!token.active || !token.body) continue;
    cpVect p = cpBodyGetPosition(token.body);
    if (p.y <= kLostBelowY) continue;
    SoundPlay(kSoundLostChance);
    cpBodySetPosition(token.body, cpv(p.x, 0));
    TokenRemove(token);
    LoseChance(game);
  }
}

// The body's angle in whole degrees, 0 to 359, from its rotation vector.
int TokenAngle(const Token& token) {
  cpVect rotation = cpBodyGetRotation(token.body);
  int a = static_cast<int>(MathAsin(static_cast<float>(rotation.y)));
  if (rotation.x < 0) a = 180 - a;
  if (a < 0) a += 360;
  return a;
}

// Circle-class tokens (the lower slots) are drawn beneath square-class ones.
void TokensDraw(const TokenPool& pool) {
  for (const Token& token : pool.slots) {
    if (!token.active || !token.body) continue;
    int image = VegImage(token.kind, token.hovered);
    int angle = TokenAngle(token);
    cpVect p = cpBodyGetPosition(token.body);
    SpriteSet(kSpriteStamp, token.x, token.y, image);
    SpriteSetOffset(kSpriteStamp, 16, 16);
    SpriteRotate(kSpriteStamp, static_cast<float>(angle));
    SpritePaste(kSpriteStamp, static_cast<int>(p.x), static_cast<int>(p.y));
    SpriteDelete(kSpriteStamp);
  }
}

// Removes every hovered token whose kind has at least three tokens in the ring.
void TokensClick(TokenPool& pool) {
  int hovered_of_kind[kKindCount] = {};
  for (const Token& token : pool.slots) {
    if (token.active && token.hovered) ++hovered_of_kind[token.kind];
  }
  int n = 0;
  for (Token& token : pool.slots) {
    if (!token.active) continue;
    token.marked = token.hovered && hovered_of_kind[token.kind] > 2;
    if (token.marked) ++n;
  }
  if (n > 0) SoundPlay(kSoundTokenRemoved);
  ScoreClick(g_state.game, n);

  GameScreen& game = g_state.game;
  for (Token& token : pool.slots) {
    if (!token.active || !token.marked) continue;
    TokenRemove(token);
    if (++game.removed == kRemovalsPerLevel) {
      game.removed = 0;
      GameLevelUp();
    }
    EffectCreate(g_state.effects, kEffectAnimation, token.x - 16, token.y - 16, 0, 0, kImagePop, 2,
                 3, 10, false);
  }
}

}  // namespace kettlebrim

// The HUD in the game's image font, the cursor ring, and the effects: pops, multipliers and
// the rising captions, with their frame animations and fades.
#include <tessark/tessark.h>

#include <cstdio>
#include <cstring>

#include "game/game.h"

using namespace tessark;

namespace kettlebrim {

namespace {
constexpr int kFontAdvance = 12;
constexpr int kNumberBuffer = 20;
}  // namespace

// Puts a comma before each group of three digits counted from the right.
void NumberWithCommas(const char* in, char* out) {
  std::size_t len = std::strlen(in);
  if (len <= 3) {
    std::memcpy(out, in, len + 1);
    return;
  }
  int k = static_cast<int>(len % 3);
  if (k == 0) k = 3;
  std::size_t o = 0;
  for (std::size_t i = 0; i < len; ++i) {
    if (k > 0) {
      --k;
    } else {
      k = 2;
      if (i + 1 < len) out[o++] = ',';
    }
    out[o++] = in[i];
  }
  out[o] = '\0';
}

// Digits and the comma have pictures; every other character only takes its place.
void ImageFontPrint(const char* text, int x, int y) {
  for (int i = 0; text[i]; ++i) {
    char c = text[i];
    int slot = 0;
    if (c >= '0' && c <= '9') slot = kImageDigitZero + (c - '0');
    if (c == ',') slot = kImageComma;
    if (slot) ImagePaste(slot, x + kFontAdvance * i, y, 1);
  }
}

void HudDraw(const GameScreen& game) {
  struct Number {
    int value, x, y;
  };
  const Number numbers[] = {{game.level, 32, 65}, {game.score, 32, 129}, {game.chances, 480, 65}};
  for (const Number& number : numbers) {
    char digits[kNumberBuffer];
    char text[kNumberBuffer];
    std::snprintf(digits, sizeof digits, "%d", number.value);
    NumberWithCommas(digits, text);
    ImageFontPrint(text, number.x, number.y);
  }
}

void CursorRingDraw(const MouseState& mouse) {
  if (!MouseInPot(mouse)) return;
  SpriteSet(kSpriteStamp, mouse.x, mouse.y, kImageCursorRing);
  SpriteSetOffset(kSpriteStamp, 46, 46);
  SpritePaste(kSpriteStamp, mouse.x, mouse.y);
  SpriteDelete(kSpriteStamp);
}

void EffectsReset(EffectList& list) {
  for (Effect& effect : list.slots) effect.active = false;
}

// Takes the lowest free slot; with all slots busy the effect is dropped. The animation's tick
// carries over from the slot's previous effect.
void EffectCreate(EffectList& list, int kind, int x, int y, int vx, int vy, int first_image,
                  int frame_count, int delay, int life, bool loop) {
  for (Effect& effect : list.slots) {
    if (effect.active) continue;
    effect.active = true;
    effect.x = static_cast<float>(x);
    effect.y = static_cast<float>(y);
    effect.vx = static_cast<float>(vx);
    effect.vy = static_cast<float>(vy);
    effect.ax = effect.ay = 0.0f;
    effect.kind = kind;
    effect.life = life;
    effect.animation.loop = loop;
    effect.animation.delay = delay;
    effect.animation.first_image = first_image;
    effect.animation.frame_count = frame_count;
    effect.animation.current_image = first_image;
    if (kind == kEffectFadingSprite) effect.alpha = 255;
    return;
  }
}

void EffectsUpdate(EffectList& list) {
  for (Effect& effect : list.slots) {
    if (!effect.active) continue;
    effect.x += effect.vx;
    effect.y += effect.vy;
    effect.vx += effect.ax;
    effect.vy += effect.ay;
    if (--effect.life < 0) effect.active = false;
  }
}

// Advances the animation by one draw and answers the image to show.
int AnimationStep(FrameAnimation& a) {
  if (++a.tick < a.delay) return a.current_image;
  a.tick = 0;
  ++a.current_image;
  if (a.current_image >= a.first_image + a.frame_count) {
    a.current_image = a.loop ? a.first_image : a.first_image + a.frame_count;
  }
  return a.current_image;
}

void EffectsDraw(EffectList& list) {
  for (Effect& effect : list.slots) {
    if (!effect.active) continue;
    int x = static_cast<int>(effect.x);
    int y = static_cast<int>(effect.y);
    if (effect.kind == kEffectAnimation) {
      ImagePaste(AnimationStep(effect.animation), x, y, 1);
    } else if (effect.kind == kEffectFadingSprite) {
      if (effect.life > 0) {
        effect.alpha -= 255 / effect.life;
      } else {
        effect.alpha = 0;
      }
      if (effect.alpha < 0) effect.alpha = 0;
      int image = AnimationStep(effect.animation);
      SpriteSet(kSpriteStamp, x, y, image);
      SpriteSetAlpha(kSpriteStamp, effect.alpha);
      SpritePaste(kSpriteStamp, x, y);
      SpriteDelete(kSpriteStamp);
    }
  }
}

}  // namespace kettlebrim

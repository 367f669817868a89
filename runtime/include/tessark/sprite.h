// Sprites: numbered screen-space pictures with a hot spot, scale or size, rotation, colour and
// alpha, mirror and flip and a drawing priority. Kept visible sprites are drawn once a frame
// by FrameSync; SpritePaste draws one at once. Ids run from 1 to 22000000.
#pragma once

#include <cstdint>

namespace tessark {

// Creates the sprite showing image at x, y, or moves it and changes its image.
void SpriteSet(std::int32_t id, std::int32_t x, std::int32_t y, std::int32_t image);
// The hot spot, in picture pixels: the point placed at the sprite's position.
void SpriteSetOffset(std::int32_t id, std::int32_t x, std::int32_t y);
// Degrees, clockwise on screen, about the hot spot.
void SpriteRotate(std::int32_t id, float angle);
void SpriteSetAlpha(std::int32_t id, std::int32_t alpha);
// Draws the sprite now at x, y without moving it.
void SpritePaste(std::int32_t id, std::int32_t x, std::int32_t y);
void SpriteDelete(std::int32_t id);

void SpriteSetImage(std::int32_t id, std::int32_t image);
void SpriteSetColour(std::int32_t id, std::int32_t red, std::int32_t green, std::int32_t blue);
void SpriteScale(std::int32_t id, float percent);
void SpriteStretch(std::int32_t id, float x_percent, float y_percent);
void SpriteSize(std::int32_t id, std::int32_t width, std::int32_t height);
void SpriteMirror(std::int32_t id);
void SpriteFlip(std::int32_t id);
// Moves the sprite distance pixels in the direction it faces (0 degrees: up).
void SpriteMove(std::int32_t id, float distance);
void SpritePriority(std::int32_t id, std::int32_t priority);
void SpriteHide(std::int32_t id);
void SpriteShow(std::int32_t id);
void SpriteHideAll();
void SpriteShowAll();
void SpriteClone(std::int32_t id, std::int32_t new_id);
void SpriteSetVertexUV(std::int32_t id, std::int32_t vertex, float u, float v);
// Background handling (0 none, 1 restore what sprites covered, 2 clear to the backdrop colour)
// and whether the sprite is drawn blended (1) or opaque (0).
void SpriteSetDrawMode(std::int32_t id, std::int32_t background_mode, std::int32_t transparent);
// Linear (1) or point (0) filtering for sprites and pastes.
void SpriteSetFilter(std::int32_t flag);
// other 0: the first sprite overlapping this one, or 0; other > 0: 1 when the two overlap.
std::int32_t SpriteCollision(std::int32_t id, std::int32_t other);
// As SpriteCollision, but only on the first call of a run of hits.
std::int32_t SpriteHit(std::int32_t id, std::int32_t other);

// A frame sheet of across by down cells loaded from file into image.
void SpriteCreateAnimated(std::int32_t id, const char* file, std::int32_t across, std::int32_t down,
                          std::int32_t image);
// Steps through frames first..last, one each time more than delay milliseconds have passed.
void SpritePlay(std::int32_t id, std::int32_t first, std::int32_t last, std::int32_t delay);
void SpriteSetFrame(std::int32_t id, std::int32_t frame);

// Queries.
float SpriteX(std::int32_t id);
float SpriteY(std::int32_t id);
std::int32_t SpriteImage(std::int32_t id);
std::int32_t SpriteWidth(std::int32_t id);
std::int32_t SpriteHeight(std::int32_t id);
float SpriteScaleX(std::int32_t id);
float SpriteScaleY(std::int32_t id);
bool SpriteMirrored(std::int32_t id);
bool SpriteFlipped(std::int32_t id);
std::int32_t SpriteOffsetX(std::int32_t id);
std::int32_t SpriteOffsetY(std::int32_t id);
float SpriteAngle(std::int32_t id);
std::int32_t SpriteAlpha(std::int32_t id);
std::int32_t SpriteRed(std::int32_t id);
std::int32_t SpriteGreen(std::int32_t id);
std::int32_t SpriteBlue(std::int32_t id);
std::int32_t SpriteFrame(std::int32_t id);
bool SpriteVisible(std::int32_t id);
bool SpriteExists(std::int32_t id);

}  // namespace tessark

/// @file
/// Sprites: numbered screen-space pictures with a hot spot, scale or size, rotation, colour and
/// alpha, mirror and flip and a drawing priority. Kept visible sprites are drawn once a frame by
/// FrameSync; SpritePaste draws one at once. Ids run from 1 to 22000000. Every operation on a
/// sprite id records error::kSpriteIdOutOfRange for an id outside that range and
/// error::kSpriteMissing for a sprite that does not exist (SpriteSet and SpriteExists excepted),
/// and then changes nothing; queries then answer 0.
#pragma once

#include <cstdint>

namespace tessark {

/// Creates the sprite showing image at x, y, or moves it and changes its image; records
/// error::kImageIdOutOfRange for a bad image id or a new sprite whose image has no picture.
void SpriteSet(std::int32_t id, std::int32_t x, std::int32_t y, std::int32_t image);
/// Sets the hot spot, in picture pixels: the point placed at the sprite's position.
void SpriteSetOffset(std::int32_t id, std::int32_t x, std::int32_t y);
/// Turns the sprite to angle degrees, clockwise on screen, about the hot spot.
void SpriteRotate(std::int32_t id, float angle);
/// Sets the alpha, 0 (invisible) to 255; error::kSpriteAlphaOutOfRange outside that.
void SpriteSetAlpha(std::int32_t id, std::int32_t alpha);
/// Draws the sprite now at x, y without moving it.
void SpritePaste(std::int32_t id, std::int32_t x, std::int32_t y);
/// Deletes the sprite (its image stays).
void SpriteDelete(std::int32_t id);

/// Shows another image; error::kImageIdOutOfRange for a bad image id.
void SpriteSetImage(std::int32_t id, std::int32_t image);
/// Tints the sprite; error::kSpriteColourOutOfRange for a component outside 0 to 255.
void SpriteSetColour(std::int32_t id, std::int32_t red, std::int32_t green, std::int32_t blue);
/// Scales the picture by percent; error::kSpriteScaleOutOfRange outside 0 to 250000.
void SpriteScale(std::int32_t id, float percent);
/// Scales across and down separately; error::kSpriteScaleOutOfRange outside 0 to 250000.
void SpriteStretch(std::int32_t id, float x_percent, float y_percent);
/// Draws the sprite width by height pixels; error::kSpriteSizeNegative for a negative size.
void SpriteSize(std::int32_t id, std::int32_t width, std::int32_t height);
/// Mirrors the sprite left to right (again: back).
void SpriteMirror(std::int32_t id);
/// Flips the sprite upside down (again: back).
void SpriteFlip(std::int32_t id);
/// Moves the sprite distance pixels in the direction it faces (0 degrees: up).
void SpriteMove(std::int32_t id, float distance);
/// Sets the drawing priority: the sprite pass draws priority 0 first, then 1 and up; a sprite
/// with a negative priority is not drawn by it.
void SpritePriority(std::int32_t id, std::int32_t priority);
/// Keeps the sprite from being drawn by FrameSync.
void SpriteHide(std::int32_t id);
/// Lets FrameSync draw the sprite again.
void SpriteShow(std::int32_t id);
/// Hides every sprite.
void SpriteHideAll();
/// Shows every sprite.
void SpriteShowAll();
/// Copies sprite id to new_id; error::kSpriteIdInUse when new_id exists,
/// error::kSpriteIdOutOfRange when it is outside the range. Note the order: the existing sprite
/// first (SoundClone takes the new id first).
void SpriteClone(std::int32_t id, std::int32_t new_id);
/// Sets one corner's texture coordinates; error::kSpriteVertexOutOfRange outside 0 to 3.
void SpriteSetVertexUV(std::int32_t id, std::int32_t vertex, float u, float v);
/// Background handling (0 none, 1 restore what sprites covered, 2 clear to the backdrop colour)
/// and whether the sprite is drawn blended (1) or opaque (0); error::kSpriteBackgroundModeInvalid
/// or error::kSpriteTransparentFlagInvalid for other values.
void SpriteSetDrawMode(std::int32_t id, std::int32_t background_mode, std::int32_t transparent);
/// Linear (1) or point (0) filtering for sprites and pastes.
void SpriteSetFilter(std::int32_t flag);
/// other 0: the id of the first sprite overlapping this one, or 0; other > 0: 1 when the two
/// overlap, else 0 (error::kSpriteMissing when other does not exist).
std::int32_t SpriteCollision(std::int32_t id, std::int32_t other);
/// As SpriteCollision, but answers only on the first call of a run of hits (0 after).
std::int32_t SpriteHit(std::int32_t id, std::int32_t other);

/// Loads file into image and makes the sprite a frame sheet of across by down cells; records
/// error::kSpriteIdInUse, kSpriteAcrossOutOfRange, kSpriteDownOutOfRange,
/// kSpriteSheetImageOutOfRange or kSpriteCreateFailed.
void SpriteCreateAnimated(std::int32_t id, const char* file, std::int32_t across, std::int32_t down,
                          std::int32_t image);
/// Steps through frames first..last, one each time more than delay milliseconds have passed;
/// error::kImageIdOutOfRange for a bad frame, error::kSpriteDelayOutOfRange for a bad delay.
void SpritePlay(std::int32_t id, std::int32_t first, std::int32_t last, std::int32_t delay);
/// Shows one frame; error::kImageIdOutOfRange for a frame outside the range.
void SpriteSetFrame(std::int32_t id, std::int32_t frame);

// Queries: each answers 0 (false) after recording the id's error.
/// The x position.
float SpriteX(std::int32_t id);
/// The y position.
float SpriteY(std::int32_t id);
/// The image shown.
std::int32_t SpriteImage(std::int32_t id);
/// The width as drawn.
std::int32_t SpriteWidth(std::int32_t id);
/// The height as drawn.
std::int32_t SpriteHeight(std::int32_t id);
/// The horizontal scale in percent.
float SpriteScaleX(std::int32_t id);
/// The vertical scale in percent.
float SpriteScaleY(std::int32_t id);
/// Whether the sprite is mirrored.
bool SpriteMirrored(std::int32_t id);
/// Whether the sprite is flipped.
bool SpriteFlipped(std::int32_t id);
/// The hot spot's x.
std::int32_t SpriteOffsetX(std::int32_t id);
/// The hot spot's y.
std::int32_t SpriteOffsetY(std::int32_t id);
/// The angle in degrees.
float SpriteAngle(std::int32_t id);
/// The alpha, 0 to 255.
std::int32_t SpriteAlpha(std::int32_t id);
/// The red tint, 0 to 255.
std::int32_t SpriteRed(std::int32_t id);
/// The green tint, 0 to 255.
std::int32_t SpriteGreen(std::int32_t id);
/// The blue tint, 0 to 255.
std::int32_t SpriteBlue(std::int32_t id);
/// The frame shown.
std::int32_t SpriteFrame(std::int32_t id);
/// Whether FrameSync draws the sprite.
bool SpriteVisible(std::int32_t id);
/// Whether the sprite exists (no error for a sprite that does not).
bool SpriteExists(std::int32_t id);

}  // namespace tessark

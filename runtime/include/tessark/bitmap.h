/// @file
/// Bitmaps: numbered off-screen drawing targets in the screen's pixel format. While a bitmap is
/// current every kind of drawing (2D primitives, screen clears, image pastes, sprites, text)
/// goes into it instead of the screen; bitmap 0 is the screen itself. Bitmaps are copied between
/// each other and the screen, loaded from picture files, and flipped, mirrored, faded and
/// blurred in place. Ids run from 1 to 22000000 (0, the screen, where a bitmap is only used).
///
/// Failures raise error::kBitmapIdOutOfRange (an id outside its range),
/// error::kBitmapMissing (no such bitmap) or error::kBitmapLoadFailed (a file that cannot be
/// loaded; ErrorDetail says why) and change nothing.
#pragma once

#include <cstdint>

namespace tessark {

/// Makes bitmap id of width x height, current and cleared to black; raises
/// error::kBitmapIdOutOfRange. A surface that cannot be made leaves no bitmap (later uses raise
/// error::kBitmapMissing).
void BitmapCreate(std::int32_t id, std::int32_t width, std::int32_t height);
/// Loads a picture file into bitmap id (made at the picture's size when missing, else the
/// top-left part that fits) and makes it current; raises error::kBitmapIdOutOfRange or
/// error::kBitmapLoadFailed.
void BitmapLoad(const char* file, std::int32_t id);
/// Loads a picture file onto the screen (its top-left part that fits); raises
/// error::kBitmapLoadFailed.
void BitmapLoad(const char* file);
/// Deletes bitmap id and makes the screen current; raises error::kBitmapIdOutOfRange (0 included)
/// or error::kBitmapMissing.
void BitmapDelete(std::int32_t id);
/// Sends all drawing to bitmap id (0: the screen); raises error::kBitmapIdOutOfRange or
/// error::kBitmapMissing.
void BitmapSetCurrent(std::int32_t id);
/// The bitmap drawing goes to (0 for the screen).
std::int32_t BitmapCurrent();
/// Copies the top-left part both bitmaps share from source to destination; raises
/// error::kBitmapIdOutOfRange (also for source = destination) or error::kBitmapMissing.
void BitmapCopy(std::int32_t source, std::int32_t destination);
/// Copies a rectangle (right and bottom exclusive), stretched to the destination rectangle when
/// the widths differ; rectangles outside their bitmaps copy nothing. Raises
/// error::kBitmapIdOutOfRange or error::kBitmapMissing.
void BitmapCopyRect(std::int32_t source, std::int32_t left, std::int32_t top, std::int32_t right,
                    std::int32_t bottom, std::int32_t destination, std::int32_t to_left,
                    std::int32_t to_top, std::int32_t to_right, std::int32_t to_bottom);
/// Turns the bitmap upside down and toggles its flipped flag; raises error::kBitmapIdOutOfRange or
/// error::kBitmapMissing.
void BitmapFlip(std::int32_t id);
/// Turns the bitmap left to right and toggles its mirrored flag; raises error::kBitmapIdOutOfRange
/// or error::kBitmapMissing.
void BitmapMirror(std::int32_t id);
/// Scales red, green and blue by percentage (0 to 100; other values do nothing); raises
/// error::kBitmapIdOutOfRange or error::kBitmapMissing.
void BitmapFade(std::int32_t id, std::int32_t percentage);
/// Replaces each pixel by the average of the value x value square around it (1 or less and
/// above 9 do nothing); raises error::kBitmapIdOutOfRange or error::kBitmapMissing.
void BitmapBlur(std::int32_t id, std::int32_t value);

/// Whether bitmap id exists; raises error::kBitmapIdOutOfRange only.
bool BitmapExists(std::int32_t id);
/// Width of bitmap id in pixels; 0 after error::kBitmapIdOutOfRange or error::kBitmapMissing.
std::int32_t BitmapWidth(std::int32_t id);
/// Height of bitmap id in pixels; 0 after error::kBitmapIdOutOfRange or error::kBitmapMissing.
std::int32_t BitmapHeight(std::int32_t id);
/// Bits per pixel of bitmap id; 0 after error::kBitmapIdOutOfRange or error::kBitmapMissing.
std::int32_t BitmapDepth(std::int32_t id);
/// Whether the bitmap has been mirrored an odd number of times; false after an error.
bool BitmapMirrored(std::int32_t id);
/// Whether the bitmap has been flipped an odd number of times; false after an error.
bool BitmapFlipped(std::int32_t id);
/// Whether the current bitmap exists.
bool BitmapExists();
/// Width of the current bitmap in pixels; 0 when it does not exist.
std::int32_t BitmapWidth();
/// Height of the current bitmap in pixels; 0 when it does not exist.
std::int32_t BitmapHeight();
/// Bits per pixel of the current bitmap; 0 when it does not exist.
std::int32_t BitmapDepth();
/// Whether the current bitmap has been mirrored an odd number of times; false when it does not
/// exist.
bool BitmapMirrored();
/// Whether the current bitmap has been flipped an odd number of times; false when it does not
/// exist.
bool BitmapFlipped();

}  // namespace tessark

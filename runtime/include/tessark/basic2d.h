/// @file
/// Basic 2D drawing: clearing the screen, the ink, colours, and dots, lines, boxes, gradient
/// boxes, circles, ellipses and area copies drawn straight onto the surface drawing goes to (the
/// back buffer unless a bitmap is current). Colours are 0xAARRGGBB. None of these raises an
/// error: drawing outside the surface is clipped, and without a display nothing is drawn.
#pragma once

#include <cstdint>

namespace tessark {

/// Clears the whole drawing surface to colour.
void ScreenClear(std::uint32_t colour);
/// Sets the ink the drawing operations use, and the background colour of opaque text.
void InkSet(std::uint32_t foreground, std::uint32_t background);

/// Packs red, green and blue with alpha 255; only the low 8 bits of green and blue count.
std::uint32_t ColourRgb(std::int32_t red, std::int32_t green, std::int32_t blue);
/// The red component (0 to 255) of a colour.
std::int32_t ColourRed(std::uint32_t colour);
/// The green component (0 to 255) of a colour.
std::int32_t ColourGreen(std::uint32_t colour);
/// The blue component (0 to 255) of a colour.
std::int32_t ColourBlue(std::uint32_t colour);

/// Draws one pixel in the ink.
void DotDraw(std::int32_t x, std::int32_t y);
/// Draws one pixel in colour.
void DotDrawColour(std::int32_t x, std::int32_t y, std::uint32_t colour);
/// The colour of one pixel; 0 outside the surface.
std::uint32_t DotRead(std::int32_t x, std::int32_t y);
/// Draws a line in the ink.
void LineDraw(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2);
/// Fills a box in the ink; right and bottom are exclusive.
void BoxDraw(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom);
/// Fills a box blending four corner colours: c1 bottom-left, c2 top-left, c3 bottom-right, c4
/// top-right.
void BoxGradientDraw(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom,
                     std::uint32_t c1, std::uint32_t c2, std::uint32_t c3, std::uint32_t c4);
/// Draws a circle's outline in the ink.
void CircleDraw(std::int32_t x, std::int32_t y, std::int32_t radius);
/// Draws an ellipse's outline in the ink.
void EllipseDraw(std::int32_t x, std::int32_t y, std::int32_t x_radius, std::int32_t y_radius);
/// Copies width by height pixels from (source_x, source_y) to (dest_x, dest_y); the two may
/// overlap.
void AreaCopy(std::int32_t dest_x, std::int32_t dest_y, std::int32_t width, std::int32_t height,
              std::int32_t source_x, std::int32_t source_y);

// Pixel access: lock once around many dots.
/// Locks the drawing surface for direct pixel access; does nothing without a display.
void SurfaceLock();
/// Unlocks the drawing surface.
void SurfaceUnlock();
/// The first pixel of the locked surface; null when it is not locked.
void* SurfacePixels();
/// Bytes from one row of the locked surface to the next; 0 when it is not locked.
std::int32_t SurfacePitch();
/// Reads the drawing surface's format again; answers its bytes per pixel (0 without a display).
std::int32_t SurfaceDepthRead();

}  // namespace tessark

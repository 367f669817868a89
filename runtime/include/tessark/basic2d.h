// Basic 2D drawing: clearing the screen, the ink, colours, and dots, lines, boxes, gradient
// boxes, circles, ellipses and area copies drawn straight onto the surface drawing goes to (the
// back buffer unless a bitmap is current). Colours are 0xAARRGGBB.
#pragma once

#include <cstdint>

namespace tessark {

void ScreenClear(std::uint32_t colour);
void InkSet(std::uint32_t foreground, std::uint32_t background);

// Packs red, green and blue with alpha 255; only the low 8 bits of each count.
std::uint32_t ColourRgb(std::int32_t red, std::int32_t green, std::int32_t blue);
std::int32_t ColourRed(std::uint32_t colour);
std::int32_t ColourGreen(std::uint32_t colour);
std::int32_t ColourBlue(std::uint32_t colour);

void DotDraw(std::int32_t x, std::int32_t y);
void DotDrawColour(std::int32_t x, std::int32_t y, std::uint32_t colour);
std::uint32_t DotRead(std::int32_t x, std::int32_t y);
void LineDraw(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2);
// Right and bottom are exclusive.
void BoxDraw(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom);
// Corner colours: c1 bottom-left, c2 top-left, c3 bottom-right, c4 top-right.
void BoxGradientDraw(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom,
                     std::uint32_t c1, std::uint32_t c2, std::uint32_t c3, std::uint32_t c4);
void CircleDraw(std::int32_t x, std::int32_t y, std::int32_t radius);
void EllipseDraw(std::int32_t x, std::int32_t y, std::int32_t x_radius, std::int32_t y_radius);
// Copies width by height pixels from (source_x, source_y) to (dest_x, dest_y); the two may
// overlap.
void AreaCopy(std::int32_t dest_x, std::int32_t dest_y, std::int32_t width, std::int32_t height,
              std::int32_t source_x, std::int32_t source_y);

// Pixel access: lock once around many dots.
void SurfaceLock();
void SurfaceUnlock();
void* SurfacePixels();
std::int32_t SurfacePitch();
// Reads the render surface's format again; answers its bytes per pixel.
std::int32_t SurfaceDepthRead();

}  // namespace tessark

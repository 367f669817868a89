// Scaling an ARGB picture from a source rectangle onto a destination rectangle with the image
// stand-in's filters (none, point, linear, box), and the colour key that turns matching source
// pixels into transparent black before filtering.
#pragma once

#include <cstdint>

#include "platform/d3dx9/pixel_formats.h"

namespace d3dx {

enum class Filter { kNone, kPoint, kLinear, kBox };

// A rectangle of an ArgbImage: left, top, width, height (already clipped by the caller).
struct Area {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

// Sets every pixel equal to key (all 32 bits) to 0 (transparent black). key 0 does nothing.
void ApplyColourKey(ArgbImage& image, std::uint32_t key);

// Fills the destination area of dst from the source area of src with filter. kNone copies
// pixel for pixel into the top-left of the destination area and leaves the rest as it was.
void Resample(const ArgbImage& src, Area from, ArgbImage& dst, Area to, Filter filter);

}  // namespace d3dx

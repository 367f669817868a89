// The pictures of the Data folder, by group: tokens, the pot, backdrops and the interface
// pieces (buttons, cursor ring, image font, pops, multipliers, captions). Each Write function
// draws its group and writes the files under data_dir/Images/<Sub>/. Depends on canvas.h.
#pragma once

#include <cairo.h>

#include <string>

namespace assetgen {

enum class Veg { kPea, kCarrot, kSweetcorn, kEggPlant, kOnion, kBeetroot, kRedPepper };

// Token geometry: 32 by 32, centred on 16, 16 (round badges have radius 16).
constexpr int kTokenSize = 32;
// The pot picture, pasted at kPotX, kPotY.
constexpr int kPotWidth = 512, kPotHeight = 304;
constexpr int kPotX = 64, kPotY = 96;

// True for the vegetables whose physics shape is a circle.
bool IsRound(Veg veg);
// Draws a token badge into the 32 by 32 box at the origin of the current transform.
void DrawToken(cairo_t* cr, Veg veg, bool selected);
// Draws the pot in its own picture coordinates (0, 0 is the paste point).
void DrawPot(cairo_t* cr);

// Writers of each group; false with a message in error on the first failure.
bool WriteTokens(const std::string& data_dir, std::string* error);
bool WritePot(const std::string& data_dir, std::string* error);
bool WriteBackdrops(const std::string& data_dir, std::string* error);
bool WriteInterface(const std::string& data_dir, std::string* error);

}  // namespace assetgen

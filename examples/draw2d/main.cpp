// Basic 2D drawing: a demo of the basic 2D module. Each frame clears to dark blue and draws, in
// four panels, a fan of lines, filled boxes in several inks, gradient boxes (one with
// half-transparent corners over a white bar), concentric circles and ellipses, and a copied
// strip. The window's close box ends it; TESSARK_FRAMES=n ends it after n frames.
#include <tessark/tessark.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>

using namespace tessark;

namespace {

// Panel 1 (top left): a fan of lines in a colour ramp, and a frame around the panel.
void Lines() {
  for (int i = 0; i <= 16; ++i) {
    InkSet(ColourRgb(255, i * 15, 64), 0);
    LineDraw(20, 220, 20 + i * 18, 30);
  }
  InkSet(ColourRgb(255, 255, 255), 0);
  LineDraw(10, 10, 310, 10);
  LineDraw(310, 10, 310, 230);
  LineDraw(310, 230, 10, 230);
  LineDraw(10, 230, 10, 10);
}

// Panel 2 (top right): boxes in a row of inks, and gradient boxes.
void Boxes() {
  const std::uint32_t inks[] = {ColourRgb(255, 0, 0), ColourRgb(0, 255, 0), ColourRgb(0, 0, 255),
                                ColourRgb(255, 255, 0)};
  for (int i = 0; i < 4; ++i) {
    InkSet(inks[i], 0);
    BoxDraw(340 + i * 70, 20, 395 + i * 70, 70);
  }
  BoxGradientDraw(340, 90, 620, 150, 0xFF0000FF, 0xFFFF0000, 0xFF00FF00, 0xFFFFFF00);
  InkSet(ColourRgb(255, 255, 255), 0);
  BoxDraw(340, 185, 620, 195);
  BoxGradientDraw(340, 165, 620, 215, 0x00000000, 0x00000000, 0xFF00FFFF, 0xFF00FFFF);
}

// Panel 3 (bottom left): concentric circles, and a ring of small ones.
void Circles() {
  for (int r = 10; r <= 100; r += 15) {
    InkSet(ColourRgb(255 - r * 2, 128, r * 2), 0);
    CircleDraw(160, 360, r);
  }
  InkSet(ColourRgb(255, 255, 255), 0);
  for (int i = 0; i < 12; ++i) {
    double a = i * 3.14159265358979 / 6;
    CircleDraw(160 + static_cast<int>(std::lround(std::cos(a) * 105)),
               360 + static_cast<int>(std::lround(std::sin(a) * 105)), 6);
  }
}

// Panel 4 (bottom right): ellipses, wide and tall, and a strip copied beside them.
void Ellipses() {
  InkSet(ColourRgb(255, 160, 0), 0);
  EllipseDraw(470, 330, 130, 40);
  InkSet(ColourRgb(160, 255, 160), 0);
  EllipseDraw(470, 330, 40, 80);
  InkSet(ColourRgb(200, 200, 255), 0);
  EllipseDraw(470, 330, 90, 90);
  AreaCopy(340, 430, 280, 30, 340, 20);  // the row of boxes, copied below
}

}  // namespace

void GameMain() {
  DisplaySetMode(640, 480, 32);
  const char* frames_text = std::getenv("TESSARK_FRAMES");
  int frames = frames_text ? std::atoi(frames_text) : -1;
  while (RuntimeRunning() && frames != 0) {
    ScreenClear(ColourRgb(16, 24, 64));
    Lines();
    Boxes();
    Circles();
    Ellipses();
    FrameSync();
    if (frames > 0) --frames;
  }
}

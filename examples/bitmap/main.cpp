// Bitmaps and memory blocks: a demo of off-screen drawing. A scene is drawn once into bitmap 1
// (320 x 240); copies of it get one effect each. Every frame shows, in the four quarters of the
// screen: the scene as drawn (top left), mirrored (top right), faded to 40 % (bottom left), and
// in the bottom right quarter four small panels: blurred and flipped copies shrunk to half
// size, a 2x zoom of the scene's middle, and a memory block's bytes shown as an image. The
// window's close box ends it; TESSARK_FRAMES=n ends it after n frames.
#include <tessark/tessark.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>

using namespace tessark;

namespace {

constexpr std::int32_t kScene = 1, kMirrored = 2, kFaded = 3, kBlurred = 4, kFlipped = 5;
constexpr std::int32_t kWidth = 320, kHeight = 240;
constexpr std::int32_t kPatternBlock = 1, kPatternImage = 1;
constexpr std::int32_t kPatternWidth = 128, kPatternHeight = 96;

// The scene: a sky gradient, a sun, hills of boxes and a caption; different at left and right
// so that the mirror shows.
void SceneDraw() {
  BitmapCreate(kScene, kWidth, kHeight);
  BoxGradientDraw(0, 0, kWidth, kHeight, 0xFF1040A0, 0xFF80C0FF, 0xFF1040A0, 0xFF80C0FF);
  InkSet(ColourRgb(255, 220, 40), 0);
  for (int dy = -30; dy <= 30; ++dy) {
    const int dx = static_cast<int>(std::sqrt(900.0 - dy * dy));
    LineDraw(70 - dx, 60 + dy, 70 + dx, 60 + dy);
  }
  InkSet(ColourRgb(30, 140, 40), 0);
  BoxDraw(0, 170, kWidth, kHeight);
  InkSet(ColourRgb(40, 180, 60), 0);
  BoxDraw(180, 120, 300, 170);
  InkSet(ColourRgb(140, 70, 20), 0);
  BoxDraw(20, 140, 60, 170);
  InkSet(ColourRgb(255, 255, 255), 0);
  LineDraw(0, 0, kWidth - 1, kHeight - 1);
  TextPrintAt(110, 200, "BITMAP 1");
}

// Bitmap id as a copy of the scene.
void CopyMake(std::int32_t id) {
  BitmapCreate(id, kWidth, kHeight);
  BitmapCopy(kScene, id);
}

// A block of 32-bit pixels with the picture header, made into an image: a pattern of the byte
// values themselves.
void PatternMake() {
  const std::int32_t size = 12 + kPatternWidth * kPatternHeight * 4;
  MemblockMake(kPatternBlock, size);
  MemblockWriteDword(kPatternBlock, 0, kPatternWidth);
  MemblockWriteDword(kPatternBlock, 4, kPatternHeight);
  MemblockWriteDword(kPatternBlock, 8, 32);
  for (std::int32_t y = 0; y < kPatternHeight; ++y) {
    for (std::int32_t x = 0; x < kPatternWidth; ++x) {
      const std::int32_t at = 12 + (y * kPatternWidth + x) * 4;
      MemblockWriteByte(kPatternBlock, at + 0, (x * 2) & 255);      // blue
      MemblockWriteByte(kPatternBlock, at + 1, (x ^ y) * 4 & 255);  // green
      MemblockWriteByte(kPatternBlock, at + 2, (y * 2) & 255);      // red
      MemblockWriteByte(kPatternBlock, at + 3, 255);                // alpha
    }
  }
  ImageFromMemblock(kPatternImage, kPatternBlock);
}

void Prepare() {
  SceneDraw();
  CopyMake(kMirrored);
  BitmapMirror(kMirrored);
  CopyMake(kFaded);
  BitmapFade(kFaded, 40);
  CopyMake(kBlurred);
  BitmapBlur(kBlurred, 7);
  CopyMake(kFlipped);
  BitmapFlip(kFlipped);
  PatternMake();
  BitmapSetCurrent(0);
}

void FrameDraw() {
  ScreenClear(ColourRgb(16, 24, 64));
  BitmapCopy(kScene, 0);
  BitmapCopyRect(kMirrored, 0, 0, kWidth, kHeight, 0, 320, 0, 640, 240);
  BitmapCopyRect(kFaded, 0, 0, kWidth, kHeight, 0, 0, 240, 320, 480);
  BitmapCopyRect(kBlurred, 0, 0, kWidth, kHeight, 0, 320, 240, 480, 360);
  BitmapCopyRect(kFlipped, 0, 0, kWidth, kHeight, 0, 480, 240, 640, 360);
  BitmapCopyRect(kScene, 40, 30, 120, 90, 0, 320, 360, 480, 480);
  ImagePaste(kPatternImage, 496, 372, 0);
  InkSet(ColourRgb(255, 255, 255), 0);
  TextPrintAt(330, 4, "mirrored");
  TextPrintAt(4, 244, "faded 40");
  TextPrintAt(324, 244, "blur 7");
  TextPrintAt(484, 244, "flipped");
  TextPrintAt(324, 364, "zoom x2");
  TextPrintAt(484, 364, "memblock");
}

}  // namespace

void GameMain() {
  DisplaySetMode(640, 480, 32);
  Prepare();
  const char* frames_text = std::getenv("TESSARK_FRAMES");
  int frames = frames_text ? std::atoi(frames_text) : -1;
  while (RuntimeRunning() && frames != 0) {
    FrameDraw();
    FrameSync();
    if (frames > 0) --frames;
  }
}

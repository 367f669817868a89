// The text module inside the opened runtime: the print font chosen at start-up, the game's
// start-up font calls and its green-on-green title, a display mode change, and the print engine
// scrolling with the real 2D module.
#include <tessark/tessark.h>

#include <cstring>

#include "runtime/core/core_data.h"
#include "runtime/text/text_state.h"
#include "tests/support/runtime_fixture.h"

using namespace tessark;

namespace {

using tessark::testing::RuntimeFixture;

constexpr std::uint32_t kGreen = 0xFF00FF00u;

// Counts the pixels of a rectangle that have the colour (alpha ignored).
int CountColour(int left, int top, int right, int bottom, std::uint32_t colour) {
  int n = 0;
  SurfaceLock();
  for (int y = top; y < bottom; ++y)
    for (int x = left; x < right; ++x) n += (DotRead(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF);
  SurfaceUnlock();
  return n;
}

TEST_F(RuntimeFixture, TextOpensWithThePrintFont) {
  ASSERT_EQ(open_result_, 0);
  EXPECT_STREQ(tessark::text::State().font_name, "Fixedsys");
  EXPECT_EQ(TextSize(), 12);
  EXPECT_EQ(TextHeight("W"), 12);  // the atlas is built at its first use
  EXPECT_TRUE(tessark::text::State().font_texture);
  EXPECT_TRUE(tessark::text::State().vertex_buffer);
  EXPECT_EQ(error_word_, 0);
}

TEST_F(RuntimeFixture, GameStartUpFontAndGreenTitle) {
  ASSERT_EQ(open_result_, 0);
  DisplaySetMode(640, 480, 32);
  TextSetFont("arial");
  TextSetSize(24);
  TextSetBold();
  TextSetTransparent();
  EXPECT_EQ(TextHeight("Kettlebrim"), 24);
  ScreenClear(0);
  InkSet(ColourRgb(0, 255, 0), ColourRgb(0, 255, 0));
  TextPrintAt(200, 220, "Kettlebrim");
  const int width = TextWidth("Kettlebrim");
  const int green = CountColour(200, 220, 200 + width, 244, kGreen);
  const int black = CountColour(200, 220, 200 + width, 244, 0);
  EXPECT_GT(green, 200);
  EXPECT_GT(black, green);  // the cells themselves are not drawn
  EXPECT_EQ(green + black, width * 24);
  EXPECT_EQ(CountColour(0, 0, 640, 220, kGreen), 0);
  tessark::testing::RunFrames(2);
}

TEST_F(RuntimeFixture, DisplayModeChangeRebuildsTheFont) {
  ASSERT_EQ(open_result_, 0);
  TextSetFont("arial");
  TextSetSize(30);
  DisplaySetMode(640, 480, 32);
  // The module starts afresh around the new device, with its initial font.
  EXPECT_EQ(TextSize(), 12);
  EXPECT_STREQ(tessark::text::State().font_name, "fixedsys");
  ScreenClear(0);
  InkSet(0xFFFFFFFFu, 0);
  TextPrintAt(10, 10, "after");
  EXPECT_GT(CountColour(10, 10, 10 + TextWidth("after"), 22, 0xFFFFFFFFu), 10);
}

TEST_F(RuntimeFixture, PrintedLinesScrollUpAtTheBottom) {
  ASSERT_EQ(open_result_, 0);
  ScreenClear(0xFF000040u);
  InkSet(0xFFFFFFFFu, 0xFF000040u);
  const int height = TextHeight(" ");
  ASSERT_GT(height, 0);
  int lines = 0;
  while (tessark::CoreDataGet()->print_y + height <= 480 - height) {
    PrintString("");
    ++lines;
  }
  PrintString("MARK");  // the last line that fits
  const int mark_y = tessark::CoreDataGet()->print_y - height;
  EXPECT_GT(CountColour(0, mark_y, 80, mark_y + height, 0xFFFFFFFFu), 5);
  PrintString("scroll");  // passes the bottom: everything moves up
  EXPECT_EQ(tessark::CoreDataGet()->print_y, 480 - height);
  // The mark moved up by at least a line; the strip at the bottom is the background ink.
  EXPECT_GT(CountColour(0, mark_y - height, 80, mark_y, 0xFFFFFFFFu), 5);
  EXPECT_EQ(CountColour(0, 480 - height, 640, 480, 0xFF000040u), 640 * height);
  EXPECT_EQ(tessark::CoreDataGet()->ink, 0xFFFFFFFFu);
}

}  // namespace

// The text demo: a panel of text in several faces, sizes, styles and colours, transparent and
// opaque, and below it a log of lines printed through the print engine, which scrolls the
// screen up once the lines reach the bottom. A new line is printed every half second; the panel
// is drawn again after each one (the scroll moves the whole screen). Escape or the close box
// ends it.
//
// TESSARK_FRAMES=n ends the demo after n frames (for running it headless).
#include <tessark/tessark.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace tessark;

namespace {

constexpr std::int32_t kPanelBottom = 304;  // a whole number of 16-pixel print lines
constexpr int kFramesPerLine = 30;

std::uint32_t Backdrop() {
  return ColourRgb(24, 32, 48);
}

// One sample of the panel: a face, size and style, colours and whether the cells are opaque.
struct Sample {
  const char* face;
  std::uint32_t size;
  int style;  // bold * 2 + italic
  bool opaque;
  std::uint32_t ink;
  std::uint32_t paper;  // the background ink
  std::int32_t x, y;
  const char* text;
};

void StyleSet(int style) {
  switch (style) {
    case 1:
      TextSetItalic();
      break;
    case 2:
      TextSetBold();
      break;
    case 3:
      TextSetBoldItalic();
      break;
    default:
      TextSetNormal();
      break;
  }
}

// Clears the panel and draws every sample in it.
void PanelDraw() {
  const std::uint32_t backdrop = Backdrop();
  const Sample samples[] = {
      {"arial", 40, 2, false, ColourRgb(255, 255, 255), 0, 20, 8, "Tessark text"},
      {"arial", 24, 0, false, ColourRgb(255, 220, 60), 0, 20, 60, "Arial 24: the quick brown fox"},
      {"arial", 24, 2, false, ColourRgb(60, 220, 90), ColourRgb(60, 220, 90), 20, 90,
       "Bold, green on green, transparent"},
      {"arial", 20, 1, false, ColourRgb(120, 200, 255), 0, 20, 122, "Italic in light blue"},
      {"times new roman", 28, 0, false, ColourRgb(255, 150, 150), 0, 20, 148,
       "Times New Roman 28 \x96 caf\xE9 cr\xE8me, 5 \x80"},
      {"courier new", 18, 0, true, ColourRgb(0, 0, 0), ColourRgb(230, 230, 200), 20, 186,
       " Courier New 18, opaque cells "},
      {"arial", 16, 3, true, ColourRgb(255, 255, 255), ColourRgb(170, 30, 40), 20, 214,
       " Bold italic, white on red, opaque "},
      {"fixedsys", 12, 0, false, ColourRgb(200, 200, 200), 0, 20, 246,
       "Fixedsys 12: 0123456789 !\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~"},
  };
  InkSet(backdrop, backdrop);
  BoxDraw(0, 0, 640, kPanelBottom);
  InkSet(ColourRgb(90, 110, 140), backdrop);
  BoxDraw(0, kPanelBottom - 6, 640, kPanelBottom - 4);
  for (const Sample& s : samples) {
    TextSetFont(s.face);
    TextSetSize(s.size);
    StyleSet(s.style);
    if (s.opaque)
      TextSetOpaque();
    else
      TextSetTransparent();
    InkSet(s.ink, s.paper);
    TextPrintAt(s.x, s.y, s.text);
  }
  TextSetFont("arial");
  TextSetSize(14);
  TextSetNormal();
  TextSetTransparent();
  InkSet(ColourRgb(150, 160, 180), 0);
  TextCentreAt(480, 270, "centred at x = 480");
}

// Prints the next log line in the print font at the print cursor.
void LogPrint(int number) {
  static const char* const kWords[] = {"pea",      "carrot", "sweetcorn",
                                       "eggplant", "onion",  "beetroot"};
  TextSetFont("fixedsys");
  TextSetSize(16);
  TextSetNormal();
  TextSetTransparent();
  const std::uint32_t colours[] = {ColourRgb(255, 255, 255), ColourRgb(255, 210, 80),
                                   ColourRgb(120, 230, 140), ColourRgb(140, 190, 255)};
  InkSet(colours[number % 4], Backdrop());
  char line[96];
  std::snprintf(line, sizeof line, "Line %d: a %s drops into the pot", number, kWords[number % 6]);
  PrintString(line);
}

}  // namespace

void GameMain() {
  FrameSetRate(60);
  const char* frames_text = std::getenv("TESSARK_FRAMES");
  const long frame_limit = frames_text ? std::strtol(frames_text, nullptr, 10) : -1;
  ScreenClear(Backdrop());
  // Move the print cursor below the panel with empty lines in the print font.
  TextSetFont("fixedsys");
  TextSetSize(16);
  InkSet(ColourRgb(255, 255, 255), Backdrop());
  const std::int32_t height = TextHeight(" ");
  for (std::int32_t y = 0; height > 0 && y < kPanelBottom; y += height) PrintString("");
  PanelDraw();
  int line = 1;
  for (long frame = 0; RuntimeRunning() && (frame_limit < 0 || frame < frame_limit); ++frame) {
    if (frame % kFramesPerLine == 0) {
      LogPrint(line++);
      PanelDraw();
    }
    FrameSync();
  }
}

// The print engine: text printed at the print cursor, advancing it and scrolling the screen up
// with the 2D module's area copy and box when a new line runs past the bottom; the print font;
// and the input line that echoes what is typed into the window until Enter or Escape.
#include <cstdlib>
#include <cstring>
#include <string>

#include "runtime/text/text_state.h"
#include "tessark/core.h"
#include "tessark/text.h"

namespace tessark::text {

namespace {

constexpr char kCharEnter = 13;
constexpr char kCharEscape = 27;
constexpr char kCharBackspace = 8;

// The bottom of the area printing scrolls in: the back buffer's height.
std::int32_t PrintBottom(const CoreData& core) {
  return core.display_height > 0 ? core.display_height : core.window_height;
}

std::int32_t PrintWidth(const CoreData& core) {
  return core.display_width > 0 ? core.display_width : core.window_width;
}

// Fills a rectangle with the background ink through the 2D module's box, which draws in the
// ink: the ink is swapped for the background ink around it.
void BackgroundBox(CoreData& core, std::int32_t left, std::int32_t top, std::int32_t right,
                   std::int32_t bottom) {
  auto* box = Modules().basic2d_services.BoxDraw;
  if (!box) return;
  const std::uint32_t ink = core.ink;
  core.ink = core.background_ink;
  box(left, top, right, bottom);
  core.ink = ink;
}

// Takes the characters typed since the last call into line; true once Enter or Escape came.
bool TypedTake(CoreData& core, std::string& line) {
  if (!core.typed_text) return false;
  bool done = false;
  for (const char* c = core.typed_text; *c && !done; ++c) {
    if (*c == kCharEnter || *c == kCharEscape) {
      done = true;
    } else if (*c == kCharBackspace) {
      if (!line.empty()) line.pop_back();
    } else if (static_cast<unsigned char>(*c) >= 32) {
      line.push_back(*c);
    }
  }
  core.typed_text[0] = 0;  // emptied: the window starts the buffer afresh
  return done;
}

// Reads a typed line, echoing it at the print cursor each frame; then prints it for good.
std::string InputLineRead() {
  std::string line;
  TextState& s = State();
  CoreData* core = s.core;
  if (!core || !core->MessagePump) return line;
  if (core->typed_text) core->typed_text[0] = 0;
  const std::int32_t x = core->print_x;
  const std::int32_t y = core->print_y;
  std::int32_t drawn_width = 0;
  const std::int32_t height = TextHeight(" ");
  for (;;) {
    if (core->MessagePump() != 0) break;
    const bool done = TypedTake(*core, line);
    // Erase the previous echo (it may have been longer), then draw the line with a caret.
    BackgroundBox(*core, x, y, x + drawn_width, y + height);
    if (done) break;
    std::string echo = line + "_";
    TextPrintAt(x, y, echo.c_str());
    drawn_width = TextWidth(echo.c_str());
    FrameSync();
  }
  core->print_x = x;
  core->print_y = y;
  PrintText(line.c_str(), 1);
  return line;
}

}  // namespace

void PrintText(const char* text, std::int32_t new_line) {
  TextState& s = State();
  CoreData* core = s.core ? s.core : CoreDataGet();
  if (!text || !s.device) return;
  const std::int32_t width = TextWidth(text);
  std::int32_t height = TextHeight(text);
  if (height == 0) height = TextHeight(" ");
  TextPrintAt(core->print_x, core->print_y, text);
  if (!new_line) {
    core->print_x += width;
    return;
  }
  core->print_x = 0;
  core->print_y += height;
  const std::int32_t bottom = PrintBottom(*core);
  if (core->print_y + height > bottom) {
    const std::int32_t overflow = core->print_y + height - bottom;
    const std::int32_t screen_width = PrintWidth(*core);
    if (auto* copy = Modules().basic2d_services.AreaCopy)
      copy(0, 0, screen_width, bottom, 0, overflow);
    BackgroundBox(*core, 0, bottom - height, screen_width, bottom);
    core->print_y = bottom - height;
  }
}

void PrintFontSelect() {
  TextSetFontCharset("Fixedsys", 0);
}

bool PrintBitmapPaint(HWND, const RECT*) {
  // Nothing is printed before the display opens, so there is never a memory bitmap to show.
  return false;
}

void PrintBitmapRelease() {}

}  // namespace tessark::text

char* PrintInputLine() {
  std::string line = tessark::text::InputLineRead();
  return tessark::text::TextMake(line.c_str(), line.size());
}

std::int32_t PrintInputInteger() {
  std::string line = tessark::text::InputLineRead();
  return static_cast<std::int32_t>(std::strtol(line.c_str(), nullptr, 10));
}

float PrintInputReal() {
  std::string line = tessark::text::InputLineRead();
  return std::strtof(line.c_str(), nullptr);
}

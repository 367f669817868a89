// The print engine: text printed at the print cursor, advancing it and scrolling the screen up
// with the 2D module's area copy and box when a new line runs past the bottom; the print font;
// and the input line that echoes what is typed into the window until Enter or Escape.
#include <SDL.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/win32/event_source.h"
#include "runtime/core/module_table.h"
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

namespace {

// Printing before the display is open: GDI draws into the window-sized memory bitmap in the
// system font and the ink colours, and the cursor advances and scrolls as on the display.
void BitmapPrint(CoreData& core, const char* text, std::int32_t new_line) {
  TextState& s = State();
  if (!s.print_bitmap) {
    const int width = core.window_width > 0 ? core.window_width : 640;
    const int height = core.window_height > 0 ? core.window_height : 480;
    s.print_bitmap = std::make_unique<PrintBitmap>(width, height);
  }
  PrintBitmap& pb = *s.print_bitmap;
  if (!pb.pixels) return;
  auto gdi_colour = [](std::uint32_t c) {
    return RGB((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF);
  };
  SelectObject(pb.dc, GetStockObject(SYSTEM_FONT));
  SetTextColor(pb.dc, gdi_colour(core.ink));
  SetBkColor(pb.dc, gdi_colour(core.background_ink));
  SetBkMode(pb.dc, OPAQUE);
  const auto length = static_cast<int>(std::strlen(text));
  SIZE extent{};
  GetTextExtentPoint32A(pb.dc, text, length, &extent);
  if (extent.cy == 0) GetTextExtentPoint32A(pb.dc, " ", 1, &extent);
  ExtTextOutA(pb.dc, core.print_x, core.print_y, 0, nullptr, text, static_cast<UINT>(length),
              nullptr);
  if (!new_line) {
    core.print_x += extent.cx;
    return;
  }
  const int height = extent.cy;
  core.print_x = 0;
  core.print_y += height;
  if (core.print_y + height > pb.height) {
    const int overflow = std::min(core.print_y + height - pb.height, pb.height);
    const auto row = static_cast<std::size_t>(pb.width);
    std::memmove(pb.pixels, pb.pixels + overflow * row, (pb.height - overflow) * row * 4);
    const std::uint32_t paper = core.background_ink & 0xFFFFFF;
    const int strip = std::clamp(height, 0, pb.height);
    std::fill(pb.pixels + (pb.height - strip) * row, pb.pixels + pb.height * row, paper);
    core.print_y = pb.height - height;
  }
}

}  // namespace

void PrintText(const char* text, std::int32_t new_line) {
  TextState& s = State();
  CoreData* core = s.core ? s.core : CoreDataGet();
  if (!text) return;
  if (!s.device) {
    BitmapPrint(*core, text, new_line);
    return;
  }
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
  // The runtime's own choice as it opens: not prepared ahead, as a game mostly sets its own.
  FontSelect("Fixedsys", 0);
  FontRebuild();
}

bool PrintBitmapPaint(HWND window, const RECT*) {
  // Once the display is open the device presents to the window; the bitmap is shown only
  // before that, through the window's own surface.
  TextState& s = State();
  if (!s.print_bitmap || !s.print_bitmap->pixels || s.device) return false;
  SDL_Window* sdl_window = win32::SdlWindowOf(window);
  SDL_Surface* target = sdl_window ? SDL_GetWindowSurface(sdl_window) : nullptr;
  if (!target) return false;
  PrintBitmap& pb = *s.print_bitmap;
  SDL_Surface* source = SDL_CreateRGBSurfaceWithFormatFrom(pb.pixels, pb.width, pb.height, 32,
                                                           pb.width * 4, SDL_PIXELFORMAT_RGB888);
  if (!source) return false;
  const bool shown = SDL_BlitScaled(source, nullptr, target, nullptr) == 0 &&
                     SDL_UpdateWindowSurface(sdl_window) == 0;
  SDL_FreeSurface(source);
  return shown;
}

void PrintBitmapRelease() {
  State().print_bitmap.reset();
}

}  // namespace tessark::text

namespace tessark {

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

}  // namespace tessark

// The input demo: the keyboard, the mouse and the game controller, live. Each frame it reads
// every key, the mouse position, buttons, movement and wheel, the typed text and the first
// controller's axes, buttons and hat, and shows them on screen (when the drawing and text
// modules are built) and on standard output whenever they change. Return clears the typed text,
// Escape or the close box ends it.
//
// TESSARK_FRAMES=n ends the demo after n frames (for running it headless).
#include <tessark/tessark.h>

#include <cstdio>
#include <cstdlib>
#include <string>

using namespace tessark;

namespace {

#if __has_include("tessark/basic2d.h") && __has_include("tessark/text.h")
#define INPUT_DEMO_DRAWS 1
#endif

struct Snapshot {
  std::string keys;
  int mouse_x = 0, mouse_y = 0, wheel = 0, buttons = 0;
  int move_x = 0, move_y = 0;
  std::string typed;
  std::string pad;
  int pad_x = 0, pad_y = 0, pad_buttons = 0, pad_hat = -1;

  std::string Line() const {
    char line[512];
    std::snprintf(line, sizeof line,
                  "keys [%s] mouse %d,%d wheel %d buttons %d move %d,%d typed \"%s\" "
                  "controller \"%s\" %d,%d buttons %08x hat %d",
                  keys.c_str(), mouse_x, mouse_y, wheel, buttons, move_x, move_y, typed.c_str(),
                  pad.c_str(), pad_x, pad_y, static_cast<unsigned>(pad_buttons), pad_hat);
    return line;
  }
};

Snapshot Read() {
  Snapshot s;
  for (int code = 1; code < 256; ++code) {
    if (!KeyState(code)) continue;
    if (!s.keys.empty()) s.keys += ' ';
    s.keys += std::to_string(code);
  }
  s.mouse_x = MouseX();
  s.mouse_y = MouseY();
  s.wheel = MouseZ();
  s.buttons = MouseButtons();
  s.move_x = MouseMoveX();
  s.move_y = MouseMoveY();
  char* typed = EntryText(1);
  s.typed = typed;
  std::free(typed);
  char* name = ControllerName();
  s.pad = name;
  std::free(name);
  s.pad_x = ControllerX();
  s.pad_y = ControllerY();
  for (int b = 0; b < 32; ++b)
    if (ControllerButton(b)) s.pad_buttons |= 1 << b;
  s.pad_hat = ControllerHat(0);
  return s;
}

#ifdef INPUT_DEMO_DRAWS
// A filled box in one colour.
void Fill(int left, int top, int right, int bottom, std::uint32_t colour) {
  InkSet(colour, 0);
  BoxDraw(left, top, right, bottom);
}

// Text in white (text takes the ink colour).
void Print(int x, int y, const std::string& text) {
  InkSet(ColourRgb(255, 255, 255), 0);
  TextPrintAt(x, y, text.c_str());
}

void Draw(const Snapshot& s) {
  const std::uint32_t white = ColourRgb(255, 255, 255), dim = ColourRgb(60, 60, 80);
  const std::uint32_t lit = ColourRgb(90, 200, 120);
  ScreenClear(ColourRgb(16, 16, 32));
  Print(16, 12, "Input demo - Escape quits, Return clears the typed text");
  Print(16, 44, "Keys held: " + s.keys);
  Print(16, 68, "Typed: " + s.typed);
  char line[160];
  std::snprintf(line, sizeof line, "Mouse %d, %d   wheel %d   moved %d, %d", s.mouse_x, s.mouse_y,
                s.wheel, s.move_x, s.move_y);
  Print(16, 100, line);
  // The four mouse buttons: left, right, middle, fourth.
  const char* names[4] = {"L", "R", "M", "4"};
  for (int b = 0; b < 4; ++b) {
    int left = 16 + b * 44;
    Fill(left, 128, left + 36, 164, (s.buttons >> b) & 1 ? lit : dim);
    Print(left + 13, 138, names[b]);
  }
  // The controller: its stick in a box, its first 16 buttons, its hat.
  std::snprintf(line, sizeof line, "Controller: %s   hat %d",
                s.pad.empty() ? "(none)" : s.pad.c_str(), s.pad_hat);
  Print(16, 190, line);
  Fill(16, 220, 216, 420, dim);
  int dot_x = 116 + s.pad_x / 10, dot_y = 320 + s.pad_y / 10;
  Fill(dot_x - 4, dot_y - 4, dot_x + 4, dot_y + 4, white);
  for (int b = 0; b < 16; ++b) {
    int left = 240 + (b % 8) * 30, top = 220 + (b / 8) * 30;
    Fill(left, top, left + 24, top + 24, (s.pad_buttons >> b) & 1 ? lit : dim);
  }
  // A cross where the mouse is.
  Fill(s.mouse_x - 8, s.mouse_y, s.mouse_x + 9, s.mouse_y + 1, white);
  Fill(s.mouse_x, s.mouse_y - 8, s.mouse_x + 1, s.mouse_y + 9, white);
}
#endif

}  // namespace

void GameMain() {
  FrameSyncManual();
  FrameSetRate(60);
  EscapeQuitOff();
  const char* frames_text = std::getenv("TESSARK_FRAMES");
  long frames_left = frames_text ? std::strtol(frames_text, nullptr, 10) : -1;
  std::string last;
  while (RuntimeRunning() && !KeyEscape() && frames_left != 0) {
    if (KeyReturn()) EntryClear();
    Snapshot s = Read();
    std::string line = s.Line();
    if (line != last) {
      std::printf("%s\n", line.c_str());
      std::fflush(stdout);
      last = line;
    }
#ifdef INPUT_DEMO_DRAWS
    Draw(s);
#endif
    FrameSync();
    if (frames_left > 0) --frames_left;
  }
}

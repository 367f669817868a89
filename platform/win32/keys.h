// Keyboard translation shared by the window messages and the input devices: SDL scancodes to
// virtual-key codes and to set-1 scan codes (the codes keyboard devices report; an extended key
// has the 0xE0 prefix, reported here as the extended flag), and text to Windows-1252 bytes.
#pragma once

#include <SDL.h>

#include <string>
#include <string_view>

#include "platform/win32/win_types.h"

namespace win32 {

struct ScanCode {
  BYTE code;      // set-1 make code; 0 for keys without one
  bool extended;  // sent with the 0xE0 prefix
};

// The virtual-key code of a key by its position (a US layout); 0 for keys without one.
WORD VirtualKeyOf(SDL_Scancode scancode);
// The set-1 scan code of a key.
ScanCode ScanCodeOf(SDL_Scancode scancode);
// UTF-8 text as Windows-1252 bytes; characters the code page lacks become '?'.
std::string Utf8ToWindows1252(std::string_view utf8);

}  // namespace win32

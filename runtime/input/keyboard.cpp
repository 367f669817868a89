// Keyboard queries and typed text. Every query reads the keyboard's immediate state: a key is
// reported while it is down at the moment of the call, never from buffered events.
#include <cstring>
#include <string>

#include "runtime/input/input_state.h"
#include "tessark/input.h"

namespace tessark::input {

void KeyboardRead() {
  InputState& s = State();
  if (!s.keyboard) {
    std::memset(s.key_state, 0, sizeof s.key_state);
    return;
  }
  if (FAILED(s.keyboard->GetDeviceState(sizeof s.key_state, s.key_state))) {
    // Lost or not acquired: acquire again and answer "up" this time.
    s.keyboard->Acquire();
    std::memset(s.key_state, 0, sizeof s.key_state);
  }
}

namespace {

// The named-key test: 1 (and an emptied buffer) when either code is down.
std::int32_t NamedKey(BYTE code, BYTE other = 0, bool any_bit = false) {
  InputState& s = State();
  KeyboardRead();
  BYTE mask = any_bit ? 0xFF : 0x80;
  bool down = (s.key_state[code] & mask) || (other && (s.key_state[other] & mask));
  if (!down) return 0;
  std::memset(s.key_state, 0, sizeof s.key_state);
  return 1;
}

}  // namespace

}  // namespace tessark::input

namespace tessark {

using namespace tessark::input;

bool KeyEscape() {
  return NamedKey(DIK_ESCAPE);
}
bool KeyUp() {
  return NamedKey(DIK_UP);
}
bool KeyDown() {
  return NamedKey(DIK_DOWN);
}
bool KeyLeft() {
  return NamedKey(DIK_LEFT);
}
bool KeyRight() {
  return NamedKey(DIK_RIGHT);
}
bool KeyControl() {
  return NamedKey(DIK_LCONTROL, DIK_RCONTROL);
}
bool KeyShift() {
  return NamedKey(DIK_LSHIFT, DIK_RSHIFT);
}
bool KeySpace() {
  return NamedKey(DIK_SPACE, 0, true);
}
bool KeyReturn() {
  return NamedKey(DIK_RETURN);
}

bool KeyState(std::int32_t scancode) {
  if (scancode < 0 || scancode > 255) return 0;
  KeyboardRead();
  return (State().key_state[scancode] & 0x80) ? 1 : 0;
}

std::int32_t KeyScancode() {
  KeyboardRead();
  const InputState& s = State();
  for (int code = 0; code < 256; ++code)
    if (s.key_state[code]) return code;
  return 0;
}

char* EntryText(std::int32_t apply_backspaces) {
  InputState& s = State();
  if (!s.typed_text || !*s.typed_text) return TextMake("");
  std::string text;
  for (const char* p = *s.typed_text; *p; ++p) {
    if (apply_backspaces && *p == '\b') {
      if (!text.empty()) text.pop_back();
      continue;
    }
    text += *p;
  }
  return TextMake(text.c_str());
}

void EntryClear() {
  InputState& s = State();
  if (s.typed_text && *s.typed_text) (*s.typed_text)[0] = '\0';
}

}  // namespace tessark

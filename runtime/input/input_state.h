// The input module's one state record and the helpers its files share. The module reads the
// keyboard, mouse and one controller through the DirectInput stand-in, and the cursor,
// clipboard and registry through the win32 stand-in.
#pragma once

#include <cstdint>
#include <string>

#include "platform/dinput/dinput.h"
#include "runtime/core/core_data.h"

namespace tessark::input {

// Force-effect slots, one per operation (the damper takes two).
enum EffectSlot : int {
  kEffectUp,
  kEffectDown,
  kEffectLeft,
  kEffectRight,
  kEffectAngle,
  kEffectConstant,
  kEffectWaveShort,
  kEffectWaveLong,
  kEffectDamperX,
  kEffectDamperY,
  kEffectSlots
};

constexpr std::size_t kNameLimit = 255;  // controller names kept

struct InputState {
  dinput::Ref<IDirectInput8A> direct_input;
  dinput::Ref<IDirectInputDevice8A> keyboard;
  dinput::Ref<IDirectInputDevice8A> mouse;
  dinput::Ref<IDirectInputDevice8A> controller;
  dinput::Ref<IDirectInputEffect> effects[kEffectSlots];

  BYTE key_state[256] = {};
  DIMOUSESTATE mouse_state = {};
  std::int32_t move_x = 0;
  std::int32_t move_y = 0;
  std::int32_t move_z = 0;
  std::int32_t wheel = 0;
  DIJOYSTATE2 controller_state = {};
  DIJOYSTATE2 controller_copy = {};

  std::string wanted_name;
  std::int32_t wanted_index = 0;
  std::string name_in_use;
  bool force_available = false;
  GUID periodic_kind = {};  // the controller's last enumerated periodic effect

  CoreData* core = nullptr;
  HWND window = nullptr;
  TextAllocFn text_alloc = nullptr;
  char** typed_text = nullptr;
};

InputState& State();

// Releases the effects and the controller, keyboard and mouse (unacquiring them first).
void DevicesRelease();
// Selects a controller by the wanted name and index; true when one was opened.
bool ControllerChoose();

// Fills the key buffer from the keyboard (zeros when it cannot be read).
void KeyboardRead();
// Reads the mouse and adds its movement to the sums (zeros when it cannot be read).
void MouseRefresh();

// A new text through the core's allocation (TextCopy when no core block was passed).
char* TextMake(const char* text);
// Frees a previous text result.
void TextFree(char* text);

// The desktop calls the module makes on the window stand-in.
void CursorShow(bool show);
void CursorMove(std::int32_t x, std::int32_t y);
bool WindowRects(HWND window, RECT* client, RECT* outer);

}  // namespace tessark::input

namespace tessark::input::testing {

// The last set-up failure text passed on as a notice ("" when none since the Constructor).
const char* LastNotice();

}  // namespace tessark::input::testing

// The input module's entries: the DirectInput interface at Constructor, the keyboard and
// mouse set-up and the first controller selection at PassCoreData, the release at Destructor,
// and the module's slots in the module table.
#include <cstdlib>
#include <cstring>

#include "runtime/core/errors.h"
#include "runtime/core/module_table.h"
#include "runtime/core/text_alloc.h"
#include "runtime/input/input_state.h"

namespace tessark::input {

namespace {

// The keyboard and mouse cooperate with the window as the value 6: shared, and given up
// while another window has the foreground (a read then acquires again and answers "up").
constexpr DWORD kDesktopCooperation = DISCL_NONEXCLUSIVE | DISCL_FOREGROUND;

InputState* g_state = nullptr;
const char* g_last_notice = "";

// Reports a set-up failure: everything is released first, as the set-up cannot go on.
void SetupFailed(const char* text) {
  InputState& s = State();
  DevicesRelease();
  s.direct_input.Reset();
  g_last_notice = text;
  RuntimeNotice(text);
}

// The keyboard: create, data format, cooperative level, acquire.
bool KeyboardSetup() {
  InputState& s = State();
  if (FAILED(s.direct_input->CreateDevice(GUID_SysKeyboard, &s.keyboard))) {
    SetupFailed("Unable to access keyboard for input library");
    return false;
  }
  if (FAILED(s.keyboard->SetDataFormat(&c_dfDIKeyboard))) {
    SetupFailed("Failed to set data format for keyboard in input library");
    return false;
  }
  if (FAILED(s.keyboard->SetCooperativeLevel(s.window, kDesktopCooperation))) {
    SetupFailed("Failed to set cooperative level for keyboard in input library");
    return false;
  }
  // A failed acquisition is not fatal: every read acquires again.
  s.keyboard->Acquire();
  return true;
}

// The mouse: create, cooperative level, data format, acquire (the middle steps in the other
// order than for the keyboard).
bool MouseSetup() {
  InputState& s = State();
  if (FAILED(s.direct_input->CreateDevice(GUID_SysMouse, &s.mouse))) {
    SetupFailed("Unable to access mouse for input library");
    return false;
  }
  if (FAILED(s.mouse->SetCooperativeLevel(s.window, kDesktopCooperation))) {
    SetupFailed("Failed to set cooperative level for mouse in input library");
    return false;
  }
  if (FAILED(s.mouse->SetDataFormat(&c_dfDIMouse))) {
    SetupFailed("Failed to set data format for mouse in input library");
    return false;
  }
  s.mouse->Acquire();
  return true;
}

// Empties the key buffer and makes the DirectInput interface.
void Constructor(void* instance) {
  InputState& s = State();
  std::memset(s.key_state, 0, sizeof s.key_state);
  g_last_notice = "";
  if (FAILED(DirectInput8Create(static_cast<HINSTANCE>(instance), DIRECTINPUT_VERSION,
                                &s.direct_input))) {
    SetupFailed("Unable to create DirectInput interface");
    return;
  }
  s.controller.Reset();
  s.wanted_name.clear();
  s.name_in_use.clear();
  s.wanted_index = 0;
  s.force_available = false;
  for (auto& effect : s.effects) effect.Reset();
}

void SetErrorHandler(std::int32_t* error_word) {
  ErrorWordSet(error_word);
}

// Keeps the core block and sets up the keyboard, the mouse and a controller.
void PassCoreData(CoreData* core) {
  InputState& s = State();
  s.core = core;
  s.window = core ? core->window : nullptr;
  s.text_alloc = core ? core->TextAlloc : nullptr;
  s.typed_text = core ? &core->typed_text : nullptr;
  s.wheel = 0;
  DevicesRelease();
  if (!s.direct_input) return;  // the Constructor failed and said so
  if (!KeyboardSetup()) return;
  if (!MouseSetup()) return;
  s.wanted_name.clear();
  s.wanted_index = 0;
  ControllerChoose();
}

void Update() {}

void RefreshD3D(std::int32_t) {}

// Releases everything and leaves the module as new.
void Destructor() {
  InputState& s = State();
  if (s.direct_input) DevicesRelease();
  s = InputState{};
}

}  // namespace

InputState& State() {
  if (!g_state) g_state = new InputState;  // lives for the process, like the module
  return *g_state;
}

void DevicesRelease() {
  InputState& s = State();
  for (auto& effect : s.effects) effect.Reset();
  for (auto* device : {&s.controller, &s.keyboard, &s.mouse}) {
    if (*device) (*device)->Unacquire();
    device->Reset();
  }
}

char* TextMake(const char* text) {
  InputState& s = State();
  if (!s.text_alloc) return TextCopy(text);
  std::size_t length = std::strlen(text);
  char* out = nullptr;
  s.text_alloc(&out, static_cast<std::int32_t>(length + 1));
  if (out) std::memcpy(out, text, length + 1);
  return out;
}

void TextFree(char* text) {
  if (!text) return;
  InputState& s = State();
  if (s.text_alloc)
    s.text_alloc(&text, 0);
  else
    TextAlloc(&text, 0);
}

void Wire(ModuleTable& table) {
  table.input.Constructor = Constructor;
  table.input.SetErrorHandler = SetErrorHandler;
  table.input.PassCoreData = PassCoreData;
  table.input.Update = Update;
  table.input.RefreshD3D = RefreshD3D;
  table.input.Destructor = Destructor;
}

}  // namespace tessark::input

namespace tessark::input::testing {

const char* LastNotice() {
  return g_last_notice;
}

}  // namespace tessark::input::testing

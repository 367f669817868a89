// The game controller: choosing one (force-feedback controllers first), listing the attached
// ones into the core's check list, and the state queries, each of which reads the device.
#include <cstring>
#include <string>

#include "runtime/core/check_list.h"
#include "runtime/core/errors.h"
#include "runtime/input/input_state.h"
#include "tessark/input.h"
#include "tessark/errors.h"

namespace tessark::input {

namespace {

constexpr LONG kAxisLimit = 1000;

// Controllers are held exclusively (force feedback needs it) and read from the background.
constexpr DWORD kControllerCooperation = DISCL_EXCLUSIVE | DISCL_BACKGROUND;  // 9

struct ChooseContext {
  std::int32_t position = 0;
  bool opened = false;
};

// Remembers the last periodic effect kind the controller offers.
BOOL PeriodicKindSeen(LPCDIEFFECTINFOA info, LPVOID) {
  State().periodic_kind = info->guid;
  return DIENUM_CONTINUE;
}

// One enumerated controller: opened and kept when it is the wanted one.
BOOL ChooseCallback(LPCDIDEVICEINSTANCEA instance, LPVOID context) {
  auto* ctx = static_cast<ChooseContext*>(context);
  InputState& s = State();
  std::int32_t position = ctx->position++;
  if (!s.wanted_name.empty() && s.wanted_name != instance->tszProductName) return DIENUM_CONTINUE;
  if (position != s.wanted_index) return DIENUM_CONTINUE;
  dinput::Ref<IDirectInputDevice8A> device;
  if (FAILED(s.direct_input->CreateDevice(instance->guidInstance, &device))) return DIENUM_CONTINUE;
  if (FAILED(device->SetCooperativeLevel(s.window, kControllerCooperation)) ||
      FAILED(device->SetDataFormat(&c_dfDIJoystick2)))
    return DIENUM_CONTINUE;  // dropping the Ref releases it
  for (DWORD axis : {DIJOFS_X, DIJOFS_Y, DIJOFS_Z}) {
    DIPROPRANGE range{};
    range.diph = {sizeof range, sizeof range.diph, axis, DIPH_BYOFFSET};
    range.lMin = -kAxisLimit;
    range.lMax = kAxisLimit;
    device->SetProperty(DIPROP::RANGE, &range.diph);
  }
  DIPROPDWORD centre{};
  centre.diph = {sizeof centre, sizeof centre.diph, 0, DIPH_DEVICE};
  centre.dwData = DIPROPAUTOCENTER_OFF;
  device->SetProperty(DIPROP::AUTOCENTER, &centre.diph);
  if (s.controller) s.controller->Unacquire();
  s.controller = device;
  s.controller->Acquire();
  s.wanted_name = std::string(instance->tszProductName).substr(0, kNameLimit);
  s.wanted_index = position;
  ctx->opened = true;
  return DIENUM_STOP;
}

// Fills the controller's state copy (zeros without a controller; the last copy when the
// controller cannot be reached).
void ControllerRefresh() {
  InputState& s = State();
  if (!s.controller) {
    std::memset(&s.controller_state, 0, sizeof s.controller_state);
    std::memset(&s.controller_copy, 0, sizeof s.controller_copy);
    return;
  }
  if (FAILED(s.controller->Poll()) && FAILED(s.controller->Acquire())) return;
  if (SUCCEEDED(s.controller->GetDeviceState(sizeof s.controller_state, &s.controller_state)))
    s.controller_copy = s.controller_state;
}

const DIJOYSTATE2& Read() {
  ControllerRefresh();
  return State().controller_copy;
}

// Counts the attached controllers and their longest product name.
struct CountContext {
  std::int32_t count = 0;
  std::int32_t longest = 0;
};

BOOL CountCallback(LPCDIDEVICEINSTANCEA instance, LPVOID context) {
  auto* ctx = static_cast<CountContext*>(context);
  ++ctx->count;
  auto length = static_cast<std::int32_t>(std::strlen(instance->tszProductName));
  if (length > ctx->longest) ctx->longest = length;
  return DIENUM_CONTINUE;
}

// Copies text into a check-list entry, within the entry's buffer.
void EntrySetText(CheckListEntry& entry, const char* text) {
  if (!entry.text || entry.text_size <= 0) return;
  auto room = static_cast<std::size_t>(entry.text_size);
  std::size_t length = std::min(std::strlen(text), room - 1);
  std::memcpy(entry.text, text, length);
  entry.text[length] = '\0';
}

BOOL FillCallback(LPCDIDEVICEINSTANCEA instance, LPVOID) {
  CoreData* core = State().core;
  std::int32_t index = core->check_list_count;
  // Grown again here: a controller attached between the two passes must not overrun the list.
  CheckListGrow(index, static_cast<std::int32_t>(std::strlen(instance->tszProductName)) + 1);
  if (!core->check_list || static_cast<std::uint32_t>(index) >= core->check_list_capacity)
    return DIENUM_STOP;
  CheckListEntry& entry = core->check_list[index];
  EntrySetText(entry, instance->tszProductName);
  std::memset(entry.values, 0, sizeof entry.values);
  core->check_list_count = index + 1;
  return DIENUM_CONTINUE;
}

BOOL MarkForceCallback(LPCDIDEVICEINSTANCEA instance, LPVOID) {
  CoreData* core = State().core;
  for (std::int32_t i = 0; i < core->check_list_count; ++i) {
    CheckListEntry& entry = core->check_list[i];
    if (entry.text && std::strcmp(entry.text, instance->tszProductName) == 0) entry.values[0] = 1;
  }
  return DIENUM_CONTINUE;
}

}  // namespace

bool ControllerChoose() {
  InputState& s = State();
  for (auto& effect : s.effects) effect.Reset();
  if (s.controller) s.controller->Unacquire();
  s.controller.Reset();
  if (!s.direct_input) {
    s.name_in_use.clear();
    s.force_available = false;
    return false;
  }
  ChooseContext ctx;
  s.direct_input->EnumDevices(DI8DEVCLASS_GAMECTRL, ChooseCallback, &ctx,
                              DIEDFL_ATTACHEDONLY | DIEDFL_FORCEFEEDBACK);
  if (ctx.opened) {
    s.name_in_use = s.wanted_name;
    s.force_available = true;
    s.periodic_kind = GUID_Sine;
    s.controller->EnumEffects(PeriodicKindSeen, nullptr, DIEFT_PERIODIC);
    return true;
  }
  ctx = ChooseContext{};
  s.direct_input->EnumDevices(DI8DEVCLASS_GAMECTRL, ChooseCallback, &ctx, DIEDFL_ATTACHEDONLY);
  // With nothing opened, nothing is in use: no name and no force feedback to offer.
  s.name_in_use = ctx.opened ? s.wanted_name : std::string();
  s.force_available = false;
  return ctx.opened;
}

}  // namespace tessark::input

namespace tessark {

using namespace tessark::input;

void ControllerSelect(const char* name, std::int32_t index) {
  InputState& s = State();
  s.wanted_name = std::string(name ? name : "").substr(0, kNameLimit);
  s.wanted_index = index;
  if (!ControllerChoose()) RuntimeError(error::kControllerNotFound);
}

void ControllerSelect(const char* name) {
  ControllerSelect(name, 0);
}

char* ControllerName() {
  return TextMake(State().name_in_use.c_str());
}

void ControllerList() {
  InputState& s = State();
  CoreData* core = s.core;
  if (!core) return;
  core->check_list_count = 0;
  core->check_list_has_values = 1;
  core->check_list_enumerated = 1;
  if (!s.direct_input) {
    core->check_list_in_use = 0;
    return;
  }
  CountContext counted;
  s.direct_input->EnumDevices(DI8DEVCLASS_GAMECTRL, CountCallback, &counted, DIEDFL_ATTACHEDONLY);
  for (std::int32_t i = 0; i < counted.count; ++i) CheckListGrow(i, counted.longest + 1);
  core->check_list_count = 0;
  HRESULT hr =
      s.direct_input->EnumDevices(DI8DEVCLASS_GAMECTRL, FillCallback, nullptr, DIEDFL_ATTACHEDONLY);
  if (SUCCEEDED(hr)) {
    s.direct_input->EnumDevices(DI8DEVCLASS_GAMECTRL, MarkForceCallback, nullptr,
                                DIEDFL_ATTACHEDONLY | DIEDFL_FORCEFEEDBACK);
    core->check_list_in_use = 1;
  } else {
    core->check_list_in_use = 0;
  }
}

bool ControllerUp() {
  return Read().lY < 0 ? 1 : 0;
}
bool ControllerDown() {
  return Read().lY > 0 ? 1 : 0;
}
bool ControllerLeft() {
  return Read().lX < 0 ? 1 : 0;
}
bool ControllerRight() {
  return Read().lX > 0 ? 1 : 0;
}
std::int32_t ControllerX() {
  return Read().lX;
}
std::int32_t ControllerY() {
  return Read().lY;
}
std::int32_t ControllerZ() {
  return Read().lZ;
}
std::int32_t ControllerTurnX() {
  return Read().lRx;
}
std::int32_t ControllerTurnY() {
  return Read().lRy;
}
std::int32_t ControllerTurnZ() {
  return Read().lRz;
}
std::int32_t ControllerSliderA() {
  return Read().rglSlider[0];
}
std::int32_t ControllerSliderB() {
  return Read().rglSlider[1];
}
std::int32_t ControllerSliderSpeedA() {
  return Read().rglVSlider[0];
}
std::int32_t ControllerSliderSpeedB() {
  return Read().rglVSlider[1];
}
bool ControllerFireA() {
  return (Read().rgbButtons[0] & 0x80) ? 1 : 0;
}
bool ControllerFireB() {
  return (Read().rgbButtons[1] & 0x80) ? 1 : 0;
}
bool ControllerFireC() {
  return (Read().rgbButtons[2] & 0x80) ? 1 : 0;
}
bool ControllerFireD() {
  return (Read().rgbButtons[3] & 0x80) ? 1 : 0;
}

bool ControllerButton(std::int32_t button) {
  const DIJOYSTATE2& state = Read();
  if (button < 0 || button > 31) return 0;
  return (state.rgbButtons[button] & 0x80) ? 1 : 0;
}

std::int32_t ControllerHat(std::int32_t hat) {
  const DIJOYSTATE2& state = Read();
  if (hat < 0 || hat > 3) return -1;
  return static_cast<std::int32_t>(state.rgdwPOV[hat]);
}

}  // namespace tessark

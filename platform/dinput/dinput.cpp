// The DirectInput interface object, the data formats, the keyboard and mouse state kept from
// the one SDL event source, and the system keyboard and mouse devices. Controllers live in
// dinput_controller.cpp, effects in dinput_effect.cpp.
#include <SDL.h>

#include <cstring>

#include "platform/dinput/dinput_internal.h"
#include "platform/win32/event_source.h"

// ---- identities and formats ----

const GUID GUID_SysKeyboard = {0x6F1D2B61, 0xD5A0, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54}};
const GUID GUID_SysMouse = {0x6F1D2B60, 0xD5A0, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54}};
const GUID GUID_ConstantForce = {
    0x13541C20, 0x8E33, 0x11D0, {0x9A, 0xD0, 0x00, 0xA0, 0xC9, 0xA0, 0x6E, 0x35}};
const GUID GUID_Square = {
    0x13541C22, 0x8E33, 0x11D0, {0x9A, 0xD0, 0x00, 0xA0, 0xC9, 0xA0, 0x6E, 0x35}};
const GUID GUID_Sine = {
    0x13541C23, 0x8E33, 0x11D0, {0x9A, 0xD0, 0x00, 0xA0, 0xC9, 0xA0, 0x6E, 0x35}};
const GUID GUID_Triangle = {
    0x13541C24, 0x8E33, 0x11D0, {0x9A, 0xD0, 0x00, 0xA0, 0xC9, 0xA0, 0x6E, 0x35}};
const GUID GUID_SawtoothUp = {
    0x13541C25, 0x8E33, 0x11D0, {0x9A, 0xD0, 0x00, 0xA0, 0xC9, 0xA0, 0x6E, 0x35}};
const GUID GUID_SawtoothDown = {
    0x13541C26, 0x8E33, 0x11D0, {0x9A, 0xD0, 0x00, 0xA0, 0xC9, 0xA0, 0x6E, 0x35}};
const GUID GUID_Damper = {
    0x13541C28, 0x8E33, 0x11D0, {0x9A, 0xD0, 0x00, 0xA0, 0xC9, 0xA0, 0x6E, 0x35}};

bool operator==(const GUID& a, const GUID& b) {
  return std::memcmp(&a, &b, sizeof(GUID)) == 0;
}

const DIDATAFORMAT c_dfDIKeyboard = {sizeof(DIDATAFORMAT), 16, DIDF_RELAXIS, 256, 256};
const DIDATAFORMAT c_dfDIMouse = {sizeof(DIDATAFORMAT), 16, DIDF_RELAXIS, sizeof(DIMOUSESTATE), 7};
const DIDATAFORMAT c_dfDIJoystick2 = {sizeof(DIDATAFORMAT), 16, DIDF_ABSAXIS, sizeof(DIJOYSTATE2),
                                      164};

namespace dinput::detail {

namespace {

constexpr int kWheelDelta = 120;  // one wheel notch, as the platform counts it

int g_followers = 0;
testing::Fail g_fail = testing::Fail::kNone;

// Button index in the mouse format of an SDL button (left, right, middle, fourth).
int MouseSlot(Uint8 sdl_button) {
  switch (sdl_button) {
    case SDL_BUTTON_LEFT:
      return 0;
    case SDL_BUTTON_RIGHT:
      return 1;
    case SDL_BUTTON_MIDDLE:
      return 2;
    case SDL_BUTTON_X1:
      return 3;
    default:
      return -1;
  }
}

// Keeps Desktop() in step with the event stream.
void Observe(const SDL_Event& event, void*) {
  DesktopInput& d = Desktop();
  switch (event.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP:
      if (BYTE dik = DikFromSdlScancode(event.key.keysym.scancode))
        d.keys[dik] = event.type == SDL_KEYDOWN ? 0x80 : 0;
      break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
      int slot = MouseSlot(event.button.button);
      if (slot >= 0) d.buttons[slot] = event.type == SDL_MOUSEBUTTONDOWN ? 0x80 : 0;
      break;
    }
    case SDL_MOUSEMOTION:
      d.total_x += event.motion.xrel;
      d.total_y += event.motion.yrel;
      break;
    case SDL_MOUSEWHEEL: {
      int notches = event.wheel.y;
      if (event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) notches = -notches;
      d.total_z += static_cast<std::int64_t>(notches) * kWheelDelta;
      break;
    }
    case SDL_WINDOWEVENT:
      if (event.window.event == SDL_WINDOWEVENT_FOCUS_LOST) {
        d.has_focus = false;
        ++d.focus_losses;
      } else if (event.window.event == SDL_WINDOWEVENT_FOCUS_GAINED) {
        d.has_focus = true;
      }
      break;
    default:
      break;
  }
}

}  // namespace

DesktopInput& Desktop() {
  static DesktopInput desktop;
  return desktop;
}

void FollowEvents() {
  if (g_followers++ == 0) {
    Desktop() = DesktopInput{};
    win32::AddEventObserver(Observe, nullptr);
  }
}

void UnfollowEvents() {
  if (g_followers > 0 && --g_followers == 0) win32::RemoveEventObserver(Observe, nullptr);
}

bool ShouldFail(testing::Fail which) {
  if (g_fail != which || which == testing::Fail::kNone) return false;
  g_fail = testing::Fail::kNone;
  return true;
}

HRESULT Acquisition::SetFormat(const DIDATAFORMAT* format, const DIDATAFORMAT& expected) {
  if (!format) return DIERR_INVALIDPARAM;
  if (acquired_) return DIERR_ACQUIRED;
  if (format != &expected &&
      (format->dwDataSize != expected.dwDataSize || format->dwNumObjs != expected.dwNumObjs))
    return DIERR_INVALIDPARAM;
  has_format_ = true;
  return DI_OK;
}

HRESULT Acquisition::SetLevel(HWND window, DWORD flags, bool exclusive_background_allowed,
                              bool* exclusive) {
  if (!window) return E_HANDLE;
  if (acquired_) return DIERR_ACQUIRED;
  bool is_exclusive = flags & DISCL_EXCLUSIVE, shared = flags & DISCL_NONEXCLUSIVE;
  bool foreground = flags & DISCL_FOREGROUND, background = flags & DISCL_BACKGROUND;
  if (is_exclusive == shared || foreground == background) return DIERR_INVALIDPARAM;
  if (is_exclusive && background && !exclusive_background_allowed) return DIERR_UNSUPPORTED;
  foreground_ = foreground;
  *exclusive = is_exclusive;
  return DI_OK;
}

HRESULT Acquisition::Begin() {
  if (!has_format_) return DIERR_INVALIDPARAM;
  if (acquired_) return DI_NOEFFECT;
  win32::PumpSdlEvents();
  return DI_OK;
}

HRESULT Acquisition::CheckForeground() const {
  return foreground_ && !Desktop().has_focus ? DIERR_OTHERAPPHASPRIO : DI_OK;
}

void Acquisition::Finish() {
  acquired_ = true;
  focus_losses_ = Desktop().focus_losses;
}

HRESULT Acquisition::Release() {
  if (!acquired_) return DI_NOEFFECT;
  acquired_ = false;
  return DI_OK;
}

bool Acquisition::ForegroundLost() const {
  return foreground_ && Desktop().focus_losses != focus_losses_;
}

HRESULT ControllerDeviceCreate(REFGUID instance, Ref<IDirectInputDevice8A>* out);
HRESULT ControllersEnumerate(DWORD flags, LPDIENUMDEVICESCALLBACKA callback, LPVOID context);

namespace {

// What the keyboard and the mouse device share: data format, cooperative level, acquisition
// and the foreground rule.
class DesktopDevice : public IDirectInputDevice8A {
 public:
  DesktopDevice(const DIDATAFORMAT& format, testing::Fail fail_format, testing::Fail fail_coop)
      : expected_(format), fail_format_(fail_format), fail_coop_(fail_coop) {
    FollowEvents();
  }
  ~DesktopDevice() override { UnfollowEvents(); }

  // Both system devices describe themselves the same way: one GUID, one type, one name.
  HRESULT DescribeAs(DIDEVICEINSTANCEA* info, const GUID& guid, DWORD type, const char* name) {
    if (!info) return DIERR_INVALIDPARAM;
    *info = {};
    info->dwSize = sizeof *info;
    info->guidInstance = info->guidProduct = guid;
    info->dwDevType = type;
    std::strcpy(info->tszInstanceName, name);
    std::strcpy(info->tszProductName, name);
    return DI_OK;
  }

  HRESULT SetDataFormat(const DIDATAFORMAT* format) override {
    if (ShouldFail(fail_format_)) return DIERR_GENERIC;
    return acquisition_.SetFormat(format, expected_);
  }

  HRESULT SetCooperativeLevel(HWND window, DWORD flags) override {
    if (ShouldFail(fail_coop_)) return DIERR_GENERIC;
    // Nothing may hold the system keyboard or mouse exclusively from the background.
    bool exclusive = false;
    return acquisition_.SetLevel(window, flags, false, &exclusive);
  }

  HRESULT Acquire() override {
    HRESULT hr = acquisition_.Begin();
    if (hr != DI_OK) return hr;
    if (FAILED(hr = acquisition_.CheckForeground())) return hr;
    acquisition_.Finish();
    Acquired();
    return DI_OK;
  }

  HRESULT Unacquire() override { return acquisition_.Release(); }

  HRESULT Poll() override {
    win32::PumpSdlEvents();
    HRESULT hr = Check();
    return FAILED(hr) ? hr : DI_NOEFFECT;
  }

  HRESULT SetProperty(DIPROP, const DIPROPHEADER* header) override {
    return header ? DIERR_UNSUPPORTED : DIERR_INVALIDPARAM;
  }
  HRESULT GetProperty(DIPROP, DIPROPHEADER* header) override {
    return header ? DIERR_UNSUPPORTED : DIERR_INVALIDPARAM;
  }
  HRESULT EnumEffects(LPDIENUMEFFECTSCALLBACKA, LPVOID, DWORD) override { return DI_OK; }
  HRESULT CreateEffect(REFGUID, const DIEFFECT*, Ref<IDirectInputEffect>* out) override {
    if (out) out->Reset();
    return DIERR_UNSUPPORTED;
  }

 protected:
  // Pumps events first, then: acquired and still holding the foreground when it needs it?
  HRESULT Ready() {
    win32::PumpSdlEvents();
    return Check();
  }
  virtual void Acquired() {}

 private:
  HRESULT Check() {
    if (!acquisition_.acquired()) return DIERR_NOTACQUIRED;
    if (acquisition_.ForegroundLost()) {
      acquisition_.Release();  // the window lost the foreground: the device is lost
      return DIERR_INPUTLOST;
    }
    return DI_OK;
  }

  const DIDATAFORMAT& expected_;
  testing::Fail fail_format_;
  testing::Fail fail_coop_;
  Acquisition acquisition_;
};

// The system keyboard: 256 bytes, one per scan code, 0x80 while down.
class KeyboardDevice final : public DesktopDevice {
 public:
  KeyboardDevice()
      : DesktopDevice(c_dfDIKeyboard, testing::Fail::kKeyboardDataFormat,
                      testing::Fail::kKeyboardCooperativeLevel) {}

  HRESULT GetDeviceState(DWORD size, LPVOID data) override {
    if (!data || size != c_dfDIKeyboard.dwDataSize) return DIERR_INVALIDPARAM;
    HRESULT hr = Ready();
    if (FAILED(hr)) return hr;
    std::memcpy(data, Desktop().keys.data(), 256);
    return DI_OK;
  }

  HRESULT GetDeviceInfo(DIDEVICEINSTANCEA* info) override {
    return DescribeAs(info, GUID_SysKeyboard, DI8DEVTYPE_KEYBOARD, "Keyboard");
  }
};

// The system mouse: movement since the last read, wheel movement, four buttons.
class MouseDevice final : public DesktopDevice {
 public:
  MouseDevice()
      : DesktopDevice(c_dfDIMouse, testing::Fail::kMouseDataFormat,
                      testing::Fail::kMouseCooperativeLevel) {}

  HRESULT GetDeviceState(DWORD size, LPVOID data) override {
    if (!data || size != c_dfDIMouse.dwDataSize) return DIERR_INVALIDPARAM;
    HRESULT hr = Ready();
    if (FAILED(hr)) return hr;
    const DesktopInput& d = Desktop();
    DIMOUSESTATE state{};
    state.lX = Narrow(d.total_x - seen_x_);
    state.lY = Narrow(d.total_y - seen_y_);
    state.lZ = Narrow(d.total_z - seen_z_);
    std::memcpy(state.rgbButtons, d.buttons.data(), 4);
    Acquired();
    std::memcpy(data, &state, sizeof state);
    return DI_OK;
  }

  HRESULT GetDeviceInfo(DIDEVICEINSTANCEA* info) override {
    return DescribeAs(info, GUID_SysMouse, DI8DEVTYPE_MOUSE, "Mouse");
  }

 protected:
  // Movement before acquisition (or before the last read) is not reported.
  void Acquired() override {
    seen_x_ = Desktop().total_x;
    seen_y_ = Desktop().total_y;
    seen_z_ = Desktop().total_z;
  }

 private:
  static LONG Narrow(std::int64_t v) {
    if (v > INT32_MAX) return INT32_MAX;
    if (v < INT32_MIN) return INT32_MIN;
    return static_cast<LONG>(v);
  }
  std::int64_t seen_x_ = 0, seen_y_ = 0, seen_z_ = 0;
};

// The interface object.
class DirectInput final : public IDirectInput8A {
 public:
  DirectInput() {
    FollowEvents();
    // Without a joystick subsystem there are simply no controllers.
    joysticks_ = SDL_InitSubSystem(SDL_INIT_JOYSTICK) == 0;
  }
  ~DirectInput() override {
    if (joysticks_) SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
    UnfollowEvents();
  }

  HRESULT CreateDevice(REFGUID instance, Ref<IDirectInputDevice8A>* out) override {
    if (!out) return DIERR_INVALIDPARAM;
    out->Reset();
    if (instance == GUID_SysKeyboard) {
      if (ShouldFail(testing::Fail::kCreateKeyboard)) return DIERR_GENERIC;
      *out = Ref<IDirectInputDevice8A>::Adopt(new KeyboardDevice);
      return DI_OK;
    }
    if (instance == GUID_SysMouse) {
      if (ShouldFail(testing::Fail::kCreateMouse)) return DIERR_GENERIC;
      *out = Ref<IDirectInputDevice8A>::Adopt(new MouseDevice);
      return DI_OK;
    }
    if (!joysticks_) return DIERR_DEVICENOTREG;
    return ControllerDeviceCreate(instance, out);
  }

  HRESULT EnumDevices(DWORD device_class, LPDIENUMDEVICESCALLBACKA callback, LPVOID context,
                      DWORD flags) override {
    if (!callback) return DIERR_INVALIDPARAM;
    if (device_class > DI8DEVCLASS_GAMECTRL) return DIERR_INVALIDPARAM;
    bool ff_only = flags & DIEDFL_FORCEFEEDBACK;
    if (!ff_only && (device_class == DI8DEVCLASS_ALL || device_class == DI8DEVCLASS_POINTER)) {
      DIDEVICEINSTANCEA info;
      MouseDevice().GetDeviceInfo(&info);
      if (callback(&info, context) == DIENUM_STOP) return DI_OK;
    }
    if (!ff_only && (device_class == DI8DEVCLASS_ALL || device_class == DI8DEVCLASS_KEYBOARD)) {
      DIDEVICEINSTANCEA info;
      KeyboardDevice().GetDeviceInfo(&info);
      if (callback(&info, context) == DIENUM_STOP) return DI_OK;
    }
    if (joysticks_ && (device_class == DI8DEVCLASS_ALL || device_class == DI8DEVCLASS_GAMECTRL))
      return ControllersEnumerate(flags, callback, context);
    return DI_OK;
  }

 private:
  bool joysticks_ = false;
};

}  // namespace

}  // namespace dinput::detail

HRESULT DirectInput8Create(HINSTANCE, DWORD version, dinput::Ref<IDirectInput8A>* out) {
  if (!out) return DIERR_INVALIDPARAM;
  out->Reset();
  if (dinput::detail::ShouldFail(dinput::testing::Fail::kCreateInterface)) return DIERR_GENERIC;
  if (version < DIRECTINPUT_VERSION) return DIERR_OLDDIRECTINPUTVERSION;
  if (version > DIRECTINPUT_VERSION) return DIERR_BETADIRECTINPUTVERSION;
  *out = dinput::Ref<IDirectInput8A>::Adopt(new dinput::detail::DirectInput);
  return DI_OK;
}

namespace dinput::testing {

void FailNext(Fail which) {
  detail::g_fail = which;
}

}  // namespace dinput::testing

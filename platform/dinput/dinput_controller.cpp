// Game controllers of the DirectInput stand-in: SDL joysticks enumerated as game-controller
// devices, their extended joystick state kept from the joystick events of the one SDL event
// source, axis ranges, the auto-centre property and the haptic device behind their effects.
#include <SDL.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>

#include "platform/dinput/dinput_internal.h"
#include "platform/win32/event_source.h"

namespace dinput::detail {

namespace {

constexpr int kAxes = 8;  // X, Y, Z, X rotation, Y rotation, Z rotation, two sliders
constexpr int kHats = 4;
constexpr int kButtons = 128;

// Who holds each controller exclusively.
std::map<SDL_JoystickID, const void*>& ExclusiveOwners() {
  static std::map<SDL_JoystickID, const void*> owners;
  return owners;
}

// A point-of-view value (hundredths of a degree clockwise from up, or centred) of an SDL hat.
DWORD PovFromHat(Uint8 hat) {
  switch (hat) {
    case SDL_HAT_UP:
      return 0;
    case SDL_HAT_RIGHTUP:
      return 4500;
    case SDL_HAT_RIGHT:
      return 9000;
    case SDL_HAT_RIGHTDOWN:
      return 13500;
    case SDL_HAT_DOWN:
      return 18000;
    case SDL_HAT_LEFTDOWN:
      return 22500;
    case SDL_HAT_LEFT:
      return 27000;
    case SDL_HAT_LEFTUP:
      return 31500;
    default:
      return 0xFFFFFFFFu;
  }
}

// The device index of a joystick instance id, or -1 when it is not attached.
int IndexOfInstance(SDL_JoystickID id) {
  int count = SDL_NumJoysticks();
  for (int i = 0; i < count; ++i)
    if (SDL_JoystickGetDeviceInstanceID(i) == id) return i;
  return -1;
}

// Fills a device instance record for controller device_index.
void DescribeController(int device_index, DIDEVICEINSTANCEA* info) {
  *info = {};
  info->dwSize = sizeof *info;
  info->guidInstance.Data1 = static_cast<DWORD>(SDL_JoystickGetDeviceInstanceID(device_index));
  info->guidInstance.Data2 = kControllerMark;
  SDL_JoystickGUID product = SDL_JoystickGetDeviceGUID(device_index);
  static_assert(sizeof product.data == sizeof(GUID));
  std::memcpy(&info->guidProduct, product.data, sizeof(GUID));
  SDL_JoystickType type = SDL_JoystickGetDeviceType(device_index);
  info->dwDevType =
      type == SDL_JOYSTICK_TYPE_GAMECONTROLLER ? DI8DEVTYPE_GAMEPAD : DI8DEVTYPE_JOYSTICK;
  const char* name = SDL_JoystickNameForIndex(device_index);
  if (!name || !*name) name = "Game controller";
  SDL_strlcpy(info->tszProductName, name, sizeof info->tszProductName);
  SDL_strlcpy(info->tszInstanceName, name, sizeof info->tszInstanceName);
}

class ControllerDevice final : public IDirectInputDevice8A, public EffectHost {
 public:
  ControllerDevice(SDL_Joystick* joystick, int device_index) : joystick_(joystick) {
    id_ = SDL_JoystickInstanceID(joystick);
    DescribeController(device_index, &info_);
    Snapshot();
    win32::AddEventObserver(Observe, this);
  }

  ~ControllerDevice() override {
    win32::RemoveEventObserver(Observe, this);
    Unacquire();
    if (haptic_) SDL_HapticClose(haptic_);
    if (haptic_subsystem_) SDL_QuitSubSystem(SDL_INIT_HAPTIC);
    SDL_JoystickClose(joystick_);
  }

  HRESULT SetDataFormat(const DIDATAFORMAT* format) override {
    return acquisition_.SetFormat(format, c_dfDIJoystick2);
  }

  HRESULT SetCooperativeLevel(HWND window, DWORD flags) override {
    bool exclusive = false;
    HRESULT hr = acquisition_.SetLevel(window, flags, true, &exclusive);
    if (SUCCEEDED(hr)) exclusive_ = exclusive;
    return hr;
  }

  HRESULT Acquire() override {
    HRESULT hr = acquisition_.Begin();
    if (hr != DI_OK) return hr;
    if (removed_ || !SDL_JoystickGetAttached(joystick_)) return DIERR_UNPLUGGED;
    if (FAILED(hr = acquisition_.CheckForeground())) return hr;
    if (exclusive_) {
      auto [it, added] = ExclusiveOwners().emplace(id_, this);
      if (!added && it->second != this) return DIERR_OTHERAPPHASPRIO;
    }
    acquisition_.Finish();
    Snapshot();
    return DI_OK;
  }

  HRESULT Unacquire() override {
    if (acquisition_.Release() != DI_OK) return DI_NOEFFECT;
    // Effects belong to the exclusive holder: giving the device up stops them.
    for (IDirectInputEffect* e : effects_) e->Stop();
    auto it = ExclusiveOwners().find(id_);
    if (it != ExclusiveOwners().end() && it->second == this) ExclusiveOwners().erase(it);
    return DI_OK;
  }

  HRESULT Poll() override {
    win32::PumpSdlEvents();
    HRESULT hr = Check();
    return FAILED(hr) ? hr : DI_NOEFFECT;
  }

  HRESULT GetDeviceState(DWORD size, LPVOID data) override {
    if (!data || size != c_dfDIJoystick2.dwDataSize) return DIERR_INVALIDPARAM;
    win32::PumpSdlEvents();
    HRESULT hr = Check();
    if (FAILED(hr)) return hr;
    DIJOYSTATE2 state{};
    LONG* axes[kAxes] = {&state.lX,  &state.lY,  &state.lZ,           &state.lRx,
                         &state.lRy, &state.lRz, &state.rglSlider[0], &state.rglSlider[1]};
    for (int a = 0; a < kAxes; ++a) *axes[a] = Scale(a, axes_[a]);
    for (int h = 0; h < kHats; ++h) state.rgdwPOV[h] = PovFromHat(hats_[h]);
    std::memcpy(state.rgbButtons, buttons_, kButtons);
    std::memcpy(data, &state, sizeof state);
    return DI_OK;
  }

  HRESULT SetProperty(DIPROP property, const DIPROPHEADER* header) override {
    if (!header) return DIERR_INVALIDPARAM;
    if (property == DIPROP::RANGE) {
      if (header->dwSize != sizeof(DIPROPRANGE)) return DIERR_INVALIDPARAM;
      if (acquisition_.acquired()) return DIERR_ACQUIRED;
      const auto* range = reinterpret_cast<const DIPROPRANGE*>(header);
      if (range->lMin >= range->lMax) return DIERR_INVALIDPARAM;
      int first = 0, last = kAxes - 1;
      if (header->dwHow == DIPH_BYOFFSET) {
        if (header->dwObj % 4 != 0 || header->dwObj / 4 >= static_cast<DWORD>(kAxes))
          return DIERR_OBJECTNOTFOUND;
        first = last = static_cast<int>(header->dwObj / 4);
      } else if (header->dwHow != DIPH_DEVICE) {
        return DIERR_INVALIDPARAM;
      }
      for (int a = first; a <= last; ++a) ranges_[a] = {range->lMin, range->lMax};
      return DI_OK;
    }
    if (property == DIPROP::AUTOCENTER) {
      if (header->dwSize != sizeof(DIPROPDWORD) || header->dwHow != DIPH_DEVICE)
        return DIERR_INVALIDPARAM;
      DWORD on = reinterpret_cast<const DIPROPDWORD*>(header)->dwData;
      if (on > DIPROPAUTOCENTER_ON) return DIERR_INVALIDPARAM;
      auto_center_ = on;
      if (PretendingForceFeedback()) {
        PretendAutoCenter(static_cast<int>(on));
        return DI_OK;
      }
      SDL_Haptic* haptic = Haptic();
      if (!haptic || !(SDL_HapticQuery(haptic) & SDL_HAPTIC_AUTOCENTER)) return DI_PROPNOEFFECT;
      return SDL_HapticSetAutocenter(haptic, on ? 100 : 0) == 0 ? DI_OK : DIERR_GENERIC;
    }
    return DIERR_UNSUPPORTED;
  }

  HRESULT GetProperty(DIPROP property, DIPROPHEADER* header) override {
    if (!header) return DIERR_INVALIDPARAM;
    if (property == DIPROP::RANGE && header->dwSize == sizeof(DIPROPRANGE) &&
        header->dwHow == DIPH_BYOFFSET && header->dwObj % 4 == 0 &&
        header->dwObj / 4 < static_cast<DWORD>(kAxes)) {
      auto* range = reinterpret_cast<DIPROPRANGE*>(header);
      range->lMin = ranges_[header->dwObj / 4].min;
      range->lMax = ranges_[header->dwObj / 4].max;
      return DI_OK;
    }
    if (property == DIPROP::AUTOCENTER && header->dwSize == sizeof(DIPROPDWORD)) {
      reinterpret_cast<DIPROPDWORD*>(header)->dwData = auto_center_;
      return DI_OK;
    }
    return DIERR_INVALIDPARAM;
  }

  HRESULT GetDeviceInfo(DIDEVICEINSTANCEA* info) override {
    if (!info) return DIERR_INVALIDPARAM;
    *info = info_;
    return DI_OK;
  }

  HRESULT EnumEffects(LPDIENUMEFFECTSCALLBACKA callback, LPVOID context, DWORD type) override {
    if (!callback) return DIERR_INVALIDPARAM;
    for (const GUID& kind : EffectKinds(PretendingForceFeedback() ? nullptr : Haptic())) {
      DIEFFECTINFOA info{};
      info.dwSize = sizeof info;
      info.guid = kind;
      info.dwEffType = kind == GUID_ConstantForce ? DIEFT_CONSTANTFORCE
                       : kind == GUID_Damper      ? DIEFT_CONDITION
                                                  : DIEFT_PERIODIC;
      info.dwStaticParams = info.dwDynamicParams = DIEP_ALLPARAMS;
      if (type != DIEFT_ALL && (info.dwEffType & 0xFF) != (type & 0xFF)) continue;
      if (callback(&info, context) == DIENUM_STOP) break;
    }
    return DI_OK;
  }

  HRESULT CreateEffect(REFGUID type, const DIEFFECT* params,
                       Ref<IDirectInputEffect>* out) override {
    if (!out) return DIERR_INVALIDPARAM;
    out->Reset();
    bool pretend = PretendingForceFeedback();
    std::vector<GUID> kinds = EffectKinds(pretend ? nullptr : Haptic());
    if (std::find(kinds.begin(), kinds.end(), type) == kinds.end()) return DIERR_UNSUPPORTED;
    return EffectCreate(this, this, type, params, out);
  }

  // EffectHost.
  SDL_Haptic* Haptic() override {
    if (PretendingForceFeedback()) return nullptr;
    if (!haptic_tried_) {
      haptic_tried_ = true;
      haptic_subsystem_ = SDL_InitSubSystem(SDL_INIT_HAPTIC) == 0;
      if (haptic_subsystem_ && SDL_JoystickIsHaptic(joystick_) == SDL_TRUE)
        haptic_ = SDL_HapticOpenFromJoystick(joystick_);
    }
    return haptic_;
  }
  bool ExclusivelyAcquired() const override { return acquisition_.acquired() && exclusive_; }
  void EffectAdded(IDirectInputEffect* effect) override { effects_.push_back(effect); }
  void EffectGone(IDirectInputEffect* effect) override {
    effects_.erase(std::remove(effects_.begin(), effects_.end(), effect), effects_.end());
  }

 private:
  struct Range {
    LONG min = 0;
    LONG max = 65535;
  };

  // Acquired, attached and, in the foreground mode, still in the foreground?
  HRESULT Check() {
    if (!acquisition_.acquired()) return DIERR_NOTACQUIRED;
    if (removed_) {
      Unacquire();
      return DIERR_INPUTLOST;
    }
    if (acquisition_.ForegroundLost()) {
      Unacquire();
      return DIERR_INPUTLOST;
    }
    return DI_OK;
  }

  // Reads SDL's current joystick state (after an acquisition: later changes come as events).
  void Snapshot() {
    int axes = std::min(SDL_JoystickNumAxes(joystick_), kAxes);
    for (int a = 0; a < axes; ++a) axes_[a] = SDL_JoystickGetAxis(joystick_, a);
    int hats = std::min(SDL_JoystickNumHats(joystick_), kHats);
    for (int h = 0; h < hats; ++h) hats_[h] = SDL_JoystickGetHat(joystick_, h);
    int buttons = std::min(SDL_JoystickNumButtons(joystick_), kButtons);
    for (int b = 0; b < buttons; ++b) buttons_[b] = SDL_JoystickGetButton(joystick_, b) ? 0x80 : 0;
  }

  // An SDL axis value (-32768..32767) in the axis's range.
  LONG Scale(int axis, Sint16 value) const {
    const Range& r = ranges_[axis];
    std::int64_t span = static_cast<std::int64_t>(r.max) - r.min;
    return static_cast<LONG>(r.min + (static_cast<std::int64_t>(value) + 32768) * span / 65535);
  }

  static void Observe(const SDL_Event& event, void* context) {
    auto* self = static_cast<ControllerDevice*>(context);
    switch (event.type) {
      case SDL_JOYAXISMOTION:
        if (event.jaxis.which == self->id_ && event.jaxis.axis < kAxes)
          self->axes_[event.jaxis.axis] = event.jaxis.value;
        break;
      case SDL_JOYHATMOTION:
        if (event.jhat.which == self->id_ && event.jhat.hat < kHats)
          self->hats_[event.jhat.hat] = event.jhat.value;
        break;
      case SDL_JOYBUTTONDOWN:
      case SDL_JOYBUTTONUP:
        if (event.jbutton.which == self->id_ && event.jbutton.button < kButtons)
          self->buttons_[event.jbutton.button] = event.type == SDL_JOYBUTTONDOWN ? 0x80 : 0;
        break;
      case SDL_JOYDEVICEREMOVED:
        if (event.jdevice.which == self->id_) self->removed_ = true;
        break;
      default:
        break;
    }
  }

  SDL_Joystick* joystick_;
  SDL_JoystickID id_ = -1;
  DIDEVICEINSTANCEA info_{};
  SDL_Haptic* haptic_ = nullptr;
  bool haptic_tried_ = false;
  bool haptic_subsystem_ = false;
  Acquisition acquisition_;
  bool exclusive_ = false;
  bool removed_ = false;
  DWORD auto_center_ = DIPROPAUTOCENTER_ON;
  Range ranges_[kAxes];
  Sint16 axes_[kAxes] = {};
  Uint8 hats_[kHats] = {};
  BYTE buttons_[kButtons] = {};
  std::vector<IDirectInputEffect*> effects_;
};

}  // namespace

bool ControllerHasForceFeedback(int device_index) {
  if (PretendingForceFeedback()) return true;
  if (SDL_InitSubSystem(SDL_INIT_HAPTIC) != 0) return false;
  bool haptic = false;
  if (SDL_Joystick* joystick = SDL_JoystickOpen(device_index)) {
    haptic = SDL_JoystickIsHaptic(joystick) == SDL_TRUE;
    SDL_JoystickClose(joystick);
  }
  SDL_QuitSubSystem(SDL_INIT_HAPTIC);
  return haptic;
}

HRESULT ControllerDeviceCreate(REFGUID instance, Ref<IDirectInputDevice8A>* out) {
  if (instance.Data2 != kControllerMark) return DIERR_DEVICENOTREG;
  win32::PumpSdlEvents();
  int index = IndexOfInstance(static_cast<SDL_JoystickID>(instance.Data1));
  if (index < 0) return DIERR_DEVICENOTREG;
  SDL_Joystick* joystick = SDL_JoystickOpen(index);
  if (!joystick) return DIERR_DEVICENOTREG;
  *out = Ref<IDirectInputDevice8A>::Adopt(new ControllerDevice(joystick, index));
  return DI_OK;
}

HRESULT ControllersEnumerate(DWORD flags, LPDIENUMDEVICESCALLBACKA callback, LPVOID context) {
  // Attach and detach notices arrive through the event queue: take them in first.
  win32::PumpSdlEvents();
  int count = SDL_NumJoysticks();
  for (int i = 0; i < count; ++i) {
    if ((flags & DIEDFL_FORCEFEEDBACK) && !ControllerHasForceFeedback(i)) continue;
    DIDEVICEINSTANCEA info;
    DescribeController(i, &info);
    if (callback(&info, context) == DIENUM_STOP) break;
  }
  return DI_OK;
}

}  // namespace dinput::detail

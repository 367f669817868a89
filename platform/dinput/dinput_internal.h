// Internals shared by the DirectInput stand-in's files: the keyboard and mouse state kept from
// SDL events, the controller device class (effects need it) and the force-feedback backends.
#pragma once

#include <SDL.h>

#include <array>
#include <cstdint>
#include <vector>

#include "platform/dinput/dinput.h"

namespace dinput::detail {

// Keyboard and mouse as the event stream describes them, kept while any interface object
// lives. Movement is kept as running totals so that every mouse device can report the
// movement since its own last read.
struct DesktopInput {
  std::array<BYTE, 256> keys{};
  std::array<BYTE, 4> buttons{};
  std::int64_t total_x = 0;
  std::int64_t total_y = 0;
  std::int64_t total_z = 0;
  bool has_focus = true;
  std::uint32_t focus_losses = 0;  // counts focus losses: foreground devices compare it
};
DesktopInput& Desktop();

// Starts and stops following the event stream (counted: one per interface object).
void FollowEvents();
void UnfollowEvents();

// One-shot failure injection; true when `which` was armed (and disarms it).
bool ShouldFail(testing::Fail which);

// Pretend force feedback (tests).
bool PretendingForceFeedback();
int PretendRecordNew(const GUID& type);
testing::EffectRecord& PretendRecord(int index);
void PretendAutoCenter(int on);

// The acquisition rules every device follows: it takes a data format of the expected size
// before it can be acquired; neither the format nor the cooperative level changes while it is
// acquired; a foreground device is acquired only while the window has the foreground and is
// lost when the window loses it.
class Acquisition {
 public:
  bool acquired() const { return acquired_; }

  // SetDataFormat: DIERR_ACQUIRED while acquired, DIERR_INVALIDPARAM for a format that is
  // neither the expected one nor of its size.
  HRESULT SetFormat(const DIDATAFORMAT* format, const DIDATAFORMAT& expected);
  // SetCooperativeLevel: E_HANDLE without a window, DIERR_ACQUIRED while acquired,
  // DIERR_INVALIDPARAM unless the flags name exactly one of exclusive and shared and one of
  // foreground and background, DIERR_UNSUPPORTED for exclusive background use where the device
  // does not allow it. Keeps the foreground mode and says whether it is exclusive.
  HRESULT SetLevel(HWND window, DWORD flags, bool exclusive_background_allowed, bool* exclusive);
  // The first steps of Acquire, pumping events so that the focus is current: DIERR_INVALIDPARAM
  // without a format, DI_NOEFFECT when already acquired, otherwise DI_OK.
  HRESULT Begin();
  // DIERR_OTHERAPPHASPRIO for a foreground device while the window lacks the foreground.
  HRESULT CheckForeground() const;
  // The last step of Acquire: acquired from now on.
  void Finish();
  // Unacquire: DI_NOEFFECT when not acquired, otherwise unacquires.
  HRESULT Release();
  // Whether a foreground device has lost the foreground since it was acquired.
  bool ForegroundLost() const;

 private:
  bool has_format_ = false;
  bool acquired_ = false;
  bool foreground_ = false;
  std::uint32_t focus_losses_ = 0;  // Desktop().focus_losses when acquired
};

// The product GUID word that marks a controller's instance GUID.
constexpr WORD kControllerMark = 0x4A53;

// Whether controller device_index supports force feedback.
bool ControllerHasForceFeedback(int device_index);

// The controller side effects need: its haptic device, its exclusive acquisition and the
// list of its effects (so that unacquiring can stop them).
class EffectHost {
 public:
  virtual SDL_Haptic* Haptic() = 0;
  virtual bool ExclusivelyAcquired() const = 0;
  virtual void EffectAdded(IDirectInputEffect* effect) = 0;
  virtual void EffectGone(IDirectInputEffect* effect) = 0;
  virtual ~EffectHost() = default;
};

// Makes an effect of the given type on a host device (the effect holds a reference to it).
HRESULT EffectCreate(IDirectInputDevice8A* device, EffectHost* host, const GUID& type,
                     const DIEFFECT* params, Ref<IDirectInputEffect>* out);

// The effect kinds a haptic device (or the pretend one) supports, in enumeration order.
std::vector<GUID> EffectKinds(SDL_Haptic* haptic);

}  // namespace dinput::detail

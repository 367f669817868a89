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

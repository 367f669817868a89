// Force feedback on the controller in use: each operation has its own effect slot, whose
// effect is updated (or made) and started for one iteration. Arguments are checked in a fixed
// order, so a call with several bad arguments always reports the same code.
#include <algorithm>

#include "runtime/core/errors.h"
#include "runtime/input/input_state.h"
#include "tessark/input.h"
#include "tessark/errors.h"

namespace tessark::input {

namespace {

constexpr DWORD kPushLength = 100000;  // the four direction pushes last 0.1 s
constexpr std::int64_t kTail = 50000;  // every timed effect runs 0.05 s past its time
constexpr DWORD kShortPeriod = 50000;  // microseconds
constexpr DWORD kLongPeriod = 100000;

// The checks in their order; false (with the code raised) at the first that fails.
bool Allowed(std::int32_t magnitude, std::int32_t angle = 0, std::int32_t duration = 0) {
  const InputState& s = State();
  if (!s.force_available || !s.controller) {
    RuntimeError(error::kForceFeedbackUnavailable);
    return false;
  }
  if (magnitude < 0 || magnitude > 100) {
    RuntimeError(error::kForceMagnitudeOutOfRange);
    return false;
  }
  if (angle < 0 || angle > 360) {
    RuntimeError(error::kForceAngleOutOfRange);
    return false;
  }
  if (duration < 0) {
    RuntimeError(error::kForceDurationNegative);
    return false;
  }
  return true;
}

// The effect length of a duration in milliseconds: 0 is endless; whole_seconds drops the
// part below a second first. Very long durations stop just short of endless.
DWORD Length(std::int32_t duration, bool whole_seconds) {
  if (duration == 0) return INFINITE;
  std::int64_t ms = whole_seconds ? duration / 1000 * 1000 : duration;
  return static_cast<DWORD>(std::min<std::int64_t>(ms * 1000 + kTail, INFINITE - 1));
}

// Updates the slot's effect (or makes it) and starts it once.
void Play(EffectSlot slot, const GUID& type, DIEFFECT& effect) {
  InputState& s = State();
  dinput::Ref<IDirectInputEffect>& held = s.effects[slot];
  if (held) {
    held->SetParameters(&effect,
                        DIEP_DURATION | DIEP_GAIN | DIEP_DIRECTION | DIEP_TYPESPECIFICPARAMS);
  } else if (FAILED(s.controller->CreateEffect(type, &effect, &held))) {
    held.Reset();
    return;
  }
  held->Start(1, 0);
}

// A polar effect on the X and Y axes.
struct PolarEffect {
  DWORD axes[2] = {DIJOFS_X, DIJOFS_Y};
  LONG direction[2] = {0, 0};
  DIEFFECT effect{};

  PolarEffect(LONG hundredths, DWORD length, DWORD params_size, void* params) {
    direction[0] = hundredths;
    effect.dwSize = sizeof effect;
    effect.dwFlags = DIEFF_POLAR | DIEFF_OBJECTOFFSETS;
    effect.dwDuration = length;
    effect.dwGain = DI_FFNOMINALMAX;
    effect.dwTriggerButton = DIEB_NOTRIGGER;
    effect.cAxes = 2;
    effect.rgdwAxes = axes;
    effect.rglDirection = direction;
    effect.cbTypeSpecificParams = params_size;
    effect.lpvTypeSpecificParams = params;
  }
};

void Constant(EffectSlot slot, std::int32_t magnitude, LONG hundredths, DWORD length) {
  DICONSTANTFORCE force{magnitude * 100};
  PolarEffect e(hundredths, length, sizeof force, &force);
  Play(slot, GUID_ConstantForce, e.effect);
}

void Push(EffectSlot slot, std::int32_t magnitude, LONG hundredths) {
  if (!Allowed(magnitude)) return;
  Constant(slot, magnitude, hundredths, kPushLength);
}

void Wave(EffectSlot slot, std::int32_t magnitude, std::int32_t duration, DWORD period) {
  if (!Allowed(magnitude, 0, duration)) return;
  DIPERIODIC wave{static_cast<DWORD>(magnitude) * 100, 0, 0, period};
  PolarEffect e(0, Length(duration, false), sizeof wave, &wave);
  Play(slot, State().periodic_kind, e.effect);
}

// Unacquires the controller, sets its auto-centre and acquires it again.
void Centre(DWORD on) {
  if (!Allowed(0)) return;
  InputState& s = State();
  s.controller->Unacquire();
  DIPROPDWORD centre{};
  centre.diph = {sizeof centre, sizeof centre.diph, 0, DIPH_DEVICE};
  centre.dwData = on;
  s.controller->SetProperty(DIPROP::AUTOCENTER, &centre.diph);
  s.controller->Acquire();
}

}  // namespace

}  // namespace tessark::input

namespace tessark {

using namespace tessark::input;

// A force "from" a direction pushes the stick the other way: up comes from 180 degrees.
void ForceUp(std::int32_t magnitude) {
  Push(kEffectUp, magnitude, 18000);
}
void ForceDown(std::int32_t magnitude) {
  Push(kEffectDown, magnitude, 0);
}
void ForceLeft(std::int32_t magnitude) {
  Push(kEffectLeft, magnitude, 9000);
}
void ForceRight(std::int32_t magnitude) {
  Push(kEffectRight, magnitude, 27000);
}

void ForceAngle(std::int32_t magnitude, std::int32_t angle, std::int32_t duration) {
  if (!Allowed(magnitude, angle, duration)) return;
  Constant(kEffectAngle, magnitude, angle * 100, Length(duration, true));
}

void ForceConstant(std::int32_t magnitude, std::int32_t duration) {
  if (!Allowed(magnitude, 0, duration)) return;
  Constant(kEffectConstant, magnitude, 0, Length(duration, false));
}

void ForceWaveShort(std::int32_t magnitude, std::int32_t duration) {
  Wave(kEffectWaveShort, magnitude, duration, kShortPeriod);
}

void ForceWaveLong(std::int32_t magnitude, std::int32_t duration) {
  Wave(kEffectWaveLong, magnitude, duration, kLongPeriod);
}

void ForceDamper(std::int32_t magnitude, std::int32_t duration) {
  if (!Allowed(magnitude, 0, duration)) return;
  DICONDITION condition{};
  condition.lPositiveCoefficient = magnitude * 50;
  condition.lNegativeCoefficient = magnitude * 50;
  condition.dwPositiveSaturation = DI_FFNOMINALMAX;
  condition.dwNegativeSaturation = DI_FFNOMINALMAX;
  const LONG directions[2][2] = {{1, 1}, {-1, -1}};
  const EffectSlot slots[2] = {kEffectDamperX, kEffectDamperY};
  for (int i = 0; i < 2; ++i) {
    DWORD axes[2] = {DIJOFS_X, DIJOFS_Y};
    LONG direction[2] = {directions[i][0], directions[i][1]};
    DIEFFECT e{};
    e.dwSize = sizeof e;
    e.dwFlags = DIEFF_CARTESIAN | DIEFF_OBJECTOFFSETS;
    e.dwDuration = Length(duration, false);
    e.dwGain = DI_FFNOMINALMAX;
    e.dwTriggerButton = DIEB_NOTRIGGER;
    e.cAxes = 2;
    e.rgdwAxes = axes;
    e.rglDirection = direction;
    e.cbTypeSpecificParams = sizeof condition;
    e.lpvTypeSpecificParams = &condition;
    Play(slots[i], GUID_Damper, e);
  }
}

void ForceStop() {
  if (!Allowed(0)) return;
  for (auto& effect : State().effects)
    if (effect) effect->Stop();
}

void ForceCenterOn() {
  Centre(DIPROPAUTOCENTER_ON);
}

void ForceCenterOff() {
  Centre(DIPROPAUTOCENTER_OFF);
}

}  // namespace tessark

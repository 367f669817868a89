// Force-feedback effects of the DirectInput stand-in: constant forces, periodic forces and
// dampers, kept in the platform's terms (microseconds, 0..10000 magnitudes, hundredths of a
// degree) and played through SDL's haptic API, or into the pretend record that tests read.
#include <SDL.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "platform/dinput/dinput_internal.h"

namespace dinput::detail {

namespace {

bool g_pretend = false;
int g_auto_center = -1;

std::vector<testing::EffectRecord>& Records() {
  static std::vector<testing::EffectRecord> records;
  return records;
}

bool IsPeriodic(const GUID& type) {
  return type == GUID_Square || type == GUID_Sine || type == GUID_Triangle ||
         type == GUID_SawtoothUp || type == GUID_SawtoothDown;
}

Uint32 LengthMs(DWORD us) {
  return us == INFINITE ? SDL_HAPTIC_INFINITY : us / 1000;
}

// A 0..10000 magnitude on SDL's 16-bit scale.
Sint16 Level(std::int64_t magnitude) {
  std::int64_t m = std::clamp<std::int64_t>(magnitude, -10000, 10000);
  return static_cast<Sint16>(m * 32767 / 10000);
}

class Effect final : public IDirectInputEffect {
 public:
  Effect(IDirectInputDevice8A* device, EffectHost* host, const GUID& type)
      : device_(Ref<IDirectInputDevice8A>::Share(device)), host_(host), type_(type) {
    host_->EffectAdded(this);
    if (PretendingForceFeedback()) record_ = PretendRecordNew(type);
  }

  ~Effect() override {
    Stop();
    if (sdl_id_ >= 0) {
      if (SDL_Haptic* haptic = host_->Haptic()) SDL_HapticDestroyEffect(haptic, sdl_id_);
    }
    host_->EffectGone(this);
  }

  HRESULT SetParameters(const DIEFFECT* e, DWORD flags) override {
    if (!e || e->dwSize != sizeof(DIEFFECT)) return DIERR_INVALIDPARAM;
    Params p = params_;
    if (flags & DIEP_DURATION) p.duration = e->dwDuration;
    if (flags & DIEP_GAIN) {
      if (e->dwGain > DI_FFNOMINALMAX) return DIERR_INVALIDPARAM;
      p.gain = e->dwGain;
    }
    if (flags & DIEP_AXES) {
      if (e->cAxes < 1 || e->cAxes > 2 || !e->rgdwAxes) return DIERR_INVALIDPARAM;
      p.axes = e->cAxes;
    }
    if (flags & DIEP_DIRECTION) {
      if (!e->rglDirection || p.axes == 0) return DIERR_INVALIDPARAM;
      if (e->dwFlags & DIEFF_POLAR) {
        if (p.axes != 2) return DIERR_INVALIDPARAM;
        p.polar = true;
        p.direction[0] = e->rglDirection[0];
        p.direction[1] = 0;
      } else if (e->dwFlags & DIEFF_CARTESIAN) {
        p.polar = false;
        p.direction[0] = e->rglDirection[0];
        p.direction[1] = p.axes > 1 ? e->rglDirection[1] : 0;
      } else {
        return DIERR_INVALIDPARAM;
      }
    }
    if (flags & DIEP_TYPESPECIFICPARAMS) {
      if (!e->lpvTypeSpecificParams) return DIERR_INVALIDPARAM;
      if (type_ == GUID_ConstantForce) {
        if (e->cbTypeSpecificParams != sizeof(DICONSTANTFORCE)) return DIERR_INVALIDPARAM;
        p.constant = *static_cast<const DICONSTANTFORCE*>(e->lpvTypeSpecificParams);
      } else if (IsPeriodic(type_)) {
        if (e->cbTypeSpecificParams != sizeof(DIPERIODIC)) return DIERR_INVALIDPARAM;
        p.periodic = *static_cast<const DIPERIODIC*>(e->lpvTypeSpecificParams);
      } else {
        DWORD n = e->cbTypeSpecificParams / sizeof(DICONDITION);
        if (n < 1 || n > 2 || e->cbTypeSpecificParams % sizeof(DICONDITION) != 0)
          return DIERR_INVALIDPARAM;
        const auto* c = static_cast<const DICONDITION*>(e->lpvTypeSpecificParams);
        p.condition[0] = c[0];
        p.condition[1] = n > 1 ? c[1] : c[0];
      }
      p.complete = true;
    }
    params_ = p;
    if (playing_) Upload();
    if (flags & DIEP_START) return Start(1, 0);
    return DI_OK;
  }

  HRESULT Start(DWORD iterations, DWORD) override {
    if (!host_->ExclusivelyAcquired()) return DIERR_NOTEXCLUSIVEACQUIRED;
    if (!params_.complete) return DIERR_INCOMPLETEEFFECT;
    if (record_ >= 0) {
      testing::EffectRecord& r = PretendRecord(record_);
      r.duration = params_.duration;
      r.direction = params_.direction[0];
      r.magnitude = type_ == GUID_ConstantForce ? params_.constant.lMagnitude
                    : IsPeriodic(type_)         ? static_cast<LONG>(params_.periodic.dwMagnitude)
                                                : params_.condition[0].lPositiveCoefficient;
      r.period = IsPeriodic(type_) ? params_.periodic.dwPeriod : 0;
      r.saturation = IsPeriodic(type_) || type_ == GUID_ConstantForce
                         ? 0
                         : params_.condition[0].dwPositiveSaturation;
      r.playing = true;
      ++r.starts;
      playing_ = true;
      return DI_OK;
    }
    SDL_Haptic* haptic = host_->Haptic();
    if (!haptic) return DIERR_UNSUPPORTED;
    if (!Upload()) return DIERR_GENERIC;
    Uint32 loops = iterations == INFINITE ? SDL_HAPTIC_INFINITY : iterations;
    if (SDL_HapticRunEffect(haptic, sdl_id_, loops) != 0) return DIERR_GENERIC;
    playing_ = true;
    return DI_OK;
  }

  HRESULT Stop() override {
    playing_ = false;
    if (record_ >= 0) {
      PretendRecord(record_).playing = false;
      return DI_OK;
    }
    if (sdl_id_ >= 0) {
      if (SDL_Haptic* haptic = host_->Haptic()) SDL_HapticStopEffect(haptic, sdl_id_);
    }
    return DI_OK;
  }

  HRESULT GetEffectStatus(DWORD* status) override {
    if (!status) return DIERR_INVALIDPARAM;
    *status = 0;
    if (record_ >= 0) {
      if (PretendRecord(record_).playing) *status = DIEGES_PLAYING;
      return DI_OK;
    }
    SDL_Haptic* haptic = host_->Haptic();
    if (haptic && sdl_id_ >= 0 && (SDL_HapticQuery(haptic) & SDL_HAPTIC_STATUS)) {
      if (SDL_HapticGetEffectStatus(haptic, sdl_id_) == 1) *status = DIEGES_PLAYING;
    } else if (playing_) {
      *status = DIEGES_PLAYING;
    }
    return DI_OK;
  }

 private:
  struct Params {
    DWORD duration = INFINITE;
    DWORD gain = DI_FFNOMINALMAX;
    DWORD axes = 0;
    bool polar = true;
    LONG direction[2] = {0, 0};
    DICONSTANTFORCE constant{};
    DIPERIODIC periodic{};
    DICONDITION condition[2]{};
    bool complete = false;
  };

  // The effect in SDL's terms.
  SDL_HapticEffect ToSdl() const {
    SDL_HapticEffect s{};
    SDL_HapticDirection dir{};
    if (params_.polar) {
      dir.type = SDL_HAPTIC_POLAR;
      dir.dir[0] = params_.direction[0];
    } else {
      dir.type = SDL_HAPTIC_CARTESIAN;
      dir.dir[0] = params_.direction[0];
      dir.dir[1] = params_.direction[1];
    }
    std::int64_t gain = params_.gain;
    if (type_ == GUID_ConstantForce) {
      s.type = SDL_HAPTIC_CONSTANT;
      s.constant.direction = dir;
      s.constant.length = LengthMs(params_.duration);
      s.constant.level = Level(params_.constant.lMagnitude * gain / 10000);
    } else if (IsPeriodic(type_)) {
      s.type = type_ == GUID_Sine           ? SDL_HAPTIC_SINE
               : type_ == GUID_Triangle     ? SDL_HAPTIC_TRIANGLE
               : type_ == GUID_SawtoothUp   ? SDL_HAPTIC_SAWTOOTHUP
               : type_ == GUID_SawtoothDown ? SDL_HAPTIC_SAWTOOTHDOWN
                                            : SDL_HAPTIC_SINE;
      s.periodic.direction = dir;
      s.periodic.length = LengthMs(params_.duration);
      s.periodic.period =
          static_cast<Uint16>(std::min<DWORD>(params_.periodic.dwPeriod / 1000, 0xFFFF));
      s.periodic.magnitude =
          Level(static_cast<std::int64_t>(params_.periodic.dwMagnitude) * gain / 10000);
      s.periodic.offset = Level(params_.periodic.lOffset);
      s.periodic.phase = static_cast<Uint16>(params_.periodic.dwPhase % 36000);
    } else {
      s.type = SDL_HAPTIC_DAMPER;
      s.condition.direction = dir;
      s.condition.length = LengthMs(params_.duration);
      for (int a = 0; a < 2; ++a) {
        const DICONDITION& c = params_.condition[a];
        auto sat = [](DWORD v) {
          return static_cast<Uint16>(std::min<DWORD>(v, 10000) * 65535 / 10000);
        };
        s.condition.right_sat[a] = sat(c.dwPositiveSaturation);
        s.condition.left_sat[a] = sat(c.dwNegativeSaturation);
        s.condition.right_coeff[a] = Level(c.lPositiveCoefficient);
        s.condition.left_coeff[a] = Level(c.lNegativeCoefficient);
        s.condition.deadband[a] =
            static_cast<Uint16>(std::clamp<LONG>(c.lDeadBand, 0, 10000) * 65535 / 10000);
        s.condition.center[a] = Level(c.lOffset);
      }
    }
    return s;
  }

  // Downloads the effect to the device (or updates it there); false on failure.
  bool Upload() {
    if (record_ >= 0) return true;
    SDL_Haptic* haptic = host_->Haptic();
    if (!haptic) return false;
    SDL_HapticEffect effect = ToSdl();
    if (sdl_id_ < 0) {
      sdl_id_ = SDL_HapticNewEffect(haptic, &effect);
      return sdl_id_ >= 0;
    }
    return SDL_HapticUpdateEffect(haptic, sdl_id_, &effect) >= 0;
  }

  Ref<IDirectInputDevice8A> device_;  // keeps the device (and so the host) alive
  EffectHost* host_;
  GUID type_;
  Params params_;
  int sdl_id_ = -1;
  int record_ = -1;
  bool playing_ = false;
};

}  // namespace

bool PretendingForceFeedback() {
  return g_pretend;
}

int PretendRecordNew(const GUID& type) {
  testing::EffectRecord r{};
  r.type = type;
  Records().push_back(r);
  return static_cast<int>(Records().size()) - 1;
}

testing::EffectRecord& PretendRecord(int index) {
  static testing::EffectRecord spare;
  auto& records = Records();
  if (index < 0 || index >= static_cast<int>(records.size())) {
    spare = {};
    return spare;
  }
  return records[static_cast<std::size_t>(index)];
}

void PretendAutoCenter(int on) {
  g_auto_center = on;
}

std::vector<GUID> EffectKinds(SDL_Haptic* haptic) {
  std::vector<GUID> kinds;
  unsigned int bits = 0;
  if (haptic) {
    bits = SDL_HapticQuery(haptic);
  } else if (g_pretend) {
    bits = SDL_HAPTIC_CONSTANT | SDL_HAPTIC_SINE | SDL_HAPTIC_TRIANGLE | SDL_HAPTIC_SAWTOOTHUP |
           SDL_HAPTIC_SAWTOOTHDOWN | SDL_HAPTIC_DAMPER;
  }
  if (bits & SDL_HAPTIC_CONSTANT) kinds.push_back(GUID_ConstantForce);
  if (bits & SDL_HAPTIC_SINE) kinds.push_back(GUID_Sine);
  if (bits & SDL_HAPTIC_TRIANGLE) kinds.push_back(GUID_Triangle);
  if (bits & SDL_HAPTIC_SAWTOOTHUP) kinds.push_back(GUID_SawtoothUp);
  if (bits & SDL_HAPTIC_SAWTOOTHDOWN) kinds.push_back(GUID_SawtoothDown);
  if (bits & SDL_HAPTIC_DAMPER) kinds.push_back(GUID_Damper);
  return kinds;
}

HRESULT EffectCreate(IDirectInputDevice8A* device, EffectHost* host, const GUID& type,
                     const DIEFFECT* params, Ref<IDirectInputEffect>* out) {
  auto effect = Ref<IDirectInputEffect>::Adopt(new Effect(device, host, type));
  if (params) {
    HRESULT hr = effect->SetParameters(params, DIEP_ALLPARAMS & ~DIEP_STARTDELAY);
    if (FAILED(hr)) return hr;
  }
  *out = effect;
  return DI_OK;
}

}  // namespace dinput::detail

namespace dinput::testing {

void PretendForceFeedback(bool on) {
  detail::g_pretend = on;
  detail::Records().clear();
  detail::g_auto_center = -1;
}

int PretendEffectCount() {
  return static_cast<int>(detail::Records().size());
}

EffectRecord PretendEffect(int index) {
  return detail::PretendRecord(index);
}

int LastAutoCenter() {
  return detail::g_auto_center;
}

}  // namespace dinput::testing

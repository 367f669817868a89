// 3D buffers and the listener: settings applied at once or deferred until the listener's
// CommitDeferredSettings, which makes every deferred setting of the device heard together.
// The mixer hears the active settings (distance attenuation and panning, mixer.cpp); the
// getters answer with the settings as last set, so that reading and writing back is harmless.
#include <cmath>

#include "platform/dsound/mixer.h"

using dsound::Mixer;
using dsound::Ref;
using dsound::Voice;

namespace {

bool Finite(float v) {
  return std::isfinite(v);
}
bool FiniteVector(const D3DVECTOR& v) {
  return Finite(v.x) && Finite(v.y) && Finite(v.z);
}

}  // namespace

HRESULT IDirectSoundBuffer8::Query3DBuffer(Ref<IDirectSound3DBuffer8>* out) {
  if (!out) return DSERR_INVALIDPARAM;
  out->reset();
  if (!voice_ || !(flags_ & DSBCAPS_CTRL3D)) return E_FAIL;  // E_NOINTERFACE on the platform
  AddRef();
  *out = Ref<IDirectSound3DBuffer8>(new IDirectSound3DBuffer8(Ref<IDirectSoundBuffer8>(this)));
  return DS_OK;
}

HRESULT IDirectSoundBuffer8::QueryListener(Ref<IDirectSound3DListener8>* out) {
  if (!out) return DSERR_INVALIDPARAM;
  out->reset();
  if (voice_ || !(flags_ & DSBCAPS_CTRL3D)) return E_FAIL;
  *out = Ref<IDirectSound3DListener8>(new IDirectSound3DListener8(device_));
  return DS_OK;
}

// ---- 3D buffers ------------------------------------------------------------------------------

IDirectSound3DBuffer8::IDirectSound3DBuffer8(Ref<IDirectSoundBuffer8> buffer)
    : buffer_(std::move(buffer)) {}

// Runs change on the pending settings, and on the active ones too when applied at once.
template <typename Change>
HRESULT IDirectSound3DBuffer8::Apply(DWORD apply, Change change) {
  if (apply != DS3D_IMMEDIATE && apply != DS3D_DEFERRED) return DSERR_INVALIDPARAM;
  std::lock_guard<std::mutex> guard(buffer_->device_->mixer().lock);
  Voice& voice = *buffer_->voice_;
  change(voice.pending);
  if (apply == DS3D_IMMEDIATE) change(voice.active);
  return DS_OK;
}

HRESULT IDirectSound3DBuffer8::GetAllParameters(DS3DBUFFER* params) {
  if (!params) return DSERR_INVALIDPARAM;
  std::lock_guard<std::mutex> guard(buffer_->device_->mixer().lock);
  *params = buffer_->voice_->pending;
  return DS_OK;
}

HRESULT IDirectSound3DBuffer8::SetAllParameters(const DS3DBUFFER* params, DWORD apply) {
  if (!params || !FiniteVector(params->vPosition) || !(params->flMinDistance > 0) ||
      !(params->flMaxDistance > 0) || params->dwMode > DS3DMODE_DISABLE) {
    return DSERR_INVALIDPARAM;
  }
  DS3DBUFFER copy = *params;
  copy.dwSize = sizeof copy;
  return Apply(apply, [&](DS3DBUFFER& b) { b = copy; });
}

HRESULT IDirectSound3DBuffer8::GetPosition(D3DVECTOR* position) {
  if (!position) return DSERR_INVALIDPARAM;
  std::lock_guard<std::mutex> guard(buffer_->device_->mixer().lock);
  *position = buffer_->voice_->pending.vPosition;
  return DS_OK;
}

HRESULT IDirectSound3DBuffer8::SetPosition(float x, float y, float z, DWORD apply) {
  if (!Finite(x) || !Finite(y) || !Finite(z)) return DSERR_INVALIDPARAM;
  return Apply(apply, [&](DS3DBUFFER& b) { b.vPosition = {x, y, z}; });
}

HRESULT IDirectSound3DBuffer8::GetMinDistance(float* distance) {
  if (!distance) return DSERR_INVALIDPARAM;
  std::lock_guard<std::mutex> guard(buffer_->device_->mixer().lock);
  *distance = buffer_->voice_->pending.flMinDistance;
  return DS_OK;
}

HRESULT IDirectSound3DBuffer8::SetMinDistance(float distance, DWORD apply) {
  if (!(distance > 0) || !Finite(distance)) return DSERR_INVALIDPARAM;
  return Apply(apply, [&](DS3DBUFFER& b) { b.flMinDistance = distance; });
}

HRESULT IDirectSound3DBuffer8::GetMaxDistance(float* distance) {
  if (!distance) return DSERR_INVALIDPARAM;
  std::lock_guard<std::mutex> guard(buffer_->device_->mixer().lock);
  *distance = buffer_->voice_->pending.flMaxDistance;
  return DS_OK;
}

HRESULT IDirectSound3DBuffer8::SetMaxDistance(float distance, DWORD apply) {
  if (!(distance > 0) || !Finite(distance)) return DSERR_INVALIDPARAM;
  return Apply(apply, [&](DS3DBUFFER& b) { b.flMaxDistance = distance; });
}

HRESULT IDirectSound3DBuffer8::GetMode(DWORD* mode) {
  if (!mode) return DSERR_INVALIDPARAM;
  std::lock_guard<std::mutex> guard(buffer_->device_->mixer().lock);
  *mode = buffer_->voice_->pending.dwMode;
  return DS_OK;
}

HRESULT IDirectSound3DBuffer8::SetMode(DWORD mode, DWORD apply) {
  if (mode > DS3DMODE_DISABLE) return DSERR_INVALIDPARAM;
  return Apply(apply, [&](DS3DBUFFER& b) { b.dwMode = mode; });
}

HRESULT IDirectSound3DBuffer8::SetVelocity(float x, float y, float z, DWORD apply) {
  if (!Finite(x) || !Finite(y) || !Finite(z)) return DSERR_INVALIDPARAM;
  return Apply(apply, [&](DS3DBUFFER& b) { b.vVelocity = {x, y, z}; });
}

// ---- Listener --------------------------------------------------------------------------------

IDirectSound3DListener8::IDirectSound3DListener8(Ref<IDirectSound8> device)
    : device_(std::move(device)) {}

template <typename Change>
HRESULT IDirectSound3DListener8::Apply(DWORD apply, Change change) {
  if (apply != DS3D_IMMEDIATE && apply != DS3D_DEFERRED) return DSERR_INVALIDPARAM;
  Mixer& mixer = device_->mixer();
  std::lock_guard<std::mutex> guard(mixer.lock);
  change(mixer.listener_pending);
  if (apply == DS3D_IMMEDIATE) change(mixer.listener_active);
  return DS_OK;
}

HRESULT IDirectSound3DListener8::GetAllParameters(DS3DLISTENER* params) {
  if (!params) return DSERR_INVALIDPARAM;
  std::lock_guard<std::mutex> guard(device_->mixer().lock);
  *params = device_->mixer().listener_pending;
  return DS_OK;
}

HRESULT IDirectSound3DListener8::SetAllParameters(const DS3DLISTENER* params, DWORD apply) {
  if (!params || !FiniteVector(params->vPosition) || !FiniteVector(params->vOrientFront) ||
      !FiniteVector(params->vOrientTop) || !(params->flDistanceFactor > 0) ||
      !(params->flRolloffFactor >= DS3D_MINROLLOFFFACTOR) ||
      !(params->flRolloffFactor <= DS3D_MAXROLLOFFFACTOR)) {
    return DSERR_INVALIDPARAM;
  }
  DS3DLISTENER copy = *params;
  copy.dwSize = sizeof copy;
  return Apply(apply, [&](DS3DLISTENER& l) { l = copy; });
}

HRESULT IDirectSound3DListener8::GetPosition(D3DVECTOR* position) {
  if (!position) return DSERR_INVALIDPARAM;
  std::lock_guard<std::mutex> guard(device_->mixer().lock);
  *position = device_->mixer().listener_pending.vPosition;
  return DS_OK;
}

HRESULT IDirectSound3DListener8::SetPosition(float x, float y, float z, DWORD apply) {
  if (!Finite(x) || !Finite(y) || !Finite(z)) return DSERR_INVALIDPARAM;
  return Apply(apply, [&](DS3DLISTENER& l) { l.vPosition = {x, y, z}; });
}

HRESULT IDirectSound3DListener8::GetOrientation(D3DVECTOR* front, D3DVECTOR* top) {
  if (!front || !top) return DSERR_INVALIDPARAM;
  std::lock_guard<std::mutex> guard(device_->mixer().lock);
  *front = device_->mixer().listener_pending.vOrientFront;
  *top = device_->mixer().listener_pending.vOrientTop;
  return DS_OK;
}

HRESULT IDirectSound3DListener8::SetOrientation(float fx, float fy, float fz, float tx, float ty,
                                                float tz, DWORD apply) {
  D3DVECTOR front{fx, fy, fz};
  D3DVECTOR top{tx, ty, tz};
  if (!FiniteVector(front) || !FiniteVector(top)) return DSERR_INVALIDPARAM;
  return Apply(apply, [&](DS3DLISTENER& l) {
    l.vOrientFront = front;
    l.vOrientTop = top;
  });
}

HRESULT IDirectSound3DListener8::GetDistanceFactor(float* factor) {
  if (!factor) return DSERR_INVALIDPARAM;
  std::lock_guard<std::mutex> guard(device_->mixer().lock);
  *factor = device_->mixer().listener_pending.flDistanceFactor;
  return DS_OK;
}

HRESULT IDirectSound3DListener8::SetDistanceFactor(float factor, DWORD apply) {
  if (!(factor > 0) || !Finite(factor)) return DSERR_INVALIDPARAM;
  return Apply(apply, [&](DS3DLISTENER& l) { l.flDistanceFactor = factor; });
}

HRESULT IDirectSound3DListener8::GetRolloffFactor(float* factor) {
  if (!factor) return DSERR_INVALIDPARAM;
  std::lock_guard<std::mutex> guard(device_->mixer().lock);
  *factor = device_->mixer().listener_pending.flRolloffFactor;
  return DS_OK;
}

HRESULT IDirectSound3DListener8::SetRolloffFactor(float factor, DWORD apply) {
  if (!(factor >= DS3D_MINROLLOFFFACTOR && factor <= DS3D_MAXROLLOFFFACTOR)) {
    return DSERR_INVALIDPARAM;
  }
  return Apply(apply, [&](DS3DLISTENER& l) { l.flRolloffFactor = factor; });
}

HRESULT IDirectSound3DListener8::GetDopplerFactor(float* factor) {
  if (!factor) return DSERR_INVALIDPARAM;
  std::lock_guard<std::mutex> guard(device_->mixer().lock);
  *factor = device_->mixer().listener_pending.flDopplerFactor;
  return DS_OK;
}

HRESULT IDirectSound3DListener8::SetDopplerFactor(float factor, DWORD apply) {
  if (!(factor >= DS3D_MINDOPPLERFACTOR && factor <= DS3D_MAXDOPPLERFACTOR)) {
    return DSERR_INVALIDPARAM;
  }
  return Apply(apply, [&](DS3DLISTENER& l) { l.flDopplerFactor = factor; });
}

HRESULT IDirectSound3DListener8::SetVelocity(float x, float y, float z, DWORD apply) {
  if (!Finite(x) || !Finite(y) || !Finite(z)) return DSERR_INVALIDPARAM;
  return Apply(apply, [&](DS3DLISTENER& l) { l.vVelocity = {x, y, z}; });
}

HRESULT IDirectSound3DListener8::CommitDeferredSettings() {
  Mixer& mixer = device_->mixer();
  std::lock_guard<std::mutex> guard(mixer.lock);
  mixer.listener_active = mixer.listener_pending;
  for (Voice* voice : mixer.voices) voice->active = voice->pending;
  return DS_OK;
}

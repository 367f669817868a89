// Playing sounds: play, loop, stop, pause, resume, the per-frame update that keeps loop
// windows and notices finished sounds, volume, pan and speed, the queries, clone and delete.
#include "platform/crt/crt.h"
#include "runtime/core/errors.h"
#include "runtime/sound/sound_state.h"
#include "tessark/sound.h"
#include "tessark/errors.h"

namespace tessark {

using namespace tessark::sound;
using tessark::RuntimeError;

namespace {

bool Ready() {
  return State().ready;
}

IDirectSoundBuffer8* Buffer0(SoundRecord* entry) {
  if (!entry->sound || entry->sound->buffers.empty()) return nullptr;
  return entry->sound->buffers[0].get();
}

void StopAll(SoundRecord* entry) {
  if (!entry->sound) return;
  for (auto& b : entry->sound->buffers) b->Stop();
}

void RewindAll(SoundRecord* entry) {
  if (!entry->sound) return;
  for (auto& b : entry->sound->buffers) b->SetCurrentPosition(0);
}

// Starts one of the sound's buffers: the first that is not playing, else one at random; a
// lost buffer is restored and filled again first.
HRESULT BufferStart(SoundObject* object, DWORD priority, DWORD flags) {
  if (!object || object->buffers.empty()) return E_FAIL;
  std::size_t chosen = object->buffers.size();
  for (std::size_t i = 0; i < object->buffers.size(); ++i) {
    DWORD status = 0;
    object->buffers[i]->GetStatus(&status);
    if (!(status & DSBSTATUS_PLAYING)) {
      chosen = i;
      break;
    }
  }
  if (chosen == object->buffers.size()) {
    // One buffer needs no draw: the program's random sequence is left alone.
    chosen = object->buffers.size() == 1
                 ? 0
                 : static_cast<std::size_t>(crt::rand()) % object->buffers.size();
  }
  IDirectSoundBuffer8* buffer = object->buffers[chosen].get();
  DWORD status = 0;
  buffer->GetStatus(&status);
  if (status & DSBSTATUS_BUFFERLOST) {
    if (!BufferRestore(buffer)) return DSERR_BUFFERLOST;
    HRESULT hr = SoundFill(*object, nullptr);
    if (FAILED(hr)) return hr;
  }
  return buffer->Play(0, priority, flags);
}

}  // namespace

void SoundPlay(std::int32_t id) {
  if (!Ready()) return;
  SoundRecord* e = FindChecked(id);
  if (!e) return;
  e->paused = 0;
  e->playing = 1;
  e->looping = 0;
  StopAll(e);
  RewindAll(e);
  if (IDirectSoundBuffer8* b = Buffer0(e)) b->SetCurrentPosition(0);
  BufferStart(e->sound.get(), 0, 0);
}

void SoundPlayFrom(std::int32_t id, std::int32_t offset) {
  if (!Ready()) return;
  SoundRecord* e = FindChecked(id);
  if (!e) return;
  if (offset < 0 || offset > kIdMax) return RuntimeError(error::kSoundOffsetOutOfRange);
  e->paused = 0;
  e->playing = 1;
  e->looping = 0;
  StopAll(e);
  RewindAll(e);
  if (IDirectSoundBuffer8* b = Buffer0(e)) b->SetCurrentPosition(static_cast<DWORD>(offset));
  BufferStart(e->sound.get(), 0, 0);
}

void SoundLoop(std::int32_t id, std::int32_t loop_start, std::int32_t loop_end,
               std::int32_t initial_position) {
  if (!Ready()) return;
  SoundRecord* e = FindChecked(id);
  if (!e) return;
  e->loop_start = static_cast<std::uint32_t>(loop_start);
  e->loop_end = static_cast<std::uint32_t>(loop_end);
  e->paused = 0;
  e->playing = 1;
  e->looping = 1;
  StopAll(e);
  RewindAll(e);
  StopAll(e);
  if (initial_position != -1) {
    if (IDirectSoundBuffer8* b = Buffer0(e)) {
      b->SetCurrentPosition(static_cast<DWORD>(initial_position));
    }
  }
  BufferStart(e->sound.get(), 0, DSBPLAY_LOOPING);
}

void SoundLoop(std::int32_t id) {
  SoundLoop(id, -1, -1, -1);
}
void SoundLoop(std::int32_t id, std::int32_t loop_start) {
  SoundLoop(id, loop_start, -1, -1);
}
void SoundLoop(std::int32_t id, std::int32_t loop_start, std::int32_t loop_end) {
  SoundLoop(id, loop_start, loop_end, -1);
}

void SoundStop(std::int32_t id) {
  if (!Ready()) return;
  SoundRecord* e = FindChecked(id);
  if (!e) return;
  e->playing = 0;
  StopAll(e);
  RewindAll(e);
  e->looping = 0;
  e->paused = 0;
  StopAll(e);
}

void SoundPause(std::int32_t id) {
  if (!Ready()) return;
  SoundRecord* e = FindChecked(id);
  if (!e) return;
  e->paused = 1;
  StopAll(e);
}

void SoundResume(std::int32_t id) {
  if (!Ready()) return;
  SoundRecord* e = FindChecked(id);
  if (!e) return;
  e->paused = 0;
  BufferStart(e->sound.get(), 0, 0);
}

void SoundDelete(std::int32_t id) {
  if (!Ready()) return;
  if (!FindChecked(id)) return;
  Discard(id);
}

void SoundClone(std::int32_t new_id, std::int32_t source_id) {
  if (!Ready()) return;
  SoundRecord* source = FindChecked(source_id);
  if (!source) return;
  if (new_id < 1 || new_id > kIdMax) return RuntimeError(error::kSoundIdOutOfRange);
  if (Find(new_id)) return RuntimeError(error::kSoundIdInUse);
  SoundState& s = State();
  auto* copy = new SoundRecord;
  copy->is_3d = source->is_3d;
  copy->playing = source->playing;
  copy->looping = source->looping;
  copy->paused = source->paused;
  copy->volume = source->volume;
  copy->recorded = source->recorded;
  copy->loop_start = source->loop_start;
  copy->loop_end = source->loop_end;
  for (int i = 0; i < 3; ++i) {
    copy->position[i] = source->position[i];
    copy->applied[i] = source->applied[i];
  }
  s.sounds.Add(new_id, copy, false);
  SoundRecord* entry = Find(new_id);
  if (!entry) return RuntimeError(error::kSoundCloneLost);
  s.current = entry;
  StopAll(source);
  if (!source->sound) return;
  auto object = std::make_unique<SoundObject>();
  object->buffer_size = source->sound->buffer_size;
  object->copies = source->sound->copies;
  object->data_copy = source->sound->data_copy;
  object->reader = source->sound->reader;
  object->shares_reader = true;
  for (auto& b : source->sound->buffers) {
    dsound::Ref<IDirectSoundBuffer8> duplicate;
    if (SUCCEEDED(s.device->DuplicateSoundBuffer(b.get(), &duplicate))) {
      object->buffers.push_back(std::move(duplicate));
    }
  }
  if (source->is_3d && !object->buffers.empty()) {
    object->buffers[0]->Query3DBuffer(&entry->buffer_3d);
  }
  entry->sound = std::move(object);
}
}  // namespace tessark

// ---- Per-frame update --------------------------------------------------------------------------

namespace tessark::sound {

void Update() {
  SoundState& s = State();
  if (!s.ready) return;
  for (tessark::IdListNode* node = s.sounds.Head(); node; node = node->next) {
    auto* e = static_cast<SoundRecord*>(node->value);
    IDirectSoundBuffer8* b = Buffer0(e);
    if (!b) continue;
    if (e->playing && e->looping && e->loop_start != kNoLoopBound) {
      DWORD position = 0;
      b->GetCurrentPosition(&position, nullptr);
      if (position < e->loop_start) {
        b->SetCurrentPosition(e->loop_start);
        position = e->loop_start;
      }
      if (position > e->loop_end) b->SetCurrentPosition(e->loop_start);
    }
    if (e->playing && !e->looping) {
      DWORD status = 0;
      b->GetStatus(&status);
      if (!(status & DSBSTATUS_PLAYING)) e->playing = 0;
    }
  }
  if (s.listener) {
    if (++s.commit_count > 1) {
      s.listener->CommitDeferredSettings();
      s.commit_count = 0;
    }
  }
}

}  // namespace tessark::sound

namespace tessark {

// ---- Settings ----------------------------------------------------------------------------------

void SoundSetVolume(std::int32_t id, std::int32_t percent) {
  if (!Ready()) return;
  SoundRecord* e = FindChecked(id);
  if (!e) return;
  if (percent < 0 || percent > 100) return RuntimeError(error::kSoundVolumeOutOfRange);
  e->volume = percent;
  // Linear in decibels: 100 % is 0, each percent below it 96 hundredths of a decibel.
  auto volume = static_cast<LONG>((100 - percent) * 0.01 * -9600.0);
  if (IDirectSoundBuffer8* b = Buffer0(e)) b->SetVolume(volume);
}

void SoundSetPan(std::int32_t id, std::int32_t pan) {
  if (!Ready()) return;
  SoundRecord* e = FindChecked(id);
  if (!e) return;
  if (pan < -10000 || pan > 10000) return RuntimeError(error::kSoundPanOutOfRange);
  if (IDirectSoundBuffer8* b = Buffer0(e)) b->SetPan(pan);
}

void SoundSetSpeed(std::int32_t id, std::int32_t rate) {
  if (!Ready()) return;
  SoundRecord* e = FindChecked(id);
  if (!e) return;
  if (rate < 100 || rate > 100000) return RuntimeError(error::kSoundSpeedOutOfRange);
  if (IDirectSoundBuffer8* b = Buffer0(e)) b->SetFrequency(static_cast<DWORD>(rate));
}

// ---- Queries -----------------------------------------------------------------------------------

bool SoundExists(std::int32_t id) {
  if (!Ready()) return 0;
  if (id < 1 || id > kIdMax) {
    RuntimeError(error::kSoundIdOutOfRange);
    return 0;
  }
  State().current = Find(id);
  return State().current ? 1 : 0;
}

bool SoundIs3D(std::int32_t id) {
  if (!Ready()) return 0;
  SoundRecord* e = FindChecked(id);
  return e ? e->is_3d : 0;
}

bool SoundPlaying(std::int32_t id) {
  if (!Ready()) return 0;
  SoundRecord* e = FindChecked(id);
  return e ? e->playing : 0;
}

bool SoundLooping(std::int32_t id) {
  if (!Ready()) return 0;
  SoundRecord* e = FindChecked(id);
  return e ? e->looping : 0;
}

bool SoundPaused(std::int32_t id) {
  if (!Ready()) return 0;
  SoundRecord* e = FindChecked(id);
  return e ? e->paused : 0;
}

std::int32_t SoundVolume(std::int32_t id) {
  if (!Ready()) return 0;
  SoundRecord* e = FindChecked(id);
  return e ? e->volume : 0;
}

std::int32_t SoundPan(std::int32_t id) {
  if (!Ready()) return 0;
  SoundRecord* e = FindChecked(id);
  if (!e || e->is_3d) return 0;
  LONG pan = 0;
  if (IDirectSoundBuffer8* b = Buffer0(e)) b->GetPan(&pan);
  return pan;
}

std::int32_t SoundSpeed(std::int32_t id) {
  if (!Ready()) return 0;
  SoundRecord* e = FindChecked(id);
  if (!e) return 0;
  DWORD rate = 0;
  if (IDirectSoundBuffer8* b = Buffer0(e)) b->GetFrequency(&rate);
  return static_cast<std::int32_t>(rate);
}

}  // namespace tessark

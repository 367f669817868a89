// The device and its buffers: creation, the SDL output, playback controls, locks, and the
// test hooks. The mixer (mixer.cpp) does the hearing; everything a buffer shares with it is
// changed under the mixer's lock.
#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>

#include "platform/dsound/mixer.h"
#include "platform/replay/replay.h"

namespace dsound {

namespace {

// The output the next device gets (test hooks), and how often buffers were restored.
testing::Output g_output = testing::Output::kDevice;
DWORD g_headless_rate = 44100;
std::atomic<int> g_restore_calls{0};

constexpr int kOutputRate = 44100;
constexpr int kOutputBlock = 1024;  // frames per SDL callback (23 ms at 44.1 kHz)

void AudioCallback(void* user, Uint8* stream, int length) {
  static_cast<Mixer*>(user)->Mix(reinterpret_cast<std::int16_t*>(stream),
                                 static_cast<DWORD>(length) / 4);
}

// True for a PCM format the mixer plays: 8 or 16 bits, 1 or 2 channels, consistent sizes.
bool PcmPlayable(const WAVEFORMATEX& f) {
  return f.wFormatTag == WAVE_FORMAT_PCM && (f.nChannels == 1 || f.nChannels == 2) &&
         (f.wBitsPerSample == 8 || f.wBitsPerSample == 16) &&
         f.nBlockAlign == f.nChannels * f.wBitsPerSample / 8 &&
         f.nSamplesPerSec >= DSBFREQUENCY_MIN && f.nSamplesPerSec <= DSBFREQUENCY_MAX;
}

// The bytes a buffer's cursors, caps and locks address: a static buffer's data, or the ring
// of a streaming buffer (its capacity in frames of 16-bit samples).
BYTE* VoiceBytes(Voice& voice, DWORD* size) {
  if (voice.stream) {
    *size = voice.stream->capacity * voice.format.nBlockAlign;
    return reinterpret_cast<BYTE*>(voice.stream->samples.data());
  }
  *size = static_cast<DWORD>(voice.data->bytes.size());
  return voice.data->bytes.data();
}

// The byte offset of the frame the mixer plays next: a static buffer's position, or where in
// its ring a stream is.
DWORD PlayCursor(const Voice& voice) {
  DWORD frame = static_cast<DWORD>(voice.position >> 32);
  if (voice.stream) {
    frame = static_cast<DWORD>((voice.stream->read + frame) % voice.stream->capacity);
  } else if (frame >= voice.frames) {
    frame = 0;
  }
  return frame * voice.format.nBlockAlign;
}

// The write cursor leads the play cursor by about 10 ms, as the system's does.
DWORD WriteCursor(const Voice& voice, DWORD size) {
  const DWORD block = voice.format.nBlockAlign;
  const DWORD lead = (voice.format.nAvgBytesPerSec / 100 / block) * block;
  return size ? static_cast<DWORD>((static_cast<std::uint64_t>(PlayCursor(voice)) + lead) % size)
              : 0;
}

// A failed open keeps the SDL audio subsystem for the rest of the run. Quitting it joins the
// audio driver's device-watch thread, which sleeps in steps of 100 ms, so a machine without
// sound would otherwise wait up to a tenth of a second at every start for nothing. One
// reference is kept at most: a later open that fails as well gives its own back.
void KeepAudioAfterFailedOpen(Mixer& mixer) {
  static bool kept = false;
  if (kept) return;
  kept = true;
  mixer.sdl_audio = false;
}

}  // namespace

}  // namespace dsound

using dsound::Mixer;
using dsound::Ref;
using dsound::Voice;

// ---- Device ----------------------------------------------------------------------------------

IDirectSound8::IDirectSound8() : mixer_(std::make_unique<Mixer>()) {
  mixer_->listener_pending = mixer_->listener_active = dsound::DefaultListener();
  // The output's format until the program sets the primary buffer's: 22.05 kHz 8-bit stereo.
  mixer_->primary_format = {WAVE_FORMAT_PCM, 2, 22050, 44100, 2, 8, 0};
  mixer_->voices.reserve(64);
}

IDirectSound8::~IDirectSound8() {
  dsound::DeviceUnregister(this);
  // Stop the audio thread before the mixer it reads goes away.
  if (mixer_->device) SDL_CloseAudioDevice(mixer_->device);
  if (mixer_->sdl_audio) SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

HRESULT DirectSoundCreate8(const GUID* device, Ref<IDirectSound8>* out, void* outer) {
  if (!out || outer || device) return DSERR_INVALIDPARAM;
  out->reset();
  using dsound::testing::Output;
  if (dsound::g_output == Output::kAbsent) return DSERR_NODRIVER;
  Ref<IDirectSound8> created(new (std::nothrow) IDirectSound8);
  if (!created) return DSERR_OUTOFMEMORY;
  Mixer& mixer = created->mixer();
  if (dsound::g_output == Output::kHeadless) {
    mixer.rate = dsound::g_headless_rate;
    mixer.scratch.assign(2 * dsound::kOutputBlock, 0.0f);
    dsound::DeviceRegister(created.get());
    *out = std::move(created);
    return DS_OK;
  }
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return DSERR_NODRIVER;
  mixer.sdl_audio = true;
  SDL_AudioSpec want{};
  want.freq = dsound::kOutputRate;
  want.format = AUDIO_S16SYS;
  want.channels = 2;
  want.samples = dsound::kOutputBlock;
  want.callback = dsound::AudioCallback;
  want.userdata = &mixer;
  SDL_AudioSpec have{};
  mixer.device = SDL_OpenAudioDevice(
      nullptr, 0, &want, &have, SDL_AUDIO_ALLOW_FREQUENCY_CHANGE | SDL_AUDIO_ALLOW_SAMPLES_CHANGE);
  if (mixer.device == 0) {
    dsound::KeepAudioAfterFailedOpen(mixer);
    return DSERR_NODRIVER;  // created's destructor undoes the init unless it is kept
  }
  mixer.rate = static_cast<DWORD>(have.freq);
  mixer.scratch.assign(2 * std::max<std::size_t>(have.samples, 256), 0.0f);
  SDL_PauseAudioDevice(mixer.device, 0);
  dsound::DeviceRegister(created.get());
  *out = std::move(created);
  return DS_OK;
}

HRESULT IDirectSound8::SetCooperativeLevel(HWND /*window*/, DWORD level) {
  if (level < DSSCL_NORMAL || level > DSSCL_WRITEPRIMARY) return DSERR_INVALIDPARAM;
  cooperative_level_ = level;
  return DS_OK;
}

HRESULT IDirectSound8::CreateSoundBuffer(const DSBUFFERDESC* desc, Ref<IDirectSoundBuffer8>* out,
                                         void* outer) {
  if (!desc || !out || outer || desc->dwSize < sizeof(DSBUFFERDESC)) return DSERR_INVALIDPARAM;
  out->reset();
  AddRef();
  Ref<IDirectSound8> self(this);
  if (desc->dwFlags & DSBCAPS_PRIMARYBUFFER) {
    if (desc->dwBufferBytes != 0 || desc->lpwfxFormat) return DSERR_INVALIDPARAM;
    *out = Ref<IDirectSoundBuffer8>(new IDirectSoundBuffer8(self, desc->dwFlags));
    return DS_OK;
  }
  if (!desc->lpwfxFormat) return DSERR_INVALIDPARAM;
  const WAVEFORMATEX& format = *desc->lpwfxFormat;
  if (!dsound::PcmPlayable(format)) return DSERR_BADFORMAT;
  if (desc->dwBufferBytes < DSBSIZE_MIN || desc->dwBufferBytes > DSBSIZE_MAX) {
    return DSERR_INVALIDPARAM;
  }
  // 3D sound has no pan of its own and takes mono sources only.
  if ((desc->dwFlags & DSBCAPS_CTRL3D) &&
      ((desc->dwFlags & DSBCAPS_CTRLPAN) || format.nChannels != 1)) {
    return DSERR_INVALIDPARAM;
  }
  auto voice = std::make_unique<Voice>();
  voice->data = std::make_shared<dsound::SampleData>();
  try {
    voice->data->bytes.assign(desc->dwBufferBytes, 0);
  } catch (const std::bad_alloc&) {
    return DSERR_OUTOFMEMORY;
  }
  voice->format = format;
  voice->format.cbSize = 0;
  voice->flags = desc->dwFlags;
  voice->frames = desc->dwBufferBytes / format.nBlockAlign;
  voice->frequency = format.nSamplesPerSec;
  voice->pending = voice->active = dsound::Default3DBuffer();
  Ref<IDirectSoundBuffer8> buffer(new IDirectSoundBuffer8(self, desc->dwFlags));
  {
    std::lock_guard<std::mutex> guard(mixer_->lock);
    mixer_->voices.push_back(voice.get());
  }
  buffer->voice_ = std::move(voice);
  *out = std::move(buffer);
  return DS_OK;
}

HRESULT IDirectSound8::DuplicateSoundBuffer(IDirectSoundBuffer8* original,
                                            Ref<IDirectSoundBuffer8>* out) {
  if (!original || !out || !original->voice_) return DSERR_INVALIDPARAM;
  if (original->voice_->stream) return DSERR_INVALIDCALL;  // its frames are played only once
  out->reset();
  AddRef();
  Ref<IDirectSound8> self(this);
  auto voice = std::make_unique<Voice>();
  {
    std::lock_guard<std::mutex> guard(mixer_->lock);
    const Voice& source = *original->voice_;
    voice->data = source.data;
    voice->format = source.format;
    voice->flags = source.flags;
    voice->frames = source.frames;
    voice->volume = source.volume;
    voice->pan = source.pan;
    voice->frequency = source.frequency;
    voice->gain_left = source.gain_left;
    voice->gain_right = source.gain_right;
    voice->pending = voice->active = source.active;
  }
  Ref<IDirectSoundBuffer8> buffer(new IDirectSoundBuffer8(self, original->flags_));
  {
    std::lock_guard<std::mutex> guard(mixer_->lock);
    mixer_->voices.push_back(voice.get());
  }
  buffer->voice_ = std::move(voice);
  *out = std::move(buffer);
  return DS_OK;
}

// ---- Buffers ---------------------------------------------------------------------------------

IDirectSoundBuffer8::IDirectSoundBuffer8(Ref<IDirectSound8> device, DWORD flags)
    : device_(std::move(device)), flags_(flags) {}

IDirectSoundBuffer8::~IDirectSoundBuffer8() {
  if (!voice_) return;
  Mixer& mixer = device_->mixer();
  std::lock_guard<std::mutex> guard(mixer.lock);
  auto& voices = mixer.voices;
  voices.erase(std::remove(voices.begin(), voices.end(), voice_.get()), voices.end());
}

HRESULT IDirectSoundBuffer8::GetCaps(DSBCAPS* caps) {
  if (!caps) return DSERR_INVALIDPARAM;
  *caps = DSBCAPS{};
  caps->dwSize = sizeof *caps;
  caps->dwFlags = flags_ | DSBCAPS_LOCSOFTWARE;
  if (voice_) dsound::VoiceBytes(*voice_, &caps->dwBufferBytes);
  return DS_OK;
}

HRESULT IDirectSoundBuffer8::GetStatus(DWORD* status) {
  if (!status) return DSERR_INVALIDPARAM;
  *status = 0;
  if (!voice_) return DS_OK;
  std::lock_guard<std::mutex> guard(device_->mixer().lock);
  if (voice_->playing) *status |= DSBSTATUS_PLAYING;
  if (voice_->playing && voice_->looping) *status |= DSBSTATUS_LOOPING;
  if (voice_->lost) *status |= DSBSTATUS_BUFFERLOST;
  // When a sound ends depends on the mixer's thread: a recording writes down what was seen.
  if (replay::Active())
    *status = static_cast<DWORD>(replay::Exchange(replay::ValueKind::kSoundStatus, *status));
  return DS_OK;
}

HRESULT IDirectSoundBuffer8::Play(DWORD reserved, DWORD /*priority*/, DWORD flags) {
  if (reserved != 0) return DSERR_INVALIDPARAM;
  if (!voice_) return DS_OK;  // the primary buffer always plays while the device exists
  std::lock_guard<std::mutex> guard(device_->mixer().lock);
  if (voice_->lost) return DSERR_BUFFERLOST;
  voice_->playing = true;
  voice_->looping = (flags & DSBPLAY_LOOPING) != 0;
  return DS_OK;
}

HRESULT IDirectSoundBuffer8::Stop() {
  if (!voice_) return DS_OK;
  std::lock_guard<std::mutex> guard(device_->mixer().lock);
  voice_->playing = false;
  return DS_OK;
}

HRESULT IDirectSoundBuffer8::GetCurrentPosition(DWORD* play, DWORD* write) {
  if (!voice_) return DSERR_INVALIDCALL;
  std::lock_guard<std::mutex> guard(device_->mixer().lock);
  DWORD size = 0;
  dsound::VoiceBytes(*voice_, &size);
  if (play) *play = dsound::PlayCursor(*voice_);
  if (write) *write = dsound::WriteCursor(*voice_, size);
  if (replay::Active()) {
    if (play)
      *play = static_cast<DWORD>(replay::Exchange(replay::ValueKind::kSoundPlayCursor, *play));
    if (write)
      *write = static_cast<DWORD>(replay::Exchange(replay::ValueKind::kSoundWriteCursor, *write));
  }
  return DS_OK;
}

HRESULT IDirectSoundBuffer8::SetCurrentPosition(DWORD position) {
  if (!voice_) return DSERR_INVALIDCALL;
  std::lock_guard<std::mutex> guard(device_->mixer().lock);
  if (position > voice_->data->bytes.size()) return DSERR_INVALIDPARAM;
  voice_->position = static_cast<std::uint64_t>(position / voice_->format.nBlockAlign) << 32;
  return DS_OK;
}

HRESULT IDirectSoundBuffer8::Lock(DWORD offset, DWORD bytes, void** part1, DWORD* bytes1,
                                  void** part2, DWORD* bytes2, DWORD flags) {
  if (!voice_ || !part1 || !bytes1 || locked_) return DSERR_INVALIDPARAM;
  std::lock_guard<std::mutex> guard(device_->mixer().lock);
  if (voice_->lost) return DSERR_BUFFERLOST;
  DWORD size = 0;
  const BYTE* data = dsound::VoiceBytes(*voice_, &size);
  if (flags & DSBLOCK_ENTIREBUFFER) {
    offset = 0;
    bytes = size;
  } else if (flags & DSBLOCK_FROMWRITECURSOR) {
    offset = dsound::WriteCursor(*voice_, size);
  }
  if (bytes == 0 || bytes > size || offset >= size) return DSERR_INVALIDPARAM;
  // The caller writes into a copy; Unlock hands it to the mixer under the lock, so the audio
  // thread never reads half-written bytes.
  staging_.resize(bytes);
  DWORD first = std::min(bytes, size - offset);
  std::memcpy(staging_.data(), data + offset, first);
  std::memcpy(staging_.data() + first, data, bytes - first);
  *part1 = staging_.data();
  *bytes1 = first;
  if (part2) *part2 = bytes > first ? staging_.data() + first : nullptr;
  if (bytes2) *bytes2 = bytes - first;
  if (!part2 && bytes > first) *bytes1 = first;  // no room for the wrapped part
  locked_offset_ = offset;
  locked_bytes_ = bytes;
  locked_ = true;
  return DS_OK;
}

HRESULT IDirectSoundBuffer8::Unlock(void* part1, DWORD bytes1, void* part2, DWORD bytes2) {
  if (!voice_ || !locked_ || part1 != staging_.data()) return DSERR_INVALIDPARAM;
  locked_ = false;
  std::lock_guard<std::mutex> guard(device_->mixer().lock);
  DWORD size = 0;
  BYTE* data = dsound::VoiceBytes(*voice_, &size);
  DWORD first = std::min(locked_bytes_, size - locked_offset_);
  bytes1 = std::min(bytes1, first);
  std::memcpy(data + locked_offset_, staging_.data(), bytes1);
  if (part2 && bytes2 > 0) {
    bytes2 = std::min(bytes2, locked_bytes_ - first);
    std::memcpy(data, staging_.data() + first, bytes2);
  }
  return DS_OK;
}

HRESULT IDirectSoundBuffer8::Restore() {
  ++dsound::g_restore_calls;
  if (!voice_) return DS_OK;
  std::lock_guard<std::mutex> guard(device_->mixer().lock);
  if (!voice_->lost) return DS_OK;
  if (voice_->restore_refusals > 0) {
    --voice_->restore_refusals;
    return DSERR_BUFFERLOST;
  }
  voice_->lost = false;
  return DS_OK;
}

HRESULT IDirectSoundBuffer8::SetVolume(LONG volume) {
  if (!(flags_ & DSBCAPS_CTRLVOLUME)) return DSERR_CONTROLUNAVAIL;
  if (volume < DSBVOLUME_MIN || volume > DSBVOLUME_MAX) return DSERR_INVALIDPARAM;
  if (!voice_) return DS_OK;
  std::lock_guard<std::mutex> guard(device_->mixer().lock);
  voice_->volume = volume;
  dsound::GainsFromVolumePan(voice_->volume, voice_->pan, &voice_->gain_left, &voice_->gain_right);
  return DS_OK;
}

HRESULT IDirectSoundBuffer8::GetVolume(LONG* volume) {
  if (!volume) return DSERR_INVALIDPARAM;
  if (!(flags_ & DSBCAPS_CTRLVOLUME)) return DSERR_CONTROLUNAVAIL;
  *volume = voice_ ? voice_->volume : 0;
  return DS_OK;
}

HRESULT IDirectSoundBuffer8::SetPan(LONG pan) {
  if (!(flags_ & DSBCAPS_CTRLPAN)) return DSERR_CONTROLUNAVAIL;
  if (pan < DSBPAN_LEFT || pan > DSBPAN_RIGHT) return DSERR_INVALIDPARAM;
  if (!voice_) return DS_OK;
  std::lock_guard<std::mutex> guard(device_->mixer().lock);
  voice_->pan = pan;
  dsound::GainsFromVolumePan(voice_->volume, voice_->pan, &voice_->gain_left, &voice_->gain_right);
  return DS_OK;
}

HRESULT IDirectSoundBuffer8::GetPan(LONG* pan) {
  if (!pan) return DSERR_INVALIDPARAM;
  if (!(flags_ & DSBCAPS_CTRLPAN)) return DSERR_CONTROLUNAVAIL;
  *pan = voice_ ? voice_->pan : 0;
  return DS_OK;
}

HRESULT IDirectSoundBuffer8::SetFrequency(DWORD frequency) {
  if (!voice_ || !(flags_ & DSBCAPS_CTRLFREQUENCY)) return DSERR_CONTROLUNAVAIL;
  if (frequency == DSBFREQUENCY_ORIGINAL) frequency = voice_->format.nSamplesPerSec;
  if (frequency < DSBFREQUENCY_MIN || frequency > DSBFREQUENCY_MAX) return DSERR_INVALIDPARAM;
  std::lock_guard<std::mutex> guard(device_->mixer().lock);
  voice_->frequency = frequency;
  return DS_OK;
}

HRESULT IDirectSoundBuffer8::GetFrequency(DWORD* frequency) {
  if (!frequency) return DSERR_INVALIDPARAM;
  if (!voice_ || !(flags_ & DSBCAPS_CTRLFREQUENCY)) return DSERR_CONTROLUNAVAIL;
  *frequency = voice_->frequency;
  return DS_OK;
}

HRESULT IDirectSoundBuffer8::SetFormat(const WAVEFORMATEX* format) {
  if (voice_) return DSERR_INVALIDCALL;  // only the primary buffer's format can change
  if (!format) return DSERR_INVALIDPARAM;
  if (!dsound::PcmPlayable(*format) ||
      format->nAvgBytesPerSec != format->nSamplesPerSec * format->nBlockAlign) {
    return DSERR_BADFORMAT;
  }
  // The mixer keeps its output rate; the primary format is what the program asked for.
  Mixer& mixer = device_->mixer();
  std::lock_guard<std::mutex> guard(mixer.lock);
  mixer.primary_format = *format;
  mixer.primary_format.cbSize = 0;
  return DS_OK;
}

HRESULT IDirectSoundBuffer8::GetFormat(WAVEFORMATEX* format, DWORD size, DWORD* written) {
  WAVEFORMATEX f = voice_ ? voice_->format : device_->mixer().primary_format;
  if (written) *written = sizeof f;
  if (!format) return written ? DS_OK : DSERR_INVALIDPARAM;
  if (size < sizeof(PCMWAVEFORMAT)) return DSERR_INVALIDPARAM;
  std::memcpy(format, &f, std::min<DWORD>(size, sizeof f));
  return DS_OK;
}

// ---- Test hooks ------------------------------------------------------------------------------

namespace dsound::testing {

void SetOutput(Output output, DWORD headless_rate) {
  g_output = output;
  g_headless_rate = headless_rate ? headless_rate : 44100;
}

void MixerPull(IDirectSound8* device, std::int16_t* out, DWORD frames) {
  if (device && out) device->mixer().Mix(out, frames);
}

DWORD MixerRate(IDirectSound8* device) {
  return device ? device->mixer().rate : 0;
}

void LoseBuffer(IDirectSoundBuffer8* buffer, int refusals) {
  if (!buffer || !buffer->voice_) return;
  std::lock_guard<std::mutex> guard(buffer->device_->mixer().lock);
  Voice& voice = *buffer->voice_;
  // What the buffer held is gone: it reads back as garbage until the program fills it again.
  std::fill(voice.data->bytes.begin(), voice.data->bytes.end(), BYTE{0x55});
  voice.playing = false;
  voice.lost = true;
  voice.restore_refusals = refusals;
}

int RestoreCalls() {
  return g_restore_calls;
}

}  // namespace dsound::testing

// Streaming buffers and the shared device. A streaming buffer is a ring of frames that a
// producer thread fills as it decodes and the mixer plays once each; the producer sleeps on
// the ring's signal while the ring is full, and the mixer wakes it as it takes frames. The
// registry of live devices lets another user of the output (music) mix into the same device
// as the program's sounds instead of opening a second output.
#include <algorithm>
#include <cstring>
#include <new>

#include "platform/dsound/mixer.h"

namespace dsound {

namespace {

// The live devices, oldest first, not owned. Never destroyed: a device held in some other
// static object may be released while the program exits, after this file's statics are gone.
struct Registry {
  std::mutex lock;
  std::vector<IDirectSound8*> devices;
};
Registry& Devices() {
  static Registry* registry = new Registry;
  return *registry;
}

}  // namespace

void DeviceRegister(IDirectSound8* device) {
  Registry& r = Devices();
  std::lock_guard<std::mutex> guard(r.lock);
  r.devices.push_back(device);
}

void DeviceUnregister(IDirectSound8* device) {
  Registry& r = Devices();
  std::lock_guard<std::mutex> guard(r.lock);
  r.devices.erase(std::remove(r.devices.begin(), r.devices.end(), device), r.devices.end());
}

// Resamples linearly from the stream's frequency to the output rate, as static voices do; the
// frame after the last one written is not known yet, so the last one is held instead.
void MixStream(Voice& voice, float* out, DWORD frames, DWORD rate, float left, float right) {
  StreamRing& ring = *voice.stream;
  const std::uint64_t available = ring.write - ring.read;
  const std::uint64_t step = (static_cast<std::uint64_t>(voice.frequency) << 32) / rate;
  const std::int16_t* data = ring.samples.data();
  const bool stereo = ring.channels == 2;
  std::uint64_t position = voice.position;
  for (DWORD i = 0; i < frames; ++i) {
    std::uint64_t index = position >> 32;
    if (index >= available) break;  // ran dry: the rest of the block is silence
    std::uint64_t next = index + 1 < available ? index + 1 : index;
    std::size_t a = static_cast<std::size_t>((ring.read + index) % ring.capacity);
    std::size_t b = static_cast<std::size_t>((ring.read + next) % ring.capacity);
    float frac = static_cast<float>(position & 0xFFFFFFFFu) * (1.0f / 4294967296.0f);
    if (stereo) {
      float al = data[2 * a] * (1.0f / 32768.0f);
      float ar = data[2 * a + 1] * (1.0f / 32768.0f);
      float bl = data[2 * b] * (1.0f / 32768.0f);
      float br = data[2 * b + 1] * (1.0f / 32768.0f);
      out[2 * i] += (al + (bl - al) * frac) * left;
      out[2 * i + 1] += (ar + (br - ar) * frac) * right;
    } else {
      float av = data[a] * (1.0f / 32768.0f);
      float bv = data[b] * (1.0f / 32768.0f);
      float v = av + (bv - av) * frac;
      out[2 * i] += v * left;
      out[2 * i + 1] += v * right;
    }
    position += step;
  }
  std::uint64_t taken = std::min<std::uint64_t>(position >> 32, available);
  ring.read += taken;
  voice.position = position - (taken << 32);
  bool woke = taken > 0;
  if (ring.end && ring.read == ring.write && !ring.drained) {
    ring.drained = true;
    voice.position = 0;
    woke = true;
  }
  if (woke) {
    ring.signal.fetch_add(1);
    ring.signal.notify_all();
  }
}

}  // namespace dsound

using dsound::Mixer;
using dsound::Ref;

HRESULT DirectSoundShared(Ref<IDirectSound8>* out) {
  if (!out) return DSERR_INVALIDPARAM;
  out->reset();
  {
    dsound::Registry& r = dsound::Devices();
    std::lock_guard<std::mutex> guard(r.lock);
    for (auto it = r.devices.rbegin(); it != r.devices.rend(); ++it) {
      if ((*it)->TryAddRef()) {
        *out = Ref<IDirectSound8>(*it);
        return DS_OK;
      }
    }
  }
  return DirectSoundCreate8(nullptr, out, nullptr);
}

HRESULT IDirectSound8::CreateStreamingBuffer(const DSBUFFERDESC* desc,
                                             Ref<IDirectSoundBuffer8>* out) {
  if (!desc || !out || desc->dwSize < sizeof(DSBUFFERDESC) || !desc->lpwfxFormat) {
    return DSERR_INVALIDPARAM;
  }
  out->reset();
  const WAVEFORMATEX& f = *desc->lpwfxFormat;
  if (f.wFormatTag != WAVE_FORMAT_PCM || f.wBitsPerSample != 16 ||
      (f.nChannels != 1 && f.nChannels != 2) || f.nBlockAlign != f.nChannels * 2 ||
      f.nSamplesPerSec < DSBFREQUENCY_MIN || f.nSamplesPerSec > DSBFREQUENCY_MAX) {
    return DSERR_BADFORMAT;
  }
  if ((desc->dwFlags & (DSBCAPS_CTRL3D | DSBCAPS_PRIMARYBUFFER)) ||
      desc->dwBufferBytes < f.nBlockAlign || desc->dwBufferBytes > DSBSIZE_MAX) {
    return DSERR_INVALIDPARAM;
  }
  auto voice = std::make_unique<dsound::Voice>();
  voice->data = std::make_shared<dsound::SampleData>();
  voice->stream = std::make_shared<dsound::StreamRing>();
  dsound::StreamRing& ring = *voice->stream;
  ring.channels = f.nChannels;
  ring.capacity = desc->dwBufferBytes / f.nBlockAlign;
  try {
    ring.samples.assign(static_cast<std::size_t>(ring.capacity) * ring.channels, 0);
  } catch (const std::bad_alloc&) {
    return DSERR_OUTOFMEMORY;
  }
  voice->format = f;
  voice->format.cbSize = 0;
  voice->flags = desc->dwFlags;
  voice->frames = ring.capacity;
  voice->frequency = f.nSamplesPerSec;
  voice->pending = voice->active = dsound::Default3DBuffer();
  AddRef();
  Ref<IDirectSound8> self(this);
  Ref<IDirectSoundBuffer8> buffer(new IDirectSoundBuffer8(self, desc->dwFlags));
  {
    std::lock_guard<std::mutex> guard(mixer_->lock);
    mixer_->voices.push_back(voice.get());
  }
  buffer->voice_ = std::move(voice);
  *out = std::move(buffer);
  return DS_OK;
}

DWORD IDirectSoundBuffer8::StreamWrite(const std::int16_t* frames, DWORD count,
                                       std::uint32_t epoch) {
  if (!voice_ || !voice_->stream || !frames) return 0;
  std::lock_guard<std::mutex> guard(device_->mixer().lock);
  dsound::StreamRing& ring = *voice_->stream;
  if (epoch != ring.epoch || ring.end) return 0;
  auto room = static_cast<DWORD>(ring.capacity - (ring.write - ring.read));
  DWORD n = std::min(count, room);
  for (DWORD done = 0; done < n;) {
    auto at = static_cast<DWORD>(ring.write % ring.capacity);
    DWORD run = std::min(n - done, ring.capacity - at);
    std::memcpy(ring.samples.data() + static_cast<std::size_t>(at) * ring.channels,
                frames + static_cast<std::size_t>(done) * ring.channels,
                static_cast<std::size_t>(run) * ring.channels * sizeof(std::int16_t));
    ring.write += run;
    done += run;
  }
  return n;
}

DWORD IDirectSoundBuffer8::StreamSpace(std::uint32_t epoch) {
  if (!voice_ || !voice_->stream) return 0;
  std::lock_guard<std::mutex> guard(device_->mixer().lock);
  const dsound::StreamRing& ring = *voice_->stream;
  if (epoch != ring.epoch || ring.end) return 0;
  return static_cast<DWORD>(ring.capacity - (ring.write - ring.read));
}

void IDirectSoundBuffer8::StreamEnd(std::uint32_t epoch) {
  if (!voice_ || !voice_->stream) return;
  std::lock_guard<std::mutex> guard(device_->mixer().lock);
  dsound::StreamRing& ring = *voice_->stream;
  if (epoch == ring.epoch) ring.end = true;
}

std::uint32_t IDirectSoundBuffer8::StreamFlush() {
  if (!voice_ || !voice_->stream) return 0;
  std::lock_guard<std::mutex> guard(device_->mixer().lock);
  dsound::StreamRing& ring = *voice_->stream;
  ring.read = ring.write = 0;
  ring.end = ring.drained = false;
  voice_->position = 0;
  std::uint32_t epoch = ++ring.epoch;
  ring.signal.fetch_add(1);
  ring.signal.notify_all();
  return epoch;
}

void IDirectSoundBuffer8::StreamStatus(std::uint64_t* played, bool* drained, std::uint32_t* epoch) {
  if (!voice_ || !voice_->stream) return;
  std::lock_guard<std::mutex> guard(device_->mixer().lock);
  const dsound::StreamRing& ring = *voice_->stream;
  if (played) *played = ring.read;
  if (drained) *drained = ring.drained;
  if (epoch) *epoch = ring.epoch;
}

std::atomic<std::uint32_t>* IDirectSoundBuffer8::StreamSignal() {
  return voice_ && voice_->stream ? &voice_->stream->signal : nullptr;
}

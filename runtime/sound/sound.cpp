// The sound module: its state, entries (Constructor, Update, Destructor ...), the device
// set-up, SoundLoad, creating and filling a sound's buffers, and the temporary folder.
#include <strings.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <thread>

#include "runtime/core/errors.h"
#include "runtime/sound/sound_state.h"
#include "tessark/sound.h"
#include "tessark/errors.h"

namespace tessark::sound {

namespace {

SoundState g_state;
constexpr int kRestoreTries = 200;  // 2 s of 10 ms waits: a buffer that stays lost fails the fill
constexpr std::size_t kNameSize = 260;

}  // namespace

SoundState& State() {
  return g_state;
}

CoreData& Core() {
  return g_state.core ? *g_state.core : *CoreDataGet();
}

void Checkpoint(std::int32_t value) {
  Core().checkpoint = value;
}

SoundRecord* Find(std::int32_t id) {
  return static_cast<SoundRecord*>(g_state.sounds.Find(id));
}

SoundRecord* FindChecked(std::int32_t id) {
  if (id < 1 || id > kIdMax) {
    RuntimeError(error::kSoundIdOutOfRange);
    return nullptr;
  }
  g_state.current = Find(id);
  if (!g_state.current) RuntimeErrorDetail(error::kSoundMissing, "sound %d does not exist", id);
  return g_state.current;
}

void Discard(std::int32_t id) {
  SoundRecord* entry = Find(id);
  if (!entry) return;
  g_state.sounds.Remove(id);
  if (g_state.current == entry) g_state.current = nullptr;
  delete entry;
}

// ---- Device ----------------------------------------------------------------------------------

namespace {

// Sets up the device, the primary format and the listener; false leaves the module not ready.
bool DeviceSetUp(HWND window) {
  SoundState& s = g_state;
  s.listener.reset();
  s.device.reset();
  if (FAILED(DirectSoundCreate8(nullptr, &s.device, nullptr))) return false;
  if (FAILED(s.device->SetCooperativeLevel(window, DSSCL_PRIORITY))) return false;
  {
    DSBUFFERDESC desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DSBCAPS_PRIMARYBUFFER;
    dsound::Ref<IDirectSoundBuffer8> primary;
    if (FAILED(s.device->CreateSoundBuffer(&desc, &primary, nullptr))) return false;
    WAVEFORMATEX format{WAVE_FORMAT_PCM, 2, 22050, 22050 * 4, 4, 16, 0};
    if (FAILED(primary->SetFormat(&format))) return false;
  }
  s.ready = true;

  DSBUFFERDESC desc{};
  desc.dwSize = sizeof desc;
  desc.dwFlags = DSBCAPS_CTRL3D | DSBCAPS_PRIMARYBUFFER;
  dsound::Ref<IDirectSoundBuffer8> primary;
  if (FAILED(s.device->CreateSoundBuffer(&desc, &primary, nullptr))) return true;
  if (FAILED(primary->QueryListener(&s.listener))) return true;
  IDirectSound3DListener8& l = *s.listener;
  l.SetDistanceFactor(1.0f, DS3D_DEFERRED);
  l.SetPosition(0, 0, 0, DS3D_DEFERRED);
  l.SetOrientation(0, 0, 1, 0, 1, 0, DS3D_DEFERRED);
  l.SetRolloffFactor(1.0f, DS3D_DEFERRED);
  l.SetVelocity(0, 0, 0, DS3D_DEFERRED);
  l.SetDopplerFactor(1.0f, DS3D_DEFERRED);
  return true;
}

}  // namespace

void Constructor(HWND window) {
  g_state.ready = false;
  DeviceSetUp(window);
}

void SetErrorHandler(std::int32_t* error_word) {
  g_state.error_word = error_word;
}

void PassCoreData(CoreData* core) {
  g_state.core = core;
}

void RefreshD3D(std::int32_t /*stage*/) {}

void Destructor() {
  SoundState& s = g_state;
  if (s.recording_device) {
    mciSendCommandA(s.recording_device, MCI_CLOSE, MCI_WAIT, 0);
    s.recording_device = 0;
  }
  for (tessark::IdListNode* node = s.sounds.Head(); node; node = node->next) {
    delete static_cast<SoundRecord*>(node->value);
  }
  s.sounds.FreeAll();
  s.current = nullptr;
  s.listener.reset();
  s.device.reset();
  s.ready = false;
  s.recording_id = 0;
  s.commit_count = 0;
  for (int i = 0; i < 3; ++i) s.listener_position[i] = s.listener_angle[i] = 0;
  // The core and error links stay: the core passes them once, after the Constructor.
}

IDirectSound8* Device() {
  return g_state.device.get();
}

void Wire(ModuleTable& table) {
  table.sound.Constructor = [](void* handle) { Constructor(static_cast<HWND>(handle)); };
  table.sound.SetErrorHandler = SetErrorHandler;
  table.sound.PassCoreData = PassCoreData;
  table.sound.Update = Update;
  table.sound.RefreshD3D = RefreshD3D;
  table.sound.Destructor = Destructor;
  table.sound_data_services.ToData = DataOut;
  table.sound_data_services.FromData = DataIn;
}

// ---- Creating and filling sounds ---------------------------------------------------------------

bool BufferRestore(IDirectSoundBuffer8* buffer) {
  DWORD status = 0;
  if (FAILED(buffer->GetStatus(&status)) || !(status & DSBSTATUS_BUFFERLOST)) return true;
  for (int i = 0; i < kRestoreTries; ++i) {
    if (buffer->Restore() != DSERR_BUFFERLOST) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

HRESULT SoundFill(SoundObject& object, WaveReader* reader) {
  if (object.buffers.empty()) return E_FAIL;
  for (auto& buffer : object.buffers) {
    if (!BufferRestore(buffer.get())) return DSERR_BUFFERLOST;
  }
  // Duplicates share their data with buffer 0: filling it fills them all.
  IDirectSoundBuffer8* buffer = object.buffers[0].get();
  void* part = nullptr;
  DWORD bytes = 0;
  HRESULT hr = buffer->Lock(0, object.buffer_size, &part, &bytes, nullptr, nullptr, 0);
  if (FAILED(hr)) return hr;
  if (reader) {
    auto copy = std::make_shared<std::vector<BYTE>>(reader->data_size);
    DWORD got = 0;
    if (reader->Rewind()) got = reader->Read(copy->data(), reader->data_size);
    copy->resize(got);
    object.data_copy = std::move(copy);
  }
  const std::vector<BYTE> empty;
  const std::vector<BYTE>& data = object.data_copy ? *object.data_copy : empty;
  DWORD used = std::min<DWORD>(bytes, static_cast<DWORD>(data.size()));
  std::memcpy(part, data.data(), used);
  const WAVEFORMATEX* format = object.reader ? object.reader->Format() : nullptr;
  BYTE silence = format && format->wBitsPerSample == 8 ? 128 : 0;
  std::memset(static_cast<BYTE*>(part) + used, silence, bytes - used);
  buffer->Unlock(part, bytes, nullptr, 0);
  for (auto& b : object.buffers) b->SetCurrentPosition(0);
  return DS_OK;
}

// True for data the sound device cannot take as it is: compressed or floating-point data, PCM
// of other widths than 8 and 16 bits, more than two channels, rates above the device's own.
static bool NeedsConversion(const WAVEFORMATEX& f) {
  return f.wFormatTag != WAVE_FORMAT_PCM || (f.wBitsPerSample != 8 && f.wBitsPerSample != 16) ||
         f.nChannels > 2 || f.nSamplesPerSec > DSBFREQUENCY_MAX;
}

HRESULT SoundCreate(const char* file, DWORD flags, const GUID& algorithm, std::int32_t copies,
                    std::unique_ptr<SoundObject>* out) {
  if (!g_state.device || !file || !out || copies <= 0) return E_FAIL;
  auto reader = std::make_shared<WaveReader>();
  if (!reader->OpenRead(file) || reader->data_size == 0) return E_FAIL;
  if (NeedsConversion(*reader->Format())) {
    std::vector<BYTE> compressed(reader->data_size);
    DWORD got = reader->Rewind() ? reader->Read(compressed.data(), reader->data_size) : 0;
    WAVEFORMATEX pcm{};
    reader->memory = ConvertToPcm(reader->format, compressed.data(), got, &pcm);
    reader->format.assign(reinterpret_cast<BYTE*>(&pcm),
                          reinterpret_cast<BYTE*>(&pcm) + sizeof pcm);
    reader->memory_source = true;
    reader->data_size = static_cast<DWORD>(reader->memory.size());
  }
  DSBUFFERDESC desc{};
  desc.dwSize = sizeof desc;
  desc.dwFlags = flags;
  desc.dwBufferBytes = reader->data_size;
  desc.lpwfxFormat = reinterpret_cast<WAVEFORMATEX*>(reader->format.data());
  desc.guid3DAlgorithm = algorithm;
  auto object = std::make_unique<SoundObject>();
  object->buffers.resize(static_cast<std::size_t>(copies));
  HRESULT created = g_state.device->CreateSoundBuffer(&desc, &object->buffers[0], nullptr);
  if (FAILED(created)) return created;
  for (std::int32_t i = 1; i < copies; ++i) {
    HRESULT hr = g_state.device->DuplicateSoundBuffer(
        object->buffers[0].get(), &object->buffers[static_cast<std::size_t>(i)]);
    if (FAILED(hr)) return hr;
  }
  object->buffer_size = reader->data_size;
  object->copies = copies;
  object->reader = reader;
  HRESULT filled = SoundFill(*object, reader.get());
  if (FAILED(filled)) return filled;
  reader->memory = std::vector<BYTE>();
  reader->memory_source = false;
  reader->Close();
  *out = std::move(object);
  return created;
}

// ---- Temporary folder ----------------------------------------------------------------------

std::string TempFolder() {
  const char* tmp = std::getenv("TMPDIR");
  std::string base = tmp && *tmp ? tmp : "/tmp";
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  std::string folder = base + "/tskdata";
  std::error_code ignored;
  std::filesystem::create_directories(folder, ignored);
  return folder;
}

std::string RecordingFile(std::int32_t id) {
  return TempFolder() + "/tempfile" + std::to_string(id) + ".wav";
}

}  // namespace tessark::sound

namespace tessark {

// ---- Loading ---------------------------------------------------------------------------------

using namespace tessark::sound;

namespace {

// The load itself, on the resolved name.
void LoadResolved(const char* name, std::int32_t id, std::int32_t is_3d, std::int32_t quiet) {
  SoundState& s = State();
  Checkpoint(15001);
  if (!s.ready) return RuntimeNotice("SoundLoad: there is no audio device; sounds are not loaded");
  auto raise = [quiet](std::int32_t code) {
    if (!quiet) tessark::RuntimeError(code);
  };
  if (id < 1 || id > kIdMax) return raise(error::kSoundIdOutOfRange);
  if (Find(id)) return raise(error::kSoundIdInUse);
  if (!name[0]) return raise(error::kSoundLoadFailed);

  Checkpoint(15002);
  s.sounds.Remove(id);
  s.sounds.Add(id, new SoundRecord, false);
  Checkpoint(15003);
  SoundRecord* entry = Find(id);
  s.current = entry;
  entry->is_3d = is_3d ? 1 : 0;
  Checkpoint(15004);
  auto fail = [&] {
    Discard(id);
    if (!quiet)
      RuntimeErrorDetail(error::kSoundLoadFailed, "SoundLoad(\"%s\", %d): %s", name, id,
                         FileProblem(name,
                                     "not a wave file the runtime loads (PCM or compressed "
                                     "wave data; a 3D sound must be mono)")
                             .c_str());
  };

  std::size_t length = std::strlen(name);
  if (length >= 4 && strcasecmp(name + length - 4, ".ogg") == 0) return fail();

  Checkpoint(15005);
  Checkpoint(15006);
  WaveReader inspect;
  if (!inspect.OpenRead(name)) return fail();
  Checkpoint(15007);
  if (inspect.Format()->nChannels > 1 && is_3d) return fail();

  Checkpoint(15008);
  HRESULT hr = SoundCreate(name, is_3d ? kFlags3D : kFlags2D, DS3DALG_DEFAULT, 1, &entry->sound);
  if (FAILED(hr) || hr == DS_NO_VIRTUALIZATION) return fail();
  Checkpoint(15022);
  entry->volume = 100;
  if (is_3d) {
    Checkpoint(15023);
    if (SUCCEEDED(entry->sound->buffers[0]->Query3DBuffer(&entry->buffer_3d))) {
      Checkpoint(15024);
      DS3DBUFFER params{};
      params.dwSize = sizeof params;
      entry->buffer_3d->GetAllParameters(&params);
      entry->buffer_3d->SetAllParameters(&params, DS3D_DEFERRED);
    }
  }
  Checkpoint(15031);
  inspect.Close();
}

}  // namespace

void SoundLoad(const char* file, std::int32_t id, std::int32_t is_3d, std::int32_t quiet) {
  if (!State().ready) {
    Checkpoint(15001);
    return;
  }
  // The name goes through the core's media services in a buffer of its own, cut to 259
  // characters.
  char name[kNameSize] = {};
  if (file) std::strncpy(name, file, kNameSize - 1);
  tessark::CoreData& core = Core();
  if (core.MediaPathResolve) core.MediaPathResolve(name, kNameSize);
  name[kNameSize - 1] = 0;
  if (core.MediaUnscramble) core.MediaUnscramble(name);
  LoadResolved(name, id, is_3d, quiet);
  if (core.MediaRescramble) core.MediaRescramble(name);
}

void SoundLoad(const char* file, std::int32_t id) {
  SoundLoad(file, id, 0, 0);
}

void SoundLoad3D(const char* file, std::int32_t id) {
  SoundLoad(file, id, 1, 0);
}

}  // namespace tessark

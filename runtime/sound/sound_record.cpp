// Sounds that do not come from the program's own files: recordings from the default input
// (through the "waveaudio" media device, saved to the temporary folder and loaded from there),
// saving a recording, and sounds made from or handed out as raw data.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <span>
#include <string>

#include "platform/win32/paths.h"
#include "runtime/core/errors.h"
#include "runtime/sound/sound_state.h"
#include "tessark/sound.h"
#include "tessark/errors.h"

namespace tessark {

using namespace tessark::sound;
using tessark::RuntimeError;

namespace {

bool FileExists(const std::string& path) {
  std::error_code ignored;
  return std::filesystem::is_regular_file(path, ignored);
}

}  // namespace

void SoundRecordStart(std::int32_t id, std::int32_t duration_ms) {
  SoundState& s = State();
  if (!s.ready) return;
  // A recording still open from an earlier start is given up, not leaked.
  if (s.recording_device) {
    mciSendCommandA(s.recording_device, MCI_CLOSE, MCI_WAIT, 0);
    s.recording_device = 0;
  }
  s.recording_id = id;
  Discard(id);
  MCI_OPEN_PARMSA open{};
  open.lpstrDeviceType = "waveaudio";
  open.lpstrElementName = "";
  if (mciSendCommandA(0, MCI_OPEN, MCI_OPEN_TYPE | MCI_OPEN_ELEMENT,
                      reinterpret_cast<std::uintptr_t>(&open)) != 0) {
    return;
  }
  s.recording_device = open.wDeviceID;
  MCI_RECORD_PARMS record{};
  record.dwTo = static_cast<DWORD>(duration_ms < 0 ? 0 : duration_ms);
  if (mciSendCommandA(s.recording_device, MCI_RECORD, MCI_TO,
                      reinterpret_cast<std::uintptr_t>(&record)) != 0) {
    mciSendCommandA(s.recording_device, MCI_CLOSE, 0, 0);
    s.recording_device = 0;
  }
}

void SoundRecordStop() {
  SoundState& s = State();
  if (!s.ready) return;
  MCIDEVICEID device = s.recording_device;
  mciSendCommandA(device, MCI_STOP, MCI_WAIT, 0);
  std::string file = RecordingFile(s.recording_id);
  MCI_SAVE_PARMSA save{};
  save.lpfilename = file.c_str();
  if (mciSendCommandA(device, MCI_SAVE, MCI_SAVE_FILE | MCI_WAIT,
                      reinterpret_cast<std::uintptr_t>(&save)) == 0) {
    Discard(s.recording_id);
    if (FileExists(file)) {
      SoundLoad(file.c_str(), s.recording_id);
      if (SoundRecord* e = Find(s.recording_id)) e->recorded = 1;
    }
  }
  mciSendCommandA(device, MCI_CLOSE, 0, 0);
  s.recording_device = 0;
}

void SoundSave(const char* file, std::int32_t id) {
  if (!State().ready) return;
  SoundRecord* e = FindChecked(id);
  if (!e) return;
  if (e->recorded) {
    std::string recording = RecordingFile(id);
    if (!FileExists(recording)) e->recorded = 0;
    if (e->recorded && file) {
      std::error_code ignored;
      std::filesystem::copy_file(recording, win32::NativePath(file),
                                 std::filesystem::copy_options::overwrite_existing, ignored);
      return;
    }
  }
  RuntimeError(error::kSoundNotRecorded);
}

void SoundFromData(std::int32_t id, std::int32_t data_size, const void* data,
                   std::int32_t format_tag, std::int32_t channels, std::int32_t rate,
                   std::int32_t bytes_per_second, std::int32_t block_align,
                   std::int32_t bits_per_sample) {
  SoundState& s = State();
  if (!s.ready) return;
  if (id < 1 || id > kIdMax) return RuntimeError(error::kSoundIdOutOfRange);
  Discard(id);
  auto* entry = new SoundRecord;
  entry->volume = 100;
  s.sounds.Add(id, entry, false);
  s.current = entry;
  std::string file = TempFolder() + "/tempfile.wav";
  std::remove(file.c_str());
  bool written = false;
  if (data && data_size > 0) {
    // The header holds the values as given (each cut to its field's width); the loader judges
    // them.
    WAVEFORMATEX format{};
    format.wFormatTag = static_cast<WORD>(format_tag);
    format.nChannels = static_cast<WORD>(channels);
    format.nSamplesPerSec = static_cast<DWORD>(rate);
    format.nAvgBytesPerSec = static_cast<DWORD>(bytes_per_second);
    format.nBlockAlign = static_cast<WORD>(block_align);
    format.wBitsPerSample = static_cast<WORD>(bits_per_sample);
    const std::span<const BYTE> bytes(static_cast<const BYTE*>(data),
                                      static_cast<std::size_t>(data_size));
    written = WaveFileWrite(file.c_str(), format, {&bytes, 1});
  }
  HRESULT hr =
      written ? SoundCreate(file.c_str(), kFlags2D, DS3DALG_DEFAULT, 1, &entry->sound) : E_FAIL;
  std::remove(file.c_str());
  // A sound that could not be made leaves no entry without buffers behind.
  if (FAILED(hr)) {
    Discard(id);
    RuntimeError(error::kSoundLoadFailed);
  }
}

bool SoundToData(std::int32_t mode, std::int32_t id, SoundDataCopy* copy) {
  if (!State().ready || !copy) return 0;
  if (mode != 1) {
    std::free(copy->data);
    copy->data = nullptr;
    copy->size = 0;
    return 0;
  }
  SoundRecord* e = FindChecked(id);
  if (!e || !e->sound || !e->sound->reader || !e->sound->reader->Format()) return 0;
  const WAVEFORMATEX& f = *e->sound->reader->Format();
  std::memcpy(copy->format, &f, sizeof copy->format);
  // The rate itself: bytes per second over bytes per sample would double it for stereo.
  copy->samples_per_second = static_cast<std::int32_t>(f.nSamplesPerSec);
  copy->bits_per_second = static_cast<std::int32_t>(f.nAvgBytesPerSec * 8);
  const std::vector<BYTE> empty;
  const std::vector<BYTE>& data = e->sound->data_copy ? *e->sound->data_copy : empty;
  copy->seconds =
      f.nAvgBytesPerSec ? static_cast<std::int32_t>(data.size() / f.nAvgBytesPerSec) : 0;
  copy->size = static_cast<std::int32_t>(data.size());
  copy->data = static_cast<std::uint8_t*>(std::malloc(data.empty() ? 1 : data.size()));
  if (!copy->data) {
    copy->size = 0;
    return 0;
  }
  if (!data.empty()) std::memcpy(copy->data, data.data(), data.size());
  return 1;
}

}  // namespace tessark

namespace tessark::sound {

bool DataOut(std::int32_t mode, std::int32_t id, SoundDataFormat* format, std::uint8_t** data,
             std::int32_t* size) {
  if (!data) return false;
  if (mode != 1) {
    std::free(*data);
    *data = nullptr;
    return false;
  }
  *data = nullptr;
  SoundDataCopy copy{};
  if (!SoundToData(1, id, &copy)) return false;
  WAVEFORMATEX f{};
  std::memcpy(&f, copy.format, sizeof copy.format);
  if (format) {
    *format = SoundDataFormat{f.wFormatTag,
                              f.nChannels,
                              copy.samples_per_second,
                              static_cast<std::int32_t>(f.nAvgBytesPerSec),
                              f.nBlockAlign,
                              f.wBitsPerSample,
                              f.cbSize};
  }
  *data = copy.data;
  if (size) *size = copy.size;
  return true;
}

void DataIn(std::int32_t id, const SoundDataFormat& format, const std::uint8_t* data,
            std::int32_t size) {
  SoundFromData(id, size, data, format.format_tag, format.channels, format.samples_per_second,
                format.bytes_per_second, format.block_align, format.bits_per_sample);
}

}  // namespace tessark::sound

// The sound module's internal state: the device, the store of sounds (SoundRecord records in an
// IdList), the wave reader and the helpers the module's files share. Depends on the core and on
// the dsound, mmio and mci stand-ins. Also declares the module's entries.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/dsound/dsound.h"
#include "platform/mci/mci.h"
#include "platform/mmio/mmsystem.h"
#include "runtime/core/core_data.h"
#include "runtime/core/id_list.h"
#include "runtime/core/module_table.h"

namespace tessark::sound {

constexpr std::int32_t kIdMax = 22000000;
constexpr std::uint32_t kNoLoopBound = 0xFFFFFFFFu;
constexpr DWORD kFlags3D = DSBCAPS_CTRL3D | DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRLVOLUME;   // 0xB0
constexpr DWORD kFlags2D = DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRLPAN | DSBCAPS_CTRLVOLUME;  // 0xE0

// Reads a RIFF wave file: its format, then its data. After a conversion the data comes from a
// memory block instead.
struct WaveReader {
  std::vector<BYTE> format;  // WAVEFORMATEX: 18 bytes, or 18 + extra size
  HMMIO file = nullptr;
  MMCKINFO riff{};
  MMCKINFO chunk{};
  DWORD data_size = 0;
  int mode = 1;
  bool memory_source = false;
  std::vector<BYTE> memory;  // the converted data while memory_source is set

  WaveReader() = default;
  WaveReader(const WaveReader&) = delete;
  WaveReader& operator=(const WaveReader&) = delete;
  ~WaveReader() { Close(); }

  // Opens a wave file and reads its format; false (and no format) when it is not one.
  bool OpenRead(const char* name);
  // Moves back to the first data byte.
  bool Rewind();
  // Reads up to size data bytes into out; the number read.
  DWORD Read(BYTE* out, DWORD size);
  void Close();
  const WAVEFORMATEX* Format() const {
    return format.empty() ? nullptr : reinterpret_cast<const WAVEFORMATEX*>(format.data());
  }
};

// The buffers and data of one sound.
struct SoundObject {
  std::vector<dsound::Ref<IDirectSoundBuffer8>> buffers;
  DWORD buffer_size = 0;
  // What was copied into the buffers at the last fill; clones share it, and a lost buffer is
  // filled again from it.
  std::shared_ptr<std::vector<BYTE>> data_copy;
  // Kept for its format; a clone shares its source's.
  std::shared_ptr<WaveReader> reader;
  std::int32_t copies = 0;
  bool shares_reader = false;
};

struct SoundRecord {
  std::unique_ptr<SoundObject> sound;
  dsound::Ref<IDirectSound3DBuffer8> buffer_3d;
  BYTE is_3d = 0;
  BYTE playing = 0;
  BYTE looping = 0;
  BYTE paused = 0;
  std::int32_t volume = 0;
  BYTE recorded = 0;
  std::uint32_t loop_start = 0;
  std::uint32_t loop_end = 0;
  float position[3] = {0, 0, 0};
  float applied[3] = {0, 0, 0};
};

struct SoundState {
  dsound::Ref<IDirectSound8> device;
  bool ready = false;
  dsound::Ref<IDirectSound3DListener8> listener;
  IdList sounds;
  SoundRecord* current = nullptr;
  CoreData* core = nullptr;
  std::int32_t* error_word = nullptr;
  std::int32_t recording_id = 0;
  MCIDEVICEID recording_device = 0;
  float listener_position[3] = {0, 0, 0};
  float listener_angle[3] = {0, 0, 0};
  std::int32_t commit_count = 0;
};

SoundState& State();

// The CoreData block the module was given (the core's own until PassCoreData).
CoreData& Core();
void Checkpoint(std::int32_t value);

// Looks id up as the current entry, raising 3001 for a bad id and 3004 for a missing sound;
// null when the operation should stop.
SoundRecord* FindChecked(std::int32_t id);
// The entry of id without checks or errors, or null.
SoundRecord* Find(std::int32_t id);
// Removes id's entry and frees it with its sound object and 3D buffer; nothing when absent.
void Discard(std::int32_t id);

// Makes a sound object from a wave file (converting compressed data to PCM): the buffers, the
// data copy, the reader. The HRESULT of the buffer creation (DS_NO_VIRTUALIZATION included) or a
// failure; out is set only on success.
HRESULT SoundCreate(const char* file, DWORD flags, const GUID& algorithm, std::int32_t copies,
                    std::unique_ptr<SoundObject>* out);
// Fills every buffer from the reader (or, without one, from the object's data copy) and sets
// every buffer's play position to 0; a lost buffer is restored first.
HRESULT SoundFill(SoundObject& object, WaveReader* reader);
// Restores a lost buffer, retrying in 10 ms steps while the system keeps it; false if it never
// comes back.
bool BufferRestore(IDirectSoundBuffer8* buffer);
// Converts compressed wave data to PCM: the block and its size, and the chosen format in pcm.
// On failure writes the reason to standard output and returns an empty block.
std::vector<BYTE> ConvertToPcm(const std::vector<BYTE>& source_format, const BYTE* data, DWORD size,
                               WAVEFORMATEX* pcm);

// The temporary folder "tskdata", made when missing; a native path.
std::string TempFolder();
// "<folder>/tempfile<id>.wav" in the temporary folder.
std::string RecordingFile(std::int32_t id);

// The module's entries, as the core's module table and the tests reach them.
void Constructor(HWND window);
void SetErrorHandler(std::int32_t* error_word);
void PassCoreData(CoreData* core);
void Update();
void RefreshD3D(std::int32_t stage);
void Destructor();
void Wire(ModuleTable& table);
// The data services for memory blocks (SoundToData and SoundFromData in the table's terms).
bool DataOut(std::int32_t mode, std::int32_t id, SoundDataFormat* format, std::uint8_t** data,
             std::int32_t* size);
void DataIn(std::int32_t id, const SoundDataFormat& format, const std::uint8_t* data,
            std::int32_t size);

// The module's sound device, or null (for tests that listen to the mixer).
IDirectSound8* Device();

}  // namespace tessark::sound

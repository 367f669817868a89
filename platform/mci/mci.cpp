// The media control devices: "waveaudio" recording on SDL's capture device into memory, saved
// as a 16-bit mono wave file; everything else answers as an absent device does. A recording
// takes memory as it goes, a second at a time, so asking for a long one costs nothing up front;
// it ends by itself at the length asked for, at the most a wave file can hold (about 27 hours),
// or when no more memory can be had, keeping what it has.
#include <SDL.h>
#include <strings.h>

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <span>
#include <sstream>
#include <string>
#include <vector>

#include "platform/mci/mci.h"
#include "platform/mmio/mmsystem.h"

namespace {

constexpr int kRate = 22050;
constexpr WAVEFORMATEX kFormat = {WAVE_FORMAT_PCM, 1, kRate, kRate * 2, 2, 16, 0};
// Captured samples are written to the file as they are: wave files are little-endian.
static_assert(std::endian::native == std::endian::little);
// Samples are kept in blocks of one second (44 KiB): growing never copies what was recorded.
constexpr std::size_t kBlockSamples = kRate;

std::size_t g_memory_limit = 0;  // bytes a recording may take; 0 for no limit (test hook)

// The samples of one recording.
struct Recording {
  std::vector<std::unique_ptr<std::int16_t[]>> blocks;
  std::size_t count = 0;   // samples recorded
  std::size_t wanted = 0;  // samples to record before stopping by itself
  bool out_of_memory = false;

  void Start(std::size_t samples) {
    blocks.clear();
    count = 0;
    wanted = samples;
    out_of_memory = false;
  }
  bool Done() const { return count >= wanted || out_of_memory; }

  // Makes room for the next block; false (and the recording ends) when memory runs out.
  bool Grow() {
    const bool allowed =
        !g_memory_limit || (blocks.size() + 1) * kBlockSamples * 2 <= g_memory_limit;
    std::unique_ptr<std::int16_t[]> block(allowed ? new (std::nothrow) std::int16_t[kBlockSamples]
                                                  : nullptr);
    if (block) {
      try {
        blocks.push_back(std::move(block));
        return true;
      } catch (const std::bad_alloc&) {
      }
    }
    out_of_memory = true;
    return false;
  }

  // Appends up to n samples, fewer once the recording is done.
  void Append(const std::int16_t* in, std::size_t n) {
    while (n > 0 && !Done()) {
      const std::size_t at = count % kBlockSamples;
      if (count == blocks.size() * kBlockSamples && !Grow()) return;
      const std::size_t run = std::min({n, wanted - count, kBlockSamples - at});
      std::memcpy(blocks[count / kBlockSamples].get() + at, in, run * sizeof *in);
      count += run;
      in += run;
      n -= run;
    }
  }

  // The recorded bytes, block by block.
  std::vector<std::span<const BYTE>> Pieces() const {
    std::vector<std::span<const BYTE>> pieces;
    for (std::size_t i = 0; i * kBlockSamples < count; ++i) {
      const std::size_t samples = std::min(kBlockSamples, count - i * kBlockSamples);
      pieces.emplace_back(reinterpret_cast<const BYTE*>(blocks[i].get()), samples * 2);
    }
    return pieces;
  }
};

struct WaveDevice {
  std::string alias;
  SDL_AudioDeviceID capture = 0;
  bool sdl_audio = false;
  std::mutex lock;  // the capture thread appends to the recording
  Recording recording;
  bool recording_on = false;

  ~WaveDevice() { CaptureClose(); }

  void CaptureClose() {
    if (capture) SDL_CloseAudioDevice(capture);
    capture = 0;
    if (sdl_audio) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    sdl_audio = false;
    recording_on = false;
  }
};

std::map<MCIDEVICEID, std::unique_ptr<WaveDevice>> g_devices;
MCIDEVICEID g_next_id = 1;
mci::testing::CaptureSource g_source = nullptr;

// Runs on SDL's audio thread; takes a new block of memory once a second of recording.
void CaptureCallback(void* user, Uint8* stream, int length) {
  auto* device = static_cast<WaveDevice*>(user);
  std::lock_guard<std::mutex> guard(device->lock);
  device->recording.Append(reinterpret_cast<const std::int16_t*>(stream),
                           static_cast<std::size_t>(length) / 2);
}

WaveDevice* Find(MCIDEVICEID id) {
  auto it = g_devices.find(id);
  return it == g_devices.end() ? nullptr : it->second.get();
}

MCIERROR Record(WaveDevice& d, DWORD to_ms) {
  d.CaptureClose();
  const std::uint64_t asked = static_cast<std::uint64_t>(to_ms) * kRate / 1000;
  const std::uint64_t most = WaveFileDataMax(kFormat) / 2;
  d.recording.Start(static_cast<std::size_t>(std::min(asked, most)));
  // The first second is taken now, so that a machine without even that fails the command.
  if (d.recording.wanted > 0 && !d.recording.Grow()) return MCIERR_OUT_OF_MEMORY;
  if (g_source) {
    std::int16_t piece[1024];
    while (!d.recording.Done()) {
      g_source(piece, 1024);
      d.recording.Append(piece, 1024);
    }
    return 0;
  }
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return MCIERR_WAVE_INPUTSUNSUITABLE;
  d.sdl_audio = true;
  SDL_AudioSpec want{};
  want.freq = kRate;
  want.format = AUDIO_S16SYS;
  want.channels = 1;
  want.samples = 1024;
  want.callback = CaptureCallback;
  want.userdata = &d;
  SDL_AudioSpec have{};
  d.capture = SDL_OpenAudioDevice(nullptr, 1, &want, &have, 0);
  if (!d.capture) {
    d.CaptureClose();
    return MCIERR_WAVE_INPUTSUNSUITABLE;
  }
  d.recording_on = true;
  SDL_PauseAudioDevice(d.capture, 0);
  return 0;
}

MCIERROR Save(WaveDevice& d, const char* name) {
  if (!name || !*name) return MCIERR_MISSING_PARAMETER;
  // Paused, the capture thread no longer appends: the blocks are written where they lie.
  if (d.capture) SDL_PauseAudioDevice(d.capture, 1);
  std::lock_guard<std::mutex> guard(d.lock);
  return WaveFileWrite(name, kFormat, d.recording.Pieces()) ? 0 : MCIERR_FILE_NOT_SAVED;
}

}  // namespace

MCIERROR mciSendCommandA(MCIDEVICEID id, UINT message, std::uintptr_t flags,
                         std::uintptr_t params) {
  if (message == MCI_OPEN) {
    auto* open = reinterpret_cast<MCI_OPEN_PARMSA*>(params);
    if (!open) return MCIERR_NULL_PARAMETER_BLOCK;
    if (!(flags & MCI_OPEN_TYPE) || !open->lpstrDeviceType) return MCIERR_MISSING_PARAMETER;
    if (strcasecmp(open->lpstrDeviceType, "waveaudio") != 0) return MCIERR_INVALID_DEVICE_NAME;
    // Only new, unnamed elements: the device records, it does not play files.
    if ((flags & MCI_OPEN_ELEMENT) && open->lpstrElementName && *open->lpstrElementName &&
        strcasecmp(open->lpstrElementName, "new") != 0) {
      return MCIERR_UNSUPPORTED_FUNCTION;
    }
    auto device = std::make_unique<WaveDevice>();
    if ((flags & MCI_OPEN_ALIAS) && open->lpstrAlias) device->alias = open->lpstrAlias;
    open->wDeviceID = g_next_id++;
    g_devices[open->wDeviceID] = std::move(device);
    return 0;
  }
  WaveDevice* device = Find(id);
  if (!device) return MCIERR_INVALID_DEVICE_ID;
  switch (message) {
    case MCI_RECORD: {
      auto* record = reinterpret_cast<MCI_RECORD_PARMS*>(params);
      DWORD to = (flags & MCI_TO) && record ? record->dwTo : 60000;
      return Record(*device, to);
    }
    case MCI_STOP:
      if (device->capture) SDL_PauseAudioDevice(device->capture, 1);
      device->recording_on = false;
      return 0;
    case MCI_SAVE: {
      auto* save = reinterpret_cast<MCI_SAVE_PARMSA*>(params);
      if (!save || !(flags & MCI_SAVE_FILE)) return MCIERR_MISSING_PARAMETER;
      return Save(*device, save->lpfilename);
    }
    case MCI_STATUS: {
      auto* status = reinterpret_cast<MCI_STATUS_PARMS*>(params);
      if (!status || !(flags & MCI_STATUS_ITEM)) return MCIERR_MISSING_PARAMETER;
      if (status->dwItem == MCI_STATUS_MODE) {
        std::lock_guard<std::mutex> guard(device->lock);
        bool busy = device->recording_on && !device->recording.Done();
        status->dwReturn = busy ? MCI_MODE_RECORD : MCI_MODE_STOP;
        return 0;
      }
      if (status->dwItem == MCI_STATUS_LENGTH) {
        std::lock_guard<std::mutex> guard(device->lock);
        status->dwReturn = device->recording.count * 1000 / kRate;
        return 0;
      }
      return MCIERR_UNSUPPORTED_FUNCTION;
    }
    case MCI_CLOSE:
      g_devices.erase(id);
      return 0;
    default:
      return MCIERR_UNSUPPORTED_FUNCTION;
  }
}

MCIERROR mciSendStringA(LPCSTR command, LPSTR answer, UINT answer_size, HWND /*callback*/) {
  if (answer && answer_size) answer[0] = 0;
  if (!command) return MCIERR_MISSING_PARAMETER;
  std::istringstream words(command);
  std::vector<std::string> w;
  for (std::string word; words >> word;) w.push_back(word);
  if (w.empty()) return MCIERR_UNRECOGNIZED_COMMAND;
  auto is = [](const std::string& a, const char* b) { return strcasecmp(a.c_str(), b) == 0; };
  auto by_name = [&](const std::string& name) -> MCIDEVICEID {
    for (auto& [id, d] : g_devices) {
      if (strcasecmp(d->alias.c_str(), name.c_str()) == 0) return id;
    }
    return 0;
  };
  if (is(w[0], "open")) {
    MCI_OPEN_PARMSA open{};
    std::string type, alias, element = w.size() > 1 ? w[1] : "";
    for (std::size_t i = 2; i + 1 < w.size(); ++i) {
      if (is(w[i], "type")) type = w[i + 1];
      if (is(w[i], "alias")) alias = w[i + 1];
    }
    if (type.empty()) type = element;  // "open waveaudio" names the device itself
    open.lpstrDeviceType = type.c_str();
    open.lpstrElementName = element.c_str();
    open.lpstrAlias = alias.c_str();
    std::uintptr_t flags = MCI_OPEN_TYPE | MCI_OPEN_ELEMENT | (alias.empty() ? 0 : MCI_OPEN_ALIAS);
    if (is(element, type.c_str())) open.lpstrElementName = "";
    MCIERROR e = mciSendCommandA(0, MCI_OPEN, flags, reinterpret_cast<std::uintptr_t>(&open));
    if (!e && answer && answer_size) std::snprintf(answer, answer_size, "%u", open.wDeviceID);
    return e;
  }
  if (w.size() < 2) return MCIERR_MISSING_PARAMETER;
  MCIDEVICEID id = by_name(w[1]);
  if (!id) return MCIERR_INVALID_DEVICE_NAME;
  if (is(w[0], "record")) {
    MCI_RECORD_PARMS record{};
    std::uintptr_t flags = 0;
    for (std::size_t i = 2; i + 1 < w.size(); ++i) {
      if (is(w[i], "to")) {
        record.dwTo = static_cast<DWORD>(std::strtoul(w[i + 1].c_str(), nullptr, 10));
        flags |= MCI_TO;
      }
    }
    return mciSendCommandA(id, MCI_RECORD, flags, reinterpret_cast<std::uintptr_t>(&record));
  }
  if (is(w[0], "stop")) return mciSendCommandA(id, MCI_STOP, MCI_WAIT, 0);
  if (is(w[0], "close")) return mciSendCommandA(id, MCI_CLOSE, MCI_WAIT, 0);
  if (is(w[0], "save")) {
    if (w.size() < 3) return MCIERR_MISSING_PARAMETER;
    std::string file = w[2];
    if (file.size() >= 2 && file.front() == '"' && file.back() == '"') {
      file = file.substr(1, file.size() - 2);
    }
    MCI_SAVE_PARMSA save{0, file.c_str()};
    return mciSendCommandA(id, MCI_SAVE, MCI_SAVE_FILE | MCI_WAIT,
                           reinterpret_cast<std::uintptr_t>(&save));
  }
  if (is(w[0], "status") && w.size() >= 3) {
    MCI_STATUS_PARMS status{};
    status.dwItem = is(w[2], "mode") ? MCI_STATUS_MODE : MCI_STATUS_LENGTH;
    MCIERROR e =
        mciSendCommandA(id, MCI_STATUS, MCI_STATUS_ITEM, reinterpret_cast<std::uintptr_t>(&status));
    if (!e && answer && answer_size) {
      if (status.dwItem == MCI_STATUS_MODE) {
        std::snprintf(answer, answer_size, "%s",
                      status.dwReturn == MCI_MODE_RECORD ? "recording" : "stopped");
      } else {
        std::snprintf(answer, answer_size, "%lu", static_cast<unsigned long>(status.dwReturn));
      }
    }
    return e;
  }
  return MCIERR_UNRECOGNIZED_COMMAND;
}

namespace mci::testing {
void SetCaptureSource(CaptureSource source) {
  g_source = source;
}
void SetRecordingMemory(std::size_t bytes) {
  g_memory_limit = bytes;
}
}  // namespace mci::testing

// The music module: numbered music played from files through a filter graph or from audio CD
// tracks through the "cdaudio" command strings, once or looping, with volume and speed, and
// the per-frame update that handles completions. Every operation runs on the program's thread;
// the graph decodes on its own and the update reads its events without waiting.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <type_traits>

#include "platform/mci/mci.h"
#include "platform/mci/mixer.h"
#include "runtime/core/errors.h"
#include "runtime/core/id_list.h"
#include "runtime/music/music_state.h"
#include "tessark/music.h"

namespace tessark::music {

namespace {

constexpr std::size_t kNameSize = 260;
constexpr std::size_t kAnswerSize = 256;
constexpr LONG kSilence = -10000;

struct MusicState {
  IdList store;
  MusicRecord* current = nullptr;
  CoreData* core = nullptr;
  std::int32_t* error_word = nullptr;
};

MusicState g_state;

CoreData& Core() {
  return g_state.core ? *g_state.core : *CoreDataGet();
}

bool IdInRange(std::int32_t id) {
  return id >= 1 && id <= kIdMax;
}

// Looks id up as the current entry: 3501 for an id out of range, 3504 for a free one; null
// when the operation should stop.
MusicRecord* FindChecked(std::int32_t id) {
  if (!IdInRange(id)) {
    RuntimeError(error::kMusicIdOutOfRange);
    return nullptr;
  }
  g_state.current = Find(id);
  if (!g_state.current) RuntimeErrorDetail(error::kMusicMissing, "music %d does not exist", id);
  return g_state.current;
}

// Drops the entry's interfaces in the order the graph expects to lose them, then the entry.
void EntryFree(MusicRecord* entry) {
  entry->position.reset();
  entry->audio.reset();
  entry->seeking.reset();
  entry->events.reset();
  entry->control.reset();
  entry->graph.reset();
  delete entry;
}

MCIERROR CdSend(const char* command) {
  return mciSendStringA(command, nullptr, 0, nullptr);
}

// Sends a status command and reads its answer into a 256-byte buffer.
void CdAsk(const char* command, char (&answer)[kAnswerSize]) {
  answer[0] = 0;
  mciSendStringA(command, answer, kAnswerSize, nullptr);
  answer[kAnswerSize - 1] = 0;
}

std::int32_t CdTrackCount() {
  char answer[kAnswerSize];
  CdAsk("status cdaudio number of tracks", answer);
  return static_cast<std::int32_t>(std::strtol(answer, nullptr, 10));
}

// Plays the entry's one track: to the start of the next when there is one, else to the end.
void CdPlayTrack(const MusicRecord& entry) {
  std::int32_t tracks = CdTrackCount();
  char from[16];
  char command[64];
  std::snprintf(from, sizeof from, "%d", entry.track);
  if (entry.track < tracks) {
    char to[16];
    std::snprintf(to, sizeof to, "%d", entry.track + 1);
    std::snprintf(command, sizeof command, "play cdaudio from %s to %s", from, to);
  } else {
    std::snprintf(command, sizeof command, "play cdaudio from %s", from);
  }
  CdSend(command);
}

// Seeks the graph back to its start; the seeking call's result.
HRESULT Rewind(MusicRecord& entry) {
  if (!entry.seeking) return E_POINTER;
  LONGLONG start = 0;
  HRESULT hr = entry.seeking->SetPositions(&start, AM_SEEKING_AbsolutePositioning, nullptr,
                                           AM_SEEKING_NoPositioning);
  if (SUCCEEDED(hr)) entry.ended = false;
  return hr;
}

// Runs a file's graph; one that has played to its end starts again from the beginning.
void GraphRun(MusicRecord& entry) {
  if (entry.ended) Rewind(entry);
  entry.control->Run();
}

// An open mixer device, closed when its owner goes, whichever step it stopped at.
struct MixerClose {
  void operator()(HMIXER mixer) const { mixerClose(mixer); }
};
using MixerHandle = std::unique_ptr<std::remove_pointer_t<HMIXER>, MixerClose>;

// The speaker volume that CD audio plays at, through the system's first mixer device. A
// system without one stops at the first step.
void CdVolumeSet(std::int32_t percent) {
  if (mixerGetNumDevs() == 0) return;
  HMIXER opened = nullptr;
  if (mixerOpen(&opened, 0, reinterpret_cast<std::uintptr_t>(Core().window), 0, CALLBACK_WINDOW) !=
      MMSYSERR_NOERROR) {
    return;
  }
  MixerHandle owner(opened);
  HMIXER mixer = owner.get();
  MIXERCAPSA caps{};
  if (mixerGetDevCapsA(reinterpret_cast<std::uintptr_t>(mixer), &caps, sizeof caps) !=
      MMSYSERR_NOERROR) {
    return;
  }
  MIXERLINEA line{};
  line.cbStruct = sizeof line;
  line.dwComponentType = MIXERLINE_COMPONENTTYPE_DST_SPEAKERS;
  if (mixerGetLineInfoA(mixer, &line, MIXER_OBJECTF_HMIXER | MIXER_GETLINEINFOF_COMPONENTTYPE) !=
      MMSYSERR_NOERROR) {
    return;
  }
  MIXERCONTROLA control{};
  MIXERLINECONTROLSA controls{};
  controls.cbStruct = sizeof controls;
  controls.dwLineID = line.dwLineID;
  controls.dwControlType = MIXERCONTROL_CONTROLTYPE_VOLUME;
  controls.cControls = 1;
  controls.cbmxctrl = sizeof control;
  controls.pamxctrl = &control;
  if (mixerGetLineControlsA(mixer, &controls,
                            MIXER_OBJECTF_HMIXER | MIXER_GETLINECONTROLSF_ONEBYTYPE) !=
      MMSYSERR_NOERROR) {
    return;
  }
  MIXERCONTROLDETAILS_UNSIGNED value{};
  double range = static_cast<double>(control.Bounds.s2.dwMaximum) - control.Bounds.s2.dwMinimum;
  value.dwValue = static_cast<DWORD>(range * 0.01 * percent);
  MIXERCONTROLDETAILS details{};
  details.cbStruct = sizeof details;
  details.dwControlID = control.dwControlID;
  details.cChannels = 1;
  details.cbDetails = sizeof value;
  details.paDetails = &value;
  mixerSetControlDetails(mixer, &details, MIXER_OBJECTF_HMIXER | MIXER_SETCONTROLDETAILSF_VALUE);
}

// Takes every waiting event of a file's graph; false when the entry has no events interface
// (the update then ends).
bool FileUpdate(MusicRecord& entry) {
  if (!entry.events) {
    RuntimeNotice("Update - media event interface invalid");
    return false;
  }
  LONG code = 0;
  LONG_PTR param1 = 0;
  LONG_PTR param2 = 0;
  while (entry.events->GetEvent(&code, &param1, &param2, 0) == S_OK) {
    entry.events->FreeEventParams(code, param1, param2);
    if (code != EC_COMPLETE) continue;
    if (entry.looping) {
      if (FAILED(Rewind(entry)) && entry.control) {
        entry.control->Stop();
        entry.control->Run();
      }
    } else {
      entry.playing = 0;
      entry.ended = true;
    }
  }
  return true;
}

}  // namespace

MusicRecord* Find(std::int32_t id) {
  return static_cast<MusicRecord*>(g_state.store.Find(id));
}

void Constructor(HWND /*window*/) {}

void SetErrorHandler(std::int32_t* error_word) {
  g_state.error_word = error_word;
}

void PassCoreData(CoreData* core) {
  g_state.core = core;
}

void Update() {
  for (IdListNode* node = g_state.store.Head(); node; node = node->next) {
    MusicRecord* entry = Find(node->id);
    if (!entry) return;
    g_state.current = entry;
    if (entry->paused) continue;
    if (entry->kind == kKindCdTrack) {
      char answer[kAnswerSize];
      CdAsk("status cdaudio mode", answer);
      if (std::strcmp(answer, "stopped") == 0) {
        if (entry->looping) {
          CdPlayTrack(*entry);
        } else {
          entry->playing = 0;
        }
      }
      continue;
    }
    if (!FileUpdate(*entry)) return;
  }
}

void Destructor() {
  CdSend("stop cdaudio");
  CdSend("close cdaudio");
  for (IdListNode* node = g_state.store.Head(); node; node = node->next) {
    EntryFree(static_cast<MusicRecord*>(node->value));
  }
  g_state.store.FreeAll();
  g_state.current = nullptr;
  // The core and error links stay: the core passes them once, after the Constructor.
}

void Wire(ModuleTable& table) {
  table.music.Constructor = [](void* handle) { Constructor(static_cast<HWND>(handle)); };
  table.music.SetErrorHandler = SetErrorHandler;
  table.music.PassCoreData = PassCoreData;
  table.music.Update = Update;
  table.music.Destructor = Destructor;
}

}  // namespace tessark::music

namespace tessark {

using music::Find;
using music::FindChecked;
using music::g_state;
using music::MusicRecord;

void MusicLoad(const char* file, std::int32_t id) {
  char name[music::kNameSize] = {};
  if (file) std::snprintf(name, sizeof name, "%s", file);
  CoreData& core = music::Core();
  if (core.MediaPathResolve) core.MediaPathResolve(name, sizeof name);
  if (core.MediaUnscramble) core.MediaUnscramble(name);
  [&] {
    if (!music::IdInRange(id)) return RuntimeError(error::kMusicIdOutOfRange);
    if (Find(id)) return RuntimeError(error::kMusicIdInUse);
    void* made = nullptr;
    if (FAILED(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                &made))) {
      return RuntimeError(error::kMusicLoadFailed);
    }
    auto entry = std::make_unique<MusicRecord>();
    entry->graph = dsound::Ref<IGraphBuilder>(static_cast<IGraphBuilder*>(made));
    WCHAR wide[music::kNameSize] = {};
    MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, name, -1, wide, music::kNameSize);
    wide[music::kNameSize - 1] = 0;
    if (HRESULT hr = entry->graph->RenderFile(wide, nullptr); FAILED(hr)) {
      // The entry's graph is released with it.
      return RuntimeErrorDetail(
          error::kMusicLoadFailed, "MusicLoad(\"%s\", %d): %s", name, id,
          hr == VFW_E_NO_AUDIO_HARDWARE ? "there is no audio device"
          : hr == VFW_E_UNSUPPORTED_STREAM
              ? FileProblem(name, "not a music file the runtime plays").c_str()
              : FileProblem(name, "the music could not be played").c_str());
    }
    auto ask = [&](REFIID iid, auto& ref) {
      void* p = nullptr;
      if (FAILED(entry->graph->QueryInterface(iid, &p))) return false;
      ref = std::remove_reference_t<decltype(ref)>(static_cast<decltype(ref.get())>(p));
      return true;
    };
    if (!ask(IID_IMediaControl, entry->control) || !ask(IID_IMediaEventEx, entry->events) ||
        !ask(IID_IMediaSeeking, entry->seeking) || !ask(IID_IBasicAudio, entry->audio) ||
        !ask(IID_IMediaPosition, entry->position)) {
      return RuntimeError(error::kMusicLoadFailed);
    }
    entry->kind = music::kKindFile;
    entry->ready = 1;
    entry->volume = 100;
    entry->speed = 100;
    g_state.current = entry.get();
    g_state.store.Add(id, entry.release(), false);
  }();
  if (core.MediaRescramble) core.MediaRescramble(name);
}

void MusicLoadCdTrack(std::int32_t track, std::int32_t id) {
  if (!music::IdInRange(id)) return RuntimeError(error::kMusicIdOutOfRange);
  if (Find(id)) return RuntimeError(error::kMusicIdInUse);
  if (track < 1 || track > music::kIdMax) return RuntimeError(error::kMusicTrackOutOfRange);
  music::CdSend("open cdaudio");
  music::CdSend("set cdaudio time format tmsf");
  auto* entry = new MusicRecord;
  entry->kind = music::kKindCdTrack;
  entry->track = track;
  entry->ready = 1;
  g_state.current = entry;
  g_state.store.Add(id, entry, false);
}

namespace {

// Starts the music from where it stands (a finished one from its start), once or looping. A
// paused music started so plays and is no longer paused: the update must see its end.
void MusicStart(std::int32_t id, bool looping) {
  MusicRecord* entry = FindChecked(id);
  if (!entry) return;
  if (entry->kind == music::kKindCdTrack) {
    music::CdPlayTrack(*entry);
  } else {
    if (!entry->control) return RuntimeNotice("PlayMusic - invalid media control interface");
    music::GraphRun(*entry);
  }
  entry->playing = 1;
  entry->paused = 0;
  entry->looping = looping ? 1 : 0;
}

}  // namespace

void PlayMusic(std::int32_t id) {
  MusicStart(id, false);
}

void MusicLoop(std::int32_t id) {
  MusicStart(id, true);
}

void StopMusic(std::int32_t id) {
  MusicRecord* entry = FindChecked(id);
  if (!entry) return;
  entry->playing = 0;
  entry->looping = 0;
  if (entry->kind == music::kKindCdTrack) return void(music::CdSend("stop cdaudio"));
  if (!entry->control) return RuntimeNotice("StopMusic - invalid media control interface");
  music::Rewind(*entry);
  entry->control->Stop();
}

void PauseMusic(std::int32_t id) {
  MusicRecord* entry = FindChecked(id);
  if (!entry) return;
  entry->playing = 0;
  entry->paused = 1;
  if (entry->kind == music::kKindCdTrack) return void(music::CdSend("pause cdaudio"));
  if (!entry->control) return RuntimeNotice("PauseMusic - invalid media control interface");
  entry->control->Pause();
}

void ResumeMusic(std::int32_t id) {
  MusicRecord* entry = FindChecked(id);
  if (!entry) return;
  entry->playing = 1;
  entry->paused = 0;
  if (entry->kind == music::kKindCdTrack) return void(music::CdSend("resume cdaudio"));
  if (!entry->control) return RuntimeNotice("ResumeMusic - invalid media control interface");
  // A music that has played to its end plays again from its start, as PlayMusic does: the
  // graph, standing at the end, would play nothing and never tell of an end again.
  music::GraphRun(*entry);
}

void MusicDelete(std::int32_t id) {
  MusicRecord* entry = FindChecked(id);
  if (!entry) return;
  g_state.store.Remove(id);
  if (g_state.current == entry) g_state.current = nullptr;
  music::EntryFree(entry);
}

bool MusicExists(std::int32_t id) {
  if (!music::IdInRange(id)) {
    RuntimeError(error::kMusicIdOutOfRange);
    return false;
  }
  g_state.current = Find(id);
  return g_state.current != nullptr;
}

bool MusicPlaying(std::int32_t id) {
  MusicRecord* entry = FindChecked(id);
  return entry && entry->playing;
}

bool MusicLooping(std::int32_t id) {
  MusicRecord* entry = FindChecked(id);
  return entry && entry->looping;
}

bool MusicPaused(std::int32_t id) {
  MusicRecord* entry = FindChecked(id);
  return entry && entry->paused;
}

std::int32_t MusicVolume(std::int32_t id) {
  MusicRecord* entry = FindChecked(id);
  return entry ? entry->volume : 0;
}

std::int32_t MusicSpeed(std::int32_t id) {
  MusicRecord* entry = FindChecked(id);
  return entry ? entry->speed : 0;
}

void SetMusicVolume(std::int32_t id, std::int32_t percent) {
  MusicRecord* entry = FindChecked(id);
  if (!entry) return;
  entry->volume = percent;
  if (entry->kind == music::kKindCdTrack) return music::CdVolumeSet(percent);
  if (!entry->audio) return RuntimeNotice("SetMusicVolume - invalid basic audio interface");
  // 25 hundredths of a decibel a percent: 100 is full level, 1 is -24.75 dB.
  std::int64_t level = percent <= 0 ? music::kSilence : std::int64_t{percent} * 25 - 2500;
  if (level > 0x7FFFFFFF) level = 0x7FFFFFFF;  // refused by the graph as above full level
  entry->audio->put_Volume(static_cast<LONG>(level));
}

void SetMusicSpeed(std::int32_t id, std::int32_t percent) {
  MusicRecord* entry = FindChecked(id);
  if (!entry) return;
  if (percent < 0) return RuntimeError(error::kMusicSpeedNegative);
  if (!entry->position) return RuntimeNotice("SetMusicSpeed - invalid pMediaPosition interface");
  entry->speed = percent;
  double rate = percent * 0.01;
  if (entry->control) entry->control->Pause();
  if (entry->seeking) entry->seeking->SetRate(rate);
  entry->position->put_Rate(rate);
  // The music plays after a change of speed, and says so.
  if (entry->control) music::GraphRun(*entry);
  entry->playing = 1;
  entry->paused = 0;
}

std::int32_t MusicCdTrackCount() {
  return music::CdTrackCount();
}

}  // namespace tessark

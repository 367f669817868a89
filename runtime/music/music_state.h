// The music module's internals: the record of one music (the store keeps MusicRecord records
// in an IdList) and the entries the core's module table calls. Depends on the core and on the
// dshow and mci stand-ins.
#pragma once

#include <cstdint>

#include "platform/dshow/dshow.h"
#include "platform/dsound/ref.h"
#include "platform/win32/win_types.h"
#include "runtime/core/core_data.h"
#include "runtime/core/module_table.h"
#include "tessark/errors.h"

namespace tessark::music {

constexpr std::int32_t kIdMax = 22000000;
constexpr std::int32_t kKindFile = 0;
constexpr std::int32_t kKindCdTrack = 1;

// One music: a file played through a filter graph (kind 0) or a CD track (kind 1).
struct MusicRecord {
  std::int32_t kind = kKindFile;
  dsound::Ref<IGraphBuilder> graph;
  dsound::Ref<IMediaControl> control;
  dsound::Ref<IMediaEventEx> events;
  dsound::Ref<IBasicAudio> audio;
  dsound::Ref<IMediaSeeking> seeking;
  dsound::Ref<IMediaPosition> position;
  std::int32_t track = 0;
  std::int32_t ready = 0;
  BYTE paused = 0;
  BYTE playing = 0;
  BYTE looping = 0;
  std::int32_t volume = 0;
  std::int32_t speed = 0;
  // The file played to its end without looping: the graph still stands at its end, so the
  // next play rewinds it first.
  bool ended = false;
};

void Constructor(HWND window);
void SetErrorHandler(std::int32_t* error_word);
void PassCoreData(CoreData* core);
void Update();
void Destructor();
void Wire(ModuleTable& table);

// The entry of id without checks or errors, or null (for tests).
MusicRecord* Find(std::int32_t id);

}  // namespace tessark::music

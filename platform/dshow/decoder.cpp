// The decoders: libsndfile for every sampled format it reads (WAV in all its encodings, AIFF,
// FLAC, Ogg Vorbis, Opus, MP3), FluidSynth for MIDI. Files with more than two channels are
// mixed down to stereo as sounds are; a rate too high for the sound buffer (a 192 kHz file, or
// a fast speed) is divided here by a whole number, averaging the frames it drops.
//
// The synthesiser library is loaded when the first MIDI file is opened, not with the program:
// it brings a dozen libraries of its own (GLib, the sound servers' clients ...), whose loading
// and symbol binding was about a third of the program's start before main, and most programs
// never play MIDI.
#include <dlfcn.h>
#include <fluidsynth.h>
#include <sndfile.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <vector>

#include "platform/dshow/decoder.h"
#include "platform/dshow/dshow.h"
#include "platform/win32/speaker_mix.h"

namespace dshow {

namespace {

constexpr const char* kDefaultSoundFont = "/usr/share/sounds/sf2/default-GM.sf2";
constexpr int kMidiRate = 44100;
constexpr long kMidiFileMax = 16 << 20;
// After the last MIDI event, notes still sounding are rendered for at most this long.
constexpr std::int64_t kMidiTailFrames = 2 * kMidiRate;
// Samples decoded in one go: a file's channel count (up to libsndfile's 1024) or a large
// divisor never makes a read ask for more than this.
constexpr long kPieceSamples = 65536;

std::mutex g_font_lock;
std::string g_sound_font = kDefaultSoundFont;

// A sample in -1..1 as 16 bits: scaled by 32768, rounded, clipped at full scale.
std::int16_t ToShort(float v) {
  if (!(v == v)) return 0;  // not a number
  return static_cast<std::int16_t>(std::lrint(std::clamp(v * 32768.0f, -32768.0f, 32767.0f)));
}

// ---- libsndfile ------------------------------------------------------------------------------

// The speaker of a channel as libsndfile names it in a channel map; 0 for none.
std::uint32_t SpeakerOfMapEntry(int entry) {
  switch (entry) {
    case SF_CHANNEL_MAP_LEFT:
    case SF_CHANNEL_MAP_FRONT_LEFT:
      return win32::kSpeakerFrontLeft;
    case SF_CHANNEL_MAP_RIGHT:
    case SF_CHANNEL_MAP_FRONT_RIGHT:
      return win32::kSpeakerFrontRight;
    case SF_CHANNEL_MAP_MONO:
    case SF_CHANNEL_MAP_CENTER:
    case SF_CHANNEL_MAP_FRONT_CENTER:
      return win32::kSpeakerFrontCentre;
    case SF_CHANNEL_MAP_LFE:
      return win32::kSpeakerLowFrequency;
    case SF_CHANNEL_MAP_REAR_LEFT:
      return win32::kSpeakerBackLeft;
    case SF_CHANNEL_MAP_REAR_RIGHT:
      return win32::kSpeakerBackRight;
    case SF_CHANNEL_MAP_REAR_CENTER:
      return win32::kSpeakerBackCentre;
    case SF_CHANNEL_MAP_FRONT_LEFT_OF_CENTER:
      return win32::kSpeakerFrontLeftOfCentre;
    case SF_CHANNEL_MAP_FRONT_RIGHT_OF_CENTER:
      return win32::kSpeakerFrontRightOfCentre;
    case SF_CHANNEL_MAP_SIDE_LEFT:
      return win32::kSpeakerSideLeft;
    case SF_CHANNEL_MAP_SIDE_RIGHT:
      return win32::kSpeakerSideRight;
    case SF_CHANNEL_MAP_TOP_CENTER:
      return win32::kSpeakerTopCentre;
    case SF_CHANNEL_MAP_TOP_FRONT_LEFT:
      return win32::kSpeakerTopFrontLeft;
    case SF_CHANNEL_MAP_TOP_FRONT_RIGHT:
      return win32::kSpeakerTopFrontRight;
    case SF_CHANNEL_MAP_TOP_FRONT_CENTER:
      return win32::kSpeakerTopFrontCentre;
    case SF_CHANNEL_MAP_TOP_REAR_LEFT:
      return win32::kSpeakerTopBackLeft;
    case SF_CHANNEL_MAP_TOP_REAR_RIGHT:
      return win32::kSpeakerTopBackRight;
    case SF_CHANNEL_MAP_TOP_REAR_CENTER:
      return win32::kSpeakerTopBackCentre;
    default:
      return 0;
  }
}

// The speaker of every channel: the file's own channel map where it has one (an extensible
// WAV, CAF); else the order of its kind, which for Ogg (Vorbis and Opus) puts the centre
// second and the low frequency last, and for the others (WAV, FLAC) is the usual layout.
std::vector<std::uint32_t> FileSpeakers(SNDFILE* file, const SF_INFO& info) {
  std::vector<int> map(static_cast<std::size_t>(info.channels));
  if (sf_command(file, SFC_GET_CHANNEL_MAP_INFO, map.data(),
                 static_cast<int>(map.size() * sizeof(int))) == SF_TRUE) {
    std::vector<std::uint32_t> speakers;
    for (int entry : map) speakers.push_back(SpeakerOfMapEntry(entry));
    return speakers;
  }
  if ((info.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_OGG && info.channels <= 8) {
    using namespace win32;
    constexpr std::uint32_t L = kSpeakerFrontLeft, R = kSpeakerFrontRight, C = kSpeakerFrontCentre,
                            BL = kSpeakerBackLeft, BR = kSpeakerBackRight, BC = kSpeakerBackCentre,
                            SL = kSpeakerSideLeft, SR = kSpeakerSideRight,
                            LFE = kSpeakerLowFrequency;
    switch (info.channels) {
      case 3:
        return {L, C, R};
      case 4:
        return {L, R, BL, BR};
      case 5:
        return {L, C, R, BL, BR};
      case 6:
        return {L, C, R, BL, BR, LFE};
      case 7:
        return {L, C, R, SL, SR, BC, LFE};
      case 8:
        return {L, C, R, SL, SR, BL, BR, LFE};
      default:
        break;
    }
  }
  return win32::SpeakersOfMask(0, info.channels);
}

class SndfileDecoder final : public Decoder {
 public:
  SndfileDecoder(SNDFILE* file, const SF_INFO& info) : file_(file), file_channels_(info.channels) {
    channels_ = std::min(info.channels, 2);
    rate_ = info.samplerate;
    frames_ = info.frames > 0 && info.frames < SF_COUNT_MAX ? info.frames : -1;
    if (file_channels_ > 2) {
      win32::SpeakerMixWeights(FileSpeakers(file, info), 2, &left_, &right_);
    }
  }
  ~SndfileDecoder() override { sf_close(file_); }

  bool Seek(std::int64_t frame, const std::atomic<bool>&) override {
    if (sf_seek(file_, frame, SEEK_SET) < 0) return false;
    failed_ = false;
    return true;
  }

 protected:
  // Reads as floats, which every encoding converts to (16-bit data exactly): integer reads of
  // floating-point data would not be scaled.
  long ReadFrames(float* out, long count) override {
    if (failed_ || count <= 0) return 0;
    sf_count_t got = 0;
    if (file_channels_ <= 2) {
      got = sf_readf_float(file_, out, count);
    } else {
      count = std::min(count, std::max(1L, kPieceSamples / file_channels_));
      samples_.resize(static_cast<std::size_t>(count) * file_channels_);
      got = sf_readf_float(file_, samples_.data(), count);
      for (sf_count_t i = 0; i < got; ++i) {
        const float* frame = samples_.data() + i * file_channels_;
        float l = 0;
        float r = 0;
        for (int c = 0; c < file_channels_; ++c) {
          l += frame[c] * left_[static_cast<std::size_t>(c)];
          r += frame[c] * right_[static_cast<std::size_t>(c)];
        }
        out[2 * i] = l;
        out[2 * i + 1] = r;
      }
    }
    if (got < 0) got = 0;
    // A read that stops short because the data is damaged ends the file there.
    if (sf_error(file_) != SF_ERR_NO_ERROR) failed_ = true;
    return static_cast<long>(got);
  }

 private:
  SNDFILE* file_;
  int file_channels_;
  bool failed_ = false;
  std::vector<float> samples_;
  std::vector<float> left_;  // the mix-down's weights, for more than two channels
  std::vector<float> right_;
};

// ---- FluidSynth ------------------------------------------------------------------------------

// Every synthesiser function the MIDI decoder calls, under its own name.
// clang-format off
#define TESSARK_FLUID_FUNCTIONS(X)                                                          \
  X(fluid_is_soundfont) X(fluid_set_log_function)                                           \
  X(new_fluid_settings) X(delete_fluid_settings)                                            \
  X(fluid_settings_setstr) X(fluid_settings_setnum) X(fluid_settings_setint)                \
  X(new_fluid_synth) X(delete_fluid_synth) X(fluid_synth_sfload)                            \
  X(fluid_synth_system_reset) X(fluid_synth_write_float)                                    \
  X(new_fluid_player) X(delete_fluid_player) X(fluid_player_add_mem) X(fluid_player_play)   \
  X(fluid_player_stop) X(fluid_player_get_status) X(fluid_player_get_current_tick)          \
  X(fluid_player_get_total_ticks)
// clang-format on

struct FluidLibrary {
#define TESSARK_FLUID_POINTER(name) decltype(&::name) name = nullptr;
  TESSARK_FLUID_FUNCTIONS(TESSARK_FLUID_POINTER)
#undef TESSARK_FLUID_POINTER
};

void QuietLog(int, const char*, void*) {}

// The synthesiser library, loaded on the first call and kept for the rest of the program (its
// logging silenced); null when it cannot be loaded, which leaves MIDI files unplayable as a
// missing sound font does. Its symbols stay out of the program's global scope.
const FluidLibrary* Fluid() {
  static const FluidLibrary* const loaded = []() -> const FluidLibrary* {
    void* handle = dlopen(TESSARK_FLUIDSYNTH_SONAME, RTLD_NOW | RTLD_LOCAL);
    if (!handle) return nullptr;
    static FluidLibrary library;
    bool complete = true;
#define TESSARK_FLUID_RESOLVE(name)                                         \
  library.name = reinterpret_cast<decltype(&::name)>(dlsym(handle, #name)); \
  complete = complete && library.name;
    TESSARK_FLUID_FUNCTIONS(TESSARK_FLUID_RESOLVE)
#undef TESSARK_FLUID_RESOLVE
    if (!complete) {
      dlclose(handle);
      return nullptr;
    }
    for (int level : {FLUID_PANIC, FLUID_ERR, FLUID_WARN, FLUID_INFO, FLUID_DBG}) {
      library.fluid_set_log_function(level, QuietLog, nullptr);
    }
    return &library;
  }();
  return loaded;
}

class MidiDecoder final : public Decoder {
 public:
  explicit MidiDecoder(const FluidLibrary& library) : fluid_(&library) {}
  ~MidiDecoder() override { Close(); }

  // Takes the song; false when the sound font is missing or is not one. Nothing is loaded
  // yet: Prepare does that on the worker.
  bool Open(std::vector<char> song, const std::string& font) {
    song_ = std::move(song);
    font_ = font;
    channels_ = 2;
    rate_ = kMidiRate;
    return fluid_->fluid_is_soundfont(font_.c_str()) != 0;
  }

  bool Prepare() override {
    settings_ = fluid_->new_fluid_settings();
    if (!settings_) return false;
    // The player's clock must be the samples rendered, not the wall clock: the worker renders
    // ahead of what is heard.
    fluid_->fluid_settings_setstr(settings_, "player.timing-source", "sample");
    fluid_->fluid_settings_setnum(settings_, "synth.sample-rate", kMidiRate);
    fluid_->fluid_settings_setint(settings_, "synth.cpu-cores", 1);
    fluid_->fluid_settings_setint(settings_, "synth.lock-memory", 0);
    // The synthesiser's own default level is meant for mixing many sources; one song alone
    // plays at about the level of a sampled file.
    fluid_->fluid_settings_setnum(settings_, "synth.gain", 0.6);
    synth_ = fluid_->new_fluid_synth(settings_);
    if (!synth_ || fluid_->fluid_synth_sfload(synth_, font_.c_str(), 1) == FLUID_FAILED)
      return false;
    return Start();
  }

  long ReadFrames(float* out, long count) override {
    if (!player_ || count <= 0) return 0;
    // The player keeps running past its last event; the song is over once its clock has
    // passed the last tick.
    bool done = fluid_->fluid_player_get_status(player_) != FLUID_PLAYER_PLAYING ||
                fluid_->fluid_player_get_current_tick(player_) >=
                    fluid_->fluid_player_get_total_ticks(player_);
    if (done) {
      if (tail_left_ <= 0) return 0;
      count = static_cast<long>(std::min<std::int64_t>(count, tail_left_));
    }
    if (fluid_->fluid_synth_write_float(synth_, static_cast<int>(count), out, 0, 2, out, 1, 2) !=
        FLUID_OK) {
      return 0;
    }
    rendered_ += count;
    // After the last event, the notes still sounding die away; silence ends the file.
    if (done) tail_left_ = Silent(out, count) ? 0 : tail_left_ - count;
    if (tail_left_ <= 0 && frames_ < 0) frames_ = rendered_;
    return count;
  }

  bool Seek(std::int64_t frame, const std::atomic<bool>& abandon) override {
    if (!synth_ || !Start()) return false;
    // The player has no sample-exact seek: render from the start and drop what comes before.
    // That takes seconds for a long song, so the graph may call it off half-way.
    std::vector<float> scratch(2 * 4096);
    while (rendered_ < frame) {
      if (abandon.load(std::memory_order_relaxed)) return false;
      long n = static_cast<long>(std::min<std::int64_t>(4096, frame - rendered_));
      if (ReadFrames(scratch.data(), n) <= 0) break;
    }
    return true;
  }

 private:
  bool Start() {
    if (player_) {
      fluid_->fluid_player_stop(player_);
      fluid_->delete_fluid_player(player_);
      player_ = nullptr;
    }
    fluid_->fluid_synth_system_reset(synth_);
    player_ = fluid_->new_fluid_player(synth_);
    if (!player_ || fluid_->fluid_player_add_mem(player_, song_.data(), song_.size()) != FLUID_OK ||
        fluid_->fluid_player_play(player_) != FLUID_OK) {
      return false;
    }
    rendered_ = 0;
    tail_left_ = kMidiTailFrames;
    return true;
  }

  static bool Silent(const float* s, long frames) {
    constexpr float kQuiet = 8.0f / 32768.0f;
    for (long i = 0; i < 2 * frames; ++i) {
      if (s[i] > kQuiet || s[i] < -kQuiet) return false;
    }
    return true;
  }

  void Close() {
    if (player_) {
      fluid_->fluid_player_stop(player_);
      fluid_->delete_fluid_player(player_);
    }
    if (synth_) fluid_->delete_fluid_synth(synth_);
    if (settings_) fluid_->delete_fluid_settings(settings_);
    player_ = nullptr;
    synth_ = nullptr;
    settings_ = nullptr;
  }

  const FluidLibrary* fluid_;
  std::vector<char> song_;
  std::string font_;
  fluid_settings_t* settings_ = nullptr;
  fluid_synth_t* synth_ = nullptr;
  fluid_player_t* player_ = nullptr;
  std::int64_t rendered_ = 0;
  std::int64_t tail_left_ = kMidiTailFrames;
};

std::uint32_t Le32(const char* p) {
  return static_cast<std::uint8_t>(p[0]) | static_cast<std::uint8_t>(p[1]) << 8 |
         static_cast<std::uint8_t>(p[2]) << 16 |
         static_cast<std::uint32_t>(static_cast<std::uint8_t>(p[3])) << 24;
}

// The standard MIDI file in bytes: the file itself, or the data chunk of its RIFF form. Empty
// for anything else.
std::vector<char> MidiSong(const std::vector<char>& file) {
  if (file.size() >= 14 && std::memcmp(file.data(), "MThd", 4) == 0) return file;
  if (file.size() < 20 || std::memcmp(file.data(), "RIFF", 4) != 0 ||
      std::memcmp(file.data() + 8, "RMID", 4) != 0) {
    return {};
  }
  std::size_t at = 12;
  while (at + 8 <= file.size()) {
    std::size_t size = Le32(file.data() + at + 4);
    std::size_t body = at + 8;
    if (size > file.size() - body) break;
    if (std::memcmp(file.data() + at, "data", 4) == 0) {
      std::vector<char> song(file.begin() + static_cast<long>(body),
                             file.begin() + static_cast<long>(body + size));
      if (song.size() >= 14 && std::memcmp(song.data(), "MThd", 4) == 0) return song;
      break;
    }
    at = body + size + (size & 1);
  }
  return {};
}

// Reads up to limit bytes of the file.
bool ReadFile(const std::string& path, std::size_t limit, std::vector<char>* bytes) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  bytes->resize(limit);
  std::size_t got = std::fread(bytes->data(), 1, bytes->size(), f);
  std::fclose(f);
  bytes->resize(got);
  return true;
}

bool LooksLikeMidi(const std::vector<char>& head) {
  return (head.size() >= 4 && std::memcmp(head.data(), "MThd", 4) == 0) ||
         (head.size() >= 12 && std::memcmp(head.data(), "RIFF", 4) == 0 &&
          std::memcmp(head.data() + 8, "RMID", 4) == 0);
}

}  // namespace

long Decoder::Read(std::int16_t* out, long count) {
  const long channels = channels_;
  const long divisor = divisor_;
  long made = 0;
  while (made < count) {
    const long frames = std::clamp(kPieceSamples / (divisor * channels), 1L, count - made);
    const long want = frames * divisor;
    block_.resize(static_cast<std::size_t>(want * channels));
    long got = 0;
    while (got < want) {
      long n = ReadFrames(block_.data() + got * channels, want - got);
      if (n <= 0) break;
      got += n;
    }
    // The last frame of the file may stand for fewer than divisor of its frames.
    const long produced = (got + divisor - 1) / divisor;
    for (long f = 0; f < produced; ++f) {
      const float* first = block_.data() + f * divisor * channels;
      const long n = std::min(divisor, got - f * divisor);
      for (long c = 0; c < channels; ++c) {
        float sum = 0;
        for (long k = 0; k < n; ++k) sum += first[k * channels + c];
        out[(made + f) * channels + c] = ToShort(sum / static_cast<float>(n));
      }
    }
    made += produced;
    if (got < want) break;
  }
  return made;
}

void Decoder::SetDivisor(int divisor) {
  divisor_ = std::clamp(divisor, 1, kMaxRateDivisor);
}

void SoundFontSet(const char* path) {
  std::lock_guard<std::mutex> guard(g_font_lock);
  g_sound_font = path ? path : kDefaultSoundFont;
}

std::unique_ptr<Decoder> DecoderOpen(const std::string& path, HRESULT* why) {
  *why = VFW_E_UNSUPPORTED_STREAM;
  struct stat st {};
  if (path.empty() || ::stat(path.c_str(), &st) != 0) {
    *why = VFW_E_NOT_FOUND;
    return nullptr;
  }
  if (!S_ISREG(st.st_mode)) return nullptr;
  std::vector<char> head;
  if (!ReadFile(path, 12, &head)) {
    *why = VFW_E_NOT_FOUND;
    return nullptr;
  }
  if (LooksLikeMidi(head)) {
    std::vector<char> file;
    if (st.st_size > kMidiFileMax || !ReadFile(path, kMidiFileMax, &file)) return nullptr;
    std::vector<char> song = MidiSong(file);
    if (song.empty()) return nullptr;
    {
      std::string font;
      {
        std::lock_guard<std::mutex> guard(g_font_lock);
        font = g_sound_font;
      }
      const FluidLibrary* library = Fluid();
      if (!library) return nullptr;
      auto midi = std::make_unique<MidiDecoder>(*library);
      if (!midi->Open(std::move(song), font)) return nullptr;
      return midi;
    }
  }
  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  if (!file) return nullptr;
  // Rates above the sound buffer's are divided down, up to a limit no real file comes near.
  if (info.channels < 1 || info.samplerate < DSBFREQUENCY_MIN ||
      info.samplerate > DSBFREQUENCY_MAX * kMaxRateDivisor) {
    sf_close(file);
    return nullptr;
  }
  return std::make_unique<SndfileDecoder>(file, info);
}

}  // namespace dshow

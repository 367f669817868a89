// Music costs. BM_MusicStart: MusicLoad of a 3-minute MP3 and PlayMusic, which must return at
// once because decoding streams beside the program (target under 20 ms). BM_MusicPlaying: the
// processor time of the whole process while SDL's audio thread (dummy driver, real time) mixes
// for a few seconds, with an MP3 or Ogg music playing and then with it stopped, in the same
// run; the difference is what decoding and mixing the music costs (target under 3 % of one
// core).
#include <benchmark/benchmark.h>
#include <sndfile.h>
#include <time.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "runtime/core/core_data.h"
#include "runtime/core/errors.h"
#include "runtime/music/music_state.h"
#include "tessark/music.h"

namespace {

using namespace tessark;

// A stereo piece of seconds (a slow chord progression, so the encoder has real work) in the
// given format, made once and kept in the temporary folder.
std::string Piece(const char* name, int format, int seconds) {
  std::string path = (std::filesystem::temp_directory_path() / name).string();
  if (std::filesystem::exists(path)) return path;
  SF_INFO info{};
  info.samplerate = 44100;
  info.channels = 2;
  info.format = format;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  if (!file) return "";
  std::vector<float> block(2 * 44100);
  const double chords[4][3] = {
      {261.6, 329.6, 392.0}, {220.0, 261.6, 329.6}, {174.6, 220.0, 261.6}, {196.0, 246.9, 293.7}};
  for (int s = 0; s < seconds; ++s) {
    const double* chord = chords[s % 4];
    for (int i = 0; i < 44100; ++i) {
      double t = s + i / 44100.0;
      double l = 0, r = 0;
      for (int k = 0; k < 3; ++k) {
        l += 0.2 * std::sin(2 * M_PI * chord[k] * t);
        r += 0.2 * std::sin(2 * M_PI * chord[k] * 1.002 * t);
      }
      block[2 * static_cast<std::size_t>(i)] = static_cast<float>(l);
      block[2 * static_cast<std::size_t>(i) + 1] = static_cast<float>(r);
    }
    sf_writef_float(file, block.data(), 44100);
  }
  sf_close(file);
  return path;
}

double ProcessSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// The music module on the real sound output (SDL's dummy driver unless one is chosen).
struct MusicModule {
  std::int32_t error = 0;
  dsound::Ref<IDirectSound8> device;
  MusicModule() {
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    CoreDataDefaults();
    ErrorWordSet(&error);
    DirectSoundShared(&device);  // the device the program's sounds would play on
    music::Constructor(nullptr);
    music::SetErrorHandler(&error);
    music::PassCoreData(CoreDataGet());
  }
  ~MusicModule() {
    music::Destructor();
    ErrorWordSet(nullptr);
  }
};

void BM_MusicStart(benchmark::State& state) {
  std::string mp3 = Piece("tessark_bench_3min.mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 180);
  if (mp3.empty()) return state.SkipWithError("libsndfile cannot write MP3 here");
  MusicModule module;
  for (auto _ : state) {
    MusicLoad(mp3.c_str(), 1);
    PlayMusic(1);
    state.PauseTiming();
    if (!MusicPlaying(1)) return state.SkipWithError("the music did not start");
    MusicDelete(1);
    state.ResumeTiming();
  }
}
BENCHMARK(BM_MusicStart)->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_MusicPlaying(benchmark::State& state) {
  bool ogg = state.range(0) == 1;
  std::string file =
      ogg ? Piece("tessark_bench_30s.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 30)
          : Piece("tessark_bench_3min.mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 180);
  if (file.empty()) return state.SkipWithError("libsndfile cannot write the file here");
  MusicModule module;
  MusicLoad(file.c_str(), 1);
  constexpr auto kSpan = std::chrono::seconds(4);
  double playing = 0;
  double stopped = 0;
  for (auto _ : state) {
    MusicLoop(1);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // settled
    double start = ProcessSeconds();
    auto until = std::chrono::steady_clock::now() + kSpan;
    while (std::chrono::steady_clock::now() < until) {
      music::Update();  // once a frame, as FrameSync does
      std::this_thread::sleep_for(std::chrono::milliseconds(16));
    }
    playing = (ProcessSeconds() - start) / 4.0;
    StopMusic(1);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    start = ProcessSeconds();
    until = std::chrono::steady_clock::now() + kSpan;
    while (std::chrono::steady_clock::now() < until) {
      music::Update();
      std::this_thread::sleep_for(std::chrono::milliseconds(16));
    }
    stopped = (ProcessSeconds() - start) / 4.0;
  }
  state.counters["core_pct_playing"] = 100 * playing;
  state.counters["core_pct_stopped"] = 100 * stopped;
  state.counters["core_pct_music"] = 100 * (playing - stopped);
  state.SetLabel(ogg ? "Ogg Vorbis" : "MP3");
}
BENCHMARK(BM_MusicPlaying)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();

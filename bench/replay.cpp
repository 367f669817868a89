// Record and replay figures:
//   frame hash <us>           hashing a 640 x 480 back buffer (recording and the check, per frame)
//   kept copy <us>            a separate copy of a frame: what the check would pay for its kept
//                             picture if the hash did not copy the frame in its own pass
//   record items <ns>         writing a frame's clock reading and hash
//   bytes a minute            a scripted minute of busy play recorded (the pointer moves every
//                             other frame, a click every second), and the game's processor time
//                             per frame while recording it
//   replay-fast 5 min <s>     a five-minute recording replayed headless with the check on: wall
//                             and processor seconds
// What recording adds to a frame is the frame hash and the record items (a frame's write and
// flush to the file is one system call besides).
// The program runs are headless (SDL's dummy drivers); --game=<program> measures another build.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "platform/replay/replay_file.h"

namespace {

namespace fs = std::filesystem;

constexpr int kWidth = 640, kHeight = 480;
constexpr int kFramesAMinute = 4000;  // the game's rate 60 gives a 15 ms period

std::string g_game = KETTLEBRIM_PATH;

std::vector<std::uint8_t> Picture() {
  std::vector<std::uint8_t> bits(static_cast<std::size_t>(kWidth) * kHeight * 4);
  std::mt19937 random(7);
  for (auto& b : bits) b = static_cast<std::uint8_t>(random());
  return bits;
}

void FrameHash(benchmark::State& state) {
  std::vector<std::uint8_t> bits = Picture();
  for (auto _ : state) {
    benchmark::DoNotOptimize(replay::PictureHash(bits.data(), kWidth, kHeight, kWidth * 4, 4));
  }
}
BENCHMARK(FrameHash)->Unit(benchmark::kMicrosecond);

void KeptCopy(benchmark::State& state) {
  std::vector<std::uint8_t> bits = Picture(), copy;
  for (auto _ : state) {
    copy.assign(bits.begin(), bits.end());
    benchmark::DoNotOptimize(copy.data());
  }
}
BENCHMARK(KeptCopy)->Unit(benchmark::kMicrosecond);

void RecordItems(benchmark::State& state) {
  replay::Writer writer;
  std::uint64_t clock = 1000;
  std::uint16_t hash = 1;
  for (auto _ : state) {
    writer.Clock(clock += 15);
    writer.Frame(true, hash = static_cast<std::uint16_t>(hash * 31 + 7));
    if (writer.pending() > 4096) benchmark::DoNotOptimize(writer.Take());
  }
}
BENCHMARK(RecordItems);

// A scripted stretch of ordinary play: the title click, then the pointer wandering over the pot
// every other frame and a click every 60 frames.
std::string PlayScript(int frames) {
  std::string s = "frame 10 mouse 320 60; frame 11 press left; frame 13 release left\n";
  std::mt19937 random(11);
  for (int f = 30; f < frames; f += 2) {
    s += "frame " + std::to_string(f) + " mouse " + std::to_string(200 + random() % 240) + " " +
         std::to_string(120 + random() % 250) + "\n";
    if (f % 60 == 0)
      s += "frame " + std::to_string(f) + " press left; frame " + std::to_string(f + 1) +
           " release left\n";
  }
  s += "frame " + std::to_string(frames) + " end\n";
  return s;
}

struct ChildRun {
  int status = -1;
  double seconds = 0, cpu_seconds = 0;
};

// Runs the game headless with these arguments and environment; its wall and processor time.
ChildRun RunGame(const std::vector<std::string>& arguments, const std::string& record_to) {
  auto start = std::chrono::steady_clock::now();
  pid_t pid = fork();
  if (pid == 0) {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    if (!record_to.empty()) setenv("TESSARK_RECORD_SCRIPT", record_to.c_str(), 1);
    std::freopen("/dev/null", "w", stdout);
    std::freopen("/dev/null", "w", stderr);
    std::vector<char*> argv{const_cast<char*>(g_game.c_str())};
    for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(g_game.c_str(), argv.data());
    _exit(127);
  }
  ChildRun run;
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  run.cpu_seconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                    static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  return run;
}

fs::path Folder() {
  fs::path folder = fs::temp_directory_path() / ("bench_replay_" + std::to_string(getpid()));
  fs::create_directories(folder);
  return folder;
}

fs::path WriteScript(int frames) {
  fs::path path = Folder() / ("play" + std::to_string(frames) + ".txt");
  std::FILE* f = std::fopen(path.c_str(), "w");
  std::string text = PlayScript(frames);
  std::fwrite(text.data(), 1, text.size(), f);
  std::fclose(f);
  return path;
}

void ScriptedMinuteRecorded(benchmark::State& state) {
  fs::path script = WriteScript(kFramesAMinute);
  fs::path out = Folder() / "minute.rec";
  ChildRun run;
  for (auto _ : state) {
    run = RunGame({"--replay", script.string(), "--replay-fast"}, out.string());
    if (run.status != 0) state.SkipWithError("the scripted run failed");
  }
  state.counters["bytes_a_minute"] = static_cast<double>(fs::file_size(out));
  state.counters["cpu_ms_per_frame"] = run.cpu_seconds * 1000 / kFramesAMinute;
}
BENCHMARK(ScriptedMinuteRecorded)->Iterations(1)->Unit(benchmark::kSecond);

void ReplayFastFiveMinutes(benchmark::State& state) {
  fs::path script = WriteScript(5 * kFramesAMinute);
  fs::path out = Folder() / "five.rec";
  if (RunGame({"--replay", script.string(), "--replay-fast"}, out.string()).status != 0) {
    state.SkipWithError("recording the five minutes failed");
    return;
  }
  ChildRun run;
  for (auto _ : state) {
    run = RunGame({"--replay", out.string(), "--replay-fast", "--replay-check"}, "");
    if (run.status != 0) state.SkipWithError("the replay found a difference");
  }
  state.counters["replay_seconds"] = run.seconds;
  state.counters["replay_cpu_seconds"] = run.cpu_seconds;
  state.counters["bytes"] = static_cast<double>(fs::file_size(out));
}
BENCHMARK(ReplayFastFiveMinutes)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a.rfind("--game=", 0) == 0) g_game = a.substr(7);
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  fs::remove_all(Folder());
  return 0;
}

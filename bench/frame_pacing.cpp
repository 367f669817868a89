// Frame pacing: FrameSync at rate 60 (a 15 ms period) on the runtime, headless. Measures how
// late each frame's wait ends after its deadline (the previous frame's stamp plus the period,
// or the call itself when that comes later) and the processor time the waiting process uses.
// The display module is left out: its present waits for the retrace, which is not the frame
// wait's doing. Ends with the two figures:
//   p99 lateness <ms> ms
//   cpu <percent> %
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/win32/user.h"
#include "runtime/core/core.h"
#include "runtime/core/errors.h"
#include "runtime/core/module_table.h"
#include "runtime/core/runtime_state.h"
#include "runtime/runtime_wire.h"
#include "tessark/core.h"

using namespace tessark;

namespace {

constexpr int kFrames = 400;
constexpr std::uint64_t kPeriodMicros = 15000;

std::vector<double> g_lateness_ms;
double g_cpu_percent = 0;

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void FrameSyncAt60(benchmark::State& state) {
  tessark::RuntimeState& rt = tessark::Runtime();
  FrameSyncManual();
  FrameSetRate(60);
  FrameSync();  // the first stamp
  g_lateness_ms.clear();
  double cpu_start = CpuSeconds();
  std::uint64_t wall_start = tessark::ClockMicros();
  for (auto _ : state) {
    std::uint64_t deadline = std::max(rt.last_frame_micros + kPeriodMicros, tessark::ClockMicros());
    FrameSync();
    g_lateness_ms.push_back(static_cast<double>(rt.last_frame_micros - deadline) / 1000.0);
  }
  double wall = static_cast<double>(tessark::ClockMicros() - wall_start) / 1e6;
  g_cpu_percent = wall > 0 ? 100.0 * (CpuSeconds() - cpu_start) / wall : 0;
}
BENCHMARK(FrameSyncAt60)->Iterations(kFrames)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  setenv("SDL_VIDEODRIVER", "dummy", 0);
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  std::int32_t error_word = 0;
  tessark::RuntimeWire();
  tessark::Modules().display = tessark::DisplayEntries{};
  tessark::ErrorWordSet(&error_word);
  tessark::RuntimeOpen(1, 640, 480, 32, win32::GetModuleHandleA(nullptr), "");

  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  tessark::RuntimeClose();

  if (g_lateness_ms.empty()) return 1;
  std::sort(g_lateness_ms.begin(), g_lateness_ms.end());
  auto at = [](double q) {
    return g_lateness_ms[static_cast<std::size_t>(q * (g_lateness_ms.size() - 1))];
  };
  std::printf("lateness p50 %.3f  p90 %.3f  max %.3f ms\n", at(0.5), at(0.9), at(1.0));
  double p99 = at(0.99);
  std::printf("p99 lateness %.3f ms\n", p99);
  std::printf("cpu %.1f %%\n", g_cpu_percent);
  return 0;
}

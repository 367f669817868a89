// One full Kettlebrim frame on the real runtime, headless: two physics steps, the token
// update, the effects, and the whole draw (backdrop, pot, tokens, HUD, buttons, ring, effects),
// with a full pot of 200 tokens and 1000 live effects, and with a typical pot of 60 tokens.
// Presentation is left out: it waits for the display and is measured elsewhere.
#include <benchmark/benchmark.h>
#include <link.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <tessark/tessark.h>

#include "game/game.h"
#include "platform/d3d9/d3d9.h"
#include "runtime/core/core.h"
#include "runtime/core/errors.h"
#include "runtime/core/module_table.h"
#include "runtime/runtime_wire.h"

using namespace tessark;

// Every heap allocation of the process is counted, whoever makes it, so that the frame's
// allocations can be reported per frame. Those the physics library makes itself (its caller
// lies in the library's loaded code) are counted apart as well, so the rest can be told apart.
static std::uint64_t g_allocations = 0;
static std::uint64_t g_physics_allocations = 0;
static std::uintptr_t g_physics_begin = 0;
static std::uintptr_t g_physics_end = 0;
extern "C" void* __libc_malloc(std::size_t size);
extern "C" void* __libc_calloc(std::size_t count, std::size_t size);
extern "C" void* __libc_realloc(void* block, std::size_t size);
static inline void Count(void* caller) {
  ++g_allocations;
  const auto at = reinterpret_cast<std::uintptr_t>(caller);
  if (at >= g_physics_begin && at < g_physics_end) ++g_physics_allocations;
}
extern "C" void* malloc(std::size_t size) {
  Count(__builtin_return_address(0));
  return __libc_malloc(size);
}
extern "C" void* calloc(std::size_t count, std::size_t size) {
  Count(__builtin_return_address(0));
  return __libc_calloc(count, size);
}
extern "C" void* realloc(void* block, std::size_t size) {
  Count(__builtin_return_address(0));
  return __libc_realloc(block, size);
}

// Finds the address range of the loaded physics library.
static int NotePhysicsLibrary(dl_phdr_info* info, std::size_t, void*) {
  if (!info->dlpi_name || !std::strstr(info->dlpi_name, "chipmunk")) return 0;
  for (int i = 0; i < info->dlpi_phnum; ++i) {
    const ElfW(Phdr)& ph = info->dlpi_phdr[i];
    if (ph.p_type != PT_LOAD) continue;
    const std::uintptr_t begin = info->dlpi_addr + ph.p_vaddr;
    const std::uintptr_t end = begin + ph.p_memsz;
    if (g_physics_begin == 0 || begin < g_physics_begin) g_physics_begin = begin;
    if (end > g_physics_end) g_physics_end = end;
  }
  return 1;
}

namespace {

using namespace kettlebrim;

std::int32_t g_error_word = 0;

// Opens the runtime in the folder that holds Data, starts the game and moves to its screen.
void OpenGame() {
  static bool open = false;
  if (open) return;
  open = true;
  dl_iterate_phdr(NotePhysicsLibrary, nullptr);
  setenv("SDL_VIDEODRIVER", "dummy", 0);
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  if (chdir(KETTLEBRIM_DATA_PARENT) != 0) std::abort();
  tessark::RuntimeWire();
  tessark::ErrorWordSet(&g_error_word);
  tessark::RuntimeOpen(1, 640, 480, 32, nullptr, "");
  GameStartUp();
  RandomSeed(7);
  ScreenShow(kScreenGame);
}

// Fills the pot: tokens spread over the pot's inside, the rest of the state playing.
void Populate(int tokens, int effects) {
  ScreenShow(kScreenGame);
  g_state.game.phase = kPhasePlaying;
  for (int i = 0; i < tokens; ++i) {
    TokensSpawn(g_state.tokens, g_state.pot, 200 + (i * 37) % 240, 120 + (i * 53) % 250, i % 6);
  }
  EffectsReset(g_state.effects);
  for (int i = 0; i < effects; ++i) {
    bool pop = i % 2 == 0;
    EffectCreate(g_state.effects, pop ? kEffectAnimation : kEffectFadingSprite, (i * 13) % 600,
                 (i * 7) % 440, 0, 0, pop ? kImagePop : kImageMultiplierBase + 3, pop ? 2 : 0, 3,
                 1 << 30, true);
  }
  g_state.mouse.x = 320;
  g_state.mouse.y = 300;
}

void Frame() {
  ScreenClear(0);
  ScreenTick();
}

// A hash (FNV-1a) of the back buffer's pixels, printed once per pot for its first settled frame:
// the same number before and after a change to the draw path means the frame is the same to the
// bit. The typical pot starts from where the full pot's run left the game, so compare its
// number with the filter set to it alone.
std::uint64_t BackBufferHash() {
  IDirect3DDevice9* device =
      Modules().display.DisplayDevice ? Modules().display.DisplayDevice() : nullptr;
  if (!device) return 0;
  Ref<IDirect3DSurface9> back;
  device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, back.Put());
  D3DSURFACE_DESC desc;
  D3DLOCKED_RECT lr;
  if (!back || FAILED(back->GetDesc(&desc)) ||
      FAILED(back->LockRect(&lr, nullptr, D3DLOCK_READONLY))) {
    return 0;
  }
  std::uint64_t hash = 14695981039346656037ull;
  for (UINT y = 0; y < desc.Height; ++y) {
    const BYTE* row =
        static_cast<const BYTE*>(lr.pBits) + static_cast<std::ptrdiff_t>(y) * lr.Pitch;
    for (UINT i = 0; i < desc.Width * 4; ++i) hash = (hash ^ row[i]) * 1099511628211ull;
  }
  back->UnlockRect();
  return hash;
}

void PrintHashOnce(const char* name) {
  static bool full = false, typical = false;
  bool& printed = name[0] == 'f' ? full : typical;
  if (printed) return;
  printed = true;
  std::fprintf(stderr, "%s pot picture after 120 frames: %016llx\n", name,
               static_cast<unsigned long long>(BackBufferHash()));
}

// Runs frames and reports the allocations made per frame once the pot has settled in.
void Run(benchmark::State& state, int tokens, int effects) {
  OpenGame();
  Populate(tokens, effects);
  for (int i = 0; i < 120; ++i) Frame();
  PrintHashOnce(tokens == 200 ? "full" : "typical");
  std::uint64_t before = g_allocations;
  std::uint64_t physics_before = g_physics_allocations;
  std::uint64_t refill_allocations = 0;
  std::uint64_t refill_physics = 0;
  for (auto _ : state) {
    Frame();
    // Tokens that spilled over the rim are dropped in again, outside the timing, so the pot
    // keeps its count.
    int active = 0;
    for (const Token& t : g_state.tokens.slots) active += t.active;
    if (active < tokens) {
      state.PauseTiming();
      std::uint64_t mark = g_allocations;
      std::uint64_t physics_mark = g_physics_allocations;
      for (int i = active; i < tokens; ++i) {
        TokensSpawn(g_state.tokens, g_state.pot, 230 + (i * 37) % 180, -40 * (i % 8), i % 6);
      }
      g_state.game.chances = 3;
      g_state.game.phase = kPhasePlaying;
      refill_allocations += g_allocations - mark;
      refill_physics += g_physics_allocations - physics_mark;
      state.ResumeTiming();
    }
  }
  before += refill_allocations;
  physics_before += refill_physics;
  const double frames = static_cast<double>(state.iterations());
  const double all = static_cast<double>(g_allocations - before);
  const double physics = static_cast<double>(g_physics_allocations - physics_before);
  state.counters["allocs/frame"] = benchmark::Counter(all / frames);
  state.counters["physics_allocs/frame"] = benchmark::Counter(physics / frames);
  state.counters["runtime_allocs/frame"] = benchmark::Counter((all - physics) / frames);
}

void BM_FullPot(benchmark::State& state) {
  Run(state, 200, 1000);
}
BENCHMARK(BM_FullPot)->Unit(benchmark::kMillisecond);

void BM_TypicalPot(benchmark::State& state) {
  Run(state, 60, 20);
}
BENCHMARK(BM_TypicalPot)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

// The text module's costs: building the glyph atlas at three sizes, and drawing strings of 50
// and 120 characters (one and three batches) onto a software device's 640 by 480 back buffer.
#include <benchmark/benchmark.h>

#include <string>

#include "platform/d3d9/d3d9.h"
#include "runtime/core/core_data.h"
#include "runtime/core/module_table.h"
#include "runtime/core/text_alloc.h"
#include "runtime/text/text_state.h"
#include "tessark/text.h"

using namespace tessark;

namespace tessark::text {
void Wire(ModuleTable& table);
}

namespace {

Ref<IDirect3DDevice9> g_device;

IDirect3DDevice9* Device() {
  return g_device.Get();
}

// Opens a device and the text module on it, for the life of one benchmark.
struct TextBench {
  Ref<IDirect3D9> d3d;
  Ref<IDirect3DSurface9> back_buffer;
  TextBench() {
    tessark::CoreDataDefaults();
    tessark::ModuleTable& table = tessark::Modules();
    table = tessark::ModuleTable{};
    tessark::text::Wire(table);
    table.display.DisplayDevice = Device;
    d3d = Ref<IDirect3D9>::Adopt(Direct3DCreate9(D3D_SDK_VERSION));
    D3DPRESENT_PARAMETERS params{};
    params.BackBufferWidth = 640;
    params.BackBufferHeight = 480;
    params.BackBufferFormat = D3DFMT_X8R8G8B8;
    params.BackBufferCount = 1;
    params.SwapEffect = D3DSWAPEFFECT_DISCARD;
    params.Windowed = TRUE;
    params.Flags = D3DPRESENTFLAG_LOCKABLE_BACKBUFFER;
    d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &params,
                      g_device.Put());
    g_device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, back_buffer.Put());
    tessark::CoreData& core = *tessark::CoreDataGet();
    core.TextAlloc = tessark::TextAlloc;
    core.display_width = 640;
    core.display_height = 480;
    core.render_surface = back_buffer.Get();
    g_device->BeginScene();
    table.text.Constructor(nullptr);
    table.text.PassCoreData(&core);
  }
  ~TextBench() {
    tessark::Modules().text.Destructor();
    g_device->EndScene();
    back_buffer.Reset();
    g_device.Reset();
  }
};

void BM_AtlasBuild(benchmark::State& state) {
  TextBench bench;
  TextSetFont("arial");
  TextSetSize(static_cast<std::uint32_t>(state.range(0)));
  // A rebuild only marks the atlas stale; the next print, or AtlasEnsure, builds it.
  for (auto _ : state) {
    tessark::text::FontRebuild();
    tessark::text::AtlasEnsure();
  }
  state.counters["texture"] = tessark::text::State().texture_width;
}
BENCHMARK(BM_AtlasBuild)->Arg(12)->Arg(24)->Arg(100)->Unit(benchmark::kMillisecond);

void BM_PrintAt(benchmark::State& state) {
  TextBench bench;
  TextSetFont("arial");
  TextSetSize(12);
  std::string text;
  while (text.size() < static_cast<std::size_t>(state.range(0))) text += "The quick brown fox ";
  text.resize(static_cast<std::size_t>(state.range(0)));
  TextPrintAt(0, 0, text.c_str());  // takes the ink once
  for (auto _ : state) TextPrintAt(0, 100, text.c_str());
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_PrintAt)->Arg(50)->Arg(120)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();

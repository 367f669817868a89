// Fuzzes music files through the filter graph: every input is written as a file and rendered
// on a headless mixer, then played for a moment and to its end. Rendering must either succeed
// or fail with a result; playing must end in a completion, never a crash or a hang. Inputs that
// start like a MIDI file (or its RIFF form) reach the chunk walker and the synthesiser. Inputs
// of even size start at a speed that passes the sound buffer's highest frequency, so the
// decoder divides the rate, and drop back to normal speed a moment later, which seeks and
// decodes again. Run it with LSAN_OPTIONS=suppressions=tests/lsan.supp: the Vorbis library
// leaks on damaged headers.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/dshow/dshow.h"
#include "fuzz/input_file.h"

namespace {

const InputFile g_file("music_file", ".bin");
std::u16string g_wide;
dsound::Ref<IDirectSound8> g_device;

void OpenOnce() {
  if (!g_wide.empty()) return;
  for (char c : g_file.path()) g_wide += static_cast<char16_t>(c);
  dsound::testing::SetOutput(dsound::testing::Output::kHeadless, 44100);
  DirectSoundShared(&g_device);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  OpenOnce();
  if (!g_file.Write(data, size)) return 0;
  void* made = nullptr;
  if (FAILED(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                              &made))) {
    return 0;
  }
  dsound::Ref<IGraphBuilder> graph(static_cast<IGraphBuilder*>(made));
  if (FAILED(graph->RenderFile(g_wide.c_str(), nullptr))) return 0;
  void* p = nullptr;
  graph->QueryInterface(IID_IMediaControl, &p);
  dsound::Ref<IMediaControl> control(static_cast<IMediaControl*>(p));
  graph->QueryInterface(IID_IMediaEventEx, &p);
  dsound::Ref<IMediaEventEx> events(static_cast<IMediaEventEx*>(p));
  graph->QueryInterface(IID_IMediaSeeking, &p);
  dsound::Ref<IMediaSeeking> seeking(static_cast<IMediaSeeking*>(p));
  const bool fast = size % 2 == 0;
  if (fast) seeking->SetRate(2.5);
  control->Run();
  std::int16_t out[2 * 4096];
  LONG code = 0;
  LONG_PTR p1 = 0;
  LONG_PTR p2 = 0;
  // A minute of output at most; a file that decodes to more is cut short.
  for (int block = 0; block < 650; ++block) {
    dshow::testing::WaitIdle();
    dsound::testing::MixerPull(g_device.get(), out, 4096);
    if (fast && block == 2) seeking->SetRate(1.0);
    if (events->GetEvent(&code, &p1, &p2, 0) == S_OK && code == EC_COMPLETE) break;
  }
  return 0;
}

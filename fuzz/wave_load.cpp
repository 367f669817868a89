// Fuzzes the sound loader: every input is written as a wave file and loaded as a 2D and as a
// 3D sound on a headless mixer. A load must either make a playable sound or fail quietly;
// what loads is played for a moment so that the mixer reads the whole buffer path too.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/dsound/dsound.h"
#include "runtime/core/core_data.h"
#include "runtime/core/errors.h"
#include "runtime/sound/sound_state.h"
#include "tessark/sound.h"
#include "fuzz/input_file.h"

using namespace tessark;

namespace {

const InputFile g_file("wave_load", ".wav");
bool g_open = false;
std::int32_t g_error = 0;

void OpenOnce() {
  if (g_open) return;
  g_open = true;
  dsound::testing::SetOutput(dsound::testing::Output::kHeadless, 44100);
  tessark::CoreDataDefaults();
  tessark::ErrorWordSet(&g_error);
  tessark::sound::PassCoreData(tessark::CoreDataGet());
  tessark::sound::Constructor(nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  OpenOnce();
  if (!g_file.Write(data, size)) return 0;
  for (std::int32_t is_3d = 0; is_3d < 2; ++is_3d) {
    SoundLoad(g_file.path().c_str(), 1, is_3d, 1);
    if (SoundExists(1)) {
      SoundSetSpeed(1, 100000);
      SoundLoop(1);
      std::int16_t out[2 * 512];
      dsound::testing::MixerPull(tessark::sound::Device(), out, 512);
      tessark::sound::Update();
      SoundDelete(1);
    }
  }
  return 0;
}

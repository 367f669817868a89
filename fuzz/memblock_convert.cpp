// Fuzzes the conversions from memory blocks: the bytes of each input become block 1, which is
// then handed to ImageFromMemblock, BitmapFromMemblock and SoundFromMemblock. Whatever the
// header claims, the conversions must read nothing past the block (AddressSanitizer watches)
// and must not crash or hang; a refused block only sets the error word. The whole runtime is
// opened once, headless; run it with LSAN_OPTIONS=suppressions=tests/lsan.supp for the font and
// display libraries' own caches.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "platform/dsound/dsound.h"
#include "runtime/core/core.h"
#include "runtime/core/errors.h"
#include "runtime/runtime_wire.h"
#include "tessark/tessark.h"

namespace {

std::int32_t g_error = 0;

void Open() {
  static const bool opened = [] {
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    dsound::testing::SetOutput(dsound::testing::Output::kHeadless);
    tessark::RuntimeWire();
    tessark::ErrorWordSet(&g_error);
    if (tessark::RuntimeOpen(1, 640, 480, 32, nullptr, "") != 0) std::abort();
    // Closed before the modules' static state goes, so nothing outlives what it points into.
    std::atexit([] { tessark::RuntimeClose(); });
    return true;
  }();
  (void)opened;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Open();
  if (size == 0 || size > (1u << 20)) return 0;
  using namespace tessark;
  MemblockMake(1, static_cast<std::int32_t>(size));
  std::memcpy(MemblockAddress(1), data, size);
  ImageFromMemblock(1, 1);
  BitmapFromMemblock(1, 1);
  SoundFromMemblock(1, 1);
  // Back again, so the data-out side runs on whatever was made.
  if (ImageExists(1)) MemblockFromImage(2, 1);
  if (BitmapExists(1)) MemblockFromBitmap(3, 1);
  if (SoundExists(1)) MemblockFromSound(4, 1);
  for (std::int32_t number = 1; number <= 4; ++number) {
    if (MemblockExists(number)) MemblockDelete(number);
  }
  if (ImageExists(1)) ImageDelete(1);
  if (BitmapExists(1)) BitmapDelete(1);
  if (SoundExists(1)) SoundDelete(1);
  g_error = 0;
  return 0;
}

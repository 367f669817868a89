// Starting and ending record and replay from the launch options; see replay_session.h.
#include "runtime/core/replay_session.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/replay/replay.h"

namespace tessark {

namespace {

constexpr int kExitUnusable = 2;

// The folder the program was started in: the entry then moves to the one holding Data, but
// the file names given on the command line are the user's, relative to where they stood.
std::filesystem::path g_start_folder;

std::string FromStartFolder(const std::string& name) {
  if (name.empty() || g_start_folder.empty()) return name;
  return (g_start_folder / name).string();
}

// TESSARK_REPLAY_INTERVAL=N keeps a frame hash every N frames instead of every frame.
std::uint32_t CheckInterval() {
  const char* text = std::getenv("TESSARK_REPLAY_INTERVAL");
  if (!text || !*text) return 1;
  char* end = nullptr;
  unsigned long n = std::strtoul(text, &end, 10);
  return *end == '\0' && n >= 1 && n <= 3600 ? static_cast<std::uint32_t>(n) : 1;
}

}  // namespace

void ReplayPrepare(const LaunchOptions& options) {
  std::error_code error;
  g_start_folder = std::filesystem::current_path(error);
  if (options.replay.empty() || !options.replay_fast) return;
  setenv("SDL_VIDEODRIVER", "dummy", 0);
  setenv("SDL_AUDIODRIVER", "dummy", 0);
}

void ReplaySessionOpen(std::int32_t width, std::int32_t height) {
  const LaunchOptions& launch = LaunchOptionsGet();
  if (launch.record.empty() && launch.replay.empty()) return;
  replay::Options options;
  options.record = FromStartFolder(launch.record);
  // A scripted replay may record itself, which makes real recordings without a display; the
  // launch options keep --record and --replay apart, so this one is a variable alone.
  const char* script_record = std::getenv("TESSARK_RECORD_SCRIPT");
  if (options.record.empty() && script_record && *script_record)
    options.record = FromStartFolder(script_record);
  options.replay = FromStartFolder(launch.replay);
  options.fast = launch.replay_fast;
  options.check = launch.replay_check;
  // The window's own size: a recording made at another scale would click elsewhere.
  options.width = static_cast<std::uint32_t>(width * launch.scale);
  options.height = static_cast<std::uint32_t>(height * launch.scale);
  options.check_interval = CheckInterval();
  std::string fault = replay::Start(options);
  if (fault.empty()) return;
  std::fprintf(stderr, "%s: %s\n", launch.program.empty() ? "tessark" : launch.program.c_str(),
               fault.c_str());
  std::fflush(nullptr);
  std::_Exit(kExitUnusable);
}

int ReplaySessionClose() {
  return replay::Finish();
}

}  // namespace tessark

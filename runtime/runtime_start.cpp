// Starting and stopping the runtime: what the program entry does before GameMain, shared with a
// game that keeps its own main (RuntimeStart, RuntimeStop). The start reads the launch options,
// enters the folder that holds the game's Data (as a program on its home platform starts in its
// own folder), makes sure a window can be opened at all, and opens the runtime. A worker
// meanwhile loads the font configuration and decodes the pictures under Data ahead of their
// loads, since the runtime's opening mostly waits for the display (its start-up frames), and
// the game's first text and its first pictures would otherwise do that work on the way to the
// first picture shown.
#include "runtime/runtime_start.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/d3dx9/decode_ahead.h"
#include "platform/gdi/gdi.h"
#include "platform/win32/user.h"
#include "runtime/core/core.h"
#include "runtime/core/core_data.h"
#include "runtime/core/errors.h"
#include "runtime/core/launch_options.h"
#include "runtime/core/replay_session.h"
#include "runtime/core/program.h"
#include "runtime/runtime_wire.h"
#include "tessark/core.h"

namespace tessark {

namespace {

namespace fs = std::filesystem;

// How long after the video driver is up the start-up worker begins decoding pictures.
constexpr std::chrono::milliseconds kDecodeAheadAfter{30};

std::int32_t g_error_word = 0;  // the error word of a started runtime; lives for the program
bool g_started = false;

// Enters the folder that holds the program's Data: the executable's own folder (a build tree, an
// unpacked archive), else ../share/<program name> beside it (an installed program), else the
// current folder; when none holds Data, the executable's folder.
void EnterDataFolder() {
  std::error_code error;
  fs::path exe = fs::read_symlink("/proc/self/exe", error);
  if (error) return;
  fs::path folder = exe.parent_path();
  fs::path shared = folder.parent_path() / "share" / exe.filename();
  if (fs::is_directory(folder / "Data", error)) {
    fs::current_path(folder, error);
  } else if (fs::is_directory(shared / "Data", error)) {
    fs::current_path(shared, error);
  } else if (!fs::is_directory("Data", error)) {
    fs::current_path(folder, error);
  }
}

bool Set(const char* name) {
  const char* value = std::getenv(name);
  return value && *value;
}

// Opening an X display's input method makes the X library parse the locale's whole Compose
// table, thousands of lines and most of the video driver's start-up, unless it may keep the
// parsed table in a cache folder: one of the user's own, private to them, which it takes from
// XCOMPOSECACHE (it keeps none for root). Offers it one under the user's cache folder when none
// is named. The table read from the cache is the one parsed, checked against its source file.
void ComposeCacheOffer() {
  if (!Set("DISPLAY") || Set("XCOMPOSECACHE") || getuid() == 0 || getuid() != geteuid()) return;
  const char* cache_home = std::getenv("XDG_CACHE_HOME");
  const char* home = std::getenv("HOME");
  fs::path base;
  // An XDG variable that is not an absolute path is to be ignored.
  if (cache_home && cache_home[0] == '/') {
    base = cache_home;
  } else if (home && home[0] == '/') {
    base = fs::path(home) / ".cache";
  } else {
    return;
  }
  fs::path folder = base / "tessark" / "compose";
  std::error_code error;
  fs::create_directories(folder, error);
  if (error || !fs::is_directory(folder, error)) return;
  // The X library uses the folder only when no one else may write to it.
  fs::permissions(folder, fs::perms::owner_all, fs::perm_options::replace, error);
  if (!error) setenv("XCOMPOSECACHE", folder.c_str(), 0);
}

// Why no window can be opened, or an empty text when one can. Video drivers that show nothing
// count as no display unless they were asked for by name. On success video stays initialised,
// so the window is made on the very driver checked here.
//
// A display that is named but cannot be opened is tried again for a while before giving up: an
// X server refuses connections for a moment while it resets (a virtual one does so each time
// its last client leaves) and while it starts. The retries ask the named display's own driver,
// so that a final failure carries SDL's account of it.
std::string DisplayProblem() {
  constexpr int kAttempts = 6;  // waiting 50, 100, 200, 400 and 800 ms between them
  bool named = Set("SDL_VIDEODRIVER");
  const char* variable = Set("DISPLAY")           ? "DISPLAY"
                         : Set("WAYLAND_DISPLAY") ? "WAYLAND_DISPLAY"
                                                  : nullptr;
  std::string failure;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    if (attempt > 0) {
      SDL_Delay(50u << (attempt - 1));
      if (!named) {
        SDL_SetHint(SDL_HINT_VIDEODRIVER,
                    std::strcmp(variable, "DISPLAY") == 0 ? "x11" : "wayland");
      }
    }
    int result = SDL_InitSubSystem(SDL_INIT_VIDEO);
    std::string error = SDL_GetError();
    if (result != 0) {
      if (!variable) return "no video driver could be started (" + error + ")";
      failure = std::string("the display ") + std::getenv(variable) + " named by " + variable +
                " could not be opened (" + error + ")";
      continue;
    }
    SDL_ResetHint(SDL_HINT_VIDEODRIVER);
    const char* driver = SDL_GetCurrentVideoDriver();
    if (named || !driver ||
        (std::strcmp(driver, "offscreen") != 0 && std::strcmp(driver, "dummy") != 0))
      return "";
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    if (!variable) return "no display was found (DISPLAY and WAYLAND_DISPLAY are unset)";
  }
  SDL_ResetHint(SDL_HINT_VIDEODRIVER);
  return failure;
}

// The PNG files under Data, in the order of their paths (a game's folders and files are
// mostly named in the order it loads them), decoded ahead of their loads until stop is set.
void PicturesDecodeAhead(const std::atomic<bool>& stop) {
  std::vector<std::string> paths;
  std::error_code error;
  fs::recursive_directory_iterator it("Data", fs::directory_options::skip_permission_denied, error);
  for (; !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
    if (stop.load(std::memory_order_relaxed)) return;
    std::string extension = it->path().extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    std::error_code kind_error;
    if (extension == ".png" && it->is_regular_file(kind_error)) paths.push_back(it->path());
  }
  std::sort(paths.begin(), paths.end());
  d3dx::DecodeAhead(paths, stop);
}

void ExplainNoWindow(const char* program, const std::string& why) {
  std::fprintf(stderr,
               "%s: cannot open a window: %s.\n"
               "Run it on a desktop, or under a virtual display (xvfb-run %s), or headless with\n"
               "  SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy %s\n",
               program, why.c_str(), program, program);
}

}  // namespace

int RuntimeStartStatus(int argc, char** argv) {
  if (g_started) return -1;
  const char* program = argc > 0 && argv && argv[0] ? argv[0] : "kettlebrim";
  LaunchOptions options;
  std::string fault = LaunchOptionsParse(argc, argv, &options);
  if (!fault.empty()) {
    std::fprintf(stderr, "%s: %s\n%s", program, fault.c_str(), LaunchOptionsHelp(program).c_str());
    return 2;
  }
  if (options.help) {
    std::fputs(LaunchOptionsHelp(program).c_str(), stdout);
    return 0;
  }
  LaunchOptionsStore(options);
  ReplayPrepare(options);
  StartFolderRecord();
  EnterDataFolder();
  ComposeCacheOffer();
  std::string problem = DisplayProblem();
  if (!problem.empty()) {
    ExplainNoWindow(program, problem);
    return 1;
  }

  // Started only once the video driver is up: its start may fork a helper process (the session
  // bus launcher, once per attempt), and a child forked while this worker holds an allocator
  // lock can hang before it execs. The pictures wait until the window, the device and the
  // modules have most likely been made (the first tens of milliseconds of the opening): decoded
  // beside that work, they slowed it by more than they saved, while the 100 ms of start-up
  // frames that follow leave a processor free. Stopped and joined before the game runs, so the
  // game's thread is again the only one the runtime has; by then the work has mostly been done,
  // and what is left waits for at most the picture being decoded.
  std::atomic<bool> stop{false};
  std::mutex stop_lock;
  std::condition_variable stopped;
  const auto pictures_from = std::chrono::steady_clock::now() + kDecodeAheadAfter;
  std::thread ahead([&] {
    gdi::FontMatchingPrepare();
    {
      std::unique_lock<std::mutex> guard(stop_lock);
      stopped.wait_until(guard, pictures_from, [&stop] { return stop.load(); });
    }
    PicturesDecodeAhead(stop);
  });
  CoreData* core = CoreDataGet();
  RuntimeWire();
  g_error_word = 0;
  ErrorWordSet(&g_error_word);
  RuntimeOpen(1, 640, 480, 32, win32::GetModuleHandleA(nullptr), "");
  {
    std::lock_guard<std::mutex> guard(stop_lock);
    stop.store(true);
  }
  stopped.notify_all();
  ahead.join();
  if (!core->window) {
    d3dx::DecodedAheadRelease();
    // A loop without a window could never be ended by the user.
    ExplainNoWindow(program,
                    std::string("the window could not be created (") + SDL_GetError() + ")");
    return 1;
  }
  g_started = true;
  return -1;
}

bool RuntimeStart(int argc, char** argv) {
  static bool stop_registered = false;
  int status = RuntimeStartStatus(argc, argv);
  if (status == 0) {
    std::fflush(nullptr);
    std::exit(0);  // --help was asked for and answered
  }
  if (status > 0) return false;
  // A game whose main returns without RuntimeStop still closes the runtime before the modules'
  // state is destroyed: that state was made while opening, before this registration, so it is
  // destroyed after the handler runs.
  if (!stop_registered) stop_registered = std::atexit([] { RuntimeStop(); }) == 0;
  return true;
}

void RuntimeStop() {
  if (!g_started) return;
  g_started = false;
  d3dx::DecodedAheadRelease();
  RuntimeClose();
  std::error_code error;
  fs::current_path(StartFolder(), error);
}

}  // namespace tessark

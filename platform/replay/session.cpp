// The record and replay session behind the hooks of replay.h: one per process, owned by the
// thread that started it. Recording appends items to the file and flushes at every frame end,
// so a run that crashes leaves every frame before the crash on disk. Replaying reads the
// whole file first (a broken file is refused before the game starts), then walks its items in
// step with the program's own reads: any read of another kind than the next item is a
// divergence, named with its frame.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <thread>

#include "platform/replay/frame_pictures.h"
#include "platform/replay/replay.h"
#include "platform/replay/script.h"

namespace replay {

Mode g_mode = Mode::kOff;

namespace {

namespace fs = std::filesystem;

constexpr SDL_Scancode kStopKey = SDL_SCANCODE_F12;
constexpr int kExitUnusable = 2;
constexpr int kExitDiverged = 3;
// A scripted run's clock: each reading is a millisecond after the one before, and each frame
// starts at least this long after the previous one.
constexpr std::uint64_t kScriptFrameMillis = 15;
// Recordings larger than this are not real recordings (an hour of play is a few megabytes).
constexpr std::uintmax_t kMaxFileBytes = 256u << 20;
// The windowed replay keeps the recorded pace, but never sleeps longer than this at once.
constexpr std::uint64_t kMaxPaceSleepMicros = 10'000'000;

struct Session {
  Options options;
  std::thread::id owner;
  bool in_wait = false;
  std::uint32_t frame = 0;
  std::uint32_t last_hash = 0;  // full hash of the last shown frame
  bool any_shown = false;
  // recording
  std::FILE* file = nullptr;
  Writer writer;
  std::uint64_t bytes_written = 0;
  std::uint32_t pumps_since_item = 0;
  std::vector<RecordedEvent> polled;
  std::vector<RecordedEvent> batch;
  // replaying
  Recording recording;
  std::size_t cursor = 0;
  bool skip_loaded = false;
  std::uint32_t skip_left = 0;
  std::uint32_t script_end = 0;
  std::uint64_t clock_ms = 0;
  bool paced = false;
  bool headless = false;  // a fast replay on SDL's dummy video: no one sees the window
  std::uint64_t pace_real_start = 0, pace_recorded_start = 0;
  std::uint32_t differences = 0, first_difference = 0;
  FramePictures pictures;
  // both: the input state of the event being delivered
  SDL_Keymod mods = KMOD_NONE;
  Uint32 buttons = 0;
};

Session& S() {
  static Session s;
  return s;
}

struct Source {
  FrameSource fn = nullptr;
  void* context = nullptr;
};
Source g_source;
int g_verdict = 0;
std::string g_stop_reason;

bool Mine() {
  return std::this_thread::get_id() == S().owner;
}

// Whether what the devices answer goes into a file: a recording, or a script kept as one.
bool Writing() {
  return g_mode == Mode::kRecord || (g_mode == Mode::kScript && S().file);
}

std::uint64_t RealMicros() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<std::uint64_t>(now.tv_sec) * 1000000u +
         static_cast<std::uint64_t>(now.tv_nsec) / 1000u;
}

void SleepRealMicros(std::uint64_t micros) {
  timespec wait{static_cast<time_t>(micros / 1000000u),
                static_cast<long>(micros % 1000000u) * 1000L};
  while (nanosleep(&wait, &wait) != 0 && errno == EINTR) {
  }
}

const char* Describe(ItemKind kind) {
  switch (kind) {
    case ItemKind::kClock:
      return "a clock reading";
    case ItemKind::kFrame:
      return "a frame end";
    case ItemKind::kEvents:
    case ItemKind::kWaitEvents:
      return "input events";
    case ItemKind::kValue:
    case ItemKind::kText:
      return "a device's answer";
    case ItemKind::kEnd:
      return "its end";
  }
  return "an item";
}

const std::string& SourceName() {
  Session& s = S();
  return s.options.replay.empty() ? s.options.record : s.options.replay;
}

// Ends the session with a message and a status; a program that asked for it exits here.
void Halt(int status, const std::string& message) {
  Session& s = S();
  std::fprintf(stderr, "replay: %s\n", message.c_str());
  g_verdict = status;
  g_stop_reason = message;
  g_mode = Mode::kOff;
  if (s.options.exit_process) {
    std::fflush(nullptr);
    std::_Exit(status);
  }
}

// The next item, which must be of this kind; else the replay has left the recording.
const Item* Next(ItemKind kind, const char* action) {
  Session& s = S();
  const auto& items = s.recording.items;
  if (s.cursor >= items.size()) {
    Halt(kExitUnusable, SourceName() + " stops at frame " + std::to_string(s.frame) +
                            " without its end: the recorded run was cut short there");
    return nullptr;
  }
  const Item& item = items[s.cursor];
  if (item.kind != kind) {
    Halt(kExitDiverged, "frame " + std::to_string(s.frame) + ": the game " + action +
                            " where the recording holds " + Describe(item.kind) +
                            ": the run no longer follows " + SourceName());
    return nullptr;
  }
  ++s.cursor;
  return &item;
}

bool Recordable(const SDL_Event& e) {
  switch (e.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP:
    case SDL_TEXTINPUT:
    case SDL_MOUSEMOTION:
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
    case SDL_MOUSEWHEEL:
    case SDL_WINDOWEVENT:
    case SDL_QUIT:
    case SDL_JOYDEVICEADDED:
    case SDL_JOYDEVICEREMOVED:
    case SDL_JOYAXISMOTION:
    case SDL_JOYBUTTONDOWN:
    case SDL_JOYBUTTONUP:
    case SDL_JOYHATMOTION:
      return true;
    default:
      return false;
  }
}

void DeliverEvents(const Item& item, Deliver deliver) {
  Session& s = S();
  for (std::uint32_t i = 0; i < item.count && Replaying(); ++i) {
    const RecordedEvent& e = s.recording.events[item.first + i];
    s.mods = static_cast<SDL_Keymod>(e.mods);
    s.buttons = e.buttons;
    deliver(e.event);
  }
}

void PumpRecording(Deliver deliver) {
  Session& s = S();
  // Everything waiting is taken first and written down before any of it is delivered: what
  // the delivery reads (the clock, for one) then follows the events in the file as it does in
  // the program.
  // A delivery may pump again (a window message that acquires an input device does): the
  // nested pump gets its own list while this one is still being delivered.
  std::vector<RecordedEvent> polled = std::move(s.polled);
  polled.clear();
  s.batch.clear();
  SDL_Event ev;
  while (SDL_PollEvent(&ev)) {
    RecordedEvent e{ev, static_cast<std::uint16_t>(SDL_GetModState() & 0xFFFF),
                    static_cast<std::uint8_t>(SDL_GetMouseState(nullptr, nullptr) & 0x1F)};
    polled.push_back(e);
    if (Recordable(ev)) s.batch.push_back(e);
  }
  if (!s.batch.empty()) {
    s.writer.Events(s.in_wait, s.pumps_since_item, s.batch);
    s.pumps_since_item = 0;
  } else if (!s.in_wait) {
    ++s.pumps_since_item;
  }
  for (const RecordedEvent& e : polled) {
    s.mods = static_cast<SDL_Keymod>(e.mods);
    s.buttons = e.buttons;
    deliver(e.event);
  }
  if (polled.capacity() > s.polled.capacity()) s.polled = std::move(polled);
}

// The machine's own events while replaying: only the stop key and the close box count.
void DrainMachine() {
  SDL_Event ev;
  while (SDL_PollEvent(&ev)) {
    bool stop_key = ev.type == SDL_KEYDOWN && ev.key.keysym.scancode == kStopKey;
    bool closed = ev.type == SDL_QUIT ||
                  (ev.type == SDL_WINDOWEVENT && ev.window.event == SDL_WINDOWEVENT_CLOSE);
    if (stop_key || closed) {
      std::string how = stop_key ? "with F12" : "by closing the window";
      Halt(0, "stopped " + how + " at frame " + std::to_string(S().frame));
      return;
    }
  }
}

void PumpReplaying(Deliver deliver) {
  Session& s = S();
  DrainMachine();
  const auto& items = s.recording.items;
  if (g_mode == Mode::kScript) {
    // A scripted run may itself be recorded: what it delivers is written as input would be.
    s.batch.clear();
    for (std::size_t i = s.cursor; s.file && i < items.size() && items[i].frame <= s.frame; ++i)
      for (std::uint32_t e = 0; e < items[i].count; ++e)
        s.batch.push_back(s.recording.events[items[i].first + e]);
    if (!s.batch.empty()) {
      s.writer.Events(s.in_wait, s.pumps_since_item, s.batch);
      s.pumps_since_item = 0;
    } else if (!s.in_wait) {
      ++s.pumps_since_item;
    }
    while (Replaying() && s.cursor < items.size() && items[s.cursor].frame <= s.frame)
      DeliverEvents(items[s.cursor++], deliver);
    return;
  }
  if (s.in_wait) {
    while (Replaying() && s.cursor < items.size() && items[s.cursor].kind == ItemKind::kWaitEvents)
      DeliverEvents(items[s.cursor++], deliver);
    return;
  }
  if (!Replaying() || s.cursor >= items.size() || items[s.cursor].kind != ItemKind::kEvents) return;
  const Item& item = items[s.cursor];
  if (!s.skip_loaded) {
    s.skip_left = item.skip;
    s.skip_loaded = true;
  }
  if (s.skip_left > 0) {
    --s.skip_left;
    return;
  }
  s.skip_loaded = false;
  ++s.cursor;
  DeliverEvents(item, deliver);
}

// Keeps a windowed replay at the recorded pace: the replayed clock never runs ahead of the
// real one.
void Pace(std::uint64_t recorded_ms) {
  Session& s = S();
  if (s.options.fast) return;
  std::uint64_t now = RealMicros();
  if (!s.paced) {
    s.paced = true;
    s.pace_real_start = now;
    s.pace_recorded_start = recorded_ms;
    return;
  }
  std::uint64_t due = s.pace_real_start + (recorded_ms - s.pace_recorded_start) * 1000u;
  if (due > now) SleepRealMicros(std::min(due - now, kMaxPaceSleepMicros));
}

std::string ProgramName() {
  std::error_code error;
  fs::path exe = fs::read_symlink("/proc/self/exe", error);
  return error ? std::string() : exe.filename().string();
}

// The Data folder's files, their names and contents, in name order.
std::uint64_t DataFolderHash() {
  std::error_code error;
  if (!fs::is_directory("Data", error)) return 0;
  std::vector<fs::path> files;
  for (fs::recursive_directory_iterator it("Data", error), end; !error && it != end;
       it.increment(error)) {
    if (it->is_regular_file(error)) files.push_back(it->path());
  }
  std::sort(files.begin(), files.end());
  std::uint64_t h = 0x5EED;
  std::vector<char> chunk(1 << 16);
  for (const fs::path& file : files) {
    std::string name = file.generic_string();
    h = BytesHash(name.data(), name.size(), h);
    std::FILE* f = std::fopen(file.c_str(), "rb");
    if (!f) continue;
    std::size_t n;
    while ((n = std::fread(chunk.data(), 1, chunk.size(), f)) > 0)
      h = BytesHash(chunk.data(), n, h);
    std::fclose(f);
  }
  return h ? h : 1;
}

Header ThisRun(const Options& options) {
  Header h;
  h.runtime_version = TESSARK_RUNTIME_VERSION;
  h.program = ProgramName();
  h.width = options.width;
  h.height = options.height;
  SDL_DisplayMode mode{};
  if (SDL_WasInit(SDL_INIT_VIDEO) && SDL_GetDesktopDisplayMode(0, &mode) == 0)
    h.display_rate = static_cast<std::uint32_t>(std::max(mode.refresh_rate, 0));
  h.data_hash = DataFolderHash();
  h.check_interval = std::max<std::uint32_t>(options.check_interval, 1);
  return h;
}

// Why this run cannot replay a recording made under `made`, or an empty text.
std::string Refusal(const Header& made, const Header& now) {
  if (made.program != now.program)
    return "it was recorded with \"" + made.program + "\", not \"" + now.program + "\"";
  if (made.width != now.width || made.height != now.height) {
    // The same picture in a window scaled by another whole factor: a --scale away.
    const bool scaled = static_cast<std::uint64_t>(made.width) * now.height ==
                        static_cast<std::uint64_t>(made.height) * now.width;
    return "it was recorded in a " + std::to_string(made.width) + " x " +
           std::to_string(made.height) + " window; this one is " + std::to_string(now.width) +
           " x " + std::to_string(now.height) +
           (scaled ? " (give the --scale the recording was made with)" : "");
  }
  if (made.data_hash != now.data_hash)
    return "it was recorded against other assets: this Data folder differs from that run's, "
           "so the replay could not show the same game";
  return "";
}

// No one can see a window on SDL's dummy video driver (a fast replay's default).
bool DummyVideo() {
  const char* driver = SDL_GetCurrentVideoDriver();
  if (!driver) driver = std::getenv("SDL_VIDEODRIVER");
  return driver && std::strcmp(driver, "dummy") == 0;
}

void BeginSession(const Options& options, Mode mode) {
  Session& s = S();
  if (s.file) std::fclose(s.file);
  s = Session();
  s.options = options;
  s.owner = std::this_thread::get_id();
  g_verdict = 0;
  g_stop_reason.clear();
  g_mode = mode;
}

std::string StartReplay(const Options& options, const Header& now) {
  std::error_code error;
  std::uintmax_t size = fs::file_size(options.replay, error);
  if (error) return "cannot read " + options.replay + ": " + error.message();
  if (size > kMaxFileBytes) return options.replay + " is too large to be a recording";
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
  std::FILE* f = std::fopen(options.replay.c_str(), "rb");
  if (!f) return "cannot read " + options.replay + ": " + std::strerror(errno);
  std::size_t got = std::fread(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
  if (got != bytes.size()) return "cannot read " + options.replay + ": it changed while read";

  if (LooksLikeScript(bytes.data(), bytes.size())) {
    Script script;
    std::string fault = ParseScript(std::string(bytes.begin(), bytes.end()), &script);
    if (!fault.empty()) return options.replay + ": " + fault;
    BeginSession(options, Mode::kScript);
    S().recording = std::move(script.recording);
    S().script_end = script.end_frame;
    S().headless = options.fast && DummyVideo();
    return "";
  }
  Recording recording;
  std::string fault = ReadRecording(bytes.data(), bytes.size(), &recording);
  if (!fault.empty()) return options.replay + ": " + fault;
  std::string refusal = Refusal(recording.header, now);
  if (!refusal.empty()) return "cannot replay " + options.replay + ": " + refusal;
  if (recording.header.runtime_version != now.runtime_version)
    std::fprintf(stderr, "replay: %s was made with runtime %s; this is %s\n",
                 options.replay.c_str(), recording.header.runtime_version.c_str(),
                 now.runtime_version.c_str());
  if (!recording.ended)
    std::fprintf(stderr,
                 "replay: %s has no end: the recorded run was cut short after frame %u; "
                 "replaying up to there\n",
                 options.replay.c_str(), recording.frames);
  BeginSession(options, Mode::kReplay);
  S().recording = std::move(recording);
  S().headless = options.fast && DummyVideo();
  return "";
}

void WriteOut() {
  Session& s = S();
  std::string bytes = s.writer.Take();
  if (!s.file || bytes.empty()) return;
  if (std::fwrite(bytes.data(), 1, bytes.size(), s.file) != bytes.size() || std::fflush(s.file)) {
    std::fprintf(stderr, "replay: writing %s failed: %s; the recording stops here\n",
                 s.options.record.c_str(), std::strerror(errno));
    std::fclose(s.file);
    s.file = nullptr;
    g_mode = Mode::kOff;
    return;
  }
  s.bytes_written += bytes.size();
}

// Writes the end and closes the file (a recording made from a script, too).
void CloseRecording() {
  Session& s = S();
  if (!s.file) return;
  s.writer.End(s.frame, s.last_hash);
  WriteOut();
  if (!s.file) return;
  std::fclose(s.file);
  s.file = nullptr;
  std::fprintf(stderr, "replay: recorded %u frames into %s (%llu bytes)\n", s.frame,
               s.options.record.c_str(), static_cast<unsigned long long>(s.bytes_written));
}

void Differs(std::uint32_t seen, std::uint32_t recorded, const FrameImage& image) {
  Session& s = S();
  if (s.differences++ == 0) s.first_difference = s.frame;
  if (s.differences > 1) return;  // only the first is reported
  char hashes[64];
  std::snprintf(hashes, sizeof hashes, "(hash %04x, recorded %04x)", seen & 0xFFFFu, recorded);
  std::string message = "frame " + std::to_string(s.frame) + " differs from the recording " +
                        hashes + "; " + s.pictures.Save(s.options.replay, s.frame, image);
  if (s.options.check) {
    Halt(kExitDiverged, message);
    return;
  }
  std::fprintf(stderr, "replay: %s (going on: --replay-check stops here)\n", message.c_str());
}

}  // namespace

// ---- hooks ----

std::uint64_t Clock(std::uint64_t real_micros) {
  Session& s = S();
  if (!Mine()) return real_micros;
  switch (g_mode) {
    case Mode::kRecord:
      if (s.in_wait) return real_micros;
      s.writer.Clock(real_micros / 1000u);
      s.pumps_since_item = 0;
      return real_micros;
    case Mode::kScript:
      if (s.in_wait) return s.clock_ms * 1000u;
      ++s.clock_ms;
      if (s.file) {
        s.writer.Clock(s.clock_ms);
        s.pumps_since_item = 0;
      }
      Pace(s.clock_ms);  // a script in a window plays at its own clock's pace
      return s.clock_ms * 1000u;
    case Mode::kReplay: {
      if (s.in_wait) return s.clock_ms * 1000u;
      const Item* item = Next(ItemKind::kClock, "read the clock");
      if (!item) return real_micros;
      s.clock_ms = item->value;
      Pace(s.clock_ms);
      return s.clock_ms * 1000u;
    }
    case Mode::kOff:
      break;
  }
  return real_micros;
}

void Pump(Deliver deliver) {
  if (!Mine() || g_mode == Mode::kOff) {
    SDL_Event ev;
    while (SDL_PollEvent(&ev)) deliver(ev);
    return;
  }
  if (g_mode == Mode::kRecord)
    PumpRecording(deliver);
  else
    PumpReplaying(deliver);
}

SDL_Keymod Mods() {
  return Active() ? S().mods : SDL_GetModState();
}

Uint32 MouseButtons() {
  return Active() ? S().buttons : SDL_GetMouseState(nullptr, nullptr);
}

std::uint64_t Exchange(ValueKind kind, std::uint64_t real) {
  Session& s = S();
  if (!Mine()) return real;
  if (Writing()) {
    s.writer.Value(kind, real);
    s.pumps_since_item = 0;
    return real;
  }
  if (g_mode != Mode::kReplay) return real;
  const Item* item = Next(ItemKind::kValue, "asked a device");
  if (!item) return real;
  if (item->sub != static_cast<std::uint8_t>(kind)) {
    Halt(kExitDiverged, "frame " + std::to_string(s.frame) +
                            ": the game asked a different device than the recording did");
    return real;
  }
  return item->value;
}

std::string ExchangeText(ValueKind kind, const std::string& real) {
  Session& s = S();
  if (!Mine()) return real;
  if (Writing()) {
    s.writer.Text(kind, real);
    s.pumps_since_item = 0;
    return real;
  }
  if (g_mode != Mode::kReplay) return real;
  const Item* item = Next(ItemKind::kText, "read the clipboard");
  if (!item) return real;
  return s.recording.texts.substr(item->first, item->count);
}

bool SkipSleep() {
  return Replaying() && Mine();
}

bool SkipPresent() {
  return Replaying() && Mine() && S().headless;
}

WaitScope::WaitScope() {
  if (Active() && Mine()) S().in_wait = true;
}

WaitScope::~WaitScope() {
  if (Mine()) S().in_wait = false;
}

void SetFrameSource(FrameSource source, void* context) {
  g_source = Source{source, context};
}

void ClearFrameSource(void* context) {
  if (g_source.context == context) g_source = Source{};
}

void FrameEnd(bool shown) {
  Session& s = S();
  if (!Active() || !Mine()) return;
  FrameImage image;
  bool have = shown && g_source.fn && g_source.fn(g_source.context, &image) && image.bits;
  std::uint32_t hash = 0;
  // A replay that has matched so far keeps this frame's picture, in case the next one differs.
  const bool keep = have && g_mode == Mode::kReplay && s.differences == 0;
  if (have) {
    hash = PictureHash(image.bits, image.width, image.height, image.pitch, image.bytes_per_pixel,
                       keep ? s.pictures.Candidate(image) : nullptr);
    s.last_hash = hash;
    s.any_shown = true;
  }
  if (s.file) {
    bool due = s.frame % s.options.check_interval == 0;
    s.writer.Frame(have && due, static_cast<std::uint16_t>(hash));
    s.pumps_since_item = 0;
    WriteOut();
  }
  switch (g_mode) {
    case Mode::kRecord:
      break;
    case Mode::kReplay: {
      const Item* item = Next(ItemKind::kFrame, "showed a frame");
      if (!item) return;
      if (item->has_hash && have) {
        if ((hash & 0xFFFFu) != item->value)
          Differs(hash, static_cast<std::uint32_t>(item->value), image);
        else if (keep)
          s.pictures.KeepCandidate(s.frame);
      }
      const auto& items = s.recording.items;
      if (s.cursor < items.size() && items[s.cursor].kind == ItemKind::kEnd) {
        // Only a run that stopped between frames (a script's end) ends here: a game that
        // quits reads its input first.
        ++s.frame;
        int status = Finish();
        if (s.options.exit_process) {
          std::fflush(nullptr);
          std::_Exit(status);
        }
        return;
      }
      break;
    }
    case Mode::kScript:
      s.clock_ms =
          std::max(s.clock_ms, (static_cast<std::uint64_t>(s.frame) + 1) * kScriptFrameMillis);
      if (s.frame + 1 >= s.script_end) {
        ++s.frame;
        CloseRecording();
        Halt(0, "the script ended at frame " + std::to_string(s.frame));
        return;
      }
      break;
    case Mode::kOff:
      return;
  }
  ++s.frame;
}

// ---- sessions ----

std::string Start(const Options& options) {
  if (options.record.empty() && options.replay.empty()) return "";
  Options o = options;
  o.check_interval = std::max<std::uint32_t>(o.check_interval, 1);
  Header now = ThisRun(o);
  if (!o.replay.empty()) {
    std::string fault = StartReplay(o, now);
    if (!fault.empty() || o.record.empty()) return fault;
    // Recording a replay: only a script's (a recording would copy itself).
    if (g_mode != Mode::kScript) {
      Stop();
      return "--record goes with --replay only for a scripted input text";
    }
  }
  std::FILE* f = std::fopen(o.record.c_str(), "wb");
  if (!f) {
    Stop();
    return "cannot write the recording " + o.record + ": " + std::strerror(errno);
  }
  if (g_mode != Mode::kScript) BeginSession(o, Mode::kRecord);
  S().file = f;
  S().writer.Header(now);
  WriteOut();
  return "";
}

std::string StartScript(const std::string& text, bool exit_process) {
  Script script;
  std::string fault = ParseScript(text, &script);
  if (!fault.empty()) return fault;
  Options o;
  o.exit_process = exit_process;
  o.replay = "(script)";
  o.fast = true;
  BeginSession(o, Mode::kScript);
  S().recording = std::move(script.recording);
  S().script_end = script.end_frame;
  return "";
}

int Finish() {
  Session& s = S();
  if (!Mine() && g_mode != Mode::kOff) return g_verdict;
  switch (g_mode) {
    case Mode::kOff:
      return g_verdict;
    case Mode::kRecord:
      CloseRecording();
      g_mode = Mode::kOff;
      return g_verdict = 0;
    case Mode::kScript:
      CloseRecording();
      g_mode = Mode::kOff;
      std::fprintf(stderr, "replay: the game ended at frame %u of the script\n", s.frame);
      return g_verdict = 0;
    case Mode::kReplay:
      break;
  }
  g_mode = Mode::kOff;
  const auto& items = s.recording.items;
  std::string name = SourceName();
  if (s.cursor >= items.size() || items[s.cursor].kind != ItemKind::kEnd) {
    bool cut = s.cursor >= items.size() && !s.recording.ended;
    std::string why = cut ? name + " stops at frame " + std::to_string(s.frame) +
                                " without its end: the recorded run was cut short there"
                          : "the game ended at frame " + std::to_string(s.frame) +
                                ", before the recording did (it goes on to frame " +
                                std::to_string(s.recording.frames) + ")";
    std::fprintf(stderr, "replay: %s\n", why.c_str());
    g_stop_reason = why;
    return g_verdict = cut ? kExitUnusable : kExitDiverged;
  }
  const Item& end = items[s.cursor];
  if (s.any_shown && end.hash != s.last_hash && s.differences == 0) {
    s.differences = 1;
    s.first_difference = s.frame;
    std::fprintf(stderr, "replay: the final frame differs from the recording's\n");
  }
  if (s.differences == 0) {
    std::fprintf(stderr, "replay: %s played to its end, %u frames, without a difference\n",
                 name.c_str(), s.frame);
    return g_verdict = 0;
  }
  g_stop_reason = std::to_string(s.differences) + " frames differed, the first at frame " +
                  std::to_string(s.first_difference);
  std::fprintf(stderr, "replay: %s played to its end: %s\n", name.c_str(), g_stop_reason.c_str());
  return g_verdict = kExitDiverged;
}

void Stop() {
  Session& s = S();
  if (s.file) std::fclose(s.file);
  s.file = nullptr;
  g_mode = Mode::kOff;
}

std::uint32_t FrameNumber() {
  return S().frame;
}

const std::string& StopReason() {
  return g_stop_reason;
}

}  // namespace replay

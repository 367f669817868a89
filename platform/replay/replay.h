// Record and replay at the stand-ins' seam with the machine. Every answer that can differ
// between two runs (the clock, input events, the sound and music devices' reports, the
// clipboard) passes one of the hooks below; while recording, the hook writes the answer down,
// while replaying it gives back the recorded one instead. The runtime's frame marks frame
// ends, where what was shown is hashed (recording) or checked (replaying).
//
// Each hook starts with one test of g_mode, so a run that neither records nor replays goes
// exactly the way it would without this file. Hooks are only honoured on the thread that
// started the session (the frame thread); other threads always get the machine's answer.
// Depends on SDL2 and SDL2_image (the divergence pictures).
#pragma once

#include <SDL.h>

#include <cstdint>
#include <string>

#include "platform/replay/replay_file.h"

namespace replay {

enum class Mode : std::uint8_t { kOff, kRecord, kReplay, kScript };

// The session's mode: only the session functions below change it.
extern Mode g_mode;

inline bool Active() {
  return g_mode != Mode::kOff;
}
inline bool Replaying() {
  return g_mode == Mode::kReplay || g_mode == Mode::kScript;
}

// ---- hooks ----

// The monotonic clock in microseconds: the machine's reading, written down or replaced.
std::uint64_t Clock(std::uint64_t real_micros);

// Drains the machine's events. Recording: each is delivered and the input among them written
// down. Replaying: the machine's events are dropped (except the stop key, F12, and the
// window's close box, which end the replay) and the recorded ones are delivered instead.
using Deliver = void (*)(const SDL_Event& event);
void Pump(Deliver deliver);

// While replaying: the modifier keys and mouse buttons as they were when the event being
// delivered was taken, in place of SDL's live state.
SDL_Keymod Mods();
Uint32 MouseButtons();

// A device's answer: recording writes real down and returns it; replaying returns the recorded
// answer (the device is still asked, so that its own state moves on as before).
std::uint64_t Exchange(ValueKind kind, std::uint64_t real);
std::string ExchangeText(ValueKind kind, const std::string& real);

// True when a sleep of the frame thread is to be skipped: a replay keeps its pace from the
// recorded clock instead (or runs without waits).
bool SkipSleep();

// True when presenting a frame is to be skipped: a fast replay on SDL's dummy video, where the
// present would only copy each frame into a window no one can see. Nothing the game reads
// depends on the present.
bool SkipPresent();

// The runtime's frame wait. Recording: clock readings inside are not written (their number
// depends on the machine) and input that arrives is written as the wait's input. Replaying:
// the caller pumps once instead of waiting; the wait's input arrives in that pump.
class WaitScope {
 public:
  WaitScope();
  ~WaitScope();
  WaitScope(const WaitScope&) = delete;
  WaitScope& operator=(const WaitScope&) = delete;
};

// The back buffer about to be shown, for the frame hash and the divergence pictures.
struct FrameImage {
  const std::uint8_t* bits = nullptr;
  int width = 0, height = 0, pitch = 0, bytes_per_pixel = 0;
  std::uint32_t sdl_format = 0;  // 0: no picture file can be made of it
};
using FrameSource = bool (*)(void* context, FrameImage* image);
// The display device registers its back buffer here; a later registration replaces it, and
// clearing with the same context removes it.
void SetFrameSource(FrameSource source, void* context);
void ClearFrameSource(void* context);

// A frame ends; shown: its back buffer is presented now.
void FrameEnd(bool shown);

// ---- sessions ----

struct Options {
  std::string record;  // file to record into
  std::string replay;  // recording or script to play
  bool fast = false;   // replay without pacing
  bool check = false;  // stop at the first frame that differs
  std::uint32_t width = 0, height = 0;
  std::uint32_t check_interval = 1;
  // The program ends when the replay does (stop key, difference, end of the file). Off for
  // tests that drive a replay inside their own process: the replay then just stops.
  bool exit_process = true;
};

// Starts recording or replaying as the options say (nothing when neither is asked). The
// current folder is the one holding Data. Returns an empty text, else why it cannot start; a
// process that is to exit then prints it and ends with status 2.
std::string Start(const Options& options);

// Starts playing a scripted input text (see docs/replay.md) without a file, unpaced.
std::string StartScript(const std::string& text, bool exit_process);

// Ends the session: closes the recording with its end, or checks that the replay has reached
// the recording's end. Returns the program's exit status (0: all well).
int Finish();

// Leaves the session at once without a verdict (tests).
void Stop();

// Frames ended since the session started.
std::uint32_t FrameNumber();

// Why the last replay stopped early (empty while running or after a clean end).
const std::string& StopReason();

}  // namespace replay

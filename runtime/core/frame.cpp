// Frames: FrameRender with its pacing and its fixed order of passes, the frame modes, the
// game's loop test, the runtime's waits and the media update. The frame wait keeps its
// contract (never before the period after the last stamp, pumping messages throughout) but
// sleeps in short slices instead of spinning, and spins only for the last fraction of a
// millisecond. Depends on the win32 stand-in and the module table.
#include <algorithm>

#include "platform/replay/replay.h"
#include "runtime/core/core_data.h"
#include "runtime/core/errors.h"
#include "runtime/core/frame.h"
#include "runtime/core/module_table.h"
#include "runtime/core/services.h"
#include "runtime/core/runtime_state.h"
#include "tessark/core.h"

namespace tessark {

using namespace win32;

namespace {

// A rate's frame period in milliseconds is this divided by the rate, not 1000 divided by it:
// rate 60 gives 15 ms (about 67 frames a second), a tenth shorter than a sixtieth of a second,
// so that the drawing and the present (which waits for the vertical retrace) add their time to
// the wait without pulling the loop below the rate asked for.
constexpr std::uint32_t kFramePeriodDividend = 900;
// The wait sleeps in slices of at most this long, so messages are pumped at least this often.
constexpr std::int64_t kSliceMicros = 4000;
// It stops sleeping this long before the deadline and polls the rest, which absorbs the
// wake-up latency of a sleep. Short: a process that mostly sleeps is the one the scheduler
// lets in first on a busy machine, while a long poll gets it preempted.
constexpr std::int64_t kSpinMicros = 60;

// Waits until the period has passed since the last stamp; false when the quit message was seen.
bool FrameWait(std::uint32_t period) {
  RuntimeState& rt = Runtime();
  replay::WaitScope recorded_as_one;  // how often the wait pumps is the machine's business
  if (replay::Replaying()) return MessagePump() != 1;  // paced by the recorded clock instead
  const std::uint64_t deadline = rt.last_frame_micros + std::uint64_t{period} * 1000u;
  for (;;) {
    if (MessagePump() == 1) return false;
    std::uint64_t now = ClockMicros();
    if (now >= deadline) return true;
    if (rt.pump_sleep) continue;  // the pump has just slept
    auto remaining = static_cast<std::int64_t>(deadline - now);
    // The last stretch polls without yielding: a yield can hand the processor to another
    // process for a whole time slice.
    if (remaining > kSpinMicros) {
      win32::SleepMicros(
          static_cast<std::uint64_t>(std::min(remaining - kSpinMicros, kSliceMicros)));
    }
  }
}

// Ends and presents the scene that the game drew into, then begins the next one.
void PresentBlock() {
  RuntimeState& rt = Runtime();
  ModuleTable& m = Modules();
  if (rt.scene_begun) {
    CallIf(m.display.SceneEnd);
    if (replay::Active()) replay::FrameEnd(rt.present_on != 0);
    if (rt.present_on && !(replay::Active() && replay::SkipPresent()))
      CallIf(m.display.DisplayPresent);
  }
  rt.scene_begun = 1;
  CallIf(m.display.SceneBegin);
  CallIf(m.sprite_pass.SpriteBackgroundRestore);
}

// The camera module's pass over every camera the mask lets through.
void CameraPass(bool passes_2d) {
  CoreData& core = *CoreDataGet();
  RuntimeState& rt = Runtime();
  const CameraPassEntries& cp = Modules().camera_pass;
  if (!cp.CameraFrameStart) return;
  core.stat_counter[0] = core.stat_counter[1] = 0;
  cp.CameraFrameStart(passes_2d ? 0 : 1);
  do {
    std::int32_t c = cp.CameraCurrent ? cp.CameraCurrent() : -1;
    if (c >= 0 && (c > 31 || ((rt.camera_mask >> c) & 1u))) {
      for (core.render_pass_index = 0; core.render_pass_index < core.render_pass_count;
           ++core.render_pass_index)
        for (auto draw : cp.DrawPerCamera) CallIf(draw);
    }
  } while (cp.CameraNext && cp.CameraNext());
}

// Lets the waits idle between pumps when frames are not drawn by the runtime itself.
void WaitIdle() {
  RuntimeState& rt = Runtime();
  if (!rt.pump_sleep && !(rt.runtime_opened && rt.auto_sync)) win32::SleepMicros(1000);
}

}  // namespace

std::uint64_t ClockMicros() {
  return win32::ClockMicros();
}

void FrameRender() {
  RuntimeState& rt = Runtime();
  ModuleTable& m = Modules();
  if (rt.frame_min_gap > 0 && timeGetTime() - rt.last_frame_time < rt.frame_min_gap) return;
  if (rt.frame_period > 0) {
    if (!FrameWait(rt.frame_period)) return;
  } else {
    MediaUpdate();
  }
  CallIf(m.input.Update);
  // One clock reading for both stamps keeps them consistent.
  rt.last_frame_micros = ClockMicros();
  rt.last_frame_time = static_cast<std::uint32_t>(rt.last_frame_micros / 1000u);
  if (!rt.frame_ready) return;

  const bool passes_2d = (rt.camera_mask & 1u) != 0;
  const CameraPassEntries& cp = m.camera_pass;
  const SpritePassEntries& sp = m.sprite_pass;
  if (passes_2d) {
    CallIf(cp.FrameStart3dA);
    CallIf(cp.FrameStart3dB);
    CallIf(sp.SpriteBackgroundSave);
    if (!rt.sprites_last) CallIf(sp.SpritePass);
    if (rt.present_first) PresentBlock();
    if (rt.sprites_last) CallIf(sp.SpritePass);
  }
  CameraPass(passes_2d);
  if (passes_2d) {
    if (!rt.present_first) PresentBlock();
    CallIf(cp.PostFrameA);
    CallIf(cp.PostFrameB);
  }
}

void MediaUpdate() {
  ModuleTable& m = Modules();
  CallIf(m.music.Update);
  CallIf(m.sound.Update);
  CallIf(m.video.Update);
}

std::int32_t RuntimeRefresh() {
  RuntimeState& rt = Runtime();
  std::int32_t seen = MessagePump();
  MediaUpdate();
  if (rt.runtime_opened && rt.auto_sync) FrameRender();
  return seen;
}

}  // namespace tessark

namespace tessark {

void FrameSync() {
  if (!tessark::RuntimeOpenCheck("FrameSync")) return;
  tessark::FrameRender();
  tessark::MessagePump();
  tessark::MediaUpdate();
  Runtime().present_on = 1;
}

void FrameSyncNoPump() {
  if (!tessark::RuntimeOpenCheck("FrameSyncNoPump")) return;
  tessark::FrameRender();
  Runtime().present_on = 1;
}

void FrameSyncManual() {
  Runtime().auto_sync = 0;
  Runtime().pump_sleep = 0;
  Runtime().present_on = 0;
}

void FrameSyncAuto() {
  Runtime().auto_sync = 1;
  Runtime().pump_sleep = 1;
  Runtime().present_on = 1;
}

void FrameSetRate(std::int32_t rate) {
  tessark::RuntimeState& rt = Runtime();
  if (rate > 0) {
    rt.frame_period = tessark::kFramePeriodDividend / static_cast<std::uint32_t>(rate);
    rt.frame_min_gap = 0;
  } else if (rate == 0) {
    rt.frame_period = rt.frame_min_gap = 0;
  } else {
    rt.frame_period = 0;
    rt.frame_min_gap = static_cast<std::uint32_t>(-static_cast<std::int64_t>(rate));
  }
}

void FrameSpritesLast() {
  Runtime().sprites_last = 1;
}

void FrameSpritesFirst() {
  Runtime().sprites_last = 0;
}

void FramePresentFirst() {
  Runtime().present_first = 1;
}

void FramePresentLast() {
  Runtime().present_first = 0;
}

bool RuntimeRunning() {
  // Without an open runtime there is no window to close: a loop on this would never end.
  if (!tessark::RuntimeOpenCheck("RuntimeRunning")) return false;
  if (Runtime().quit_requested) {
    win32::PostQuitMessage(0);
    return false;
  }
  return true;
}

void WaitMillis(std::int32_t ms) {
  if (!tessark::RuntimeOpenCheck("WaitMillis")) return;
  const DWORD end = win32::timeGetTime() + static_cast<DWORD>(ms);
  while (static_cast<std::int32_t>(win32::timeGetTime() - end) <= 0) {
    if (tessark::RuntimeRefresh() == 1) return;
    tessark::WaitIdle();
  }
}

void WaitKey() {
  if (!tessark::RuntimeOpenCheck("WaitKey")) return;
  // A key still held must be released first, then a key pressed.
  while (Runtime().last_key_code != 0) {
    if (tessark::RuntimeRefresh() == 1) return;
    tessark::WaitIdle();
  }
  while (Runtime().last_key_code == 0) {
    if (tessark::RuntimeRefresh() == 1) return;
    tessark::WaitIdle();
  }
}

void WaitMouse() {
  if (!tessark::RuntimeOpenCheck("WaitMouse")) return;
  const tessark::CoreData& core = *tessark::CoreDataGet();
  while (core.mouse_buttons != 0) {
    if (tessark::RuntimeRefresh() == 1) return;
    tessark::WaitIdle();
  }
  while (core.mouse_buttons == 0) {
    if (tessark::RuntimeRefresh() == 1) return;
    tessark::WaitIdle();
  }
}

}  // namespace tessark

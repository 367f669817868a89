// The core's own state beside CoreData: the window's cursors and keyboard fields, the quit
// flags, the typed-characters buffer's length and capacity, and the frame flags and timing.
// Shared by the core's files; tests read it through Runtime().
#pragma once

#include <cstdint>

#include "platform/win32/user.h"

namespace tessark {

inline constexpr int kPointerCursorFirst = 2;
inline constexpr int kPointerCursorCount = 30;  // pointer2.cur to pointer31.cur
inline constexpr int kSavedSysColours = 29;

struct RuntimeState {
  // Window (set up by RuntimeOpen).
  std::int32_t screen_width = 0;
  std::int32_t screen_height = 0;
  bool show_window = false;
  char class_name[300] = {};
  HICON icon = nullptr;
  HCURSOR arrow = nullptr;
  HCURSOR hourglass = nullptr;
  HCURSOR current_cursor = nullptr;
  HCURSOR previous_cursor = nullptr;
  HCURSOR pointers[kPointerCursorCount] = {};
  bool com_initialised = false;
  COLORREF saved_colours[kSavedSysColours] = {};

  // Quit request and messages.
  std::int32_t quit_requested = 0;
  BYTE quit_seen = 0;
  WORD last_key_code = 0;
  BYTE key_char = 0;
  BYTE last_char = 0;
  std::int32_t typed_length = 0;
  std::int32_t typed_capacity = 0;

  // Life cycle.
  BYTE runtime_opened = 0;
  BYTE frame_ready = 0;

  // Frames.
  BYTE auto_sync = 1;
  BYTE pump_sleep = 0;
  BYTE present_on = 1;
  BYTE scene_begun = 0;
  BYTE sprites_last = 0;
  BYTE present_first = 1;
  std::uint32_t camera_mask = 0xFFFFFFFFu;
  std::uint32_t frame_period = 0;
  std::uint32_t frame_min_gap = 0;
  std::uint32_t last_frame_time = 0;
  // The same stamp in microseconds of a finer clock, so that the wait never ends early
  // because the millisecond clock ticked just after the stamp was taken.
  std::uint64_t last_frame_micros = 0;
};

// The one state record.
RuntimeState& Runtime();

// Microseconds of a monotonic clock.
std::uint64_t ClockMicros();

// The window procedure of the runtime's window class.
LRESULT WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// Loads the icon and cursors (before the class is registered), registers the class and creates
// the window for the window mode; false when no window could be made.
bool WindowCreate(std::uint32_t mode, const char* title, HINSTANCE instance);
// Destroys the window, unregisters its class and frees the cursors and the typed text.
void WindowDestroy();

}  // namespace tessark

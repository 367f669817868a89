// System information: metrics from the desktop, the work area, the screen-saver switch, the
// system colours and their brushes, the millisecond clock, sleeping and COM initialisation.
// Depends on SDL2 (video, timer) and POSIX clocks.
#include <sys/prctl.h>
#include <time.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/replay/replay.h"
#include "platform/win32/user.h"
#include "platform/win32/window_internal.h"

namespace win32 {

namespace {

// The classic desktop scheme: the colours a fresh system starts with.
constexpr COLORREF kDefaultColours[kSysColorCount] = {
    RGB(200, 200, 200), RGB(0, 0, 0),       RGB(153, 180, 209), RGB(191, 205, 219),
    RGB(240, 240, 240), RGB(255, 255, 255), RGB(100, 100, 100), RGB(0, 0, 0),
    RGB(0, 0, 0),       RGB(0, 0, 0),       RGB(180, 180, 180), RGB(244, 247, 252),
    RGB(171, 171, 171), RGB(51, 153, 255),  RGB(255, 255, 255), RGB(240, 240, 240),
    RGB(160, 160, 160), RGB(109, 109, 109), RGB(0, 0, 0),       RGB(67, 78, 84),
    RGB(255, 255, 255), RGB(105, 105, 105), RGB(227, 227, 227), RGB(0, 0, 0),
    RGB(255, 255, 225), RGB(0, 0, 0),       RGB(0, 102, 204),   RGB(185, 209, 234),
    RGB(215, 228, 242), RGB(51, 153, 255),  RGB(240, 240, 240)};

struct Colours {
  Win32Brush brushes[kSysColorCount];
  Colours() {
    for (int i = 0; i < kSysColorCount; ++i) brushes[i].colour = kDefaultColours[i];
  }
};

Colours& Sys() {
  static Colours colours;
  return colours;
}

int g_com_count = 0;
int g_period_count = 0;
// The clock a test moves, or null for the real one.
std::uint64_t* g_test_clock = nullptr;
std::uint64_t g_test_clock_step = 0;

SDL_Rect DesktopBounds() {
  SDL_DisplayMode mode;
  if (VideoReady() && SDL_GetDesktopDisplayMode(0, &mode) == 0)
    return SDL_Rect{0, 0, mode.w, mode.h};
  return SDL_Rect{0, 0, 0, 0};
}

}  // namespace

int GetSystemMetrics(int index) {
  switch (index) {
    case SM_CXSCREEN:
      return DesktopBounds().w;
    case SM_CYSCREEN:
      return DesktopBounds().h;
    case SM_CXFULLSCREEN:
    case SM_CYFULLSCREEN: {
      RECT work{};
      SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
      return index == SM_CXFULLSCREEN ? work.right - work.left
                                      : work.bottom - work.top - GetSystemMetrics(SM_CYCAPTION);
    }
    case SM_CYCAPTION: {
      RECT caption = detail::FrameOf(WS_CAPTION, 0);
      return caption.top - caption.left;
    }
    case SM_CXBORDER:
    case SM_CYBORDER:
      return detail::FrameOf(WS_BORDER, 0).left;
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME:
      return detail::FrameOf(WS_DLGFRAME, 0).left;
    case SM_CXFRAME:
    case SM_CYFRAME:
      return detail::FrameOf(WS_THICKFRAME, 0).left;
    case SM_CXCURSOR:
    case SM_CYCURSOR:
      return 32;
    case SM_MOUSEPRESENT:
      return 1;
    case SM_CMOUSEBUTTONS:
      return 3;
    case SM_CMONITORS:
      return VideoReady() ? std::max(0, SDL_GetNumVideoDisplays()) : 0;
    case SM_CXVIRTUALSCREEN:
    case SM_CYVIRTUALSCREEN: {
      if (!VideoReady()) return 0;
      SDL_Rect all{0, 0, 0, 0};
      for (int i = 0; i < SDL_GetNumVideoDisplays(); ++i) {
        SDL_Rect b;
        if (SDL_GetDisplayBounds(i, &b) == 0) SDL_UnionRect(&all, &b, &all);
      }
      return index == SM_CXVIRTUALSCREEN ? all.w : all.h;
    }
    default:
      return 0;
  }
}

BOOL SystemParametersInfoA(UINT action, UINT uparam, LPVOID pparam, UINT /*winini*/) {
  switch (action) {
    case SPI_GETWORKAREA: {
      if (!pparam || !VideoReady()) return FALSE;
      SDL_Rect usable;
      if (SDL_GetDisplayUsableBounds(0, &usable) != 0) usable = DesktopBounds();
      *static_cast<RECT*>(pparam) =
          RECT{usable.x, usable.y, usable.x + usable.w, usable.y + usable.h};
      return TRUE;
    }
    case SPI_SETSCREENSAVEACTIVE:
      if (!VideoReady()) return FALSE;
      if (uparam)
        SDL_EnableScreenSaver();
      else
        SDL_DisableScreenSaver();
      return TRUE;
    case SPI_GETSCREENSAVEACTIVE:
      if (!pparam || !VideoReady()) return FALSE;
      *static_cast<BOOL*>(pparam) = SDL_IsScreenSaverEnabled() ? TRUE : FALSE;
      return TRUE;
    default:
      return FALSE;
  }
}

DWORD GetSysColor(int index) {
  if (index < 0 || index >= kSysColorCount) return 0;
  return Sys().brushes[index].colour;
}

BOOL SetSysColors(int count, const INT* indices, const COLORREF* colours) {
  if (count < 0 || (count > 0 && (!indices || !colours))) return FALSE;
  for (int i = 0; i < count; ++i)
    if (indices[i] >= 0 && indices[i] < kSysColorCount)
      Sys().brushes[indices[i]].colour = colours[i] & 0x00FFFFFFu;
  return TRUE;
}

HBRUSH GetSysColorBrush(int index) {
  if (index < 0 || index >= kSysColorCount) return nullptr;
  return &Sys().brushes[index];
}

namespace {

std::uint64_t MachineClockMicros() {
  if (g_test_clock) {
    const std::uint64_t now = *g_test_clock;
    *g_test_clock += g_test_clock_step;
    return now;
  }
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<std::uint64_t>(now.tv_sec) * 1000000u +
         static_cast<std::uint64_t>(now.tv_nsec) / 1000u;
}

}  // namespace

// Every clock reading of the runtime comes through here: a recording writes it down.
std::uint64_t ClockMicros() {
  const std::uint64_t now = MachineClockMicros();
  return replay::Active() ? replay::Clock(now) : now;
}

void SleepMicros(std::uint64_t micros) {
  if (replay::Active() && replay::SkipSleep()) return;  // a replay paces by the recorded clock
  if (g_test_clock) {
    *g_test_clock += micros;
    return;
  }
  static bool slack_set = false;
  if (!slack_set) {
    // Sleeps end within a few microseconds of the time asked rather than the default 50.
    prctl(PR_SET_TIMERSLACK, 1000UL, 0UL, 0UL, 0UL);
    slack_set = true;
  }
  timespec wait{static_cast<time_t>(micros / 1000000u),
                static_cast<long>(micros % 1000000u) * 1000L};
  while (nanosleep(&wait, &wait) != 0 && errno == EINTR) {
  }
}

namespace testing {
void SetTimeSource(std::uint64_t* now_micros, std::uint64_t micros_per_reading) {
  g_test_clock = now_micros;
  g_test_clock_step = micros_per_reading;
}
}  // namespace testing

DWORD timeGetTime() {
  return static_cast<DWORD>(ClockMicros() / 1000u);
}

// The clock already ticks every millisecond here; the periods are only counted.
UINT timeBeginPeriod(UINT period) {
  if (period == 0) return TIMERR_NOCANDO;
  ++g_period_count;
  return TIMERR_NOERROR;
}

UINT timeEndPeriod(UINT period) {
  if (period == 0 || g_period_count == 0) return TIMERR_NOCANDO;
  --g_period_count;
  return TIMERR_NOERROR;
}

void Sleep(DWORD milliseconds) {
  if (g_test_clock) {
    *g_test_clock += std::uint64_t{milliseconds} * 1000u;
    return;
  }
  timespec wait{static_cast<time_t>(milliseconds / 1000),
                static_cast<long>(milliseconds % 1000) * 1000000L};
  while (nanosleep(&wait, &wait) != 0 && errno == EINTR) {
  }
}

HRESULT CoInitialize(LPVOID /*reserved*/) {
  return g_com_count++ == 0 ? S_OK : S_FALSE;
}

void CoUninitialize() {
  if (g_com_count > 0) --g_com_count;
}

}  // namespace win32

// The window's display side: how the runtime's window (runtime/core/window.cpp) is shaped to
// the display mode and changed by the game's window operations, through the win32 stand-in's
// windows (platform/win32/window.cpp).
// Display and window modes: DisplaySetMode, fitting the window to the window mode after every
// set-up, switching between windowed and full-screen operation, the window operations (show,
// place, size, style, title, order), and the queries (modes, frame rate, gamma). Depends on the
// display state and the win32 stand-in.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "platform/win32/paths.h"
#include "runtime/core/core_data.h"
#include "runtime/core/errors.h"
#include "runtime/core/text_alloc.h"
#include "runtime/display/display_state.h"
#include "tessark/display.h"

namespace tessark::display {

using namespace win32;

namespace {

bool HasParent() {
  CoreData* core = State().core;
  return core && core->parent_window;
}

// Seconds from the millisecond clock (the stand-in offers no performance counter).
double Seconds() {
  return timeGetTime() * 0.001;
}

}  // namespace

void WindowSettingsDefaults() {
  DisplayState& s = State();
  s.window_style = WS_OVERLAPPEDWINDOW;
  s.show_command = SW_SHOWDEFAULT;
  s.title.clear();
  s.applied_extra_width = s.applied_extra_height = 0;
  s.frame_extra_measured = false;
}

// Fits the focus window to the window mode after a set-up.
void WindowFit() {
  DisplayState& s = State();
  CoreData* core = s.core;
  if (!core) return;
  HWND w = s.focus;
  if (w) s.class_icon = GetClassLongA(w, GCL_HICON);
  std::int32_t width, height;
  switch (core->window_mode) {
    case 1: {
      width = core->display_width;
      height = core->display_height;
      if (!s.frame_extra_measured && w && !HasParent()) {
        // The window was created with the display size as its outer size: what its client
        // area lacks is what the frame takes.
        RECT client{}, outer{};
        GetClientRect(w, &client);
        GetWindowRect(w, &outer);
        s.frame_extra_width = (outer.right - outer.left) - (client.right - client.left);
        s.frame_extra_height = (outer.bottom - outer.top) - (client.bottom - client.top);
        s.frame_extra_measured = true;
      }
      s.applied_extra_width = s.frame_extra_width;
      s.applied_extra_height = s.frame_extra_height;
      break;
    }
    case 2: {
      RECT work{};
      SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
      width = work.right - work.left;
      height = work.bottom - work.top;
      s.applied_extra_width = s.applied_extra_height = 0;
      break;
    }
    case 3:
      width = s.width;
      height = s.height;
      s.applied_extra_width = s.applied_extra_height = 0;
      break;
    default:
      width = GetSystemMetrics(SM_CXSCREEN);
      height = GetSystemMetrics(SM_CYSCREEN);
      s.applied_extra_width = s.applied_extra_height = 0;
      break;
  }
  s.window_width = width;
  s.window_height = height;
  if (HasParent() || !w) return;
  UINT flags = SWP_NOMOVE | SWP_NOZORDER | (core->window_mode == 1 ? SWP_SHOWWINDOW : 0);
  SetWindowPos(w, HWND_TOP, 0, 0, width + s.applied_extra_width, height + s.applied_extra_height,
               flags);
}

void WindowApply(bool apply_all, bool redraw_everything) {
  DisplayState& s = State();
  CoreData* core = s.core;
  HWND w = s.focus;
  if (HasParent() || !w) return;
  if (!apply_all) {
    ShowWindow(w, s.show_command);
  } else {
    if (!s.title.empty()) SetWindowTextA(w, s.title.c_str());
    SetWindowLongA(w, GWL_STYLE, static_cast<LONG_PTR>(s.window_style));
    SetWindowPos(w, HWND_TOP, core ? core->window_x : 0, core ? core->window_y : 0,
                 s.window_width + s.applied_extra_width, s.window_height + s.applied_extra_height,
                 SWP_SHOWWINDOW);
    ShowWindow(w, s.show_command);
    SetClassLongA(w, GCL_HICON, s.window_icon);
  }
  InvalidateRect(redraw_everything ? nullptr : w, nullptr, FALSE);
  UpdateWindow(w);
}

// The external-window settings: "Main Window" and "Child Window" of the section "External" of
// the settings path followed by ".ini". They are read and kept; hosting the runtime inside
// another program's window is not offered on this platform.
void ExternalSettingsRead() {
  DisplayState& s = State();
  s.external_main.clear();
  s.external_child.clear();
  CoreData* core = s.core;
  if (!core || !core->settings_path || std::strlen(core->settings_path) <= 4) return;
  std::ifstream in(NativePath(std::string(core->settings_path) + ".ini"));
  std::string line, section;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty() && line.front() == '[') {
      section = line.substr(1, line.find(']') - 1);
      continue;
    }
    std::size_t eq = line.find('=');
    if (section != "External" || eq == std::string::npos) continue;
    std::string key = line.substr(0, eq), value = line.substr(eq + 1, 260);
    if (key == "Main Window") s.external_main = value;
    if (key == "Child Window") s.external_child = value;
  }
}

}  // namespace tessark::display

namespace tessark {

// ---------------------------------------------------------------------------------------------
// Game-facing operations
// ---------------------------------------------------------------------------------------------

using namespace tessark::display;
using namespace win32;

namespace {

constexpr DWORD kFullScreenWindowStyle = 0x800A0000;  // popup with system menu, minimise box
constexpr DWORD kPopupStyles[] = {0x80CD0000, 0x80CB0000, 0x80CE0000};

}  // namespace

void DisplaySetMode(std::int32_t width, std::int32_t height, std::int32_t depth) {
  DisplayReset(width, height, depth);
}

void DisplaySwitchWindowed() {
  DisplayState& s = State();
  tessark::CoreData* core = s.core;
  if (!core) return;
  if (!s.windowed) {
    s.windowed = 1;
    DisplayReset(core->display_width, core->display_height, core->display_depth);
  }
  core->window_mode = 1;
  s.window_width = core->display_width;
  s.window_height = core->display_height;
  s.applied_extra_width = s.frame_extra_width;
  s.applied_extra_height = s.frame_extra_height;
  s.show_command = SW_SHOWDEFAULT;
  s.window_style = WS_OVERLAPPEDWINDOW;
  WindowApply(true, true);
}

void DisplaySwitchFullScreen() {
  DisplayState& s = State();
  tessark::CoreData* core = s.core;
  if (!core) return;
  s.show_command = SW_SHOWDEFAULT;
  s.window_width = GetSystemMetrics(SM_CXFULLSCREEN);
  s.window_height = GetSystemMetrics(SM_CYFULLSCREEN);
  s.applied_extra_width = s.applied_extra_height = 0;
  s.window_icon = s.class_icon;
  s.window_style = kFullScreenWindowStyle;
  WindowApply(true, true);
  if (s.windowed) {
    s.windowed = 0;
    core->window_mode = 3;
    DisplayReset(core->display_width, core->display_height, core->display_depth);
  }
}

namespace {

void ShowCommand(int command) {
  DisplayState& s = State();
  s.show_command = command;
  if ((s.core && s.core->parent_window) || !s.focus) return;
  ShowWindow(s.focus, command);
  InvalidateRect(nullptr, nullptr, FALSE);
  UpdateWindow(s.focus);
}

}  // namespace

void WindowHide() {
  ShowCommand(SW_HIDE);
}
void WindowShow() {
  ShowCommand(SW_SHOW);
}
void WindowMinimise() {
  ShowCommand(SW_MINIMIZE);
}
void WindowMaximise() {
  ShowCommand(SW_MAXIMIZE);
}
void WindowRestore() {
  ShowCommand(SW_SHOWNORMAL);
}

void WindowSetPosition(std::int32_t x, std::int32_t y) {
  DisplayState& s = State();
  if (s.core) {
    s.core->window_x = x;
    s.core->window_y = y;
  }
  WindowApply(true, true);
}

void WindowSetSize(std::int32_t width, std::int32_t height) {
  DisplayState& s = State();
  s.window_width = width;
  s.window_height = height;
  WindowApply(true, true);
}

void WindowSetStyle(std::int32_t style, std::int32_t caption, std::int32_t icon) {
  DisplayState& s = State();
  if (style == 1) {
    s.window_style = WS_OVERLAPPEDWINDOW;
    s.applied_extra_width = s.frame_extra_width;
    s.applied_extra_height = s.frame_extra_height;
  } else {
    s.window_style = style >= 2 && style <= 4 ? kPopupStyles[style - 2] : WS_POPUP;
    s.applied_extra_width = s.applied_extra_height = 0;
  }
  if (caption == 1) {
    s.window_style |= WS_CAPTION;
    s.applied_extra_width = s.frame_extra_width - 2;
    s.applied_extra_height = s.frame_extra_height - 2;
  }
  s.window_icon = icon == 1 ? s.class_icon : 0;
  WindowApply(true, true);
}

void WindowSetTitle(const char* title) {
  DisplayState& s = State();
  s.title = title ? title : "";
  if (s.focus) SetWindowTextA(s.focus, s.title.c_str());
}

bool WindowExists(const char* title) {
  return title && FindWindowA(nullptr, title) ? 1 : 0;
}

void WindowToBack() {
  if (HWND w = State().focus) SetWindowPos(w, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

void WindowToFront() {
  if (HWND w = State().focus) SetForegroundWindow(w);
}

void WindowToBackByTitle(const char* title) {
  if (HWND w = title ? FindWindowA(nullptr, title) : nullptr) {
    SetWindowPos(w, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  }
}

void WindowToFrontByTitle(const char* title) {
  if (HWND w = title ? FindWindowA(nullptr, title) : nullptr) SetForegroundWindow(w);
}

bool DisplayWindowed() {
  return State().windowed;
}

std::int32_t DisplayAdapterCount() {
  DisplayState& s = State();
  return s.d3d ? static_cast<std::int32_t>(s.d3d->GetAdapterCount()) : 0;
}

std::int32_t DisplayModeCount() {
  DisplayState& s = State();
  return s.adapters.empty() ? 0 : static_cast<std::int32_t>(s.adapters[0].modes.size());
}

char* DisplayModeDescription(std::int32_t index) {
  char buffer[64] = {};
  DisplayState& s = State();
  if (s.adapters.empty() || index < 0 ||
      index >= static_cast<std::int32_t>(s.adapters[0].modes.size())) {
    return TextCopy(buffer);
  }
  const DisplayModeEntry& m = s.adapters[0].modes[static_cast<std::size_t>(index)];
  DWORD f = m.format;
  long depth = (f == 20 || f == 21 || f == 22) ? 32 : 16;
  std::snprintf(buffer, sizeof buffer, "%ld x %ld x %ld", static_cast<long>(m.width),
                static_cast<long>(m.height), depth);
  return TextCopy(buffer);
}

std::int32_t DisplayFps() {
  DisplayState& s = State();
  if (s.frame_marked) {
    s.frame_marked = false;
    double now = Seconds();
    ++s.frames_counted;
    if (s.last_measurement < 0) {
      s.last_measurement = now;
    } else if (now - s.last_measurement > 1.0) {
      s.fps_reading = static_cast<float>(s.frames_counted / (now - s.last_measurement));
      s.frames_counted = 0;
      s.last_measurement = now;
    }
  }
  return static_cast<std::int32_t>(s.fps_reading);
}

void DisplaySetGamma(std::int32_t red, std::int32_t green, std::int32_t blue) {
  DisplayState& s = State();
  s.gamma_red = red;
  s.gamma_green = green;
  s.gamma_blue = blue;
  if (!s.device) return;
  // 255 is the straight ramp; other values scale it, limited to the ramp's range.
  D3DGAMMARAMP ramp;
  auto level = [](int i, std::int32_t g) {
    long v = static_cast<long>(i) * 257 * g / 255;
    return static_cast<WORD>(v < 0 ? 0 : (v > 65535 ? 65535 : v));
  };
  for (int i = 0; i < 256; ++i) {
    ramp.red[i] = level(i, red);
    ramp.green[i] = level(i, green);
    ramp.blue[i] = level(i, blue);
  }
  s.device->SetGammaRamp(0, D3DSGR_NO_CALIBRATION, &ramp);
}

void DisplayGamma(std::int32_t* red, std::int32_t* green, std::int32_t* blue) {
  DisplayState& s = State();
  if (!red || !green || !blue) tessark::RuntimeNotice("Invalid pointers passed to GetGamma");
  // Written through every pointer that is there; a null one is skipped rather than written.
  if (red) *red = s.gamma_red;
  if (green) *green = s.gamma_green;
  if (blue) *blue = s.gamma_blue;
}

}  // namespace tessark

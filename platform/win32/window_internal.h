// What the window-system stand-in's files share: the window record behind an HWND, the live
// window registry and the message queue's entry points for the event translation.
#pragma once

#include <SDL.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/win32/user.h"

struct Win32Window {
  SDL_Window* sdl = nullptr;
  Uint32 sdl_id = 0;
  std::string class_name;
  std::string text;
  WNDPROC proc = nullptr;
  DWORD style = 0;
  DWORD ex_style = 0;
  HINSTANCE instance = nullptr;
  LONG_PTR user_data = 0;
  RECT window_rect{};  // outer rectangle in screen coordinates
  int client_width = 0;
  int client_height = 0;
  bool visible = false;
  bool minimised = false;
  bool full_screen = false;
  // Whole-pixel scaling (SetWindowScale): the scale asked for, and the view now in effect on the
  // SDL window, fitted to the size the window manager gave it.
  int scale = 1;
  win32::WindowView view;
  // Painting: the pending update region (as one rectangle) and whether it needs erasing.
  bool needs_paint = false;
  bool erase = false;
  RECT update_rect{};
  COLORREF background = 0;
};

namespace win32::detail {

// The window for a handle when it is alive, else null.
Win32Window* Live(HWND window);
// Every live window in the order of creation.
const std::vector<std::unique_ptr<Win32Window>>& Windows();
// Appends a message to the thread's queue.
void Post(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
// Removes every queued message for a window.
void DropMessagesFor(HWND window);
// The window that takes keyboard messages: the focus window, else the newest visible window,
// else the newest window.
HWND KeyboardTarget();
// Frame sizes of a style: left, top, right and bottom thickness around the client area.
RECT FrameOf(DWORD style, DWORD ex_style);
// The queue's time stamp for a message (milliseconds, as timeGetTime).
DWORD Now();
// Makes the SDL window follow the window's outer rectangle and client size.
void SyncSdlGeometry(Win32Window& w);
// Whether the window's client is shown scaled on its SDL window.
bool Scaled(const Win32Window& w);
// Fits the scaled view to an SDL window of width x height pixels: the largest whole scale at
// which the client fits (at least 1), centred.
void FitView(Win32Window& w, int width, int height);
// An SDL window position (a mouse event's) as a client position: the client pixel under it,
// kept inside the client area.
POINT ClientFromSdl(HWND window, int x, int y);
// The client area's screen origin for an SDL window placed at (x, y).
POINT ClientOriginFromSdl(const Win32Window& w, int x, int y);
// Turns one SDL event into window messages (installed into the event source).
void EventToMessages(const SDL_Event& event);
// Forgets the active window without messages (it lost the focus to another program).
void ClearActive();
// The screen position of the last mouse event, as GetCursorPos reports it.
POINT LastCursor();
void SetLastCursor(POINT point);
// Forgets cursor state tied to a destroyed window system.
void CursorsShutdown();

}  // namespace win32::detail

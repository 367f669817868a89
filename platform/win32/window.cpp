// The window's system side: the stand-in for the operating system's windows. The runtime's own
// window (runtime/core/window.cpp) and the display's window modes
// (runtime/display/window_modes.cpp) are built on what this file provides.
// Window classes, windows, their geometry, activation and focus, and painting. Each window is
// one SDL window the size of its client area; the frame around it is computed from the style.
// Depends on SDL2 (video) and the message queue in message_queue.cpp.
#include <SDL_image.h>
#include <strings.h>

#include <algorithm>
#include <cstring>
#include <map>

#include "platform/win32/event_source.h"
#include "platform/win32/user.h"
#include "platform/win32/window_internal.h"

namespace win32 {

extern void (*g_event_to_messages)(const SDL_Event& event);

namespace {

constexpr int CW_USEDEFAULT = static_cast<int>(0x80000000u);

// Frame thicknesses of the classic window look, in pixels.
constexpr int kCaptionHeight = 19;
constexpr int kSizingFrame = 4;
constexpr int kDialogFrame = 3;
constexpr int kBorder = 1;

// A program's windows carry the icon kept beside its Data (icon.png in the folder it runs in), so
// that a desktop's task bar and window switcher show it; without the file they carry none.
void SetProgramIcon(SDL_Window* window) {
  SDL_Surface* icon = IMG_Load("icon.png");
  if (!icon) return;
  SDL_SetWindowIcon(window, icon);
  SDL_FreeSurface(icon);
}

struct ClassKeyLess {
  bool operator()(const std::string& a, const std::string& b) const {
    return ::strcasecmp(a.c_str(), b.c_str()) < 0;
  }
};

struct WindowSystem {
  std::map<std::string, WNDCLASSA, ClassKeyLess> classes;
  std::map<std::string, std::string, ClassKeyLess> class_names;  // keeps the names alive
  std::vector<std::unique_ptr<Win32Window>> windows;
  HWND active = nullptr;
  HWND focus = nullptr;
  ATOM next_atom = 0xC000;
};

WindowSystem& Ws() {
  static WindowSystem ws;
  return ws;
}

// Sends WM_ACTIVATE to the windows losing and gaining activation, then moves the focus.
void Activate(HWND window, WORD how) {
  WindowSystem& ws = Ws();
  if (ws.active == window) return;
  HWND old = detail::Live(ws.active) ? ws.active : nullptr;
  ws.active = window;
  if (old) SendMessageA(old, WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(window));
  if (window) {
    if (Win32Window* w = detail::Live(window); w && w->sdl && w->visible) SDL_RaiseWindow(w->sdl);
    SendMessageA(window, WM_ACTIVATE, how, reinterpret_cast<LPARAM>(old));
    if (ws.focus != window) SetFocus(window);
  } else if (ws.focus) {
    SetFocus(nullptr);
  }
}

// Client size from the outer rectangle and the style's frame.
void ClientFromOuter(Win32Window& w) {
  if (w.full_screen) return;
  RECT f = detail::FrameOf(w.style, w.ex_style);
  w.client_width = std::max<LONG>(0, (w.window_rect.right - w.window_rect.left) - f.left - f.right);
  w.client_height =
      std::max<LONG>(0, (w.window_rect.bottom - w.window_rect.top) - f.top - f.bottom);
}

LPARAM ClientOriginParam(const Win32Window& w) {
  RECT f = detail::FrameOf(w.style, w.ex_style);
  return MAKELPARAM(w.window_rect.left + f.left, w.window_rect.top + f.top);
}

void InvalidateAll(Win32Window& w, bool erase) {
  w.needs_paint = true;
  w.erase = w.erase || erase;
  w.update_rect = RECT{0, 0, w.client_width, w.client_height};
}

void ApplySdlStyle(Win32Window& w) {
  if (!w.sdl) return;
  bool framed = (w.style & WS_CAPTION) != 0 || (w.style & WS_THICKFRAME) != 0;
  SDL_SetWindowBordered(w.sdl, framed ? SDL_TRUE : SDL_FALSE);
  SDL_SetWindowResizable(w.sdl, (w.style & WS_THICKFRAME) ? SDL_TRUE : SDL_FALSE);
}

}  // namespace

namespace detail {

Win32Window* Live(HWND window) {
  if (!window) return nullptr;
  for (const auto& w : Ws().windows)
    if (w.get() == window) return w.get();
  return nullptr;
}

const std::vector<std::unique_ptr<Win32Window>>& Windows() {
  return Ws().windows;
}

HWND KeyboardTarget() {
  WindowSystem& ws = Ws();
  if (Live(ws.focus)) return ws.focus;
  for (auto it = ws.windows.rbegin(); it != ws.windows.rend(); ++it)
    if ((*it)->visible) return it->get();
  return ws.windows.empty() ? nullptr : ws.windows.back().get();
}

RECT FrameOf(DWORD style, DWORD /*ex_style*/) {
  int edge = 0;
  if (style & WS_THICKFRAME)
    edge = kSizingFrame;
  else if (style & WS_DLGFRAME)
    edge = kDialogFrame;
  else if (style & WS_BORDER)
    edge = kBorder;
  int top = edge + ((style & WS_CAPTION) == WS_CAPTION ? kCaptionHeight : 0);
  return RECT{edge, top, edge, edge};
}

void ClearActive() {
  Ws().active = nullptr;
}

// A scaled window grows about its client's centre, kept clear of the screen's top-left so that
// its frame stays in reach; ClientOriginFromSdl is the way back.
POINT SdlOrigin(const Win32Window& w) {
  RECT f = FrameOf(w.style, w.ex_style);
  POINT at{w.window_rect.left + f.left, w.window_rect.top + f.top};
  if (!Scaled(w)) return at;
  return POINT{std::max<LONG>(f.left, at.x - w.client_width * (w.scale - 1) / 2),
               std::max<LONG>(f.top, at.y - w.client_height * (w.scale - 1) / 2)};
}

POINT ClientOriginFromSdl(const Win32Window& w, int x, int y) {
  if (!Scaled(w)) return POINT{x, y};
  return POINT{x + w.client_width * (w.scale - 1) / 2, y + w.client_height * (w.scale - 1) / 2};
}

void SyncSdlGeometry(Win32Window& w) {
  if (!w.sdl || w.full_screen) return;
  const int scale = Scaled(w) ? w.scale : 1;
  const int width = std::max(1, w.client_width * scale);
  const int height = std::max(1, w.client_height * scale);
  SDL_SetWindowSize(w.sdl, width, height);
  POINT at = SdlOrigin(w);
  SDL_SetWindowPosition(w.sdl, at.x, at.y);
  FitView(w, width, height);
}

bool Scaled(const Win32Window& w) {
  return w.scale > 1 && !w.full_screen;
}

void FitView(Win32Window& w, int width, int height) {
  w.view = WindowView{};
  if (!Scaled(w) || w.client_width <= 0 || w.client_height <= 0) return;
  w.view.scale = std::max(1, std::min(width / w.client_width, height / w.client_height));
  w.view.left = (width - w.client_width * w.view.scale) / 2;
  w.view.top = (height - w.client_height * w.view.scale) / 2;
}

POINT ClientFromSdl(HWND window, int x, int y) {
  Win32Window* w = Live(window);
  if (!w || !Scaled(*w)) return POINT{x, y};
  // Floor division: the border left of and above the picture is negative, and kept at 0.
  auto client = [&](int at, int origin, int size) {
    int offset = at - origin;
    int pixel = offset >= 0 ? offset / w->view.scale : -1;
    return std::clamp(pixel, 0, std::max(0, size - 1));
  };
  return POINT{client(x, w->view.left, w->client_width), client(y, w->view.top, w->client_height)};
}

}  // namespace detail

bool VideoReady() {
  if (SDL_WasInit(SDL_INIT_VIDEO) == 0) {
    // A full-screen window must stay put when another window takes the focus.
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) return false;
  }
  g_event_to_messages = detail::EventToMessages;
  return true;
}

ATOM RegisterClassA(const WNDCLASSA* window_class) {
  if (!window_class || !window_class->lpszClassName || !window_class->lpfnWndProc) return 0;
  WindowSystem& ws = Ws();
  std::string name = window_class->lpszClassName;
  if (ws.classes.count(name)) return 0;  // already registered
  auto& stored = ws.class_names[name] = name;
  WNDCLASSA copy = *window_class;
  copy.lpszClassName = stored.c_str();
  copy.lpszMenuName = nullptr;
  ws.classes[name] = copy;
  return ws.next_atom++;
}

BOOL UnregisterClassA(LPCSTR class_name, HINSTANCE /*instance*/) {
  if (!class_name) return FALSE;
  WindowSystem& ws = Ws();
  for (const auto& w : ws.windows)
    if (::strcasecmp(w->class_name.c_str(), class_name) == 0) return FALSE;  // still in use
  if (ws.classes.erase(class_name) == 0) return FALSE;
  ws.class_names.erase(class_name);
  return TRUE;
}

HWND CreateWindowExA(DWORD ex_style, LPCSTR class_name, LPCSTR window_name, DWORD style, int x,
                     int y, int width, int height, HWND /*parent*/, HMENU /*menu*/,
                     HINSTANCE instance, LPVOID /*param*/) {
  if (!class_name || !VideoReady()) return nullptr;
  WindowSystem& ws = Ws();
  auto found = ws.classes.find(class_name);
  if (found == ws.classes.end()) return nullptr;

  if (x == CW_USEDEFAULT) x = y = 100;
  if (width == CW_USEDEFAULT) {
    width = 640;
    height = 480;
  }
  auto w = std::make_unique<Win32Window>();
  w->class_name = found->second.lpszClassName;
  w->text = window_name ? window_name : "";
  w->proc = found->second.lpfnWndProc;
  w->style = style & ~WS_VISIBLE;
  w->ex_style = ex_style;
  w->instance = instance;
  w->window_rect = RECT{x, y, x + std::max(0, width), y + std::max(0, height)};
  ClientFromOuter(*w);

  RECT f = detail::FrameOf(w->style, ex_style);
  Uint32 flags = SDL_WINDOW_HIDDEN;
  if ((style & (WS_CAPTION | WS_THICKFRAME)) == 0) flags |= SDL_WINDOW_BORDERLESS;
  if (style & WS_THICKFRAME) flags |= SDL_WINDOW_RESIZABLE;
  if (ex_style & WS_EX_TOPMOST) flags |= SDL_WINDOW_ALWAYS_ON_TOP;
  w->sdl = SDL_CreateWindow(w->text.c_str(), x + f.left, y + f.top, std::max(1, w->client_width),
                            std::max(1, w->client_height), flags);
  if (!w->sdl) return nullptr;
  SetProgramIcon(w->sdl);
  w->sdl_id = SDL_GetWindowID(w->sdl);
  HWND handle = w.get();
  ws.windows.push_back(std::move(w));

  SendMessageA(handle, WM_CREATE, 0, 0);
  if (!detail::Live(handle)) return nullptr;  // the procedure destroyed it
  Win32Window* live = detail::Live(handle);
  SendMessageA(handle, WM_SIZE, SIZE_RESTORED, MAKELPARAM(live->client_width, live->client_height));
  if (!detail::Live(handle)) return nullptr;
  SendMessageA(handle, WM_MOVE, 0, ClientOriginParam(*detail::Live(handle)));
  if (style & WS_VISIBLE) ShowWindow(handle, SW_SHOW);
  return detail::Live(handle) ? handle : nullptr;
}

BOOL DestroyWindow(HWND window) {
  if (!detail::Live(window)) return FALSE;
  WindowSystem& ws = Ws();
  if (ws.active == window) Activate(nullptr, WA_INACTIVE);
  if (ws.focus == window) ws.focus = nullptr;
  SendMessageA(window, WM_DESTROY, 0, 0);
  SendMessageA(window, WM_NCDESTROY, 0, 0);
  Win32Window* w = detail::Live(window);
  if (!w) return TRUE;
  if (w->sdl) SDL_DestroyWindow(w->sdl);
  w->sdl = nullptr;
  detail::DropMessagesFor(window);  // messages still queued for the window die with it
  auto& list = ws.windows;
  list.erase(std::remove_if(list.begin(), list.end(), [&](const auto& p) { return p.get() == w; }),
             list.end());
  if (ws.active == window) ws.active = nullptr;
  if (ws.focus == window) ws.focus = nullptr;
  return TRUE;
}

BOOL IsWindow(HWND window) {
  return detail::Live(window) ? TRUE : FALSE;
}

BOOL IsWindowVisible(HWND window) {
  Win32Window* w = detail::Live(window);
  return w && w->visible ? TRUE : FALSE;
}

BOOL ShowWindow(HWND window, int command) {
  Win32Window* w = detail::Live(window);
  if (!w) return FALSE;
  BOOL was_visible = w->visible ? TRUE : FALSE;
  if (command == SW_HIDE) {
    if (w->visible) {
      w->visible = false;
      w->style &= ~WS_VISIBLE;
      SDL_HideWindow(w->sdl);
      SendMessageA(window, WM_SHOWWINDOW, FALSE, 0);
      if (Ws().active == window) Activate(nullptr, WA_INACTIVE);
    }
    return was_visible;
  }
  if (!w->visible) {
    w->visible = true;
    w->style |= WS_VISIBLE;
    SDL_ShowWindow(w->sdl);
    SendMessageA(window, WM_SHOWWINDOW, TRUE, 0);
    if (!detail::Live(window)) return was_visible;
    InvalidateAll(*w, true);
  }
  switch (command) {
    case SW_MINIMIZE:
    case SW_SHOWMINIMIZED:
    case SW_SHOWMINNOACTIVE:
      SDL_MinimizeWindow(w->sdl);
      break;
    case SW_MAXIMIZE:
      SDL_MaximizeWindow(w->sdl);
      break;
    case SW_RESTORE:
      SDL_RestoreWindow(w->sdl);
      break;
    default:
      break;
  }
  if (command != SW_SHOWNA && command != SW_SHOWNOACTIVATE && command != SW_SHOWMINNOACTIVE &&
      command != SW_MINIMIZE)
    Activate(window, WA_ACTIVE);
  return was_visible;
}

BOOL CloseWindow(HWND window) {
  Win32Window* w = detail::Live(window);
  if (!w) return FALSE;
  SDL_MinimizeWindow(w->sdl);
  return TRUE;
}

BOOL SetWindowPos(HWND window, HWND insert_after, int x, int y, int width, int height, UINT flags) {
  Win32Window* w = detail::Live(window);
  if (!w) return FALSE;
  if (!(flags & SWP_NOZORDER) && w->sdl) {
    if (insert_after == HWND_TOPMOST) SDL_SetWindowAlwaysOnTop(w->sdl, SDL_TRUE);
    if (insert_after == HWND_NOTOPMOST) SDL_SetWindowAlwaysOnTop(w->sdl, SDL_FALSE);
  }
  RECT old = w->window_rect;
  int old_cw = w->client_width, old_ch = w->client_height;
  if (!(flags & SWP_NOMOVE)) {
    LONG ow = old.right - old.left, oh = old.bottom - old.top;
    w->window_rect = RECT{x, y, x + ow, y + oh};
  }
  if (!(flags & SWP_NOSIZE)) {
    w->window_rect.right = w->window_rect.left + std::max(0, width);
    w->window_rect.bottom = w->window_rect.top + std::max(0, height);
  }
  ClientFromOuter(*w);
  detail::SyncSdlGeometry(*w);

  bool moved = w->window_rect.left != old.left || w->window_rect.top != old.top ||
               (flags & SWP_FRAMECHANGED);
  bool sized = w->client_width != old_cw || w->client_height != old_ch;
  if (sized) {
    InvalidateAll(*w, true);
    SendMessageA(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(w->client_width, w->client_height));
  }
  if ((w = detail::Live(window)) && moved) SendMessageA(window, WM_MOVE, 0, ClientOriginParam(*w));
  if (!detail::Live(window)) return TRUE;
  if (flags & SWP_SHOWWINDOW) ShowWindow(window, (flags & SWP_NOACTIVATE) ? SW_SHOWNA : SW_SHOW);
  if (flags & SWP_HIDEWINDOW) ShowWindow(window, SW_HIDE);
  return TRUE;
}

BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint) {
  return SetWindowPos(window, nullptr, x, y, width, height,
                      SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0 : SWP_NOREDRAW));
}

BOOL GetClientRect(HWND window, RECT* rect) {
  Win32Window* w = detail::Live(window);
  if (!w || !rect) return FALSE;
  *rect = RECT{0, 0, w->client_width, w->client_height};
  return TRUE;
}

BOOL GetWindowRect(HWND window, RECT* rect) {
  Win32Window* w = detail::Live(window);
  if (!w || !rect) return FALSE;
  *rect = w->window_rect;
  return TRUE;
}

BOOL ClientToScreen(HWND window, POINT* point) {
  Win32Window* w = detail::Live(window);
  if (!w || !point) return FALSE;
  RECT f = w->full_screen ? RECT{} : detail::FrameOf(w->style, w->ex_style);
  point->x += w->window_rect.left + f.left;
  point->y += w->window_rect.top + f.top;
  return TRUE;
}

BOOL ScreenToClient(HWND window, POINT* point) {
  Win32Window* w = detail::Live(window);
  if (!w || !point) return FALSE;
  RECT f = w->full_screen ? RECT{} : detail::FrameOf(w->style, w->ex_style);
  point->x -= w->window_rect.left + f.left;
  point->y -= w->window_rect.top + f.top;
  return TRUE;
}

BOOL AdjustWindowRectEx(RECT* rect, DWORD style, BOOL /*menu*/, DWORD ex_style) {
  if (!rect) return FALSE;
  RECT f = detail::FrameOf(style, ex_style);
  rect->left -= f.left;
  rect->top -= f.top;
  rect->right += f.right;
  rect->bottom += f.bottom;
  return TRUE;
}

BOOL AdjustWindowRect(RECT* rect, DWORD style, BOOL menu) {
  return AdjustWindowRectEx(rect, style, menu, 0);
}

LONG_PTR GetWindowLongPtrA(HWND window, int index) {
  Win32Window* w = detail::Live(window);
  if (!w) return 0;
  switch (index) {
    case GWL_WNDPROC:
      return reinterpret_cast<LONG_PTR>(w->proc);
    case GWL_STYLE:
      return static_cast<LONG_PTR>(w->style);
    case GWL_EXSTYLE:
      return static_cast<LONG_PTR>(w->ex_style);
    case GWL_USERDATA:
      return w->user_data;
    case GWL_HINSTANCE:
      return reinterpret_cast<LONG_PTR>(w->instance);
    default:
      return 0;
  }
}

LONG GetWindowLongA(HWND window, int index) {
  return static_cast<LONG>(GetWindowLongPtrA(window, index));
}

LONG_PTR SetWindowLongPtrA(HWND window, int index, LONG_PTR value) {
  Win32Window* w = detail::Live(window);
  if (!w) return 0;
  LONG_PTR old = GetWindowLongPtrA(window, index);
  switch (index) {
    case GWL_WNDPROC:
      if (value) w->proc = reinterpret_cast<WNDPROC>(value);
      break;
    case GWL_STYLE: {
      // Visibility follows ShowWindow; the frame follows the next SetWindowPos.
      DWORD style = static_cast<DWORD>(value);
      w->style = (style & ~WS_VISIBLE) | (w->visible ? WS_VISIBLE : 0);
      ApplySdlStyle(*w);
      break;
    }
    case GWL_EXSTYLE:
      w->ex_style = static_cast<DWORD>(value);
      break;
    case GWL_USERDATA:
      w->user_data = value;
      break;
    default:
      return 0;
  }
  return old;
}

LONG_PTR SetWindowLongA(HWND window, int index, LONG_PTR value) {
  return SetWindowLongPtrA(window, index, value);
}

BOOL SetWindowTextA(HWND window, LPCSTR text) {
  if (!detail::Live(window)) return FALSE;
  SendMessageA(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text ? text : ""));
  return TRUE;
}

int GetWindowTextA(HWND window, LPSTR buffer, int capacity) {
  if (!detail::Live(window)) return 0;
  return static_cast<int>(SendMessageA(window, WM_GETTEXT,
                                       static_cast<WPARAM>(std::max(0, capacity)),
                                       reinterpret_cast<LPARAM>(buffer)));
}

LONG_PTR SetClassLongA(HWND window, int index, LONG_PTR value) {
  Win32Window* w = detail::Live(window);
  if (!w) return 0;
  auto found = Ws().classes.find(w->class_name);
  if (found == Ws().classes.end()) return 0;
  LONG_PTR old = GetClassLongA(window, index);
  if (index == GCL_HICON) found->second.hIcon = reinterpret_cast<HICON>(value);
  if (index == GCL_HCURSOR) found->second.hCursor = reinterpret_cast<HCURSOR>(value);
  return old;
}

LONG_PTR GetClassLongA(HWND window, int index) {
  Win32Window* w = detail::Live(window);
  if (!w) return 0;
  auto found = Ws().classes.find(w->class_name);
  if (found == Ws().classes.end()) return 0;
  if (index == GCL_HICON) return reinterpret_cast<LONG_PTR>(found->second.hIcon);
  if (index == GCL_HCURSOR) return reinterpret_cast<LONG_PTR>(found->second.hCursor);
  return 0;
}

HWND FindWindowA(LPCSTR class_name, LPCSTR window_name) {
  for (const auto& w : Ws().windows) {
    if (class_name && ::strcasecmp(w->class_name.c_str(), class_name) != 0) continue;
    if (window_name && ::strcasecmp(w->text.c_str(), window_name) != 0) continue;
    return w.get();
  }
  return nullptr;
}

HWND GetForegroundWindow() {
  return detail::Live(Ws().active) ? Ws().active : nullptr;
}

BOOL SetForegroundWindow(HWND window) {
  if (!detail::Live(window)) return FALSE;
  Activate(window, WA_ACTIVE);
  return TRUE;
}

HWND GetActiveWindow() {
  return GetForegroundWindow();
}

HWND SetFocus(HWND window) {
  WindowSystem& ws = Ws();
  if (window && !detail::Live(window)) return nullptr;
  HWND old = detail::Live(ws.focus) ? ws.focus : nullptr;
  if (old == window) return old;
  if (window && ws.active != window) {
    Activate(window, WA_ACTIVE);  // activation moves the focus itself
    return old;
  }
  ws.focus = window;
  if (old) SendMessageA(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(window), 0);
  if (window && detail::Live(window))
    SendMessageA(window, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
  return old;
}

HWND GetFocus() {
  return detail::Live(Ws().focus) ? Ws().focus : nullptr;
}

BOOL SetWindowScale(HWND window, int scale) {
  Win32Window* w = detail::Live(window);
  if (!w || scale < 1 || scale > 8) return FALSE;
  w->scale = scale;
  detail::SyncSdlGeometry(*w);
  InvalidateAll(*w, true);
  return TRUE;
}

WindowView GetWindowView(HWND window) {
  Win32Window* w = detail::Live(window);
  return w && detail::Scaled(*w) ? w->view : WindowView{};
}

BOOL SetWindowFullScreen(HWND window, bool full_screen) {
  Win32Window* w = detail::Live(window);
  if (!w || !w->sdl) return FALSE;
  if (w->full_screen == full_screen) return TRUE;
  if (SDL_SetWindowFullscreen(w->sdl, full_screen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0) != 0)
    return FALSE;
  int old_cw = w->client_width, old_ch = w->client_height;
  w->full_screen = full_screen;
  if (full_screen) {
    SDL_DisplayMode mode;
    if (SDL_GetDesktopDisplayMode(SDL_GetWindowDisplayIndex(w->sdl), &mode) != 0) {
      SDL_GetWindowSize(w->sdl, &mode.w, &mode.h);
    }
    w->client_width = mode.w;
    w->client_height = mode.h;
    w->window_rect = RECT{0, 0, mode.w, mode.h};
  } else {
    // Back to the window's own rectangle (the caller repositions it with SetWindowPos).
    ClientFromOuter(*w);
    detail::SyncSdlGeometry(*w);
  }
  if (w->client_width != old_cw || w->client_height != old_ch) {
    InvalidateAll(*w, true);
    SendMessageA(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(w->client_width, w->client_height));
  }
  return TRUE;
}

BOOL InvalidateRect(HWND window, const RECT* rect, BOOL erase) {
  if (!window) {
    for (const auto& w : Ws().windows) InvalidateRect(w.get(), rect, erase);
    return TRUE;
  }
  Win32Window* w = detail::Live(window);
  if (!w) return FALSE;
  RECT r = rect ? *rect : RECT{0, 0, w->client_width, w->client_height};
  if (w->needs_paint) {
    r.left = std::min(r.left, w->update_rect.left);
    r.top = std::min(r.top, w->update_rect.top);
    r.right = std::max(r.right, w->update_rect.right);
    r.bottom = std::max(r.bottom, w->update_rect.bottom);
  }
  w->update_rect = r;
  w->needs_paint = true;
  w->erase = w->erase || erase;
  return TRUE;
}

BOOL ValidateRect(HWND window, const RECT* /*rect*/) {
  Win32Window* w = detail::Live(window);
  if (!w) return FALSE;
  w->needs_paint = false;
  w->erase = false;
  return TRUE;
}

BOOL UpdateWindow(HWND window) {
  Win32Window* w = detail::Live(window);
  if (!w) return FALSE;
  if (w->needs_paint) SendMessageA(window, WM_PAINT, 0, 0);
  return TRUE;
}

HDC BeginPaint(HWND window, PAINTSTRUCT* paint) {
  Win32Window* w = detail::Live(window);
  if (!w || !paint) return nullptr;
  *paint = PAINTSTRUCT{};
  // A window DC is a token for the window itself (see user.h).
  paint->hdc = reinterpret_cast<HDC>(w);
  paint->rcPaint = w->needs_paint ? w->update_rect : RECT{};
  bool erase = w->erase;
  w->needs_paint = false;
  w->erase = false;
  if (erase)
    paint->fErase =
        SendMessageA(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(paint->hdc), 0) == 0;
  return paint->hdc;
}

BOOL EndPaint(HWND window, const PAINTSTRUCT* /*paint*/) {
  return detail::Live(window) ? TRUE : FALSE;
}

int FillRect(HDC dc, const RECT* rect, HBRUSH brush) {
  Win32Window* w = detail::Live(reinterpret_cast<HWND>(dc));
  if (!w || !rect || !brush) return 0;
  w->background = brush->colour;
  return 1;
}

SDL_Window* SdlWindowOf(HWND window) {
  Win32Window* w = detail::Live(window);
  return w ? w->sdl : nullptr;
}

HWND WindowFromSdlId(Uint32 window_id) {
  if (window_id == 0) return nullptr;
  for (const auto& w : Ws().windows)
    if (w->sdl_id == window_id) return w.get();
  return nullptr;
}

}  // namespace win32

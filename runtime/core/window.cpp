// The window's runtime side: the one window the runtime opens and the messages it answers.
// The operating system's windows it is made of are the win32 stand-in's
// (platform/win32/window.cpp); its size, place, style and full-screen switching belong to the
// display (runtime/display/window_modes.cpp).
// The runtime's window: its cursors, class and creation, the window procedure with the typed
// characters, the mouse position in display pixels, the parent protocol and painting, the
// message pump and cursor selection. Depends on the win32 stand-in.
#include <strings.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "runtime/core/core_data.h"
#include "runtime/core/module_table.h"
#include "runtime/core/services.h"
#include "runtime/core/text_alloc.h"
#include "runtime/core/launch_options.h"
#include "runtime/core/runtime_state.h"

namespace tessark {

using namespace win32;

namespace {

constexpr const char* kDefaultCaption = "Tessark Application";
constexpr const char* kClassSuffix = "12345";
constexpr const char* kParentPrefix = "PARENT|";
constexpr UINT kCursorMessage = WM_USER + 1;
constexpr int kIconResource = 101;

HCURSOR CursorFromFile(HINSTANCE instance, const char* name) {
  return reinterpret_cast<HCURSOR>(
      LoadImageA(instance, name, IMAGE_CURSOR, 32, 32, LR_LOADFROMFILE));
}

// The icon, the arrow and hourglass (from files, else the system's) and the pointer table.
void CursorsLoad(HINSTANCE instance) {
  RuntimeState& rt = Runtime();
  rt.icon = LoadIconA(instance, MAKEINTRESOURCEA(kIconResource));
  rt.arrow = CursorFromFile(instance, "arrow.cur");
  rt.hourglass = CursorFromFile(instance, "hourglass.cur");
  for (int i = 0; i < kPointerCursorCount; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "pointer%d.cur", i + kPointerCursorFirst);
    rt.pointers[i] = CursorFromFile(instance, name);
  }
  if (!rt.arrow) rt.arrow = LoadCursorA(nullptr, IDC_ARROW);
  if (!rt.hourglass) rt.hourglass = LoadCursorA(nullptr, IDC_WAIT);
}

// Appends one character to the typed-characters buffer, doubling it when it runs short.
void TypedAppend(BYTE c) {
  CoreData& core = *CoreDataGet();
  RuntimeState& rt = Runtime();
  if (core.typed_text && core.typed_text[0] == 0) rt.typed_length = 0;  // a reader emptied it
  rt.last_char = rt.key_char = c;
  if (!core.typed_text) {
    rt.typed_capacity = 32;
    TextAlloc(&core.typed_text, rt.typed_capacity);
    rt.typed_length = 0;
    if (!core.typed_text) return;
  }
  if (rt.typed_length > rt.typed_capacity - 4) {
    std::int32_t capacity = rt.typed_capacity * 2;
    char* grown = nullptr;
    TextAlloc(&grown, capacity);
    if (!grown) return;
    std::memcpy(grown, core.typed_text, static_cast<std::size_t>(rt.typed_length) + 1);
    TextAlloc(&core.typed_text, 0);
    core.typed_text = grown;
    rt.typed_capacity = capacity;
  }
  core.typed_text[rt.typed_length++] = static_cast<char>(c);
  core.typed_text[rt.typed_length] = '\0';
}

// The client position in lparam scaled to display pixels (CoreData's window size over the
// client size). A window with an empty client area leaves the position as it was.
void MouseToDisplay(HWND window, LPARAM lparam) {
  CoreData& core = *CoreDataGet();
  RECT client{};
  GetClientRect(window, &client);
  if (client.right <= 0 || client.bottom <= 0) return;
  double x = LOWORD(lparam), y = HIWORD(lparam);
  core.mouse_x =
      static_cast<std::int32_t>(static_cast<double>(core.window_width) / client.right * x);
  core.mouse_y =
      static_cast<std::int32_t>(static_cast<double>(core.window_height) / client.bottom * y);
}

// A "PARENT|<number>" caption names the window that hosts ours; true when one was taken.
bool ParentCaption(const char* text) {
  CoreData& core = *CoreDataGet();
  if (core.parent_window || !text || std::strlen(text) <= 7 ||
      ::strncasecmp(text, kParentPrefix, 7) != 0)
    return false;
  // strtol rather than atol: out-of-range numbers saturate instead of being undefined.
  long handle = std::strtol(text + 7, nullptr, 10);
  core.parent_window = reinterpret_cast<HWND>(static_cast<std::intptr_t>(handle));
  return true;
}

// The shared handling of paint, move and size: the window's own painting, then in windowed
// mode the back buffer is shown again and a new scene begun.
void Paint(HWND window) {
  CoreData& core = *CoreDataGet();
  ModuleTable& m = Modules();
  PAINTSTRUCT paint;
  if (HDC dc = BeginPaint(window, &paint)) {
    RECT client{};
    GetClientRect(window, &client);
    bool shown =
        m.text_services.PrintBitmapPaint && m.text_services.PrintBitmapPaint(window, &client);
    if (!shown && core.present_rect_count != 0) {
      RECT r{client.left - 5, client.top - 5, client.right + 5, client.bottom + 5};
      FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
    }
    EndPaint(window, &paint);
  }
  const DisplayEntries& d = m.display;
  if (core.window_mode == 1 && d.SceneEnd && d.DisplayPresent && d.SceneBegin) {
    d.SceneEnd();
    d.DisplayPresent();
    d.SceneBegin();
  }
}

void RequestQuit() {
  Runtime().quit_requested = 1;
  PostQuitMessage(0);
}

}  // namespace

LRESULT WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  CoreData& core = *CoreDataGet();
  RuntimeState& rt = Runtime();
  switch (message) {
    case WM_DESTROY:
      RequestQuit();
      return DefWindowProcA(window, message, wparam, lparam);
    case WM_CLOSE:
      RequestQuit();  // the window itself stays
      return 1;
    case WM_KEYDOWN:
      rt.last_key_code = LOWORD(wparam);
      if (rt.last_key_code == VK_ESCAPE && core.escape_quits == 1) RequestQuit();
      return 1;
    case WM_KEYUP:
      rt.key_char = 0;
      rt.last_key_code = 0;
      return 1;
    case WM_SYSKEYDOWN:
      rt.last_key_code = LOWORD(wparam);
      return DefWindowProcA(window, message, wparam, lparam);
    case WM_SYSKEYUP:
      rt.last_key_code = 0;
      return 1;
    case WM_CHAR:
      TypedAppend(LOBYTE(wparam));
      return 1;
    case WM_MOUSEMOVE:
      MouseToDisplay(window, lparam);
      SetCursor(rt.current_cursor);
      return DefWindowProcA(window, message, wparam, lparam);
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
      core.mouse_buttons |= message == WM_LBUTTONDOWN ? 1 : 2;
      if (GetFocus() != window) SetFocus(window);
      return DefWindowProcA(window, message, wparam, lparam);
    case WM_LBUTTONUP:
      core.mouse_buttons &= ~1;
      return DefWindowProcA(window, message, wparam, lparam);
    case WM_RBUTTONUP:
      core.mouse_buttons &= ~2;
      return DefWindowProcA(window, message, wparam, lparam);
    case WM_ACTIVATE: {
      HWND other = reinterpret_cast<HWND>(lparam);
      WORD state = LOWORD(wparam);
      if ((!other || other == window) && (state == WA_ACTIVE || state == WA_CLICKACTIVE))
        core.window_activated = 1;
      return DefWindowProcA(window, message, wparam, lparam);
    }
    case WM_SETTEXT:
      if (ParentCaption(reinterpret_cast<const char*>(lparam))) return 0;
      return DefWindowProcA(window, message, wparam, lparam);
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
    case WM_MOVE:
    case WM_SIZE:
    case WM_SIZING:
    case WM_MOVING:
      Paint(window);
      return 1;
    case kCursorMessage:
      if (wparam == 0) ShowCursor(FALSE);
      if (wparam == 1) ShowCursor(TRUE);
      return 1;
    default:
      return DefWindowProcA(window, message, wparam, lparam);
  }
}

bool WindowCreate(std::uint32_t mode, const char* title, HINSTANCE instance) {
  CoreData& core = *CoreDataGet();
  RuntimeState& rt = Runtime();
  CursorsLoad(instance);

  const char* caption = title ? title : kDefaultCaption;
  std::snprintf(rt.class_name, sizeof rt.class_name, "%.*s%s",
                static_cast<int>(sizeof rt.class_name - std::strlen(kClassSuffix) - 1), caption,
                kClassSuffix);
  if (!core.window) {
    WNDCLASSA window_class{};
    window_class.style = CS_VREDRAW | CS_HREDRAW;
    window_class.lpfnWndProc = WindowProc;
    window_class.hInstance = instance;
    window_class.hIcon = rt.icon;
    window_class.lpszClassName = rt.class_name;
    RegisterClassA(&window_class);
  }

  rt.current_cursor = rt.arrow;
  rt.previous_cursor = SetCursor(rt.arrow);

  DWORD style = 0;
  if (mode == 0 || mode == 2 || mode == 3 || mode == 4) style = WS_POPUP;
  if (mode == 1) style = WS_OVERLAPPEDWINDOW;
  int x = 0, y = 0;
  if (mode == 1) {
    x = (rt.screen_width - core.window_width) / 2;
    y = (rt.screen_height - core.window_height) / 2;
  }
  core.window_x = x;
  core.window_y = y;

  core.instance = instance;
  if (core.window) {
    SetWindowLongA(core.window, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(&WindowProc));
    return true;
  }
  core.window = CreateWindowExA(0, rt.class_name, caption, style, x, y, core.window_width,
                                core.window_height, nullptr, nullptr, instance, nullptr);
  // The player's --scale: the window shows the display's pixels that many times over.
  if (core.window && mode == 1) SetWindowScale(core.window, LaunchOptionsGet().scale);
  return core.window != nullptr;
}

void WindowDestroy() {
  CoreData& core = *CoreDataGet();
  RuntimeState& rt = Runtime();
  if (core.window) DestroyWindow(core.window);
  core.window = nullptr;
  if (rt.class_name[0]) UnregisterClassA(rt.class_name, core.instance);
  SetCursor(rt.previous_cursor);
  DestroyIcon(rt.icon);
  DestroyCursor(rt.arrow);
  DestroyCursor(rt.hourglass);
  for (HCURSOR& c : rt.pointers) {
    DestroyCursor(c);
    c = nullptr;
  }
  rt.icon = nullptr;
  rt.arrow = rt.hourglass = rt.current_cursor = rt.previous_cursor = nullptr;
}

std::int32_t MessagePump() {
  RuntimeState& rt = Runtime();
  if (rt.quit_seen) return 1;
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      rt.quit_seen = 1;  // what follows the quit message stays queued
      return 1;
    }
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  if (rt.pump_sleep) Sleep(1);
  return 0;
}

void CursorSelect(std::int32_t index) {
  RuntimeState& rt = Runtime();
  if (index == 0)
    rt.current_cursor = rt.arrow;
  else if (index == 1)
    rt.current_cursor = rt.hourglass;
  else if (index >= kPointerCursorFirst && index < kPointerCursorFirst + kPointerCursorCount)
    rt.current_cursor = rt.pointers[index - kPointerCursorFirst];
  SetCursor(rt.current_cursor);
}

}  // namespace tessark

// The thread's message queue: posted messages, the quit flag and paint requests, fed from SDL
// events through the event source. Sent messages call the window procedure at once.
// Depends on SDL2 (events) and window.cpp.
#include <algorithm>
#include <cstring>
#include <deque>

#include "platform/replay/replay.h"
#include "platform/win32/event_source.h"
#include "platform/win32/keys.h"
#include "platform/win32/user.h"
#include "platform/win32/window_internal.h"

namespace win32 {

namespace {

struct Queue {
  std::deque<MSG> messages;
  bool quit_posted = false;
  int quit_code = 0;
  POINT last_cursor{};  // screen position of the last mouse event
};

Queue& Q() {
  static Queue q;
  return q;
}

bool InFilter(UINT message, UINT filter_min, UINT filter_max) {
  if (filter_min == 0 && filter_max == 0) return true;
  return message >= filter_min && message <= filter_max;
}

bool ForWindow(HWND message_window, HWND filter) {
  return !filter || message_window == filter;
}

// Key-state bits of mouse messages from SDL's button and modifier state.
WPARAM MouseKeys(Uint32 buttons) {
  WPARAM keys = 0;
  if (buttons & SDL_BUTTON_LMASK) keys |= MK_LBUTTON;
  if (buttons & SDL_BUTTON_RMASK) keys |= MK_RBUTTON;
  if (buttons & SDL_BUTTON_MMASK) keys |= MK_MBUTTON;
  if (buttons & SDL_BUTTON_X1MASK) keys |= MK_XBUTTON1;
  if (buttons & SDL_BUTTON_X2MASK) keys |= MK_XBUTTON2;
  SDL_Keymod mod = replay::Mods();
  if (mod & KMOD_SHIFT) keys |= MK_SHIFT;
  if (mod & KMOD_CTRL) keys |= MK_CONTROL;
  return keys;
}

HWND TargetOf(Uint32 window_id) {
  HWND window = WindowFromSdlId(window_id);
  return window ? window : detail::KeyboardTarget();
}

void RememberCursor(HWND window, int x, int y) {
  POINT p{x, y};
  if (ClientToScreen(window, &p)) Q().last_cursor = p;
}

void WindowEvent(const SDL_WindowEvent& e) {
  HWND window = WindowFromSdlId(e.windowID);
  Win32Window* w = detail::Live(window);
  if (!w) return;
  switch (e.event) {
    case SDL_WINDOWEVENT_CLOSE:
      detail::Post(window, WM_CLOSE, 0, 0);
      break;
    case SDL_WINDOWEVENT_FOCUS_GAINED:
      SetForegroundWindow(window);
      break;
    case SDL_WINDOWEVENT_FOCUS_LOST:
      if (GetForegroundWindow() == window) {
        SendMessageA(window, WM_ACTIVATE, WA_INACTIVE, 0);
        SetFocus(nullptr);
        detail::ClearActive();
      }
      break;
    case SDL_WINDOWEVENT_EXPOSED:
      InvalidateRect(window, nullptr, FALSE);
      break;
    case SDL_WINDOWEVENT_MOVED: {
      if (w->full_screen) break;
      RECT f = detail::FrameOf(w->style, w->ex_style);
      POINT origin = detail::ClientOriginFromSdl(*w, e.data1, e.data2);
      LONG left = origin.x - f.left, top = origin.y - f.top;
      if (left == w->window_rect.left && top == w->window_rect.top) break;
      LONG width = w->window_rect.right - w->window_rect.left;
      LONG height = w->window_rect.bottom - w->window_rect.top;
      w->window_rect = RECT{left, top, left + width, top + height};
      SendMessageA(window, WM_MOVE, 0, MAKELPARAM(origin.x, origin.y));
      break;
    }
    case SDL_WINDOWEVENT_SIZE_CHANGED: {
      if (detail::Scaled(*w)) {  // the client keeps its size; its view on the window is fitted
        detail::FitView(*w, e.data1, e.data2);
        InvalidateRect(window, nullptr, TRUE);
        break;
      }
      if (e.data1 == w->client_width && e.data2 == w->client_height) break;
      w->client_width = e.data1;
      w->client_height = e.data2;
      if (!w->full_screen) {
        RECT f = detail::FrameOf(w->style, w->ex_style);
        w->window_rect.right = w->window_rect.left + f.left + e.data1 + f.right;
        w->window_rect.bottom = w->window_rect.top + f.top + e.data2 + f.bottom;
      }
      InvalidateRect(window, nullptr, TRUE);
      SendMessageA(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(e.data1, e.data2));
      break;
    }
    case SDL_WINDOWEVENT_MINIMIZED:
      w->minimised = true;
      SendMessageA(window, WM_SIZE, SIZE_MINIMIZED, 0);
      break;
    case SDL_WINDOWEVENT_MAXIMIZED:
      SendMessageA(window, WM_SIZE, SIZE_MAXIMIZED, MAKELPARAM(w->client_width, w->client_height));
      break;
    case SDL_WINDOWEVENT_RESTORED:
      if (!w->minimised) break;
      w->minimised = false;
      SendMessageA(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(w->client_width, w->client_height));
      break;
    default:
      break;
  }
}

void KeyEvent(const SDL_KeyboardEvent& e) {
  HWND window = TargetOf(e.windowID);
  if (!window) return;
  WORD vk = VirtualKeyOf(e.keysym.scancode);
  if (vk == 0) return;
  ScanCode scan = ScanCodeOf(e.keysym.scancode);
  bool alt = (e.keysym.mod & KMOD_ALT) != 0;
  bool down = e.type == SDL_KEYDOWN;
  bool sys = alt || vk == VK_F10 || vk == VK_MENU;
  LPARAM lparam = 1 | (static_cast<LPARAM>(scan.code) << 16) |
                  (scan.extended ? (LPARAM{1} << 24) : 0) | (alt ? (LPARAM{1} << 29) : 0);
  if (down && e.repeat) lparam |= LPARAM{1} << 30;
  if (!down) lparam |= (LPARAM{1} << 30) | static_cast<LPARAM>(0x80000000u);
  UINT message = down ? (sys ? WM_SYSKEYDOWN : WM_KEYDOWN) : (sys ? WM_SYSKEYUP : WM_KEYUP);
  detail::Post(window, message, vk, static_cast<LPARAM>(static_cast<DWORD>(lparam)));
}

void MouseButtonEvent(const SDL_MouseButtonEvent& e) {
  HWND window = TargetOf(e.windowID);
  if (!window) return;
  bool down = e.type == SDL_MOUSEBUTTONDOWN;
  UINT message = 0;
  WPARAM extra = 0;
  switch (e.button) {
    case SDL_BUTTON_LEFT:
      message = down ? WM_LBUTTONDOWN : WM_LBUTTONUP;
      break;
    case SDL_BUTTON_RIGHT:
      message = down ? WM_RBUTTONDOWN : WM_RBUTTONUP;
      break;
    case SDL_BUTTON_MIDDLE:
      message = down ? WM_MBUTTONDOWN : WM_MBUTTONUP;
      break;
    case SDL_BUTTON_X1:
    case SDL_BUTTON_X2:
      message = down ? WM_XBUTTONDOWN : WM_XBUTTONUP;
      extra = static_cast<WPARAM>(e.button == SDL_BUTTON_X1 ? 1 : 2) << 16;
      break;
    default:
      return;
  }
  if (down && GetForegroundWindow() != window) SetForegroundWindow(window);
  POINT at = detail::ClientFromSdl(window, e.x, e.y);
  RememberCursor(window, at.x, at.y);
  detail::Post(window, message, MouseKeys(replay::MouseButtons()) | extra, MAKELPARAM(at.x, at.y));
}

}  // namespace

namespace detail {

void Post(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  MSG m{window, message, wparam, lparam, Now(), Q().last_cursor};
  Q().messages.push_back(m);
}

void DropMessagesFor(HWND window) {
  auto& list = Q().messages;
  list.erase(
      std::remove_if(list.begin(), list.end(), [&](const MSG& m) { return m.hwnd == window; }),
      list.end());
}

DWORD Now() {
  return timeGetTime();
}

void EventToMessages(const SDL_Event& event) {
  switch (event.type) {
    case SDL_WINDOWEVENT:
      WindowEvent(event.window);
      break;
    case SDL_QUIT: {
      // A quit request from outside (a signal, the session ending) closes the main window,
      // unless a close for it is already waiting.
      HWND window = KeyboardTarget();
      if (!window) break;
      auto& list = Q().messages;
      bool queued = std::any_of(list.begin(), list.end(), [&](const MSG& m) {
        return m.hwnd == window && m.message == WM_CLOSE;
      });
      if (!queued) Post(window, WM_CLOSE, 0, 0);
      break;
    }
    case SDL_KEYDOWN:
    case SDL_KEYUP:
      KeyEvent(event.key);
      break;
    case SDL_TEXTINPUT: {
      HWND window = TargetOf(event.text.windowID);
      if (!window) break;
      for (char c : Utf8ToWindows1252(event.text.text))
        Post(window, WM_CHAR, static_cast<unsigned char>(c), 1);
      break;
    }
    case SDL_MOUSEMOTION: {
      HWND window = TargetOf(event.motion.windowID);
      if (!window) break;
      POINT at = ClientFromSdl(window, event.motion.x, event.motion.y);
      RememberCursor(window, at.x, at.y);
      Post(window, WM_MOUSEMOVE, MouseKeys(event.motion.state), MAKELPARAM(at.x, at.y));
      break;
    }
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
      MouseButtonEvent(event.button);
      break;
    case SDL_MOUSEWHEEL: {
      HWND window = TargetOf(event.wheel.windowID);
      if (!window) break;
      int delta = event.wheel.y * 120;
      if (event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) delta = -delta;
      Post(
          window, WM_MOUSEWHEEL,
          (static_cast<WPARAM>(static_cast<WORD>(delta)) << 16) | MouseKeys(replay::MouseButtons()),
          MAKELPARAM(Q().last_cursor.x, Q().last_cursor.y));
      break;
    }
    default:
      break;
  }
}

POINT LastCursor() {
  return Q().last_cursor;
}

void SetLastCursor(POINT p) {
  Q().last_cursor = p;
}

}  // namespace detail

BOOL PeekMessageA(MSG* message, HWND window, UINT filter_min, UINT filter_max, UINT remove) {
  PumpSdlEvents();
  Queue& q = Q();
  for (auto it = q.messages.begin(); it != q.messages.end(); ++it) {
    if (!ForWindow(it->hwnd, window) || !InFilter(it->message, filter_min, filter_max)) continue;
    MSG m = *it;
    if (remove & PM_REMOVE) q.messages.erase(it);
    if (message) *message = m;
    return TRUE;
  }
  if (q.quit_posted && !window && InFilter(WM_QUIT, filter_min, filter_max)) {
    if (message)
      *message =
          MSG{nullptr, WM_QUIT, static_cast<WPARAM>(q.quit_code), 0, detail::Now(), q.last_cursor};
    if (remove & PM_REMOVE) q.quit_posted = false;
    return TRUE;
  }
  // Paint requests come last, while nothing else waits; they stay until the window is validated.
  if (InFilter(WM_PAINT, filter_min, filter_max)) {
    for (const auto& w : detail::Windows()) {
      if (!w->needs_paint || !w->visible || !ForWindow(w.get(), window)) continue;
      if (message) *message = MSG{w.get(), WM_PAINT, 0, 0, detail::Now(), q.last_cursor};
      return TRUE;
    }
  }
  return FALSE;
}

BOOL PostMessageA(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (window && !detail::Live(window)) return FALSE;
  detail::Post(window, message, wparam, lparam);
  return TRUE;
}

LRESULT SendMessageA(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  Win32Window* w = detail::Live(window);
  if (!w || !w->proc) return 0;
  return w->proc(window, message, wparam, lparam);
}

LRESULT CallWindowProcA(WNDPROC proc, HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  return proc ? proc(window, message, wparam, lparam) : 0;
}

BOOL TranslateMessage(const MSG* message) {
  if (!message || (message->message != WM_KEYDOWN && message->message != WM_SYSKEYDOWN))
    return FALSE;
  // Keys whose characters SDL does not report as text: they become characters here.
  WPARAM vk = message->wParam;
  int c = 0;
  if (vk == VK_BACK || vk == VK_TAB || vk == VK_RETURN || vk == VK_ESCAPE)
    c = static_cast<int>(vk);
  else if (vk >= 'A' && vk <= 'Z' && (replay::Mods() & KMOD_CTRL) && !(replay::Mods() & KMOD_ALT))
    c = static_cast<int>(vk - 'A' + 1);
  if (c == 0) return FALSE;
  UINT char_message = message->message == WM_SYSKEYDOWN ? WM_SYSCHAR : WM_CHAR;
  // The character is the next message the thread sees.
  Q().messages.push_front(MSG{message->hwnd, char_message, static_cast<WPARAM>(c), message->lParam,
                              message->time, message->pt});
  return TRUE;
}

LRESULT DispatchMessageA(const MSG* message) {
  if (!message || !message->hwnd) return 0;
  return SendMessageA(message->hwnd, message->message, message->wParam, message->lParam);
}

void PostQuitMessage(int exit_code) {
  Q().quit_posted = true;
  Q().quit_code = exit_code;
}

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  Win32Window* w = detail::Live(window);
  if (!w) return 0;
  switch (message) {
    case WM_CLOSE:
      DestroyWindow(window);
      return 0;
    case WM_SETTEXT: {
      const char* text = reinterpret_cast<const char*>(lparam);
      w->text = text ? text : "";
      if (w->sdl) SDL_SetWindowTitle(w->sdl, w->text.c_str());
      return TRUE;
    }
    case WM_GETTEXT: {
      char* buffer = reinterpret_cast<char*>(lparam);
      if (!buffer || wparam == 0) return 0;
      std::size_t n = std::min<std::size_t>(w->text.size(), wparam - 1);
      std::memcpy(buffer, w->text.data(), n);
      buffer[n] = '\0';
      return static_cast<LRESULT>(n);
    }
    case WM_GETTEXTLENGTH:
      return static_cast<LRESULT>(w->text.size());
    case WM_PAINT: {
      PAINTSTRUCT paint;
      BeginPaint(window, &paint);
      EndPaint(window, &paint);
      return 0;
    }
    case WM_ERASEBKGND:
      return 0;  // no class background brush is kept: nothing erased
    case WM_SYSKEYDOWN:
      if (wparam == VK_F1 + 3 && (lparam & (LPARAM{1} << 29))) PostMessageA(window, WM_CLOSE, 0, 0);
      return 0;
    default:
      return 0;
  }
}

}  // namespace win32

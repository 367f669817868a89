// Windows and the message queue on SDL's dummy video driver: geometry and frames, messages
// from SDL events, the queue's order (posted, quit, paint), destruction, focus, and the
// system information.
#include <SDL.h>
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/win32/event_source.h"
#include "platform/win32/keys.h"
#include "platform/win32/user.h"

namespace {

struct Seen {
  UINT message;
  WPARAM wparam;
  LPARAM lparam;
};
std::vector<Seen> g_seen;

LRESULT RecordingProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  g_seen.push_back({message, wparam, lparam});
  return win32::DefWindowProcA(window, message, wparam, lparam);
}

class WindowsAndQueue : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(win32::VideoReady());
    WNDCLASSA c{};
    c.lpfnWndProc = RecordingProc;
    c.lpszClassName = "TestClass";
    win32::RegisterClassA(&c);
    g_seen.clear();
    window_ = win32::CreateWindowExA(0, "testclass", "Test", WS_OVERLAPPEDWINDOW, 100, 50, 400, 300,
                                     nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window_, nullptr);
    Drain();
    g_seen.clear();
  }
  void TearDown() override {
    win32::DestroyWindow(window_);
    Drain();
    EXPECT_TRUE(win32::UnregisterClassA("TestClass", nullptr));
  }
  // Dispatches everything queued, WM_QUIT included.
  void Drain() {
    MSG m;
    while (win32::PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
      win32::TranslateMessage(&m);
      win32::DispatchMessageA(&m);
    }
  }
  bool SawMessage(UINT message) const {
    for (const Seen& s : g_seen)
      if (s.message == message) return true;
    return false;
  }
  void Push(SDL_Event e) { ASSERT_EQ(SDL_PushEvent(&e), 1); }
  Uint32 Id() const { return SDL_GetWindowID(win32::SdlWindowOf(window_)); }
  HWND window_ = nullptr;
};

TEST_F(WindowsAndQueue, OuterAndClientRectanglesDifferByTheFrame) {
  RECT outer{}, client{};
  win32::GetWindowRect(window_, &outer);
  win32::GetClientRect(window_, &client);
  EXPECT_EQ(outer.left, 100);
  EXPECT_EQ(outer.right - outer.left, 400);
  RECT frame{0, 0, client.right, client.bottom};
  win32::AdjustWindowRect(&frame, WS_OVERLAPPEDWINDOW, FALSE);
  EXPECT_EQ(frame.right - frame.left, 400);
  EXPECT_EQ(frame.bottom - frame.top, 300);
  EXPECT_LT(frame.top, frame.left) << "the caption makes the top thicker";
  int w = 0, h = 0;
  SDL_GetWindowSize(win32::SdlWindowOf(window_), &w, &h);
  EXPECT_EQ(w, client.right) << "the SDL window is the client area";

  POINT p{0, 0};
  win32::ClientToScreen(window_, &p);
  EXPECT_EQ(p.x, 100 - frame.left);
  win32::ScreenToClient(window_, &p);
  EXPECT_EQ(p.x, 0);

  RECT popup{0, 0, 10, 10};
  win32::AdjustWindowRect(&popup, WS_POPUP, FALSE);
  EXPECT_EQ(popup.left, 0);
  EXPECT_EQ(popup.bottom, 10);
}

TEST_F(WindowsAndQueue, SetWindowPosSendsSizeAndMoveOnlyOnChange) {
  win32::SetWindowPos(window_, nullptr, 10, 20, 500, 400, SWP_NOZORDER);
  ASSERT_TRUE(SawMessage(WM_SIZE));
  ASSERT_TRUE(SawMessage(WM_MOVE));
  RECT client{};
  win32::GetClientRect(window_, &client);
  for (const Seen& s : g_seen)
    if (s.message == WM_SIZE) {
      EXPECT_EQ(LOWORD(s.lparam), client.right);
      EXPECT_EQ(HIWORD(s.lparam), client.bottom);
    }
  g_seen.clear();
  win32::SetWindowPos(window_, nullptr, 10, 20, 500, 400, SWP_NOZORDER);
  EXPECT_FALSE(SawMessage(WM_SIZE));
  EXPECT_FALSE(SawMessage(WM_MOVE));
  win32::SetWindowPos(window_, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_SHOWWINDOW);
  EXPECT_TRUE(win32::IsWindowVisible(window_));
  EXPECT_EQ(win32::GetForegroundWindow(), window_) << "showing activates";
  EXPECT_TRUE(SawMessage(WM_ACTIVATE));
  EXPECT_EQ(win32::GetFocus(), window_);
}

TEST_F(WindowsAndQueue, StyleChangesTheFrameAtTheNextPositioning) {
  win32::SetWindowLongA(window_, GWL_STYLE, static_cast<LONG_PTR>(WS_POPUP));
  EXPECT_EQ(static_cast<DWORD>(win32::GetWindowLongA(window_, GWL_STYLE)), WS_POPUP);
  win32::SetWindowPos(window_, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_FRAMECHANGED);
  RECT client{};
  win32::GetClientRect(window_, &client);
  EXPECT_EQ(client.right, 400);
  EXPECT_EQ(client.bottom, 300);
}

TEST_F(WindowsAndQueue, SdlEventsBecomeMessages) {
  SDL_Event e{};
  e.motion.type = SDL_MOUSEMOTION;
  e.motion.windowID = Id();
  e.motion.x = 300;
  e.motion.y = 7;
  Push(e);
  e = {};
  e.key.type = SDL_KEYDOWN;
  e.key.windowID = Id();
  e.key.keysym.scancode = SDL_SCANCODE_UP;
  Push(e);
  e = {};
  e.window.type = SDL_WINDOWEVENT;
  e.window.event = SDL_WINDOWEVENT_CLOSE;
  e.window.windowID = Id();
  Push(e);
  MSG m{};
  ASSERT_TRUE(win32::PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.message, WM_MOUSEMOVE);
  EXPECT_EQ(m.hwnd, window_);
  EXPECT_EQ(LOWORD(m.lParam), 300);
  EXPECT_EQ(HIWORD(m.lParam), 7);
  ASSERT_TRUE(win32::PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.message, WM_KEYDOWN);
  EXPECT_EQ(m.wParam, VK_UP);
  EXPECT_EQ((m.lParam >> 16) & 0xFF, 0x48);
  EXPECT_TRUE(m.lParam & (1 << 24)) << "an extended key";
  ASSERT_TRUE(win32::PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.message, WM_CLOSE);
  // The default handling of WM_CLOSE destroys the window.
  win32::DispatchMessageA(&m);
  EXPECT_FALSE(win32::IsWindow(window_));
}

TEST_F(WindowsAndQueue, QuitComesAfterPostedMessagesAndPaintLast) {
  win32::ShowWindow(window_, SW_SHOW);
  Drain();
  win32::InvalidateRect(window_, nullptr, FALSE);
  win32::PostQuitMessage(3);
  win32::PostMessageA(window_, WM_USER, 1, 2);
  MSG m{};
  ASSERT_TRUE(win32::PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.message, WM_USER);
  ASSERT_TRUE(win32::PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.message, WM_QUIT);
  EXPECT_EQ(m.wParam, 3u);
  ASSERT_TRUE(win32::PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.message, WM_PAINT);
  // Paint stays until the window is painted.
  ASSERT_TRUE(win32::PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.message, WM_PAINT);
  win32::DispatchMessageA(&m);
  EXPECT_FALSE(win32::PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(WindowsAndQueue, FiltersAndNoRemove) {
  win32::PostMessageA(window_, WM_USER + 5, 0, 0);
  win32::PostMessageA(window_, WM_USER + 9, 0, 0);
  MSG m{};
  ASSERT_TRUE(win32::PeekMessageA(&m, nullptr, WM_USER + 9, WM_USER + 9, PM_NOREMOVE));
  EXPECT_EQ(m.message, WM_USER + 9);
  ASSERT_TRUE(win32::PeekMessageA(&m, window_, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.message, WM_USER + 5);
  ASSERT_TRUE(win32::PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.message, WM_USER + 9);
  EXPECT_FALSE(win32::PostMessageA(reinterpret_cast<HWND>(0x1234), WM_USER, 0, 0));
}

TEST_F(WindowsAndQueue, DestroyedWindowsLoseTheirMessagesAndHandles) {
  win32::PostMessageA(window_, WM_USER, 0, 0);
  HWND old = window_;
  win32::DestroyWindow(window_);
  EXPECT_TRUE(SawMessage(WM_DESTROY));
  MSG m{};
  EXPECT_FALSE(win32::PeekMessageA(&m, nullptr, WM_USER, WM_USER, PM_REMOVE));
  EXPECT_EQ(win32::SdlWindowOf(old), nullptr);
  EXPECT_EQ(win32::SendMessageA(old, WM_USER, 0, 0), 0);
  RECT r{};
  EXPECT_FALSE(win32::GetClientRect(old, &r));
  EXPECT_FALSE(win32::UnregisterClassA("NoSuchClass", nullptr));
}

TEST_F(WindowsAndQueue, TranslateMakesCharactersOfControlKeys) {
  MSG key{window_, WM_KEYDOWN, VK_RETURN, 0, 0, {}};
  EXPECT_TRUE(win32::TranslateMessage(&key));
  key.wParam = 'A';
  EXPECT_FALSE(win32::TranslateMessage(&key)) << "letters arrive as text input";
  MSG m{};
  ASSERT_TRUE(win32::PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.message, WM_CHAR);
  EXPECT_EQ(m.wParam, 13u);
}

TEST_F(WindowsAndQueue, TextAndCaptions) {
  char buffer[4] = {};
  EXPECT_EQ(win32::GetWindowTextA(window_, buffer, sizeof buffer), 3);
  EXPECT_STREQ(buffer, "Tes") << "cut to the buffer";
  win32::SetWindowTextA(window_, "New");
  EXPECT_STREQ(SDL_GetWindowTitle(win32::SdlWindowOf(window_)), "New");
  EXPECT_EQ(win32::FindWindowA(nullptr, "new"), window_);
  EXPECT_EQ(win32::FindWindowA("TESTCLASS", nullptr), window_);
  EXPECT_EQ(win32::FindWindowA("Other", nullptr), nullptr);
}

TEST(Win32Keys, CodesAndText) {
  EXPECT_EQ(win32::VirtualKeyOf(SDL_SCANCODE_ESCAPE), VK_ESCAPE);
  EXPECT_EQ(win32::VirtualKeyOf(SDL_SCANCODE_Q), 'Q');
  EXPECT_EQ(win32::VirtualKeyOf(SDL_SCANCODE_0), '0');
  EXPECT_EQ(win32::VirtualKeyOf(SDL_SCANCODE_F5), VK_F1 + 4);
  EXPECT_EQ(win32::ScanCodeOf(SDL_SCANCODE_ESCAPE).code, 0x01);
  EXPECT_EQ(win32::ScanCodeOf(SDL_SCANCODE_A).code, 0x1E);
  EXPECT_EQ(win32::ScanCodeOf(SDL_SCANCODE_M).code, 0x32);
  EXPECT_TRUE(win32::ScanCodeOf(SDL_SCANCODE_RCTRL).extended);
  EXPECT_EQ(win32::Utf8ToWindows1252("a\xC3\xBC\xE2\x80\x9C"), "a\xFC\x93");
  EXPECT_EQ(win32::Utf8ToWindows1252("\xF0\x9F\x98\x80"), "?");
  EXPECT_EQ(win32::Utf8ToWindows1252("\xC3"), "?") << "cut short";
  EXPECT_EQ(win32::Utf8ToWindows1252("\x80x"), "?x") << "a stray continuation byte";
}

TEST(Win32System, MetricsColoursAndTime) {
  ASSERT_TRUE(win32::VideoReady());
  EXPECT_EQ(win32::GetSystemMetrics(SM_CXSCREEN), 1024) << "the dummy driver's desktop";
  EXPECT_EQ(win32::GetSystemMetrics(SM_CYSCREEN), 768);
  RECT work{};
  EXPECT_TRUE(win32::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0));
  EXPECT_GT(work.right, 0);
  EXPECT_TRUE(win32::SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, 0, nullptr, 0));
  BOOL active = TRUE;
  win32::SystemParametersInfoA(SPI_GETSCREENSAVEACTIVE, 0, &active, 0);
  EXPECT_FALSE(active);
  win32::SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, 1, nullptr, 0);

  COLORREF face = win32::GetSysColor(COLOR_BTNFACE);
  INT index = COLOR_BTNFACE;
  COLORREF red = RGB(255, 0, 0);
  EXPECT_TRUE(win32::SetSysColors(1, &index, &red));
  EXPECT_EQ(win32::GetSysColor(COLOR_BTNFACE), red);
  EXPECT_EQ(win32::GetSysColorBrush(COLOR_BTNFACE)->colour, red);
  win32::SetSysColors(1, &index, &face);
  EXPECT_EQ(win32::GetSysColor(99), 0u);
  EXPECT_EQ(win32::GetSysColorBrush(-1), nullptr);

  DWORD a = win32::timeGetTime();
  win32::Sleep(20);
  DWORD b = win32::timeGetTime();
  EXPECT_GE(b - a, 20u);
  EXPECT_EQ(win32::timeBeginPeriod(1), TIMERR_NOERROR);
  EXPECT_EQ(win32::timeEndPeriod(1), TIMERR_NOERROR);
  EXPECT_EQ(win32::timeBeginPeriod(0), TIMERR_NOCANDO);
}

}  // namespace

namespace {

TEST_F(WindowsAndQueue, SetCursorPosInsideAWindowMovesThePointerThere) {
  win32::ShowWindow(window_, SW_SHOW);
  Drain();
  POINT p{10, 20};
  win32::ClientToScreen(window_, &p);
  EXPECT_TRUE(win32::SetCursorPos(p.x, p.y));
  POINT at{};
  win32::GetCursorPos(&at);
  EXPECT_EQ(at.x, p.x);
  EXPECT_EQ(at.y, p.y);
  MSG m{};
  bool moved = false;
  while (win32::PeekMessageA(&m, nullptr, WM_MOUSEMOVE, WM_MOUSEMOVE, PM_REMOVE))
    moved = moved || (LOWORD(m.lParam) == 10 && HIWORD(m.lParam) == 20);
  EXPECT_TRUE(moved) << "the move arrives as a mouse message in client coordinates";
}

// A window shown at a whole-pixel scale: its SDL window is that many times the client, and
// the pointer on any of a client pixel's SDL pixels comes back as that client pixel, the
// corners included. Resized by the window manager (maximised), the client keeps its size and
// is shown at the largest whole scale that fits, centred; the border reads as the nearest edge.
TEST_F(WindowsAndQueue, ScaledWindowsMapThePointerBackToClientPixels) {
  win32::SetWindowPos(window_, nullptr, 0, 0, 640 + 8, 480 + 27, SWP_NOMOVE | SWP_NOZORDER);
  RECT client{};
  win32::GetClientRect(window_, &client);
  ASSERT_EQ(client.right, 640);
  ASSERT_EQ(client.bottom, 480);
  auto click = [&](int x, int y) {
    SDL_Event e{};
    e.button.type = SDL_MOUSEBUTTONDOWN;
    e.button.windowID = Id();
    e.button.button = SDL_BUTTON_LEFT;
    e.button.x = x;
    e.button.y = y;
    Push(e);
    MSG m{};
    while (win32::PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE) && m.message != WM_LBUTTONDOWN) {
    }
    return std::pair<int, int>(LOWORD(m.lParam), HIWORD(m.lParam));
  };
  using P = std::pair<int, int>;
  for (int scale : {2, 3}) {
    ASSERT_TRUE(win32::SetWindowScale(window_, scale));
    Drain();
    int w = 0, h = 0;
    SDL_GetWindowSize(win32::SdlWindowOf(window_), &w, &h);
    EXPECT_EQ(w, 640 * scale);
    EXPECT_EQ(h, 480 * scale);
    win32::GetClientRect(window_, &client);
    EXPECT_EQ(client.right, 640) << "the program keeps its client size";
    EXPECT_EQ(click(0, 0), P(0, 0)) << scale;
    EXPECT_EQ(click(scale - 1, scale - 1), P(0, 0)) << scale;
    EXPECT_EQ(click(scale, scale), P(1, 1)) << scale;
    EXPECT_EQ(click(640 * scale - 1, 0), P(639, 0)) << scale;
    EXPECT_EQ(click(0, 480 * scale - 1), P(0, 479)) << scale;
    EXPECT_EQ(click(640 * scale - 1, 480 * scale - 1), P(639, 479)) << scale;
    EXPECT_EQ(click(640 * scale - scale, 480 * scale - scale), P(639, 479)) << scale;
    EXPECT_EQ(click(640 * scale - scale - 1, 480 * scale - scale - 1), P(638, 478)) << scale;
  }
  // Maximised on a 1920 x 1200 screen: scale 2 (1200 / 480), 320 and 120 pixels of border.
  SDL_Event e{};
  e.window.type = SDL_WINDOWEVENT;
  e.window.event = SDL_WINDOWEVENT_SIZE_CHANGED;
  e.window.windowID = Id();
  e.window.data1 = 1920;
  e.window.data2 = 1200;
  Push(e);
  Drain();
  const win32::WindowView view = win32::GetWindowView(window_);
  EXPECT_EQ(view.scale, 2);
  EXPECT_EQ(view.left, 320);
  EXPECT_EQ(view.top, 120);
  EXPECT_EQ(click(320, 120), P(0, 0));
  EXPECT_EQ(click(1599, 1079), P(639, 479));
  EXPECT_EQ(click(5, 5), P(0, 0));
  EXPECT_EQ(click(1919, 1199), P(639, 479));
  EXPECT_EQ(click(1000, 5), P(340, 0));
  win32::GetClientRect(window_, &client);
  EXPECT_EQ(client.right, 640);
  EXPECT_EQ(client.bottom, 480);
  // Scale 1 is the window as it always was.
  ASSERT_TRUE(win32::SetWindowScale(window_, 1));
  EXPECT_EQ(win32::GetWindowView(window_).scale, 1);
  EXPECT_EQ(click(639, 479), P(639, 479));
  EXPECT_FALSE(win32::SetWindowScale(window_, 9));
}

}  // namespace

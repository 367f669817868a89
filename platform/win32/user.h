// The window-system stand-in on SDL2: window classes and windows, the thread's message queue,
// painting, focus, cursors, system metrics and colours, the work area and the screen-saver
// switch. Names and numeric values are the platform's so that runtime code reads like code for
// that platform; the functions live in namespace win32.
//
// Each window created with CreateWindowExA is one SDL window whose size is the window's client
// area. The outer rectangle is the client area plus a frame computed from the style (see
// AdjustWindowRectEx), so outer and client rectangles relate as they do on the platform whatever
// the desktop's window manager draws around the SDL window.
//
// SDL events are drained by win32::PumpSdlEvents (event_source.h), which PeekMessageA calls: a
// close request becomes WM_CLOSE, keys become WM_KEYDOWN/WM_KEYUP (WM_SYSKEY* with Alt) with
// virtual-key codes and set-1 scan codes, SDL text input becomes WM_CHAR with Windows-1252
// bytes (TranslateMessage adds WM_CHAR for Backspace, Tab, Return, Escape and Ctrl+letter, which
// SDL reports as keys only), mouse motion and buttons become WM_MOUSEMOVE/WM_*BUTTON* in client
// coordinates, focus changes become WM_ACTIVATE/WM_SETFOCUS/WM_KILLFOCUS, exposure becomes
// WM_PAINT, and moves and resizes become WM_MOVE/WM_SIZE.
//
// Full screen: SetWindowFullScreen (below) switches a window's SDL window to the desktop's
// full-screen mode and back; the client rectangle then follows the SDL window.
#pragma once

#include <SDL.h>

#include <cstdint>

#include "platform/win32/win_types.h"

using LONG_PTR = std::intptr_t;
using WNDPROC = LRESULT (*)(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// Messages.
inline constexpr UINT WM_NULL = 0x0000;
inline constexpr UINT WM_CREATE = 0x0001;
inline constexpr UINT WM_DESTROY = 0x0002;
inline constexpr UINT WM_MOVE = 0x0003;
inline constexpr UINT WM_SIZE = 0x0005;
inline constexpr UINT WM_ACTIVATE = 0x0006;
inline constexpr UINT WM_SETFOCUS = 0x0007;
inline constexpr UINT WM_KILLFOCUS = 0x0008;
inline constexpr UINT WM_SETTEXT = 0x000C;
inline constexpr UINT WM_GETTEXT = 0x000D;
inline constexpr UINT WM_GETTEXTLENGTH = 0x000E;
inline constexpr UINT WM_PAINT = 0x000F;
inline constexpr UINT WM_CLOSE = 0x0010;
inline constexpr UINT WM_QUIT = 0x0012;
inline constexpr UINT WM_ERASEBKGND = 0x0014;
inline constexpr UINT WM_SHOWWINDOW = 0x0018;
inline constexpr UINT WM_SETCURSOR = 0x0020;
inline constexpr UINT WM_NCDESTROY = 0x0082;
inline constexpr UINT WM_KEYDOWN = 0x0100;
inline constexpr UINT WM_KEYUP = 0x0101;
inline constexpr UINT WM_CHAR = 0x0102;
inline constexpr UINT WM_SYSKEYDOWN = 0x0104;
inline constexpr UINT WM_SYSKEYUP = 0x0105;
inline constexpr UINT WM_SYSCHAR = 0x0106;
inline constexpr UINT WM_MOUSEMOVE = 0x0200;
inline constexpr UINT WM_LBUTTONDOWN = 0x0201;
inline constexpr UINT WM_LBUTTONUP = 0x0202;
inline constexpr UINT WM_RBUTTONDOWN = 0x0204;
inline constexpr UINT WM_RBUTTONUP = 0x0205;
inline constexpr UINT WM_MBUTTONDOWN = 0x0207;
inline constexpr UINT WM_MBUTTONUP = 0x0208;
inline constexpr UINT WM_MOUSEWHEEL = 0x020A;
inline constexpr UINT WM_XBUTTONDOWN = 0x020B;
inline constexpr UINT WM_XBUTTONUP = 0x020C;
inline constexpr UINT WM_SIZING = 0x0214;
inline constexpr UINT WM_MOVING = 0x0216;
inline constexpr UINT WM_USER = 0x0400;

// Window styles.
inline constexpr DWORD WS_OVERLAPPED = 0x00000000;
inline constexpr DWORD WS_POPUP = 0x80000000;
inline constexpr DWORD WS_CHILD = 0x40000000;
inline constexpr DWORD WS_MINIMIZE = 0x20000000;
inline constexpr DWORD WS_VISIBLE = 0x10000000;
inline constexpr DWORD WS_DISABLED = 0x08000000;
inline constexpr DWORD WS_MAXIMIZE = 0x01000000;
inline constexpr DWORD WS_CAPTION = 0x00C00000;
inline constexpr DWORD WS_BORDER = 0x00800000;
inline constexpr DWORD WS_DLGFRAME = 0x00400000;
inline constexpr DWORD WS_SYSMENU = 0x00080000;
inline constexpr DWORD WS_THICKFRAME = 0x00040000;
inline constexpr DWORD WS_MINIMIZEBOX = 0x00020000;
inline constexpr DWORD WS_MAXIMIZEBOX = 0x00010000;
inline constexpr DWORD WS_OVERLAPPEDWINDOW = 0x00CF0000;
inline constexpr DWORD WS_EX_TOPMOST = 0x00000008;

// Class styles.
inline constexpr UINT CS_VREDRAW = 0x0001;
inline constexpr UINT CS_HREDRAW = 0x0002;
inline constexpr UINT CS_DBLCLKS = 0x0008;

// ShowWindow commands.
inline constexpr int SW_HIDE = 0;
inline constexpr int SW_SHOWNORMAL = 1;
inline constexpr int SW_SHOWMINIMIZED = 2;
inline constexpr int SW_MAXIMIZE = 3;
inline constexpr int SW_SHOWNOACTIVATE = 4;
inline constexpr int SW_SHOW = 5;
inline constexpr int SW_MINIMIZE = 6;
inline constexpr int SW_SHOWMINNOACTIVE = 7;
inline constexpr int SW_SHOWNA = 8;
inline constexpr int SW_RESTORE = 9;
inline constexpr int SW_SHOWDEFAULT = 10;

// SetWindowPos flags and insert-after handles.
inline constexpr UINT SWP_NOSIZE = 0x0001;
inline constexpr UINT SWP_NOMOVE = 0x0002;
inline constexpr UINT SWP_NOZORDER = 0x0004;
inline constexpr UINT SWP_NOREDRAW = 0x0008;
inline constexpr UINT SWP_NOACTIVATE = 0x0010;
inline constexpr UINT SWP_FRAMECHANGED = 0x0020;
inline constexpr UINT SWP_SHOWWINDOW = 0x0040;
inline constexpr UINT SWP_HIDEWINDOW = 0x0080;
inline constexpr UINT SWP_NOCOPYBITS = 0x0100;
inline constexpr UINT SWP_NOOWNERZORDER = 0x0200;
inline constexpr UINT SWP_NOSENDCHANGING = 0x0400;
inline constexpr UINT SWP_ASYNCWINDOWPOS = 0x4000;
#define HWND_TOP ((HWND)0)
#define HWND_BOTTOM ((HWND)1)
#define HWND_TOPMOST ((HWND)-1)
#define HWND_NOTOPMOST ((HWND)-2)

// Window longs.
inline constexpr int GWL_WNDPROC = -4;
inline constexpr int GWL_HINSTANCE = -6;
inline constexpr int GWL_ID = -12;
inline constexpr int GWL_STYLE = -16;
inline constexpr int GWL_EXSTYLE = -20;
inline constexpr int GWL_USERDATA = -21;
inline constexpr int GCL_HCURSOR = -12;
inline constexpr int GCL_HICON = -14;

// PeekMessageA.
inline constexpr UINT PM_NOREMOVE = 0x0000;
inline constexpr UINT PM_REMOVE = 0x0001;

// Mouse message key states, activation states, size kinds.
inline constexpr WPARAM MK_LBUTTON = 0x0001;
inline constexpr WPARAM MK_RBUTTON = 0x0002;
inline constexpr WPARAM MK_SHIFT = 0x0004;
inline constexpr WPARAM MK_CONTROL = 0x0008;
inline constexpr WPARAM MK_MBUTTON = 0x0010;
inline constexpr WPARAM MK_XBUTTON1 = 0x0020;
inline constexpr WPARAM MK_XBUTTON2 = 0x0040;
inline constexpr WORD WA_INACTIVE = 0;
inline constexpr WORD WA_ACTIVE = 1;
inline constexpr WORD WA_CLICKACTIVE = 2;
inline constexpr WPARAM SIZE_RESTORED = 0;
inline constexpr WPARAM SIZE_MINIMIZED = 1;
inline constexpr WPARAM SIZE_MAXIMIZED = 2;

// Virtual-key codes (letters and digits are their ASCII capitals and digits).
inline constexpr WORD VK_LBUTTON = 0x01;
inline constexpr WORD VK_RBUTTON = 0x02;
inline constexpr WORD VK_MBUTTON = 0x04;
inline constexpr WORD VK_BACK = 0x08;
inline constexpr WORD VK_TAB = 0x09;
inline constexpr WORD VK_CLEAR = 0x0C;
inline constexpr WORD VK_RETURN = 0x0D;
inline constexpr WORD VK_SHIFT = 0x10;
inline constexpr WORD VK_CONTROL = 0x11;
inline constexpr WORD VK_MENU = 0x12;
inline constexpr WORD VK_PAUSE = 0x13;
inline constexpr WORD VK_CAPITAL = 0x14;
inline constexpr WORD VK_ESCAPE = 0x1B;
inline constexpr WORD VK_SPACE = 0x20;
inline constexpr WORD VK_PRIOR = 0x21;
inline constexpr WORD VK_NEXT = 0x22;
inline constexpr WORD VK_END = 0x23;
inline constexpr WORD VK_HOME = 0x24;
inline constexpr WORD VK_LEFT = 0x25;
inline constexpr WORD VK_UP = 0x26;
inline constexpr WORD VK_RIGHT = 0x27;
inline constexpr WORD VK_DOWN = 0x28;
inline constexpr WORD VK_SNAPSHOT = 0x2C;
inline constexpr WORD VK_INSERT = 0x2D;
inline constexpr WORD VK_DELETE = 0x2E;
inline constexpr WORD VK_LWIN = 0x5B;
inline constexpr WORD VK_RWIN = 0x5C;
inline constexpr WORD VK_APPS = 0x5D;
inline constexpr WORD VK_NUMPAD0 = 0x60;
inline constexpr WORD VK_MULTIPLY = 0x6A;
inline constexpr WORD VK_ADD = 0x6B;
inline constexpr WORD VK_SUBTRACT = 0x6D;
inline constexpr WORD VK_DECIMAL = 0x6E;
inline constexpr WORD VK_DIVIDE = 0x6F;
inline constexpr WORD VK_F1 = 0x70;
inline constexpr WORD VK_F10 = 0x79;
inline constexpr WORD VK_F12 = 0x7B;
inline constexpr WORD VK_NUMLOCK = 0x90;
inline constexpr WORD VK_SCROLL = 0x91;
inline constexpr WORD VK_LSHIFT = 0xA0;
inline constexpr WORD VK_RSHIFT = 0xA1;
inline constexpr WORD VK_LCONTROL = 0xA2;
inline constexpr WORD VK_RCONTROL = 0xA3;
inline constexpr WORD VK_LMENU = 0xA4;
inline constexpr WORD VK_RMENU = 0xA5;
inline constexpr WORD VK_OEM_1 = 0xBA;
inline constexpr WORD VK_OEM_PLUS = 0xBB;
inline constexpr WORD VK_OEM_COMMA = 0xBC;
inline constexpr WORD VK_OEM_MINUS = 0xBD;
inline constexpr WORD VK_OEM_PERIOD = 0xBE;
inline constexpr WORD VK_OEM_2 = 0xBF;
inline constexpr WORD VK_OEM_3 = 0xC0;
inline constexpr WORD VK_OEM_4 = 0xDB;
inline constexpr WORD VK_OEM_5 = 0xDC;
inline constexpr WORD VK_OEM_6 = 0xDD;
inline constexpr WORD VK_OEM_7 = 0xDE;
inline constexpr WORD VK_OEM_102 = 0xE2;

// System metrics.
inline constexpr int SM_CXSCREEN = 0;
inline constexpr int SM_CYSCREEN = 1;
inline constexpr int SM_CYCAPTION = 4;
inline constexpr int SM_CXBORDER = 5;
inline constexpr int SM_CYBORDER = 6;
inline constexpr int SM_CXDLGFRAME = 7;
inline constexpr int SM_CYDLGFRAME = 8;
inline constexpr int SM_CXCURSOR = 13;
inline constexpr int SM_CYCURSOR = 14;
inline constexpr int SM_CXFULLSCREEN = 16;
inline constexpr int SM_CYFULLSCREEN = 17;
inline constexpr int SM_MOUSEPRESENT = 19;
inline constexpr int SM_CXFRAME = 32;
inline constexpr int SM_CYFRAME = 33;
inline constexpr int SM_CMOUSEBUTTONS = 43;
inline constexpr int SM_CXVIRTUALSCREEN = 78;
inline constexpr int SM_CYVIRTUALSCREEN = 79;
inline constexpr int SM_CMONITORS = 80;

// SystemParametersInfoA actions.
inline constexpr UINT SPI_GETSCREENSAVEACTIVE = 0x0010;
inline constexpr UINT SPI_SETSCREENSAVEACTIVE = 0x0011;
inline constexpr UINT SPI_GETWORKAREA = 0x0030;

// System colour indices (0 to 30).
inline constexpr int COLOR_SCROLLBAR = 0;
inline constexpr int COLOR_BACKGROUND = 1;
inline constexpr int COLOR_WINDOW = 5;
inline constexpr int COLOR_WINDOWTEXT = 8;
inline constexpr int COLOR_BTNFACE = 15;
inline constexpr int COLOR_BTNTEXT = 18;
inline constexpr int COLOR_MENUBAR = 30;
inline constexpr int kSysColorCount = 31;

// Cursors and images.
inline constexpr UINT IMAGE_BITMAP = 0;
inline constexpr UINT IMAGE_ICON = 1;
inline constexpr UINT IMAGE_CURSOR = 2;
inline constexpr UINT LR_DEFAULTCOLOR = 0x0000;
inline constexpr UINT LR_LOADFROMFILE = 0x0010;
inline constexpr UINT LR_DEFAULTSIZE = 0x0040;
#define MAKEINTRESOURCEA(i) ((LPCSTR)((std::uintptr_t)((WORD)(i))))
#define IS_INTRESOURCE(r) ((((std::uintptr_t)(r)) >> 16) == 0)
#define IDC_ARROW MAKEINTRESOURCEA(32512)
#define IDC_IBEAM MAKEINTRESOURCEA(32513)
#define IDC_WAIT MAKEINTRESOURCEA(32514)
#define IDC_CROSS MAKEINTRESOURCEA(32515)
#define IDC_SIZENWSE MAKEINTRESOURCEA(32642)
#define IDC_SIZENESW MAKEINTRESOURCEA(32643)
#define IDC_SIZEWE MAKEINTRESOURCEA(32644)
#define IDC_SIZENS MAKEINTRESOURCEA(32645)
#define IDC_SIZEALL MAKEINTRESOURCEA(32646)
#define IDC_NO MAKEINTRESOURCEA(32648)
#define IDC_HAND MAKEINTRESOURCEA(32649)
#define IDC_APPSTARTING MAKEINTRESOURCEA(32650)

// Multimedia timer results.
inline constexpr UINT TIMERR_NOERROR = 0;
inline constexpr UINT TIMERR_NOCANDO = 97;

struct MSG {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  DWORD time;
  POINT pt;
};

struct WNDCLASSA {
  UINT style;
  WNDPROC lpfnWndProc;
  int cbClsExtra;
  int cbWndExtra;
  HINSTANCE hInstance;
  HICON hIcon;
  HCURSOR hCursor;
  HBRUSH hbrBackground;
  LPCSTR lpszMenuName;
  LPCSTR lpszClassName;
};

struct PAINTSTRUCT {
  HDC hdc;
  BOOL fErase;
  RECT rcPaint;
  BOOL fRestore;
  BOOL fIncUpdate;
  BYTE rgbReserved[32];
};

// A system colour brush: the colour it paints with (brushes from GetSysColorBrush are shared
// and never destroyed).
struct Win32Brush {
  COLORREF colour;
};

namespace win32 {

// Classes and windows.
ATOM RegisterClassA(const WNDCLASSA* window_class);
BOOL UnregisterClassA(LPCSTR class_name, HINSTANCE instance);
HWND CreateWindowExA(DWORD ex_style, LPCSTR class_name, LPCSTR window_name, DWORD style, int x,
                     int y, int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                     LPVOID param);
BOOL DestroyWindow(HWND window);
BOOL IsWindow(HWND window);
BOOL IsWindowVisible(HWND window);
BOOL ShowWindow(HWND window, int command);
BOOL CloseWindow(HWND window);  // minimises, as the platform does; it does not destroy
BOOL SetWindowPos(HWND window, HWND insert_after, int x, int y, int width, int height, UINT flags);
BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint);
BOOL GetClientRect(HWND window, RECT* rect);
BOOL GetWindowRect(HWND window, RECT* rect);
BOOL ClientToScreen(HWND window, POINT* point);
BOOL ScreenToClient(HWND window, POINT* point);
// The outer rectangle for a client rectangle with the given style (the frame of the style).
BOOL AdjustWindowRect(RECT* rect, DWORD style, BOOL menu);
BOOL AdjustWindowRectEx(RECT* rect, DWORD style, BOOL menu, DWORD ex_style);
LONG GetWindowLongA(HWND window, int index);
LONG_PTR GetWindowLongPtrA(HWND window, int index);
// GWL_WNDPROC, GWL_STYLE (the frame changes with it), GWL_EXSTYLE, GWL_USERDATA; returns the
// previous value (a window procedure travels as LONG_PTR).
LONG_PTR SetWindowLongA(HWND window, int index, LONG_PTR value);
LONG_PTR SetWindowLongPtrA(HWND window, int index, LONG_PTR value);
// The caption travels through WM_SETTEXT, whose default handling keeps it and shows it.
BOOL SetWindowTextA(HWND window, LPCSTR text);
int GetWindowTextA(HWND window, LPSTR buffer, int capacity);
// The class long GCL_HICON or GCL_HCURSOR of the window's class; returns the previous value.
LONG_PTR SetClassLongA(HWND window, int index, LONG_PTR value);
LONG_PTR GetClassLongA(HWND window, int index);
// The first top-level window with that class and caption (either may be null: any), compared
// without regard to case.
HWND FindWindowA(LPCSTR class_name, LPCSTR window_name);
HWND GetForegroundWindow();
BOOL SetForegroundWindow(HWND window);
HWND GetActiveWindow();
HWND SetFocus(HWND window);
HWND GetFocus();

// Switches the window's SDL window to desktop full screen (true) or back to a window.
BOOL SetWindowFullScreen(HWND window, bool full_screen);

// Whole-pixel scaling: the window's SDL window shows each client pixel as scale x scale pixels
// (1 to 8; 1, the default, shows it as it is). The program keeps the client size it asked for,
// and mouse positions come back in it. When the window manager makes the SDL window another size
// (maximised, full screen, resized by hand) the client is shown at the largest whole scale that
// fits, centred on black. A program's own full screen (SetWindowFullScreen) is not scaled.
BOOL SetWindowScale(HWND window, int scale);
// Where the client area lies on the SDL window: client pixel (x, y) covers the SDL window's
// pixels from (left + x * scale, top + y * scale), scale on a side.
struct WindowView {
  int scale = 1;
  int left = 0;
  int top = 0;
};
WindowView GetWindowView(HWND window);

// Messages.
BOOL PeekMessageA(MSG* message, HWND window, UINT filter_min, UINT filter_max, UINT remove);
BOOL PostMessageA(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
LRESULT SendMessageA(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
BOOL TranslateMessage(const MSG* message);
LRESULT DispatchMessageA(const MSG* message);
void PostQuitMessage(int exit_code);
LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
LRESULT CallWindowProcA(WNDPROC proc, HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// Painting. A window DC is a token for the window's client area; drawing into windows goes
// through the display device, so a window DC is only good for FillRect (which records the fill
// as the window's background colour) and for ending the paint.
BOOL InvalidateRect(HWND window, const RECT* rect, BOOL erase);
BOOL ValidateRect(HWND window, const RECT* rect);
BOOL UpdateWindow(HWND window);
HDC BeginPaint(HWND window, PAINTSTRUCT* paint);
BOOL EndPaint(HWND window, const PAINTSTRUCT* paint);
int FillRect(HDC dc, const RECT* rect, HBRUSH brush);

// Cursors and icons (cursor_file.h parses the files).
HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name);
HICON LoadIconA(HINSTANCE instance, LPCSTR name);
// Loads a cursor (IMAGE_CURSOR or IMAGE_ICON) from a .cur/.ico file with LR_LOADFROMFILE;
// null when the file is missing, unreadable or not a well-formed cursor file.
HANDLE LoadImageA(HINSTANCE instance, LPCSTR name, UINT type, int cx, int cy, UINT flags);
BOOL DestroyCursor(HCURSOR cursor);
BOOL DestroyIcon(HICON icon);
HCURSOR SetCursor(HCURSOR cursor);
HCURSOR GetCursor();
// Changes the display count (starting at 0) and returns it; the pointer shows while it is >= 0.
int ShowCursor(BOOL show);
// Moves the pointer to a screen position (inside a window it becomes a mouse move there).
BOOL SetCursorPos(int x, int y);
BOOL GetCursorPos(POINT* point);

// System information.
int GetSystemMetrics(int index);
BOOL SystemParametersInfoA(UINT action, UINT uparam, LPVOID pparam, UINT winini);
DWORD GetSysColor(int index);
BOOL SetSysColors(int count, const INT* indices, const COLORREF* colours);
HBRUSH GetSysColorBrush(int index);
HINSTANCE GetModuleHandleA(LPCSTR name);

// Time. Every reading comes from one monotonic clock, which a test may replace (see
// testing::SetTimeSource).
DWORD timeGetTime();
UINT timeBeginPeriod(UINT period);
UINT timeEndPeriod(UINT period);
void Sleep(DWORD milliseconds);
// The clock in microseconds, and a wait of that many (ending within a few microseconds of the
// time asked).
std::uint64_t ClockMicros();
void SleepMicros(std::uint64_t micros);

namespace testing {
// Puts every clock reading on a clock the test moves: readings give *now_micros, each reading
// then moving it on by micros_per_reading (so that a loop polling the clock sees time pass), and
// the waits (Sleep, SleepMicros) move it on by the time asked instead of waiting. nullptr: the
// real clock again.
void SetTimeSource(std::uint64_t* now_micros, std::uint64_t micros_per_reading = 0);
}  // namespace testing

// COM initialisation for the thread (nothing here needs it; the count is kept).
HRESULT CoInitialize(LPVOID reserved);
void CoUninitialize();

// Makes sure SDL's video and event subsystems are up; false when no video driver works.
bool VideoReady();

}  // namespace win32

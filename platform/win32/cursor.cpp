// Cursors and icons: cursors loaded from .cur files, the system cursors (SDL's), the current
// cursor, the display count of ShowCursor and moving the pointer. A cursor keeps its decoded
// image; its SDL cursor is made when it is first shown (video drivers without cursors, such as
// the dummy one, still load and select cursors). Depends on SDL2 and cursor_file.cpp.
#include <cstdio>
#include <memory>
#include <vector>

#include "platform/win32/cursor_file.h"
#include "platform/win32/paths.h"
#include "platform/win32/user.h"
#include "platform/win32/window_internal.h"

struct Win32Cursor {
  win32::CursorImage image;
  bool system = false;
  SDL_SystemCursor system_id = SDL_SYSTEM_CURSOR_ARROW;
  SDL_Cursor* sdl = nullptr;
  ~Win32Cursor() {
    if (sdl) SDL_FreeCursor(sdl);
  }
};

struct Win32Icon {
  int id;
};

struct Win32Instance {
  int unused;
};

namespace win32 {

namespace {

// Files bigger than this are not cursor files.
constexpr long kMaxCursorFile = 4 << 20;

struct CursorState {
  std::vector<std::unique_ptr<Win32Cursor>> loaded;  // from files, until DestroyCursor
  std::vector<std::unique_ptr<Win32Cursor>> system;  // shared, never destroyed
  HCURSOR current = nullptr;
  int display_count = 0;
};

CursorState& Cs() {
  static CursorState cs;
  return cs;
}

bool Known(HCURSOR cursor) {
  for (const auto& c : Cs().loaded)
    if (c.get() == cursor) return true;
  for (const auto& c : Cs().system)
    if (c.get() == cursor) return true;
  return false;
}

// Shows the current cursor when the count allows it and there is one.
void ApplyCursor() {
  if (SDL_WasInit(SDL_INIT_VIDEO) == 0) return;
  CursorState& cs = Cs();
  HCURSOR c = cs.current;
  if (c && !c->sdl) {
    if (c->system) {
      c->sdl = SDL_CreateSystemCursor(c->system_id);
    } else {
      SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(
          c->image.pixels.data(), c->image.width, c->image.height, 32, c->image.width * 4,
          SDL_PIXELFORMAT_ARGB8888);
      if (surface) {
        c->sdl = SDL_CreateColorCursor(surface, c->image.hotspot_x, c->image.hotspot_y);
        SDL_FreeSurface(surface);
      }
    }
  }
  if (c && c->sdl) SDL_SetCursor(c->sdl);
  SDL_ShowCursor(c && cs.display_count >= 0 ? SDL_ENABLE : SDL_DISABLE);
}

HCURSOR SystemCursor(SDL_SystemCursor id) {
  for (const auto& c : Cs().system)
    if (c->system_id == id) return c.get();
  auto c = std::make_unique<Win32Cursor>();
  c->system = true;
  c->system_id = id;
  HCURSOR handle = c.get();
  Cs().system.push_back(std::move(c));
  return handle;
}

}  // namespace

HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name) {
  if (instance || !name || !IS_INTRESOURCE(name)) return nullptr;  // no cursor resources here
  switch (static_cast<WORD>(reinterpret_cast<std::uintptr_t>(name))) {
    case 32512:
      return SystemCursor(SDL_SYSTEM_CURSOR_ARROW);
    case 32513:
      return SystemCursor(SDL_SYSTEM_CURSOR_IBEAM);
    case 32514:
      return SystemCursor(SDL_SYSTEM_CURSOR_WAIT);
    case 32515:
      return SystemCursor(SDL_SYSTEM_CURSOR_CROSSHAIR);
    case 32642:
      return SystemCursor(SDL_SYSTEM_CURSOR_SIZENWSE);
    case 32643:
      return SystemCursor(SDL_SYSTEM_CURSOR_SIZENESW);
    case 32644:
      return SystemCursor(SDL_SYSTEM_CURSOR_SIZEWE);
    case 32645:
      return SystemCursor(SDL_SYSTEM_CURSOR_SIZENS);
    case 32646:
      return SystemCursor(SDL_SYSTEM_CURSOR_SIZEALL);
    case 32648:
      return SystemCursor(SDL_SYSTEM_CURSOR_NO);
    case 32649:
      return SystemCursor(SDL_SYSTEM_CURSOR_HAND);
    case 32650:
      return SystemCursor(SDL_SYSTEM_CURSOR_WAITARROW);
    default:
      return nullptr;
  }
}

HICON LoadIconA(HINSTANCE instance, LPCSTR name) {
  // The program carries no icon resources; only the system's application icon exists.
  static Win32Icon application{32512};
  if (!instance && IS_INTRESOURCE(name) &&
      static_cast<WORD>(reinterpret_cast<std::uintptr_t>(name)) == 32512)
    return &application;
  return nullptr;
}

HANDLE LoadImageA(HINSTANCE /*instance*/, LPCSTR name, UINT type, int cx, int cy, UINT flags) {
  if (!name || IS_INTRESOURCE(name) || !(flags & LR_LOADFROMFILE)) return nullptr;
  if (type != IMAGE_CURSOR && type != IMAGE_ICON) return nullptr;
  if (flags & LR_DEFAULTSIZE) {
    if (cx == 0) cx = 32;
    if (cy == 0) cy = 32;
  }
  std::FILE* file = std::fopen(NativePath(name).c_str(), "rb");
  if (!file) return nullptr;
  std::vector<std::uint8_t> bytes;
  if (std::fseek(file, 0, SEEK_END) == 0) {
    long size = std::ftell(file);
    if (size > 0 && size <= kMaxCursorFile && std::fseek(file, 0, SEEK_SET) == 0) {
      bytes.resize(static_cast<std::size_t>(size));
      if (std::fread(bytes.data(), 1, bytes.size(), file) != bytes.size()) bytes.clear();
    }
  }
  std::fclose(file);
  if (bytes.empty()) return nullptr;
  std::optional<CursorImage> image = ParseCursorFile(bytes.data(), bytes.size(), cx, cy);
  if (!image) return nullptr;
  auto cursor = std::make_unique<Win32Cursor>();
  cursor->image = std::move(*image);
  HCURSOR handle = cursor.get();
  Cs().loaded.push_back(std::move(cursor));
  return reinterpret_cast<HANDLE>(handle);
}

BOOL DestroyCursor(HCURSOR cursor) {
  CursorState& cs = Cs();
  for (auto it = cs.loaded.begin(); it != cs.loaded.end(); ++it) {
    if (it->get() != cursor) continue;
    if (cs.current == cursor) {
      cs.current = nullptr;
      ApplyCursor();
    }
    cs.loaded.erase(it);
    return TRUE;
  }
  return Known(cursor) ? TRUE : FALSE;  // shared system cursors stay
}

BOOL DestroyIcon(HICON icon) {
  return icon ? TRUE : FALSE;
}

HCURSOR SetCursor(HCURSOR cursor) {
  CursorState& cs = Cs();
  HCURSOR previous = cs.current;
  if (cursor && !Known(cursor)) return previous;
  cs.current = cursor;
  ApplyCursor();
  return previous;
}

HCURSOR GetCursor() {
  return Cs().current;
}

int ShowCursor(BOOL show) {
  CursorState& cs = Cs();
  cs.display_count += show ? 1 : -1;
  ApplyCursor();
  return cs.display_count;
}

BOOL SetCursorPos(int x, int y) {
  if (!VideoReady()) return FALSE;
  detail::SetLastCursor(POINT{x, y});
  // Inside a window the move is that window's, so it also becomes a mouse move there.
  const auto& windows = detail::Windows();
  for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
    Win32Window& w = **it;
    if (!w.visible || !w.sdl) continue;
    POINT p{x, y};
    ScreenToClient(it->get(), &p);
    if (p.x >= 0 && p.y >= 0 && p.x < w.client_width && p.y < w.client_height) {
      WindowView view = GetWindowView(it->get());  // the middle of the pixel on a scaled window
      SDL_WarpMouseInWindow(w.sdl, view.left + p.x * view.scale + view.scale / 2,
                            view.top + p.y * view.scale + view.scale / 2);
      return TRUE;
    }
  }
  return SDL_WarpMouseGlobal(x, y) == 0 ? TRUE : FALSE;
}

BOOL GetCursorPos(POINT* point) {
  if (!point) return FALSE;
  *point = detail::LastCursor();
  return TRUE;
}

HINSTANCE GetModuleHandleA(LPCSTR name) {
  static Win32Instance program{0};
  return name ? nullptr : &program;
}

namespace detail {

void CursorsShutdown() {
  CursorState& cs = Cs();
  cs.current = nullptr;
  cs.loaded.clear();
  cs.system.clear();
}

}  // namespace detail

}  // namespace win32

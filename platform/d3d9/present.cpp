// Present and the lost state. The back buffer (or a rectangle of it) goes to the device
// window's client area by one of two ways, chosen when the device attaches to its window:
// - the window's own surface (shared memory on X11), scaled here to the client area when the
//   sizes differ. Used wherever no hardware GPU renders: handing a frame that is already drawn
//   to an OpenGL that the processor emulates (llvmpipe) costs three times the drawing itself.
//   This way has no retrace to wait for, so interval one waits for the next tick of a clock at
//   the display's refresh rate instead;
// - an SDL renderer where OpenGL runs on a real GPU: it scales for free and its vsync is a real
//   retrace wait.
// A full-screen device whose window is minimised is lost until the window comes back and the
// device is reset. With no SDL window behind the device window nothing is shown, and drawing
// still works.
#include <SDL.h>
#include <dirent.h>
#include <time.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include "platform/d3d9/d3d9.h"
#include "platform/d3d9/formats.h"
#include "platform/d3d9/present.h"
#include "platform/win32/event_source.h"
#include "platform/win32/user.h"

namespace d3d9_internal {

std::uint64_t RefreshPeriodNs(int hz) {
  if (hz <= 0) hz = 60;
  return 1000000000ull / static_cast<std::uint64_t>(hz);
}

std::uint64_t RefreshClock::NextTick(std::uint64_t now_ns) {
  std::uint64_t tick = (now_ns / period_ + 1) * period_;
  while (tick <= last_) tick += period_;
  last_ = tick;
  return tick;
}

const int* ColumnTable::For(int src_w, int dst_w) {
  if (src_w != src_w_ || dst_w != dst_w_) {
    columns_.resize(static_cast<std::size_t>(dst_w));
    for (int x = 0; x < dst_w; ++x) {
      columns_[static_cast<std::size_t>(x)] = static_cast<int>(
          (static_cast<std::int64_t>(x) * 2 + 1) * src_w / (static_cast<std::int64_t>(dst_w) * 2));
    }
    src_w_ = src_w;
    dst_w_ = dst_w;
  }
  return columns_.data();
}

void ScaleNearest32(const std::uint8_t* src, int src_pitch, int src_w, int src_h, std::uint8_t* dst,
                    int dst_pitch, int dst_w, int dst_h, ColumnTable& columns) {
  if (src_w <= 0 || src_h <= 0 || dst_w <= 0 || dst_h <= 0) return;
  const int* column = src_w == dst_w ? nullptr : columns.For(src_w, dst_w);
  int last_row = -1;
  for (int y = 0; y < dst_h; ++y) {
    int sy = static_cast<int>((static_cast<std::int64_t>(y) * 2 + 1) * src_h /
                              (static_cast<std::int64_t>(dst_h) * 2));
    auto* out = reinterpret_cast<std::uint32_t*>(dst + static_cast<std::ptrdiff_t>(y) * dst_pitch);
    if (sy == last_row) {  // a repeated source row: copy the row just made
      std::memcpy(out, dst + static_cast<std::ptrdiff_t>(y - 1) * dst_pitch,
                  static_cast<std::size_t>(dst_w) * 4);
      continue;
    }
    const auto* in =
        reinterpret_cast<const std::uint32_t*>(src + static_cast<std::ptrdiff_t>(sy) * src_pitch);
    if (src_w == dst_w) {
      std::memcpy(out, in, static_cast<std::size_t>(dst_w) * 4);
    } else {
      for (int x = 0; x < dst_w; ++x) out[x] = in[column[x]];
    }
    last_row = sy;
  }
}

namespace {

SDL_Window* WindowOf(HWND window) {
  return window ? win32::SdlWindowOf(window) : nullptr;
}

Uint32 SdlFormat(D3DFORMAT f) {
  switch (f) {
    case D3DFMT_R5G6B5:
      return SDL_PIXELFORMAT_RGB565;
    case D3DFMT_X1R5G5B5:
      return SDL_PIXELFORMAT_RGB555;
    case D3DFMT_A1R5G5B5:
      return SDL_PIXELFORMAT_ARGB1555;
    default:
      return SDL_PIXELFORMAT_ARGB8888;
  }
}

std::uint64_t MonotonicNs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<std::uint64_t>(ts.tv_sec) * 1000000000ull +
         static_cast<std::uint64_t>(ts.tv_nsec);
}

void SleepUntilNs(std::uint64_t when) {
  timespec ts{static_cast<time_t>(when / 1000000000ull), static_cast<long>(when % 1000000000ull)};
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {
  }
}

// ---------------------------------------------------------------------------------------------
// Choosing the way to the screen
// ---------------------------------------------------------------------------------------------

std::optional<PresentPath>& ForcedPath() {
  static std::optional<PresentPath> forced;
  return forced;
}

bool SoftwareGlName(const char* renderer) {
  static const char* const kSoftware[] = {"llvmpipe", "softpipe", "swrast", "Software Rasterizer",
                                          "SVGA3D",   "virgl"};
  for (const char* s : kSoftware)
    if (std::strstr(renderer, s)) return true;
  return false;
}

bool HasRenderNode() {
  DIR* dir = opendir("/dev/dri");
  if (!dir) return false;
  bool found = false;
  while (dirent* e = readdir(dir)) {
    if (std::strncmp(e->d_name, "renderD", 7) == 0) found = true;
  }
  closedir(dir);
  return found;
}

// Whether OpenGL on this display runs on a GPU. Asked once, and only where a GPU could exist at
// all (a render node), since making a context costs tens of milliseconds of start-up.
bool HardwareGl() {
  static std::optional<bool> known;
  if (known) return *known;
  known = false;
  const char* driver = SDL_GetCurrentVideoDriver();
  if (!driver || std::strcmp(driver, "dummy") == 0 || std::strcmp(driver, "offscreen") == 0)
    return false;
  if (!HasRenderNode()) return false;
  SDL_Window* probe = SDL_CreateWindow("", 0, 0, 1, 1, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
  if (!probe) return false;
  if (SDL_GLContext context = SDL_GL_CreateContext(probe)) {
    using GetString = const unsigned char* (*)(unsigned);
    auto get = reinterpret_cast<GetString>(SDL_GL_GetProcAddress("glGetString"));
    const unsigned char* name = get ? get(0x1F01) : nullptr;  // GL_RENDERER
    known = name && !SoftwareGlName(reinterpret_cast<const char*>(name));
    SDL_GL_DeleteContext(context);
  }
  SDL_DestroyWindow(probe);
  return *known;
}

bool& HeadlessRefreshWait() {
  static bool wait = false;
  return wait;
}

// A driver that shows nothing (SDL's dummy and offscreen) has no refresh to keep pace with.
bool ShowsPictures() {
  const char* driver = SDL_GetCurrentVideoDriver();
  return HeadlessRefreshWait() ||
         (driver && std::strcmp(driver, "dummy") != 0 && std::strcmp(driver, "offscreen") != 0);
}

PresentPath ChoosePath(SDL_Window* window) {
  if (!window) return PresentPath::kNone;
  if (ForcedPath()) return *ForcedPath();
  return HardwareGl() ? PresentPath::kRenderer : PresentPath::kSurface;
}

// ---------------------------------------------------------------------------------------------
// The renderer way
// ---------------------------------------------------------------------------------------------

// One renderer per window, shared by every device presenting to it (an old device may live on
// while its replacement is made) and destroyed with the last of them.
struct SharedRenderer {
  SDL_Window* window;
  SDL_Renderer* renderer;
  int users;
};

std::vector<SharedRenderer>& Renderers() {
  static std::vector<SharedRenderer> renderers;
  return renderers;
}

SDL_Renderer* RendererAcquire(SDL_Window* window, bool vsync) {
  for (SharedRenderer& r : Renderers()) {
    if (r.window == window) {
      ++r.users;
      return r.renderer;
    }
  }
  // A renderer made elsewhere for this window is used as it is; it is not recorded here, so it
  // is never destroyed here either.
  if (SDL_Renderer* existing = SDL_GetRenderer(window)) return existing;
  SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
  SDL_Renderer* renderer = SDL_CreateRenderer(window, -1, vsync ? SDL_RENDERER_PRESENTVSYNC : 0);
  if (!renderer) renderer = SDL_CreateRenderer(window, -1, 0);
  if (renderer) Renderers().push_back(SharedRenderer{window, renderer, 1});
  return renderer;
}

void RendererRelease(SDL_Window* window) {
  auto& list = Renderers();
  for (auto it = list.begin(); it != list.end(); ++it) {
    if (it->window != window) continue;
    if (--it->users == 0) {
      SDL_DestroyRenderer(it->renderer);
      list.erase(it);
    }
    return;
  }
}

// One clock for the process: a device made anew (a reset, a mode change) keeps the beat.
RefreshClock& TheRefreshClock() {
  static RefreshClock clock(RefreshPeriodNs(60));
  return clock;
}

int DisplayRefreshHz(SDL_Window* window) {
  SDL_DisplayMode mode;
  int index = SDL_GetWindowDisplayIndex(window);
  if (index >= 0 && SDL_GetCurrentDisplayMode(index, &mode) == 0) return mode.refresh_rate;
  return 0;
}

}  // namespace

void WindowClientSize(HWND window, int* width, int* height) {
  *width = *height = 0;
  RECT client{};
  if (window && win32::GetClientRect(window, &client)) {
    *width = client.right - client.left;
    *height = client.bottom - client.top;
  }
}

namespace {

// One way to the screen. Each way keeps its own caches; the way is chosen once, when the device
// attaches to its window, and nothing of one way is seen by the other.
class PresentWay {
 public:
  explicit PresentWay(SDL_Window* window) : window_(window) {}
  virtual ~PresentWay() = default;
  PresentWay(const PresentWay&) = delete;
  PresentWay& operator=(const PresentWay&) = delete;
  // Shows src of the back buffer on dest of the window (its whole client area when null).
  virtual void Show(IDirect3DSurface9* back, const SDL_Rect& src, const SDL_Rect* dest) = 0;
  // Whether the way waits for the display's retrace itself.
  virtual bool KeepsToTheRetrace() const { return false; }
  // Interval one on a way without a retrace of its own: wait for the refresh clock's tick.
  void WaitForTheClock(bool on) { wait_for_refresh_ = on; }

 protected:
  void WaitForRefresh() const {
    if (wait_for_refresh_) SleepUntilNs(TheRefreshClock().NextTick(MonotonicNs()));
  }
  SDL_Window* window_;

 private:
  bool wait_for_refresh_ = false;
};

// An SDL renderer, which scales for free and waits for a real retrace when it has vsync.
class RendererWay final : public PresentWay {
 public:
  RendererWay(SDL_Window* window, bool vsync)
      : PresentWay(window), renderer_(RendererAcquire(window, vsync)) {}
  ~RendererWay() override {
    if (texture_) SDL_DestroyTexture(texture_);
    if (renderer_) RendererRelease(window_);
  }

  bool KeepsToTheRetrace() const override {
    SDL_RendererInfo info{};
    return renderer_ && SDL_GetRendererInfo(renderer_, &info) == 0 &&
           (info.flags & SDL_RENDERER_PRESENTVSYNC);
  }

  void Show(IDirect3DSurface9* back, const SDL_Rect& src, const SDL_Rect* dest) override {
    if (!renderer_) return;
    Uint32 format = SdlFormat(back->Format());
    int w = static_cast<int>(back->Width()), h = static_cast<int>(back->Height());
    if (!texture_ || texture_width_ != w || texture_height_ != h || texture_format_ != format) {
      if (texture_) SDL_DestroyTexture(texture_);
      texture_ = SDL_CreateTexture(renderer_, format, SDL_TEXTUREACCESS_STREAMING, w, h);
      if (!texture_) return;
      // The back buffer's alpha is not part of the picture (X8R8G8B8 leaves it undefined).
      SDL_SetTextureBlendMode(texture_, SDL_BLENDMODE_NONE);
      texture_width_ = w, texture_height_ = h, texture_format_ = format;
    }
    int bytes = SDL_BYTESPERPIXEL(format);
    const BYTE* bits = back->Bits() + src.y * back->Pitch() + src.x * bytes;
    SDL_UpdateTexture(texture_, &src, bits, static_cast<int>(back->Pitch()));
    SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
    SDL_RenderClear(renderer_);
    WaitForRefresh();
    SDL_RenderCopy(renderer_, texture_, &src, dest);
    SDL_RenderPresent(renderer_);
  }

 private:
  SDL_Renderer* renderer_;
  SDL_Texture* texture_ = nullptr;
  int texture_width_ = 0, texture_height_ = 0;
  Uint32 texture_format_ = 0;
};

// The window's own surface, the picture copied (and scaled) into it here.
class SurfaceWay final : public PresentWay {
 public:
  explicit SurfaceWay(SDL_Window* window) : PresentWay(window) {}
  ~SurfaceWay() override {
    if (source_) SDL_FreeSurface(source_);
  }

  // The picture is copied into the window's surface first and handed over at the refresh
  // tick, so that as little as possible happens between the tick and the screen.
  void Show(IDirect3DSurface9* back, const SDL_Rect& src, const SDL_Rect* dest) override {
    SDL_Surface* from = SourceOf(back);
    SDL_Surface* to = SDL_GetWindowSurface(window_);
    if (!from || !to) return;
    SDL_Rect whole{0, 0, to->w, to->h};
    SDL_Rect dst = dest ? *dest : whole;
    SDL_Rect clipped{};
    bool visible = SDL_IntersectRect(&dst, &whole, &clipped);
    if (!visible || !SDL_RectEquals(&clipped, &whole))
      SDL_FillRect(to, nullptr, SDL_MapRGB(to->format, 0, 0, 0));
    bool same_layout =
        SDL_BYTESPERPIXEL(from->format->format) == 4 &&
        SDL_BYTESPERPIXEL(to->format->format) == 4 && from->format->Rmask == to->format->Rmask &&
        from->format->Gmask == to->format->Gmask && from->format->Bmask == to->format->Bmask;
    if (!visible) {
      // Nothing of the picture falls inside the window.
    } else if (same_layout && SDL_RectEquals(&clipped, &dst)) {
      // The common case: 32-bit pixels of one channel order, copied or scaled here.
      if (SDL_MUSTLOCK(to)) SDL_LockSurface(to);
      const auto* in =
          static_cast<const std::uint8_t*>(from->pixels) + src.y * from->pitch + src.x * 4;
      auto* out = static_cast<std::uint8_t*>(to->pixels) + dst.y * to->pitch + dst.x * 4;
      ScaleNearest32(in, from->pitch, src.w, src.h, out, to->pitch, dst.w, dst.h, columns_);
      if (SDL_MUSTLOCK(to)) SDL_UnlockSurface(to);
    } else {
      SDL_Rect s = src, d = dst;
      if (s.w == d.w && s.h == d.h) {
        SDL_BlitSurface(from, &s, to, &d);
      } else {
        SDL_BlitScaled(from, &s, to, &d);
      }
    }
    WaitForRefresh();
    SDL_UpdateWindowSurface(window_);
  }

 private:
  // The back buffer as an SDL surface over its own pixels, made again only when the back
  // buffer changes.
  SDL_Surface* SourceOf(IDirect3DSurface9* back) {
    Uint32 format = SdlFormat(back->Format());
    int w = static_cast<int>(back->Width()), h = static_cast<int>(back->Height());
    if (source_ && source_->pixels == back->Bits() && source_->w == w && source_->h == h &&
        source_->format->format == format && source_->pitch == static_cast<int>(back->Pitch())) {
      return source_;
    }
    if (source_) SDL_FreeSurface(source_);
    source_ = SDL_CreateRGBSurfaceWithFormatFrom(back->Bits(), w, h, SDL_BITSPERPIXEL(format),
                                                 static_cast<int>(back->Pitch()), format);
    // The back buffer's alpha is not part of the picture (X8R8G8B8 leaves it undefined).
    if (source_) SDL_SetSurfaceBlendMode(source_, SDL_BLENDMODE_NONE);
    return source_;
  }

  SDL_Surface* source_ = nullptr;  // the back buffer seen as an SDL surface, not copied
  ColumnTable columns_;
};

}  // namespace

// The device's side of its window: which way its frames take, and the full-screen state it set.
struct Presenter {
  HWND hwnd = nullptr;
  SDL_Window* window = nullptr;
  PresentPath path = PresentPath::kNone;
  bool wait_for_refresh = false;
  bool fullscreen = false;
  std::unique_ptr<PresentWay> way;  // none without a window: nothing is shown

  ~Presenter() {
    way.reset();
    if (hwnd && fullscreen) win32::SetWindowFullScreen(hwnd, false);
  }

  // dest is in client pixels; a window shown at a whole-pixel scale has them at another place
  // and size on its SDL window.
  void Show(IDirect3DSurface9* back, const SDL_Rect& src, const SDL_Rect* dest) {
    if (!way) return;
    const win32::WindowView view = win32::GetWindowView(hwnd);
    if (view.scale == 1 && view.left == 0 && view.top == 0) return way->Show(back, src, dest);
    int client_w = 0, client_h = 0;
    WindowClientSize(hwnd, &client_w, &client_h);
    const SDL_Rect d = dest ? *dest : SDL_Rect{0, 0, client_w, client_h};
    // The program's destination may lie anywhere; far outside the window it stays far outside.
    auto at = [&](int origin, std::int64_t v) {
      return static_cast<int>(std::clamp<std::int64_t>(
          origin + static_cast<std::int64_t>(v) * view.scale, -(1 << 28), 1 << 28));
    };
    const int left = at(view.left, d.x), top = at(view.top, d.y);
    const SDL_Rect on_window{left, top, at(view.left, std::int64_t{d.x} + d.w) - left,
                             at(view.top, std::int64_t{d.y} + d.h) - top};
    way->Show(back, src, &on_window);
  }
};

void PresenterDeleter::operator()(Presenter* p) const {
  delete p;
}

// Whether a rectangle of a surface holds one colour throughout, as a cleared back buffer does.
// The unused byte of X8R8G8B8 is not compared.
bool OneColour(const IDirect3DSurface9& surface, const RECT& r) {
  const int bits = FormatBits(surface.Format());
  if (bits == 0 || bits % 8 != 0 || IsBlockFormat(surface.Format())) return false;
  const std::size_t bytes = static_cast<std::size_t>(bits / 8);
  const BYTE* first = surface.Bits() + static_cast<std::size_t>(r.top) * surface.Pitch() +
                      static_cast<std::size_t>(r.left) * bytes;
  const std::size_t width = static_cast<std::size_t>(r.right - r.left);
  if (bytes == 4) {
    const std::uint32_t mask = surface.Format() == D3DFMT_X8R8G8B8 ? 0x00FFFFFFu : 0xFFFFFFFFu;
    std::uint32_t colour;
    std::memcpy(&colour, first, 4);
    colour &= mask;
    for (LONG y = r.top; y < r.bottom; ++y) {
      const BYTE* row = first + static_cast<std::size_t>(y - r.top) * surface.Pitch();
      for (std::size_t x = 0; x < width; ++x) {
        std::uint32_t v;
        std::memcpy(&v, row + x * 4, 4);
        if ((v & mask) != colour) return false;
      }
    }
    return true;
  }
  for (LONG y = r.top; y < r.bottom; ++y) {
    const BYTE* row = first + static_cast<std::size_t>(y - r.top) * surface.Pitch();
    for (std::size_t x = 0; x < width; ++x)
      if (std::memcmp(row + x * bytes, first, bytes) != 0) return false;
  }
  return true;
}

}  // namespace d3d9_internal

using namespace d3d9_internal;

void IDirect3DDevice9::AttachPresenter() {
  presenter_.reset(new Presenter());
  HWND hwnd = params_.hDeviceWindow ? params_.hDeviceWindow : focus_;
  SDL_Window* window = WindowOf(hwnd);
  if (!window) return;
  presenter_->hwnd = hwnd;
  presenter_->window = window;
  // Full screen goes through the window stand-in so that its client rectangle follows; the
  // back buffer is then scaled onto the whole screen.
  if (!params_.Windowed) {
    presenter_->fullscreen = win32::SetWindowFullScreen(hwnd, true) != 0;
  } else if (SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN) {
    win32::SetWindowFullScreen(hwnd, false);
  }
  bool retrace = params_.PresentationInterval != D3DPRESENT_INTERVAL_IMMEDIATE;
  PresentPath path = ChoosePath(window);
  if (path == PresentPath::kSurface) {
    // The window's surface must not become an OpenGL texture behind SDL's back: that is the
    // emulated-GPU detour this way exists to avoid.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    // A window that cannot give a surface (one made for OpenGL elsewhere) is shown through a
    // renderer instead.
    if (!SDL_GetWindowSurface(window)) path = PresentPath::kRenderer;
  }
  if (path == PresentPath::kRenderer) {
    presenter_->way = std::make_unique<RendererWay>(window, retrace);
  } else {
    presenter_->way = std::make_unique<SurfaceWay>(window);
  }
  presenter_->path = path;
  presenter_->wait_for_refresh =
      retrace && !presenter_->way->KeepsToTheRetrace() && ShowsPictures();
  presenter_->way->WaitForTheClock(presenter_->wait_for_refresh);
  if (presenter_->wait_for_refresh)
    TheRefreshClock().SetPeriod(RefreshPeriodNs(DisplayRefreshHz(window)));
}

PresentPath IDirect3DDevice9::PresentPathUsed() const {
  return presenter_ ? presenter_->path : PresentPath::kNone;
}

bool IDirect3DDevice9::PresentWaitsForRefresh() const {
  return presenter_ && presenter_->wait_for_refresh;
}

void IDirect3DDevice9::DetachPresenter() {
  presenter_.reset();
}

void IDirect3DDevice9::SetLost(bool lost, bool can_reset) {
  lost_ = lost;
  can_reset_ = lost && can_reset;
}

// A full-screen device loses the display while its window is minimised; once the window is
// back it can be reset.
void IDirect3DDevice9::CheckMinimised() {
  if (params_.Windowed || !presenter_ || !presenter_->window) return;
  bool minimised = (SDL_GetWindowFlags(presenter_->window) & SDL_WINDOW_MINIMIZED) != 0;
  if (minimised) {
    lost_ = true;
    can_reset_ = false;
  } else if (lost_) {
    can_reset_ = true;
  }
}

HRESULT IDirect3DDevice9::TestCooperativeLevel() {
  CheckMinimised();
  if (!lost_) return D3D_OK;
  return can_reset_ ? D3DERR_DEVICENOTRESET : D3DERR_DEVICELOST;
}

HRESULT IDirect3DDevice9::Present(const RECT* source, const RECT* dest, HWND override_window,
                                  const void* dirty) {
  CheckMinimised();
  if (lost_) return D3DERR_DEVICELOST;
  if ((source || dest) && params_.SwapEffect != D3DSWAPEFFECT_COPY) return D3DERR_INVALIDCALL;
  RECT s{0, 0, static_cast<LONG>(back_buffer_->Width()), static_cast<LONG>(back_buffer_->Height())};
  if (source) {
    if (source->left < 0 || source->top < 0 || source->left >= source->right ||
        source->top >= source->bottom || source->right > s.right || source->bottom > s.bottom) {
      return D3DERR_INVALIDCALL;
    }
    s = *source;
  }
  // A destination wider or taller than an int can say is no rectangle at all.
  if (dest && (dest->left >= dest->right || dest->top >= dest->bottom ||
               std::int64_t{dest->right} - dest->left > INT_MAX ||
               std::int64_t{dest->bottom} - dest->top > INT_MAX)) {
    return D3DERR_INVALIDCALL;
  }
  ++present_count;
  last_present_had_source = source != nullptr;
  last_present_source = s;
  SDL_Rect src{s.left, s.top, s.right - s.left, s.bottom - s.top};
  SDL_Rect dst{};
  if (dest)
    dst = SDL_Rect{dest->left, dest->top, dest->right - dest->left, dest->bottom - dest->top};
  // A program that draws by other means than primitives (locking the back buffer, copying
  // surfaces into it) has drawn once a frame shows more than the one colour of a clear.
  if (!drawn_ && !OneColour(*back_buffer_, s)) drawn_ = true;
  if (presenter_->way) presenter_->way->WaitForTheClock(presenter_->wait_for_refresh && drawn_);
  presenter_->Show(back_buffer_.Get(), src, dest ? &dst : nullptr);
  return D3D_OK;
}

namespace d3d9::testing {

void ForcePresentPath(PresentPath path) {
  ForcedPath() = path;
}

void AutoPresentPath() {
  ForcedPath().reset();
  HeadlessRefreshWait() = false;
}

void WaitForRefreshHeadless(bool on) {
  HeadlessRefreshWait() = on;
}

}  // namespace d3d9::testing

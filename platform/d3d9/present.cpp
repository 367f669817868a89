// Present and the lost state: the back buffer (or a rectangle of it) goes to an SDL renderer
// that scales it to the device window's client area, with vsync when the presentation interval
// asks for the retrace and the system offers it. A full-screen device whose window is minimised
// is lost until the window comes back and the device is reset. With no SDL window behind the
// device window nothing is shown, and drawing still works.
#include <SDL.h>

#include <algorithm>
#include <vector>

#include "platform/d3d9/d3d9.h"
#include "platform/win32/event_source.h"
#include "platform/win32/user.h"

namespace d3d9_internal {

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

}  // namespace

void WindowClientSize(HWND window, int* width, int* height) {
  *width = *height = 0;
  RECT client{};
  if (window && win32::GetClientRect(window, &client)) {
    *width = client.right - client.left;
    *height = client.bottom - client.top;
  }
}

struct Presenter {
  HWND hwnd = nullptr;
  SDL_Window* window = nullptr;
  SDL_Renderer* renderer = nullptr;
  SDL_Texture* texture = nullptr;
  int texture_width = 0, texture_height = 0;
  Uint32 texture_format = 0;
  bool fullscreen = false;

  ~Presenter() {
    if (texture) SDL_DestroyTexture(texture);
    if (renderer) RendererRelease(window);
    if (hwnd && fullscreen) win32::SetWindowFullScreen(hwnd, false);
  }

  void Show(IDirect3DSurface9* back, const SDL_Rect& source, const SDL_Rect* dest) {
    if (!renderer) return;
    Uint32 format = SdlFormat(back->Format());
    int w = static_cast<int>(back->Width()), h = static_cast<int>(back->Height());
    if (!texture || texture_width != w || texture_height != h || texture_format != format) {
      if (texture) SDL_DestroyTexture(texture);
      texture = SDL_CreateTexture(renderer, format, SDL_TEXTUREACCESS_STREAMING, w, h);
      if (!texture) return;
      // The back buffer's alpha is not part of the picture (X8R8G8B8 leaves it undefined).
      SDL_SetTextureBlendMode(texture, SDL_BLENDMODE_NONE);
      texture_width = w, texture_height = h, texture_format = format;
    }
    int bytes = SDL_BYTESPERPIXEL(format);
    const BYTE* bits = back->Bits() + source.y * back->Pitch() + source.x * bytes;
    SDL_UpdateTexture(texture, &source, bits, static_cast<int>(back->Pitch()));
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
    SDL_RenderClear(renderer);
    SDL_RenderCopy(renderer, texture, &source, dest);
    SDL_RenderPresent(renderer);
  }
};

void PresenterDeleter::operator()(Presenter* p) const {
  delete p;
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
  presenter_->renderer =
      RendererAcquire(window, params_.PresentationInterval != D3DPRESENT_INTERVAL_IMMEDIATE);
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
  if (dest && (dest->left >= dest->right || dest->top >= dest->bottom)) return D3DERR_INVALIDCALL;
  ++present_count;
  last_present_had_source = source != nullptr;
  last_present_source = s;
  SDL_Rect src{s.left, s.top, s.right - s.left, s.bottom - s.top};
  SDL_Rect dst{};
  if (dest)
    dst = SDL_Rect{dest->left, dest->top, dest->right - dest->left, dest->bottom - dest->top};
  presenter_->Show(back_buffer_.Get(), src, dest ? &dst : nullptr);
  return D3D_OK;
}

// The device: creation and reset from present parameters, the swap chain's surfaces, the state
// it keeps (render, sampler and texture-stage states, transforms, viewport, streams), state
// blocks, resource creation, clears and surface copies, and the draw calls. Present and the
// lost state live in present.cpp.
#include <algorithm>
#include <cstring>
#include <new>

#include "platform/d3d9/adapter.h"
#include "platform/d3d9/formats.h"
#include "platform/d3d9/raster.h"
#include "platform/d3d9/stretch.h"
#include "platform/replay/replay.h"

using namespace d3d9_internal;

namespace {

constexpr UINT kMaxSurfaceSize = 8192;
constexpr UINT kMaxPrimitiveCount = 0xFFFFF;  // as the caps say

D3DMATRIX Identity() {
  D3DMATRIX m{};
  m._11 = m._22 = m._33 = m._44 = 1.0f;
  return m;
}

DWORD FloatBits(float f) {
  DWORD d;
  std::memcpy(&d, &f, 4);
  return d;
}

bool ValidRect(const RECT& r, UINT w, UINT h) {
  return r.left >= 0 && r.top >= 0 && r.left < r.right && r.top < r.bottom &&
         r.right <= static_cast<LONG>(w) && r.bottom <= static_cast<LONG>(h);
}

RECT Whole(const IDirect3DSurface9* s) {
  return RECT{0, 0, static_cast<LONG>(s->Width()), static_cast<LONG>(s->Height())};
}

bool IsRenderTarget(const IDirect3DSurface9* s) {
  return (s->Usage() & D3DUSAGE_RENDERTARGET) != 0 && IsRenderTargetFormat(s->Format());
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Creation, reset and defaults
// ---------------------------------------------------------------------------------------------

IDirect3DDevice9::IDirect3DDevice9(IDirect3D9* d3d, HWND focus, DWORD behaviour,
                                   const D3DPRESENT_PARAMETERS& parameters)
    : d3d_(d3d), focus_(focus), behaviour_(behaviour), params_(parameters) {
  for (int i = 0; i < 256; ++i) {
    WORD v = static_cast<WORD>(i * 257);
    gamma_.red[i] = gamma_.green[i] = gamma_.blue[i] = v;
  }
}

// Checks and completes present parameters; D3D_OK when a swap chain can be made from them.
static HRESULT CompleteParameters(D3DPRESENT_PARAMETERS& p, HWND focus) {
  if (p.BackBufferCount > 3) return D3DERR_INVALIDCALL;
  if (p.BackBufferCount == 0) p.BackBufferCount = 1;
  if (p.SwapEffect < D3DSWAPEFFECT_DISCARD || p.SwapEffect > D3DSWAPEFFECT_COPY) {
    return D3DERR_INVALIDCALL;
  }
  if (p.MultiSampleType != D3DMULTISAMPLE_NONE) return D3DERR_INVALIDCALL;
  if (p.PresentationInterval != D3DPRESENT_INTERVAL_DEFAULT &&
      p.PresentationInterval != D3DPRESENT_INTERVAL_ONE &&
      p.PresentationInterval != D3DPRESENT_INTERVAL_IMMEDIATE) {
    return D3DERR_INVALIDCALL;
  }
  if (!p.hDeviceWindow) p.hDeviceWindow = focus;
  const AdapterInfo& adapter = Adapter();
  if (p.Windowed) {
    if (p.FullScreen_RefreshRateInHz != 0) return D3DERR_INVALIDCALL;
    if (p.BackBufferFormat == D3DFMT_UNKNOWN) p.BackBufferFormat = adapter.desktop.Format;
    if (p.BackBufferWidth == 0 || p.BackBufferHeight == 0) {
      // A windowed swap chain without a size takes the window's client area.
      int w = 0, h = 0;
      WindowClientSize(p.hDeviceWindow, &w, &h);
      if (p.BackBufferWidth == 0) p.BackBufferWidth = static_cast<UINT>(std::max(w, 1));
      if (p.BackBufferHeight == 0) p.BackBufferHeight = static_cast<UINT>(std::max(h, 1));
    }
  } else {
    bool listed =
        std::any_of(adapter.modes.begin(), adapter.modes.end(), [&](const D3DDISPLAYMODE& m) {
          return m.Width == p.BackBufferWidth && m.Height == p.BackBufferHeight &&
                 m.Format == p.BackBufferFormat &&
                 (p.FullScreen_RefreshRateInHz == 0 ||
                  p.FullScreen_RefreshRateInHz == m.RefreshRate);
        });
    if (!listed) return D3DERR_INVALIDCALL;
  }
  if (!IsRenderTargetFormat(p.BackBufferFormat)) return D3DERR_INVALIDCALL;
  if (p.BackBufferWidth > kMaxSurfaceSize || p.BackBufferHeight > kMaxSurfaceSize) {
    return D3DERR_INVALIDCALL;
  }
  if (p.EnableAutoDepthStencil && !IsDepthFormat(p.AutoDepthStencilFormat)) {
    return D3DERR_INVALIDCALL;
  }
  return D3D_OK;
}

// The back buffer as a recording's frame hash and a replay's pictures see it.
static bool ShownBackBuffer(void* context, replay::FrameImage* image) {
  const IDirect3DSurface9* back = static_cast<IDirect3DDevice9*>(context)->ShownSurface();
  if (!back) return false;
  image->bits = back->Bits();
  image->width = static_cast<int>(back->Width());
  image->height = static_cast<int>(back->Height());
  image->pitch = static_cast<int>(back->Pitch());
  image->bytes_per_pixel = FormatBits(back->Format()) / 8;
  switch (back->Format()) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
      image->sdl_format = SDL_PIXELFORMAT_RGB888;
      break;
    case D3DFMT_R5G6B5:
      image->sdl_format = SDL_PIXELFORMAT_RGB565;
      break;
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5:
      image->sdl_format = SDL_PIXELFORMAT_RGB555;
      break;
    default:
      image->sdl_format = 0;
  }
  return image->bytes_per_pixel > 0;
}

HRESULT IDirect3DDevice9::Initialise() {
  HRESULT hr = CompleteParameters(params_, focus_);
  if (FAILED(hr)) return hr;
  hr = MakeSwapChain();
  if (FAILED(hr)) return hr;
  ResetStates();
  AttachPresenter();
  replay::SetFrameSource(ShownBackBuffer, this);
  return D3D_OK;
}

IDirect3DDevice9::~IDirect3DDevice9() {
  replay::ClearFrameSource(this);
  recording_.Reset();
  for (IDirect3DStateBlock9* b : blocks_) b->device_ = nullptr;
  DetachPresenter();
}

HRESULT IDirect3DDevice9::MakeSwapChain() {
  IDirect3DSurface9::Init init{
      params_.BackBufferWidth,  params_.BackBufferHeight,
      params_.BackBufferFormat, D3DUSAGE_RENDERTARGET,
      D3DPOOL_DEFAULT,          (params_.Flags & D3DPRESENTFLAG_LOCKABLE_BACKBUFFER) != 0};
  Ref<IDirect3DSurface9> back =
      Ref<IDirect3DSurface9>::Adopt(IDirect3DSurface9::Make(init, nullptr));
  if (!back) return D3DERR_OUTOFVIDEOMEMORY;
  Ref<IDirect3DSurface9> depth;
  if (params_.EnableAutoDepthStencil) {
    IDirect3DSurface9::Init dinit{
        params_.BackBufferWidth, params_.BackBufferHeight, params_.AutoDepthStencilFormat,
        D3DUSAGE_DEPTHSTENCIL,   D3DPOOL_DEFAULT,          false};
    depth = Ref<IDirect3DSurface9>::Adopt(IDirect3DSurface9::Make(dinit, nullptr));
    if (!depth) return D3DERR_OUTOFVIDEOMEMORY;
  }
  BindingsChanged();
  back_buffer_ = back;
  auto_depth_ = depth;
  render_target_ = back;
  depth_stencil_ = depth;
  return D3D_OK;
}

void IDirect3DDevice9::ResetStates() {
  StateChanged();
  state_ = DeviceState{};
  DWORD* rs = state_.render;
  rs[D3DRS_ZENABLE] = params_.EnableAutoDepthStencil ? D3DZB_TRUE : D3DZB_FALSE;
  rs[D3DRS_FILLMODE] = D3DFILL_SOLID;
  rs[D3DRS_SHADEMODE] = D3DSHADE_GOURAUD;
  rs[D3DRS_ZWRITEENABLE] = TRUE;
  rs[D3DRS_LASTPIXEL] = TRUE;
  rs[D3DRS_SRCBLEND] = D3DBLEND_ONE;
  rs[D3DRS_DESTBLEND] = D3DBLEND_ZERO;
  rs[D3DRS_CULLMODE] = D3DCULL_CCW;
  rs[D3DRS_ZFUNC] = D3DCMP_LESSEQUAL;
  rs[D3DRS_ALPHAFUNC] = D3DCMP_ALWAYS;
  rs[D3DRS_FOGDENSITY] = FloatBits(1.0f);
  rs[D3DRS_FOGEND] = FloatBits(1.0f);
  rs[D3DRS_STENCILFAIL] = rs[D3DRS_STENCILZFAIL] = rs[D3DRS_STENCILPASS] = D3DSTENCILOP_KEEP;
  rs[D3DRS_STENCILFUNC] = D3DCMP_ALWAYS;
  rs[D3DRS_STENCILMASK] = rs[D3DRS_STENCILWRITEMASK] = 0xFFFFFFFF;
  rs[D3DRS_TEXTUREFACTOR] = 0xFFFFFFFF;
  rs[D3DRS_CLIPPING] = TRUE;
  rs[D3DRS_LIGHTING] = TRUE;
  rs[D3DRS_COLORVERTEX] = TRUE;
  rs[D3DRS_LOCALVIEWER] = TRUE;
  rs[D3DRS_DIFFUSEMATERIALSOURCE] = D3DMCS_COLOR1;
  rs[D3DRS_SPECULARMATERIALSOURCE] = D3DMCS_COLOR2;
  rs[D3DRS_AMBIENTMATERIALSOURCE] = D3DMCS_MATERIAL;
  rs[D3DRS_EMISSIVEMATERIALSOURCE] = D3DMCS_MATERIAL;
  rs[D3DRS_POINTSIZE] = FloatBits(1.0f);
  rs[D3DRS_POINTSIZE_MAX] = FloatBits(64.0f);
  rs[D3DRS_MULTISAMPLEANTIALIAS] = TRUE;
  rs[D3DRS_MULTISAMPLEMASK] = 0xFFFFFFFF;
  rs[D3DRS_COLORWRITEENABLE] = 0xF;
  rs[D3DRS_BLENDOP] = D3DBLENDOP_ADD;
  rs[D3DRS_BLENDFACTOR] = 0xFFFFFFFF;
  rs[D3DRS_SRCBLENDALPHA] = D3DBLEND_ONE;
  rs[D3DRS_DESTBLENDALPHA] = D3DBLEND_ZERO;
  rs[D3DRS_BLENDOPALPHA] = D3DBLENDOP_ADD;
  for (DWORD s = 0; s < kD3dSamplerCount; ++s) {
    DWORD* ss = state_.sampler[s];
    ss[D3DSAMP_ADDRESSU] = ss[D3DSAMP_ADDRESSV] = ss[D3DSAMP_ADDRESSW] = D3DTADDRESS_WRAP;
    ss[D3DSAMP_MAGFILTER] = ss[D3DSAMP_MINFILTER] = D3DTEXF_POINT;
    ss[D3DSAMP_MIPFILTER] = D3DTEXF_NONE;
    ss[D3DSAMP_MAXANISOTROPY] = 1;
  }
  for (DWORD t = 0; t < kD3dStageCount; ++t) {
    DWORD* ts = state_.stage[t];
    ts[D3DTSS_COLOROP] = t == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
    ts[D3DTSS_COLORARG1] = D3DTA_TEXTURE;
    ts[D3DTSS_COLORARG2] = D3DTA_CURRENT;
    ts[D3DTSS_ALPHAOP] = t == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
    ts[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
    ts[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
    ts[D3DTSS_TEXCOORDINDEX] = t;
    ts[D3DTSS_COLORARG0] = ts[D3DTSS_ALPHAARG0] = ts[D3DTSS_RESULTARG] = D3DTA_CURRENT;
  }
  for (D3DMATRIX& m : state_.transform) m = Identity();
  state_.viewport =
      D3DVIEWPORT9{0, 0, params_.BackBufferWidth, params_.BackBufferHeight, 0.0f, 1.0f};
  state_.scissor = RECT{0, 0, static_cast<LONG>(params_.BackBufferWidth),
                        static_cast<LONG>(params_.BackBufferHeight)};
  recording_.Reset();
}

HRESULT IDirect3DDevice9::Reset(D3DPRESENT_PARAMETERS* parameters) {
  if (!parameters || in_scene_) return D3DERR_INVALIDCALL;
  if (lost_ && !can_reset_) return D3DERR_DEVICELOST;
  D3DPRESENT_PARAMETERS p = *parameters;
  HRESULT hr = CompleteParameters(p, focus_);
  if (FAILED(hr)) return hr;
  D3DPRESENT_PARAMETERS old = params_;
  params_ = p;
  hr = MakeSwapChain();
  if (FAILED(hr)) {
    params_ = old;
    return hr;
  }
  *parameters = p;
  lost_ = can_reset_ = false;
  ResetStates();
  DetachPresenter();
  AttachPresenter();
  return D3D_OK;
}

HRESULT IDirect3DDevice9::GetDirect3D(IDirect3D9** d3d) {
  if (!d3d) return D3DERR_INVALIDCALL;
  *d3d = d3d_.Get();
  (*d3d)->AddRef();
  return D3D_OK;
}

HRESULT IDirect3DDevice9::GetDeviceCaps(D3DCAPS9* caps) {
  if (!caps) return D3DERR_INVALIDCALL;
  *caps = Caps();
  return D3D_OK;
}

HRESULT IDirect3DDevice9::GetDisplayMode(UINT swap_chain, D3DDISPLAYMODE* mode) {
  if (swap_chain != 0 || !mode) return D3DERR_INVALIDCALL;
  if (params_.Windowed) {
    *mode = Adapter().desktop;
  } else {
    *mode = D3DDISPLAYMODE{params_.BackBufferWidth, params_.BackBufferHeight,
                           Adapter().desktop.RefreshRate, params_.BackBufferFormat};
  }
  return D3D_OK;
}

HRESULT IDirect3DDevice9::GetCreationParameters(D3DDEVICE_CREATION_PARAMETERS* parameters) {
  if (!parameters) return D3DERR_INVALIDCALL;
  *parameters = D3DDEVICE_CREATION_PARAMETERS{0, D3DDEVTYPE_HAL, focus_, behaviour_};
  return D3D_OK;
}

UINT IDirect3DDevice9::GetAvailableTextureMem() {
  return 512u << 20;
}

void IDirect3DDevice9::SetGammaRamp(UINT swap_chain, DWORD flags, const D3DGAMMARAMP* ramp) {
  if (swap_chain == 0 && ramp) gamma_ = *ramp;
}

void IDirect3DDevice9::GetGammaRamp(UINT swap_chain, D3DGAMMARAMP* ramp) {
  if (swap_chain == 0 && ramp) *ramp = gamma_;
}

HRESULT IDirect3DDevice9::GetBackBuffer(UINT swap_chain, UINT index, D3DBACKBUFFER_TYPE type,
                                        IDirect3DSurface9** surface) {
  if (!surface) return D3DERR_INVALIDCALL;
  *surface = nullptr;
  if (swap_chain != 0 || index >= params_.BackBufferCount || type != D3DBACKBUFFER_TYPE_MONO) {
    return D3DERR_INVALIDCALL;
  }
  *surface = back_buffer_.Get();
  (*surface)->AddRef();
  return D3D_OK;
}

// ---------------------------------------------------------------------------------------------
// Resources
// ---------------------------------------------------------------------------------------------

HRESULT IDirect3DDevice9::CreateTexture(UINT width, UINT height, UINT levels, DWORD usage,
                                        D3DFORMAT format, D3DPOOL pool, IDirect3DTexture9** texture,
                                        HANDLE* shared) {
  if (!texture) return D3DERR_INVALIDCALL;
  *texture = nullptr;
  D3DCAPS9 caps = Caps();
  if (width == 0 || height == 0 || width > caps.MaxTextureWidth || height > caps.MaxTextureHeight ||
      !IsTextureFormat(format) || pool > D3DPOOL_SCRATCH) {
    return D3DERR_INVALIDCALL;
  }
  bool pow2 = (width & (width - 1)) == 0 && (height & (height - 1)) == 0;
  if ((caps.TextureCaps & D3DPTEXTURECAPS_POW2) && !pow2 &&
      !((caps.TextureCaps & D3DPTEXTURECAPS_NONPOW2CONDITIONAL) && levels == 1)) {
    return D3DERR_INVALIDCALL;
  }
  if ((caps.TextureCaps & D3DPTEXTURECAPS_SQUAREONLY) && width != height) return D3DERR_INVALIDCALL;
  if (usage & D3DUSAGE_DEPTHSTENCIL) return D3DERR_INVALIDCALL;
  if (usage & D3DUSAGE_RENDERTARGET) {
    if (pool != D3DPOOL_DEFAULT || !IsRenderTargetFormat(format)) return D3DERR_INVALIDCALL;
  }
  if ((usage & D3DUSAGE_DYNAMIC) && pool == D3DPOOL_MANAGED) return D3DERR_INVALIDCALL;
  IDirect3DTexture9* t = IDirect3DTexture9::Make(width, height, levels, usage, format, pool);
  if (!t) return D3DERR_OUTOFVIDEOMEMORY;
  *texture = t;
  return D3D_OK;
}

HRESULT IDirect3DDevice9::CreateCubeTexture(UINT edge, UINT levels, DWORD usage, D3DFORMAT format,
                                            D3DPOOL pool, IDirect3DCubeTexture9** texture,
                                            HANDLE* shared) {
  if (!texture) return D3DERR_INVALIDCALL;
  *texture = nullptr;
  D3DCAPS9 caps = Caps();
  if (edge == 0 || edge > caps.MaxTextureWidth || !IsTextureFormat(format) ||
      pool > D3DPOOL_SCRATCH || (usage & D3DUSAGE_DEPTHSTENCIL)) {
    return D3DERR_INVALIDCALL;
  }
  if ((usage & D3DUSAGE_RENDERTARGET) &&
      (pool != D3DPOOL_DEFAULT || !IsRenderTargetFormat(format))) {
    return D3DERR_INVALIDCALL;
  }
  IDirect3DCubeTexture9* t = IDirect3DCubeTexture9::Make(edge, levels, usage, format, pool);
  if (!t) return D3DERR_OUTOFVIDEOMEMORY;
  *texture = t;
  return D3D_OK;
}

HRESULT IDirect3DDevice9::CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                             IDirect3DVertexBuffer9** buffer, HANDLE* shared) {
  if (!buffer) return D3DERR_INVALIDCALL;
  *buffer = nullptr;
  if (length == 0 || pool > D3DPOOL_SYSTEMMEM) return D3DERR_INVALIDCALL;
  if (fvf != 0 && length < FvfSize(fvf)) return D3DERR_INVALIDCALL;
  if (length > (256u << 20)) return D3DERR_OUTOFVIDEOMEMORY;
  try {
    *buffer = new IDirect3DVertexBuffer9(length, usage, fvf, pool);
  } catch (const std::bad_alloc&) {
    return D3DERR_OUTOFVIDEOMEMORY;
  }
  return D3D_OK;
}

namespace {

// A render target or depth-stencil surface in the default pool; impossible sizes, formats the
// kind cannot take and multisampling are refused.
HRESULT DefaultPoolSurface(UINT width, UINT height, D3DFORMAT format, D3DMULTISAMPLE_TYPE samples,
                           bool format_fits, DWORD usage, bool lockable,
                           IDirect3DSurface9** surface) {
  if (!surface) return D3DERR_INVALIDCALL;
  *surface = nullptr;
  if (width == 0 || height == 0 || width > kMaxSurfaceSize || height > kMaxSurfaceSize ||
      !format_fits || samples != D3DMULTISAMPLE_NONE) {
    return D3DERR_INVALIDCALL;
  }
  IDirect3DSurface9::Init init{width, height, format, usage, D3DPOOL_DEFAULT, lockable};
  *surface = IDirect3DSurface9::Make(init, nullptr);
  return *surface ? D3D_OK : D3DERR_OUTOFVIDEOMEMORY;
}

}  // namespace

HRESULT IDirect3DDevice9::CreateRenderTarget(UINT width, UINT height, D3DFORMAT format,
                                             D3DMULTISAMPLE_TYPE samples, DWORD quality,
                                             BOOL lockable, IDirect3DSurface9** surface,
                                             HANDLE* shared) {
  return DefaultPoolSurface(width, height, format, samples, IsRenderTargetFormat(format),
                            D3DUSAGE_RENDERTARGET, lockable != 0, surface);
}

HRESULT IDirect3DDevice9::CreateDepthStencilSurface(UINT width, UINT height, D3DFORMAT format,
                                                    D3DMULTISAMPLE_TYPE samples, DWORD quality,
                                                    BOOL discard, IDirect3DSurface9** surface,
                                                    HANDLE* shared) {
  return DefaultPoolSurface(width, height, format, samples, IsDepthFormat(format),
                            D3DUSAGE_DEPTHSTENCIL, false, surface);
}

HRESULT IDirect3DDevice9::CreateOffscreenPlainSurface(UINT width, UINT height, D3DFORMAT format,
                                                      D3DPOOL pool, IDirect3DSurface9** surface,
                                                      HANDLE* shared) {
  if (!surface) return D3DERR_INVALIDCALL;
  *surface = nullptr;
  if (width == 0 || height == 0 || width > kMaxSurfaceSize || height > kMaxSurfaceSize ||
      !IsTextureFormat(format) || pool == D3DPOOL_MANAGED || pool > D3DPOOL_SCRATCH) {
    return D3DERR_INVALIDCALL;
  }
  IDirect3DSurface9::Init init{width, height, format, 0, pool, true};
  *surface = IDirect3DSurface9::Make(init, nullptr);
  return *surface ? D3D_OK : D3DERR_OUTOFVIDEOMEMORY;
}

// ---------------------------------------------------------------------------------------------
// Surface copies
// ---------------------------------------------------------------------------------------------

HRESULT IDirect3DDevice9::UpdateSurface(IDirect3DSurface9* source, const RECT* source_rect,
                                        IDirect3DSurface9* dest, const POINT* dest_point) {
  if (!source || !dest || source == dest || source->Locked() || dest->Locked()) {
    return D3DERR_INVALIDCALL;
  }
  if (source->GetPool() != D3DPOOL_SYSTEMMEM || dest->GetPool() != D3DPOOL_DEFAULT ||
      source->Format() != dest->Format() || IsDepthFormat(source->Format())) {
    return D3DERR_INVALIDCALL;
  }
  RECT sr = source_rect ? *source_rect : Whole(source);
  if (!ValidRect(sr, source->Width(), source->Height())) return D3DERR_INVALIDCALL;
  POINT dp = dest_point ? *dest_point : POINT{0, 0};
  RECT dr{dp.x, dp.y, dp.x + (sr.right - sr.left), dp.y + (sr.bottom - sr.top)};
  if (!ValidRect(dr, dest->Width(), dest->Height())) return D3DERR_INVALIDCALL;
  if (IsBlockFormat(source->Format())) {
    if (sr.left % 4 || sr.top % 4 || dp.x % 4 || dp.y % 4) return D3DERR_INVALIDCALL;
  }
  UINT rows = StorageRows(source->Format(), static_cast<UINT>(sr.bottom - sr.top));
  UINT row_bytes = RowPitch(source->Format(), static_cast<UINT>(sr.right - sr.left));
  row_bytes = std::min(row_bytes, source->Pitch());
  UINT bpp = static_cast<UINT>(FormatBits(source->Format()));
  bool block = IsBlockFormat(source->Format());
  auto offset = [&](const IDirect3DSurface9* s, LONG x, LONG y) {
    return block ? static_cast<std::size_t>(y / 4) * s->Pitch() + (x / 4) * (bpp * 2)
                 : static_cast<std::size_t>(y) * s->Pitch() + x * bpp / 8;
  };
  for (UINT r = 0; r < rows; ++r) {
    UINT bytes = block ? row_bytes : (static_cast<UINT>(sr.right - sr.left) * bpp + 7) / 8;
    std::memcpy(dest->Bits() + offset(dest, dr.left, dr.top) + r * dest->Pitch(),
                source->Bits() + offset(source, sr.left, sr.top) + r * source->Pitch(), bytes);
  }
  dest->Touch();
  return D3D_OK;
}

HRESULT IDirect3DDevice9::UpdateTexture(IDirect3DBaseTexture9* source,
                                        IDirect3DBaseTexture9* dest) {
  if (!source || !dest || source->GetPool() != D3DPOOL_SYSTEMMEM ||
      dest->GetPool() != D3DPOOL_DEFAULT || source->GetType() != dest->GetType() ||
      source->GetLevelCount() < dest->GetLevelCount()) {
    return D3DERR_INVALIDCALL;
  }
  UINT faces = source->GetType() == D3DRTYPE_CUBETEXTURE ? 6 : 1;
  for (UINT f = 0; f < faces; ++f) {
    for (DWORD l = 0; l < dest->GetLevelCount(); ++l) {
      IDirect3DSurface9* s = source->Level(f, l);
      IDirect3DSurface9* d = dest->Level(f, l);
      if (s->Width() != d->Width() || s->Height() != d->Height() || s->Format() != d->Format()) {
        return D3DERR_INVALIDCALL;
      }
    }
  }
  for (UINT f = 0; f < faces; ++f) {
    for (DWORD l = 0; l < dest->GetLevelCount(); ++l) {
      IDirect3DSurface9* s = source->Level(f, l);
      IDirect3DSurface9* d = dest->Level(f, l);
      std::memcpy(d->Bits(), s->Bits(),
                  static_cast<std::size_t>(s->Pitch()) * StorageRows(s->Format(), s->Height()));
      d->Touch();
    }
  }
  return D3D_OK;
}

HRESULT IDirect3DDevice9::GetRenderTargetData(IDirect3DSurface9* render_target,
                                              IDirect3DSurface9* dest) {
  if (!render_target || !dest || !IsRenderTarget(render_target) ||
      dest->GetPool() != D3DPOOL_SYSTEMMEM || render_target->Format() != dest->Format() ||
      render_target->Width() != dest->Width() || render_target->Height() != dest->Height() ||
      dest->Locked()) {
    return D3DERR_INVALIDCALL;
  }
  std::memcpy(dest->Bits(), render_target->Bits(),
              static_cast<std::size_t>(dest->Pitch()) * dest->Height());
  dest->Touch();
  return D3D_OK;
}

HRESULT IDirect3DDevice9::StretchRect(IDirect3DSurface9* source, const RECT* source_rect,
                                      IDirect3DSurface9* dest, const RECT* dest_rect,
                                      D3DTEXTUREFILTERTYPE filter) {
  if (!source || !dest || source->Locked() || dest->Locked()) return D3DERR_INVALIDCALL;
  if (source->GetPool() != D3DPOOL_DEFAULT || !IsRenderTarget(dest) ||
      IsDepthFormat(source->Format()) || IsBlockFormat(source->Format()) ||
      filter > D3DTEXF_LINEAR) {
    return D3DERR_INVALIDCALL;
  }
  RECT sr = source_rect ? *source_rect : Whole(source);
  RECT dr = dest_rect ? *dest_rect : Whole(dest);
  if (!ValidRect(sr, source->Width(), source->Height()) ||
      !ValidRect(dr, dest->Width(), dest->Height())) {
    return D3DERR_INVALIDCALL;
  }
  if (source == dest && sr.left < dr.right && dr.left < sr.right && sr.top < dr.bottom &&
      dr.top < sr.bottom) {
    return D3DERR_INVALIDCALL;  // overlapping rectangles of one surface
  }
  LONG sw = sr.right - sr.left, sh = sr.bottom - sr.top;
  LONG dw = dr.right - dr.left, dh = dr.bottom - dr.top;
  if (source->Format() == dest->Format() && sw == dw && sh == dh) {
    UINT bpp = static_cast<UINT>(FormatBits(source->Format())) / 8;
    for (LONG r = 0; r < sh; ++r) {
      std::memmove(dest->Bits() + (dr.top + r) * dest->Pitch() + dr.left * bpp,
                   source->Bits() + (sr.top + r) * source->Pitch() + sr.left * bpp,
                   static_cast<std::size_t>(sw) * bpp);
    }
  } else {
    // Scaling or converting, through ARGB: nearest texel, or bilinear when asked and scaling.
    const bool linear = filter == D3DTEXF_LINEAR && (sw != dw || sh != dh);
    StretchCopy(source->Decoded(), source->Width(), sr, dest, dr, linear);
  }
  dest->Touch();
  return D3D_OK;
}

HRESULT IDirect3DDevice9::ColorFill(IDirect3DSurface9* surface, const RECT* rect, D3DCOLOR colour) {
  if (!surface || surface->Locked() || surface->GetPool() != D3DPOOL_DEFAULT ||
      !IsRenderTargetFormat(surface->Format())) {
    return D3DERR_INVALIDCALL;
  }
  RECT r = rect ? *rect : Whole(surface);
  if (!ValidRect(r, surface->Width(), surface->Height())) return D3DERR_INVALIDCALL;
  FillColour(surface, r, colour);
  return D3D_OK;
}

// ---------------------------------------------------------------------------------------------
// Targets, scenes and clears
// ---------------------------------------------------------------------------------------------

HRESULT IDirect3DDevice9::SetRenderTarget(DWORD index, IDirect3DSurface9* surface) {
  if (index != 0 || !surface || !IsRenderTarget(surface)) return D3DERR_INVALIDCALL;
  render_target_ = Ref<IDirect3DSurface9>(surface);
  BindingsChanged();
  // Setting render target 0 resets the viewport to the whole target.
  state_.viewport = D3DVIEWPORT9{0, 0, surface->Width(), surface->Height(), 0.0f, 1.0f};
  state_.scissor = Whole(surface);
  return D3D_OK;
}

HRESULT IDirect3DDevice9::GetRenderTarget(DWORD index, IDirect3DSurface9** surface) {
  if (!surface) return D3DERR_INVALIDCALL;
  *surface = nullptr;
  if (index != 0) return D3DERR_INVALIDCALL;
  if (!render_target_) return D3DERR_NOTFOUND;
  *surface = render_target_.Get();
  (*surface)->AddRef();
  return D3D_OK;
}

HRESULT IDirect3DDevice9::SetDepthStencilSurface(IDirect3DSurface9* surface) {
  if (surface && !IsDepthFormat(surface->Format())) return D3DERR_INVALIDCALL;
  depth_stencil_ = Ref<IDirect3DSurface9>(surface);
  BindingsChanged();
  return D3D_OK;
}

HRESULT IDirect3DDevice9::GetDepthStencilSurface(IDirect3DSurface9** surface) {
  if (!surface) return D3DERR_INVALIDCALL;
  *surface = depth_stencil_.Get();
  if (!*surface) return D3DERR_NOTFOUND;
  (*surface)->AddRef();
  return D3D_OK;
}

HRESULT IDirect3DDevice9::BeginScene() {
  if (in_scene_) return D3DERR_INVALIDCALL;
  in_scene_ = true;
  return D3D_OK;
}

HRESULT IDirect3DDevice9::EndScene() {
  if (!in_scene_) return D3DERR_INVALIDCALL;
  in_scene_ = false;
  return D3D_OK;
}

HRESULT IDirect3DDevice9::Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR colour,
                                float z, DWORD stencil) {
  if ((count > 0 && !rects) || (flags & ~7u) || flags == 0) return D3DERR_INVALIDCALL;
  IDirect3DSurface9* depth = depth_stencil_.Get();
  if ((flags & (D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)) && !depth) return D3DERR_INVALIDCALL;
  if ((flags & D3DCLEAR_STENCIL) && !depth->HasStencil()) return D3DERR_INVALIDCALL;
  if ((flags & D3DCLEAR_TARGET) && (!render_target_ || render_target_->Locked())) {
    return D3DERR_INVALIDCALL;
  }
  // The clear covers the viewport (and the scissor rectangle when enabled), cut by each rect.
  const D3DVIEWPORT9& vp = state_.viewport;
  RECT area{static_cast<LONG>(vp.X), static_cast<LONG>(vp.Y), static_cast<LONG>(vp.X + vp.Width),
            static_cast<LONG>(vp.Y + vp.Height)};
  if (state_.render[D3DRS_SCISSORTESTENABLE]) {
    area.left = std::max(area.left, state_.scissor.left);
    area.top = std::max(area.top, state_.scissor.top);
    area.right = std::min(area.right, state_.scissor.right);
    area.bottom = std::min(area.bottom, state_.scissor.bottom);
  }
  auto clear_rect = [&](RECT r) {
    r.left = std::max(r.left, area.left);
    r.top = std::max(r.top, area.top);
    r.right = std::min(r.right, area.right);
    r.bottom = std::min(r.bottom, area.bottom);
    if (flags & D3DCLEAR_TARGET) {
      RECT t = r;
      t.right = std::min(t.right, static_cast<LONG>(render_target_->Width()));
      t.bottom = std::min(t.bottom, static_cast<LONG>(render_target_->Height()));
      t.left = std::max<LONG>(t.left, 0);
      t.top = std::max<LONG>(t.top, 0);
      FillColour(render_target_.Get(), t, colour);
    }
    if (flags & (D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)) {
      RECT t = r;
      t.right = std::min(t.right, static_cast<LONG>(depth->Width()));
      t.bottom = std::min(t.bottom, static_cast<LONG>(depth->Height()));
      t.left = std::max<LONG>(t.left, 0);
      t.top = std::max<LONG>(t.top, 0);
      if (t.left < t.right && t.top < t.bottom) {
        FillDepth(depth, t, (flags & D3DCLEAR_ZBUFFER) != 0, std::clamp(z, 0.0f, 1.0f),
                  (flags & D3DCLEAR_STENCIL) != 0, stencil);
      }
    }
  };
  if (count == 0) {
    clear_rect(area);
  } else {
    for (DWORD i = 0; i < count; ++i)
      clear_rect(RECT{rects[i].x1, rects[i].y1, rects[i].x2, rects[i].y2});
  }
  return D3D_OK;
}

// ---------------------------------------------------------------------------------------------
// Drawing
// ---------------------------------------------------------------------------------------------

HRESULT IDirect3DDevice9::Draw(D3DPRIMITIVETYPE type, UINT primitive_count, const BYTE* data,
                               UINT stride, UINT available_bytes) {
  if (!in_scene_ || primitive_count == 0 || !data || stride == 0) return D3DERR_INVALIDCALL;
  UINT vertices;
  switch (type) {
    case D3DPT_POINTLIST:
      vertices = primitive_count;
      break;
    case D3DPT_LINELIST:
      vertices = primitive_count * 2;
      break;
    case D3DPT_LINESTRIP:
      vertices = primitive_count + 1;
      break;
    case D3DPT_TRIANGLELIST:
      vertices = primitive_count * 3;
      break;
    case D3DPT_TRIANGLESTRIP:
    case D3DPT_TRIANGLEFAN:
      vertices = primitive_count + 2;
      break;
    default:
      return D3DERR_INVALIDCALL;
  }
  if (primitive_count > kMaxPrimitiveCount) return D3DERR_INVALIDCALL;
  UINT size = FvfSize(state_.fvf);
  if (size == 0 || stride < size) return D3DERR_INVALIDCALL;
  std::uint64_t needed = static_cast<std::uint64_t>(vertices - 1) * stride + size;
  if (needed > available_bytes) return D3DERR_INVALIDCALL;
  if (!render_target_ || render_target_->Locked()) return D3DERR_INVALIDCALL;
  if (lost_) return D3D_OK;  // a lost device quietly draws nothing
  drawn_ = true;
  const PALETTEENTRY* palette =
      current_palette_ < palettes_.size() ? palettes_[current_palette_].data() : nullptr;
  if (!setup_cache_) setup_cache_.reset(new SetupCache);
  if (change_count_ != 0) {
    StateChanged();
    change_count_ = 0;
  }
  const bool textures_changed = textures_changed_;
  textures_changed_ = false;
  return DrawPrimitives(state_, state_generation_, bindings_, textures_changed, *setup_cache_,
                        render_target_.Get(), depth_stencil_.Get(), palette, type, primitive_count,
                        data, stride);
}

HRESULT IDirect3DDevice9::DrawPrimitive(D3DPRIMITIVETYPE type, UINT start_vertex,
                                        UINT primitive_count) {
  const StreamSource& s = state_.stream[0];
  if (!s.buffer || s.stride == 0) return D3DERR_INVALIDCALL;
  std::uint64_t start =
      static_cast<std::uint64_t>(s.offset) + static_cast<std::uint64_t>(start_vertex) * s.stride;
  if (start >= s.buffer->Length()) return D3DERR_INVALIDCALL;
  return Draw(type, primitive_count, s.buffer->Data() + start, s.stride,
              static_cast<UINT>(s.buffer->Length() - start));
}

HRESULT IDirect3DDevice9::DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitive_count,
                                          const void* data, UINT stride) {
  if (!data) return D3DERR_INVALIDCALL;
  // The vertices are read up to what the count needs; the caller vouches for that much.
  HRESULT hr = Draw(type, primitive_count, static_cast<const BYTE*>(data), stride, 0xFFFFFFFFu);
  // Drawing from user memory leaves stream 0 unset, as the platform does.
  state_.stream[0] = StreamSource{};
  return hr;
}

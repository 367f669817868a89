// The Direct3D object: the adapter survey (desktop mode, mode list, identifier, caps), format
// checks and device creation, with the test hooks that replace the survey.
#include <SDL.h>

#include <algorithm>
#include <cstring>
#include <optional>

#include "platform/d3d9/adapter.h"
#include "platform/d3d9/formats.h"
#include "platform/d3d9/raster.h"

using namespace d3d9_internal;

namespace {

struct Hooks {
  std::optional<AdapterInfo> adapter;
  HRESULT create_failure = D3D_OK;
  DWORD create_failure_mask = 0;
  bool texture_caps_set = false;
  DWORD texture_caps = 0, max_width = 0, max_height = 0;
};

Hooks& TheHooks() {
  static Hooks hooks;
  return hooks;
}

// The display formats an adapter lists modes in.
constexpr D3DFORMAT kModeFormats[] = {D3DFMT_X8R8G8B8, D3DFMT_R5G6B5, D3DFMT_X1R5G5B5};

bool IsDisplayFormat(D3DFORMAT f) {
  return f == D3DFMT_X8R8G8B8 || f == D3DFMT_R5G6B5 || f == D3DFMT_X1R5G5B5 ||
         f == D3DFMT_A2R10G10B10;
}

// The survey of the real desktop: the common modes up to its size plus its own mode, in each
// display format, at its refresh rate.
AdapterInfo SurveyDesktop() {
  AdapterInfo info;
  info.desktop = D3DDISPLAYMODE{1024, 768, 60, D3DFMT_X8R8G8B8};
  SDL_DisplayMode mode;
  if (SDL_WasInit(SDL_INIT_VIDEO) && SDL_GetDesktopDisplayMode(0, &mode) == 0 && mode.w > 0 &&
      mode.h > 0) {
    info.desktop.Width = static_cast<UINT>(mode.w);
    info.desktop.Height = static_cast<UINT>(mode.h);
    if (mode.refresh_rate > 0) info.desktop.RefreshRate = static_cast<UINT>(mode.refresh_rate);
  }
  static const UINT kCommon[][2] = {
      {640, 480},   {720, 480},   {800, 600},   {1024, 768},  {1152, 864},  {1280, 720},
      {1280, 768},  {1280, 800},  {1280, 960},  {1280, 1024}, {1360, 768},  {1366, 768},
      {1440, 900},  {1600, 900},  {1600, 1200}, {1680, 1050}, {1920, 1080}, {1920, 1200},
      {2560, 1440}, {2560, 1600}, {3840, 2160}};
  std::vector<std::pair<UINT, UINT>> sizes;
  for (const auto& s : kCommon) {
    if (s[0] <= info.desktop.Width && s[1] <= info.desktop.Height) sizes.emplace_back(s[0], s[1]);
  }
  sizes.emplace_back(info.desktop.Width, info.desktop.Height);
  std::sort(sizes.begin(), sizes.end());
  sizes.erase(std::unique(sizes.begin(), sizes.end()), sizes.end());
  for (D3DFORMAT f : kModeFormats) {
    for (auto [w, h] : sizes)
      info.modes.push_back(D3DDISPLAYMODE{w, h, info.desktop.RefreshRate, f});
  }
  return info;
}

}  // namespace

namespace d3d9_internal {

const AdapterInfo& Adapter() {
  Hooks& hooks = TheHooks();
  if (hooks.adapter) return *hooks.adapter;
  // Surveyed once; again if SDL's video has come up since a survey made without it.
  static std::optional<AdapterInfo> real;
  static bool with_video = false;
  bool video = SDL_WasInit(SDL_INIT_VIDEO) != 0;
  if (!real || (video && !with_video)) {
    real = SurveyDesktop();
    with_video = video;
  }
  return *real;
}

D3DCAPS9 Caps() {
  D3DCAPS9 c{};
  c.DeviceType = D3DDEVTYPE_HAL;
  c.AdapterOrdinal = 0;
  c.PresentationIntervals = D3DPRESENT_INTERVAL_ONE | D3DPRESENT_INTERVAL_IMMEDIATE;
  c.DevCaps = D3DDEVCAPS_HWTRANSFORMANDLIGHT;
  c.PrimitiveMiscCaps = D3DPMISCCAPS_CULLNONE | D3DPMISCCAPS_CULLCW | D3DPMISCCAPS_CULLCCW;
  c.RasterCaps = D3DPRASTERCAPS_ZTEST;
  c.ZCmpCaps = c.AlphaCmpCaps = 0xFF;
  c.SrcBlendCaps = c.DestBlendCaps = 0x3FFF;
  c.TextureCaps = D3DPTEXTURECAPS_PERSPECTIVE | D3DPTEXTURECAPS_ALPHA | D3DPTEXTURECAPS_MIPMAP;
  c.TextureFilterCaps = c.CubeTextureFilterCaps = c.StretchRectFilterCaps =
      D3DPTFILTERCAPS_MINFPOINT | D3DPTFILTERCAPS_MINFLINEAR | D3DPTFILTERCAPS_MIPFPOINT |
      D3DPTFILTERCAPS_MIPFLINEAR | D3DPTFILTERCAPS_MAGFPOINT | D3DPTFILTERCAPS_MAGFLINEAR;
  c.TextureAddressCaps = D3DPTADDRESSCAPS_WRAP | D3DPTADDRESSCAPS_MIRROR | D3DPTADDRESSCAPS_CLAMP;
  c.MaxTextureWidth = c.MaxTextureHeight = 4096;
  c.MaxTextureRepeat = 8192;
  c.MaxTextureAspectRatio = 4096;
  c.MaxAnisotropy = 1;
  c.MaxVertexW = 1e10f;
  c.GuardBandLeft = c.GuardBandTop = -16384.0f;
  c.GuardBandRight = c.GuardBandBottom = 16384.0f;
  c.FVFCaps = 8;
  c.TextureOpCaps = 0x3FFF;
  c.MaxTextureBlendStages = c.MaxSimultaneousTextures = 8;
  c.MaxActiveLights = 8;
  c.MaxPointSize = 1.0f;
  c.MaxPrimitiveCount = 0xFFFFF;
  c.MaxVertexIndex = 0xFFFFFF;
  c.MaxStreams = 4;
  c.MaxStreamStride = 255;
  c.NumSimultaneousRTs = 1;
  const Hooks& hooks = TheHooks();
  if (hooks.texture_caps_set) {
    c.TextureCaps = hooks.texture_caps;
    c.MaxTextureWidth = hooks.max_width;
    c.MaxTextureHeight = hooks.max_height;
  }
  return c;
}

HRESULT ForcedCreateFailure(DWORD behaviour_flags) {
  const Hooks& hooks = TheHooks();
  if (hooks.create_failure == D3D_OK) return D3D_OK;
  if (hooks.create_failure_mask == 0 || (behaviour_flags & hooks.create_failure_mask) != 0) {
    return hooks.create_failure;
  }
  return D3D_OK;
}

}  // namespace d3d9_internal

// ---------------------------------------------------------------------------------------------

IDirect3D9* Direct3DCreate9(UINT sdk_version) {
  if (sdk_version != D3D_SDK_VERSION) return nullptr;
  return new (std::nothrow) IDirect3D9();
}

IDirect3D9::IDirect3D9() {
  // The desktop's size comes from SDL's video subsystem; without it the survey falls back to a
  // 1024 by 768 desktop.
  sdl_video_ = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
}

IDirect3D9::~IDirect3D9() {
  if (sdl_video_) SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

HRESULT IDirect3D9::GetAdapterIdentifier(UINT adapter, DWORD flags,
                                         D3DADAPTER_IDENTIFIER9* identifier) {
  if (adapter != 0 || !identifier) return D3DERR_INVALIDCALL;
  *identifier = D3DADAPTER_IDENTIFIER9{};
  std::strcpy(identifier->Driver, "tessark_sw.dll");
  std::strcpy(identifier->Description, "Tessark Software Rasteriser");
  std::strcpy(identifier->DeviceName, "\\\\.\\DISPLAY1");
  identifier->DriverVersion.QuadPart = 0x0009000000000001LL;
  identifier->VendorId = 0x1414;
  identifier->DeviceId = 0x008C;
  return D3D_OK;
}

UINT IDirect3D9::GetAdapterModeCount(UINT adapter, D3DFORMAT format) {
  if (adapter != 0) return 0;
  const auto& modes = Adapter().modes;
  return static_cast<UINT>(std::count_if(
      modes.begin(), modes.end(), [&](const D3DDISPLAYMODE& m) { return m.Format == format; }));
}

HRESULT IDirect3D9::EnumAdapterModes(UINT adapter, D3DFORMAT format, UINT mode,
                                     D3DDISPLAYMODE* out) {
  if (adapter != 0 || !out) return D3DERR_INVALIDCALL;
  UINT seen = 0;
  for (const D3DDISPLAYMODE& m : Adapter().modes) {
    if (m.Format != format) continue;
    if (seen++ == mode) {
      *out = m;
      return D3D_OK;
    }
  }
  return D3DERR_INVALIDCALL;
}

HRESULT IDirect3D9::GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) {
  if (adapter != 0 || !mode) return D3DERR_INVALIDCALL;
  *mode = Adapter().desktop;
  return D3D_OK;
}

HRESULT IDirect3D9::CheckDeviceType(UINT adapter, D3DDEVTYPE type, D3DFORMAT display_format,
                                    D3DFORMAT back_buffer_format, BOOL windowed) {
  if (adapter != 0 || (type != D3DDEVTYPE_HAL && type != D3DDEVTYPE_REF)) return D3DERR_INVALIDCALL;
  if (!IsDisplayFormat(display_format)) return D3DERR_NOTAVAILABLE;
  if (back_buffer_format != D3DFMT_UNKNOWN && !IsRenderTargetFormat(back_buffer_format)) {
    return D3DERR_NOTAVAILABLE;
  }
  return D3D_OK;
}

HRESULT IDirect3D9::CheckDeviceFormat(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapter_format,
                                      DWORD usage, D3DRESOURCETYPE resource_type,
                                      D3DFORMAT check_format) {
  if (adapter != 0 || (type != D3DDEVTYPE_HAL && type != D3DDEVTYPE_REF)) return D3DERR_INVALIDCALL;
  if (!IsDisplayFormat(adapter_format)) return D3DERR_INVALIDCALL;
  if (usage & D3DUSAGE_DEPTHSTENCIL) {
    bool kind = resource_type == D3DRTYPE_SURFACE;
    return kind && IsDepthFormat(check_format) ? D3D_OK : D3DERR_NOTAVAILABLE;
  }
  if (usage & D3DUSAGE_RENDERTARGET) {
    bool kind = resource_type == D3DRTYPE_SURFACE || resource_type == D3DRTYPE_TEXTURE ||
                resource_type == D3DRTYPE_CUBETEXTURE;
    return kind && IsRenderTargetFormat(check_format) ? D3D_OK : D3DERR_NOTAVAILABLE;
  }
  switch (resource_type) {
    case D3DRTYPE_SURFACE:
    case D3DRTYPE_TEXTURE:
    case D3DRTYPE_CUBETEXTURE:
      return IsTextureFormat(check_format) ? D3D_OK : D3DERR_NOTAVAILABLE;
    case D3DRTYPE_VERTEXBUFFER:
      return check_format == D3DFMT_VERTEXDATA ? D3D_OK : D3DERR_NOTAVAILABLE;
    default:
      return D3DERR_NOTAVAILABLE;
  }
}

HRESULT IDirect3D9::CheckDepthStencilMatch(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapter_format,
                                           D3DFORMAT render_target_format, D3DFORMAT depth_format) {
  if (adapter != 0 || (type != D3DDEVTYPE_HAL && type != D3DDEVTYPE_REF)) return D3DERR_INVALIDCALL;
  if (!IsRenderTargetFormat(render_target_format) || !IsDepthFormat(depth_format)) {
    return D3DERR_NOTAVAILABLE;
  }
  return D3D_OK;
}

HRESULT IDirect3D9::CheckDeviceMultiSampleType(UINT adapter, D3DDEVTYPE type, D3DFORMAT format,
                                               BOOL windowed, D3DMULTISAMPLE_TYPE samples,
                                               DWORD* quality) {
  if (adapter != 0) return D3DERR_INVALIDCALL;
  if (quality) *quality = 1;
  return samples == D3DMULTISAMPLE_NONE ? D3D_OK : D3DERR_NOTAVAILABLE;
}

HRESULT IDirect3D9::GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS9* caps) {
  if (adapter != 0 || !caps || (type != D3DDEVTYPE_HAL && type != D3DDEVTYPE_REF)) {
    return D3DERR_INVALIDCALL;
  }
  *caps = Caps();
  caps->DeviceType = type;
  return D3D_OK;
}

HRESULT IDirect3D9::CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focus_window,
                                 DWORD behaviour_flags, D3DPRESENT_PARAMETERS* parameters,
                                 IDirect3DDevice9** device) {
  if (!device) return D3DERR_INVALIDCALL;
  *device = nullptr;
  if (adapter != 0 || !parameters || (type != D3DDEVTYPE_HAL && type != D3DDEVTYPE_REF)) {
    return D3DERR_INVALIDCALL;
  }
  DWORD vp =
      behaviour_flags & (D3DCREATE_SOFTWARE_VERTEXPROCESSING | D3DCREATE_HARDWARE_VERTEXPROCESSING |
                         D3DCREATE_MIXED_VERTEXPROCESSING);
  if (vp != D3DCREATE_SOFTWARE_VERTEXPROCESSING && vp != D3DCREATE_HARDWARE_VERTEXPROCESSING &&
      vp != D3DCREATE_MIXED_VERTEXPROCESSING) {
    return D3DERR_INVALIDCALL;
  }
  if (HRESULT forced = ForcedCreateFailure(behaviour_flags); forced != D3D_OK) return forced;
  auto* d = new (std::nothrow) IDirect3DDevice9(this, focus_window, behaviour_flags, *parameters);
  if (!d) return D3DERR_OUTOFVIDEOMEMORY;
  HRESULT hr = d->Initialise();
  if (FAILED(hr)) {
    d->Release();
    return hr;
  }
  *device = d;
  return D3D_OK;
}

// ---------------------------------------------------------------------------------------------

namespace d3d9::testing {

void SetAdapterModes(const std::vector<D3DDISPLAYMODE>& modes, const D3DDISPLAYMODE& desktop) {
  TheHooks().adapter = AdapterInfo{desktop, modes};
}

void RestoreAdapterModes() {
  TheHooks().adapter.reset();
}

void FailCreateDevice(HRESULT result, DWORD mask) {
  TheHooks().create_failure = result;
  TheHooks().create_failure_mask = mask;
}

void SetTextureCaps(DWORD texture_caps, DWORD max_width, DWORD max_height) {
  Hooks& h = TheHooks();
  h.texture_caps_set = true;
  h.texture_caps = texture_caps;
  h.max_width = max_width;
  h.max_height = max_height;
}

void UseWideSpans(bool on) {
  d3d9_internal::WideSpansAllowed() = on;
}

void RestoreAll() {
  TheHooks() = Hooks{};
  d3d9_internal::WideSpansAllowed() = true;
  AutoPresentPath();
}

void LoseDevice(IDirect3DDevice9* device, bool can_reset) {
  if (device) device->SetLost(true, can_reset);
}

}  // namespace d3d9::testing

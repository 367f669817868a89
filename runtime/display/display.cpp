// The display module: the Direct3D object and the one device every module draws on, the
// adapter survey with its collapsed mode list, the set-up of the back buffer from a size, depth
// and windowed choice, the render surfaces bound into CoreData, scenes and present with
// lost-device recovery, and the RefreshD3D broadcast around every replacement of the device.
#include <cstdio>
#include <cstring>

#include "runtime/core/errors.h"
#include "runtime/core/module_table.h"
#include "runtime/display/display_state.h"
#include "tessark/errors.h"

namespace tessark::display {

using namespace win32;

namespace {

constexpr UINT kSpifSendChange = 0x0002;

// The mode-list formats, in survey order.
constexpr D3DFORMAT kSurveyFormats[] = {D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8, D3DFMT_X1R5G5B5,
                                        D3DFMT_A1R5G5B5, D3DFMT_R5G6B5,   D3DFMT_A2R10G10B10};

// The depth-stencil candidates, in the order they are tried: D24S8, a run of colour formats
// that never qualify, then D16_LOCKABLE, D32, D15S1, D16, D24X8 and D24X4S4.
constexpr DWORD kDepthCandidates[] = {75, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 40, 41,
                                      50, 51, 52, 60, 61, 62, 63, 64, 70, 71, 73, 80, 77, 79};

void Notice(const char* text) {
  RuntimeNotice(text);
}

}  // namespace

DisplayState& State() {
  static DisplayState state;
  return state;
}

// ---------------------------------------------------------------------------------------------
// Module entries
// ---------------------------------------------------------------------------------------------

bool Constructor() {
  DisplayState& s = State();
  s = DisplayState{};
  s.d3d = Ref<IDirect3D9>::Adopt(Direct3DCreate9(D3D_SDK_VERSION));
  if (!s.d3d) {
    // Nothing that needs the object can go on; the caller sees the refusal and stops.
    Notice("Unable to create Direct3D interface");
    return false;
  }
  s.adapters.resize(s.d3d->GetAdapterCount());
  s.focus = GetForegroundWindow();
  s.gamma_red = s.gamma_green = s.gamma_blue = 255;
  FindHardWareInfo();
  if (!s.adapters.empty()) s.adapter_name = s.adapters[0].name;
  WindowSettingsDefaults();
  s.d3d->GetAdapterDisplayMode(0, &s.desktop);
  // The screen saver stays off while the runtime runs; the destructor switches it back on.
  SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, 0, nullptr, kSpifSendChange);
  s.screen_saver_switched = true;
  return true;
}

void PassCoreData(CoreData* core, std::int32_t stage) {
  DisplayState& s = State();
  s.core = core;
  if (!core) return;
  if (stage == 0) {
    ExternalSettingsRead();
    return;
  }
  DisplayClear(0, 0, 0);
  RenderTargetsBind();
}

void SetErrorHandler(std::int32_t* error_word) {
  ErrorWordSet(error_word);
}

void Destructor() {
  DisplayState& s = State();
  RenderTargetsRelease();
  s.have_parameters = false;
  s.device.Reset();
  s.d3d.Reset();
  s.adapters.clear();
  if (s.screen_saver_switched) {
    SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, 1, nullptr, kSpifSendChange);
  }
  s = DisplayState{};
}

void OverrideHWND(HWND window) {
  if (!window) Notice("Invalid window handle passed to OverrideHWND");
  State().focus = window;
}

IDirect3DDevice9* DisplayDevice() {
  return State().device.Get();
}

// ---------------------------------------------------------------------------------------------
// Survey
// ---------------------------------------------------------------------------------------------

void FindHardWareInfo() {
  DisplayState& s = State();
  if (!s.d3d) {
    Notice("Invalid D3D device for FindHardWareInfo");
    return;
  }
  for (UINT a = 0; a < s.adapters.size(); ++a) {
    AdapterRecord& r = s.adapters[a];
    if (FAILED(s.d3d->GetAdapterDisplayMode(a, &r.current_mode))) {
      Notice("Failed to get adapter display mode");
    }
    if (FAILED(s.d3d->GetDeviceCaps(a, D3DDEVTYPE_HAL, &r.capabilities))) {
      Notice("Failed to get device caps");
    }
    if (FAILED(s.d3d->GetAdapterIdentifier(a, 0, &r.identifier))) {
      Notice("Failed to get adapter identifier");
    }
    std::memset(r.name, 0, sizeof(r.name));
    std::memcpy(r.name, r.identifier.Description, sizeof(r.name) - 1);
    UINT total = 0;
    for (D3DFORMAT f : kSurveyFormats) total += s.d3d->GetAdapterModeCount(a, f);
    r.modes.assign(total, DisplayModeEntry{});
    // Runs of one size and depth that differ only in refresh rate collapse into one entry
    // holding the last of them: a mode overwrites the entry before it when they match.
    UINT next = 0;
    for (D3DFORMAT f : kSurveyFormats) {
      UINT count = s.d3d->GetAdapterModeCount(a, f);
      bool have_previous = false;
      for (UINT m = 0; m < count && next < total; ++m) {
        D3DDISPLAYMODE mode;
        if (FAILED(s.d3d->EnumAdapterModes(a, f, m, &mode))) {
          Notice("Failed to enumerate adapter display modes");
          continue;
        }
        DisplayModeEntry entry{mode.Width, mode.Height, mode.RefreshRate, mode.Format};
        if (have_previous) {
          const DisplayModeEntry& prev = r.modes[next - 1];
          if (prev.width == entry.width && prev.height == entry.height &&
              FormatDepth(prev.format) == FormatDepth(entry.format)) {
            r.modes[next - 1] = entry;
            continue;
          }
        }
        r.modes[next++] = entry;
        have_previous = true;
      }
    }
    r.modes.resize(next);
  }
}

D3DFORMAT ModeFormatFind(std::int32_t width, std::int32_t height, std::int32_t depth) {
  DisplayState& s = State();
  D3DFORMAT found = D3DFMT_R8G8B8;
  if (s.adapters.empty()) return found;
  for (const DisplayModeEntry& m : s.adapters[0].modes) {
    if (static_cast<std::int32_t>(m.width) == width &&
        static_cast<std::int32_t>(m.height) == height && FormatDepth(m.format) == depth) {
      found = m.format;
    }
  }
  return found;
}

std::uint32_t DepthFormatFor(std::uint32_t back_buffer_format) {
  DisplayState& s = State();
  if (!s.d3d) return D3DFMT_UNKNOWN;
  const auto back = static_cast<D3DFORMAT>(back_buffer_format);
  for (DWORD candidate : kDepthCandidates) {
    auto f = static_cast<D3DFORMAT>(candidate);
    if (SUCCEEDED(s.d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, back, D3DUSAGE_DEPTHSTENCIL,
                                           D3DRTYPE_SURFACE, f)) &&
        SUCCEEDED(s.d3d->CheckDepthStencilMatch(0, D3DDEVTYPE_HAL, back, back, f))) {
      return f;
    }
  }
  return D3DFMT_UNKNOWN;
}

void DepthFormatFind() {
  DisplayState& s = State();
  const auto found = static_cast<D3DFORMAT>(DepthFormatFor(s.parameters.BackBufferFormat));
  if (found != D3DFMT_UNKNOWN) s.depth_format = found;
}

// ---------------------------------------------------------------------------------------------
// Set-up
// ---------------------------------------------------------------------------------------------

namespace {

// Creates the device for the focus window, falling back to software vertex processing.
bool DeviceCreate() {
  DisplayState& s = State();
  if (s.device) {
    SceneEnd();
    s.device.Reset();
  }
  s.parameters.hDeviceWindow = s.focus;
  if (s.core) s.core->software_vertex_processing = 0;
  HRESULT hr =
      s.d3d->CreateDevice(0, D3DDEVTYPE_HAL, s.focus, s.behaviour, &s.parameters, s.device.Put());
  if (FAILED(hr)) {
    hr = s.d3d->CreateDevice(0, D3DDEVTYPE_HAL, s.focus, D3DCREATE_SOFTWARE_VERTEXPROCESSING,
                             &s.parameters, s.device.Put());
    if (FAILED(hr)) {
      Notice("Unable to create device");
      if (hr == D3DERR_INVALIDCALL) RuntimeError(error::kDisplayDeviceFailed);
      if (hr == D3DERR_NOTAVAILABLE) RuntimeError(error::kDisplayDeviceNotAvailable);
      if (hr == D3DERR_OUTOFVIDEOMEMORY) RuntimeError(error::kDisplayOutOfVideoMemory);
      return false;
    }
    if (s.core) s.core->software_vertex_processing = 1;
  }
  IDirect3DDevice9* d = s.device.Get();
  d->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
  d->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
  d->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_LINEAR);
  d->SetRenderState(D3DRS_DITHERENABLE, TRUE);
  d->SetRenderState(D3DRS_ZENABLE, TRUE);
  d->SetRenderState(D3DRS_SHADEMODE, D3DSHADE_GOURAUD);
  d->SetRenderState(D3DRS_SPECULARENABLE, FALSE);
  d->SetRenderState(D3DRS_LIGHTING, TRUE);
  d->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  d->SetRenderState(D3DRS_AMBIENT, 0xFF323232);
  if (!s.core || !s.core->parent_window) DisplayClear(0, 0, 0);
  return true;
}

bool Setup() {
  DisplayState& s = State();
  if (!s.d3d) {
    Notice("Invalid D3D pointer for Setup ( )");
    RuntimeError(error::kDisplayInterfaceMissing);
    return false;
  }
  s.swap_effect = D3DSWAPEFFECT_COPY;
  s.auto_depth_stencil = true;
  s.parameters = D3DPRESENT_PARAMETERS{};
  s.have_parameters = true;
  D3DPRESENT_PARAMETERS& p = s.parameters;
  p.BackBufferWidth = static_cast<UINT>(s.width);
  p.BackBufferHeight = static_cast<UINT>(s.height);
  p.BackBufferCount = 1;
  p.MultiSampleType = D3DMULTISAMPLE_NONE;
  p.SwapEffect = D3DSWAPEFFECT_COPY;
  p.EnableAutoDepthStencil = TRUE;
  p.Flags = s.lockable ? D3DPRESENTFLAG_LOCKABLE_BACKBUFFER : 0;
  p.FullScreen_RefreshRateInHz = 0;
  if (!s.windowed) {
    p.BackBufferFormat = ModeFormatFind(s.width, s.height, s.depth);
    DepthFormatFind();
    p.Windowed = FALSE;
  } else {
    p.BackBufferFormat = s.desktop.Format;
    p.Windowed = TRUE;
    D3DFORMAT before = s.depth_format;
    s.depth_format = D3DFMT_UNKNOWN;
    DepthFormatFind();
    if (s.depth_format == D3DFMT_UNKNOWN) {
      Notice("Failed to find valid stencil buffer");
      s.depth_format = before;
    }
  }
  p.AutoDepthStencilFormat = s.depth_format;
  p.PresentationInterval =
      s.present_with_retrace ? D3DPRESENT_INTERVAL_ONE : D3DPRESENT_INTERVAL_IMMEDIATE;
  if (!DeviceCreate()) return false;
  if (!s.device) {
    RuntimeError(error::kDisplayDeviceFailed);
    return false;
  }
  return true;
}

}  // namespace

bool DisplayConfigure(std::int32_t width, std::int32_t height, std::int32_t depth,
                      std::int32_t windowed, std::int32_t vertex_processing,
                      std::int32_t lockable) {
  DisplayState& s = State();
  if (width <= 0 || height <= 0) {
    Notice("Invalid display resolution");
    RuntimeError(error::kDisplaySizeInvalid);
    return false;
  }
  if (depth == 0) {
    D3DDISPLAYMODE mode{};
    if (s.d3d) s.d3d->GetAdapterDisplayMode(0, &mode);
    depth = FormatDepth(mode.Format);
    if (s.core) s.core->display_depth = depth;
  }
  if (depth == 24) {
    Notice("Invalid bit depth specified");
    RuntimeError(error::kDisplayDepth24Unsupported);
    return false;
  }
  if (depth != 16 && depth != 32) {
    Notice("Invalid bit depth specified");
    RuntimeError(error::kDisplayDepthInvalid);
    return false;
  }
  if (windowed != 0 && windowed != 1) {
    Notice("Invalid display mode specified");
    RuntimeError(error::kDisplayWindowedFlagInvalid);
    return false;
  }
  // The exact size in this depth, or else the first larger one in list order.
  const DisplayModeEntry* chosen = nullptr;
  if (!s.adapters.empty()) {
    for (const DisplayModeEntry& m : s.adapters[0].modes) {
      if (static_cast<std::int32_t>(m.width) == width &&
          static_cast<std::int32_t>(m.height) == height && FormatDepth(m.format) == depth) {
        chosen = &m;
        break;
      }
    }
    if (!chosen) {
      for (const DisplayModeEntry& m : s.adapters[0].modes) {
        if (static_cast<std::int32_t>(m.width) > width &&
            static_cast<std::int32_t>(m.height) > height && FormatDepth(m.format) == depth) {
          chosen = &m;
          break;
        }
      }
    }
  }
  if (!chosen) {
    Notice("Display mode not supported");
    RuntimeError(depth == 16 ? error::kDisplayMode16Unsupported : error::kDisplayMode32Unsupported);
    return false;
  }
  std::int32_t chosen_width = static_cast<std::int32_t>(chosen->width);
  std::int32_t chosen_height = static_cast<std::int32_t>(chosen->height);
  DWORD vp;
  switch (vertex_processing) {
    case 0:
      vp = D3DCREATE_HARDWARE_VERTEXPROCESSING;
      break;
    case 1:
    case 2:
      vp = D3DCREATE_SOFTWARE_VERTEXPROCESSING;
      break;
    case 32:
    case 64:
      vp = static_cast<DWORD>(vertex_processing);
      break;
    default:
      Notice("Unknown vertex processing mode");
      RuntimeError(error::kDisplayVertexProcessingInvalid);
      return false;
  }
  if (lockable != 0 && lockable != 1) {
    Notice("Invalid lockable flag");
    RuntimeError(error::kDisplayLockableFlagInvalid);
    return false;
  }
  s.offset_width = chosen_width - width;
  s.offset_height = chosen_height - height;
  s.width = chosen_width;
  s.height = chosen_height;
  s.depth = depth;
  s.windowed = windowed;
  s.back_buffer_count = 1;
  s.behaviour = vp | D3DCREATE_MULTITHREADED;
  s.lockable = lockable;
  s.have_parameters = false;
  if (!Setup()) {
    Notice("Unable to setup 3D device");
    return false;
  }
  WindowFit();
  SceneBegin();
  if (s.first_setup_done && s.core && s.core->parent_window) {
    SendMessageA(s.core->parent_window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("EMBEDME"));
  }
  s.first_setup_done = true;
  return true;
}

void DisplayReset(std::int32_t width, std::int32_t height, std::int32_t depth) {
  DisplayState& s = State();
  RefreshBroadcast(0);
  if (s.core) {
    s.core->window_width = s.core->display_width = width;
    s.core->window_height = s.core->display_height = height;
    s.core->display_depth = depth;
  }
  s.width = width;
  s.height = height;
  if (DisplayConfigure(width, height, depth, s.windowed, 64, 1)) {
    RefreshBroadcast(1);
    if (!s.core || !s.core->parent_window) DisplayClear(0, 0, 0);
  }
}

void WindowedReset() {
  DisplayState& s = State();
  if (!s.have_parameters || !s.device || s.parameters.Windowed) return;
  s.parameters.Windowed = TRUE;
  s.parameters.BackBufferFormat = s.desktop.Format;
  RenderTargetsRelease();
  SceneEnd();
  s.device->Reset(&s.parameters);
  s.windowed = 1;
  RenderTargetsBind();
}

// ---------------------------------------------------------------------------------------------
// Render surfaces and the refresh broadcast
// ---------------------------------------------------------------------------------------------

void RenderTargetsBind() {
  DisplayState& s = State();
  CoreData* core = s.core;
  if (!core || !s.device) return;
  if (core->back_buffer_surface) core->back_buffer_surface->Release();
  if (core->depth_surface) core->depth_surface->Release();
  core->back_buffer_surface = nullptr;
  core->depth_surface = nullptr;
  s.device->GetRenderTarget(0, &core->back_buffer_surface);
  s.device->GetDepthStencilSurface(&core->depth_surface);
  if (core->back_buffer_surface) s.device->SetRenderTarget(0, core->back_buffer_surface);
  s.device->SetDepthStencilSurface(core->depth_surface);
  core->render_surface = core->back_buffer_surface;
  core->draw_target = 0;
}

void RenderTargetsRelease() {
  CoreData* core = State().core;
  if (!core) return;
  // The render surface only names one of the held surfaces (or a bitmap's); it must not
  // outlive them.
  if (core->render_surface == core->back_buffer_surface) core->render_surface = nullptr;
  if (core->back_buffer_surface) core->back_buffer_surface->Release();
  if (core->depth_surface) core->depth_surface->Release();
  core->back_buffer_surface = nullptr;
  core->depth_surface = nullptr;
}

void RefreshBroadcast(std::int32_t stage) {
  if (stage == 0) {
    RenderTargetsRelease();
  } else {
    RenderTargetsBind();
  }
  ModuleTable& m = Modules();
  // The fixed order; the modules this runtime does not build have empty slots.
  for (ModuleEntries* e : {&m.text, &m.basic2d, &m.sprite, &m.image, &m.input, &m.system, &m.bitmap,
                           &m.sound, &m.music}) {
    CallIf(e->RefreshD3D, stage);
  }
}

// ---------------------------------------------------------------------------------------------
// Scenes, clearing and present
// ---------------------------------------------------------------------------------------------

void SceneBegin() {
  DisplayState& s = State();
  s.frame_marked = true;
  if (s.device && SUCCEEDED(s.device->BeginScene())) s.in_scene = true;
}

void SceneEnd() {
  DisplayState& s = State();
  if (s.device && s.in_scene) {
    s.device->EndScene();
    s.in_scene = false;
  }
}

void DisplayClear(std::int32_t red, std::int32_t green, std::int32_t blue) {
  DisplayState& s = State();
  if (!s.device) return;
  D3DCOLOR colour = 0xFF000000u | static_cast<D3DCOLOR>(red & 0xFF) << 16 |
                    static_cast<D3DCOLOR>(green & 0xFF) << 8 | static_cast<D3DCOLOR>(blue & 0xFF);
  DWORD flags = D3DCLEAR_TARGET | (s.auto_depth_stencil ? D3DCLEAR_ZBUFFER : 0);
  s.device->Clear(0, nullptr, flags, colour, 1.0f, 0);
}

namespace {

void DeviceLostCheck() {
  DisplayState& s = State();
  HRESULT hr = s.device->TestCooperativeLevel();
  if (hr == D3DERR_DEVICENOTRESET && s.core) {
    DisplayReset(s.core->display_width, s.core->display_height, s.core->display_depth);
  }
}

}  // namespace

void DisplayPresent() {
  DisplayState& s = State();
  if (!s.device) return;
  CoreData* core = s.core;
  std::int32_t display_width = core && core->display_width > 0 ? core->display_width : s.width;
  std::int32_t display_height = core && core->display_height > 0 ? core->display_height : s.height;
  RECT client{};
  if (s.focus) GetClientRect(s.focus, &client);
  float sx = static_cast<float>(client.right - client.left) / static_cast<float>(display_width);
  float sy = static_cast<float>(client.bottom - client.top) / static_cast<float>(display_height);
  HRESULT hr;
  if (core && core->present_rect_count != 0 && core->present_rects) {
    hr = D3D_OK;
    for (std::uint32_t i = 0; i < core->present_rect_count; ++i) {
      const RECT& r = core->present_rects[i];
      RECT dest{static_cast<LONG>(r.left * sx), static_cast<LONG>(r.top * sy),
                static_cast<LONG>(r.right * sx), static_cast<LONG>(r.bottom * sy)};
      hr = s.device->Present(&r, &dest, nullptr, nullptr);
    }
  } else if (core && core->present_source.right != 0) {
    hr = s.device->Present(&core->present_source, nullptr, nullptr, nullptr);
  } else if (s.offset_width == 0 && s.offset_height == 0) {
    hr = s.device->Present(nullptr, nullptr, nullptr, nullptr);
  } else {
    // Only the asked-for part of a larger back buffer is shown.
    RECT source{0, 0, display_width, display_height};
    hr = s.device->Present(&source, nullptr, nullptr, nullptr);
  }
  if (hr == D3DERR_DEVICELOST) DeviceLostCheck();
}

// ---------------------------------------------------------------------------------------------

void Wire(ModuleTable& table) {
  DisplayEntries& d = table.display;
  d.Constructor = Constructor;
  d.PassCoreData = PassCoreData;
  d.SetErrorHandler = SetErrorHandler;
  d.Destructor = Destructor;
  d.DisplayConfigure = DisplayConfigure;
  d.SceneBegin = SceneBegin;
  d.SceneEnd = SceneEnd;
  d.DisplayPresent = DisplayPresent;
  d.OverrideHWND = OverrideHWND;
  d.DisplayClear = DisplayClear;
  d.WindowedReset = WindowedReset;
  d.DisplayDevice = DisplayDevice;
  d.DepthFormatFor = DepthFormatFor;
}

}  // namespace tessark::display

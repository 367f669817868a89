// The display module's state and its operations for the core and the other modules: the
// Direct3D object and device, the adapter survey, the set-up of the back buffer, scenes and
// present with lost-device recovery, and the window settings of the display and window modes.
// Depends on platform/d3d9, platform/win32 and the core.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/d3d9/d3d9.h"
#include "platform/d3d9/formats.h"
#include "platform/win32/user.h"
#include "runtime/core/core_data.h"

namespace tessark::display {

struct DisplayModeEntry {
  UINT width, height, refresh;
  D3DFORMAT format;
};

struct AdapterRecord {
  char name[256];
  D3DCAPS9 capabilities;
  D3DADAPTER_IDENTIFIER9 identifier;
  D3DDISPLAYMODE current_mode;
  std::vector<DisplayModeEntry> modes;
};

struct DisplayState {
  Ref<IDirect3D9> d3d;
  Ref<IDirect3DDevice9> device;
  std::vector<AdapterRecord> adapters;
  std::string adapter_name;
  D3DDISPLAYMODE desktop{};
  HWND focus = nullptr;
  bool in_scene = false;
  std::int32_t windowed = 1;
  std::int32_t width = 0, height = 0, depth = 0;  // the back buffer of the current set-up
  D3DFORMAT depth_format = D3DFMT_UNKNOWN;
  DWORD behaviour = 0;
  std::int32_t lockable = 0;
  std::int32_t back_buffer_count = 1;
  DWORD swap_effect = D3DSWAPEFFECT_COPY;
  bool auto_depth_stencil = true;
  bool present_with_retrace = true;
  std::int32_t offset_width = 0, offset_height = 0;
  bool first_setup_done = false;
  bool have_parameters = false;
  D3DPRESENT_PARAMETERS parameters{};

  // Window settings.
  std::int32_t window_width = 0, window_height = 0;
  std::int32_t frame_extra_width = 0, frame_extra_height = 0;
  bool frame_extra_measured = false;
  std::int32_t applied_extra_width = 0, applied_extra_height = 0;
  DWORD window_style = WS_OVERLAPPEDWINDOW;
  int show_command = SW_SHOWDEFAULT;
  std::string title;
  LONG_PTR class_icon = 0;  // taken at set-up
  LONG_PTR window_icon = 0;
  std::int32_t gamma_red = 255, gamma_green = 255, gamma_blue = 255;
  std::string external_main, external_child;

  // Frames per second.
  bool frame_marked = false;
  std::uint32_t frames_counted = 0;
  double last_measurement = -1.0;
  float fps_reading = 0.0f;

  CoreData* core = nullptr;
  bool screen_saver_switched = false;
};

DisplayState& State();

// Operations for the core and the other modules.
bool Constructor();
void PassCoreData(CoreData* core, std::int32_t stage);
void SetErrorHandler(std::int32_t* error_word);
void Destructor();
void OverrideHWND(HWND window);
IDirect3DDevice9* DisplayDevice();
bool DisplayConfigure(std::int32_t width, std::int32_t height, std::int32_t depth,
                      std::int32_t windowed, std::int32_t vertex_processing, std::int32_t lockable);
void DisplayReset(std::int32_t width, std::int32_t height, std::int32_t depth);
void SceneBegin();
void SceneEnd();
void DisplayPresent();
void DisplayClear(std::int32_t red, std::int32_t green, std::int32_t blue);
void FindHardWareInfo();
void WindowedReset();
void RenderTargetsBind();
void RenderTargetsRelease();
void RefreshBroadcast(std::int32_t stage);
D3DFORMAT ModeFormatFind(std::int32_t width, std::int32_t height, std::int32_t depth);
void DepthFormatFind();
// The first of the depth-stencil candidates the adapter accepts with a back buffer of that
// format (D3DFMT_UNKNOWN for none); the bitmap module makes its depth surfaces with it too.
std::uint32_t DepthFormatFor(std::uint32_t back_buffer_format);

// Bits per pixel of a format as the runtime reports them.
using d3d9_internal::FormatDepth;

// Window fitting and settings (window_modes.cpp).
void WindowFit();
void WindowApply(bool apply_all, bool redraw_everything);
void ExternalSettingsRead();
void WindowSettingsDefaults();

}  // namespace tessark::display

// CoreData: the one record through which the core and every module share state. There is
// exactly one, owned by the core for the life of the process; RuntimeWire zeroes it and sets
// its defaults, RuntimeOpen fills the window, display and service fields, and each module keeps
// its address from PassCoreData. Modules read and write the fields directly, on the one thread.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/win32/win_types.h"

class IDirect3DSurface9;

namespace tessark {

// The core services modules call back into.
using TextAllocFn = void (*)(char** text, std::int32_t size);
using MessagePumpFn = std::int32_t (*)();
using PrintDispatchFn = void (*)(const char* text, std::int32_t new_line);
using MediaPathResolveFn = void (*)(char* name, std::size_t capacity);
using MediaScrambleFn = void (*)(const char* name);
using CursorSelectFn = void (*)(std::int32_t index);

// One entry of the check list: a text with its buffer size and eight numbers.
struct CheckListEntry {
  std::int32_t text_size;
  char* text;
  std::int32_t values[8];
};

// Present flags, one byte per module in construction order.
enum ModuleIndex : int {
  kModuleDisplay,
  kModuleBasic2d,
  kModuleText,
  kModuleImage,
  kModuleSprite,
  kModuleInput,
  kModuleSystem,
  kModuleSound,
  kModuleMusic,
  kModuleFile,
  kModuleFtp,
  kModuleMemblock,
  kModuleBitmap,
  kModuleCount
};

constexpr int kMediaRootSize = 261;

struct CoreData {
  // Core services, filled by RuntimeOpen before the modules are constructed.
  TextAllocFn TextAlloc;
  MessagePumpFn MessagePump;
  PrintDispatchFn PrintDispatch;
  MediaPathResolveFn MediaPathResolve;
  MediaScrambleFn MediaUnscramble;
  MediaScrambleFn MediaRescramble;
  CursorSelectFn CursorSelect;

  // Links.
  std::int32_t* error_word;
  void* module_handles[kModuleCount];  // separately loaded modules: always null here
  BYTE module_present[kModuleCount];

  // Media and diagnostics.
  char media_root[kMediaRootSize];
  const void* media_key;
  const char* settings_path;
  std::int32_t checkpoint;

  // Window.
  HWND window;
  HINSTANCE instance;
  char* typed_text;
  BYTE window_activated;
  std::int32_t window_width;
  std::int32_t window_height;
  std::int32_t window_mode;
  std::int32_t window_x;
  std::int32_t window_y;
  HWND parent_window;

  // Input.
  BYTE cursor_visible;
  std::int32_t mouse_x;
  std::int32_t mouse_y;
  std::int32_t mouse_buttons;

  // Display.
  std::int32_t display_width;
  std::int32_t display_height;
  std::int32_t display_depth;
  RECT present_source;
  std::uint32_t present_rect_count;
  RECT* present_rects;
  std::int32_t draw_target;
  IDirect3DSurface9* render_surface;
  IDirect3DSurface9* back_buffer_surface;
  IDirect3DSurface9* depth_surface;

  // Drawing state.
  std::int32_t print_x;
  std::int32_t print_y;
  std::uint32_t ink;
  std::uint32_t background_ink;

  // 3D state.
  std::int32_t current_camera;
  std::uint32_t backdrop_colour;

  // Check list.
  BYTE check_list_in_use;
  BYTE check_list_has_values;
  // Set by the lists that enumerate the machine's own items (folder entries, drives, game
  // controllers), left as it is by the font list; no module reads it back.
  BYTE check_list_enumerated;
  std::int32_t check_list_count;
  std::uint32_t check_list_capacity;
  CheckListEntry* check_list;

  // Render passes and counters.
  std::int32_t render_pass_index;
  std::int32_t render_pass_count;
  std::int32_t stat_counter[2];

  // Switches.
  BYTE escape_quits;
  BYTE system_keys_on;
  std::int32_t software_vertex_processing;
  void* refresh_handle_list;
};

// The address of the one CoreData block.
CoreData* CoreDataGet();

// Zeroes CoreData and sets its defaults (ink opaque white, cursor visible, Escape quits,
// render pass count 1). RuntimeWire calls it before binding the modules.
void CoreDataDefaults();

}  // namespace tessark

// Opening and closing the runtime: the window, the display and the other modules in their
// construction order, the core services in CoreData, and the orderly shutdown that leaves the
// runtime ready to be opened again. Depends on the win32 stand-in and the module table.
#include <strings.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/win32/paths.h"
#include "runtime/core/check_list.h"
#include "runtime/core/core.h"
#include "runtime/core/core_data.h"
#include "runtime/core/errors.h"
#include "runtime/core/frame.h"
#include "runtime/core/module_table.h"
#include "runtime/core/services.h"
#include "runtime/core/text_alloc.h"
#include "runtime/core/replay_session.h"
#include "runtime/core/runtime_state.h"

namespace tessark {

using namespace win32;

namespace {

constexpr std::uint32_t kStartFrameMillis = 100;
constexpr std::size_t kMediaPathSize = 780;

// Construct -> SetErrorHandler -> PassCoreData, with the present flag set first; a module that
// is not built (no Constructor) stays absent.
void Construct(ModuleIndex index, const ModuleEntries& entries, void* argument) {
  CoreData& core = *CoreDataGet();
  if (!entries.Constructor) return;
  core.module_present[index] = 1;
  entries.Constructor(argument);
  CallIf(entries.SetErrorHandler, ErrorWordAddress());
  CallIf(entries.PassCoreData, &core);
}

// Every module after the display, in construction order.
void ConstructModules(HINSTANCE instance) {
  CoreData& core = *CoreDataGet();
  ModuleTable& m = Modules();
  std::int32_t* error_word = ErrorWordAddress();

  CallIf(m.display.PassCoreData, &core, 1);
  Construct(kModuleBasic2d, m.basic2d, nullptr);
  if (!core.module_present[kModuleText]) Construct(kModuleText, m.text, nullptr);

  if (m.image.Constructor) {
    core.module_present[kModuleImage] = 1;
    m.image.Constructor(nullptr);
    CallIf(m.image_services.ImageLink);
    CallIf(m.image.SetErrorHandler, error_word);
    CallIf(m.image.PassCoreData, &core);
    CallIf(m.image_services.ImageSetColourKey, 0, 0, 0);
  }
  if (m.sprite.Constructor) {
    core.module_present[kModuleSprite] = 1;
    m.sprite.Constructor(nullptr);
    CallIf(m.sprite.PassCoreData, &core);
    CallIf(m.sprite.SetErrorHandler, error_word);
  }
  Construct(kModuleInput, m.input, instance);
  Construct(kModuleSystem, m.system, nullptr);
  Construct(kModuleSound, m.sound, core.window);
  Construct(kModuleMusic, m.music, core.window);
  Construct(kModuleFile, m.file, nullptr);
  Construct(kModuleFtp, m.ftp, instance);
  Construct(kModuleMemblock, m.memblock, nullptr);
  Construct(kModuleBitmap, m.bitmap, nullptr);
}

// Calls a constructed module's Destructor.
void Destroy(ModuleIndex index, const ModuleEntries& entries) {
  CoreData& core = *CoreDataGet();
  if (!core.module_present[index]) return;
  CallIf(entries.Destructor);
  core.module_present[index] = 0;
}

bool g_colours_saved = false;

// Reports made while the runtime opens or closes are not calls made without a runtime.
struct OpeningMark {
  OpeningMark() { RuntimeOpeningSet(true); }
  ~OpeningMark() { RuntimeOpeningSet(false); }
  OpeningMark(const OpeningMark&) = delete;
  OpeningMark& operator=(const OpeningMark&) = delete;
};

}  // namespace

RuntimeState& Runtime() {
  static RuntimeState state;
  return state;
}

std::int32_t RuntimeOpen(std::uint32_t mode, std::int32_t width, std::int32_t height,
                         std::int32_t depth, HINSTANCE instance, const char* title) {
  const OpeningMark opening;
  CoreData& core = *CoreDataGet();
  RuntimeState& rt = Runtime();
  ModuleTable& m = Modules();
  const DisplayEntries& d = m.display;
  ReplaySessionOpen(width, height);

  rt.screen_width = GetSystemMetrics(SM_CXSCREEN);
  rt.screen_height = GetSystemMetrics(SM_CYSCREEN);

  core.window_width = core.display_width = width;
  core.window_height = core.display_height = height;
  core.display_depth = depth;
  core.window_x = core.window_y = 0;
  rt.show_window = mode != 0;

  if (mode == 2) {
    RECT work{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    core.window_width = work.right - work.left;
    core.window_height = work.bottom - work.top;
  } else if (mode >= 3) {
    core.window_width = rt.screen_width;
    core.window_height = rt.screen_height;
  }

  // Without a window there is nothing to display into.
  if (!WindowCreate(mode, title, instance)) return 1;

  if (!d.Constructor || !d.Constructor()) return 1;
  core.module_present[kModuleDisplay] = 1;
  CallIf(d.PassCoreData, &core, 0);
  CallIf(d.SetErrorHandler, ErrorWordAddress());
  rt.runtime_opened = 1;
  CallIf(d.OverrideHWND, core.window);
  rt.com_initialised = SUCCEEDED(CoInitialize(nullptr));

  core.window_mode = static_cast<std::int32_t>(mode);
  if (d.DisplayConfigure) {
    bool full_screen = mode == 3;
    d.DisplayConfigure(core.window_width, core.window_height, full_screen ? depth : 0,
                       full_screen ? 0 : 1, 0, 1);
  }
  for (int i = 0; i < kSavedSysColours; ++i) rt.saved_colours[i] = GetSysColor(i);
  g_colours_saved = true;

  std::int32_t* error_word = ErrorWordAddress();
  if (error_word && *error_word != 0) return 1;

  core.TextAlloc = TextAlloc;
  core.MessagePump = MessagePump;
  core.PrintDispatch = PrintDispatch;
  core.MediaPathResolve = MediaPathResolve;
  core.MediaUnscramble = MediaUnscramble;
  core.MediaRescramble = MediaRescramble;
  core.CursorSelect = CursorSelect;

  ConstructModules(instance);

  if (rt.show_window) {
    if (core.parent_window) {
      CallIf(d.DisplayClear, 255, 255, 255);
      SetWindowPos(core.window, nullptr, 0, 0, 640, 480, SWP_ASYNCWINDOWPOS | SWP_SHOWWINDOW);
    } else {
      CallIf(d.DisplayClear, 0, 0, 0);
      InvalidateRect(core.window, nullptr, TRUE);
      UpdateWindow(core.window);
      ShowWindow(core.window, SW_SHOW);
    }
  }

  rt.frame_ready = 1;
  CallIf(m.text_services.PrintFontSelect);

  DWORD start = timeGetTime();
  while (timeGetTime() - start < kStartFrameMillis) {
    if (rt.runtime_opened) FrameRender();
    RuntimeRefresh();
  }
  return 0;
}

std::int32_t RuntimeClose() {
  const OpeningMark closing;
  CoreData& core = *CoreDataGet();
  RuntimeState& rt = Runtime();
  ModuleTable& m = Modules();

  ReplaySessionClose();
  CheckListFree();
  Destroy(kModuleBasic2d, m.basic2d);
  Destroy(kModuleText, m.text);
  Destroy(kModuleImage, m.image);
  Destroy(kModuleSprite, m.sprite);
  Destroy(kModuleInput, m.input);
  Destroy(kModuleSystem, m.system);
  Destroy(kModuleSound, m.sound);
  Destroy(kModuleFile, m.file);
  Destroy(kModuleFtp, m.ftp);
  Destroy(kModuleMemblock, m.memblock);
  Destroy(kModuleBitmap, m.bitmap);
  Destroy(kModuleMusic, m.music);

  if (rt.runtime_opened) CallIf(m.text_services.TextRelease);
  if (g_colours_saved) {
    INT indices[kSavedSysColours - 1];
    for (int i = 0; i < kSavedSysColours - 1; ++i) indices[i] = i;
    SetSysColors(kSavedSysColours - 1, indices, rt.saved_colours);
    g_colours_saved = false;
  }
  if (rt.runtime_opened)
    CallIf(m.display.WindowedReset);
  else
    CallIf(m.text_services.PrintBitmapRelease);
  if (rt.runtime_opened) {
    CallIf(m.display.Destructor);
    core.module_present[kModuleDisplay] = 0;
    rt.frame_ready = 0;
    rt.runtime_opened = 0;
  }

  TextAlloc(&core.typed_text, 0);
  core.typed_text = nullptr;
  char* rects = reinterpret_cast<char*>(core.present_rects);
  TextAlloc(&rects, 0);
  core.present_rects = nullptr;
  core.present_rect_count = 0;

  // The window is destroyed (not only minimised) so that a later RuntimeOpen starts afresh.
  WindowDestroy();
  if (rt.com_initialised) CoUninitialize();

  // The quit message the window's destruction posted, and anything else still queued, belong
  // to this run; the next one starts with an empty queue and fresh flags.
  // Paint requests of other windows stay until validated, so they are validated here.
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_PAINT) ValidateRect(message.hwnd, nullptr);
  }
  rt = RuntimeState{};
  return 0;
}

void PrintDispatch(const char* text, std::int32_t new_line) {
  CallIf(Modules().text_services.PrintText, text ? text : "", new_line);
}

void MediaPathResolve(char* name, std::size_t capacity) {
  if (!name || capacity == 0) return;
  const CoreData& core = *CoreDataGet();
  std::size_t root = strnlen(core.media_root, sizeof core.media_root);
  std::size_t length = strnlen(name, capacity);
  if (length == capacity) return;  // not a terminated text
  std::string built(core.media_root, root);
  built += "\\media\\";
  built.append(name, length);
  if (built.size() >= kMediaPathSize || built.size() >= capacity) return;
  std::FILE* probe = std::fopen(NativePath(built).c_str(), "rb");
  if (!probe) return;
  std::fclose(probe);
  std::memcpy(name, built.c_str(), built.size() + 1);
}

namespace {

// The media transform: with no media key there is nothing to apply.
void MediaTransform(const char* name, int /*mode*/) {
  const CoreData& core = *CoreDataGet();
  if (!name || !core.media_key) return;
  std::size_t root = strnlen(core.media_root, sizeof core.media_root);
  if (::strncasecmp(name, core.media_root, root) != 0) return;
  // No program sets a media key, and the transform's keyed form is not part of this runtime.
}

}  // namespace

void MediaUnscramble(const char* name) {
  MediaTransform(name, 0);
}

void MediaRescramble(const char* name) {
  MediaTransform(name, 1);
}

}  // namespace tessark

// ModuleTable: the core's table of module entry points, filled once by RuntimeWire. An empty
// slot means the module or entry is absent, and every caller tests the slot and skips it
// (CallIf below). Beside the per-module entries the table holds the frame-pass entries that
// FrameRender calls, the display operations the core calls directly, and the few services one
// module offers another (bound here so that modules never name each other).
#pragma once

#include <cstdint>

#include "runtime/core/core_data.h"

class IDirect3DDevice9;
class IDirect3DTexture9;
class IDirect3DBaseTexture9;

namespace tessark {

// The entries of the module contract. Constructor arguments differ by module: the instance
// handle, the window handle or nothing; all of them travel as one opaque handle here.
struct ModuleEntries {
  void (*Constructor)(void* handle) = nullptr;
  void (*SetErrorHandler)(std::int32_t* error_word) = nullptr;
  void (*PassCoreData)(CoreData* core) = nullptr;
  void (*Update)() = nullptr;
  void (*RefreshD3D)(std::int32_t stage) = nullptr;
  void (*Destructor)() = nullptr;
};

// The display module's own entries and the operations the core calls on it.
struct DisplayEntries {
  bool (*Constructor)() = nullptr;
  void (*PassCoreData)(CoreData* core, std::int32_t stage) = nullptr;
  void (*SetErrorHandler)(std::int32_t* error_word) = nullptr;
  void (*Destructor)() = nullptr;
  bool (*DisplayConfigure)(std::int32_t width, std::int32_t height, std::int32_t depth,
                           std::int32_t windowed, std::int32_t vertex_processing,
                           std::int32_t lockable) = nullptr;
  void (*SceneBegin)() = nullptr;
  void (*SceneEnd)() = nullptr;
  void (*DisplayPresent)() = nullptr;
  void (*OverrideHWND)(HWND window) = nullptr;
  void (*DisplayClear)(std::int32_t red, std::int32_t green, std::int32_t blue) = nullptr;
  void (*WindowedReset)() = nullptr;
  IDirect3DDevice9* (*DisplayDevice)() = nullptr;
  // The depth-stencil format search for a back buffer format (both as D3DFORMAT values): the
  // first candidate the adapter accepts, or D3DFMT_UNKNOWN (0).
  std::uint32_t (*DepthFormatFor)(std::uint32_t back_buffer_format) = nullptr;
};

// Frame-pass entries of the sprite module (FrameRender calls them in its fixed order).
struct SpritePassEntries {
  void (*SpriteBackgroundSave)() = nullptr;
  void (*SpritePass)() = nullptr;
  void (*SpriteBackgroundRestore)() = nullptr;
};

// The camera and 3D modules' frame entries. Nothing in this runtime fills them yet; their
// places in FrameRender's order are fixed.
struct CameraPassEntries {
  void (*FrameStart3dA)() = nullptr;
  void (*FrameStart3dB)() = nullptr;
  void (*CameraFrameStart)(std::int32_t clear) = nullptr;
  std::int32_t (*CameraCurrent)() = nullptr;
  bool (*CameraNext)() = nullptr;
  void (*DrawPerCamera[4])() = {};
  void (*PostFrameA)() = nullptr;
  void (*PostFrameB)() = nullptr;
};

// Basic 2D drawing that other modules use (the print engine scrolls with these).
struct Basic2dServices {
  void (*DotDraw)(std::int32_t x, std::int32_t y, std::uint32_t colour) = nullptr;
  void (*SurfaceLock)() = nullptr;
  void (*SurfaceUnlock)() = nullptr;
  void (*BoxDraw)(std::int32_t left, std::int32_t top, std::int32_t right,
                  std::int32_t bottom) = nullptr;
  void (*LineDraw)(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2) = nullptr;
  void (*CircleDraw)(std::int32_t x, std::int32_t y, std::int32_t radius) = nullptr;
  void (*AreaCopy)(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom,
                   std::int32_t to_x, std::int32_t to_y) = nullptr;
};

// The text module's services for the core: the print engine and its release at shutdown.
struct TextServices {
  void (*PrintText)(const char* text, std::int32_t new_line) = nullptr;
  void (*PrintFontSelect)() = nullptr;
  void (*TextRelease)() = nullptr;
  // The print engine's memory bitmap (made only when text is printed before the runtime is
  // open): the window's paint handling shows it over the client area (true when there was one
  // to show), and RuntimeClose releases it when the runtime never opened.
  bool (*PrintBitmapPaint)(HWND window, const RECT* client) = nullptr;
  void (*PrintBitmapRelease)() = nullptr;
};

// The image module's start-up link to the sprite module's functions (called by RuntimeOpen
// between the image module's Constructor and its SetErrorHandler).
struct ImageServices {
  void (*ImageLink)() = nullptr;
  void (*ImageSetColourKey)(std::int32_t red, std::int32_t green, std::int32_t blue) = nullptr;
  // The queries the sprite module binds at its Constructor. None raises an error: a missing id
  // answers 0, -1, none or 1.0.
  std::int32_t (*ImageExists)(std::int32_t id) = nullptr;
  std::int32_t (*ImageWidth)(std::int32_t id) = nullptr;
  std::int32_t (*ImageHeight)(std::int32_t id) = nullptr;
  IDirect3DBaseTexture9* (*ImageTexture)(std::int32_t id) = nullptr;
  float (*ImageExtentU)(std::int32_t id) = nullptr;
  float (*ImageExtentV)(std::int32_t id) = nullptr;
  // The loader and delete operation (the sprite module loads frame sheets with them).
  void (*ImageLoad)(const char* file, std::int32_t id, std::int32_t mode) = nullptr;
  void (*ImageDelete)(std::int32_t id) = nullptr;
  // Data out and in, for memory blocks: a new block of the covered pixels (freed by
  // ImageDataFree), and an image made from packed rows.
  void (*ImageGetData)(std::int32_t id, std::int32_t* width, std::int32_t* height,
                       std::int32_t* depth, std::uint8_t** block, std::int32_t* size) = nullptr;
  void (*ImageDataFree)(std::uint8_t* block) = nullptr;
  void (*ImageSetData)(std::int32_t id, std::int32_t width, std::int32_t height, std::int32_t depth,
                       const std::uint8_t* pixels) = nullptr;
};

// The sprite module's quad renderer, as the image module binds it at ImageLink: the image
// paste (ImagePaste forwards to it), the sprite refresh (called after every image load or
// create) and the texture paste that video playback uses.
struct SpriteServices {
  void (*PasteRoutine)(std::int32_t id, std::int32_t x, std::int32_t y, float extent_u,
                       float extent_v, std::int32_t transparent) = nullptr;
  void (*SpriteRefresh)() = nullptr;
  void (*TexturePaste)(IDirect3DBaseTexture9* texture, float extent_u, float extent_v,
                       std::int32_t left, std::int32_t top, std::int32_t right,
                       std::int32_t bottom) = nullptr;
};

// The system module's switches.
struct SystemServices {
  void (*EscapeQuitOff)() = nullptr;
  void (*EscapeQuitOn)() = nullptr;
};

// The memory-block module's services for other modules (the file module binds them at its
// PassCoreData). None of them raises an error: numbers outside 1 to 257 and missing blocks give
// null or 0. Make first frees a block of that number; SetSize changes only the recorded size.
struct MemblockServices {
  std::uint8_t* (*Make)(std::int32_t number, std::int32_t size) = nullptr;
  void (*Free)(std::int32_t number) = nullptr;
  std::int32_t (*Size)(std::int32_t number) = nullptr;
  void (*SetSize)(std::int32_t number, std::int32_t size) = nullptr;
  std::uint8_t* (*Address)(std::int32_t number) = nullptr;
  // The two tables themselves, 258 entries each (entry 0 unused): the blocks' bytes (null for
  // none) and their sizes. The size of a missing block is stale; test the block entry first.
  std::uint8_t* const* (*BlockTable)() = nullptr;
  const std::int32_t* (*SizeTable)() = nullptr;
};

// Data out and in for objects held as a picture-like header and raw bytes (bitmaps and meshes):
// DataOut with mode 1 answers three header values and a new copy of the data with its size
// (true when there was data); any other mode frees a copy handed out before (*data). DataIn
// makes or replaces the object from the header values and the data.
struct ObjectDataServices {
  bool (*DataOut)(std::int32_t id, std::int32_t mode, std::int32_t header[3], std::uint8_t** data,
                  std::int32_t* size) = nullptr;
  void (*DataIn)(std::int32_t id, const std::int32_t header[3], const std::uint8_t* data,
                 std::int32_t size) = nullptr;
};

// The seven format values a sound's PCM data travels with.
struct SoundDataFormat {
  std::int32_t format_tag;
  std::int32_t channels;
  std::int32_t samples_per_second;
  std::int32_t bytes_per_second;
  std::int32_t block_align;
  std::int32_t bits_per_sample;
  std::int32_t extra_size;
};

// The sound module's data services for memory blocks. ToData with mode 1 fills the format and a
// new copy of the sound's PCM data (true when the sound had data); any other mode frees *data.
// FromData makes sound id from a format and PCM data (the sound module reports its failures).
struct SoundDataServices {
  bool (*ToData)(std::int32_t mode, std::int32_t id, SoundDataFormat* format, std::uint8_t** data,
                 std::int32_t* size) = nullptr;
  void (*FromData)(std::int32_t id, const SoundDataFormat& format, const std::uint8_t* data,
                   std::int32_t size) = nullptr;
};

struct ModuleTable {
  DisplayEntries display;
  ModuleEntries basic2d;
  ModuleEntries text;
  ModuleEntries image;
  ModuleEntries sprite;
  ModuleEntries input;
  ModuleEntries system;
  ModuleEntries sound;
  ModuleEntries music;
  ModuleEntries file;
  ModuleEntries ftp;
  ModuleEntries memblock;
  ModuleEntries bitmap;
  ModuleEntries video;  // not built: its Update slot stays empty

  SpritePassEntries sprite_pass;
  CameraPassEntries camera_pass;
  Basic2dServices basic2d_services;
  TextServices text_services;
  ImageServices image_services;
  SpriteServices sprite_services;
  SystemServices system_services;
  MemblockServices memblock_services;
  SoundDataServices sound_data_services;
  ObjectDataServices bitmap_data_services;
  ObjectDataServices mesh_data_services;  // no 3D-object module: stays empty
};

// The one table, owned by the core.
ModuleTable& Modules();

// Calls a slot when it is filled; an empty slot is skipped.
template <typename Fn, typename... Args>
inline void CallIf(Fn* slot, Args... args) {
  if (slot) slot(args...);
}

}  // namespace tessark

// The core's internal interface for modules: the one CoreData block, the module table, the
// services behind CoreData's function pointers, and the check list.
#pragma once

#include <cstddef>
#include <cstdint>

#include "runtime/core/core_data.h"
#include "runtime/core/errors.h"
#include "runtime/core/id_list.h"
#include "runtime/core/module_table.h"

namespace tessark {

// The address of the one CoreData block.
CoreData* CoreDataGet();

// Zeroes CoreData and sets its defaults (ink opaque white, cursor visible, Escape quits,
// render pass count 1). RuntimeWire calls it before binding the modules.
void CoreDataDefaults();

// size > 0: allocates size zeroed bytes into *text (an old block is not freed);
// size 0: frees the block *text holds (the pointer is left as it was).
void TextAlloc(char** text, std::int32_t size);

// Makes a new text holding a copy of source (through TextAlloc); null source gives "".
char* TextCopy(const char* source);

// Makes sure the check list exists and that entry index can hold a text of length
// characters, growing the list (doubling) and the entry's text as needed.
void CheckListGrow(std::int32_t index, std::int32_t length);

// Frees every check-list text and the list itself.
void CheckListFree();

// Opens the runtime: the window for the mode (0 hidden, 1 centred window, 2 work-area window,
// 3 full screen, 4 screen-sized window), the display, then every other module in construction
// order. 0 on success, 1 when the display module is missing or refuses, or when the display
// set-up left an error in the error word.
std::int32_t RuntimeOpen(std::uint32_t mode, std::int32_t width, std::int32_t height,
                         std::int32_t depth, HINSTANCE instance, const char* title);
// The orderly shutdown: every module's Destructor, the window, the cursors, the buffers. The
// runtime can be opened again afterwards (RuntimeWire, ErrorWordSet, RuntimeOpen).
std::int32_t RuntimeClose();

// Core services (also reachable through CoreData's function pointers).
// Takes every waiting message to the window procedure; 1 once the quit message has been seen.
std::int32_t MessagePump();
// Hands a text to the print engine, when the text module is there.
void PrintDispatch(const char* text, std::int32_t new_line);
// Replaces the name in buffer (capacity bytes) by media root + "\media\" + name when that file
// exists and the longer name fits; otherwise leaves it unchanged.
void MediaPathResolve(char* name, std::size_t capacity);
// The media transform (inactive: it needs a media key, and nothing sets one).
void MediaUnscramble(const char* name);
void MediaRescramble(const char* name);
// 0 arrow, 1 hourglass, 2 to 31 the pointer cursors; sets and shows the current cursor.
void CursorSelect(std::int32_t index);

// Frames (see the game-facing FrameSync).
// One frame: pacing, the sprite and camera passes and the present block in their order.
void FrameRender();
// The Update entries of the music, sound and video modules.
void MediaUpdate();
// Pump, media update and, in automatic mode, a frame; 1 once the quit message has been seen.
std::int32_t RuntimeRefresh();

}  // namespace tessark

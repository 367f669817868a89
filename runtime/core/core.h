// Opening and closing the runtime. The rest of the core's interface for modules lives in
// narrower headers, so that a file includes only the part it uses: core_data.h (CoreData and
// CoreDataGet), module_table.h, errors.h, id_list.h, text_alloc.h (the text blocks),
// check_list.h, services.h (the services behind CoreData's function pointers) and frame.h.
#pragma once

#include <cstdint>

#include "platform/win32/win_types.h"

namespace tessark {

// Opens the runtime: the window for the mode (0 hidden, 1 centred window, 2 work-area window,
// 3 full screen, 4 screen-sized window), the display, then every other module in construction
// order. 0 on success, 1 when the display module is missing or refuses, or when the display
// set-up left an error in the error word.
std::int32_t RuntimeOpen(std::uint32_t mode, std::int32_t width, std::int32_t height,
                         std::int32_t depth, HINSTANCE instance, const char* title);
// The orderly shutdown: every module's Destructor, the window, the cursors, the buffers. The
// runtime can be opened again afterwards (RuntimeWire, ErrorWordSet, RuntimeOpen).
std::int32_t RuntimeClose();

}  // namespace tessark

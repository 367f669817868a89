// The core's internal interface for modules: the one CoreData block, the module table, the
// services behind CoreData's function pointers, and the check list.
#pragma once

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

}  // namespace tessark

// The check list's storage in CoreData: the list the enumerating commands (folder entries,
// drives, fonts, game controllers) fill and the game reads back.
#pragma once

#include <cstdint>

namespace tessark {

// Makes sure the check list exists and that entry index can hold a text of length
// characters, growing the list (doubling) and the entry's text as needed.
void CheckListGrow(std::int32_t index, std::int32_t length);

// Frees every check-list text and the list itself.
void CheckListFree();

}  // namespace tessark

// The core services behind CoreData's function pointers, for the core and the tests that call
// them directly; modules reach them through CoreData.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tessark {

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

}  // namespace tessark

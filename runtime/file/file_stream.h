// Reading and writing a numbered file's slot, shared by the typed operations and the blocks.
#pragma once

#include <cstdint>

#include "runtime/file/file_state.h"

namespace tessark::file {

// Reads up to count bytes; fewer (nothing open, or the end reached) sets the end flag.
DWORD SlotRead(FileSlot& slot, void* buffer, DWORD count);
// Writes count bytes; false when the slot holds no file or not all of them were written.
bool SlotWrite(FileSlot& slot, const void* buffer, DWORD count);
// A little-endian value of 1, 2 or 4 bytes; bytes that could not be read count as 0.
std::uint32_t SlotReadUnsigned(FileSlot& slot, DWORD bytes);
// A little-endian 32-bit value; false (and the end flag set) when fewer bytes were there.
bool SlotReadU32(FileSlot& slot, std::uint32_t& value);
bool SlotWriteUnsigned(FileSlot& slot, std::uint32_t value, DWORD bytes);

}  // namespace tessark::file

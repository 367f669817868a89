// Named file mappings backed by memory, as POSIX shared memory objects. A mapping made by name
// in one process is seen by every process that opens the same name. As on Windows, the area
// exists while some process holds a handle on it: each holder keeps a shared lock on it, and
// the last one to close removes the name. Depends on files.h (HANDLE objects) and POSIX.
#pragma once

#include "platform/win32/files.h"

#define PAGE_READONLY 0x02u
#define PAGE_READWRITE 0x04u
#define FILE_MAP_WRITE 0x0002u
#define FILE_MAP_READ 0x0004u
#define FILE_MAP_ALL_ACCESS 0x000F001Fu

namespace win32 {

// Only memory-backed mappings (file = INVALID_HANDLE_VALUE) are made. An existing area of the
// name is opened as it is (grown when it is smaller than asked). Names are any text of up to
// 200 characters, "\" included; a null name makes an area no one else can open.
HANDLE CreateFileMappingA(HANDLE file, void* security, DWORD protect, DWORD size_high,
                          DWORD size_low, LPCSTR name);
// An existing named area, or null.
HANDLE OpenFileMappingA(DWORD access, BOOL inherit_handle, LPCSTR name);
// A view of the whole area from offset (bytes 0: to its end); FILE_MAP_WRITE or
// FILE_MAP_ALL_ACCESS give a writable view, FILE_MAP_READ alone a read-only one.
LPVOID MapViewOfFile(HANDLE mapping, DWORD access, DWORD offset_high, DWORD offset_low,
                     std::size_t bytes);
BOOL UnmapViewOfFile(LPCVOID view);

namespace testing {
// Removes a named area's system name whoever still holds it (tests clean up with it).
void SharedMemoryUnlink(const char* name);
}  // namespace testing

}  // namespace win32

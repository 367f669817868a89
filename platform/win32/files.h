// The Windows file calls and the C runtime's directory calls on POSIX files. Every name goes
// through NativePath (backslashes, "c:\" as the root, case-insensitive components). HANDLE is a
// kernel object of this stand-in: a file, a find listing, a process or a file mapping, each a
// Win32Handle that CloseHandle destroys. Depends on paths.h and POSIX only.
#pragma once

#include <cstdint>
#include <ctime>
#include <memory>

#include "platform/win32/win_types.h"

// Every object behind a HANDLE derives from this; CloseHandle deletes it.
struct Win32Handle {
  virtual ~Win32Handle() = default;
};

#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-1)))

#define GENERIC_READ 0x80000000u
#define GENERIC_WRITE 0x40000000u
#define FILE_SHARE_READ 0x00000001u
#define FILE_SHARE_WRITE 0x00000002u
#define CREATE_NEW 1u
#define CREATE_ALWAYS 2u
#define OPEN_EXISTING 3u
#define OPEN_ALWAYS 4u
#define TRUNCATE_EXISTING 5u

#define FILE_ATTRIBUTE_READONLY 0x00000001u
#define FILE_ATTRIBUTE_HIDDEN 0x00000002u
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010u
#define FILE_ATTRIBUTE_ARCHIVE 0x00000020u
#define FILE_ATTRIBUTE_NORMAL 0x00000080u
#define INVALID_FILE_ATTRIBUTES 0xFFFFFFFFu
#define INVALID_FILE_SIZE 0xFFFFFFFFu
#define INVALID_SET_FILE_POINTER 0xFFFFFFFFu

#define FILE_BEGIN 0u
#define FILE_CURRENT 1u
#define FILE_END 2u

#define DRIVE_UNKNOWN 0u
#define DRIVE_NO_ROOT_DIR 1u
#define DRIVE_REMOVABLE 2u
#define DRIVE_FIXED 3u
#define DRIVE_REMOTE 4u
#define DRIVE_CDROM 5u
#define DRIVE_RAMDISK 6u

// The C runtime's attribute bits of _finddata_t.
#define _A_NORMAL 0x00u
#define _A_RDONLY 0x01u
#define _A_HIDDEN 0x02u
#define _A_SUBDIR 0x10u
#define _A_ARCH 0x20u

struct FILETIME {
  DWORD dwLowDateTime;
  DWORD dwHighDateTime;
};

struct WIN32_FIND_DATAA {
  DWORD dwFileAttributes;
  FILETIME ftCreationTime;
  FILETIME ftLastAccessTime;
  FILETIME ftLastWriteTime;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
  DWORD dwReserved0;
  DWORD dwReserved1;
  CHAR cFileName[MAX_PATH];
  CHAR cAlternateFileName[14];
};

struct _finddata_t {
  unsigned attrib;
  std::time_t time_create;
  std::time_t time_access;
  std::time_t time_write;
  std::uint32_t size;
  char name[MAX_PATH];
};

namespace win32 {

// Files. Share modes are accepted and not enforced (POSIX has no mandatory sharing). A folder
// cannot be opened as a file, as on Windows.
HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD share, void* security, DWORD creation,
                   DWORD flags, HANDLE template_file);
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD count, DWORD* read, void* overlapped);
BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD count, DWORD* written, void* overlapped);
DWORD SetFilePointer(HANDLE file, LONG distance, LONG* distance_high, DWORD method);
DWORD GetFileSize(HANDLE file, DWORD* size_high);
BOOL CloseHandle(HANDLE object);

// Listings: "." and ".." first, then the folder's entries in case-insensitive name order (the
// order a Windows disk lists them in). The pattern's last component may hold '*' and '?';
// "*.*" matches every name.
HANDLE FindFirstFileA(LPCSTR pattern, WIN32_FIND_DATAA* data);
BOOL FindNextFileA(HANDLE find, WIN32_FIND_DATAA* data);
BOOL FindClose(HANDLE find);

BOOL CopyFileA(LPCSTR source, LPCSTR destination, BOOL fail_if_exists);
// Never replaces an existing destination; across file systems a file is copied and removed.
BOOL MoveFileA(LPCSTR source, LPCSTR destination);
BOOL DeleteFileA(LPCSTR name);
BOOL CreateDirectoryA(LPCSTR name, void* security);
BOOL RemoveDirectoryA(LPCSTR name);
BOOL SetCurrentDirectoryA(LPCSTR name);
// The current directory as this system writes it; returns its length, or the size needed
// (terminator included) when the buffer is too small.
DWORD GetCurrentDirectoryA(DWORD size, LPSTR buffer);
DWORD GetFileAttributesA(LPCSTR name);
// FILE_ATTRIBUTE_READONLY takes away write permission; any other value gives the owner write
// permission back.
BOOL SetFileAttributesA(LPCSTR name, DWORD attributes);

// One drive, C, a fixed disk at the root.
DWORD GetLogicalDrives();
UINT GetDriveTypeA(LPCSTR root);

// $TMPDIR (or /tmp) with a trailing '/'. Both return the length written, or the size needed.
DWORD GetTempPathA(DWORD size, LPSTR buffer);
// The running program's full path (module must be null: this process's own file).
DWORD GetModuleFileNameA(HMODULE module, LPSTR buffer, DWORD size);
// The system's shared-data folder, /usr/share: where fonts and other system-wide files live, as
// they do in the Windows folder.
UINT GetWindowsDirectoryA(LPSTR buffer, UINT size);

// The C runtime's directory calls. _chdir fails (-1) for a null or empty name; _chdrive
// succeeds only for drive 3 (C) and then leaves the current directory as it is.
int _chdir(const char* name);
char* _getcwd(char* buffer, int size);
int _chdrive(int drive);
int _getdrive();
std::intptr_t _findfirst(const char* pattern, _finddata_t* data);
int _findnext(std::intptr_t find, _finddata_t* data);
int _findclose(std::intptr_t find);

// A file for writing (created or truncated) at relative_name inside folder, creating the
// folders of its path on the way. The name must stay inside folder: an absolute name, a drive,
// a ".." component or a symbolic link met on the way makes it fail (INVALID_HANDLE_VALUE), as
// does a path deeper than max_depth folders. Components match existing entries without regard
// to case, like every other name.
HANDLE CreateFileInFolder(LPCSTR folder, LPCSTR relative_name, int max_depth);

// Owns a HANDLE; INVALID_HANDLE_VALUE and null are both "no object".
struct HandleCloser {
  void operator()(Win32Handle* object) const { CloseHandle(object); }
};
using UniqueHandle = std::unique_ptr<Win32Handle, HandleCloser>;
inline UniqueHandle AdoptHandle(HANDLE object) {
  return UniqueHandle(object == INVALID_HANDLE_VALUE ? nullptr : object);
}

}  // namespace win32

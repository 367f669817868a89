// The registry stand-in: keys and typed values under the predefined roots, kept in one file in
// the user's configuration folder ($XDG_CONFIG_HOME/tessark/registry, or
// ~/.config/tessark/registry). Every change is written to a new file that is synced and then
// renamed over the old one, under a lock, so a crash leaves either the old store or the new
// one and two processes never lose each other's changes. A store file that was cut short or
// garbled is read up to its last intact record. Key and value names compare without regard to
// case, as on the platform.
#pragma once

#include <string>
#include <string_view>

#include "platform/win32/win_types.h"

using REGSAM = DWORD;
using PHKEY = HKEY*;
using LSTATUS = LONG;
using LPBYTE = BYTE*;
using LPDWORD = DWORD*;

#define HKEY_CLASSES_ROOT (reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x80000000u)))
#define HKEY_CURRENT_USER (reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x80000001u)))
#define HKEY_LOCAL_MACHINE (reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x80000002u)))
#define HKEY_USERS (reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x80000003u)))

#ifndef ERROR_SUCCESS
#define ERROR_SUCCESS 0L
#endif
#ifndef ERROR_FILE_NOT_FOUND
#define ERROR_FILE_NOT_FOUND 2L
#endif
#ifndef ERROR_ACCESS_DENIED
#define ERROR_ACCESS_DENIED 5L
#endif
#ifndef ERROR_INVALID_HANDLE
#define ERROR_INVALID_HANDLE 6L
#endif
#ifndef ERROR_INVALID_PARAMETER
#define ERROR_INVALID_PARAMETER 87L
#endif
#ifndef ERROR_MORE_DATA
#define ERROR_MORE_DATA 234L
#endif
#ifndef ERROR_CANTWRITE
#define ERROR_CANTWRITE 1013L
#endif
#ifndef ERROR_KEY_DELETED
#define ERROR_KEY_DELETED 1018L
#endif

// Value types.
constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_EXPAND_SZ = 2;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;
constexpr DWORD REG_MULTI_SZ = 7;
constexpr DWORD REG_QWORD = 11;

// Access rights.
constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_SET_VALUE = 0x0002;
constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
constexpr REGSAM KEY_READ = 0x20019;
constexpr REGSAM KEY_WRITE = 0x20006;
constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

// Options and dispositions.
constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

// Opens a key, creating it (and any missing keys above it) when it does not exist.
LSTATUS RegCreateKeyExA(HKEY key, LPCSTR sub_key, DWORD reserved, LPSTR key_class, DWORD options,
                        REGSAM access, void* security, PHKEY result, LPDWORD disposition);
// Opens an existing key; ERROR_FILE_NOT_FOUND when it does not exist.
LSTATUS RegOpenKeyExA(HKEY key, LPCSTR sub_key, DWORD options, REGSAM access, PHKEY result);
// Reads a value: its type, and its data when `data` is given. With no data buffer the size is
// reported; a buffer too small gets ERROR_MORE_DATA and the size needed.
LSTATUS RegQueryValueExA(HKEY key, LPCSTR value_name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                         LPDWORD data_size);
// Stores a value (replacing one of the same name) and writes the store.
LSTATUS RegSetValueExA(HKEY key, LPCSTR value_name, DWORD reserved, DWORD type, const BYTE* data,
                       DWORD data_size);
// Closes a key handle.
LSTATUS RegCloseKey(HKEY key);

namespace win32::testing {

// Keeps the store in `folder` from now on (empty: back to the user's configuration folder)
// and forgets what was read, as a new process would.
void RegistryUseFolder(const std::string& folder);
// The path of the store file in use.
std::string RegistryFile();
// Reads store-file text the way the store file is read; returns the keys and values found.
// The text written back from them reads as the same records (else -1).
int RegistryRecordsIn(std::string_view text);

}  // namespace win32::testing

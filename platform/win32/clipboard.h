// The clipboard stand-in on SDL's clipboard, with the movable global memory blocks the
// platform hands clipboard data in. Plain text (CF_TEXT) is Windows-1252 here and UTF-8 on the
// desktop: it is converted on the way in and out (characters the code page lacks read as '?').
// The clipboard is opened by one window at a time; data is set and read only while it is open.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/win32/win_types.h"

// A global memory block (the platform's movable, shareable memory).
struct Win32Global;
using HGLOBAL = Win32Global*;

constexpr UINT CF_TEXT = 1;
constexpr UINT GMEM_FIXED = 0x0000;
constexpr UINT GMEM_MOVEABLE = 0x0002;
constexpr UINT GMEM_ZEROINIT = 0x0040;
constexpr UINT GMEM_DDESHARE = 0x2000;
constexpr UINT GMEM_SHARE = GMEM_DDESHARE;
constexpr UINT GHND = GMEM_MOVEABLE | GMEM_ZEROINIT;

// Global memory: a block of `bytes` bytes (zeroed with GMEM_ZEROINIT); null on failure.
HGLOBAL GlobalAlloc(UINT flags, std::size_t bytes);
// The block's address (counted: each lock wants an unlock); null for a bad handle.
LPVOID GlobalLock(HGLOBAL memory);
BOOL GlobalUnlock(HGLOBAL memory);
std::size_t GlobalSize(HGLOBAL memory);
// Frees a block; returns null on success and the handle when it could not be freed.
HGLOBAL GlobalFree(HGLOBAL memory);

BOOL OpenClipboard(HWND owner);
BOOL CloseClipboard();
BOOL EmptyClipboard();
// Takes ownership of `memory` (the caller must not free it) and puts its text on the
// desktop clipboard; returns the handle, or null on failure (the caller keeps the block).
HGLOBAL SetClipboardData(UINT format, HGLOBAL memory);
// The clipboard's text as a block the clipboard owns (valid until it is emptied or closed).
HGLOBAL GetClipboardData(UINT format);
BOOL IsClipboardFormatAvailable(UINT format);

namespace win32 {

// Windows-1252 text to UTF-8 and back ('?' for what the code page cannot hold).
std::string Cp1252ToUtf8(std::string_view text);
std::string Utf8ToCp1252(std::string_view text);

}  // namespace win32

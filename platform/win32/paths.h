// Windows file names on Linux. The runtime names files the Windows way: backslashes or slashes,
// a "c:\" style drive standing for the root, any letter case. NativePath turns such a name into
// a path on this system: each component is taken as written when it exists, and otherwise
// matched without regard to case against the folder's entries (so "Data\Images\" finds
// "data/images/"). Components that do not exist stay as written, so new files can be made.
// This system has one drive, C; a name on any other drive resolves to the empty path, which
// names nothing, so every operation on it fails as it would for a missing drive.
#pragma once

#include <string>
#include <string_view>

namespace win32 {

std::string NativePath(std::string_view name);

// The entry of the folder open as folder_fd that is named component: the exact name when it
// exists, else the first (in byte order) entry equal to it without regard to case, else
// component itself. folder_fd may be AT_FDCWD.
std::string MatchEntry(int folder_fd, const std::string& component);

// True for '\' and '/', the two separators Windows accepts.
inline bool IsSeparator(char c) {
  return c == '\\' || c == '/';
}

}  // namespace win32

// Windows file names on Linux. The runtime names files the Windows way: backslashes or slashes,
// a "c:\" style drive standing for the root, any letter case. NativePath turns such a name into
// a path on this system: each component is taken as written when it exists, and otherwise
// matched without regard to case against the folder's entries (so "Data\Images\" finds
// "data/images/"). Components that do not exist stay as written, so new files can be made.
#pragma once

#include <string>
#include <string_view>

namespace win32 {

std::string NativePath(std::string_view name);

}  // namespace win32

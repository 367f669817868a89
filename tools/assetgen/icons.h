// The game's application icon: a pot of vegetables on a warm rounded square, drawn at any size
// for the desktop's icon theme.
#pragma once

#include <string>

namespace assetgen {

// The icon sizes a desktop looks for in the hicolor theme.
inline constexpr int kIconSizes[] = {16, 24, 32, 48, 64, 128, 256};

// Writes <folder>/<size>x<size>/apps/<name>.png for every size; false (with why) on failure.
bool WriteAppIcons(const std::string& folder, const std::string& name, std::string* error);

}  // namespace assetgen

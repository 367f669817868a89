// Makes the game's Data folder: every picture and sound the game loads at start-up, under the
// names and folders it loads them by. The output depends on nothing but this code (no clock,
// fixed random seeds), so every run writes the same bytes.
#pragma once

#include <string>

namespace assetgen {

// Writes Images/... and Audio/... under data_dir (created as needed). Returns false with a
// message in error on the first file that cannot be written.
bool GenerateData(const std::string& data_dir, std::string* error);

}  // namespace assetgen

// One freshly generated Data folder for the whole test program: made in a temporary folder on
// first use and removed when the program ends.
#pragma once

#include <string>

namespace assetgen_test {

// The generated Data folder (generation failures fail the calling test).
const std::string& DataDir();

}  // namespace assetgen_test

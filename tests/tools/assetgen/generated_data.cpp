// Generates the Data folder once per test program into a temporary folder.
#include "tests/tools/assetgen/generated_data.h"

#include <cairo.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

#include "tools/assetgen/assetgen.h"

namespace assetgen_test {
namespace {

// Owns the temporary folder.
class Generated : public ::testing::Environment {
 public:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "assetgen_XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
    dir_ = root_ + "/Data";
    std::string error;
    ASSERT_TRUE(assetgen::GenerateData(dir_, &error)) << error;
  }
  void TearDown() override {
    std::error_code ec;
    if (!root_.empty()) std::filesystem::remove_all(root_, ec);
    cairo_debug_reset_static_data();
  }
  const std::string& dir() const { return dir_; }

 private:
  std::string root_, dir_;
};

Generated* const environment =
    static_cast<Generated*>(::testing::AddGlobalTestEnvironment(new Generated));

}  // namespace

// The folder the environment generated.
const std::string& DataDir() {
  return environment->dir();
}

}  // namespace assetgen_test

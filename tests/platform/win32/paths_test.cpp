#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/win32/paths.h"

namespace fs = std::filesystem;

namespace {

class PathsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("paths_test_" + std::to_string(::getpid()));
    fs::create_directories(root_ / "Data" / "images" / "Pot");
    std::ofstream(root_ / "Data" / "images" / "Pot" / "Pot.png") << "x";
    old_ = fs::current_path();
    fs::current_path(root_);
  }
  void TearDown() override {
    fs::current_path(old_);
    fs::remove_all(root_);
  }
  fs::path root_, old_;
};

TEST_F(PathsTest, BackslashesAndCaseResolveToWhatIsOnDisk) {
  EXPECT_EQ(win32::NativePath("Data\\Images\\Pot\\Pot.png"), "Data/images/Pot/Pot.png");
  EXPECT_EQ(win32::NativePath("DATA\\IMAGES\\POT\\POT.PNG"), "Data/images/Pot/Pot.png");
  EXPECT_EQ(win32::NativePath("Data\\Images\\"), "Data/images/");
  EXPECT_EQ(win32::NativePath("Data\\Images\\new.png"), "Data/images/new.png");
  EXPECT_EQ(win32::NativePath("c:\\"), "/");
  EXPECT_EQ(win32::NativePath("..\\x"), "../x");
  EXPECT_EQ(win32::NativePath(""), ".");
}

}  // namespace

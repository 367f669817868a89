// The program's own context for a game: its arguments, its start folder and per-user folder,
// and a runtime opened and closed by a game's own main.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "runtime/core/launch_options.h"
#include "runtime/core/program.h"
#include "tests/support/temp_folder.h"
#include "tessark/tessark.h"

namespace tessark {
namespace {

namespace fs = std::filesystem;

std::string Taken(char* text) {
  std::string copy = text ? text : "(null)";
  TextFree(text);
  return copy;
}

// Sets an environment variable for one scope and puts the old value back.
class EnvVar {
 public:
  EnvVar(const char* name, const char* value) : name_(name) {
    const char* old = std::getenv(name);
    if (old) old_ = old, had_ = true;
    ::setenv(name, value, 1);
  }
  ~EnvVar() { had_ ? (void)::setenv(name_, old_.c_str(), 1) : (void)::unsetenv(name_); }

 private:
  const char* name_;
  std::string old_;
  bool had_ = false;
};

TEST(ProgramContext, UserFolderFollowsXdgAndIsMadeOnFirstUse) {
  TempFolder folder("user");
  const std::string name = fs::read_symlink("/proc/self/exe").filename().string();
  {
    EnvVar data("XDG_DATA_HOME", (folder.root() / "data").c_str());
    const std::string made = Taken(DirectoryUserData());
    EXPECT_EQ(made, (folder.root() / "data" / name).string());
    EXPECT_TRUE(fs::is_directory(made));
  }
  {
    // A relative XDG_DATA_HOME is ignored, as the base directory rules say.
    EnvVar data("XDG_DATA_HOME", "relative");
    EnvVar home("HOME", folder.root().c_str());
    EXPECT_EQ(Taken(DirectoryUserData()), (folder.root() / ".local" / "share" / name).string());
    EXPECT_FALSE(fs::exists("relative"));
  }
}

TEST(ProgramContext, OwnMainStartsAndStopsTheRuntimeWithTheGamesArguments) {
  TempFolder folder("start");
  const fs::path started = fs::current_path();
  char program[] = "game", scale[] = "--scale", two[] = "2", song[] = "song.wav", end[] = "--",
       dash[] = "--scale";
  char* argv[] = {program, scale, two, song, end, dash, nullptr};
  ASSERT_TRUE(RuntimeStart(6, argv));
  EXPECT_TRUE(RuntimeRunning());
  EXPECT_TRUE(RuntimeStart(6, argv)) << "a second start changes nothing";
  EXPECT_EQ(ArgumentCount(), 2);
  EXPECT_EQ(Taken(ArgumentGet(1)), "song.wav");
  EXPECT_EQ(Taken(ArgumentGet(2)), "--scale");
  EXPECT_EQ(Taken(ArgumentGet(3)), "");
  EXPECT_EQ(Taken(ArgumentGet(0)), "");
  // The start entered the executable's folder (no Data anywhere here).
  EXPECT_EQ(fs::current_path(), fs::read_symlink("/proc/self/exe").parent_path());
  RuntimeStop();
  EXPECT_EQ(fs::current_path(), fs::path(StartFolder()));
  EXPECT_FALSE(RuntimeRunning());
  LaunchOptionsStore(LaunchOptions{});
  EXPECT_EQ(ArgumentCount(), 0);
}

}  // namespace
}  // namespace tessark

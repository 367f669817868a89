// The launch options: the runtime takes its own options from the command line or the
// environment and leaves everything else to the game, in order.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "runtime/core/launch_options.h"

namespace tessark {
namespace {

std::string Parse(std::vector<const char*> args, LaunchOptions* options) {
  args.insert(args.begin(), "game");
  return LaunchOptionsParse(static_cast<int>(args.size()), args.data(), options);
}

class LaunchOptionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"TESSARK_RECORD", "TESSARK_REPLAY", "TESSARK_REPLAY_FAST",
                             "TESSARK_REPLAY_CHECK", "TESSARK_SCALE"})
      unsetenv(name);
  }
  void TearDown() override { SetUp(); }
};

TEST_F(LaunchOptionsTest, RuntimeOptionsAreTakenAndTheRestIsTheGamesInOrder) {
  LaunchOptions options;
  ASSERT_EQ(Parse({"level3", "--replay", "run.rec", "--replay-fast", "-x", "--scale=3",
                   "--replay-check", "--", "--record", "y"},
                  &options),
            "");
  EXPECT_EQ(options.replay, "run.rec");
  EXPECT_TRUE(options.replay_fast);
  EXPECT_TRUE(options.replay_check);
  EXPECT_EQ(options.scale, 3);
  EXPECT_TRUE(options.record.empty());  // after "--" it is the game's
  EXPECT_EQ(options.game_arguments, (std::vector<std::string>{"level3", "-x", "--record", "y"}));
}

TEST_F(LaunchOptionsTest, FaultsNameTheOption) {
  LaunchOptions options;
  EXPECT_NE(Parse({"--scale", "0"}, &options).find("--scale"), std::string::npos);
  EXPECT_NE(Parse({"--scale", "9"}, &options).find("1 to 8"), std::string::npos);
  EXPECT_NE(Parse({"--scale", "2x"}, &options).find("\"2x\""), std::string::npos);
  EXPECT_EQ(Parse({"--record"}, &options), "--record needs a value");
  EXPECT_EQ(Parse({"--replay="}, &options), "--replay needs a value");
  EXPECT_NE(Parse({"--record", "a", "--replay", "b"}, &options), "");
  EXPECT_NE(Parse({"--replay-fast"}, &options).find("--replay FILE"), std::string::npos);
}

TEST_F(LaunchOptionsTest, EnvironmentFillsWhatTheCommandLineLeftUnset) {
  setenv("TESSARK_REPLAY", "env.rec", 1);
  setenv("TESSARK_REPLAY_FAST", "1", 1);
  setenv("TESSARK_REPLAY_CHECK", "0", 1);
  setenv("TESSARK_SCALE", "2", 1);
  LaunchOptions options;
  ASSERT_EQ(Parse({}, &options), "");
  EXPECT_EQ(options.replay, "env.rec");
  EXPECT_TRUE(options.replay_fast);
  EXPECT_FALSE(options.replay_check);
  EXPECT_EQ(options.scale, 2);
  ASSERT_EQ(Parse({"--scale", "4", "--replay", "cli.rec"}, &options), "");
  EXPECT_EQ(options.scale, 4);
  EXPECT_EQ(options.replay, "cli.rec");
  setenv("TESSARK_SCALE", "big", 1);
  EXPECT_NE(Parse({}, &options).find("TESSARK_SCALE"), std::string::npos);
}

}  // namespace
}  // namespace tessark

// The clock, the random generator and its range, the maths group and the media services.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include <sys/stat.h>

#include "platform/win32/user.h"
#include "runtime/core/core_data.h"
#include "runtime/core/services.h"
#include "runtime/runtime_wire.h"
#include "tessark/core.h"
#include "tests/support/test_clock.h"

using namespace tessark;

namespace tessark {
namespace {

TEST(Random, SeedOneGivesTheStandardSequence) {
  RandomSeed(1);
  EXPECT_EQ(Rand(), 41);
  EXPECT_EQ(Rand(), 18467);
  EXPECT_EQ(Rand(), 6334);
}

TEST(Random, RangeDrawsOnePerDecadeInOrder) {
  RandomSeed(1);
  EXPECT_EQ(RandomRange(10), 8);  // 41 % 11
  EXPECT_EQ(RandomRange(50), 9);  // (6334 + 10 * 18467) % 51
  EXPECT_EQ(RandomRange(5000), 4903);
  EXPECT_EQ(RandomRange(0), 0);
  EXPECT_EQ(RandomRange(-7), 0);
  RandomSeed(99);
  for (int i = 0; i < 1000; ++i) {
    std::int32_t v = RandomRange(2147483647);
    EXPECT_GE(v, 0);
  }
}

TEST(Maths, DegreesUseSinglePrecisionPi) {
  // cos(90 degrees) is not 0: pi was rounded to single precision before the conversion.
  EXPECT_FLOAT_EQ(MathCos(90.0f), -4.371139e-08f);
  EXPECT_FLOAT_EQ(MathSin(180.0f), -8.742278e-08f);
  EXPECT_FLOAT_EQ(MathAsin(0.5f), 30.0f);
  EXPECT_FLOAT_EQ(MathAcos(0.5f), 60.0f);
  EXPECT_FLOAT_EQ(MathSqrt(2.0f), 1.4142135f);
  EXPECT_FLOAT_EQ(MathAbs(-3.5f), 3.5f);
  EXPECT_FLOAT_EQ(MathExp(1.0f), 2.7182817f);
  EXPECT_FLOAT_EQ(MathTan(45.0f), 1.0f);
  EXPECT_FLOAT_EQ(MathCosh(0.0f), 1.0f);
  EXPECT_TRUE(std::isnan(MathSqrt(-1.0f)));
  EXPECT_TRUE(std::isnan(MathAsin(2.0f)));
}

TEST(Clock, ClockMillisFollowsTheMillisecondClock) {
  tessark::testing::TestClock clock;
  std::uint32_t a = ClockMillis();
  clock.Advance(5000);
  EXPECT_EQ(ClockMillis() - a, 5u);
}

TEST(MediaPath, LeavesNamesWithoutAMediaFileAlone) {
  RuntimeWire();
  char name[64] = "Data\\Images\\nothing-here.png";
  MediaPathResolve(name, sizeof name);
  EXPECT_STREQ(name, "Data\\Images\\nothing-here.png");
  MediaPathResolve(nullptr, 10);
  MediaUnscramble(name);
  MediaRescramble(nullptr);
  EXPECT_STREQ(name, "Data\\Images\\nothing-here.png");
}

TEST(MediaPath, TakesTheMediaFileOnlyWhenItFits) {
  RuntimeWire();
  // A media root in a temporary folder with a media\ sub-folder holding the file.
  char root[] = "/tmp/tessark_media_XXXXXX";
  ASSERT_NE(mkdtemp(root), nullptr);
  std::string folder = std::string(root) + "/media";
  ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
  std::string file = folder + "/a.wav";
  FILE* f = fopen(file.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  fclose(f);
  std::strcpy(CoreDataGet()->media_root, root);

  char small[16] = "a.wav";  // the longer name does not fit: unchanged
  MediaPathResolve(small, sizeof small);
  EXPECT_STREQ(small, "a.wav");
  char big[128] = "a.wav";
  MediaPathResolve(big, sizeof big);
  EXPECT_EQ(std::string(big), std::string(root) + "\\media\\a.wav");

  remove(file.c_str());
  rmdir(folder.c_str());
  rmdir(root);
  RuntimeWire();
}

}  // namespace
}  // namespace tessark

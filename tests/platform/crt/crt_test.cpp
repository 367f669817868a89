// The C library pieces with fixed behaviour: the generator's sequence, MulDiv's rounding and
// overflow, the ctime text.
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <ctime>
#include <string>

#include "platform/crt/crt.h"

namespace {

TEST(CrtRand, FollowsItsFixedConstants) {
  crt::srand(1);
  EXPECT_EQ(crt::rand(), 41);
  EXPECT_EQ(crt::rand(), 18467);
  EXPECT_EQ(crt::rand(), 6334);
  EXPECT_EQ(crt::rand(), 26500);
  crt::srand(0);
  EXPECT_EQ(crt::rand(), 38);  // (2531011 >> 16) & 0x7FFF
  crt::srand(0xFFFFFFFFu);     // the state wraps modulo 2^32
  for (int i = 0; i < 1000; ++i) {
    int v = crt::rand();
    ASSERT_GE(v, 0);
    ASSERT_LE(v, crt::kRandMax);
  }
}

TEST(CrtMulDiv, RoundsHalfAwayFromZeroAndReportsOverflow) {
  EXPECT_EQ(crt::MulDiv(10, 3, 4), 8);  // 7.5
  EXPECT_EQ(crt::MulDiv(-10, 3, 4), -8);
  EXPECT_EQ(crt::MulDiv(10, 3, -4), -8);
  EXPECT_EQ(crt::MulDiv(5, 1, 3), 2);
  EXPECT_EQ(crt::MulDiv(1, 1, 0), -1);
  EXPECT_EQ(crt::MulDiv(INT_MAX, 2, 1), -1);
  EXPECT_EQ(crt::MulDiv(INT_MAX, INT_MAX, INT_MAX), INT_MAX) << "64-bit intermediate";
  EXPECT_EQ(crt::MulDiv(INT_MIN, 1, 1), INT_MIN);
  EXPECT_EQ(crt::MulDiv(INT_MIN, -1, 1), -1);
}

TEST(CrtTime, FormatsLikeCtime) {
  const char* old = std::getenv("TZ");
  std::string saved = old ? old : "";
  setenv("TZ", "UTC", 1);
  tzset();
  char text[26];
  crt::CTimeText(315626635, text, sizeof text);
  EXPECT_STREQ(text, "Wed Jan 02 02:03:55 1980\n");
  char small[8] = "xxxxxxx";
  crt::CTimeText(315626635, small, sizeof small);
  EXPECT_STREQ(small, "Wed Jan") << "cut to the buffer, terminated";
  crt::CTimeText(315626635, nullptr, 10);
  if (old)
    setenv("TZ", saved.c_str(), 1);
  else
    unsetenv("TZ");
  tzset();
}

}  // namespace

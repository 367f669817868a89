// The fixed-behaviour C library pieces.
#include "platform/crt/crt.h"

#include <cstdio>

namespace crt {

namespace {
std::uint32_t g_state = 1;
}  // namespace

int rand() {
  g_state = g_state * 214013u + 2531011u;
  return static_cast<int>((g_state >> 16) & 0x7FFFu);
}

void srand(std::uint32_t seed) {
  g_state = seed;
}

std::uint32_t RandState() {
  return g_state;
}

std::int32_t MulDiv(std::int32_t a, std::int32_t b, std::int32_t c) {
  if (c == 0) return -1;
  std::int64_t product = static_cast<std::int64_t>(a) * b;
  std::int64_t half = (c < 0 ? -static_cast<std::int64_t>(c) : c) / 2;
  bool negative = (product < 0) != (c < 0);
  std::int64_t magnitude = (product < 0 ? -product : product);
  std::int64_t divisor = (c < 0 ? -static_cast<std::int64_t>(c) : c);
  std::int64_t result = (magnitude + half) / divisor;
  // The most negative value has no positive twin; anything else beyond 32 bits overflows.
  if (result > (negative ? std::int64_t{INT32_MAX} + 1 : std::int64_t{INT32_MAX})) return -1;
  return static_cast<std::int32_t>(negative ? -result : result);
}

void CTimeText(std::time_t time, char* out, std::size_t size) {
  if (!out || size == 0) return;
  out[0] = '\0';
  std::tm local{};
  if (!localtime_r(&time, &local)) return;
  static const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                  "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  if (local.tm_wday < 0 || local.tm_wday > 6 || local.tm_mon < 0 || local.tm_mon > 11) return;
  std::snprintf(out, size, "%s %s %02d %02d:%02d:%02d %d\n", kDays[local.tm_wday],
                kMonths[local.tm_mon], local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                local.tm_year + 1900);
}

}  // namespace crt

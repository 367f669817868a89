// The clock, the random generator and its range, the maths group in degrees and the print
// operations. Depends on the crt and win32 stand-ins.
#include <cinttypes>
#include <cmath>
#include <cstdio>

#include "platform/crt/crt.h"
#include "platform/win32/user.h"
#include "runtime/core/services.h"
#include "tessark/core.h"

namespace tessark {

namespace {

// From pi rounded to single precision (3.1415927410125732), applied in double precision.
constexpr double kDegreesToRadians = 0.017453293005625408;
constexpr double kRadiansToDegrees = 57.29577791868205;

}  // namespace

std::uint32_t ClockMillis() {
  win32::timeBeginPeriod(1);
  std::uint32_t t = win32::timeGetTime();
  win32::timeEndPeriod(1);
  return t;
}

void RandomSeed(std::uint32_t seed) {
  crt::srand(seed);
}

int Rand() {
  return crt::rand();
}

std::int32_t RandomRange(std::int32_t n) {
  if (n <= 0) return 0;
  // In 64 bits: the sum reaches past 32 bits for large bounds.
  std::int64_t r = 0;
  if (n > 1000) r += 1000 * static_cast<std::int64_t>(crt::rand());
  if (n > 100) r += 100 * static_cast<std::int64_t>(crt::rand());
  if (n > 10) r += 10 * static_cast<std::int64_t>(crt::rand());
  return static_cast<std::int32_t>((crt::rand() + r) % (static_cast<std::int64_t>(n) + 1));
}

void PrintInteger(std::int64_t value) {
  char text[32];
  std::snprintf(text, sizeof text, "%" PRId64, value);
  tessark::PrintDispatch(text, 1);
}

void PrintReal(double value) {
  char text[40];
  std::snprintf(text, sizeof text, "%.12g", value);
  tessark::PrintDispatch(text, 1);
}

void PrintString(const char* text) {
  tessark::PrintDispatch(text ? text : "", 1);
}

float MathCos(float x) {
  return static_cast<float>(std::cos(x * kDegreesToRadians));
}
float MathSin(float x) {
  return static_cast<float>(std::sin(x * kDegreesToRadians));
}
float MathTan(float x) {
  return static_cast<float>(std::tan(x * kDegreesToRadians));
}
float MathAcos(float x) {
  return static_cast<float>(std::acos(static_cast<double>(x)) * kRadiansToDegrees);
}
float MathAsin(float x) {
  return static_cast<float>(std::asin(static_cast<double>(x)) * kRadiansToDegrees);
}
float MathAtan(float x) {
  return static_cast<float>(std::atan(static_cast<double>(x)) * kRadiansToDegrees);
}
float MathSqrt(float x) {
  return static_cast<float>(std::sqrt(static_cast<double>(x)));
}
float MathCosh(float x) {
  return static_cast<float>(std::cosh(x * kDegreesToRadians));
}
float MathSinh(float x) {
  return static_cast<float>(std::sinh(x * kDegreesToRadians));
}
float MathTanh(float x) {
  return static_cast<float>(std::tanh(x * kDegreesToRadians));
}
float MathAbs(float x) {
  return static_cast<float>(std::fabs(static_cast<double>(x)));
}
float MathExp(float x) {
  return static_cast<float>(std::exp(static_cast<double>(x)));
}

}  // namespace tessark

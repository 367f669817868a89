// A clock the test moves, for the span of a scope: every clock reading of the win32 stand-in
// (and so of the runtime) comes from it, and waits move it on instead of waiting. It starts at
// the real clock's time, so that stamps taken before it stay in the past.
#pragma once

#include <cstdint>

#include "platform/win32/user.h"

namespace tessark::testing {

class TestClock {
 public:
  // micros_per_reading: how far each reading moves the clock on, for code that polls it.
  explicit TestClock(std::uint64_t micros_per_reading = 0) : now_(win32::ClockMicros()) {
    win32::testing::SetTimeSource(&now_, micros_per_reading);
  }
  ~TestClock() { win32::testing::SetTimeSource(nullptr); }
  TestClock(const TestClock&) = delete;
  TestClock& operator=(const TestClock&) = delete;

  void Advance(std::uint64_t micros) { now_ += micros; }

 private:
  std::uint64_t now_;
};

}  // namespace tessark::testing

// The C library pieces whose exact behaviour the runtime and the game rely on: the random
// generator with its fixed constants (the system's own rand differs), MulDiv, and the
// ctime-style date text.
#pragma once

#include <cstdint>
#include <ctime>

namespace crt {

constexpr int kRandMax = 0x7FFF;

// state = state * 214013 + 2531011 (mod 2^32); the result is bits 16 to 30 of the new state.
int rand();
void srand(std::uint32_t seed);
std::uint32_t RandState();

// (a * b) / c in 64-bit arithmetic, rounded half away from zero; -1 when c is 0.
std::int32_t MulDiv(std::int32_t a, std::int32_t b, std::int32_t c);

// "Wed Jan 02 02:03:55 1980\n" for a time stamp, in local time, into out (at least 26 bytes).
// An unrepresentable time gives an empty text.
void CTimeText(std::time_t time, char* out, std::size_t size);

}  // namespace crt

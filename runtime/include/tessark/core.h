// The core's game-facing operations: frame pacing and modes, the clock, random numbers, maths
// in degrees, the waits and the print operations.
#pragma once

#include <cstdint>

// The game's main function: the program entry calls it once the runtime is open, and the
// program ends when it returns.
void GameMain();

namespace tessark {

// Gives back a text the runtime returned (every char* result); a null text is ignored.
void TextFree(char* text);

// Frames.
void FrameSync();
void FrameSyncNoPump();
void FrameSyncManual();
void FrameSyncAuto();
void FrameSetRate(std::int32_t rate);
void FrameSpritesLast();
void FrameSpritesFirst();
void FramePresentFirst();
void FramePresentLast();
bool RuntimeRunning();

// Time and random numbers.
std::uint32_t ClockMillis();
void RandomSeed(std::uint32_t seed);
int Rand();  // the seeded generator: 0 to 32767
std::int32_t RandomRange(std::int32_t n);

// Waits (each keeps the window answering).
void WaitMillis(std::int32_t ms);
void WaitKey();
void WaitMouse();

// Printing through the print engine.
void PrintInteger(std::int64_t value);
void PrintReal(double value);
void PrintString(const char* text);

// Maths: angles in degrees.
float MathCos(float x);
float MathSin(float x);
float MathTan(float x);
float MathAcos(float x);
float MathAsin(float x);
float MathAtan(float x);
float MathSqrt(float x);
float MathCosh(float x);
float MathSinh(float x);
float MathTanh(float x);
float MathAbs(float x);
float MathExp(float x);

}  // namespace tessark

/// @file
/// The core: the frame loop and its modes, the clock, random numbers, maths in degrees, the
/// waits, the print operations, and TextFree for every text the runtime returns.
#pragma once

#include <cstdint>

/// The game's main function, which the game defines: the program entry calls it once the runtime
/// is open, and the program ends when it returns.
void GameMain();

/// The game-facing API of the Tessark runtime.
namespace tessark {

/// Gives back a text the runtime returned (every char* result); a null text is ignored.
void TextFree(char* text);

// Frames.
/// Finishes the frame: draws the kept sprites, shows the frame, answers the window and keeps to
/// the frame rate. Nothing can fail.
void FrameSync();
/// As FrameSync, without answering the window's messages.
void FrameSyncNoPump();
/// Manual frames: frames are drawn only by FrameSync, not while the runtime waits.
void FrameSyncManual();
/// Automatic frames (the default): the waits and input reads also draw frames.
void FrameSyncAuto();
/// Frames per second FrameSync keeps to; 0 runs as fast as possible; a negative value waits at
/// least that many milliseconds between frames.
void FrameSetRate(std::int32_t rate);
/// The sprite pass runs after the frame is shown instead of before.
void FrameSpritesLast();
/// The sprite pass runs before the frame is shown (the default).
void FrameSpritesFirst();
/// The frame is shown before the 3D camera pass instead of after it.
void FramePresentFirst();
/// The frame is shown after the 3D camera pass (the default).
void FramePresentLast();
/// True until the window has been closed (or Escape pressed while Escape quits); the game's
/// loop test.
bool RuntimeRunning();

// Time and random numbers.
/// Milliseconds of the system clock (wraps after 49 days).
std::uint32_t ClockMillis();
/// Starts the random sequence from seed.
void RandomSeed(std::uint32_t seed);
/// The next number of the seeded sequence, 0 to 32767.
int Rand();
/// A random number from 0 to n; 0 when n is 0 or less.
std::int32_t RandomRange(std::int32_t n);

// Waits (each keeps the window answering, and returns early when the window closes).
/// Waits ms milliseconds.
void WaitMillis(std::int32_t ms);
/// Waits until a key is pressed (a key held at the call must be let go first).
void WaitKey();
/// Waits until a mouse button is pressed (a button held at the call must be let go first).
void WaitMouse();

// Printing through the print engine: lines at the print cursor, scrolling up at the bottom.
/// Prints an integer and a new line.
void PrintInteger(std::int64_t value);
/// Prints a real number and a new line.
void PrintReal(double value);
/// Prints a text and a new line; a null text prints an empty line.
void PrintString(const char* text);

// Maths: angles in degrees; results of undefined operations are NaN, never an error.
/// Cosine of x degrees.
float MathCos(float x);
/// Sine of x degrees.
float MathSin(float x);
/// Tangent of x degrees.
float MathTan(float x);
/// Arc cosine in degrees; NaN outside -1 to 1.
float MathAcos(float x);
/// Arc sine in degrees; NaN outside -1 to 1.
float MathAsin(float x);
/// Arc tangent in degrees.
float MathAtan(float x);
/// Square root; NaN for a negative x.
float MathSqrt(float x);
/// Hyperbolic cosine.
float MathCosh(float x);
/// Hyperbolic sine.
float MathSinh(float x);
/// Hyperbolic tangent.
float MathTanh(float x);
/// Absolute value.
float MathAbs(float x);
/// e to the power x.
float MathExp(float x);

}  // namespace tessark

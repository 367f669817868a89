/// @file
/// The core: starting and stopping the runtime, the program's folders and arguments, the frame
/// loop and its modes, the clock, random numbers, maths in degrees, the waits, the print
/// operations, and TextFree for every text the runtime returns.
///
/// A game starts in one of two ways.
///  - It defines GameMain() and links the runtime's own main (the `tessark_main` library, which
///    the installed runtime includes). That main does what RuntimeStart does, calls GameMain,
///    and ends the program when GameMain returns.
///  - It keeps its own `int main(int argc, char** argv)`, calls RuntimeStart(argc, argv) before
///    any other runtime call and RuntimeStop() at its end. It does not define GameMain.
///
/// Either way, the start changes the working folder: it makes the folder that holds the game's
/// `Data` folder the working folder, looking in this order at the executable's own folder,
/// `../share/<executable's name>` beside it (an installed game), then the folder the user started
/// in; when none of them holds `Data`, the executable's own folder. So relative names such as
/// `"Data/ball.png"` find the game's files wherever the user starts it from. A name the user
/// typed (a command-line argument) is relative to DirectoryStart(); files the game writes
/// belong in DirectoryUserData(), since an installed game's own folder is not writable.
///
/// A runtime call made while the runtime is not open does nothing; the first such call prints
/// once on standard error what happened and how to open the runtime.
#pragma once

#include <cstdint>

/// The game's main function, for a game that uses the runtime's own main: it is called once the
/// runtime is open, and the program ends when it returns. A game with its own main() does not
/// define it.
void GameMain();

namespace tessark {

/// Gives back a text the runtime returned (every char* result); a null text is ignored.
void TextFree(char* text);

// Starting and stopping, for a game with its own main().
/// Opens the runtime for a game with its own main(), as the runtime's own main does. It reads
/// the runtime's command-line options (`--help` lists them; what it does not take is the
/// game's, see ArgumentGet), records the start folder, enters the folder that holds Data (as
/// this header's opening comment says) and opens a centred 640 x 480 window. True when the runtime
/// is open. False when it could not be: why has been printed on standard error (a bad option, no
/// display), and main should end with a non-zero status. `--help` prints the options and ends the
/// program with status 0. Calling it again while the runtime is open changes nothing and answers
/// true.
bool RuntimeStart(int argc, char** argv);
/// Closes the runtime (every module, the window) and returns to the folder the program was
/// started in. Call it before main returns; when a game forgets, it runs as the program ends.
/// Nothing when the runtime is not open. RuntimeStart may open it again afterwards.
void RuntimeStop();

// The program's folders and arguments.
/// The folder the user started the program in (before the start entered the folder that holds
/// Data), as an absolute path in a new text. Names the user typed are relative to it.
char* DirectoryStart();
/// The game's own per-user folder to write saves, scores and settings to, as an absolute path
/// in a new text: `$XDG_DATA_HOME/<executable's name>`, else `~/.local/share/<executable's
/// name>`. Made, with its parents, on the first call when it does not exist. "" when there is no
/// home folder or the folder cannot be made.
char* DirectoryUserData();
/// How many command-line arguments are the game's: every argument the runtime's own options
/// (`--record FILE`, `--scale N` ...) did not take, and everything after `--`.
std::int32_t ArgumentCount();
/// The game's argument n, counting from 1, as a new text (as typed: a relative file name is
/// relative to DirectoryStart()); "" when n is outside 1 to ArgumentCount().
char* ArgumentGet(std::int32_t n);

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
/// loop test. False while the runtime is not open.
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

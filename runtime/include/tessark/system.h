/// @file
/// The system module's switches: whether the Escape key in the window ends the program.
#pragma once

namespace tessark {

/// Escape no longer ends the program (the game handles Escape itself).
void EscapeQuitOff();
/// Escape in the window ends the program again (the default).
void EscapeQuitOn();

}  // namespace tessark

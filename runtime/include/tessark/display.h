/// @file
/// The display: the display mode, the window's placement and style, windowed and full-screen
/// operation, and queries about the adapter, the modes, the frame rate and gamma. A display set-up
/// that fails records one of the error::kDisplay... codes.
#pragma once

#include <cstdint>

#include "tessark/core.h"

namespace tessark {

/// Sets the display up again at width by height by depth (16 or 32), every module's device
/// resources released before and re-created after; a bad size or depth, or a device that cannot
/// be made, records its error::kDisplay... code.
void DisplaySetMode(std::int32_t width, std::int32_t height, std::int32_t depth);
/// Switches to a framed window; a failed set-up records its error::kDisplay... code.
void DisplaySwitchWindowed();
/// Switches to an exclusive full-screen display; a failed set-up records its error::kDisplay...
/// code.
void DisplaySwitchFullScreen();

// The window. These do nothing while there is no window.
/// Hides the window.
void WindowHide();
/// Shows the window.
void WindowShow();
/// Minimises the window.
void WindowMinimise();
/// Maximises the window.
void WindowMaximise();
/// Restores the window from minimised or maximised.
void WindowRestore();
/// Moves the window's top-left corner to x, y on the desktop.
void WindowSetPosition(std::int32_t x, std::int32_t y);
/// Resizes the window.
void WindowSetSize(std::int32_t width, std::int32_t height);
/// Style 1 framed, 2 to 4 popup variants, anything else a bare popup; caption 1 adds a title
/// bar; icon 1 keeps the class icon, anything else removes it.
void WindowSetStyle(std::int32_t style, std::int32_t caption, std::int32_t icon);
/// Sets the window's title; a null title does nothing.
void WindowSetTitle(const char* title);
/// Whether a top-level window has this title; false for a null title.
bool WindowExists(const char* title);
/// Puts the window behind the others.
void WindowToBack();
/// Brings the window in front of the others.
void WindowToFront();
/// Puts the window with this title behind the others; nothing when there is none.
void WindowToBackByTitle(const char* title);
/// Brings the window with this title to the front; nothing when there is none.
void WindowToFrontByTitle(const char* title);

// Queries.
/// Whether the display is a window (rather than full screen).
bool DisplayWindowed();
/// The number of display adapters; 0 without a display.
std::int32_t DisplayAdapterCount();
/// The number of display modes of the first adapter; 0 without a display.
std::int32_t DisplayModeCount();
/// "width x height x depth" of entry index of the mode list, as a new text (give it back with
/// TextFree); "" for an index outside the list.
char* DisplayModeDescription(std::int32_t index);
/// Frames begun per second, measured over a second or more; 0 before the first second. It
/// counts the frames it is called in, so call it every frame (and show the answer when you
/// like): called less often, it answers less than the real rate.
std::int32_t DisplayFps();

/// Sets gamma: 0 to 511 per channel, 255 is neutral (the ramp never leaves its range).
void DisplaySetGamma(std::int32_t red, std::int32_t green, std::int32_t blue);
/// Reads the gamma set last into the three numbers (nulls are skipped).
void DisplayGamma(std::int32_t* red, std::int32_t* green, std::int32_t* blue);

}  // namespace tessark

// The display module's game-facing operations: the display mode, the window's placement and
// style, windowed and full-screen operation, and queries about the adapter, the modes, the
// frame rate and gamma.
#pragma once

#include <cstdint>

#include "tessark/core.h"

namespace tessark {

// Sets the display up again at width by height by depth (16 or 32), every module's device
// resources released before and re-created after.
void DisplaySetMode(std::int32_t width, std::int32_t height, std::int32_t depth);

// Switches between a framed window (window mode 1) and an exclusive full-screen display
// (window mode 3).
void DisplaySwitchWindowed();
void DisplaySwitchFullScreen();

// The window.
void WindowHide();
void WindowShow();
void WindowMinimise();
void WindowMaximise();
void WindowRestore();
void WindowSetPosition(std::int32_t x, std::int32_t y);
void WindowSetSize(std::int32_t width, std::int32_t height);
// Style 1 framed, 2 to 4 popup variants, anything else a bare popup; caption 1 adds a title
// bar; icon 1 keeps the class icon, anything else removes it.
void WindowSetStyle(std::int32_t style, std::int32_t caption, std::int32_t icon);
void WindowSetTitle(const char* title);
// 1 when a top-level window has this title.
bool WindowExists(const char* title);
void WindowToBack();
void WindowToFront();
void WindowToBackByTitle(const char* title);
void WindowToFrontByTitle(const char* title);

// Queries.
bool DisplayWindowed();
std::int32_t DisplayAdapterCount();
std::int32_t DisplayModeCount();
// "width x height x depth" of entry index of the mode list into buffer (capacity bytes, always
// terminated); an index outside the list gives "".
char* DisplayModeDescription(std::int32_t index);
// Frames begun per second, measured over a second or more.
std::int32_t DisplayFps();

// Gamma: 0 to 511 per channel, 255 is neutral.
void DisplaySetGamma(std::int32_t red, std::int32_t green, std::int32_t blue);
void DisplayGamma(std::int32_t* red, std::int32_t* green, std::int32_t* blue);

}  // namespace tessark

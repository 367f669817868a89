/// @file
/// Input: the keyboard, the mouse and one game controller, force-feedback effects on it, and the
/// desktop services beside them (cursor, clipboard, registry). Every query reads its device at
/// the moment of the call; without the device it answers 0 (false). Texts returned are new: give
/// them back with TextFree.
#pragma once

#include <cstdint>

#include "tessark/core.h"
#include "tessark/keys.h"

namespace tessark {

// Keyboard. The named tests answer true while their key is down, and then empty the key buffer.
/// Whether Escape is down.
bool KeyEscape();
/// Whether the up arrow is down.
bool KeyUp();
/// Whether the down arrow is down.
bool KeyDown();
/// Whether the left arrow is down.
bool KeyLeft();
/// Whether the right arrow is down.
bool KeyRight();
/// Whether a Control key is down.
bool KeyControl();
/// Whether a Shift key is down.
bool KeyShift();
/// Whether the space bar is down.
bool KeySpace();
/// Whether Return is down.
bool KeyReturn();
/// Whether the key with that scan code (0..255, named in tessark/keys.h: key::kA, key::kLeft
/// ...) is down; false outside that range.
bool KeyState(std::int32_t scancode);
/// The lowest scan code (a key:: name) of a key that is down; 0 when none.
std::int32_t KeyScancode();

/// What has been typed into the window since the last EntryClear, as a new text; with
/// apply_backspaces each backspace removes the character before it. "" when nothing was typed.
char* EntryText(std::int32_t apply_backspaces);
/// Empties the typed text.
void EntryClear();

// Mouse. Positions are display pixels.
/// The pointer's x.
std::int32_t MouseX();
/// The pointer's y.
std::int32_t MouseY();
/// The wheel position.
std::int32_t MouseZ();
/// The buttons held, added together: mouse::kLeft (1), mouse::kRight (2), mouse::kMiddle (4),
/// mouse::kFourth (8). Test one with `MouseButtons() & mouse::kLeft`.
std::int32_t MouseButtons();
/// Horizontal movement since the last call.
std::int32_t MouseMoveX();
/// Vertical movement since the last call.
std::int32_t MouseMoveY();
/// Wheel movement since the last call.
std::int32_t MouseMoveZ();
/// Shows the pointer over the window.
void MouseShow();
/// Hides the pointer over the window.
void MouseHide();
/// Moves the pointer to x, y.
void MousePlace(std::int32_t x, std::int32_t y);
/// Selects one of the runtime's cursor images; nothing for an index without one.
void MouseCursorImage(std::int32_t index);

/// Puts a text on the clipboard; false when the clipboard could not be opened.
bool ClipboardWrite(const char* text);
/// The clipboard's text, as a new text; "" when it holds none.
char* ClipboardRead();

// Registry values under the local-machine root. Paths and names are limited to 254 characters,
// texts to 255; longer ones are not stored.
/// Stores a number; nothing when the key cannot be made.
void RegistryWriteNumber(const char* key, const char* name, std::int32_t number);
/// Stores a text; nothing when the key cannot be made or the text is too long.
void RegistryWriteText(const char* key, const char* name, const char* text);
/// The stored number; 0 when there is none.
std::int32_t RegistryReadNumber(const char* key, const char* name);
/// The stored text, as a new text; "" when there is none.
char* RegistryReadText(const char* key, const char* name);

// Game controller: choose one by product name (empty: any) and position, list them.
/// Selects the index-th controller whose name contains name (empty: any); records
/// error::kControllerNotFound when none is opened.
void ControllerSelect(const char* name, std::int32_t index);
/// As ControllerSelect with index 0.
void ControllerSelect(const char* name);
/// The selected controller's name, as a new text; "" when none is selected.
char* ControllerName();
/// Fills the runtime's check list with the attached controllers.
void ControllerList();
/// Whether the stick is pushed up.
bool ControllerUp();
/// Whether the stick is pushed down.
bool ControllerDown();
/// Whether the stick is pushed left.
bool ControllerLeft();
/// Whether the stick is pushed right.
bool ControllerRight();
/// The stick's x axis.
std::int32_t ControllerX();
/// The stick's y axis.
std::int32_t ControllerY();
/// The stick's z axis.
std::int32_t ControllerZ();
/// The x rotation axis.
std::int32_t ControllerTurnX();
/// The y rotation axis.
std::int32_t ControllerTurnY();
/// The z rotation axis.
std::int32_t ControllerTurnZ();
/// The first slider.
std::int32_t ControllerSliderA();
/// The second slider.
std::int32_t ControllerSliderB();
/// The first slider's speed.
std::int32_t ControllerSliderSpeedA();
/// The second slider's speed.
std::int32_t ControllerSliderSpeedB();
/// Whether the first fire button is held.
bool ControllerFireA();
/// Whether the second fire button is held.
bool ControllerFireB();
/// Whether the third fire button is held.
bool ControllerFireC();
/// Whether the fourth fire button is held.
bool ControllerFireD();
/// Whether button 0..31 is held; false outside that range.
bool ControllerButton(std::int32_t button);
/// Hat 0..3: its direction in hundredths of a degree; -1 when centred or outside 0..3.
std::int32_t ControllerHat(std::int32_t hat);

// Force feedback on the controller. Magnitudes 0..100, angles 0..360 degrees, durations in
// milliseconds (0: until stopped). Each records error::kForceFeedbackUnavailable without a
// force-feedback controller, and error::kForceMagnitudeOutOfRange, kForceAngleOutOfRange or
// kForceDurationNegative for a bad value; nothing is played then.
/// Pushes the stick up for a tenth of a second.
void ForceUp(std::int32_t magnitude);
/// Pushes the stick down for a tenth of a second.
void ForceDown(std::int32_t magnitude);
/// Pushes the stick left for a tenth of a second.
void ForceLeft(std::int32_t magnitude);
/// Pushes the stick right for a tenth of a second.
void ForceRight(std::int32_t magnitude);
/// Pushes towards angle for duration.
void ForceAngle(std::int32_t magnitude, std::int32_t angle, std::int32_t duration);
/// A constant push for duration.
void ForceConstant(std::int32_t magnitude, std::int32_t duration);
/// A fast shake for duration.
void ForceWaveShort(std::int32_t magnitude, std::int32_t duration);
/// A slow shake for duration.
void ForceWaveLong(std::int32_t magnitude, std::int32_t duration);
/// Damps the stick's movement for duration.
void ForceDamper(std::int32_t magnitude, std::int32_t duration);
/// Stops every effect.
void ForceStop();
/// The stick centres itself.
void ForceCenterOn();
/// The stick no longer centres itself.
void ForceCenterOff();

}  // namespace tessark

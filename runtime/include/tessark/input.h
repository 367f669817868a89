// Input: the keyboard, the mouse and one game controller, force-feedback effects on it, and
// the desktop services beside them (cursor, clipboard, registry).
//
// Every query reads its device at the moment of the call. Text results are new texts made
// through the core's text allocation: hand a previous result back as `previous` to have it
// freed, or give it back with TextFree.
#pragma once

#include <cstdint>

#include "tessark/core.h"

namespace tessark {

// Keyboard. The named tests answer 1 while their key is down, and then empty the key buffer.
bool KeyEscape();
bool KeyUp();
bool KeyDown();
bool KeyLeft();
bool KeyRight();
bool KeyControl();
bool KeyShift();
bool KeySpace();
bool KeyReturn();
// 1 while the key with that scan code (0..255) is down.
bool KeyState(std::int32_t scancode);
// The lowest scan code of a key that is down, 0 when none.
std::int32_t KeyScancode();

// Typed text: what the window has been typed since the last EntryClear; with
// apply_backspaces, each backspace removes the character before it.
char* EntryText(std::int32_t apply_backspaces);
void EntryClear();

// Mouse. Positions are display pixels.
std::int32_t MouseX();
std::int32_t MouseY();
std::int32_t MouseZ();
// 1 left, 2 right, 4 middle, 8 fourth button, while held.
std::int32_t MouseButtons();
// Movement since the matching query last asked.
std::int32_t MouseMoveX();
std::int32_t MouseMoveY();
std::int32_t MouseMoveZ();
void MouseShow();
void MouseHide();
void MousePlace(std::int32_t x, std::int32_t y);
void MouseCursorImage(std::int32_t index);

// Clipboard (plain text). ClipboardWrite returns 0 when the clipboard could not be opened.
bool ClipboardWrite(const char* text);
char* ClipboardRead();

// Registry values under the local-machine root. Paths and names are limited to 254
// characters, texts to 255.
void RegistryWriteNumber(const char* key, const char* name, std::int32_t number);
void RegistryWriteText(const char* key, const char* name, const char* text);
std::int32_t RegistryReadNumber(const char* key, const char* name);
char* RegistryReadText(const char* key, const char* name);

// Game controller: choose one by product name (empty: any) and position, list them.
void ControllerSelect(const char* name, std::int32_t index);
void ControllerSelect(const char* name);
char* ControllerName();
void ControllerList();
bool ControllerUp();
bool ControllerDown();
bool ControllerLeft();
bool ControllerRight();
std::int32_t ControllerX();
std::int32_t ControllerY();
std::int32_t ControllerZ();
std::int32_t ControllerTurnX();
std::int32_t ControllerTurnY();
std::int32_t ControllerTurnZ();
std::int32_t ControllerSliderA();
std::int32_t ControllerSliderB();
std::int32_t ControllerSliderSpeedA();
std::int32_t ControllerSliderSpeedB();
bool ControllerFireA();
bool ControllerFireB();
bool ControllerFireC();
bool ControllerFireD();
bool ControllerButton(std::int32_t button);
std::int32_t ControllerHat(std::int32_t hat);

// Force feedback on the controller. Magnitudes 0..100, angles 0..360 degrees, durations in
// milliseconds (0: until stopped).
void ForceUp(std::int32_t magnitude);
void ForceDown(std::int32_t magnitude);
void ForceLeft(std::int32_t magnitude);
void ForceRight(std::int32_t magnitude);
void ForceAngle(std::int32_t magnitude, std::int32_t angle, std::int32_t duration);
void ForceConstant(std::int32_t magnitude, std::int32_t duration);
void ForceWaveShort(std::int32_t magnitude, std::int32_t duration);
void ForceWaveLong(std::int32_t magnitude, std::int32_t duration);
void ForceDamper(std::int32_t magnitude, std::int32_t duration);
void ForceStop();
void ForceCenterOn();
void ForceCenterOff();

}  // namespace tessark

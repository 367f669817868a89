// Test support for everything that runs on the real runtime.
//
// tessark::testing::RuntimeFixture opens the whole runtime headless, the way the program entry
// does: SetUp calls RuntimeWire, ErrorWordSet (with the fixture's error_word_) and
// RuntimeOpen(1, 640, 480, 32, program instance, ""); TearDown calls RuntimeClose, which leaves
// the runtime ready for the next test. Tests run under SDL's dummy video and audio drivers
// (tessark_test sets SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy).
//
//   #include "tests/support/runtime_fixture.h"
//   using tessark::testing::RuntimeFixture;
//   TEST_F(RuntimeFixture, ClickSetsTheButtonBit) {
//     tessark::testing::MouseMoveTo(100, 50);
//     tessark::testing::MouseButtonDown(SDL_BUTTON_LEFT);
//     tessark::testing::RunFrames(1);
//     EXPECT_EQ(tessark::CoreDataGet()->mouse_buttons, 1);
//   }
//
// open_result_ holds RuntimeOpen's answer: 0 when every module was constructed, 1 when the
// display module is missing or refused (then no other module was constructed). Override
// WindowMode() for another window mode (0 keeps the window hidden).
//
// The event helpers push real SDL events for the runtime's window; they arrive the way a user's
// input does, at the next message pump (FrameSync, RunFrames, PumpMessages). Mouse positions
// are given in display pixels and converted to the window's client coordinates, so they come
// back unchanged from the window's mouse scaling whatever the client size.
//
// Link: tessark_test(test_x LIBS tessark tessark_test_support).
#pragma once

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdint>

#include "platform/win32/win_types.h"

namespace tessark::testing {

class RuntimeFixture : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // The window mode RuntimeOpen is given (1: a centred window).
  virtual std::uint32_t WindowMode() const { return 1; }

  std::int32_t error_word_ = 0;
  std::int32_t open_result_ = -1;
};

// The runtime's window and its SDL window id.
HWND Window();
Uint32 WindowId();

// Stretches the window's client area to width x height (the display keeps its size).
void ClientSize(int width, int height);

// Mouse: a move to a display position, or to a position in client pixels as the window
// system reports it, and button presses (SDL_BUTTON_LEFT, ...) at the last position moved to.
void MouseMoveTo(int display_x, int display_y);
void MouseMoveToClient(int client_x, int client_y);
void MouseButtonDown(Uint8 button = SDL_BUTTON_LEFT);
void MouseButtonUp(Uint8 button = SDL_BUTTON_LEFT);

// Keyboard: key events by scancode, and typed text (UTF-8) as text-input events.
void KeyDown(SDL_Scancode scancode);
void KeyUp(SDL_Scancode scancode);
void KeyPress(SDL_Scancode scancode);  // down, then up
void TextInput(const char* utf8);

// The window's close box.
void WindowClose();

// Delivers what was pushed: one MessagePump.
void PumpMessages();
// Calls FrameSync n times.
void RunFrames(int n);

}  // namespace tessark::testing

// Keyboard, typed text and mouse queries of the input module, driven by SDL events.
#include <cstdlib>
#include <cstring>
#include <string>

#include "input_fixture.h"
#include "runtime/core/module_table.h"
#include "runtime/core/text_alloc.h"
#include "runtime/input/input_state.h"

namespace {

using namespace input_test;

TEST_F(InputModuleTest, KeyEscapeAnswersOnlyForEscapeAndWhileItIsHeld) {
  Open();
  Key(SDL_SCANCODE_A, true);
  Key(SDL_SCANCODE_SPACE, true);
  Key(SDL_SCANCODE_RETURN, true);
  EXPECT_EQ(KeyEscape(), 0);
  Key(SDL_SCANCODE_ESCAPE, true);
  // Every call reads the keyboard afresh: the emptied buffer does not hide a held key.
  EXPECT_EQ(KeyEscape(), 1);
  EXPECT_EQ(KeyEscape(), 1);
  win32::PumpSdlEvents();  // a frame boundary
  EXPECT_EQ(KeyEscape(), 1);
  Key(SDL_SCANCODE_ESCAPE, false);
  EXPECT_EQ(KeyEscape(), 0);
}

TEST_F(InputModuleTest, NamedKeysTestTheirCodes) {
  Open();
  EXPECT_EQ(KeyControl() + KeyShift() + KeyUp() + KeyDown() + KeyLeft() + KeyRight(), 0);
  Key(SDL_SCANCODE_RCTRL, true);
  Key(SDL_SCANCODE_RSHIFT, true);
  Key(SDL_SCANCODE_DOWN, true);
  EXPECT_EQ(KeyControl(), 1);  // either control key counts
  EXPECT_EQ(KeyShift(), 1);
  EXPECT_EQ(KeyDown(), 1);
  EXPECT_EQ(KeyUp(), 0);
  EXPECT_EQ(KeySpace(), 0);
  Key(SDL_SCANCODE_SPACE, true);
  Key(SDL_SCANCODE_RETURN, true);
  EXPECT_EQ(KeySpace(), 1);
  EXPECT_EQ(KeyReturn(), 1);
}

TEST_F(InputModuleTest, KeyStateAndKeyScancode) {
  Open();
  EXPECT_EQ(KeyScancode(), 0);
  Key(SDL_SCANCODE_LEFT, true);
  Key(SDL_SCANCODE_B, true);
  EXPECT_EQ(KeyState(203), 1);
  EXPECT_EQ(KeyState(DIK_B), 1);
  EXPECT_EQ(KeyState(DIK_A), 0);
  EXPECT_EQ(KeyState(300), 0);
  EXPECT_EQ(KeyState(-1), 0);
  EXPECT_EQ(KeyState(256), 0);
  EXPECT_EQ(KeyScancode(), DIK_B);  // the lowest code held (0x30 before 0xCB)
  EXPECT_EQ(KeyScancode(), DIK_B);  // and it does not empty anything
  Key(SDL_SCANCODE_B, false);
  EXPECT_EQ(KeyScancode(), 203);
}

TEST_F(InputModuleTest, EntryTextAppliesBackspacesOnRequest) {
  Open();
  char* none = EntryText(1);
  EXPECT_STREQ(none, "");  // no buffer yet
  const char typed[] = "\bab\bc\b\bxy";
  tessark::TextAlloc(&core_->typed_text, 32);
  std::memcpy(core_->typed_text, typed, sizeof typed);
  TextFree(none);
  char* raw = EntryText(0);
  EXPECT_STREQ(raw, typed);
  TextFree(raw);
  char* edited = EntryText(1);
  EXPECT_STREQ(edited, "xy");
  TextFree(edited);
  EntryClear();
  EXPECT_EQ(core_->typed_text[0], '\0');
  char* empty = EntryText(1);
  EXPECT_STREQ(empty, "");
  TextFree(empty);
}

TEST_F(InputModuleTest, MouseButtonsReportHeldButtons) {
  Open();
  EXPECT_EQ(MouseButtons(), 0);
  Button(SDL_BUTTON_LEFT, true);
  EXPECT_EQ(MouseButtons(), 1);
  win32::PumpSdlEvents();  // held over a frame boundary
  EXPECT_EQ(MouseButtons(), 1);
  Button(SDL_BUTTON_RIGHT, true);
  EXPECT_EQ(MouseButtons(), 3);
  Button(SDL_BUTTON_LEFT, false);
  Button(SDL_BUTTON_RIGHT, false);
  EXPECT_EQ(MouseButtons(), 0);
  Button(SDL_BUTTON_X1, true);
  EXPECT_EQ(MouseButtons(), 8);
  Button(SDL_BUTTON_X1, false);
  Button(SDL_BUTTON_MIDDLE, true);
  EXPECT_EQ(MouseButtons(), 4);
}

TEST_F(InputModuleTest, MovementSumsAndTheWheel) {
  Open();
  Motion(5, -2);
  Motion(7, 1);
  Wheel(1);
  EXPECT_EQ(MouseMoveX(), 12);  // also sums Y and Z into their own sums
  EXPECT_EQ(MouseMoveX(), 0);
  Motion(1, 1);
  EXPECT_EQ(MouseMoveY(), 0);  // -2 + 1 + 1
  Wheel(2);
  EXPECT_EQ(MouseZ(), 360);
  EXPECT_EQ(MouseMoveZ(), 360);
  EXPECT_EQ(MouseMoveZ(), 0);
  EXPECT_EQ(MouseZ(), 360);  // the wheel position is not a movement sum
  // A second PassCoreData starts the wheel position again at 0.
  tessark::Modules().input.PassCoreData(core_);
  EXPECT_EQ(MouseZ(), 0);
}

TEST_F(InputModuleTest, MousePositionIsTheCoresDisplayPosition) {
  Open(false);
  EXPECT_EQ(MouseX(), 0);  // no core block yet
  EXPECT_EQ(MouseY(), 0);
  tessark::Modules().input.PassCoreData(core_);
  core_->mouse_x = 50;
  core_->mouse_y = 25;
  EXPECT_EQ(MouseX(), 50);
  EXPECT_EQ(MouseY(), 25);
}

TEST_F(InputModuleTest, MouseShowAndHideFollowTheFlag) {
  Open();
  EXPECT_EQ(core_->cursor_visible, 1);  // visible from the start: showing changes nothing
  MouseShow();
  EXPECT_EQ(core_->cursor_visible, 1);
  MouseHide();
  EXPECT_EQ(core_->cursor_visible, 0);
  MouseHide();
  EXPECT_EQ(core_->cursor_visible, 0);
  MouseShow();
  MouseShow();
  EXPECT_EQ(core_->cursor_visible, 1);
}

TEST_F(InputModuleTest, MouseCursorImageGoesToTheCoreService) {
  static std::int32_t selected = -1;
  core_->CursorSelect = [](std::int32_t index) { selected = index; };
  Open();
  MouseCursorImage(7);
  EXPECT_EQ(selected, 7);
}

// ---- set-up failures ----

struct SetupCase {
  dinput::testing::Fail step;
  const char* notice;
};

class InputSetupFailure : public InputModuleTest,
                          public ::testing::WithParamInterface<SetupCase> {};

TEST_P(InputSetupFailure, ReportsTheStepAndLeavesNoDevices) {
  dinput::testing::FailNext(GetParam().step);
  Open();
  EXPECT_STREQ(tessark::input::testing::LastNotice(), GetParam().notice);
  core_->mouse_x = 33;
  Key(SDL_SCANCODE_ESCAPE, true);
  Button(SDL_BUTTON_LEFT, true);
  Motion(4, 4);
  EXPECT_EQ(KeyEscape(), 0);
  EXPECT_EQ(KeyScancode(), 0);
  EXPECT_EQ(MouseButtons(), 0);
  EXPECT_EQ(MouseMoveX(), 0);
  EXPECT_EQ(MouseX(), 33);
  EXPECT_EQ(ControllerX(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    EverySetupStep, InputSetupFailure,
    ::testing::Values(SetupCase{dinput::testing::Fail::kCreateInterface,
                                "Unable to create DirectInput interface"},
                      SetupCase{dinput::testing::Fail::kCreateKeyboard,
                                "Unable to access keyboard for input library"},
                      SetupCase{dinput::testing::Fail::kKeyboardDataFormat,
                                "Failed to set data format for keyboard in input library"},
                      SetupCase{dinput::testing::Fail::kKeyboardCooperativeLevel,
                                "Failed to set cooperative level for keyboard in input library"},
                      SetupCase{dinput::testing::Fail::kCreateMouse,
                                "Unable to access mouse for input library"},
                      SetupCase{dinput::testing::Fail::kMouseCooperativeLevel,
                                "Failed to set cooperative level for mouse in input library"},
                      SetupCase{dinput::testing::Fail::kMouseDataFormat,
                                "Failed to set data format for mouse in input library"}));

TEST_F(InputModuleTest, DestructorThenConstructorLeavesTheModuleAsNew) {
  Open();
  Motion(9, 0);
  Wheel(1);
  EXPECT_EQ(MouseZ(), 120);
  tessark::Modules().input.Destructor();
  Open();
  EXPECT_EQ(MouseMoveX(), 0);
  EXPECT_EQ(MouseZ(), 0);
  EXPECT_STREQ(tessark::input::testing::LastNotice(), "");
}

}  // namespace

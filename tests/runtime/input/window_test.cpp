// The input module on the real runtime window: positions scaled by the window procedure,
// buttons and keys held over frame boundaries, the cursor's display count, typed text and
// placing the pointer.
#include <cstdlib>
#include <string>

#include "platform/win32/user.h"
#include "runtime/core/core_data.h"
#include "runtime/core/module_table.h"
#include "tessark/core.h"
#include "tessark/input.h"
#include "tests/support/runtime_fixture.h"

using namespace tessark;

namespace {

namespace t = tessark::testing;
using tessark::CoreDataGet;

class InputWindowTest : public t::RuntimeFixture {
 protected:
  void SetUp() override {
    RuntimeFixture::SetUp();
    ASSERT_NE(t::Window(), nullptr);
    // Until every module the runtime opens is built, the input module may not have been
    // constructed by RuntimeOpen: start it the way RuntimeOpen does.
    if (!CoreDataGet()->module_present[tessark::kModuleInput]) {
      auto& entries = tessark::Modules().input;
      entries.Constructor(win32::GetModuleHandleA(nullptr));
      entries.SetErrorHandler(&error_word_);
      entries.PassCoreData(CoreDataGet());
      constructed_here_ = true;
    }
    CoreDataGet()->escape_quits = 0;  // as the game does: Escape is its own quit test
  }
  void TearDown() override {
    if (constructed_here_) tessark::Modules().input.Destructor();
    RuntimeFixture::TearDown();
  }

  bool constructed_here_ = false;
};

TEST_F(InputWindowTest, MousePositionIsInDisplayPixelsWhateverTheClientSize) {
  t::ClientSize(1280, 960);
  RECT client{};
  win32::GetClientRect(t::Window(), &client);
  ASSERT_EQ(client.right, 1280);
  ASSERT_EQ(client.bottom, 960);
  t::MouseMoveToClient(100, 50);
  t::PumpMessages();
  EXPECT_EQ(MouseX(), 50);
  EXPECT_EQ(MouseY(), 25);
}

TEST_F(InputWindowTest, LeftButtonHeldOverAFrameBoundaryReadsOne) {
  t::MouseMoveTo(200, 100);
  t::MouseButtonDown(SDL_BUTTON_LEFT);
  t::RunFrames(1);
  EXPECT_EQ(MouseButtons(), 1);
  t::RunFrames(1);
  EXPECT_EQ(MouseButtons(), 1);
  EXPECT_EQ(MouseX(), 200);
  EXPECT_EQ(MouseY(), 100);
  t::MouseButtonUp(SDL_BUTTON_LEFT);
  t::RunFrames(1);
  EXPECT_EQ(MouseButtons(), 0);
}

TEST_F(InputWindowTest, EscapeReadsOneWhileHeld) {
  t::KeyDown(SDL_SCANCODE_A);
  t::RunFrames(1);
  EXPECT_EQ(KeyEscape(), 0);
  t::KeyDown(SDL_SCANCODE_ESCAPE);
  t::RunFrames(1);
  EXPECT_EQ(KeyEscape(), 1);
  t::RunFrames(1);
  EXPECT_EQ(KeyEscape(), 1);
  EXPECT_TRUE(RuntimeRunning());  // with Escape-quits off the window leaves Escape alone
  t::KeyUp(SDL_SCANCODE_ESCAPE);
  t::RunFrames(1);
  EXPECT_EQ(KeyEscape(), 0);
}

TEST_F(InputWindowTest, ShowingTwiceAfterOneHideShowsOnce) {
  // The display count, read by showing once more and taking that back.
  auto count = [] {
    int c = win32::ShowCursor(TRUE) - 1;
    win32::ShowCursor(FALSE);
    return c;
  };
  int before = count();
  MouseShow();  // already visible after start-up: nothing changes
  EXPECT_EQ(count(), before);
  MouseHide();
  EXPECT_EQ(count(), before - 1);
  EXPECT_EQ(CoreDataGet()->cursor_visible, 0);
  MouseShow();
  MouseShow();
  EXPECT_EQ(count(), before);
  EXPECT_EQ(CoreDataGet()->cursor_visible, 1);
}

TEST_F(InputWindowTest, TypedTextComesFromTheWindowsCharacters) {
  t::TextInput("hello");
  t::PumpMessages();
  char* text = EntryText(1);
  EXPECT_STREQ(text, "hello");
  EntryClear();
  t::TextInput("x");
  t::PumpMessages();
  TextFree(text);
  text = EntryText(0);
  EXPECT_STREQ(text, "x");
  TextFree(text);
}

TEST_F(InputWindowTest, MousePlaceMovesThePointerToTheScreenPosition) {
  t::ClientSize(1280, 960);
  RECT client{}, outer{};
  win32::GetClientRect(t::Window(), &client);
  win32::GetWindowRect(t::Window(), &outer);
  MousePlace(320, 240);
  LONG border = ((outer.right - outer.left) - client.right) / 2;
  LONG x = 640 + outer.left + border;
  LONG y = 480 + outer.top + ((outer.bottom - outer.top) - client.bottom) - border;
  EXPECT_EQ(CoreDataGet()->mouse_x, x);
  EXPECT_EQ(CoreDataGet()->mouse_y, y);
  POINT at{};
  ASSERT_TRUE(win32::GetCursorPos(&at));
  EXPECT_EQ(at.x, x);
  EXPECT_EQ(at.y, y);
  // The client position the pointer landed on is the display position asked for.
  POINT in_client = at;
  win32::ScreenToClient(t::Window(), &in_client);
  EXPECT_EQ(in_client.x, 640);
  EXPECT_EQ(in_client.y, 480);
}

}  // namespace

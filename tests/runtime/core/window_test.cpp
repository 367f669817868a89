// The runtime's window driven by real SDL events: quitting, Escape, typed characters, mouse
// scaling and buttons, the parent caption, the hidden window of mode 0.
#include <gtest/gtest.h>

#include <string>

#include "platform/win32/user.h"
#include "runtime/core/core.h"
#include "runtime/core/core_data.h"
#include "runtime/core/errors.h"
#include "runtime/core/services.h"
#include "runtime/core/runtime_state.h"
#include "runtime/runtime_wire.h"
#include "tessark/core.h"
#include "tessark/system.h"
#include "tests/support/runtime_fixture.h"

using namespace tessark;

namespace tessark {
namespace {

using testing::RuntimeFixture;
namespace t = tessark::testing;

TEST_F(RuntimeFixture, WindowIsCentredOnTheDesktop) {
  RECT outer{};
  ASSERT_TRUE(win32::GetWindowRect(t::Window(), &outer));
  int screen_w = win32::GetSystemMetrics(SM_CXSCREEN);
  int screen_h = win32::GetSystemMetrics(SM_CYSCREEN);
  EXPECT_EQ(outer.left, (screen_w - 640) / 2);
  EXPECT_EQ(outer.top, (screen_h - 480) / 2);
  EXPECT_EQ(win32::GetWindowLongA(t::Window(), GWL_STYLE) & WS_OVERLAPPEDWINDOW,
            static_cast<LONG>(WS_OVERLAPPEDWINDOW));
  char caption[8] = "x";
  EXPECT_EQ(win32::GetWindowTextA(t::Window(), caption, sizeof caption), 0) << "empty title";
  EXPECT_STREQ(Runtime().class_name, "12345");
}

TEST_F(RuntimeFixture, CloseBoxRequestsQuitButKeepsTheWindow) {
  EXPECT_TRUE(RuntimeRunning());
  t::WindowClose();
  t::RunFrames(1);
  EXPECT_EQ(Runtime().quit_requested, 1);
  EXPECT_TRUE(win32::IsWindow(t::Window()));
  EXPECT_FALSE(RuntimeRunning());
  EXPECT_FALSE(RuntimeRunning()) << "stays false";
}

TEST_F(RuntimeFixture, EscapeQuitsOnlyWhileTheFlagIsOn) {
  EscapeQuitOff();
  t::KeyDown(SDL_SCANCODE_ESCAPE);
  t::PumpMessages();
  EXPECT_EQ(Runtime().last_key_code, 27);
  EXPECT_TRUE(RuntimeRunning());
  t::KeyUp(SDL_SCANCODE_ESCAPE);
  t::PumpMessages();
  EXPECT_EQ(Runtime().last_key_code, 0);

  EscapeQuitOn();
  t::KeyPress(SDL_SCANCODE_ESCAPE);
  t::PumpMessages();
  EXPECT_FALSE(RuntimeRunning());
  EXPECT_EQ(MessagePump(), 1) << "the quit message has been seen";
}

TEST_F(RuntimeFixture, TypedCharactersGrowTheBufferAtTheThirtiethCharacter) {
  t::TextInput(std::string(29, 'a').c_str());
  t::PumpMessages();
  ASSERT_NE(CoreDataGet()->typed_text, nullptr);
  EXPECT_EQ(std::string(CoreDataGet()->typed_text), std::string(29, 'a'));
  EXPECT_EQ(Runtime().typed_capacity, 32);
  t::TextInput("b");
  t::PumpMessages();
  EXPECT_EQ(Runtime().typed_capacity, 64);
  EXPECT_EQ(std::string(CoreDataGet()->typed_text), std::string(29, 'a') + "b");

  // A reader empties the text: the next character starts it afresh.
  CoreDataGet()->typed_text[0] = '\0';
  t::TextInput("c");
  t::PumpMessages();
  EXPECT_STREQ(CoreDataGet()->typed_text, "c");
}

TEST_F(RuntimeFixture, TypedTextArrivesAsWindows1252AndControlKeysAsCharacters) {
  t::TextInput("\xC3\xA9\xE2\x82\xAC\xE4\xB8\x80");  // e acute, euro sign, a CJK character
  t::KeyPress(SDL_SCANCODE_BACKSPACE);
  t::KeyPress(SDL_SCANCODE_RETURN);
  t::PumpMessages();
  ASSERT_NE(CoreDataGet()->typed_text, nullptr);
  EXPECT_EQ(std::string(CoreDataGet()->typed_text), "\xE9\x80?\b\r");
}

TEST_F(RuntimeFixture, ManyTypedCharactersNeverOverrunTheBuffer) {
  std::string long_text(5000, 'q');
  t::TextInput(long_text.c_str());
  t::PumpMessages();
  ASSERT_NE(CoreDataGet()->typed_text, nullptr);
  EXPECT_EQ(std::string(CoreDataGet()->typed_text), long_text);
  EXPECT_GT(Runtime().typed_capacity, 5000);
}

TEST_F(RuntimeFixture, MouseIsScaledToDisplayPixels) {
  t::ClientSize(1280, 960);
  RECT client{};
  win32::GetClientRect(t::Window(), &client);
  ASSERT_EQ(client.right, 1280);
  ASSERT_EQ(client.bottom, 960);

  t::MouseMoveToClient(1279, 959);
  t::PumpMessages();
  EXPECT_EQ(CoreDataGet()->mouse_x, 639);
  EXPECT_EQ(CoreDataGet()->mouse_y, 479);

  t::MouseMoveTo(100, 50);
  t::PumpMessages();
  EXPECT_EQ(CoreDataGet()->mouse_x, 100);
  EXPECT_EQ(CoreDataGet()->mouse_y, 50);
}

TEST_F(RuntimeFixture, ButtonsSetAndClearTheirBits) {
  t::MouseMoveTo(10, 10);
  t::MouseButtonDown(SDL_BUTTON_LEFT);
  t::MouseButtonDown(SDL_BUTTON_RIGHT);
  t::PumpMessages();
  EXPECT_EQ(CoreDataGet()->mouse_buttons, 3);
  EXPECT_EQ(win32::GetFocus(), t::Window());
  t::MouseButtonUp(SDL_BUTTON_LEFT);
  t::PumpMessages();
  EXPECT_EQ(CoreDataGet()->mouse_buttons, 2);
  t::MouseButtonUp(SDL_BUTTON_RIGHT);
  // A release whose press was outside the window leaves the bit clear.
  t::MouseButtonUp(SDL_BUTTON_LEFT);
  t::PumpMessages();
  EXPECT_EQ(CoreDataGet()->mouse_buttons, 0);
}

TEST_F(RuntimeFixture, ParentCaptionIsTakenOnceAndNotShown) {
  win32::SetWindowTextA(t::Window(), "Parent|12345");
  EXPECT_EQ(CoreDataGet()->parent_window, reinterpret_cast<HWND>(12345));
  char caption[32] = {};
  win32::GetWindowTextA(t::Window(), caption, sizeof caption);
  EXPECT_STREQ(caption, "");
  // Once a parent is known captions are shown.
  win32::SetWindowTextA(t::Window(), "PARENT|99");
  win32::GetWindowTextA(t::Window(), caption, sizeof caption);
  EXPECT_STREQ(caption, "PARENT|99");
  EXPECT_EQ(CoreDataGet()->parent_window, reinterpret_cast<HWND>(12345));
  CoreDataGet()->parent_window = nullptr;
  // Exactly the prefix is too short; a prefix without digits gives 0; huge numbers saturate.
  win32::SetWindowTextA(t::Window(), "PARENT|");
  EXPECT_EQ(CoreDataGet()->parent_window, nullptr);
  win32::SetWindowTextA(t::Window(), "parent|x");
  EXPECT_EQ(CoreDataGet()->parent_window, nullptr);
  win32::SetWindowTextA(t::Window(), "PARENT|99999999999999999999999");
  EXPECT_NE(CoreDataGet()->parent_window, nullptr);
  CoreDataGet()->parent_window = nullptr;
}

TEST_F(RuntimeFixture, CursorMessageChangesTheDisplayCount) {
  int count = win32::ShowCursor(TRUE) - 1;
  win32::ShowCursor(FALSE);
  win32::SendMessageA(t::Window(), WM_USER + 1, 0, 0);
  EXPECT_EQ(win32::ShowCursor(TRUE), count);            // one down, one up
  win32::SendMessageA(t::Window(), WM_USER + 1, 7, 0);  // other values change nothing
  EXPECT_EQ(win32::ShowCursor(FALSE), count - 1);
  win32::ShowCursor(TRUE);
}

TEST_F(RuntimeFixture, CursorSelectPicksArrowHourglassAndPointers) {
  CursorSelect(1);
  EXPECT_EQ(win32::GetCursor(), Runtime().hourglass);
  EXPECT_NE(Runtime().hourglass, nullptr) << "the system's wait cursor stands in";
  CursorSelect(99);  // out of range keeps the current cursor
  EXPECT_EQ(win32::GetCursor(), Runtime().hourglass);
  CursorSelect(0);
  EXPECT_EQ(win32::GetCursor(), Runtime().arrow);
  CursorSelect(5);  // no pointer5.cur: no cursor
  EXPECT_EQ(win32::GetCursor(), nullptr);
}

class HiddenWindowFixture : public RuntimeFixture {
 protected:
  std::uint32_t WindowMode() const override { return 0; }
};

TEST_F(HiddenWindowFixture, ModeZeroNeverShowsTheWindow) {
  EXPECT_FALSE(win32::IsWindowVisible(t::Window()));
  EXPECT_EQ(win32::GetWindowLongA(t::Window(), GWL_STYLE) & WS_POPUP, static_cast<LONG>(WS_POPUP));
  t::RunFrames(3);
  EXPECT_FALSE(win32::IsWindowVisible(t::Window()));
}

TEST(RuntimeOpenClose, OpensAgainAfterClosingWithFreshState) {
  for (int round = 0; round < 3; ++round) {
    std::int32_t word = 0;
    RuntimeWire();
    ErrorWordSet(&word);
    RuntimeOpen(1, 640, 480, 32, win32::GetModuleHandleA(nullptr), "Round");
    ASSERT_NE(CoreDataGet()->window, nullptr);
    EXPECT_TRUE(RuntimeRunning()) << "round " << round;
    t::WindowClose();
    t::RunFrames(1);
    EXPECT_FALSE(RuntimeRunning());
    RuntimeClose();
    EXPECT_EQ(CoreDataGet()->window, nullptr);
    EXPECT_EQ(Runtime().quit_requested, 0);
  }
}

TEST(RuntimeOpenClose, NullTitleGivesTheDefaultCaption) {
  std::int32_t word = 0;
  RuntimeWire();
  ErrorWordSet(&word);
  RuntimeOpen(0, 640, 480, 32, nullptr, nullptr);
  char caption[64] = {};
  win32::GetWindowTextA(CoreDataGet()->window, caption, sizeof caption);
  EXPECT_STREQ(caption, "Tessark Application");
  EXPECT_STREQ(Runtime().class_name, "Tessark Application12345");
  RuntimeClose();
}

TEST(RuntimeOpenClose, AnOverlongTitleIsCut) {
  std::int32_t word = 0;
  RuntimeWire();
  ErrorWordSet(&word);
  std::string title(4000, 'T');
  RuntimeOpen(0, 640, 480, 32, nullptr, title.c_str());
  ASSERT_NE(CoreDataGet()->window, nullptr);
  EXPECT_LT(std::string(Runtime().class_name).size(), sizeof Runtime().class_name);
  RuntimeClose();
}

}  // namespace
}  // namespace tessark

namespace tessark {
namespace {

LRESULT IgnoresPaint(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_PAINT) return 0;  // never validates
  return win32::DefWindowProcA(window, message, wparam, lparam);
}

TEST(RuntimeOpenClose, CloseDoesNotHangOnAnotherWindowsPaint) {
  std::int32_t word = 0;
  RuntimeWire();
  ErrorWordSet(&word);
  RuntimeOpen(1, 640, 480, 32, nullptr, "");
  // A window of someone else's that has a paint pending and would never validate it.
  WNDCLASSA c{};
  c.lpfnWndProc = IgnoresPaint;
  c.lpszClassName = "Bystander";
  win32::RegisterClassA(&c);
  HWND other = win32::CreateWindowExA(0, "Bystander", "", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50,
                                      nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(other, nullptr);
  RuntimeClose();
  win32::DestroyWindow(other);
  win32::UnregisterClassA("Bystander", nullptr);
}

}  // namespace
}  // namespace tessark

// The clipboard: Windows-1252 text in and out of the desktop's UTF-8 clipboard, and the rule
// that data moves only while the clipboard is open.
#include "platform/win32/clipboard.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

class ClipboardTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError(); }
  void TearDown() override {
    CloseClipboard();
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
  }
};

HGLOBAL Block(const char* text) {
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, std::strlen(text) + 1);
  std::memcpy(GlobalLock(memory), text, std::strlen(text) + 1);
  GlobalUnlock(memory);
  return memory;
}

TEST(CodePage, ConvertsBothWays) {
  const std::string cp1252 = "caf\xE9 \x80 \x93quoted\x94 \x81";
  std::string utf8 = win32::Cp1252ToUtf8(cp1252);
  EXPECT_EQ(utf8, "caf\xC3\xA9 \xE2\x82\xAC \xE2\x80\x9Cquoted\xE2\x80\x9D \xC2\x81");
  EXPECT_EQ(win32::Utf8ToCp1252(utf8), cp1252);
  // What the code page cannot hold, and broken sequences, become '?'.
  EXPECT_EQ(win32::Utf8ToCp1252("\xE6\x97\xA5 \xF0\x9F\x98\x80 \xC3"), "? ? ?");
  EXPECT_EQ(win32::Utf8ToCp1252("\x80\xBF"), "??");
  for (int b = 1; b < 256; ++b) {
    std::string one(1, static_cast<char>(b));
    EXPECT_EQ(win32::Utf8ToCp1252(win32::Cp1252ToUtf8(one)), one) << b;
  }
}

TEST_F(ClipboardTest, TextRoundTripsThroughTheDesktopClipboard) {
  ASSERT_TRUE(OpenClipboard(nullptr));
  EXPECT_FALSE(OpenClipboard(nullptr));  // one opener at a time
  ASSERT_TRUE(EmptyClipboard());
  HGLOBAL memory = Block("na\xEFve \x80");
  ASSERT_EQ(SetClipboardData(CF_TEXT, memory), memory);
  ASSERT_TRUE(CloseClipboard());
  char* desktop = SDL_GetClipboardText();
  EXPECT_STREQ(desktop, "na\xC3\xAFve \xE2\x82\xAC");
  SDL_free(desktop);

  SDL_SetClipboardText("\xC2\xBD \xE2\x80\x94 ok");
  EXPECT_TRUE(IsClipboardFormatAvailable(CF_TEXT));
  ASSERT_TRUE(OpenClipboard(nullptr));
  HGLOBAL read = GetClipboardData(CF_TEXT);
  ASSERT_NE(read, nullptr);
  EXPECT_STREQ(static_cast<const char*>(GlobalLock(read)), "\xBD \x97 ok");
  GlobalUnlock(read);
  EXPECT_EQ(GetClipboardData(2), nullptr);  // only plain text
  CloseClipboard();
}

TEST_F(ClipboardTest, NothingMovesWhileTheClipboardIsClosed) {
  HGLOBAL memory = Block("x");
  EXPECT_EQ(SetClipboardData(CF_TEXT, memory), nullptr);
  EXPECT_EQ(GetClipboardData(CF_TEXT), nullptr);
  EXPECT_FALSE(EmptyClipboard());
  EXPECT_EQ(GlobalFree(memory), nullptr);  // not taken, so still the caller's to free
  HGLOBAL bogus = reinterpret_cast<HGLOBAL>(std::uintptr_t{0x40});
  EXPECT_EQ(GlobalLock(bogus), nullptr);
  EXPECT_EQ(GlobalFree(bogus), bogus);
  ASSERT_TRUE(OpenClipboard(nullptr));
  EXPECT_EQ(SetClipboardData(CF_TEXT, bogus), nullptr);
  // A block without a terminator ends at its last byte.
  HGLOBAL unterminated = GlobalAlloc(GMEM_MOVEABLE, 3);
  std::memcpy(GlobalLock(unterminated), "abc", 3);
  GlobalUnlock(unterminated);
  ASSERT_EQ(SetClipboardData(CF_TEXT, unterminated), unterminated);
  CloseClipboard();
  char* desktop = SDL_GetClipboardText();
  EXPECT_STREQ(desktop, "abc");
  SDL_free(desktop);
}

}  // namespace

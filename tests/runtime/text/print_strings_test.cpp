// The print engine's cursor and scrolling, and the runtime's string functions.
#include <cstring>
#include <string>
#include <vector>

#include "runtime/core/text_alloc.h"
#include "tests/runtime/text/text_fixture.h"

namespace text_test {
namespace {

// Takes a returned text, frees it, and hands back its contents.
std::string Take(char* text) {
  EXPECT_NE(text, nullptr);
  std::string s = text ? text : "";
  TextFree(text);
  return s;
}

TEST_F(TextFixture, PrintAdvancesTheCursorAndScrollsAtTheBottom) {
  tessark::Modules().text_services.PrintFontSelect();
  EXPECT_STREQ(state().font_name, "Fixedsys");
  const int height = TextHeight("x");
  ASSERT_GT(height, 0);
  tessark::CoreData& c = core();
  c.ink = 0xFFFFFF00u;
  c.background_ink = 0xFF000080u;

  tessark::Modules().text_services.PrintText("ab", 0);
  EXPECT_EQ(c.print_x, TextWidth("ab"));
  EXPECT_EQ(c.print_y, 0);
  tessark::Modules().text_services.PrintText("cd", 1);
  EXPECT_EQ(c.print_x, 0);
  EXPECT_EQ(c.print_y, height);
  // An empty text on a new line moves down by the height of a space.
  tessark::Modules().text_services.PrintText("", 1);
  EXPECT_EQ(c.print_y, height + TextHeight(" "));
  EXPECT_TRUE(Basic2dCalls().empty());

  // A new line that passes the bottom scrolls up by the overflow and clears the last line.
  c.print_y = kHeight - height - 3;
  tessark::Modules().text_services.PrintText("last", 1);
  const int overflow = (kHeight - 3) + height - kHeight;
  ASSERT_EQ(Basic2dCalls().size(), 2u);
  const Basic2dCall& copy = Basic2dCalls()[0];
  EXPECT_EQ(copy.kind, Basic2dCall::kCopy);
  EXPECT_EQ(copy.a, 0);
  EXPECT_EQ(copy.b, 0);
  EXPECT_EQ(copy.c, kWidth);
  EXPECT_EQ(copy.d, kHeight);
  EXPECT_EQ(copy.e, 0);
  EXPECT_EQ(copy.f, overflow);
  const Basic2dCall& box = Basic2dCalls()[1];
  EXPECT_EQ(box.kind, Basic2dCall::kBox);
  EXPECT_EQ(box.a, 0);
  EXPECT_EQ(box.b, kHeight - height);
  EXPECT_EQ(box.c, kWidth);
  EXPECT_EQ(box.d, kHeight);
  EXPECT_EQ(box.ink, 0xFF000080u);  // the box is drawn in the background ink
  EXPECT_EQ(c.ink, 0xFFFFFF00u);    // and the ink comes back
  EXPECT_EQ(c.print_y, kHeight - height);
  EXPECT_EQ(c.print_x, 0);

  tessark::Modules().text_services.PrintText(nullptr, 1);
  EXPECT_EQ(c.print_y, kHeight - height);
}

TEST_F(TextFixture, PrintedTextAppearsAtTheCursor) {
  core().print_x = 100;
  core().print_y = 200;
  tessark::Modules().text_services.PrintText("Printed", 0);
  RECT box = InkBox(Pixels(), 0xFF000000u);
  EXPECT_GE(box.left, 100);
  EXPECT_GE(box.top, 200);
  EXPECT_LE(box.bottom, 200 + TextHeight("Printed"));
}

TEST(TextStrings, PartsOfTexts) {
  EXPECT_EQ(Take(TextLeft("Kettlebrim", 6)), "Kettle");
  EXPECT_EQ(Take(TextLeft("abc", 10)), "abc");
  EXPECT_EQ(Take(TextLeft("abc", -1)), "");
  EXPECT_EQ(Take(TextLeft(nullptr, 3)), "");
  EXPECT_EQ(Take(TextRight("Kettlebrim", 4)), "brim");
  EXPECT_EQ(Take(TextRight("abc", 99)), "abc");
  EXPECT_EQ(Take(TextRight("abc", 0)), "");
  EXPECT_EQ(Take(TextMid("abc", 1)), "a");
  EXPECT_EQ(Take(TextMid("abc", 3)), "c");
  EXPECT_EQ(Take(TextMid("abc", 4)), "");
  EXPECT_EQ(Take(TextMid("abc", 0)), "");
  EXPECT_EQ(Take(TextReverse("pot")), "top");
  EXPECT_EQ(Take(TextReverse("")), "");
  EXPECT_EQ(Take(TextUpper("Pea 1x")), "PEA 1X");
  EXPECT_EQ(Take(TextLower("OnIoN")), "onion");
  EXPECT_EQ(TextFind("carrot cake", "cake"), 8);
  EXPECT_EQ(TextFind("carrot", "x"), 0);
  EXPECT_EQ(TextFind("carrot", ""), 0);
  EXPECT_EQ(TextFind(nullptr, "a"), 0);
  EXPECT_EQ(TextLength("beetroot"), 8);
  EXPECT_EQ(TextLength(nullptr), 0);
}

TEST(TextStrings, NumbersAndCharacters) {
  EXPECT_EQ(Take(TextFromInteger(-42)), "-42");
  EXPECT_EQ(Take(TextFromFloat(0.1f)), "0.10000000149");
  EXPECT_EQ(Take(TextFromDouble(0.1)), "0.1");
  EXPECT_EQ(Take(TextFromDouble(1.0 / 3.0)), "0.3333333333333333");
  EXPECT_EQ(Take(TextHex(255)), "FF");
  EXPECT_EQ(Take(TextHex(0xDEADBEEF)), "DEADBEEF");
  EXPECT_EQ(Take(TextBinary(5)), "00000000000000000000000000000101");
  EXPECT_EQ(Take(TextChar(65)), "A");
  EXPECT_EQ(Take(TextChar(0)), "");
  EXPECT_EQ(Take(TextChar(0x141)), "A");
  EXPECT_EQ(TextCode("A"), 65);
  EXPECT_EQ(TextCode("\xE9"), 0xE9);
  EXPECT_EQ(TextCode(""), 0);
  EXPECT_FLOAT_EQ(TextValue("3.5"), 3.5f);
  EXPECT_FLOAT_EQ(TextValue("-12abc"), -12.0f);
  EXPECT_FLOAT_EQ(TextValue("abc"), 0.0f);
  EXPECT_EQ(Take(TextSpaces(3)), "   ");
  EXPECT_EQ(Take(TextSpaces(-5)), "");
}

TEST(TextStrings, Tokens) {
  EXPECT_EQ(Take(TextFirstToken("  pea, carrot,,onion ", ", ")), "pea");
  EXPECT_EQ(Take(TextNextToken(", ")), "carrot");
  EXPECT_EQ(Take(TextNextToken(", ")), "onion");
  EXPECT_EQ(Take(TextNextToken(", ")), "");
  EXPECT_EQ(Take(TextNextToken(nullptr)), "");
  EXPECT_EQ(Take(TextFirstToken(nullptr, ",")), "");
  EXPECT_EQ(Take(TextFirstToken("a b", nullptr)), "a b");
}

}  // namespace
}  // namespace text_test

namespace text_test {
namespace {

// Typing for PrintInputLine: each message pump delivers the next piece into the typed-text
// buffer, as the window's character messages do; after the last piece the pump reports quit.
std::vector<std::string> g_typing;
std::size_t g_typed = 0;
int g_pumps = 0;

std::int32_t TypingPump() {
  ++g_pumps;
  if (g_typed >= g_typing.size()) return 1;
  tessark::CoreData& c = *tessark::CoreDataGet();
  std::string piece = g_typing[g_typed++];
  std::size_t had = c.typed_text ? std::strlen(c.typed_text) : 0;
  char* grown = nullptr;
  tessark::TextAlloc(&grown, static_cast<std::int32_t>(had + piece.size() + 1));
  if (had) std::memcpy(grown, c.typed_text, had);
  std::memcpy(grown + had, piece.data(), piece.size());
  if (c.typed_text) tessark::TextAlloc(&c.typed_text, 0);
  c.typed_text = grown;
  return 0;
}

class InputLineTest : public TextFixture {
 protected:
  void Type(std::vector<std::string> pieces) {
    g_typing = std::move(pieces);
    g_typed = 0;
    g_pumps = 0;
    core().MessagePump = TypingPump;
  }
  void TearDown() override {
    if (core().typed_text) tessark::TextAlloc(&core().typed_text, 0);
    core().typed_text = nullptr;
    TextFixture::TearDown();
  }
};

TEST_F(InputLineTest, EnterEndsTheLineAndBackspaceRemoves) {
  core().print_x = 0;
  core().print_y = 100;
  Type({"4", "2x", "\b", "\b", "7", "\r", "ignored"});
  char* line = PrintInputLine();
  EXPECT_STREQ(line, "47");
  TextFree(line);
  EXPECT_EQ(g_typed, 6u);
  // The finished line is printed and the cursor goes to the next line.
  EXPECT_EQ(core().print_x, 0);
  EXPECT_EQ(core().print_y, 100 + TextHeight("47"));
  RECT box = InkBox(Pixels(), 0xFF000000u);
  EXPECT_GE(box.top, 100);
  EXPECT_LE(box.right, TextWidth("47"));
}

TEST_F(InputLineTest, NumbersAndEscapeAndQuit) {
  Type({"-1", "5", "\r"});
  EXPECT_EQ(PrintInputInteger(), -15);
  Type({"2.5", "\x1b"});
  EXPECT_FLOAT_EQ(PrintInputReal(), 2.5f);
  // The window closing ends the input with what was typed so far.
  Type({"abc"});
  char* line = PrintInputLine();
  EXPECT_STREQ(line, "abc");
  TextFree(line);
}

}  // namespace
}  // namespace text_test

namespace text_test {
namespace {

// Before the display is open, printing goes into a window-sized memory bitmap.
TEST_F(TextFixture, PrintingWithoutTheDisplayDrawsIntoTheMemoryBitmap) {
  tessark::Modules().text.RefreshD3D(0);
  tessark::CoreData& c = core();
  c.ink = 0xFFFFFFFFu;
  c.background_ink = 0xFF000080u;
  tessark::Modules().text_services.PrintText("Early", 1);
  ASSERT_TRUE(state().print_bitmap);
  const tessark::text::PrintBitmap& pb = *state().print_bitmap;
  EXPECT_EQ(pb.width, kWidth);
  EXPECT_EQ(pb.height, kHeight);
  const int line = c.print_y;
  ASSERT_GT(line, 0);
  int white = 0, paper = 0;
  for (int i = 0; i < pb.width * line; ++i) {
    white += pb.pixels[i] == 0x00FFFFFFu;
    paper += pb.pixels[i] == 0x00000080u;
  }
  EXPECT_GT(white, 10);
  EXPECT_GT(paper, white);
  // A new line past the bottom scrolls the bitmap up and clears the last line.
  c.print_y = kHeight - line;
  tessark::Modules().text_services.PrintText("Late", 1);
  EXPECT_EQ(c.print_y, kHeight - line);
  int late = 0;
  for (int i = pb.width * (kHeight - 2 * line); i < pb.width * (kHeight - line); ++i)
    late += pb.pixels[i] == 0x00FFFFFFu;
  EXPECT_GT(late, 5);
  for (int i = pb.width * (kHeight - line); i < pb.width * kHeight; ++i)
    ASSERT_EQ(pb.pixels[i], 0x00000080u);
  EXPECT_FALSE(tessark::Modules().text_services.PrintBitmapPaint(nullptr, nullptr));
  tessark::Modules().text_services.PrintBitmapRelease();
  EXPECT_FALSE(state().print_bitmap);
}

}  // namespace
}  // namespace text_test

#include <gtest/gtest.h>

#include <cstring>

#include "runtime/core/check_list.h"
#include "runtime/core/core_data.h"
#include "runtime/core/errors.h"
#include "runtime/core/text_alloc.h"
#include "runtime/runtime_wire.h"

namespace tessark {
namespace {

TEST(CoreData, WireSetsDefaultsAndZeroesTheRest) {
  CoreDataGet()->mouse_x = 77;
  RuntimeWire();
  const CoreData& core = *CoreDataGet();
  EXPECT_EQ(core.ink, 0xFFFFFFFFu);
  EXPECT_EQ(core.background_ink, 0u);
  EXPECT_EQ(core.cursor_visible, 1);
  EXPECT_EQ(core.escape_quits, 1);
  EXPECT_EQ(core.render_pass_count, 1);
  EXPECT_EQ(core.render_pass_index, 0);
  EXPECT_EQ(core.mouse_x, 0);
  EXPECT_EQ(core.window, nullptr);
  EXPECT_EQ(core.check_list, nullptr);
}

TEST(CoreData, TextAllocFreesNullHarmlessly) {
  char* text = nullptr;
  TextAlloc(&text, 0);
  EXPECT_EQ(text, nullptr);
  TextAlloc(&text, 16);
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(text[0], 0);
  TextAlloc(&text, 0);
}

TEST(CheckList, DoublesAt255ButNot254AndGrowsTexts) {
  RuntimeWire();
  CoreData& core = *CoreDataGet();
  CheckListGrow(254, 1);
  EXPECT_EQ(core.check_list_capacity, 256u);
  EXPECT_EQ(core.check_list[0].text_size, 2);
  EXPECT_STREQ(core.check_list[0].text, "");

  std::strcpy(core.check_list[3].text, "a");
  CheckListGrow(255, 1);
  EXPECT_EQ(core.check_list_capacity, 512u);
  EXPECT_STREQ(core.check_list[3].text, "a") << "texts are carried over";
  EXPECT_EQ(core.check_list[511].text_size, 2);

  CheckListGrow(7, 2);
  std::memcpy(core.check_list[7].text, "..", 3);  // a name as long as the buffer's size fits
  EXPECT_STREQ(core.check_list[7].text, "..") << "an entry holds its size plus a terminator";

  CheckListGrow(3, 40);
  EXPECT_EQ(core.check_list[3].text_size, 40);
  EXPECT_STREQ(core.check_list[3].text, "a");
  std::memset(core.check_list[3].text, 'x', 40);  // length + 1 bytes: room for the terminator
  CheckListFree();
  EXPECT_EQ(core.check_list, nullptr);
}

TEST(Errors, LaterCodesOverwriteAndNoticesRecordNothingNew) {
  RuntimeWire();
  std::int32_t word = 0;
  ErrorWordSet(nullptr);
  RuntimeError(5);  // dropped: no word yet
  ErrorWordSet(&word);
  EXPECT_EQ(CoreDataGet()->error_word, &word);
  RuntimeNotice("anything");
  EXPECT_EQ(word, 0);
  RuntimeError(3001);
  RuntimeError(301);
  EXPECT_EQ(word, 301);
  RuntimeNotice("later");
  EXPECT_EQ(word, 301);
  ErrorWordSet(nullptr);
}

}  // namespace
}  // namespace tessark

#include <filesystem>
#include <string>

#include "tests/support/taken_text.h"
#include "tests/runtime/file/file_fixture.h"

namespace fs = std::filesystem;
using tessark::testing::Taken;

namespace {

using NumberedFiles = FileModuleTest;

TEST_F(NumberedFiles, OpeningChecksNumberThenSlotThenName) {
  TempFolder::Write("in.txt", "x");
  FileOpenRead(0, "in.txt");
  EXPECT_EQ(TakeError(), 8213);
  FileOpenRead(65, "in.txt");
  EXPECT_EQ(TakeError(), 8213);
  FileOpenRead(1, "missing.txt");
  EXPECT_EQ(TakeError(), 105);
  EXPECT_EQ(FileIsOpen(1), 0);
  FileOpenRead(1, "IN.TXT");
  EXPECT_EQ(TakeError(), 0);
  EXPECT_EQ(FileIsOpen(1), 1);
  FileOpenRead(1, "in.txt");
  EXPECT_EQ(TakeError(), 8203);
  FileOpenRead(1, "missing.txt");
  EXPECT_EQ(TakeError(), 8203) << "the slot is tested before the name";

  EXPECT_EQ(FileIsOpen(0), 0);
  EXPECT_EQ(FileEnd(65), 0);
  EXPECT_EQ(TakeError(), 0) << "the two queries raise nothing";
  FileClose(70);
  EXPECT_EQ(TakeError(), 8213);
  FileWriteLong(0, 1);
  EXPECT_EQ(TakeError(), 8213);
  FileClose(1);
  EXPECT_EQ(FileIsOpen(1), 0);
}

TEST_F(NumberedFiles, OpenWriteNeverReplacesAFile) {
  TempFolder::Write("exists.txt", "precious");
  FileOpenWrite(3, "Exists.txt");
  EXPECT_EQ(FileIsOpen(3), 0);
  EXPECT_EQ(TempFolder::Read("exists.txt"), "precious");
  FileOpenWrite(3, "new.txt");
  EXPECT_EQ(FileIsOpen(3), 1);
  FileOpenWrite(3, "another.txt");
  EXPECT_FALSE(fs::exists("another.txt")) << "an open slot is left as it is";
  FileOpenWrite(65, "x.txt");
  EXPECT_EQ(TakeError(), 8213);
  FileClose(3);
}

TEST_F(NumberedFiles, StringsAreCrLfLinesAndReadBackWithTheEndFlagClear) {
  FileOpenWrite(1, "lines.txt");
  FileWriteString(1, "abc");
  FileClose(1);
  EXPECT_EQ(TempFolder::Read("lines.txt"), std::string("abc\r\n"));

  FileOpenRead(1, "lines.txt");
  EXPECT_EQ(Taken(FileReadString(1)), "abc");
  EXPECT_EQ(FileEnd(1), 0);
  EXPECT_EQ(Taken(FileReadString(1)), "");
  EXPECT_EQ(FileEnd(1), 1);
  FileClose(1);
  EXPECT_EQ(FileEnd(1), 0) << "closing clears the flag";

  // Tabs stay in the line, other control bytes end it, LF alone ends it, and a line longer
  // than 1023 characters comes back whole.
  const std::string long_line(5000, 'L');
  TempFolder::Write("mixed.txt", "a\tb\x01next\nlast\r\n" + long_line + "\r");
  FileOpenRead(2, "mixed.txt");
  EXPECT_EQ(Taken(FileReadString(2)), "a\tb");
  EXPECT_EQ(Taken(FileReadString(2)), "next");
  EXPECT_EQ(Taken(FileReadString(2)), "last");
  EXPECT_EQ(Taken(FileReadString(2)), long_line);
  EXPECT_EQ(FileEnd(2), 1) << "no LF could follow the CR";
  FileClose(2);
}

TEST_F(NumberedFiles, TypedValuesRoundTripLittleEndian) {
  FileOpenWrite(64, "values.bin");
  FileWriteByte(64, 0x1FF);
  FileWriteWord(64, 0xABCD);
  FileWriteLong(64, -2);
  FileWriteFloat(64, 1.5f);
  FileWriteByte(64, 9);
  FileClose(64);
  EXPECT_EQ(TempFolder::Read("values.bin"),
            std::string("\xff\xcd\xab\xfe\xff\xff\xff\x00\x00\xc0\x3f\x09", 12));

  FileOpenRead(64, "values.bin");
  EXPECT_EQ(FileReadByte(64), 255);
  EXPECT_EQ(FileReadWord(64), 0xABCD);
  EXPECT_EQ(FileReadLong(64), -2);
  EXPECT_EQ(FileReadFloat(64), 1.5f);
  EXPECT_EQ(FileEnd(64), 0);
  EXPECT_EQ(FileReadLong(64), 9) << "the one byte left, the rest counted as 0";
  EXPECT_EQ(FileEnd(64), 1);
  EXPECT_EQ(FileReadLong(64), 0);
  FileClose(64);
}

TEST_F(NumberedFiles, ReadLongAtTheEndGivesZeroAndSetsTheFlag) {
  TempFolder::Write("four.bin", std::string("\x07\x00\x00\x00", 4));
  FileOpenRead(5, "four.bin");
  EXPECT_EQ(FileReadLong(5), 7);
  EXPECT_EQ(FileEnd(5), 0);
  EXPECT_EQ(FileReadLong(5), 0);
  EXPECT_EQ(FileEnd(5), 1);
  FileClose(5);
}

TEST_F(NumberedFiles, SkipAndReadsOnAnEmptySlot) {
  TempFolder::Write("skip.bin", "0123456789");
  FileOpenRead(7, "skip.bin");
  FileSkip(7, 4);
  EXPECT_EQ(FileReadByte(7), '4');
  FileSkip(7, 100);
  EXPECT_EQ(FileEnd(7), 1);
  FileClose(7);

  // Nothing can be read from an empty slot, so a loop waiting for the end still ends.
  EXPECT_EQ(FileReadByte(8), 0);
  EXPECT_EQ(FileEnd(8), 1);
  FileClose(8);
  EXPECT_EQ(Taken(FileReadString(8)), "");
  EXPECT_EQ(FileEnd(8), 1);
  FileWriteString(8, "nowhere");
  FileClose(8);
  EXPECT_EQ(TakeError(), 0);
}

TEST_F(NumberedFiles, DestructorClosesEverySlot) {
  FileOpenWrite(1, "a.bin");
  FileOpenWrite(2, "b.bin");
  Bind();  // Destructor, then Constructor
  EXPECT_EQ(FileIsOpen(1), 0);
  EXPECT_EQ(FileIsOpen(2), 0);
  FileOpenRead(1, "a.bin");
  EXPECT_EQ(TakeError(), 0);
  FileClose(1);
}

}  // namespace

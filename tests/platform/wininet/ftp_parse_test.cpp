// The reply and listing parsers on their own: what servers really send, and what a broken or
// hostile one might.
#include <gtest/gtest.h>

#include <string>

#include "platform/wininet/ftp_parse.h"

using namespace wininet::ftp;

TEST(FtpReplyParser, SingleAndMultiLineReplies) {
  ReplyParser single;
  EXPECT_EQ(single.Feed("250 Okay."), ReplyParser::Step::kDone);
  EXPECT_EQ(single.code(), 250);
  EXPECT_EQ(single.text(), "250 Okay.\r\n");

  ReplyParser bare;
  EXPECT_EQ(bare.Feed("200"), ReplyParser::Step::kDone);
  EXPECT_EQ(bare.code(), 200);

  // Lines inside a multi-line reply may start with other codes or with the same code and a
  // dash; only "230 " closes it.
  ReplyParser multi;
  EXPECT_EQ(multi.Feed("230-Welcome"), ReplyParser::Step::kMore);
  EXPECT_EQ(multi.Feed("220 not the end"), ReplyParser::Step::kMore);
  EXPECT_EQ(multi.Feed("230-still not"), ReplyParser::Step::kMore);
  EXPECT_EQ(multi.Feed(" 230 indented"), ReplyParser::Step::kMore);
  EXPECT_EQ(multi.Feed("230 Logged in."), ReplyParser::Step::kDone);
  EXPECT_EQ(multi.code(), 230);
  EXPECT_EQ(
      multi.text(),
      "230-Welcome\r\n220 not the end\r\n230-still not\r\n 230 indented\r\n230 Logged in.\r\n");
}

TEST(FtpReplyParser, GarbageAndOversizedRepliesAreRefused) {
  for (const char* line : {"", "hello", "2x0 no", "099 low", "600 high", "250xtext", "25"}) {
    ReplyParser parser;
    EXPECT_EQ(parser.Feed(line), ReplyParser::Step::kBad) << line;
  }
  // An overlong line is cut, never kept whole.
  ReplyParser longline;
  EXPECT_EQ(longline.Feed("250 " + std::string(100000, 'x')), ReplyParser::Step::kDone);
  EXPECT_LE(longline.text().size(), kMaxLineLength + 2);
  // A multi-line reply that never ends is refused once it passes the line limit.
  ReplyParser endless;
  ReplyParser::Step step = endless.Feed("220-start");
  for (std::size_t i = 0; i < kMaxReplyLines + 5 && step == ReplyParser::Step::kMore; ++i)
    step = endless.Feed("more");
  EXPECT_EQ(step, ReplyParser::Step::kBad);
}

TEST(FtpPassiveReplies, SizeEpsvAndPasvAndMalformedOnes) {
  EXPECT_EQ(ParseSize("213 5000\r\n"), 5000u);
  EXPECT_EQ(ParseSize("213 18446744073709551615"), UINT64_MAX);
  for (const char* bad :
       {"213 18446744073709551616", "213 12ab", "213 ", "550 5000", "2135000", "213 -1", "213 1 2"})
    EXPECT_FALSE(ParseSize(bad).has_value()) << bad;

  EXPECT_EQ(ParseEpsv("229 Entering Extended Passive Mode (|||6446|)"), 6446);
  EXPECT_EQ(ParseEpsv("229 ok (!!!21!)"), 21);
  for (const char* bad : {"229 (|||0|)", "229 (|||65536|)", "229 (|||99999999999999999999|)",
                          "229 (||6446|)", "229 (|||6446)", "229 no brackets", "229 (|||-1|)"})
    EXPECT_FALSE(ParseEpsv(bad).has_value()) << bad;

  auto target = ParsePasv("227 Entering Passive Mode (192,168,1,20,195,80).");
  ASSERT_TRUE(target.has_value());
  EXPECT_EQ(target->address[0], 192);
  EXPECT_EQ(target->address[3], 20);
  EXPECT_EQ(target->port, 195 * 256 + 80);
  EXPECT_TRUE(ParsePasv("227 =127,0,0,1,4,1").has_value());  // no brackets is common too
  for (const char* bad : {"227 (1,2,3,4,5)", "227 (256,0,0,1,4,1)", "227 (1,2,3,4,0,0)",
                          "227 (1,2,3,4,5,6666)", "227", "227 (a,b,c,d,e,f)"})
    EXPECT_FALSE(ParsePasv(bad).has_value()) << bad;
}

TEST(FtpListingLines, MlsdFacts) {
  auto file = ParseMlsdLine("type=file;size=1234;modify=20240101120000; report 1.txt");
  ASSERT_TRUE(file.has_value());
  EXPECT_EQ(file->name, "report 1.txt");
  EXPECT_FALSE(file->folder);
  EXPECT_EQ(file->size, 1234u);

  auto folder = ParseMlsdLine("Type=dir;Sizd=4096;perm=el; docs");
  ASSERT_TRUE(folder.has_value());
  EXPECT_TRUE(folder->folder);
  EXPECT_EQ(folder->size, 0u);

  auto big = ParseMlsdLine("type=file;size=5000000000; big.bin");
  ASSERT_TRUE(big.has_value());
  EXPECT_EQ(big->size, 5000000000u);
  auto huge = ParseMlsdLine("type=file;size=999999999999999999999999; huge.bin");
  ASSERT_TRUE(huge.has_value());
  EXPECT_EQ(huge->size, 0u);  // unknown, not wrapped

  for (const char* skipped :
       {"type=cdir; .", "type=pdir; ..", "type=file;size=1; a/b", "type=file; ..",
        "type=file;size=3;", "size=3; untyped", "no-facts-here"})
    EXPECT_FALSE(ParseMlsdLine(skipped).has_value()) << skipped;
}

TEST(FtpListingLines, UnixAndDosShapes) {
  auto file = ParseListLine("-rw-r--r--   1 owner group    123456 Jan 31 12:00 my file.txt");
  ASSERT_TRUE(file.has_value());
  EXPECT_EQ(file->name, "my file.txt");
  EXPECT_EQ(file->size, 123456u);
  EXPECT_FALSE(file->folder);

  auto folder = ParseListLine("drwxr-xr-x 2 owner 4096 Dec  1  2023 Pictures");
  ASSERT_TRUE(folder.has_value());  // no group column
  EXPECT_TRUE(folder->folder);
  EXPECT_EQ(folder->name, "Pictures");

  auto link = ParseListLine("lrwxrwxrwx 1 a b 7 Feb 2 03:04 latest -> v1.2/");
  ASSERT_TRUE(link.has_value());
  EXPECT_EQ(link->name, "latest");

  auto dos_file = ParseListLine("01-31-24  09:15PM            5000000000 archive.zip");
  ASSERT_TRUE(dos_file.has_value());
  EXPECT_EQ(dos_file->size, 5000000000u);
  auto dos_folder = ParseListLine("12-01-2023  10:00AM       <DIR>          Old Stuff");
  ASSERT_TRUE(dos_folder.has_value());
  EXPECT_TRUE(dos_folder->folder);
  EXPECT_EQ(dos_folder->name, "Old Stuff");

  for (const char* skipped :
       {"total 48", "drwxr-xr-x 2 a b 4096 Jan 1 12:00 .", "drwxr-xr-x 2 a b 4096 Jan 1 12:00 ..",
        "-rw-r--r-- 1 a b 10 Jan 1 12:00 ../escape", "-rw-r--r-- 1 a b 1x0 Jan 1 12:00 name",
        "01-31-24  09:15PM  <DIR>", "", "garbage line with words"})
    EXPECT_FALSE(ParseListLine(skipped).has_value()) << skipped;
  EXPECT_FALSE(ParseListLine("-rw-r--r-- 1 a b 1 Jan 1 12:00 " + std::string(300, 'n')));
}

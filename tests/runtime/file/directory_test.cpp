#include <sys/stat.h>

#include <cstring>
#include <filesystem>

#include "tests/support/taken_text.h"
#include "tests/runtime/file/file_fixture.h"

namespace fs = std::filesystem;
using tessark::testing::Taken;

namespace {

using Directory = FileModuleTest;

TEST_F(Directory, TheGamesWalkIntoItsDataFoldersAndBack) {
  fs::create_directories("Data/audio");
  fs::create_directories("Data/Images");
  std::string home = Taken(DirectoryGet());
  EXPECT_EQ(home, temp_.root().string());

  DirectorySet("Data\\Audio\\");
  EXPECT_EQ(TakeError(), 0);
  EXPECT_EQ(fs::current_path(), temp_.root() / "Data" / "audio");
  DirectorySet("..\\..\\");
  EXPECT_EQ(Taken(DirectoryGet()), home);
  DirectorySet("data\\images\\");
  EXPECT_EQ(fs::current_path(), temp_.root() / "Data" / "Images");
  DirectorySet("..\\..\\");
  EXPECT_EQ(TakeError(), 0);
  EXPECT_EQ(Taken(DirectoryGet()), home);
}

TEST_F(Directory, AFolderThatCannotBeEnteredRaises8003AndStaysPut) {
  TempFolder::Write("plain.txt", "x");
  std::string home = Taken(DirectoryGet());
  for (const char* path : {"Missing\\", "", "plain.txt", "d:\\"}) {
    DirectorySet(path);
    EXPECT_EQ(TakeError(), 8003) << path;
    EXPECT_EQ(Taken(DirectoryGet()), home) << path;
  }
  DirectorySet(nullptr);
  EXPECT_EQ(TakeError(), 8003);
}

TEST_F(Directory, MakeAndDeleteWholeFoldersButNeverThroughALink) {
  DirectoryMake("Made");
  EXPECT_TRUE(fs::is_directory("Made"));
  fs::create_directories("Made/a/b");
  TempFolder::Write("Made/a/b/f.txt", "1");
  TempFolder::Write("Made/g.txt", "2");
  ::chmod("Made/g.txt", 0444);
  fs::create_directories("Keep");
  TempFolder::Write("Keep/k.txt", "keep");
  fs::create_directory_symlink(temp_.root() / "Keep", "Made/a/link");

  DirectoryDelete("MADE");
  EXPECT_FALSE(fs::exists("Made"));
  EXPECT_EQ(TempFolder::Read("Keep/k.txt"), "keep") << "the link went, not what it led to";
  DirectoryDelete("Missing");  // nothing to do, nothing raised
  EXPECT_EQ(TakeError(), 0);
}

TEST_F(Directory, FindFirstAndNextWalkTheListingThenRaise8002) {
  EXPECT_EQ(FileFindType(), -1);
  EXPECT_EQ(Taken(FileFindName()), "");
  EXPECT_EQ(Taken(FileFindWritten()), "");
  FileFindNext();  // without a listing: nothing
  EXPECT_EQ(TakeError(), 0);

  TempFolder::Write("b.txt", "1");
  fs::create_directory("A");
  FileFindFirst();
  EXPECT_EQ(Taken(FileFindName()), ".");
  EXPECT_EQ(FileFindType(), 1);
  std::string written = Taken(FileFindWritten());
  ASSERT_EQ(written.size(), 24u);
  EXPECT_EQ(written[3], ' ');
  EXPECT_EQ(written.substr(written.size() - 4, 2), "20");  // the year closes the text
  EXPECT_EQ(Taken(FileFindCreated()).size(), 24u);

  std::vector<std::pair<std::string, int>> seen;
  for (int i = 0; i < 3; ++i) {
    FileFindNext();
    seen.emplace_back(Taken(FileFindName()), FileFindType());
  }
  EXPECT_EQ(seen, (std::vector<std::pair<std::string, int>>{{"..", 1}, {"A", 1}, {"b.txt", 0}}));
  FileFindNext();
  EXPECT_EQ(TakeError(), 0);
  EXPECT_EQ(FileFindType(), -1) << "the listing has ended";
  EXPECT_EQ(Taken(FileFindName()), "");
  FileFindNext();
  EXPECT_EQ(TakeError(), 8002);
  FileFindFirst();
  EXPECT_EQ(Taken(FileFindName()), ".") << "a new listing starts over";
}

TEST_F(Directory, ListingsFillTheCheckList) {
  TempFolder::Write("file.txt", "1");
  fs::create_directory("folder");
  const std::string long_name(200, 'n');
  TempFolder::Write(long_name, "");
  FileFindFirst();
  DirectoryList();
  EXPECT_EQ(FileFindType(), -1) << "a folder listing ends the find listing";
  const tessark::CoreData& core = *tessark::CoreDataGet();
  ASSERT_EQ(core.check_list_count, 5);
  EXPECT_EQ(core.check_list_in_use, 1);
  EXPECT_EQ(core.check_list_has_values, 1);
  EXPECT_EQ(core.check_list_enumerated, 1);
  std::vector<std::string> names;
  for (int i = 0; i < 5; ++i) names.push_back(core.check_list[i].text);
  EXPECT_EQ(names, (std::vector<std::string>{".", "..", "file.txt", "folder", long_name}));
  EXPECT_EQ(core.check_list[0].values[0], 1);
  EXPECT_EQ(core.check_list[2].values[0], 0);
  EXPECT_EQ(core.check_list[3].values[0], 1);

  DriveList();
  ASSERT_EQ(core.check_list_count, 2);
  EXPECT_STREQ(core.check_list[0].text, "a:\\");
  EXPECT_STREQ(core.check_list[1].text, "c:\\");
  EXPECT_EQ(core.check_list_has_values, 0);
  EXPECT_EQ(core.check_list_enumerated, 1);
}

TEST_F(Directory, PrintsGoThroughThePrintEngine) {
  TempFolder::Write("f.txt", "1");
  fs::create_directory("sub");
  DirectoryPrint();
  EXPECT_EQ(printed(), (std::vector<std::string>{temp_.root().string() + ":", "<dir>.", "<dir>..",
                                                 "f.txt", "<dir>sub"}));
  printed().clear();
  std::string home = Taken(DirectoryGet());
  DrivesPrint();
  EXPECT_EQ(printed(), (std::vector<std::string>{"C:"}));
  EXPECT_EQ(Taken(DirectoryGet()), home);
}

TEST_F(Directory, NamedFileOperations) {
  TempFolder::Write("Data.bin", std::string("\x01\x02\xff", 3));
  EXPECT_EQ(FileExists("data.BIN"), 1);
  EXPECT_EQ(FileExists("nothing"), 0);
  EXPECT_EQ(FileExists(std::string(300, 'x').c_str()), 0) << "longer than any name";
  EXPECT_EQ(PathExists("DATA.bin"), 1);
  fs::create_directory("dir");
  EXPECT_EQ(PathExists("DIR"), 1);
  EXPECT_EQ(FileExists("dir"), 0);
  EXPECT_EQ(FileSize("data.bin"), 3);
  EXPECT_EQ(FileSize("nothing"), 0);

  EXPECT_EQ(FilePeekByte("data.bin", 2), 255);
  EXPECT_EQ(FilePeekByte("data.bin", 3), 0);
  EXPECT_EQ(FilePeekByte("data.bin", -1), 0);
  FilePokeByte("data.bin", 1, 0x141);
  FilePokeByte("data.bin", 3, 7);  // outside: unchanged
  EXPECT_EQ(TempFolder::Read("Data.bin"), std::string("\x01\x41\xff", 3));

  FileCopy("data.bin", "copy.bin");
  EXPECT_EQ(TempFolder::Read("copy.bin"), TempFolder::Read("Data.bin"));
  TempFolder::Write("other.bin", "other");
  FileCopy("data.bin", "other.bin");
  EXPECT_EQ(TempFolder::Read("other.bin"), "other") << "an existing destination is kept";
  FileMove("copy.bin", "other.bin");
  EXPECT_TRUE(fs::exists("copy.bin"));
  FileMove("copy.bin", "moved.bin");
  EXPECT_FALSE(fs::exists("copy.bin"));
  EXPECT_TRUE(fs::exists("moved.bin"));

  ::chmod("moved.bin", 0444);
  FileDelete("MOVED.bin");
  EXPECT_FALSE(fs::exists("moved.bin"));
  FileMake("made.txt");
  EXPECT_EQ(fs::file_size("made.txt"), 0u);
  TempFolder::Write("made.txt", "content");
  FileMake("made.txt");
  EXPECT_EQ(fs::file_size("made.txt"), 0u) << "FileMake replaces";
  EXPECT_EQ(TakeError(), 0);
}

TEST_F(Directory, TheProgramsOwnNames) {
  EXPECT_EQ(fs::path(Taken(AppFileName())), fs::canonical("/proc/self/exe"));
  EXPECT_TRUE(fs::is_directory(Taken(WindowsFolder())));
}

}  // namespace

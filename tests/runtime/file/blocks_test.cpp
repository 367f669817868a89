#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <string>

#include "tests/support/taken_text.h"
#include "tests/runtime/file/file_fixture.h"

namespace fs = std::filesystem;
using tessark::testing::Taken;

namespace {

using Blocks = FileModuleTest;

std::string Long(std::uint32_t value) {
  return std::string{static_cast<char>(value), static_cast<char>(value >> 8),
                     static_cast<char>(value >> 16), static_cast<char>(value >> 24)};
}

// One folder-block entry as bytes.
std::string Entry(const std::string& name, const std::string& content) {
  return Long(static_cast<std::uint32_t>(name.size() + 1)) + name + '\0' +
         Long(static_cast<std::uint32_t>(content.size())) + content;
}

// Every file below root, by path relative to it, with its content.
std::map<std::string, std::string> Tree(const fs::path& root) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(root))
    if (entry.is_regular_file())
      files[fs::relative(entry.path(), root).string()] = TempFolder::Read(entry.path());
  return files;
}

TEST_F(Blocks, AFolderBlockIsTheFileCountThenEachNameAndContent) {
  TempFolder::Write("pack/b.txt", "BB");
  TempFolder::Write("pack/A/x.bin", "x");
  FileOpenWrite(1, "folder.blk");
  FileWriteFolder(1, "PACK");
  FileClose(1);
  EXPECT_EQ(TempFolder::Read("folder.blk"), Long(2) + Entry("A\\x.bin", "x") + Entry("b.txt", "BB"))
      << "depth first, each folder's entries in listing order";
}

TEST_F(Blocks, AFolderWrittenAndReadBackIsTheSameByteForByte) {
  std::string binary;
  for (int i = 0; i < 70000; ++i) binary += static_cast<char>((i * 7) & 0xFF);
  TempFolder::Write("src/top.bin", binary);
  TempFolder::Write("src/empty.txt", "");
  TempFolder::Write("src/one/two/three/four/five/six/seven/eight/nine/deep.txt", "deep");
  TempFolder::Write("src/one/mid.txt", std::string("a\0b\r\n", 5));
  FileOpenWrite(2, "tree.blk");
  FileWriteFolder(2, "src");
  FileWriteLong(2, 12345);  // what follows the block must stay readable
  FileClose(2);

  FileOpenRead(2, "tree.blk");
  FileReadFolder(2, "unpacked\\here");
  EXPECT_EQ(FileReadLong(2), 12345);
  FileClose(2);
  EXPECT_EQ(Tree("unpacked/here"), Tree("src"));
  EXPECT_EQ(Taken(DirectoryGet()), temp_.root().string()) << "the current directory is unchanged";
  EXPECT_EQ(TakeError(), 0);
}

TEST_F(Blocks, EntriesThatWouldLeaveTheFolderAreSkippedAndTheReadGoesOn) {
  fs::create_directories("target");
  fs::create_directories("elsewhere");
  fs::create_directory_symlink(temp_.root() / "elsewhere", "target/link");
  std::string block = Long(8) + Entry("..\\..\\escape.txt", "bad") + Entry("\\abs.txt", "bad") +
                      Entry("/tmp/abs.txt", "bad") + Entry("c:\\drive.txt", "bad") +
                      Entry("sub\\..\\..\\up.txt", "bad") + Entry("link\\through.txt", "bad") +
                      Entry("good\\ok.txt", "fine") + Entry("last.txt", "end");
  TempFolder::Write("evil.blk", block + Long(77));

  FileOpenRead(1, "evil.blk");
  FileReadFolder(1, "target");
  EXPECT_EQ(FileReadLong(1), 77) << "refused entries were read past";
  FileClose(1);
  EXPECT_EQ(Tree("target"),
            (std::map<std::string, std::string>{{"good/ok.txt", "fine"}, {"last.txt", "end"}}));
  EXPECT_TRUE(fs::is_empty("elsewhere"));
  EXPECT_FALSE(fs::exists("escape.txt"));
  EXPECT_FALSE(fs::exists(temp_.root().parent_path() / "escape.txt"));
  EXPECT_FALSE(fs::exists("up.txt"));
  EXPECT_FALSE(fs::exists("/tmp/abs.txt") && TempFolder::Read("/tmp/abs.txt") == "bad");
}

TEST_F(Blocks, MalformedFolderBlocksStopWithoutHarm) {
  const std::string cases[] = {
      Long(1),                                      // count, then nothing
      Long(0xFFFFFFFFu) + Entry("a.txt", "a"),      // count far beyond the entries
      Long(1) + Long(100000) + "name",              // a name no buffer holds
      Long(1) + Long(0),                            // a name without even its terminator
      Long(1) + Long(4) + "abcd" + Long(5) + "ab",  // unterminated name, short content
      Long(1) + Long(6) + "x.txt" + '\0' + Long(0x7FFFFFFF) + "tiny",  // a size of 2 GB
  };
  int n = 0;
  for (const std::string& block : cases) {
    std::string name = "bad" + std::to_string(n++) + ".blk";
    TempFolder::Write(name, block);
    FileOpenRead(3, name.c_str());
    FileReadFolder(3, "out");
    FileClose(3);
  }
  EXPECT_EQ(TempFolder::Read("out/a.txt"), "a");
  EXPECT_EQ(TempFolder::Read("out/abc"), "ab") << "the name is cut at its terminator byte";
  EXPECT_EQ(TempFolder::Read("out/x.txt"), "tiny");
  EXPECT_EQ(TakeError(), 0);
}

TEST_F(Blocks, FileBlocksRoundTripAndStayBeneathTheCurrentFolder) {
  TempFolder::Write("source.dat", std::string("\0\1\2\3", 4));
  FileOpenWrite(4, "file.blk");
  FileWriteBlock(4, "SOURCE.dat");
  FileWriteBlock(4, "source.dat");
  FileWriteBlock(4, "missing.dat");  // nothing written
  FileWriteLong(4, 99);
  FileClose(4);
  EXPECT_EQ(TempFolder::Read("file.blk").substr(0, 8), Long(4) + std::string("\0\1\2\3", 4));

  FileOpenRead(4, "file.blk");
  FileReadBlock(4, "..\\outside.dat");
  FileReadBlock(4, "made\\in\\here.dat");
  EXPECT_EQ(FileReadLong(4), 99);
  FileClose(4);
  EXPECT_FALSE(fs::exists(temp_.root().parent_path() / "outside.dat"));
  EXPECT_EQ(TempFolder::Read("made/in/here.dat"), std::string("\0\1\2\3", 4));
}

// A stand-in for the memory-block module's five services.
std::map<std::int32_t, std::string>& FakeBlocks() {
  static std::map<std::int32_t, std::string> blocks;
  return blocks;
}

void BindFakeMemblocks() {
  tessark::MemblockServices& services = tessark::Modules().memblock_services;
  services.Make = [](std::int32_t number, std::int32_t size) -> std::uint8_t* {
    if (size <= 0 || size > 1 << 20) return nullptr;
    FakeBlocks()[number] = std::string(static_cast<std::size_t>(size), '\0');
    return reinterpret_cast<std::uint8_t*>(FakeBlocks()[number].data());
  };
  services.Free = [](std::int32_t number) { FakeBlocks().erase(number); };
  services.Size = [](std::int32_t number) {
    auto found = FakeBlocks().find(number);
    return found == FakeBlocks().end() ? 0 : static_cast<std::int32_t>(found->second.size());
  };
  services.SetSize = [](std::int32_t, std::int32_t) {};
  services.Address = [](std::int32_t number) -> std::uint8_t* {
    auto found = FakeBlocks().find(number);
    return found == FakeBlocks().end() ? nullptr
                                       : reinterpret_cast<std::uint8_t*>(found->second.data());
  };
}

TEST_F(Blocks, MemoryBlockTransfersWaitForTheModuleThenCheckInOrder) {
  tessark::Modules().memblock_services = tessark::MemblockServices{};
  Bind();
  FileOpenWrite(1, "mem.bin");
  FileWriteMemblock(1, 300);  // no memory-block module: nothing at all
  EXPECT_EQ(TakeError(), 0);
  FileClose(1);

  BindFakeMemblocks();
  Bind();
  FakeBlocks()[2] = "bytes";
  FileWriteMemblock(1, 0);
  EXPECT_EQ(TakeError(), 5101);
  FileWriteMemblock(65, 256);
  EXPECT_EQ(TakeError(), 5101) << "the block number is tested first";
  FileWriteMemblock(65, 2);
  EXPECT_EQ(TakeError(), 8213);
  FileWriteMemblock(9, 2);
  EXPECT_EQ(TakeError(), 8204);
  FileOpenWrite(9, "mem2.bin");
  FileWriteMemblock(9, 3);
  EXPECT_EQ(TakeError(), 5103);
  FileWriteMemblock(9, 2);
  FileWriteMemblockData(9, 2);
  FileClose(9);
  EXPECT_EQ(TakeError(), 0);
  EXPECT_EQ(TempFolder::Read("mem2.bin"), Long(5) + "bytes" + "bytes");

  FileOpenRead(9, "mem2.bin");
  FileReadMemblock(9, 4);
  EXPECT_EQ(FakeBlocks()[4], "bytes");
  FileReadMemblock(9, 5);
  EXPECT_EQ(TakeError(), 5104) << "\"byte\" read as a size of about 1.7 GB";
  FileLoadMemblock(6, 9);
  EXPECT_EQ(FakeBlocks()[6], Long(5) + "bytesbytes");
  FileClose(9);
  EXPECT_EQ(TakeError(), 0);

  TempFolder::Write("short.bin", Long(50) + "few");
  FileOpenRead(9, "short.bin");
  FileReadMemblock(9, 7);
  EXPECT_EQ(TakeError(), 8211);
  FileClose(9);
  tessark::Modules().memblock_services = tessark::MemblockServices{};
  FakeBlocks().clear();
}

}  // namespace

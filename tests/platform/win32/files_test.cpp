#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/win32/files.h"
#include "platform/win32/paths.h"
#include "tests/support/temp_folder.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::string> Listing(const char* pattern) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA data;
  HANDLE find = win32::FindFirstFileA(pattern, &data);
  if (find == INVALID_HANDLE_VALUE) return names;
  do names.push_back(data.cFileName);
  while (win32::FindNextFileA(find, &data));
  win32::FindClose(find);
  return names;
}

TEST(NativePath, OnlyDriveCExistsAndCaseMatchesAreStable) {
  TempFolder temp("paths");
  fs::create_directories("Data/images");
  EXPECT_EQ(win32::NativePath("c:\\"), "/");
  EXPECT_EQ(win32::NativePath("C:/tmp"), "/tmp");
  EXPECT_EQ(win32::NativePath("d:\\anything"), "");
  EXPECT_EQ(win32::NativePath("data\\IMAGES\\x.png"), "Data/images/x.png");
  EXPECT_EQ(win32::NativePath("Data\\\\images"), "Data/images");
  // Two entries equal without regard to case: the answer does not depend on listing order.
  fs::create_directories("Data/AUDIO");
  fs::create_directories("Data/audio");
  EXPECT_EQ(win32::NativePath("Data\\Audio"), "Data/AUDIO");
  EXPECT_EQ(win32::NativePath("Data\\audio"), "Data/audio");
}

TEST(Files, CreateModesReadWriteSeekAndSize) {
  TempFolder temp("files");
  HANDLE file = win32::CreateFileA("New.bin", GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD count = 0;
  EXPECT_TRUE(win32::WriteFile(file, "hello", 5, &count, nullptr));
  EXPECT_EQ(count, 5u);
  win32::CloseHandle(file);
  EXPECT_EQ(win32::CreateFileA("new.bin", GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr),
            INVALID_HANDLE_VALUE)
      << "CREATE_NEW refuses an existing name, whatever its case";

  file = win32::CreateFileA("NEW.BIN", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                            nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  EXPECT_EQ(win32::GetFileSize(file, nullptr), 5u);
  EXPECT_EQ(win32::SetFilePointer(file, 3, nullptr, FILE_BEGIN), 3u);
  char buffer[8] = {};
  EXPECT_TRUE(win32::ReadFile(file, buffer, 8, &count, nullptr));
  EXPECT_EQ(count, 2u);
  EXPECT_STREQ(buffer, "lo");
  EXPECT_FALSE(win32::WriteFile(file, "x", 1, &count, nullptr)) << "opened for reading only";
  win32::CloseHandle(file);

  fs::create_directory("folder");
  EXPECT_EQ(win32::CreateFileA("folder", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(win32::CreateFileA("d:\\x", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr),
            INVALID_HANDLE_VALUE);
}

TEST(Files, ListingsPutDotsFirstThenNamesWithoutRegardToCase) {
  TempFolder temp("listing");
  TempFolder::Write("b.txt", "1");
  TempFolder::Write("A.TXT", "22");
  TempFolder::Write("c.dat", "");
  fs::create_directory("Sub");
  EXPECT_EQ(Listing("*.*"),
            (std::vector<std::string>{".", "..", "A.TXT", "b.txt", "c.dat", "Sub"}));
  EXPECT_EQ(Listing("*.txt"), (std::vector<std::string>{"A.TXT", "b.txt"}));
  EXPECT_EQ(Listing("sub\\*"), (std::vector<std::string>{".", ".."}));
  EXPECT_TRUE(Listing("missing\\*.*").empty());

  WIN32_FIND_DATAA data;
  HANDLE find = win32::FindFirstFileA("a.txt", &data);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  EXPECT_EQ(data.nFileSizeLow, 2u);
  EXPECT_EQ(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
  win32::FindClose(find);

  _finddata_t entry;
  std::intptr_t crt_find = win32::_findfirst("S*", &entry);
  ASSERT_NE(crt_find, -1);
  EXPECT_STREQ(entry.name, "Sub");
  EXPECT_NE(entry.attrib & _A_SUBDIR, 0u);
  EXPECT_GT(entry.time_write, 0);
  EXPECT_EQ(win32::_findnext(crt_find, &entry), -1);
  win32::_findclose(crt_find);
}

TEST(Files, CopyAndMoveNeverReplaceAndDeleteLeavesFolders) {
  TempFolder temp("copy");
  TempFolder::Write("a", "source");
  TempFolder::Write("b", "kept");
  EXPECT_FALSE(win32::CopyFileA("a", "b", TRUE));
  EXPECT_EQ(TempFolder::Read("b"), "kept");
  EXPECT_TRUE(win32::CopyFileA("A", "c", TRUE));
  EXPECT_EQ(TempFolder::Read("c"), "source");
  EXPECT_FALSE(win32::MoveFileA("a", "b"));
  EXPECT_EQ(TempFolder::Read("b"), "kept");
  EXPECT_TRUE(win32::MoveFileA("a", "d"));
  EXPECT_FALSE(fs::exists("a"));
  fs::create_directory("dir");
  EXPECT_FALSE(win32::DeleteFileA("dir"));
  EXPECT_TRUE(win32::DeleteFileA("D"));
  EXPECT_FALSE(win32::RemoveDirectoryA("missing"));
  EXPECT_TRUE(win32::RemoveDirectoryA("DIR"));

  TempFolder::Write("ro", "x");
  EXPECT_TRUE(win32::SetFileAttributesA("ro", FILE_ATTRIBUTE_READONLY));
  EXPECT_NE(win32::GetFileAttributesA("ro") & FILE_ATTRIBUTE_READONLY, 0u);
  EXPECT_TRUE(win32::SetFileAttributesA("ro", FILE_ATTRIBUTE_NORMAL));
  EXPECT_EQ(win32::GetFileAttributesA("ro") & FILE_ATTRIBUTE_READONLY, 0u);
  EXPECT_EQ(win32::GetFileAttributesA("nothing"), INVALID_FILE_ATTRIBUTES);
}

TEST(Files, DirectoriesDrivesAndProgramNames) {
  TempFolder temp("dirs");
  fs::create_directory("Inner");
  EXPECT_EQ(win32::_chdir(""), -1);
  EXPECT_EQ(win32::_chdir(nullptr), -1);
  EXPECT_EQ(win32::_chdir("inner"), 0);
  char buffer[4096];
  ASSERT_NE(win32::_getcwd(buffer, sizeof buffer), nullptr);
  EXPECT_EQ(fs::path(buffer).filename(), "Inner");
  EXPECT_EQ(win32::GetCurrentDirectoryA(2, buffer), std::strlen(temp.root().c_str()) + 7)
      << "too small a buffer reports the size needed";
  EXPECT_EQ(win32::_chdir(".."), 0);

  EXPECT_EQ(win32::GetLogicalDrives(), 4u);
  EXPECT_EQ(win32::GetDriveTypeA("c:\\"), DRIVE_FIXED);
  EXPECT_EQ(win32::GetDriveTypeA("D:\\"), DRIVE_NO_ROOT_DIR);
  EXPECT_EQ(win32::_chdrive(3), 0);
  EXPECT_EQ(win32::_chdrive(4), -1);

  char path[4096];
  DWORD length = win32::GetModuleFileNameA(nullptr, path, sizeof path);
  ASSERT_GT(length, 0u);
  EXPECT_EQ(fs::path(path), fs::canonical("/proc/self/exe"));
  char small[4];
  EXPECT_EQ(win32::GetModuleFileNameA(nullptr, small, sizeof small), 4u);
  EXPECT_EQ(std::strlen(small), 3u) << "cut to the buffer, terminated";
  length = win32::GetTempPathA(sizeof path, path);
  ASSERT_GT(length, 0u);
  EXPECT_EQ(path[length - 1], '/');
}

TEST(CreateFileInFolder, WritesBeneathTheFolderOnly) {
  TempFolder temp("beneath");
  fs::create_directories("out/Sub");
  fs::create_directories("outside");
  fs::create_directory_symlink(temp.root() / "outside", "out/link");

  HANDLE file = win32::CreateFileInFolder("out", "sub\\deep\\er\\f.txt", 64);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD count = 0;
  win32::WriteFile(file, "ok", 2, &count, nullptr);
  win32::CloseHandle(file);
  EXPECT_EQ(TempFolder::Read("out/Sub/deep/er/f.txt"), "ok") << "existing folders match by case";

  for (const char* name :
       {"..\\escape.txt", "a\\..\\..\\escape.txt", "\\escape.txt", "/tmp/escape.txt",
        "c:\\escape.txt", "c:escape.txt", "link\\escape.txt", "link", "", "folder\\"}) {
    EXPECT_EQ(win32::CreateFileInFolder("out", name, 64), INVALID_HANDLE_VALUE) << name;
  }
  EXPECT_TRUE(fs::is_empty("outside"));
  EXPECT_FALSE(fs::exists("escape.txt"));
  EXPECT_EQ(win32::CreateFileInFolder("out", "a\\b\\c.txt", 1), INVALID_HANDLE_VALUE)
      << "deeper than allowed";
}

}  // namespace

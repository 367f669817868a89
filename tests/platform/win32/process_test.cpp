#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>

#include "platform/win32/process.h"
#include "platform/win32/shared_memory.h"
#include "tests/support/temp_folder.h"

namespace fs = std::filesystem;

namespace {

// Waits (up to five seconds) for a process to end; its exit code, or STILL_ACTIVE.
DWORD WaitForExit(HANDLE process) {
  DWORD code = STILL_ACTIVE;
  for (int i = 0; i < 5000 && code == STILL_ACTIVE; ++i) {
    win32::GetExitCodeProcess(process, &code);
    if (code == STILL_ACTIVE) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return code;
}

HANDLE Start(const char* application, std::string line, const char* folder = nullptr) {
  PROCESS_INFORMATION info{};
  if (!win32::CreateProcessA(application, line.data(), nullptr, nullptr, FALSE,
                             NORMAL_PRIORITY_CLASS, nullptr, folder, nullptr, &info))
    return nullptr;
  return info.hProcess;
}

TEST(CommandLine, SplitsTheWindowsWay) {
  using Args = std::vector<std::string>;
  EXPECT_EQ(win32::CommandLineToArgs("  a  b\tc "), (Args{"a", "b", "c"}));
  EXPECT_EQ(win32::CommandLineToArgs("\"a b\" c\"d e\"f"), (Args{"a b", "cd ef"}));
  EXPECT_EQ(win32::CommandLineToArgs("a\\\\b \\\"x\\\" \"\""), (Args{"a\\\\b", "\"x\"", ""}));
  EXPECT_EQ(win32::CommandLineToArgs("\"c:\\dir\\\\\" n"), (Args{"c:\\dir\\", "n"}));
  EXPECT_EQ(win32::CommandLineToArgs("\"say \"\"hi\"\"\""), (Args{"say \"hi\""}));
  EXPECT_TRUE(win32::CommandLineToArgs("   ").empty());
}

TEST(Processes, CommandLinesNeverReachAShell) {
  TempFolder temp("noshell");
  fs::create_directory("work");
  HANDLE process = Start(nullptr, "touch \"a;touch b\" $(touch c) `touch d` e|touch f", "work");
  ASSERT_NE(process, nullptr);
  EXPECT_EQ(WaitForExit(process), 0u);
  win32::CloseHandle(process);
  EXPECT_TRUE(fs::exists("work/a;touch b"));
  EXPECT_TRUE(fs::exists("work/$(touch"));
  EXPECT_TRUE(fs::exists("work/e|touch"));
  for (const char* name : {"b", "c", "d"}) EXPECT_FALSE(fs::exists(fs::path("work") / name));
}

TEST(Processes, ExitCodesStillActiveAndThePoliteClose) {
  HANDLE failing = Start(nullptr, "false");
  ASSERT_NE(failing, nullptr);
  EXPECT_EQ(WaitForExit(failing), 1u);
  win32::CloseHandle(failing);

  HANDLE sleeper = Start("/bin/sleep", "sleep 30");
  ASSERT_NE(sleeper, nullptr);
  DWORD pid = win32::GetProcessId(sleeper);
  DWORD code = 0;
  EXPECT_TRUE(win32::GetExitCodeProcess(sleeper, &code));
  EXPECT_EQ(code, STILL_ACTIVE);
  HANDLE again = win32::OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, pid);
  ASSERT_NE(again, nullptr);
  EXPECT_TRUE(win32::PostCloseToProcessWindows(pid));
  EXPECT_EQ(WaitForExit(again), 128u + 15u);
  win32::CloseHandle(again);
  win32::CloseHandle(sleeper);

  EXPECT_FALSE(win32::PostCloseToProcessWindows(win32::GetCurrentProcessId()));
  EXPECT_FALSE(win32::PostCloseToProcessWindows(0));
  EXPECT_FALSE(win32::PostCloseToProcessWindows(1));
  EXPECT_FALSE(win32::PostCloseToProcessWindows(0xFFFFFFFFu)) << "not a process group";
  EXPECT_EQ(win32::OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, 0), nullptr);
  EXPECT_EQ(Start(nullptr, "no-such-program-here"), nullptr);
  EXPECT_EQ(Start(nullptr, "true", "missing-folder"), nullptr);
}

TEST(Processes, ShellOpenStartsProgramsAndHandsDocumentsToTheOpener) {
  TempFolder temp("shell");
  TempFolder::Write("opener.sh", "#!/bin/sh\necho \"$1\" > opened.txt\n");
  ::chmod("opener.sh", 0755);
  TempFolder::Write("Doc.txt", "text");
  win32::testing::SetDocumentOpener((temp.root() / "opener.sh").c_str());

  SHELLEXECUTEINFOA info{};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS;
  info.lpFile = "doc.TXT";
  ASSERT_TRUE(win32::ShellExecuteExA(&info));
  ASSERT_NE(info.hProcess, nullptr);
  EXPECT_EQ(WaitForExit(info.hProcess), 0u);
  win32::CloseHandle(info.hProcess);
  EXPECT_EQ(TempFolder::Read("opened.txt"), (temp.root() / "Doc.txt").string() + "\n");

  info.lpFile = "touch";
  info.lpParameters = "\"made by; touch\"";
  ASSERT_TRUE(win32::ShellExecuteExA(&info));
  EXPECT_EQ(WaitForExit(info.hProcess), 0u);
  win32::CloseHandle(info.hProcess);
  EXPECT_TRUE(fs::exists("made by; touch"));

  EXPECT_EQ(reinterpret_cast<std::intptr_t>(
                win32::ShellExecuteA(nullptr, "open", "missing.doc", nullptr, nullptr, 1)),
            SE_ERR_FNF);
  win32::testing::SetDocumentOpener(nullptr);
}

TEST(SharedMemory, ASecondMappingSeesTheSameBytesUntilTheLastCloses) {
  std::string name = "Local\\tessark test/" + std::to_string(::getpid());
  HANDLE first = win32::CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 1024,
                                           name.c_str());
  ASSERT_NE(first, nullptr);
  HANDLE second = win32::OpenFileMappingA(FILE_MAP_READ, FALSE, name.c_str());
  ASSERT_NE(second, nullptr);
  auto* writer = static_cast<char*>(win32::MapViewOfFile(first, FILE_MAP_WRITE, 0, 0, 0));
  auto* reader = static_cast<const char*>(win32::MapViewOfFile(second, FILE_MAP_READ, 0, 0, 1024));
  ASSERT_NE(writer, nullptr);
  ASSERT_NE(reader, nullptr);
  EXPECT_EQ(reader[0], 0) << "a new area starts zeroed";
  std::strcpy(writer + 8, "shared");
  EXPECT_STREQ(reader + 8, "shared");
  EXPECT_EQ(win32::MapViewOfFile(first, FILE_MAP_READ, 0, 0, 2048), nullptr);
  EXPECT_TRUE(win32::UnmapViewOfFile(writer));
  EXPECT_FALSE(win32::UnmapViewOfFile(writer));
  EXPECT_TRUE(win32::UnmapViewOfFile(reader));

  EXPECT_EQ(win32::OpenFileMappingA(FILE_MAP_READ, FALSE, (name + "x").c_str()), nullptr);
  win32::CloseHandle(first);
  HANDLE third = win32::OpenFileMappingA(FILE_MAP_READ, FALSE, name.c_str());
  EXPECT_NE(third, nullptr) << "still held through the second handle";
  win32::CloseHandle(third);
  win32::CloseHandle(second);
  EXPECT_EQ(win32::OpenFileMappingA(FILE_MAP_READ, FALSE, name.c_str()), nullptr)
      << "the last holder removed it";
  win32::testing::SharedMemoryUnlink(name.c_str());
}

}  // namespace

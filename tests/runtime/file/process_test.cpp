#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>

#include "tests/support/taken_text.h"
#include "platform/win32/shared_memory.h"
#include "tests/runtime/file/file_fixture.h"

namespace fs = std::filesystem;
using tessark::testing::Taken;

namespace {

using Programs = FileModuleTest;

bool WaitUntilEnded(std::int32_t pid) {
  for (int i = 0; i < 5000; ++i) {
    if (!ProcessRunning(pid)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return false;
}

TEST_F(Programs, ProcessStartSplitsTheCommandLineWithoutAShell) {
  fs::create_directory("work");
  std::int32_t pid = ProcessStart("", "touch", "\"x;touch y\" $(touch z) `touch w`", "work", 0);
  ASSERT_GT(pid, 0);
  ASSERT_TRUE(WaitUntilEnded(pid));
  EXPECT_TRUE(fs::exists("work/x;touch y"));
  EXPECT_TRUE(fs::exists("work/$(touch"));
  for (const char* name : {"y", "z", "w"}) EXPECT_FALSE(fs::exists(fs::path("work") / name));

  EXPECT_EQ(ProcessStart("", "no-such-program-anywhere", "", "", 0), 0);
  EXPECT_EQ(ProcessStart("", "true", "", "missing", 0), 0);
}

TEST_F(Programs, RunningAndThePoliteClose) {
  std::int32_t pid = ProcessStart("/bin/sleep", "sleep", "30", temp_.root().c_str(), 1);
  ASSERT_GT(pid, 0);
  EXPECT_EQ(ProcessRunning(pid), 1);
  ProcessClose(pid);
  EXPECT_TRUE(WaitUntilEnded(pid));
  EXPECT_EQ(ProcessRunning(0), 0);
  EXPECT_EQ(ProcessRunning(-5), 0);
  ProcessClose(-1);  // never a signal to a whole process group
  ProcessClose(static_cast<std::int32_t>(::getpid()));
  SUCCEED() << "still here";
}

TEST_F(Programs, TheWaitingProgramRunPumpsUntilTheProgramEnds) {
  static int pumps = 0;
  pumps = 0;
  tessark::CoreDataGet()->MessagePump = [] {
    ++pumps;
    return 0;
  };
  TempFolder::Write("slow.sh", "#!/bin/sh\nsleep 0.1\ntouch \"$1\"\n");
  ::chmod("slow.sh", 0755);
  ProgramRun("slow.sh", "\"done file\"", "", 1);
  EXPECT_TRUE(fs::exists("done file")) << "returned only after the program ended";
  EXPECT_GT(pumps, 0);

  // A quit seen by the pump ends the wait at once.
  tessark::CoreDataGet()->MessagePump = [] { return 1; };
  auto start = std::chrono::steady_clock::now();
  ProgramRun("/bin/sleep", "5", "", 1);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  Bind();  // drops the kept process handle

  ProgramRun("touch", "plain", nullptr);
  for (int i = 0; i < 5000 && !fs::exists("plain"); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_TRUE(fs::exists("plain"));
}

TEST_F(Programs, SharedAreasHoldANumberAndAText) {
  std::string name = "file test area " + std::to_string(::getpid());
  EXPECT_EQ(SharedAreaReadNumber(name.c_str()), 0);
  SharedAreaWriteNumber(name.c_str(), -123456);
  SharedAreaWriteText(name.c_str(), "hello there");
  EXPECT_EQ(SharedAreaReadNumber(name.c_str()), -123456);
  EXPECT_EQ(Taken(SharedAreaReadText(name.c_str())), "hello there");
  SharedAreaWriteText(name.c_str(), std::string(1001, 'x').c_str());
  EXPECT_EQ(Taken(SharedAreaReadText(name.c_str())), "hello there") << "too long: not stored";
  SharedAreaWriteText(name.c_str(), std::string(1000, 'y').c_str());
  EXPECT_EQ(Taken(SharedAreaReadText(name.c_str())), std::string(1000, 'y'));

  // A second mapping of the same name (another program, say) sees the layout.
  HANDLE other = win32::OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, name.c_str());
  ASSERT_NE(other, nullptr);
  auto* bytes = static_cast<unsigned char*>(win32::MapViewOfFile(other, FILE_MAP_WRITE, 0, 0, 0));
  ASSERT_NE(bytes, nullptr);
  std::int32_t number = 0, length = 0;
  std::memcpy(&number, bytes, 4);
  std::memcpy(&length, bytes + 4, 4);
  EXPECT_EQ(number, -123456);
  EXPECT_EQ(length, 1000);
  // Whatever another program leaves there, the text read stays inside the area.
  std::memset(bytes + 4, 'z', 1020);
  EXPECT_EQ(Taken(SharedAreaReadText(name.c_str())), std::string(1016, 'z'));
  win32::UnmapViewOfFile(bytes);
  win32::CloseHandle(other);
  EXPECT_EQ(SharedAreaReadNumber(nullptr), 0);
  win32::testing::SharedMemoryUnlink(name.c_str());
}

}  // namespace

// The FTP module against a scripted server that misbehaves on purpose: data that stops (the
// stall check timed on the test clock), a failed or short ending, a local name that is a link
// or a named pipe, refused and silent servers, and server names with a port. Each call is
// timed against its bound; what is checked is what a game sees: the result, the progress, the
// failure text and the files left.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "tests/platform/wininet/scripted_server.h"
#include "tests/runtime/ftp/ftp_fixture.h"

using namespace tessark;

namespace {

// A step waits at most 3 x 16 ms on the network; the rest is room for a loaded machine. The
// reads before these mends waited for the whole timeout (3 s here).
constexpr double kStepBoundMs = 400;
constexpr double kTimeoutBoundMs = 2500;

class FtpHostileTest : public FtpModuleFixture {
 protected:
  void SetUp() override {
    FtpModuleFixture::SetUp();
    wininet::testing::SetTimeoutMs(3000);
  }
  // Connects through the port hook (a "host:port" name is tried on its own below). The listing
  // is refused so that a download's size is the one given (or the server's SIZE answer).
  static bool ConnectTo(ScriptedServer& server) {
    server.Answer("MLSD", "550 no listing\r\n");
    server.Answer("LIST", "550 no listing\r\n");
    server.Start();
    wininet::testing::SetFtpPort(server.port());
    return FtpConnect("127.0.0.1", "user", "secret");
  }
  // Steps until the download ends (at most limit steps); the longest step and the count.
  static int StepToEnd(int limit, double* longest_ms) {
    int steps = 0;
    while (steps < limit && FtpProgress() != -1) {
      *longest_ms = std::max(*longest_ms, Millis([] { FtpProceed(); }));
      ++steps;
    }
    return steps;
  }
};

}  // namespace

TEST_F(FtpHostileTest, StalledDownloadEndsTenSecondsAfterItsLastByteEachStepShort) {
  ScriptedServer server;
  server.data = std::string(100000, 's');
  server.data_stop_at = 4096;
  ASSERT_TRUE(ConnectTo(server));
  ASSERT_TRUE(FtpGetFile("stall.bin", "stall.bin", 100000));
  double longest = 0;
  for (int i = 0; i < 200 && FtpProgress() < 4; ++i)
    longest = std::max(longest, Millis([] { FtpProceed(); }));
  ASSERT_EQ(FtpProgress(), 4);  // 4096 of 100000, then nothing
  for (int i = 0; i < 5; ++i) longest = std::max(longest, Millis([] { FtpProceed(); }));
  clock_ += 10000;
  longest = std::max(longest, Millis([] { FtpProceed(); }));
  EXPECT_EQ(FtpProgress(), 4);  // not more than 10 s yet
  clock_ += 1;
  longest = std::max(longest, Millis([] { FtpProceed(); }));
  EXPECT_LT(longest, kStepBoundMs);
  RecordProperty("stall_step_longest_ms", static_cast<int>(longest + 0.5));
  EXPECT_EQ(FtpProgress(), -1);
  EXPECT_FALSE(std::filesystem::exists("stall.bin"));
  EXPECT_TRUE(FtpFailure());
  EXPECT_EQ(Take(FtpFailureText()), "The download stalled: nothing arrived for 10 s");
  EXPECT_TRUE(FtpConnected());  // the server answered the abort: the connection stays
  EXPECT_TRUE(FtpSetDir("docs"));
}

TEST_F(FtpHostileTest, FailedOrShortEndingEndsTheDownloadInTheSameStep) {
  // 426 after 2 KB of 5000 bytes: ended at the step that meets it, as FtpTerminate ends it,
  // with the server's text; the connection is checked and kept.
  ScriptedServer failed;
  failed.data = std::string(5000, 'f');
  failed.data_send = 2048;
  failed.ending = "426 Connection closed; transfer aborted.\r\n";
  ASSERT_TRUE(ConnectTo(failed));
  ASSERT_TRUE(FtpGetFile("f.bin", "f.bin", 5000));
  double longest = 0;
  EXPECT_LT(StepToEnd(100, &longest), 100);  // the clock stands still: no stall check helps
  EXPECT_LT(longest, kStepBoundMs);
  RecordProperty("failed_ending_step_longest_ms", static_cast<int>(longest + 0.5));
  EXPECT_FALSE(std::filesystem::exists("f.bin"));
  EXPECT_TRUE(FtpFailure());
  EXPECT_EQ(Take(FtpFailureText()), "426 Connection closed; transfer aborted.\r\n");
  EXPECT_TRUE(FtpConnected());
  FtpDisconnect();

  // 226 after half a file whose size the server gave (SIZE): a failure, both forms.
  ScriptedServer short_file;
  short_file.data = std::string(5000, 'h');
  short_file.data_send = 2500;
  short_file.Answer("SIZE", "213 5000\r\n");
  ASSERT_TRUE(ConnectTo(short_file));
  ASSERT_TRUE(FtpGetFile("h.bin", "h.bin", 5000));
  EXPECT_LT(StepToEnd(100, &longest), 100);
  EXPECT_FALSE(std::filesystem::exists("h.bin"));
  EXPECT_EQ(Take(FtpFailureText()), "The server ended the transfer after 2500 of 5000 bytes");
  EXPECT_TRUE(FtpFailure());
  EXPECT_FALSE(FtpGetFile("h.bin", "h.bin"));
  EXPECT_FALSE(std::filesystem::exists("h.bin"));
  EXPECT_EQ(Take(FtpFailureText()), "The server ended the transfer after 2500 of 5000 bytes");
  FtpDisconnect();

  // The size from the listing counts too: here the listing (also what RETR sends) says 999.
  // The server is named with its port.
  wininet::testing::SetFtpPort(0);
  ScriptedServer listed;
  listed.data = "type=file;size=999; d.bin\r\n";
  listed.Start();
  ASSERT_TRUE(FtpConnect(("127.0.0.1:" + std::to_string(listed.port())).c_str(), "u", "p"));
  ASSERT_TRUE(FtpGetFile("d.bin", "d.bin", 5));
  EXPECT_LT(StepToEnd(100, &longest), 100);
  EXPECT_FALSE(std::filesystem::exists("d.bin"));
  EXPECT_EQ(Take(FtpFailureText()), "The server ended the download after 27 of 999 bytes");
}

TEST_F(FtpHostileTest, TerminateRemovesOnlyTheRegularFileTheDownloadMade) {
  TempFolder::Write("target.txt", "keep me");
  std::filesystem::create_symlink("target.txt", "link.bin");
  ASSERT_EQ(mkfifo("pipe.bin", 0600), 0);
  const int reader = open("pipe.bin", O_RDONLY | O_NONBLOCK | O_CLOEXEC);  // so it opens
  ASSERT_GE(reader, 0);
  ScriptedServer server;
  server.data = std::string(100000, 's');
  server.data_stop_at = 4096;
  ASSERT_TRUE(ConnectTo(server));
  for (const char* name : {"link.bin", "pipe.bin", "made.bin"}) {
    ASSERT_TRUE(FtpGetFile("s.bin", name, 100000)) << name;
    FtpProceed();
    EXPECT_LT(Timed("terminate", [] { FtpTerminate(); }), kStepBoundMs * 5);  // the abort's wait
    EXPECT_EQ(FtpProgress(), -1);
  }
  close(reader);
  EXPECT_TRUE(std::filesystem::is_symlink("link.bin"));
  EXPECT_TRUE(std::filesystem::exists("target.txt"));
  EXPECT_TRUE(std::filesystem::is_fifo("pipe.bin"));
  EXPECT_FALSE(std::filesystem::exists("made.bin"));
  EXPECT_TRUE(FtpConnected());
}

TEST_F(FtpHostileTest, ConnectFailuresSayWhyWithinTheTimeout) {
  // A good connection first, so that its replies are there to be wrongly repeated.
  ScriptedServer good;
  ASSERT_TRUE(ConnectTo(good));
  EXPECT_TRUE(FtpSetDir("docs"));
  FtpDisconnect();

  const std::string port = std::to_string(ClosedPort());
  EXPECT_FALSE(FtpConnect(("127.0.0.1:" + port).c_str(), "u", "p"));
  EXPECT_TRUE(FtpFailure());
  EXPECT_EQ(Take(FtpFailureText()),
            "Could not connect to 127.0.0.1 port " + port + ": connection refused");
  // A bracketed address gives its port too (whether this machine has IPv6 or not).
  EXPECT_FALSE(FtpConnect(("[::1]:" + port).c_str(), "u", "p"));
  EXPECT_EQ(Take(FtpFailureText()).rfind("Could not connect to ::1 port " + port, 0), 0u);
  FtpFailure();
  for (const char* bad : {"127.0.0.1:0", "127.0.0.1:70000", "host:21x", "[::1", "[::1]x"}) {
    EXPECT_FALSE(FtpConnect(bad, "u", "p")) << bad;
    EXPECT_TRUE(FtpFailure());
    EXPECT_EQ(Take(FtpFailureText()), "The server name's port is not a number from 1 to 65535");
  }

  wininet::testing::SetTimeoutMs(1000);
  ScriptedServer silent;
  silent.greeting = "";
  bool connected = true;
  EXPECT_LT(Timed("silent_connect", [&] { connected = ConnectTo(silent); }), kTimeoutBoundMs);
  EXPECT_FALSE(connected);
  EXPECT_EQ(Take(FtpFailureText()), "The server sent no greeting within 1 s");
}

TEST_F(FtpHostileTest, EndingTheProgramWhileConnectedClosesCleanly) {
  // The module's state ends with the program's statics; the stand-in's handles must still be
  // there for it to close (a use after free under the address sanitizer before).
  EXPECT_EXIT(
      {
        ScriptedServer server;
        if (!ConnectTo(server)) std::_Exit(3);
        std::exit(0);
      },
      ::testing::ExitedWithCode(0), "");
}
